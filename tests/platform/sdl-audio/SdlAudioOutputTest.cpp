#include <gtest/gtest.h>

#include "platform/Audio.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace audio = platform::audio;

namespace {

TEST(SdlAudioOutput, ALinkedBackEndPlaysOnTheDevice) {
    // SDL's dummy driver stands for a sound card: it consumes the mix at the
    // rate of real playback.
    kavtest::ScopedEnv mode("KAV_AUDIO", nullptr);
    kavtest::ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    audio::resetOutput();
    ASSERT_TRUE(audio::usesDevice());
    {
        auto player = audio::Player::open(kavtest::sourceDir() / "Resources/Sounds/touchStart.wav");
        ASSERT_TRUE(player);
        player->play();
        EXPECT_TRUE(player->isPlaying());
        // The mixing thread tells nobody; look every few milliseconds.
        auto poll = platform::Timer::schedule(0.005, true, [] {});
        EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return !player->isPlaying(); }, 10));
        EXPECT_TRUE(audio::recordedPlays().empty());
        // Silent, the device is closed (no mixing thread runs) and the next
        // play opens it again.
        EXPECT_TRUE(platform::RunLoop::main().runUntil([] { return !audio::deviceOpen(); }, 10));
        player->play();
        EXPECT_TRUE(audio::deviceOpen());
        EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return !player->isPlaying(); }, 10));
        EXPECT_TRUE(platform::RunLoop::main().runUntil([] { return !audio::deviceOpen(); }, 10));
    }
    audio::resetOutput();
    // Asked for, the recorder still wins.
    kavtest::ScopedEnv record("KAV_AUDIO", "record");
    EXPECT_FALSE(audio::usesDevice());
    audio::resetOutput();
}

}  // namespace
