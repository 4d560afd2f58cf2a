#include <gtest/gtest.h>

#include <fstream>

#include "platform/Audio.h"
#include "platform/Bundle.h"
#include "platform/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace audio = platform::audio;
namespace bundle = platform::bundle;
namespace files = platform::files;

namespace {

TEST(Bundle, FindsOnlyExistingFilesUnderSafeNames) {
    kavtest::TempDir dir;
    kavtest::ScopedEnv env("KAV_BUNDLE_DIR", dir.path().c_str());
    ASSERT_TRUE(files::makeDirectories(dir / "DealerDEF"));
    ASSERT_TRUE(files::writeFileAtomic(dir / "DealerDEF/K1.json", "{}"));
    ASSERT_TRUE(files::writeFileAtomic(dir / "secret.json", "{}"));
    ASSERT_TRUE(files::writeFileAtomic(dir / "plain", "x"));

    EXPECT_EQ(bundle::resourcePath("K1", "json", "DealerDEF"), dir / "DealerDEF/K1.json");
    EXPECT_EQ(bundle::resourcePath("plain", ""), dir / "plain");
    EXPECT_FALSE(bundle::resourcePath("K2", "json", "DealerDEF"));
    EXPECT_FALSE(bundle::resourcePath("DealerDEF", "")) << "a folder is no resource";
    // Names that would climb out of the folder or name a path find nothing,
    // even where a file lies at the place they point to.
    for (const char* name : {"../secret", "..", "", "a/../../secret", "K1 ", "K1\n"}) {
        EXPECT_FALSE(bundle::resourcePath(name, "json", "DealerDEF")) << name;
    }
    EXPECT_FALSE(bundle::resourcePath("secret", "json", ".."));
    EXPECT_FALSE(bundle::resourcePath("secret", "json", "DealerDEF/.."));
    EXPECT_FALSE(bundle::resourcePath("secret", "../json", ""));
}

TEST(Bundle, DefaultsToTheResourcesBesideTheBuiltPrograms) {
    kavtest::ScopedEnv env("KAV_BUNDLE_DIR", nullptr);
    EXPECT_EQ(bundle::root(), kavtest::binDir().parent_path() / "Resources");
    // The build tree links the shipped resources there.
    EXPECT_TRUE(bundle::resourcePath("shake", "wav", "Sounds"));
    EXPECT_TRUE(bundle::resourcePath("KAVFX_risk", "json", "DealerDEF"));
}

std::filesystem::path shippedSound(const char* name) {
    return kavtest::sourceDir() / "Resources/Sounds" / (std::string(name) + ".wav");
}

TEST(AudioRecorder, RecordsEachStartAndPlaysForTheSoundsLength) {
    kavtest::VirtualTime time;
    audio::clearRecordedPlays();
    EXPECT_FALSE(audio::usesDevice());
    auto player = audio::Player::open(shippedSound("shake"));
    ASSERT_TRUE(player);
    const double length = player->duration();
    EXPECT_GT(length, 0.2);
    EXPECT_LT(length, 1.0);
    player->setVolume(0.4f);

    player->play();
    player->play();  // already playing: no second start
    EXPECT_TRUE(player->isPlaying());
    time.advance(length / 2);
    player->stop();
    EXPECT_FALSE(player->isPlaying());
    // Resumes where it stopped: the second half is left.
    player->play();
    time.advance(length / 2 - 0.01);
    EXPECT_TRUE(player->isPlaying());
    time.advance(0.02);
    EXPECT_FALSE(player->isPlaying());
    // Played to the end: the next play starts from the start again.
    player->play();
    time.advance(length - 0.01);
    EXPECT_TRUE(player->isPlaying());

    auto plays = audio::recordedPlays();
    ASSERT_EQ(plays.size(), 3u);
    EXPECT_EQ(plays[0].file, shippedSound("shake"));
    EXPECT_FLOAT_EQ(plays[0].volume, 0.4f);
    player->stop();
}

TEST(AudioRecorder, RefusesMissingAndUndecodableFilesAndReportsInterruptions) {
    kavtest::TempDir dir;
    std::ofstream(dir / "noise.wav") << "RIFF....WAVEnot really";
    EXPECT_FALSE(audio::Player::open(dir / "missing.wav"));
    EXPECT_FALSE(audio::Player::open(dir / "noise.wav"));

    auto first = audio::Player::open(shippedSound("touchStart"));
    auto second = audio::Player::open(shippedSound("shake"));
    ASSERT_TRUE(first && second);
    EXPECT_FLOAT_EQ(first->volume(), 1.0f);
    first->setVolume(3.0f);
    EXPECT_FLOAT_EQ(first->volume(), 1.0f);
    int interrupted = 0;
    first->setInterruptionHandler([&] { ++interrupted; });
    second.reset();  // a player that is gone hears nothing
    audio::beginInterruption();
    EXPECT_EQ(interrupted, 1);
}

TEST(AudioDevice, MixesOnARealOutputWhenOneOpens) {
    // SDL's dummy driver stands for a sound card: it consumes the mix at the
    // rate of real playback.
    kavtest::ScopedEnv mode("KAV_AUDIO", nullptr);
    kavtest::ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    audio::resetOutput();
    ASSERT_TRUE(audio::usesDevice());
    {
        auto player = audio::Player::open(shippedSound("touchStart"));
        ASSERT_TRUE(player);
        player->play();
        EXPECT_TRUE(player->isPlaying());
        // The mixing thread tells nobody; look every few milliseconds.
        auto poll = platform::Timer::schedule(0.005, true, [] {});
        EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return !player->isPlaying(); }, 10));
        EXPECT_TRUE(audio::recordedPlays().empty());
    }
    audio::resetOutput();
}

}  // namespace
