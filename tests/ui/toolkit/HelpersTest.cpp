// The view, image and string helpers: frame accessors and screen positions,
// tinted icons, the image cache against the simulated dealer's web service
// (what is kept and what is not), and the price texts' decimal rounding.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>

#include "platform/Files.h"
#include "platform/ui/ScrollView.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"
#include "ui/toolkit/ImageUtils.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/UIImageTintColor.h"
#include "ui/toolkit/UIViewAdditions.h"

using namespace platform::ui;
using platform::Decimal;
namespace files = platform::files;

namespace {

using V = UIViewAdditions;

TEST(ViewAdditions, ScreenPositionsCountScrollingOnlyWhereAsked) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 100, 320, 400));
    auto scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, 320, 200));
    scroll->setContentSize({1000, 1000});
    auto view = std::make_shared<UIView>(CGRectMake(0, 30, 30, 20));
    root->addSubview(scroll);
    scroll->addSubview(view);
    scroll->setContentOffset({50, 20});
    V::setRight(*view, 40);  // 30 wide: x 10, width kept
    EXPECT_EQ(view->frame(), CGRectMake(10, 30, 30, 20));
    EXPECT_EQ(V::viewScreenX(*view), 10);
    EXPECT_EQ(V::viewScreenY(*view), 130);
    EXPECT_EQ(V::screenFrame(*view), CGRectMake(-40, 110, 30, 20));

    scroll->addSubview(std::make_shared<UIView>());
    V::removeAllSubviews(*scroll);
    EXPECT_TRUE(scroll->subviews().empty());
    EXPECT_EQ(view->superview(), nullptr);
}

TEST(ImageHelpers, TintedIconTakesTheColourWhereTheIconIsOpaque) {
    auto icon = UIImage::imageNamed("nav_menuicon");
    ASSERT_TRUE(icon);
    auto red = UIImageTintColor::imageWithTintColor(UIColor::redColor(), "nav_menuicon");
    ASSERT_TRUE(red);
    EXPECT_EQ(red->size(), icon->size());
    // The menu icon's middle bar (y 10..12, x 3..19) in red, nothing around.
    const double k = red->scale();
    auto at = [&](double x, double y) {
        return red->pixelAt(static_cast<int>(x * k), static_cast<int>(y * k));
    };
    const UIColor bar = at(11, 11);
    EXPECT_NEAR(bar.red, 1, 0.02);
    EXPECT_NEAR(bar.green, 0, 0.02);
    EXPECT_NEAR(bar.alpha, 1, 0.02);
    EXPECT_EQ(at(11, 8.5).alpha, 0);
    EXPECT_EQ(at(1, 11).alpha, 0);
    EXPECT_EQ(UIImageTintColor::imageWithTintColor(UIColor::redColor(), "no_such_icon"), nullptr);

    // The trade buttons' backgrounds stretch between their caps.
    auto buy = ImageUtils::tradeBackgroundImageByIsRed(true);
    ASSERT_TRUE(buy);
    EXPECT_EQ(buy->capInsets(), UIEdgeInsetsMake(9, 10, 9, 10));
    auto scaled = ImageUtils::rescaleImageToSize({10, 20}, buy);
    EXPECT_EQ(scaled->pixelWidth(), 10);
    EXPECT_GT(scaled->pixelAt(5, 10).red, 0.5);
}

TEST(ImageCache, KeepsOnlyADecodedAnswerOf200AndFetchesNoCachedPicture) {
    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    kavtest::DealerSim sim;
    std::vector<UIImagePtr> got;
    auto block = [&](const UIImagePtr& image) { got.push_back(image); };
    std::atomic<int> staged = 0;
    files::setAtomicWriteHook([&](const files::Path&) { ++staged; });
    const std::string folder = (temp.path() / "Res/Images/Dealer").string() + "/";
    const std::string logo = folder + "KAVFX_logo.png";

    // Downloaded: later, on the main run loop, into a folder made for it,
    // written in one step.
    ImageUtils::loadImage(logo, sim.dealerUrl() + "/KAVFX/logo.png", block);
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(time.runUntil([&] { return !got.empty(); }));
    ASSERT_TRUE(got[0]);
    EXPECT_EQ(got[0]->size(), CGSizeMake(240, 80));
    EXPECT_TRUE(UIImage::imageWithContentsOfFile(logo));
    EXPECT_EQ(staged, 1);
    files::setAtomicWriteHook(nullptr);

    // Cached: handed over before the call returns, with no request.
    const size_t requests = sim.httpRequests().size();
    ImageUtils::loadImage(logo, sim.dealerUrl() + "/KAVFX/logo.png", block);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1]->size(), CGSizeMake(240, 80));

    // A cached file that is no picture (cut short, written over from
    // outside) is fetched again and replaced.
    ASSERT_TRUE(files::writeFileAtomic(logo, "\x89PNG\r\n"));
    ImageUtils::loadImage(logo, sim.dealerUrl() + "/KAVFX/logo.png", block);
    ASSERT_EQ(got.size(), 2u);
    ASSERT_TRUE(time.runUntil([&] { return got.size() == 3; }));
    ASSERT_TRUE(got[2]);
    EXPECT_EQ(got[2]->size(), CGSizeMake(240, 80));
    EXPECT_TRUE(UIImage::imageWithContentsOfFile(logo));
    EXPECT_EQ(sim.httpRequests().size(), requests + 1);
    got.pop_back();

    // A missing image (404) and a page that is no image (200 with JSON):
    // null, and nothing is written.
    ImageUtils::loadImage(folder + "none.png", sim.dealerUrl() + "/KAVFX/none.png", block);
    ImageUtils::loadImage(folder + "page.png", sim.dealerUrl() + "/getdealer.php?key=KAVFX", block);
    ASSERT_TRUE(time.runUntil([&] { return got.size() == 4; }));
    EXPECT_EQ(got[2], nullptr);
    EXPECT_EQ(got[3], nullptr);
    EXPECT_FALSE(files::fileExists(folder + "none.png"));
    EXPECT_FALSE(files::fileExists(folder + "page.png"));

    // Names no name from the network may take: nothing is fetched, the
    // block gets null later.
    ImageUtils::loadImage(folder + "KAVFX logo.png", sim.dealerUrl() + "/KAVFX/logo.png", block);
    ImageUtils::loadImage(folder + "../up.png", sim.dealerUrl() + "/KAVFX/logo.png", block);
    EXPECT_EQ(got.size(), 4u);
    time.drain();
    EXPECT_EQ(got, (std::vector<UIImagePtr>{got[0], got[1], nullptr, nullptr, nullptr, nullptr}));
    EXPECT_EQ(sim.httpRequests().size(), requests + 3);
}

TEST(ImageCache, ANamedPipeInTheCachedFilesPlaceIsFetchedOverNotOpened) {
    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    kavtest::DealerSim sim;
    const auto folder = temp.path() / "Res/Images/Dealer";
    const auto logo = folder / "KAVFX_logo.png";
    ASSERT_TRUE(files::makeDirectories(folder));
    ASSERT_EQ(::mkfifo(logo.c_str(), 0600), 0);
    // Opening it would wait for a writer for ever, on the main thread.
    EXPECT_EQ(UIImage::imageWithContentsOfFile(logo), nullptr);
    UIImagePtr got;
    ImageUtils::loadImage(logo.string(), sim.dealerUrl() + "/KAVFX/logo.png",
                          [&](const UIImagePtr& image) { got = image; });
    ASSERT_TRUE(time.runUntil([&] { return got != nullptr; }));
    EXPECT_EQ(got->size(), CGSizeMake(240, 80));
    EXPECT_TRUE(UIImage::imageWithContentsOfFile(logo));
}

TEST(StringUtils, RoundingIsExactHalfAwayFromZeroWithAHeldDecimalCount) {
    auto text = [](const char* number, int places) {
        return KAStringUtils::notRounding(*Decimal::parse(number), places);
    };
    EXPECT_EQ(text("2.345", 2), "2.35");
    EXPECT_EQ(text("2.344", 2), "2.34");
    EXPECT_EQ(text("0.1", 4), "0.1000");
    // Ties are exact ties, rounded away from zero.
    EXPECT_EQ(text("1.005", 2), "1.01");
    EXPECT_EQ(text("-1.005", 2), "-1.01");
    // The decimal count is held to 0..15, and every digit shown is the
    // number's own.
    EXPECT_EQ(text("1.23456789012345678", 99), "1.234567890123457");
    EXPECT_EQ(text("149.6", -2), "150");
    EXPECT_EQ(text("123456789012.1234567", 7), "123456789012.1234567");
    // A float goes through its six-decimal text first.
    EXPECT_EQ(KAStringUtils::notRoundingWithFloat(1.005f, 2), "1.01");
    EXPECT_EQ(KAStringUtils::notRoundingWithFloat(-0.125f, 2), "-0.13");
}

TEST(StringUtils, DecimalDigitsAndDigitTexts) {
    EXPECT_EQ(KAStringUtils::getDecimalDigits(0.0001), 4);
    EXPECT_EQ(KAStringUtils::getDecimalDigits(25.0), 0);
    // Too small for the shortest text without an exponent: still 5.
    EXPECT_EQ(KAStringUtils::getDecimalDigits(0.00001), 5);

    EXPECT_FALSE(KAStringUtils::isAllDigitsWithString("12a"));
    EXPECT_TRUE(KAStringUtils::isAllDigitsWithString(""));
    EXPECT_FALSE(KAStringUtils::isAllDigitsWithString(std::nullopt));
    // Decimal digits of other scripts count; other number signs do not.
    EXPECT_TRUE(KAStringUtils::isAllDigitsWithString("0١２"));
    EXPECT_FALSE(KAStringUtils::isAllDigitsWithString("²"));
    EXPECT_FALSE(KAStringUtils::isAllDigitsWithString(std::string("1\xff")));
}

}  // namespace
