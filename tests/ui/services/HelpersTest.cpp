#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "platform/Files.h"
#include "platform/Strings.h"
#include "tests/platform/KilledSave.h"
#include "tests/ui/services/ServicesFixture.h"
#include "ui/services/ioFile.h"
#include "ui/services/sysDB.h"

namespace {

TEST(SysDBHelpers, PricesHaveExactlyTheAskedDecimalsWithinReason) {
    EXPECT_EQ(sysDB::formatPrice(1.23456, 2), "1.23");
    EXPECT_EQ(sysDB::formatPrice(1.23456, 0), "1");
    EXPECT_EQ(sysDB::formatPrice(1.5, 3), "1.500");
    // A count from the network may be anything: negative means none, huge
    // stops at 15.
    EXPECT_EQ(sysDB::formatPrice(1.23456, -4), "1");
    EXPECT_EQ(sysDB::formatPrice(0.5, 1000), "0.500000000000000");
    EXPECT_EQ(sysDB::formatPrice(2.0, INT32_MIN), "2");
}

// Written as "%.*f" writes it, digit for digit: the exact binary value
// rounded (a tie between two texts to the even digit), prices through a
// float as the board shows them, the largest and smallest doubles, no
// number at all.
TEST(SysDBHelpers, PricesAreWrittenAsTheCLibraryWritesThem) {
    const auto printf = [](double v, int decimals) {
        return platform::stringf("%.*f", decimals, v);
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> prices(-20000, 20000);
    for (int i = 0; i < 50000; ++i) {
        const double price = prices(random);
        const double shown = i & 1 ? double(float(price)) : price;
        EXPECT_EQ(sysDB::formatPrice(shown, i % 16), printf(shown, i % 16)) << shown;
    }
    // Ties and near-ties at every number of decimals, small and large
    // magnitudes, and around the largest whole numbers a double holds.
    for (int i = 0; i < 20000; ++i) {
        const int decimals = i % 16;
        const double step = std::pow(10.0, -decimals);
        const double tie = (static_cast<double>(random() % 2000000) - 1000000 + 0.5) * step;
        // An odd number of halves of the last place's half: a tie exactly.
        const double exact =
            std::ldexp(static_cast<double>(2 * (random() % 100000) + 1), -(decimals + 1));
        const double tiny = std::ldexp(static_cast<double>(random() % 1000 + 1), -(i % 90));
        for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9), exact, -exact,
                         tiny, -tiny})
            EXPECT_EQ(sysDB::formatPrice(v, decimals), printf(v, decimals)) << v;
    }
    for (double v : {0x1p53, std::nextafter(0x1p53, 0.0), 0x1p52 + 0.5, 1.8e19, 9.2e18, 1.7e4,
                     std::ldexp(1.0, -67), std::ldexp(1.0, -68), -std::ldexp(3.0, -70)}) {
        for (int decimals = 0; decimals <= 15; ++decimals)
            EXPECT_EQ(sysDB::formatPrice(v, decimals), printf(v, decimals)) << v;
    }
    for (double v : {0.125, 0.375, -2.5, 1.005, 2.675, 1.09990, 0.0, -0.0, 1e-300, 1e300,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     std::nan(""), -std::nan("")}) {
        for (int decimals = 0; decimals <= 15; ++decimals)
            EXPECT_EQ(sysDB::formatPrice(v, decimals), printf(v, decimals)) << v;
    }
}

TEST(SysDBHelpers, OnlyZeroAndSubnormalsAreZero) {
    EXPECT_TRUE(sysDB::isZero(-0.0));
    EXPECT_TRUE(sysDB::isZero(1e-310));
    EXPECT_FALSE(sysDB::isZero(-1e-300));
}

TEST(SysDBHelpers, DatesInTheLocalTimeZone) {
    kavtest::Zone zone("CST-8");
    EXPECT_EQ(sysDB::Date2Epoch("1970-01-01 00:00:00"), -8 * 3600);
    EXPECT_EQ(sysDB::Date2Epoch("2026-01-05 17:00:00"), 1767603600);
    EXPECT_EQ(sysDB::Date2Epoch("1970/01/01 00:00:00"), 0);
    EXPECT_EQ(sysDB::Date2Epoch(""), 0);
    EXPECT_EQ(sysDB::Epoch2Date(1767603600, "yyyy-MM-dd HH:mm:ss"), "2026-01-05 17:00:00");
    EXPECT_EQ(sysDB::Epoch2Date(0, "HH:mm"), "08:00");
}

TEST(SysDBHelpers, EmailCheck) {
    for (const char* good : {"a@b.cn", "first.last+tag@mail.example.com", "x_%-1@a-b.info",
                             "A@B.ORG", "a@.b.cn", "a@b..cn"}) {
        EXPECT_TRUE(sysDB::checkEmail(good)) << good;
    }
    for (const char* bad :
         {"", "@b.cn", "a@b.c", "a@b.museum", "a@b", "a@.cn", "a b@c.cn", "a@b.cn ", " a@b.cn",
          "a@@b.cn", "a@b@c.cn", "a@b.c1", "用户@b.cn", "a@b.cn\n", "a#@b.cn"}) {
        EXPECT_FALSE(sysDB::checkEmail(bad)) << bad;
    }
    // Long texts are refused before matching: 254 bytes is the longest address.
    const std::string domain = "@example.com";
    EXPECT_TRUE(sysDB::checkEmail(std::string(254 - domain.size(), 'a') + domain));
    EXPECT_FALSE(sysDB::checkEmail(std::string(255 - domain.size(), 'a') + domain));
    EXPECT_FALSE(sysDB::checkEmail(std::string(1 << 20, 'a') + domain));
}

TEST(SysDBHelpers, AnUnlistedDeviceHasNoModel) {
    EXPECT_EQ(sysDB::hw("iPhone7,2"), "iPhone 6");
    EXPECT_FALSE(sysDB::hw("iPhone9,1")) << "a newer phone";
    EXPECT_FALSE(sysDB::isIPhone4()) << "this machine is no old phone";
}

TEST(SysDBHelpers, TextSizeGrowsWithTheTextAndTheFont) {
    using platform::ui::UIFont;
    const UIFont font = UIFont::systemFontOfSize(14);
    EXPECT_EQ(sysDB::widthOfString("", font).width, 0);
    EXPECT_EQ(sysDB::widthOfString("", font).height, 0);

    const auto one = sysDB::widthOfString("8", font);
    const auto four = sysDB::widthOfString("8888", font);
    EXPECT_GT(one.width, 0);
    EXPECT_NEAR(four.width, 4 * one.width, 1.0) << "digits share one advance";
    EXPECT_EQ(four.height, one.height) << "one line";
    const auto big = sysDB::widthOfString("8888", font.fontWithSize(28));
    EXPECT_NEAR(big.width, 2 * four.width, 2.0);
    EXPECT_GT(big.height, 1.5 * four.height);
    // Each paragraph is a line of its own.
    const auto lines = sysDB::widthOfString("8888\n8", font);
    EXPECT_NEAR(lines.width, four.width, 0.5);
    EXPECT_NEAR(lines.height, 2 * four.height, 1.0);
}

// A picture of `w` x `h` points at `scale`: the left half red, the right half blue.
platform::ui::UIImagePtr halvesImage(int w, int h, double scale) {
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(w * scale), static_cast<int>(h * scale));
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, w / 2.0, h);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_rectangle(cr, w / 2.0, 0, w / 2.0, h);
    cairo_fill(cr);
    cairo_destroy(cr);
    auto image = std::make_shared<platform::ui::UIImage>(surface, scale);
    cairo_surface_destroy(surface);
    return image;
}

TEST(SysDBHelpers, ScaledImagesKeepTheirPictureAtOnePixelPerPoint) {
    using platform::ui::UIColor;
    const auto source = halvesImage(40, 20, 2);  // 80 x 40 pixels
    for (const float scale : {1.5f, 0.25f}) {
        const auto scaled = sysDB::scaleImage(source, scale);
        ASSERT_TRUE(scaled) << scale;
        EXPECT_EQ(scaled->scale(), 1);
        EXPECT_EQ(scaled->pixelWidth(), std::lround(40 * scale));
        EXPECT_EQ(scaled->pixelHeight(), std::lround(20 * scale));
        const int mid = scaled->pixelHeight() / 2;
        EXPECT_EQ(scaled->pixelAt(0, mid), UIColor::colorWithRed(1, 0, 0, 1)) << scale;
        EXPECT_EQ(scaled->pixelAt(scaled->pixelWidth() - 1, mid), UIColor::colorWithRed(0, 0, 1, 1))
            << scale;
    }
    // The source is left as it was.
    EXPECT_EQ(source->pixelWidth(), 80);

    EXPECT_FALSE(sysDB::scaleImage(nullptr, 2));
    for (const float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), 1e6f}) {
        EXPECT_FALSE(sysDB::scaleImage(source, bad)) << bad;
    }
}

class IoFile : public kavtest::FreshDataTest {
  protected:
    std::filesystem::path documents() const { return platform::files::documentsRoot(); }
};

TEST_F(IoFile, SavesReplaceTheWholeFileAndTellTheTruth) {
    ASSERT_TRUE(ioFile::makeFloder("cache/logos"));  // parents too
    EXPECT_TRUE(std::filesystem::is_directory(documents() / "cache/logos"));
    EXPECT_EQ(ioFile::getFullPath("cache/logos"), (documents() / "cache/logos").string());

    EXPECT_FALSE(ioFile::openFile("cache/a.bin"));
    ASSERT_TRUE(ioFile::saveFile("cache/a.bin", "a much longer first content"));
    ASSERT_TRUE(ioFile::saveFile("cache/a.bin", std::string("new\0data", 8)));
    EXPECT_EQ(ioFile::openFile("cache/a.bin"), std::string("new\0data", 8));
    EXPECT_EQ(ioFile::openFileFullPath((documents() / "cache/a.bin").string()),
              std::string("new\0data", 8));
    EXPECT_FALSE(ioFile::openFileFullPath((documents() / "cache").string())) << "a folder";

    // A save that cannot happen says so and leaves nothing behind.
    EXPECT_FALSE(ioFile::saveFile("nofolder/a.bin", "x"));
    EXPECT_FALSE(std::filesystem::exists(documents() / "nofolder"));
    EXPECT_FALSE(ioFile::saveFile("cache", "x")) << "a folder is in the way";
    EXPECT_TRUE(std::filesystem::is_directory(documents() / "cache"));
}

TEST_F(IoFile, ASaveCutShortLeavesTheOldFile) {
    ASSERT_TRUE(ioFile::saveFile("dealersInfo.json", R"({"children":[]})"));
    kavtest::runKilledBeforeRename([] { ioFile::saveFile("dealersInfo.json", "{\"chil"); });
    EXPECT_EQ(ioFile::openFile("dealersInfo.json"), R"({"children":[]})");
}

TEST_F(IoFile, NamesStayInsideTheDocumentsFolder) {
    ASSERT_TRUE(ioFile::makeFloder("keep"));
    ASSERT_TRUE(ioFile::saveFile("keep/x", "1"));
    const auto outside = data_.path() / "outside.txt";
    ASSERT_TRUE(platform::files::writeFileAtomic(outside, "secret"));
    EXPECT_FALSE(ioFile::openFile("../outside.txt"));
    EXPECT_FALSE(ioFile::saveFile("../outside.txt", "overwritten"));
    EXPECT_FALSE(ioFile::removeFloder("../outside.txt"));
    EXPECT_FALSE(ioFile::openFile(outside.string())) << "absolute";
    EXPECT_EQ(ioFile::getFullPath("keep/../../outside.txt"), "");
    EXPECT_EQ(platform::files::readFile(outside), "secret");
    EXPECT_FALSE(ioFile::removeFloder("")) << "never the Documents folder itself";
    EXPECT_FALSE(ioFile::removeFloder("."));
    EXPECT_TRUE(std::filesystem::exists(documents() / "keep/x"));

    EXPECT_TRUE(ioFile::removeFloder("keep")) << "with its content";
    EXPECT_FALSE(std::filesystem::exists(documents() / "keep"));
    EXPECT_TRUE(ioFile::removeFloder("keep")) << "nothing there is what was asked";
}

}  // namespace
