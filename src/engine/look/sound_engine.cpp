#include "engine/look/sound_engine.h"

#include "engine/support/log.h"

namespace vorla {

SoundEngine::SoundEngine(std::unique_ptr<AudioSink> sink, std::function<bool()> soundEnabled)
    : buffers_(renderAllCues()), soundEnabled_(std::move(soundEnabled)), sink_(std::move(sink)) {
    if (!sink_) {
        return;
    }
    running_ = true;
    sink_->start([this](const std::string& reason) {
        logLine("SoundEngine: could not start audio: " + reason);
        running_ = false;
    });
}

void SoundEngine::play(Cue cue) {
    const CueBuffer& samples = buffer(cue);
    if (running_ && !samples.empty() && soundEnabled_ && soundEnabled_()) {
        sink_->play(samples);
    }
}

}  // namespace vorla
