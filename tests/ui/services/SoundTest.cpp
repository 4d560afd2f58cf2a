#include <gtest/gtest.h>

#include "platform/Audio.h"
#include "platform/Files.h"
#include "platform/ui/Bundle.h"
#include "tests/ui/services/ServicesFixture.h"
#include "ui/services/KAVSound.h"

namespace audio = platform::audio;

namespace {

class Sound : public ::testing::Test {
  protected:
    void SetUp() override { audio::clearRecordedPlays(); }
    kavtest::ScopedEnv bundle_{"KAV_BUNDLE_DIR", nullptr};  // the shipped sounds
    kavtest::VirtualTime time_;
};

TEST_F(Sound, WithoutANameItIsTheShakeSoundAtFourTenths) {
    KAVSound shake;
    ASSERT_TRUE(shake.hasPlayer());
    shake.play();
    auto plays = audio::recordedPlays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].file.filename(), "shake.wav");
    EXPECT_EQ(plays[0].file.parent_path().filename(), "Sounds");
    EXPECT_FLOAT_EQ(plays[0].volume, 0.4f);

    KAVSound touch("touchStart");
    touch.play();
    plays = audio::recordedPlays();
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[1].file.filename(), "touchStart.wav");
    shake.player()->stop();
}

TEST_F(Sound, AMissingSoundIsSilent) {
    for (const char* name : {"nosuchsound", "../Sounds/shake", ""}) {
        KAVSound sound(name);
        EXPECT_FALSE(sound.hasPlayer()) << name;
        sound.play();
    }
    EXPECT_TRUE(audio::recordedPlays().empty());
}

TEST_F(Sound, TheSoundComesFromWhereTheMainBundleLies) {
    kavtest::TempDir bundleDir;
    ASSERT_TRUE(platform::files::makeDirectories(bundleDir / "Sounds"));
    std::filesystem::copy_file(kavtest::sourceDir() / "Resources/Sounds/touchStart.wav",
                               bundleDir / "Sounds/shake.wav");
    auto& mainBundle = platform::ui::NSBundle::mainBundle();
    mainBundle.setBundlePath(bundleDir.path());
    KAVSound shake;
    mainBundle.setBundlePath({});
    ASSERT_TRUE(shake.hasPlayer());
    EXPECT_EQ(shake.player()->file(), bundleDir / "Sounds/shake.wav");
}

TEST_F(Sound, AnInterruptionStopsIt) {
    KAVSound shake;
    ASSERT_TRUE(shake.hasPlayer());
    shake.play();
    EXPECT_TRUE(shake.player()->isPlaying());
    audio::beginInterruption();
    EXPECT_FALSE(shake.player()->isPlaying());
}

}  // namespace
