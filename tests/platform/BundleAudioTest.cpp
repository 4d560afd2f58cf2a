#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/Audio.h"
#include "platform/Bundle.h"
#include "platform/Files.h"
#include "platform/RunLoop.h"
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

// A program without sound output records each sound it would play: the
// chart's touch sound at every long press, for as long as the program runs. The
// record keeps the latest plays, not every one since the start.
TEST(AudioRecorder, KeepsTheLatestPlaysNotEveryOneOfALongRun) {
    audio::clearRecordedPlays();
    ASSERT_FALSE(audio::usesDevice());
    auto touch = audio::Player::open(shippedSound("touchStart"));
    auto shake = audio::Player::open(shippedSound("shake"));
    ASSERT_TRUE(touch && shake);
    size_t most = 0;
    for (int i = 0; i < 20000; ++i) {
        touch->play();
        touch->stop();
        if (i % 1000 == 999) most = std::max(most, audio::recordedPlays().size());
    }
    shake->play();
    shake->stop();
    const auto plays = audio::recordedPlays();
    EXPECT_LE(most, 1024u);
    // The newest last, as ever, and the ones before it kept in order.
    ASSERT_GE(plays.size(), 2u);
    EXPECT_EQ(plays.back().file, shippedSound("shake"));
    EXPECT_EQ(plays[plays.size() - 2].file, shippedSound("touchStart"));
    audio::clearRecordedPlays();
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

// A WAV file of the given format around the raw sample bytes, with an odd
// sized chunk before the data (padded, as the format wants) and, optionally,
// a data chunk that claims more than the file holds.
std::string wavFile(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
                    const std::string& data, bool extensible = false, uint32_t claimed = 0) {
    auto u16 = [](uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    auto u32 = [&](uint32_t v) { return u16(uint16_t(v & 0xFFFF)) + u16(uint16_t(v >> 16)); };
    std::string fmt = u16(extensible ? 0xFFFE : format) + u16(channels) + u32(rate) +
                      u32(rate * channels * bits / 8) + u16(uint16_t(channels * bits / 8)) +
                      u16(bits);
    if (extensible) fmt += u16(22) + u16(bits) + u32(0) + u16(format) + std::string(14, '\x01');
    std::string body = "WAVE" + std::string("fmt ") + u32(uint32_t(fmt.size())) + fmt + "LIST" +
                       u32(3) + "abc" + std::string(1, '\0') + "data" +
                       u32(claimed ? claimed : uint32_t(data.size())) + data;
    return "RIFF" + u32(uint32_t(body.size())) + body;
}

TEST(AudioRecorder, ReadsTheWavFormatsAndRefusesOthers) {
    kavtest::TempDir dir;
    auto duration = [&](const std::string& bytes) -> double {
        EXPECT_TRUE(files::writeFileAtomic(dir / "s.wav", bytes));
        auto player = audio::Player::open(dir / "s.wav");
        return player ? player->duration() : -1;
    };
    // 8000 frames at 8 kHz are one second, whatever the sample format.
    EXPECT_DOUBLE_EQ(duration(wavFile(1, 2, 8000, 8, std::string(16000, '\x80'))), 1.0);
    EXPECT_DOUBLE_EQ(duration(wavFile(1, 1, 8000, 24, std::string(24000, '\0'))), 1.0);
    EXPECT_DOUBLE_EQ(duration(wavFile(3, 1, 8000, 32, std::string(32000, '\0'))), 1.0);
    EXPECT_DOUBLE_EQ(duration(wavFile(1, 2, 8000, 16, std::string(32000, '\0'), true)), 1.0);
    // A data chunk cut short gives the whole frames that are there.
    EXPECT_DOUBLE_EQ(duration(wavFile(1, 1, 8000, 16, std::string(8001, '\0'), false, 16000)), 0.5);
    // No sound in these.
    EXPECT_EQ(duration(wavFile(2, 1, 8000, 4, std::string(100, '\0'))), -1);  // ADPCM
    EXPECT_EQ(duration(wavFile(1, 0, 8000, 16, std::string(100, '\0'))), -1);
    EXPECT_EQ(duration(wavFile(1, 1, 0, 16, std::string(100, '\0'))), -1);
    EXPECT_EQ(duration("RIFF\x04\0\0\0WAVE"), -1);
    EXPECT_EQ(duration(""), -1);
}

TEST(AudioOutput, ADeviceBackEndPullsEverySoundInTheMixFormat) {
    kavtest::ScopedEnv mode("KAV_AUDIO", nullptr);
    int opened = 0, closed = 0;
    audio::registerOutputBackend({[&] { return ++opened, true; }, [&] { ++closed; }});
    audio::resetOutput();
    ASSERT_TRUE(audio::usesDevice());
    // Tried once, then closed until a sound plays.
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(audio::deviceOpen());
    {
        // Half a second of a mono 22,050 Hz ramp (the shipped sounds' format).
        kavtest::TempDir dir;
        std::string data;
        for (int i = 0; i < 11025; ++i) {
            const int16_t v = static_cast<int16_t>(i % 2 ? 8000 : 4000);
            data += {char(v & 0xFF), char((v >> 8) & 0xFF)};
        }
        ASSERT_TRUE(files::writeFileAtomic(dir / "tone.wav", wavFile(1, 1, 22050, 16, data)));
        auto player = audio::Player::open(dir / "tone.wav");
        ASSERT_TRUE(player);
        player->setVolume(0.5f);
        player->play();
        EXPECT_EQ(opened, 2);
        EXPECT_TRUE(audio::deviceOpen());
        // Pull the mix as a device would, in device-sized runs.
        std::vector<int16_t> heard;
        std::vector<int16_t> run(1024 * audio::kMixChannels);
        for (int k = 0; k < 30 && player->isPlaying(); ++k) {
            audio::mix(run.data(), 1024);
            heard.insert(heard.end(), run.begin(), run.end());
        }
        EXPECT_FALSE(player->isPlaying());
        EXPECT_TRUE(audio::recordedPlays().empty());
        // Twice the frames at twice the rate, the same on both sides, at half
        // the recorded level (the average of the two alternating samples).
        size_t frames = 0;
        for (size_t i = 0; i < heard.size(); i += 2) {
            EXPECT_EQ(heard[i], heard[i + 1]);
            if (heard[i] != 0) frames = i / 2 + 1;
        }
        EXPECT_NEAR(static_cast<double>(frames), 22050, 2);
        EXPECT_NEAR(heard[2000], 3000, 1100);
        EXPECT_LE(*std::max_element(heard.begin(), heard.end()), 4001);
        // Played to its end, the sound is silent until played again.
        audio::mix(run.data(), 1024);
        EXPECT_TRUE(std::all_of(run.begin(), run.end(), [](int16_t v) { return v == 0; }));
        player->play();
        audio::mix(run.data(), 1024);
        EXPECT_NE(run[100], 0);
    }
    audio::registerOutputBackend({});
    audio::resetOutput();
    EXPECT_EQ(closed, 2);
    // No back end in the program: the recorder, even when not asked for.
    EXPECT_FALSE(audio::usesDevice());
    audio::resetOutput();
}

// A real device's thread pulls the mix as soon as the device is open, while
// the main thread is still choosing the output and closing the device again.
// The state they share is touched under the output's lock on both sides (a
// ThreadSanitizer build of this test reports the race otherwise).
TEST(AudioOutput, ADeviceThatMixesAtOnceSharesNoStateUnlocked) {
    kavtest::ScopedEnv mode("KAV_AUDIO", nullptr);
    std::thread device;
    std::atomic<bool> stop{false};
    std::atomic<int> mixes{0};
    int opened = 0;
    audio::registerOutputBackend({[&] {
                                      ++opened;
                                      stop = false;
                                      device = std::thread([&] {
                                          std::vector<int16_t> run(64 * audio::kMixChannels);
                                          while (!stop) {
                                              audio::mix(run.data(), 64);
                                              mixes.fetch_add(1, std::memory_order_relaxed);
                                              std::this_thread::yield();
                                          }
                                      });
                                      // Mixing before open returns, as a device may.
                                      while (mixes.load(std::memory_order_relaxed) == 0)
                                          std::this_thread::yield();
                                      return true;
                                  },
                                  [&] {
                                      // Mixing on while the main thread goes on.
                                      const int seen = mixes.load(std::memory_order_relaxed);
                                      while (mixes.load(std::memory_order_relaxed) < seen + 3)
                                          std::this_thread::yield();
                                      stop = true;
                                      device.join();
                                  }});
    audio::resetOutput();
    EXPECT_TRUE(audio::usesDevice());
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(audio::deviceOpen());
    audio::registerOutputBackend({});
    audio::resetOutput();
}

// A rate field that is garbage (a damaged file) makes a few megabytes claim
// days of sound: refused, rather than converted whole into the mix format.
TEST(AudioOutput, AFileClaimingDaysOfSoundIsRefused) {
    kavtest::ScopedEnv mode("KAV_AUDIO", nullptr);
    audio::registerOutputBackend({[] { return true; }, [] {}});
    audio::resetOutput();
    ASSERT_TRUE(audio::usesDevice());
    {
        kavtest::TempDir dir;
        // Eight million 8-bit frames at 1 Hz.
        ASSERT_TRUE(files::writeFileAtomic(dir / "damaged.wav",
                                           wavFile(1, 1, 1, 8, std::string(8000000, '\x80'))));
        EXPECT_EQ(audio::Player::open(dir / "damaged.wav"), nullptr);
    }
    audio::registerOutputBackend({});
    audio::resetOutput();
}

// The device's thread runs only while something plays: the device is closed
// after a quarter of a second of silence and opened again by the next sound,
// which is heard whole.
TEST(AudioOutput, TheDeviceIsOpenOnlyWhileSoundsPlay) {
    kavtest::ScopedEnv mode("KAV_AUDIO", nullptr);
    int opened = 0, closed = 0;
    audio::registerOutputBackend({[&] { return ++opened, true; }, [&] { ++closed; }});
    audio::resetOutput();
    ASSERT_TRUE(audio::usesDevice());
    ASSERT_FALSE(audio::deviceOpen());
    auto& loop = platform::RunLoop::main();
    {
        // A tenth of a second of a steady 44,100 Hz tone: 4,410 frames.
        kavtest::TempDir dir;
        std::string data;
        for (int i = 0; i < 4410; ++i) data += {char(0x10), char(0x10)};
        ASSERT_TRUE(files::writeFileAtomic(dir / "beep.wav", wavFile(1, 1, 44100, 16, data)));
        auto player = audio::Player::open(dir / "beep.wav");
        ASSERT_TRUE(player);
        std::vector<int16_t> run(1024 * audio::kMixChannels);
        // Frames heard of one play, pulled until the device is closed.
        auto heardUntilClosed = [&] {
            size_t heard = 0;
            for (int k = 0; k < 100 && audio::deviceOpen(); ++k) {
                audio::mix(run.data(), 1024);
                for (size_t i = 0; i < run.size(); i += 2) heard += run[i] != 0;
                loop.drain();
            }
            return heard;
        };

        player->play();
        EXPECT_EQ(opened, 2);
        // The sound and less than a quarter of a second of silence after it:
        // still open (a device still holds the end of the sound).
        for (int k = 0; k < 12; ++k) audio::mix(run.data(), 1024);
        loop.drain();
        EXPECT_FALSE(player->isPlaying());
        EXPECT_TRUE(audio::deviceOpen());
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(heardUntilClosed(), 0u);
        EXPECT_EQ(closed, 2);

        // Played again, the device opens again and the sound is heard whole.
        player->play();
        EXPECT_EQ(opened, 3);
        EXPECT_EQ(heardUntilClosed(), 4410u);
        EXPECT_EQ(closed, 3);

        // A sound started after the mix asked for the close, before the main
        // thread closes: the device stays open and the sound is heard whole.
        player->play();
        for (int k = 0; k < 16; ++k) audio::mix(run.data(), 1024);
        player->play();
        EXPECT_EQ(opened, 4);
        loop.drain();
        EXPECT_TRUE(audio::deviceOpen());
        EXPECT_TRUE(player->isPlaying());
        EXPECT_EQ(heardUntilClosed(), 4410u);
        EXPECT_EQ(closed, 4);
        EXPECT_EQ(opened, 4);
    }
    audio::registerOutputBackend({});
    audio::resetOutput();
    EXPECT_EQ(closed, 4);
}

}  // namespace
