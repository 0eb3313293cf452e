#include "ui/desktop/sound_output.h"

#include <SDL.h>

#include <algorithm>

namespace vorla::ui {

namespace {

constexpr float kVolume = 0.5f;

}  // namespace

SoundOutput::SoundOutput(std::chrono::milliseconds linger) : linger_(linger) {}

SoundOutput::~SoundOutput() {
    {
        MutexLock lock(controlMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (control_.joinable()) {
        control_.join();
    }
    closeDevice();
}

void SoundOutput::start(std::function<void(const std::string& reason)> failed) {
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Vorla Agents");
    control_ = std::thread([this, failed = std::move(failed)] { controlStart(failed); });
}

void SoundOutput::controlStart(const std::function<void(const std::string&)>& failed) {
    if (!openDevice()) {
        const std::string reason = SDL_GetError();  // this thread's error
        {
            MutexLock lock(controlMutex_);
            broken_ = true;
        }
        {
            MutexLock clipLock(clipMutex_);
            playing_ = false;
        }
        if (failed) {
            failed(reason);
        }
        // Only now idle: whoever waits for idle() sees the failure reported.
        MutexLock lock(controlMutex_);
        startDone_ = true;
        return;
    }
    {
        MutexLock lock(controlMutex_);
        startDone_ = true;
    }
    controlLoop();
}

void SoundOutput::play(std::span<const float> samples) {
    {
        // The clip lock first, as in idle(): a failed first opening marks the
        // output broken before it drops the clip, so no clip stays behind.
        MutexLock clipLock(clipMutex_);
        {
            MutexLock lock(controlMutex_);
            if (broken_) {
                return;
            }
            requested_ = true;
        }
        clip_ = samples;
        position_ = 0;
        playing_ = true;
    }
    wake_.notify_one();
}

bool SoundOutput::idle() const {
    MutexLock clipLock(clipMutex_);
    MutexLock controlLock(controlMutex_);
    return startDone_ && !playing_ && !deviceOpen_;
}

bool SoundOutput::openDevice() {
    // SDL's audio subsystem lives only as long as the device: with the ALSA
    // driver it keeps a hot-plug thread that wakes ten times a second and
    // rereads the ALSA configuration every few seconds.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 1;
    want.samples = 512;  // 11.6 ms: a cue starts without a noticeable delay
    want.callback = &SoundOutput::fillCallback;
    want.userdata = this;
    // No allowed changes: SDL converts to whatever the device wants.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);  // keeps SDL_GetError's text
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    MutexLock lock(controlMutex_);
    deviceOpen_ = true;
    return true;
}

void SoundOutput::closeDevice() {
    if (device_ == 0) {
        return;
    }
    SDL_CloseAudioDevice(device_);  // joins SDL's audio thread
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device_ = 0;
    MutexLock lock(controlMutex_);
    deviceOpen_ = false;
}

void SoundOutput::fillCallback(void* self, std::uint8_t* stream, int length) {
    static_cast<SoundOutput*>(self)->fill(reinterpret_cast<float*>(stream),
                                          static_cast<std::size_t>(length) / sizeof(float));
}

void SoundOutput::fill(float* out, std::size_t frames) {
    std::size_t written = 0;
    bool ended = false;
    {
        MutexLock lock(clipMutex_);
        if (playing_) {
            written = std::min(frames, clip_.size() - position_);
            for (std::size_t i = 0; i < written; ++i) {
                out[i] = clip_[position_ + i] * kVolume;
            }
            position_ += written;
            ended = position_ >= clip_.size();
            playing_ = !ended;
        }
    }
    std::fill(out + written, out + frames, 0.0f);
    if (ended) {
        {
            MutexLock lock(controlMutex_);
            ended_ = true;
        }
        wake_.notify_one();
    }
}

void SoundOutput::controlLoop() {
    MutexLock lock(controlMutex_);
    while (!stopping_) {
        if (!deviceOpen_) {
            wake_.wait(lock.native(),
                       [this]() VORLA_REQUIRES(controlMutex_) { return stopping_ || requested_; });
            if (stopping_) {
                return;
            }
            requested_ = false;
            lock.unlock();
            reopenDevice();
            lock.lock();
            continue;
        }
        requested_ = false;
        ended_ = false;
        lock.unlock();
        bool playing = false;
        {
            MutexLock clipLock(clipMutex_);
            playing = playing_;
        }
        lock.lock();
        if (playing) {
            wake_.wait(lock.native(),
                       [this]() VORLA_REQUIRES(controlMutex_) { return stopping_ || ended_; });
            continue;
        }
        if (wake_.wait_for(lock.native(), linger_, [this]() VORLA_REQUIRES(controlMutex_) {
                return stopping_ || requested_;
            })) {
            continue;
        }
        lock.unlock();
        closeDevice();  // a play() racing with this sets requested_: reopened below
        lock.lock();
    }
}

void SoundOutput::reopenDevice() {
    if (!openDevice()) {
        // The sound server went away: drop the clip; the next play tries again.
        MutexLock clipLock(clipMutex_);
        playing_ = false;
    }
}

}  // namespace vorla::ui
