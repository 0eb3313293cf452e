#include "engine/look/cues.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace vorla {

namespace {

double timeOf(int n) {
    return n / kCueSampleRate;
}

double decay(double k, double t) {
    return std::exp(-k * t);
}

double attack(double r, double t) {
    return std::min(1.0, r * t);
}

// A square wave whose phase starts at 0 and advances before each sample.
class Square {
  public:
    explicit Square(double duty = 0.5) : duty_(duty) {}
    double next(double frequency) {
        phase_ += frequency / kCueSampleRate;
        return phase_ - std::floor(phase_) < duty_ ? 1.0 : -1.0;
    }

  private:
    double duty_;
    double phase_ = 0.0;
};

void append(CueBuffer& buffer, double sample) {
    buffer.push_back(static_cast<float>(std::clamp(sample, -1.0, 1.0)));
}

struct Note {
    double frequency;
    int samples;
    double amplitude;
    double decay;
    double attack;  // 0: none
};

void appendNote(CueBuffer& buffer, const Note& note) {
    Square square;
    for (int n = 0; n < note.samples; ++n) {
        double t = timeOf(n);
        double envelope = decay(note.decay, t) * (note.attack > 0 ? attack(note.attack, t) : 1.0);
        append(buffer, square.next(note.frequency) * note.amplitude * envelope);
    }
}

CueBuffer notes(std::initializer_list<Note> list) {
    CueBuffer buffer;
    for (const Note& note : list) {
        appendNote(buffer, note);
    }
    return buffer;
}

CueBuffer launch() {
    return notes({{523.25, 3087, 0.34, 14, 60},
                  {659.25, 3087, 0.34, 14, 60},
                  {783.99, 3087, 0.34, 14, 60},
                  {1046.5, 7056, 0.34, 6, 60}});
}

CueBuffer needsApproval(const NoiseSource& noise) {
    constexpr int kBurst = 3307;
    constexpr int kGap = 1543;
    CueBuffer buffer;
    for (int k = 0; k < 3; ++k) {
        double base = 520.0 + 190.0 * k;
        Square square(0.32);
        for (int n = 0; n < kBurst; ++n) {
            double t = timeOf(n);
            double wave = square.next(base * (1.0 + 1.6 * t));
            if ((n / 48) % 3 == 2) {
                wave = -wave;  // the glitch: every third group of 48 flipped
            }
            double hiss = 0.35 * decay(90, t) * noise();
            append(buffer, decay(22, t) * (0.55 * wave + hiss));
        }
        buffer.insert(buffer.end(), kGap, 0.0f);
    }
    return buffer;
}

CueBuffer approved() {
    return notes({{660, 2646, 0.4 * 0.8, 26, 0}, {990, 2646, 0.4, 26, 0}});
}

CueBuffer denied() {
    constexpr int kSamples = 8820;
    CueBuffer buffer;
    Square a(0.5);
    Square b(0.45);
    for (int n = 0; n < kSamples; ++n) {
        double t = timeOf(n);
        double f = 220.0 * (1.0 - 0.9 * t);
        double mix = std::round((a.next(f) + b.next(1.06 * f)) / 2.0 * 3.0) / 3.0;
        double sample = decay(9, t) * mix * 0.42;
        if ((n & 0xC0) == 0) {
            sample *= 0.25;  // bits 6 and 7 clear: the crushed quarter
        }
        append(buffer, sample);
    }
    return buffer;
}

CueBuffer done() {
    return notes({{523, 2205, 0.22, 30, 0}, {659, 2205, 0.22, 30, 0}, {784, 2205, 0.22, 30, 0}});
}

CueBuffer coin() {
    return notes({{988, static_cast<int>(0.05 * kCueSampleRate), 0.3, 9, 80},
                  {1319, static_cast<int>(0.13 * kCueSampleRate), 0.3, 9, 80}});
}

}  // namespace

NoiseSource randomNoise() {
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine] { return std::uniform_real_distribution<float>(-1.0f, 1.0f)(*engine); };
}

CueBuffer renderCue(Cue cue, const NoiseSource& noise) {
    switch (cue) {
        case Cue::launch:
            return launch();
        case Cue::needsApproval:
            return needsApproval(noise);
        case Cue::approved:
            return approved();
        case Cue::denied:
            return denied();
        case Cue::done:
            return done();
        case Cue::coin:
            return coin();
    }
    return {};
}

std::array<CueBuffer, kCueCount> renderAllCues() {
    NoiseSource noise = randomNoise();
    std::array<CueBuffer, kCueCount> all;
    for (std::size_t i = 0; i < kCueCount; ++i) {
        all[i] = renderCue(static_cast<Cue>(i), noise);
    }
    return all;
}

}  // namespace vorla
