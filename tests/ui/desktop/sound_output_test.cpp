// The sound engine through the real SDL output, writing to a file through
// SDL's "disk" driver: cues only while sound is on, and a missing device.
#include "ui/desktop/sound_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>

#include "support/eventually.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla::ui {
namespace {

using namespace std::chrono_literals;

class SoundOutputTest : public ::testing::Test {
  protected:
    // `realTime`: the driver waits one buffer's duration per buffer, as a
    // sound card would; otherwise it writes as fast as it can.
    void useDisk(bool realTime) {
        setEnv("SDL_AUDIODRIVER", "disk");
        setEnv("SDL_DISKAUDIOFILE", file_);
        setEnv("SDL_DISKAUDIODELAY", realTime ? std::nullopt : std::optional<std::string>("0"));
    }

    void setEnv(const std::string& name, const std::optional<std::string>& value) {
        env_.push_back(std::make_unique<test::ScopedEnv>(name, value));
    }

    std::vector<float> written() const {
        std::ifstream in(file_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<float> samples(bytes.size() / sizeof(float));
        if (!samples.empty()) {  // memcpy's pointers must not be null, even for no bytes
            std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        }
        return samples;
    }

    static void waitUntilIdle(const SoundOutput& output) {
        ASSERT_TRUE(test::eventually([&] { return output.idle(); }));
    }

    // Where `cue` begins in `got`: the device may write a buffer of silence
    // before the clip reaches it.
    static std::size_t startOf(const std::vector<float>& got, const CueBuffer& cue) {
        auto lead = [](const auto& samples) {
            return std::find_if(samples.begin(), samples.end(), [](float x) { return x != 0; }) -
                   samples.begin();
        };
        return static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, lead(got) - lead(cue)));
    }

    static bool silent(const std::vector<float>& got) {
        return std::all_of(got.begin(), got.end(), [](float x) { return x == 0; });
    }

    // `samples` at half volume, then only silence.
    static void expectCueThenSilence(const std::vector<float>& got, std::size_t from,
                                     const CueBuffer& cue) {
        ASSERT_GE(got.size(), from + cue.size());
        for (std::size_t i = 0; i < cue.size(); ++i) {
            ASSERT_EQ(got[from + i], cue[i] * 0.5f) << "sample " << i;
        }
        for (std::size_t i = from + cue.size(); i < got.size(); ++i) {
            ASSERT_EQ(got[i], 0.0f) << "sample " << i;
        }
    }

    test::TempHome home_;
    std::string file_ = home_.file("out.raw");
    std::vector<std::unique_ptr<test::ScopedEnv>> env_;
};

TEST_F(SoundOutputTest, PlaysNothingWhileSoundIsOffAndTheNextCueOnceItIsOn) {
    useDisk(false);
    auto output = std::make_unique<SoundOutput>(0ms);
    SoundOutput& sink = *output;
    bool enabled = false;
    SoundEngine sound(std::move(output), [&] { return enabled; });
    ASSERT_TRUE(sound.running());
    waitUntilIdle(sink);  // the device opened at start is closed again

    sound.play(Cue::needsApproval);
    EXPECT_TRUE(sink.idle());
    EXPECT_TRUE(silent(written()));

    enabled = true;
    sound.play(Cue::approved);
    waitUntilIdle(sink);
    std::vector<float> got = written();
    expectCueThenSilence(got, startOf(got, sound.buffer(Cue::approved)),
                         sound.buffer(Cue::approved));
}

TEST_F(SoundOutputTest, ASecondCueCutsOffTheFirstAndPlaysFromItsStart) {
    useDisk(true);
    // Ten seconds long, so however slow the machine, the second cue comes
    // while the first still sounds.
    CueBuffer first(441000);
    for (std::size_t i = 0; i < first.size(); ++i) {
        first[i] = static_cast<float>(i % 1000 + 1) / 2000.0f;
    }
    CueBuffer second = renderCue(Cue::done, randomNoise());
    SoundOutput output(0ms);
    output.start(nullptr);
    waitUntilIdle(output);
    output.play(first);
    ASSERT_TRUE(test::eventually([&] { return written().size() >= 2048; }));
    output.play(second);
    waitUntilIdle(output);

    std::vector<float> got = written();
    std::size_t start = startOf(got, first);
    std::size_t played = 0;  // of the first cue, before the second cut in
    while (played < first.size() && start + played < got.size() &&
           got[start + played] == first[played] * 0.5f) {
        ++played;
    }
    ASSERT_LT(played, first.size()) << "the first cue played to its end";
    EXPECT_GE(played, 1024u);
    std::size_t cut = start + played;
    expectCueThenSilence(got, cut, second);
}

// The device opens on the output's own thread: a cue played at once, before
// it is open, still sounds whole once it is.
TEST_F(SoundOutputTest, ACuePlayedRightAfterStartSoundsWholeOnceTheDeviceOpens) {
    useDisk(false);
    auto output = std::make_unique<SoundOutput>(0ms);
    SoundOutput& sink = *output;
    SoundEngine sound(std::move(output), [] { return true; });
    sound.play(Cue::launch);
    EXPECT_TRUE(sound.running());
    waitUntilIdle(sink);
    std::vector<float> got = written();
    expectCueThenSilence(got, startOf(got, sound.buffer(Cue::launch)), sound.buffer(Cue::launch));
}

TEST_F(SoundOutputTest, AMachineWithoutSoundLogsWhyAndStaysSilent) {
    setEnv("SDL_AUDIODRIVER", "no-such-driver");
    ::testing::internal::CaptureStderr();
    auto output = std::make_unique<SoundOutput>();
    SoundOutput& sink = *output;
    SoundEngine sound(std::move(output), [] { return true; });
    sound.play(Cue::launch);
    waitUntilIdle(sink);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "SoundEngine: could not start audio: Audio target 'no-such-driver' not available\n");
    EXPECT_FALSE(sound.running());

    SoundEngine headless(nullptr, [] { return true; });
    headless.play(Cue::launch);  // no output at all: no sound, no error
    EXPECT_FALSE(headless.running());
}

}  // namespace
}  // namespace vorla::ui
