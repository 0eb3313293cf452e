// Sound cues: rendering all six at start, the cost of a play call on the real
// SDL output, and whether an idle output keeps waking the process.
//
//   build/release/bench/sound_cues                      the two timings
//   build/release/bench/sound_cues --idle-seconds=60    wake-ups while idle
//
// Both use SDL's "dummy" driver unless SDL_AUDIODRIVER says otherwise: it
// paces itself like a sound card, so the audio thread wakes once per buffer.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <thread>

#include "engine/look/cues.h"
#if VORLA_GUI
#include <SDL.h>

#include "ui/desktop/sound_output.h"
#endif

namespace {

using namespace std::chrono_literals;

void BM_RenderAllCues(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(vorla::renderAllCues());
    }
}
BENCHMARK(BM_RenderAllCues)->Unit(benchmark::kMillisecond);

#if VORLA_GUI
// One play() call while the device is open and a cue sounds: the usual case
// of a burst of events.
void BM_PlayCall(benchmark::State& state) {
    vorla::ui::SoundOutput output;
    std::atomic<bool> failed = false;
    output.start([&failed](const std::string&) { failed = true; });
    vorla::CueBuffer cue = vorla::renderCue(vorla::Cue::needsApproval, vorla::randomNoise());
    for (auto _ : state) {
        output.play(cue);
    }
    if (failed) {
        state.SkipWithError("could not start audio");
    }
}
BENCHMARK(BM_PlayCall)->Unit(benchmark::kMicrosecond);

// Voluntary context switches of every thread of this process, by thread id.
std::map<std::string, long> contextSwitches() {
    std::map<std::string, long> switches;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string name;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0) {
                name = line.substr(6);
            } else if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                switches[task.path().filename().string() + " " + name] = std::stol(line.substr(25));
            }
        }
    }
    return switches;
}

long totalOver(std::chrono::seconds period, const char* label) {
    auto before = contextSwitches();
    std::this_thread::sleep_for(period);
    auto after = contextSwitches();
    long total = 0;
    for (const auto& [thread, count] : after) {
        long woke = count - (before.count(thread) ? before[thread] : 0);
        total += woke;
        std::printf("  %-28s thread %-24s %6ld\n", label, thread.c_str(), woke);
    }
    return total;
}

// Plays one cue, lets the output go idle, then counts wake-ups over the
// period; compares with an SDL device left open but paused.
int measureIdle(std::chrono::seconds period) {
    long ours = 0;
    {
        vorla::ui::SoundOutput output;
        std::atomic<bool> failed = false;
        output.start([&failed](const std::string& reason) {
            std::fprintf(stderr, "could not start audio: %s\n", reason.c_str());
            failed = true;
        });
        vorla::CueBuffer cue = vorla::renderCue(vorla::Cue::launch, vorla::randomNoise());
        output.play(cue);
        while (!output.idle()) {
            std::this_thread::sleep_for(10ms);
        }
        if (failed) {
            return 1;
        }
        ours = totalOver(period, "SoundOutput, idle");
    }
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 1;
    want.samples = 512;
    want.callback = [](void*, Uint8* stream, int length) { std::fill_n(stream, length, 0); };
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    SDL_PauseAudioDevice(device, 1);
    long paused = totalOver(period, "SDL device paused");
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::printf("voluntary context switches in %lld s: SoundOutput idle %ld, paused device %ld\n",
                static_cast<long long>(period.count()), ours, paused);
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
#if VORLA_GUI
    constexpr std::string_view kIdle = "--idle-seconds=";
    if (argc > 1 && std::string_view(argv[1]).starts_with(kIdle)) {
        return measureIdle(std::chrono::seconds(std::atoi(argv[1] + kIdle.size())));
    }
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
