#include "engine/look/sound_engine.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

// Keeps what was played; can refuse to start.
struct FakeOutput {
    std::optional<std::string> startError;
    std::vector<std::span<const float>> played;
};

class FakeSink final : public AudioSink {
  public:
    explicit FakeSink(FakeOutput& output) : output_(output) {}
    Result<> start() override {
        if (output_.startError) {
            return fail(*output_.startError);
        }
        return {};
    }
    void play(std::span<const float> samples) override { output_.played.push_back(samples); }

  private:
    FakeOutput& output_;
};

TEST(SoundEngine, PlaysTheCueOnlyWhileSoundIsEnabled) {
    FakeOutput output;
    bool enabled = false;
    SoundEngine sound(std::make_unique<FakeSink>(output), [&] { return enabled; });
    sound.play(Cue::needsApproval);
    EXPECT_TRUE(output.played.empty());
    enabled = true;
    sound.play(Cue::denied);
    ASSERT_EQ(output.played.size(), 1u);
    EXPECT_EQ(output.played[0].data(), sound.buffer(Cue::denied).data());
    EXPECT_EQ(output.played[0].size(), 8820u);
}

TEST(SoundEngine, AnOutputThatCannotStartLogsOnceAndStaysSilent) {
    FakeOutput output{"no card", {}};
    ::testing::internal::CaptureStderr();
    SoundEngine sound(std::make_unique<FakeSink>(output), [] { return true; });
    sound.play(Cue::launch);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "SoundEngine: could not start audio: no card\n");
    EXPECT_FALSE(sound.running());
    EXPECT_TRUE(output.played.empty());

    SoundEngine headless(nullptr, [] { return true; });
    headless.play(Cue::launch);  // no sink, no sound, no error
    EXPECT_FALSE(headless.running());
}

}  // namespace
}  // namespace vorla
