// The audio output of the desktop app: one mono 44.1 kHz float stream through
// SDL2's audio subsystem, at half volume, playing one clip at a time.
//
// The device, and SDL's audio subsystem with it, is open only while something
// plays (and for `linger` after): SDL2 keeps its audio thread waking every
// buffer even while a device is paused, and its ALSA driver polls for
// hot-plugged cards, so an idle app closes both and their threads are gone. A small
// control thread of ours opens it again on the next play; it sleeps on a
// condition variable in between and does not wake.
//
// The first opening happens on the control thread too: with a sound server
// that does not answer it takes about 100 ms, which the app's start must not
// wait for. A cue played before then sounds once the device is open.
//
// Threads: start() and play() from the main thread; the SDL audio thread
// fills buffers; the control thread opens and closes the device. play()
// only swaps the clip under a lock the audio thread holds for one buffer
// copy, so it never waits on device opening or on the sound server.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "engine/look/sound_engine.h"
#include "engine/support/thread_annotations.h"

namespace vorla::ui {

class SoundOutput final : public AudioSink {
  public:
    static constexpr std::chrono::milliseconds kDefaultLinger{5000};

    explicit SoundOutput(std::chrono::milliseconds linger = kDefaultLinger);
    // Stops the control thread and closes the device.
    ~SoundOutput() override;
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Starts the control thread, which opens the device once, so a machine
    // without sound says so (through `failed`, with SDL's error text) soon
    // after start. Call once.
    void start(std::function<void(const std::string& reason)> failed) override;
    void play(std::span<const float> samples) override;

    // The first opening is over (a failure already reported through `failed`),
    // nothing is playing and the device is closed (for tests and benchmarks).
    [[nodiscard]] bool idle() const;

  private:
    static void fillCallback(void* self, std::uint8_t* stream, int length);
    void fill(float* out, std::size_t frames);
    [[nodiscard]] bool openDevice();
    void closeDevice();
    // Opens the device a first time, then runs controlLoop().
    void controlStart(const std::function<void(const std::string&)>& failed);
    void controlLoop();
    // Opens the device for a play() that came while it was closed.
    void reopenDevice();

    const std::chrono::milliseconds linger_;
    std::thread control_;

    // Touched by the control thread once started (and by start() before).
    std::uint32_t device_ = 0;

    // The clip: written by play(), read by the audio thread.
    mutable Mutex clipMutex_;
    std::span<const float> clip_ VORLA_GUARDED_BY(clipMutex_);
    std::size_t position_ VORLA_GUARDED_BY(clipMutex_) = 0;
    bool playing_ VORLA_GUARDED_BY(clipMutex_) = false;

    // The control thread's wake-ups.
    mutable Mutex controlMutex_;
    std::condition_variable wake_;
    bool requested_ VORLA_GUARDED_BY(controlMutex_) = false;  // play() was called
    bool ended_ VORLA_GUARDED_BY(controlMutex_) = false;      // a clip played to its end
    bool stopping_ VORLA_GUARDED_BY(controlMutex_) = false;
    bool deviceOpen_ VORLA_GUARDED_BY(controlMutex_) = false;
    bool startDone_ VORLA_GUARDED_BY(controlMutex_) = false;  // first opening tried
    bool broken_ VORLA_GUARDED_BY(controlMutex_) = false;     // it failed: never play
};

}  // namespace vorla::ui
