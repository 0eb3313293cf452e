// The six chiptune cues, synthesised as mono 44.1 kHz float samples. No
// sound files ship: the sound engine renders every cue once at start.
//
// Pure functions; safe on any thread.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <vector>

namespace vorla {

enum class Cue { launch, needsApproval, approved, denied, done, coin };

inline constexpr std::size_t kCueCount = 6;
inline constexpr double kCueSampleRate = 44100.0;

// Every sample lies within -1...1.
using CueBuffer = std::vector<float>;

// A uniform random value in -1...1 per call: the noise in needsApproval.
using NoiseSource = std::function<float()>;

// Fresh random noise (seeded from the system's entropy).
[[nodiscard]] NoiseSource randomNoise();

// One cue. Only needsApproval reads `noise`; a source that always returns 0
// gives that cue's square part alone.
[[nodiscard]] CueBuffer renderCue(Cue cue, const NoiseSource& noise);

// All six, indexed by the Cue's value.
[[nodiscard]] std::array<CueBuffer, kCueCount> renderAllCues();

}  // namespace vorla
