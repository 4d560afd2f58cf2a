#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/Stage.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

// Renders at scale 1 into a PNG, reads it back and returns the decoded image,
// so the checks look at exactly what a file shows.
UIImagePtr roundTrip(const UIImagePtr& img) {
    auto png = UIImagePNGRepresentation(img);
    EXPECT_FALSE(png.empty());
    return UIImage::imageWithData(png);
}

bool near(const UIColor& a, const UIColor& b, double tol = 0.02) {
    return std::fabs(a.red - b.red) <= tol && std::fabs(a.green - b.green) <= tol &&
           std::fabs(a.blue - b.blue) <= tol && std::fabs(a.alpha - b.alpha) <= tol;
}

class Painter : public UIView {
  public:
    std::function<void(Canvas&)> paint;
    using UIView::UIView;
    void drawRect(CGRect) override {
        if (paint) paint(*UIGraphicsGetCurrentContext());
    }
};

struct Scene {
    kavtest::VirtualTime time;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 200, 100));
    Scene() {
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();
    }
    UIImagePtr render() { return roundTrip(UIDriver::renderImage(1, window.get())); }
};

TEST(Rendering, RoundedRectangleLayerFillsInsideAndLeavesCorners) {
    Scene s;
    auto box = std::make_shared<UIView>(CGRectMake(20, 20, 100, 60));
    box->setBackgroundColor(UIColor::rgb255(39, 140, 192));
    box->layer().setCornerRadius(20);
    box->layer().setBorderWidth(2);
    box->layer().setBorderColor(UIColor::blackColor());
    s.window->addSubview(box);
    auto img = s.render();
    ASSERT_EQ(img->pixelWidth(), 200);
    EXPECT_TRUE(near(img->pixelAt(70, 50), UIColor::rgb255(39, 140, 192)));
    EXPECT_TRUE(near(img->pixelAt(21, 21), UIColor::whiteColor()));  // cut-off corner
    EXPECT_TRUE(near(img->pixelAt(70, 20), UIColor::blackColor()));  // border on top
    EXPECT_TRUE(near(img->pixelAt(10, 10), UIColor::whiteColor()));  // outside
}

// A view shrunk to nothing (a pop-in starting from scale zero) shows
// nothing, and what is drawn after it still shows.
TEST(Rendering, AViewScaledToNothingLeavesTheRestOfTheScreenDrawn) {
    Scene s;
    auto shrunk = std::make_shared<UIView>(CGRectMake(10, 10, 80, 80));
    shrunk->setBackgroundColor(UIColor::blackColor());
    shrunk->setTransform(CGAffineTransformMakeScale(0, 0));
    s.window->addSubview(shrunk);
    auto after = std::make_shared<UIView>(CGRectMake(100, 20, 60, 60));
    after->setBackgroundColor(UIColor::rgb255(39, 140, 192));
    s.window->addSubview(after);
    auto img = s.render();
    EXPECT_TRUE(near(img->pixelAt(130, 50), UIColor::rgb255(39, 140, 192)));
    EXPECT_TRUE(near(img->pixelAt(50, 50), UIColor::whiteColor()));
}

TEST(Rendering, PatternColoursTileTheirImageFromTheBoundsOrigin) {
    Scene s;
    // A 4 x 2 point tile at scale 2: red on the left half, blue on the right.
    UIGraphicsBeginImageContextWithOptions({4, 2}, false, 2);
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::redColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 2, 2));
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::blueColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(2, 0, 2, 2));
    UIImagePtr tile = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const UIColor pattern = UIColor::colorWithPatternImage(tile);
    EXPECT_FALSE(pattern.isClear());
    EXPECT_TRUE(UIColor::colorWithPatternImage(nullptr).isClear());

    auto background = std::make_shared<UIView>(CGRectMake(10, 10, 40, 20));
    background->setBackgroundColor(pattern);
    auto faded = std::make_shared<UIView>(CGRectMake(10, 40, 40, 20));
    faded->setBackgroundColor(pattern.colorWithAlphaComponent(0.5));
    auto painted = std::make_shared<Painter>(CGRectMake(60, 10, 40, 20));
    painted->setOpaque(false);
    painted->paint = [&](Canvas& c) {
        c.setFillColor(pattern);
        c.fillRect(CGRectMake(0, 0, 40, 20));
    };
    // Scrolled content: the tiles move with it.
    auto scrolled = std::make_shared<UIScrollView>(CGRectMake(110, 10, 40, 20));
    scrolled->setBackgroundColor(pattern);
    scrolled->setContentSize({200, 20});
    scrolled->setContentOffset({2, 0});
    for (auto& v : std::vector<UIViewPtr>{background, faded, painted, scrolled})
        s.window->addSubview(v);
    auto img = s.render();

    for (int x : {0, 4, 8, 36}) {
        EXPECT_TRUE(near(img->pixelAt(10 + x + 1, 11), UIColor::redColor())) << x;
        EXPECT_TRUE(near(img->pixelAt(10 + x + 3, 11), UIColor::blueColor())) << x;
        EXPECT_TRUE(near(img->pixelAt(10 + x + 1, 28), UIColor::redColor())) << x;  // next rows
        EXPECT_TRUE(near(img->pixelAt(60 + x + 1, 11), UIColor::redColor())) << x;
        EXPECT_TRUE(near(img->pixelAt(60 + x + 3, 11), UIColor::blueColor())) << x;
        EXPECT_TRUE(near(img->pixelAt(110 + x + 1, 11), UIColor::blueColor())) << x;
        EXPECT_TRUE(near(img->pixelAt(110 + x + 3, 11), UIColor::redColor())) << x;
    }
    EXPECT_TRUE(near(img->pixelAt(11, 41), UIColor(1, 0.5, 0.5, 1)));
    EXPECT_TRUE(near(img->pixelAt(13, 41), UIColor(0.5, 0.5, 1, 1)));
    EXPECT_TRUE(near(img->pixelAt(5, 5), UIColor::whiteColor()));
    EXPECT_TRUE(near(img->pixelAt(52, 11), UIColor::whiteColor()));
}

TEST(Rendering, LinearGradientRunsBetweenItsColours) {
    Scene s;
    auto v = std::make_shared<Painter>(CGRectMake(0, 0, 200, 100));
    v->paint = [](Canvas& c) {
        c.drawLinearGradient(
            {{UIColor::blackColor(), UIColor::whiteColor()}, {}}, {0, 0}, {200, 0},
            kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    };
    s.window->addSubview(v);
    auto img = s.render();
    EXPECT_LT(img->pixelAt(1, 50).red, 0.03);
    EXPECT_GT(img->pixelAt(198, 50).red, 0.97);
    EXPECT_NEAR(img->pixelAt(100, 50).red, 0.5, 0.02);
    EXPECT_LT(img->pixelAt(50, 50).red, img->pixelAt(150, 50).red);
}

TEST(Rendering, RadialGradientAndClippedTintByDestinationIn) {
    Scene s;
    // A radial gradient that keeps its end colour beyond the end radius.
    auto v = std::make_shared<Painter>(CGRectMake(0, 0, 100, 100));
    v->paint = [](Canvas& c) {
        c.drawRadialGradient({{UIColor::clearColor(), UIColor::blackColor()}, {}}, {50, 50}, 0,
                             {50, 50}, 40, kCGGradientDrawsAfterEndLocation);
    };
    s.window->addSubview(v);
    // An icon recoloured by destination-in: colour where the icon is opaque.
    UIGraphicsBeginImageContextWithOptions({20, 20}, false, 1);
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::blackColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(5, 5, 10, 10));
    auto icon = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    UIGraphicsBeginImageContextWithOptions(icon->size(), false, 1);
    auto* ctx = UIGraphicsGetCurrentContext();
    ctx->setFillColor(UIColor::redColor());
    ctx->fillRect(CGRectMake(0, 0, 20, 20));
    ctx->setBlendMode(CGBlendMode::DestinationIn);
    icon->drawInRect(CGRectMake(0, 0, 20, 20));
    auto tinted = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_TRUE(near(tinted->pixelAt(10, 10), UIColor::redColor()));
    EXPECT_EQ(tinted->pixelAt(2, 2).alpha, 0);

    auto img = s.render();
    EXPECT_TRUE(near(img->pixelAt(50, 50), UIColor::whiteColor(), 0.05));  // clear centre
    EXPECT_TRUE(near(img->pixelAt(2, 50), UIColor::blackColor(), 0.02));   // beyond the end radius
}

TEST(Rendering, StretchableImageKeepsItsCaps) {
    Scene s;
    // 20 x 20: a red 5-point frame around a green middle.
    UIGraphicsBeginImageContextWithOptions({20, 20}, false, 1);
    auto* ctx = UIGraphicsGetCurrentContext();
    ctx->setFillColor(UIColor::redColor());
    ctx->fillRect(CGRectMake(0, 0, 20, 20));
    ctx->setFillColor(UIColor::greenColor());
    ctx->fillRect(CGRectMake(5, 5, 10, 10));
    auto img = UIGraphicsGetImageFromCurrentImageContext()->resizableImageWithCapInsets(
        UIEdgeInsetsMake(5, 5, 5, 5));
    UIGraphicsEndImageContext();
    auto v = std::make_shared<Painter>(CGRectMake(0, 0, 200, 100));
    v->paint = [img](Canvas& c) { c.drawImage(*img, CGRectMake(0, 0, 200, 100)); };
    s.window->addSubview(v);
    auto out = s.render();
    EXPECT_TRUE(near(out->pixelAt(2, 50), UIColor::redColor()));    // left cap stays 5 wide
    EXPECT_TRUE(near(out->pixelAt(7, 50), UIColor::greenColor()));  // middle begins at 5
    EXPECT_TRUE(near(out->pixelAt(197, 97), UIColor::redColor()));
    EXPECT_TRUE(near(out->pixelAt(100, 50), UIColor::greenColor()));
}

// A desktop window shown at a scale that fits it, or a view placed off the
// whole pixels, puts the slices' meeting lines inside pixels: each slice
// covered its share of such a pixel, and two shares drawn over each other
// left a line across a button of one colour.
TEST(Rendering, StretchableImageShowsNoSeamsAtAnyScale) {
    Scene s;
    s.window->setBackgroundColor(UIColor::blackColor());
    auto stretchable = [](const UIColor& colour) {
        UIGraphicsBeginImageContextWithOptions({24, 22}, false, 2);
        UIGraphicsGetCurrentContext()->setFillColor(colour);
        UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 24, 22));
        auto img = UIGraphicsGetImageFromCurrentImageContext()->resizableImageWithCapInsets(
            UIEdgeInsetsMake(9, 10, 9, 10));
        UIGraphicsEndImageContext();
        return img;
    };
    auto solid = stretchable(UIColor::whiteColor());
    auto veiled = stretchable(UIColor::whiteColor().colorWithAlphaComponent(0.5));
    auto v = std::make_shared<Painter>(CGRectMake(10.3, 10.3, 150, 85));
    v->paint = [&](Canvas& c) {
        c.drawImage(*solid, CGRectMake(0, 0, 150, 40));
        c.drawImage(*veiled, CGRectMake(0, 45, 150, 40));
    };
    s.window->addSubview(v);
    for (double scale : {1.0, 1.5, 1.7, 2.0, 2.3}) {
        auto out = UIDriver::renderImage(scale, s.window.get());
        // Inside each button, clear of its own edges: one shade throughout.
        for (double top : {10.3, 55.3}) {
            double least = 1, most = 0;
            for (int y = static_cast<int>(std::ceil(top * scale)) + 1;
                 y < static_cast<int>((top + 40) * scale) - 1; ++y)
                for (int x = static_cast<int>(std::ceil(10.3 * scale)) + 1;
                     x < static_cast<int>((10.3 + 150) * scale) - 1; ++x) {
                    least = std::min(least, out->pixelAt(x, y).red);
                    most = std::max(most, out->pixelAt(x, y).red);
                }
            EXPECT_NEAR(most, top < 50 ? 1 : 0.5, 0.02) << "scale " << scale;
            EXPECT_LT(most - least, 0.02) << "scale " << scale << " top " << top;
        }
    }
}

// A shot of the screen is small enough to sit in the stream's buffer until
// the file is closed, and the close is where a full disk tells.
TEST(Rendering, APictureThatCannotBeWrittenWhollyIsReportedSo) {
    UIGraphicsBeginImageContextWithOptions({4, 4}, false, 1);
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::redColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 4, 4));
    auto img = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_FALSE(UIImageWritePNG(img, "/dev/full"));
    kavtest::TempDir temp;
    ASSERT_TRUE(UIImageWritePNG(img, temp.path() / "red.png"));
    auto back = UIImage::imageWithContentsOfFile(temp.path() / "red.png");
    ASSERT_TRUE(back);
    EXPECT_TRUE(near(back->pixelAt(3, 3), UIColor::redColor()));
}

TEST(Rendering, ChineseTextIsDrawnAndMeasuredWithTheProjectFont) {
    Scene s;
    EXPECT_TRUE(text::usingProjectFonts());
    auto label = std::make_shared<UILabel>(CGRectMake(10, 10, 180, 40));
    label->setText("交易商公告");
    label->setFont(UIFont::systemFontOfSize(20));
    s.window->addSubview(label);
    auto img = s.render();
    int dark = 0;
    for (int y = 10; y < 50; ++y)
        for (int x = 10; x < 190; ++x)
            if (img->pixelAt(x, y).red < 0.5) ++dark;
    EXPECT_GT(dark, 150);  // real glyphs, not an empty box or a blank
    // Five CJK characters are five ems wide.
    CGSize size = NSStringSizeWithFont("交易商公告", UIFont::systemFontOfSize(20));
    EXPECT_NEAR(size.width, 100, 1.0);
    EXPECT_DOUBLE_EQ(size.height, 24);
    // Nothing drawn right of the text's end.
    for (int y = 10; y < 50; ++y)
        for (int x = 115; x < 190; ++x)
            ASSERT_GT(img->pixelAt(x, y).red, 0.95);
}

TEST(Rendering, LabelsWrapAndTruncate) {
    UIFont f = UIFont::systemFontOfSize(10);
    TextStyle wrap;
    wrap.font = f;
    wrap.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    // Ten 10-point characters in 45 points: 4 per line, 3 lines.
    CGSize s = NSStringBoundingSize("一二三四五六七八九十", {45, 0}, wrap);
    EXPECT_DOUBLE_EQ(s.height, 36);
    EXPECT_LE(s.width, 45);
    TextStyle tail = wrap;
    tail.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    tail.numberOfLines = 1;
    CGSize t = NSStringBoundingSize("一二三四五六七八九十", {45, 0}, tail);
    EXPECT_DOUBLE_EQ(t.height, 12);
    EXPECT_LE(t.width, 45);
    // A height limit allows only the lines that fit.
    TextStyle limited = wrap;
    limited.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    CGSize two = NSStringBoundingSize("一二三四五六七八九十", {45, 25}, limited);
    EXPECT_DOUBLE_EQ(two.height, 24);

    auto label = std::make_shared<UILabel>(CGRectMake(0, 0, 300, 40));
    label->setText("价格");
    label->setFont(UIFont::boldSystemFontOfSize(17));
    EXPECT_EQ(label->sizeThatFits({300, 40}), (CGSize{34, 21}));
    label->setText("一二三四五六七八九十");
    label->setFrame(CGRectMake(0, 0, 85, 20));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.25);
    EXPECT_LE(NSStringSizeWithFont(label->text(), label->fittedFont()).width, 85);
    EXPECT_LT(label->fittedFont().pointSize, 17);
}

// What a label that shrinks its text to fit takes: the largest half point
// size from its own down to its least that fits, found in a few shapings (a
// board's low and high prices shrink on every new price).
TEST(Rendering, AShrunkTextTakesTheLargestHalfSizeThatFitsFoundInAFewShapings) {
    const auto byTrying = [](const std::string& text, const UIFont& font, double least,
                             double width) {
        if (NSStringSizeWithFont(text, font).width <= width) return font;
        for (double size = std::floor(font.pointSize * 2) / 2; size >= least; size -= 0.5)
            if (NSStringSizeWithFont(text, font.fontWithSize(size)).width <= width)
                return font.fontWithSize(size);
        return font.fontWithSize(least);
    };
    for (const std::string text :
         {"最低:1.08345", "最高:151.208", "EURUSD", "1", "一二三四五六七八"})
        for (const UIFont& font :
             {UIFont::systemFontOfSize(14), UIFont::boldSystemFontOfSize(17.3)}) {
            // Rooms of every kind, and rooms just the text's width at a size
            // tried, and a hair less or more.
            std::vector<double> widths{0.0, 8.0, 30.0, 55.0, 61.5, 76.0, 90.0, 200.0};
            for (double size : {12.5, 10.0, 8.5}) {
                const double exact = NSStringSizeWithFont(text, font.fontWithSize(size)).width;
                widths.insert(widths.end(), {exact, exact - 0.001, exact + 0.001});
            }
            for (double width : widths)
                for (double scale : {0.6, 0.25, 1.0}) {
                    const double least = std::max(1.0, font.pointSize * scale);
                    EXPECT_EQ(NSStringFittingFont(text, font, least, width).pointSize,
                              byTrying(text, font, least, width).pointSize)
                        << text << " in " << width << " at " << font.pointSize << " down to "
                        << least;
                }
        }

    // A new price that must shrink by a third: a few shapings, not one for
    // every half point down.
    auto label = std::make_shared<UILabel>(CGRectMake(0, 0, 76, 14));
    label->setFont(UIFont::systemFontOfSize(14));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.4);
    label->setText("最低:1.07777777");
    const size_t before = text::layoutsMade();
    const UIFont fitted = label->fittedFont();
    EXPECT_LE(text::layoutsMade() - before, 2u);
    EXPECT_LT(fitted.pointSize, 11);
    EXPECT_EQ(fitted.pointSize, byTrying(label->text(), label->font(), 14 * 0.4, 76).pointSize);

    // Prices that follow one another in the same room are shaped once each,
    // in the size the last one took (the size they are then drawn in), and
    // still take the size trying finds; so do texts of other lengths after
    // them, longer or shorter.
    const UIFont font = UIFont::systemFontOfSize(12);
    NSStringFittingFont("最低:1.00000", font, 6, 55);
    for (int i = 1; i < 40; ++i) {
        const std::string price = "最低:1." + std::to_string(10000 + i * 2357 % 89999);
        const size_t made = text::layoutsMade();
        const UIFont shrunk = NSStringFittingFont(price, font, 6, 55);
        NSStringSizeWithFont(price, shrunk);
        if (text::usingProjectFonts()) {
            EXPECT_LE(text::layoutsMade() - made, 1u) << price;
        }
        EXPECT_EQ(shrunk.pointSize, byTrying(price, font, 6, 55).pointSize) << price;
    }
    for (const std::string text : {"最低:1", "最低:1.0777777777", "1", "最低:151.208", ""})
        for (int twice = 0; twice < 2; ++twice)
            EXPECT_EQ(NSStringFittingFont(text, font, 3, 55).pointSize,
                      byTrying(text, font, 3, 55).pointSize)
                << text;
}

TEST(Rendering, ATextLaidOutAgainInTheSameFontAndRoomIsShapedOnce) {
    Scene s;
    auto price = std::make_shared<UILabel>(CGRectMake(10, 10, 120, 30));
    price->setFont(UIFont::boldSystemFontOfSize(20));
    price->setTextColor(UIColor::blackColor());
    s.window->addSubview(price);
    price->setText("1.08345");
    const auto first = s.render();
    // The price moves and comes back: the earlier text's layout is kept, and
    // what is drawn is the same.
    price->setText("1.08346");
    s.render();
    const size_t before = text::layoutsMade();
    price->setText("1.08345");
    const auto again = s.render();
    EXPECT_EQ(text::layoutsMade(), before);
    ASSERT_EQ(again->pixelWidth(), first->pixelWidth());
    for (int y = 0; y < first->pixelHeight(); ++y)
        for (int x = 0; x < first->pixelWidth(); ++x)
            ASSERT_EQ(again->pixelAt(x, y), first->pixelAt(x, y)) << x << "," << y;
    // Measured in the same font: the layout it was drawn with (it fits its
    // room on one line). Another size or weight is laid out anew, and
    // measures as it should.
    const CGSize bold = NSStringSizeWithFont("1.08345", UIFont::boldSystemFontOfSize(20));
    EXPECT_EQ(text::layoutsMade(), before);
    EXPECT_EQ(NSStringSizeWithFont("1.08345", UIFont::boldSystemFontOfSize(20)), bold);
    EXPECT_EQ(text::layoutsMade(), before);
    const CGSize regular = NSStringSizeWithFont("1.08345", UIFont::systemFontOfSize(20));
    const CGSize smaller = NSStringSizeWithFont("1.08345", UIFont::boldSystemFontOfSize(10));
    EXPECT_EQ(text::layoutsMade(), before + 2);
    EXPECT_LT(regular.width, bold.width);
    EXPECT_NEAR(smaller.width, bold.width / 2, 1);
    // Only the latest few hundred are kept: a text laid out long ago is
    // shaped again.
    for (int i = 0; i < 600; ++i)
        NSStringSizeWithFont(std::to_string(i), UIFont::systemFontOfSize(12));
    const size_t later = text::layoutsMade();
    EXPECT_EQ(NSStringSizeWithFont("1.08345", UIFont::boldSystemFontOfSize(20)), bold);
    EXPECT_EQ(text::layoutsMade(), later + 1);
}

TEST(Rendering, KeptLayoutsStayBoundedAndAreFoundAfterManyTurnsOver) {
    // A size no other test measures in, so that only these texts are kept.
    const UIFont font = UIFont::systemFontOfSize(13.25);
    const auto name = [](int round, int i) { return std::to_string(round) + "/" + std::to_string(i); };
    const auto size = [&](const std::string& text) { return NSStringSizeWithFont(text, font); };
    // Many rounds of more texts than are kept, each leaving the latest
    // few hundred: all of those are found again, and measure as before.
    constexpr int kKept = 512;
    std::vector<CGSize> sizes(kKept);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 700; ++i) size(name(round, i));
        const size_t made = text::layoutsMade();
        for (int i = 700 - kKept; i < 700; ++i) sizes[i - (700 - kKept)] = size(name(round, i));
        EXPECT_EQ(text::layoutsMade(), made) << round;
    }
    // The one least recently used goes first: the oldest, unless it was used
    // since.
    size_t made = text::layoutsMade();
    EXPECT_EQ(size(name(3, 700 - kKept)), sizes[0]);  // used again: now the latest
    size("new one");
    EXPECT_EQ(text::layoutsMade(), made + 1);
    made = text::layoutsMade();
    EXPECT_EQ(size(name(3, 700 - kKept)), sizes[0]);
    EXPECT_EQ(text::layoutsMade(), made);
    EXPECT_EQ(size(name(3, 700 - kKept + 1)), sizes[1]);  // it went
    EXPECT_EQ(text::layoutsMade(), made + 1);
    // A look-up looks at few entries.
    const size_t lookUps = text::blockLookUps(), steps = text::blockSteps();
    for (int i = 700 - 400; i < 700; ++i) size(name(3, i));
    EXPECT_LT(double(text::blockSteps() - steps) / double(text::blockLookUps() - lookUps), 2.0);
    // Now the oldest are (3, 191) to (3, 299). Of the oldest hundred every
    // other one is used again: the next fifty new texts take exactly the
    // fifty others, however many of them in a row, and the next oldest is
    // the one after them.
    for (int i = 191; i < 291; i += 2) size(name(3, i));
    made = text::layoutsMade();
    for (int i = 0; i < 50; ++i) size("newer " + std::to_string(i));
    EXPECT_EQ(text::layoutsMade(), made + 50);
    made = text::layoutsMade();
    for (int i = 191; i < 291; i += 2) EXPECT_EQ(size(name(3, i)), sizes[i - 188]) << i;
    EXPECT_EQ(size(name(3, 291)), sizes[291 - 188]);
    EXPECT_EQ(text::layoutsMade(), made);
    for (int i = 192; i <= 290; i += 14) size(name(3, i));  // they went
    EXPECT_EQ(text::layoutsMade(), made + 8);
}

}  // namespace

namespace {

// The text drawn alone on a white surface at scale 2, as ARGB bytes.
std::vector<unsigned char> drawnAlone(std::string_view text, CGRect rect, const TextStyle& style) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 120);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, 2, 2);
    NSStringDrawInRect(cr, text, rect, style);
    cairo_destroy(cr);
    return uitest::takeBytes(surface);
}

}  // namespace

// A text of one line that fits its room is laid out once, whether measured
// on one line, shrunk to fit or drawn wrapping or truncating in its room, and
// draws as the layout made for that room would; one that does not fit, or has
// more than one paragraph, is still wrapped, truncated and cut to its lines.
TEST(Rendering, ATextThatFitsItsRoomOnOneLineIsLaidOutOnceForMeasuringAndDrawing) {
    Scene s;
    auto low = std::make_shared<UILabel>(CGRectMake(0, 0, 55, 14));
    low->setFont(UIFont::systemFontOfSize(12));
    low->setAdjustsFontSizeToFitWidth(true);
    low->setMinimumScaleFactor(0.5);
    s.window->addSubview(low);
    low->setText("最低:1.07771");
    s.render();
    // A new price shrunk and measured at the size it takes: drawing it takes
    // the layout made to measure it.
    low->setText("最低:1.07772");
    const UIFont fitted = low->fittedFont();
    EXPECT_LT(fitted.pointSize, 12);
    EXPECT_LE(NSStringSizeWithFont(low->text(), fitted).width, 55);
    const size_t before = text::layoutsMade();
    s.render();
    EXPECT_EQ(text::layoutsMade(), before);

    // Drawn in a room it fits, wrapping or truncating: as the first line of
    // the same text with a second paragraph, which is laid out in its room.
    for (auto mode : {NSLineBreakMode::ByWordWrapping, NSLineBreakMode::ByTruncatingTail,
                      NSLineBreakMode::ByClipping}) {
        TextStyle style;
        style.font = UIFont::boldSystemFontOfSize(15);
        style.lineBreakMode = mode;
        style.alignment = NSTextAlignment::Center;
        const CGRect room = CGRectMake(3.5, 4, 150, 50);
        EXPECT_EQ(drawnAlone("最高:1.08345", room, style),
                  drawnAlone("最高:1.08345\n", room, style));
    }

    // Too long for its room: truncated on one line, wrapped on several, even
    // after it was measured on one line.
    const std::string longText = "最低:1.07771 最高:1.08345 点差:2";
    const CGSize oneLine = NSStringSizeWithFont(longText, UIFont::systemFontOfSize(12));
    TextStyle style;
    style.font = UIFont::systemFontOfSize(12);
    style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    style.numberOfLines = 1;
    const CGSize truncated = NSStringBoundingSize(longText, {80, 0}, style);
    EXPECT_LE(truncated.width, 80);
    EXPECT_EQ(truncated.height, style.font.lineHeight());
    style.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    style.numberOfLines = 0;
    const CGSize wrapped = NSStringBoundingSize(longText, {80, 0}, style);
    EXPECT_LE(wrapped.width, 80);
    EXPECT_GE(wrapped.height, 2 * style.font.lineHeight());
    EXPECT_GT(oneLine.width, 80);
    // Two paragraphs in a wide room and one line to show: one line, though
    // each paragraph fits.
    style.numberOfLines = 1;
    NSStringSizeWithFont("1.08\n1.09", style.font);
    EXPECT_EQ(NSStringBoundingSize("1.08\n1.09", {200, 0}, style).height, style.font.lineHeight());
}

// A text with a second paragraph, whichever character ends the first, is
// laid out in its room straight away, not first on one line; a text without
// one (a character beside those that end a paragraph) is laid out on one
// line, which serves its room.
TEST(Rendering, ATextOfTwoParagraphsIsLaidOutInItsRoomAlone) {
    TextStyle style;
    style.font = UIFont::systemFontOfSize(12.75);
    style.numberOfLines = 1;
    int n = 0;
    for (const char* end : {"\n", "\r", "\u2028", "\u2029", "\u0085"}) {
        const std::string text = "1.0" + std::to_string(++n) + end + "1.09";
        const size_t made = text::layoutsMade();
        EXPECT_EQ(NSStringBoundingSize(text, {200, 0}, style).height, style.font.lineHeight());
        EXPECT_EQ(text::layoutsMade(), made + 1) << n;
    }
    for (const char* within : {"\u2027", "\u202A", "\u0084", "\u00A0", "\u4E00"}) {
        const std::string text = "1.0" + std::to_string(++n) + within + "1.09";
        const size_t made = text::layoutsMade();
        const CGSize room = NSStringBoundingSize(text, {200, 0}, style);
        EXPECT_EQ(text::layoutsMade(), made + 1) << n;
        EXPECT_EQ(room, NSStringSizeWithFont(text, style.font)) << n;
        EXPECT_EQ(text::layoutsMade(), made + 1) << n;
    }
}
