// The sound cues of the application: renders the six cues once at creation
// and plays them through one audio output, a new cue cutting off the one
// still sounding.
//
// SoundEngine: main thread only. AudioSink: start() and play() are called
// from the main thread; the sink renders on a thread of its own.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "engine/look/cues.h"

namespace vorla {

// One mono 44.1 kHz float output at half volume.
class AudioSink {
  public:
    virtual ~AudioSink() = default;
    // Starts opening the output and returns at once: a slow or absent sound
    // server must not hold up the caller. A play() before the output is open
    // sounds once it is. When it cannot open, `failed` is called once with
    // the reason, from the sink's own thread, and the sink never plays.
    virtual void start(std::function<void(const std::string& reason)> failed) = 0;
    // Plays `samples` from their start, cutting off whatever still sounds.
    // Returns at once, never waiting on the audio thread. `samples` must stay
    // valid and unchanged for the sink's life.
    virtual void play(std::span<const float> samples) = 0;
};

class SoundEngine {
  public:
    // Renders every cue, then starts `sink` without waiting for it; when it
    // reports that it cannot start, logs "SoundEngine: could not start
    // audio: <reason>" and stays silent for good. Without a sink (--headless)
    // it is silent from the start.
    // `soundEnabled` is read at every play.
    SoundEngine(std::unique_ptr<AudioSink> sink, std::function<bool()> soundEnabled);
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Plays `cue` when sound is enabled, its buffer is not empty and the
    // output runs; otherwise does nothing.
    void play(Cue cue);

    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] const CueBuffer& buffer(Cue cue) const {
        return buffers_[static_cast<std::size_t>(cue)];
    }

  private:
    // Declared before the sink, so the sink (and its audio thread) is gone
    // before the samples it reads.
    const std::array<CueBuffer, kCueCount> buffers_;
    std::function<bool()> soundEnabled_;
    // Cleared from the sink's thread when it cannot open; outlives the sink.
    std::atomic<bool> running_ = false;
    std::unique_ptr<AudioSink> sink_;
};

}  // namespace vorla
