// The progress overlay on the virtual clock and the headless driver: the
// box's layout numbers, its place above the keyboard, the display duration of
// a result, the notices in order, the mask types' touch rules and drawing,
// the activity count, and the timing faults of show and dismiss.
#include <cmath>
#include <optional>

#include "platform/ui/Animation.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Text.h"
#include "platform/ui/TextField.h"
#include "tests/ui/toolkit/ToolkitStage.h"

using namespace toolkittest;

namespace {

using Notices = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Every notice of the overlay, with the status it carried.
struct NoticeLog {
    Notices seen;
    int touches = 0;
    UIEvent* lastTouchEvent = nullptr;
    std::vector<platform::ObserverToken> tokens;
    NoticeLog() {
        auto& center = platform::NotificationCenter::defaultCenter();
        for (const char* name :
             {KAVProgressHUDWillAppearNotification, KAVProgressHUDDidAppearNotification,
              KAVProgressHUDWillDisappearNotification, KAVProgressHUDDidDisappearNotification}) {
            tokens.push_back(center.addObserver(name, [this](const platform::Notification& n) {
                auto it = n.userInfo.find(KAVProgressHUDStatusUserInfoKey);
                seen.emplace_back(n.name,
                                  it == n.userInfo.end()
                                      ? std::nullopt
                                      : std::optional(std::any_cast<std::string>(it->second)));
            }));
        }
        tokens.push_back(center.addObserver(KAVProgressHUDDidReceiveTouchEventNotification,
                                            [this](const platform::Notification& n) {
                                                ++touches;
                                                lastTouchEvent = std::any_cast<UIEvent*>(n.object);
                                            }));
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& [name, status] : seen)
            out.push_back(name);
        return out;
    }
};

// The size the overlay measures a status at.
CGSize measured(const std::string& text) {
    TextStyle style;
    style.font = KAVProgressHUD::sharedView()->hudFont();
    style.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    return NSStringBoundingSize(text, {200, 300}, style);
}

class ProgressHUDTest : public ToolkitTest {
  protected:
    std::shared_ptr<KAVProgressHUD> hud = KAVProgressHUD::sharedView();
    UIView* box() { return hud->hudView(); }
    // Whether the overlay is still in the window.
    bool attached() { return hud->superview() != nullptr && hud->window() == window.get(); }
    // Taps the screen's button through whatever covers it.
    int tapsThroughOverlay() {
        const int before = screen->taps;
        UIDriver::tapAt(CGPointMake(160, 475));
        return screen->taps - before;
    }
};

TEST_F(ProgressHUDTest, BoxWithoutTextIsOneHundredSquareWithTheSpinnerInTheMiddle) {
    KAVProgressHUD::show();
    EXPECT_EQ(box()->bounds(), CGRectMake(0, 0, 100, 100));
    EXPECT_TRUE(hud->stringLabel()->isHidden());
    EXPECT_EQ(hud->stringLabel()->frame(), CGRectZero);
    EXPECT_TRUE(hud->spinnerView()->isAnimating());
    EXPECT_EQ(hud->spinnerView()->center(), CGPointMake(50.5, 50.5));
    EXPECT_EQ(hud->spinnerView()->bounds().size, CGSizeMake(37, 37));
    // In the middle across, at 0.45 of the height down (no keyboard).
    EXPECT_EQ(box()->center(), CGPointMake(160, std::floor(568 * 0.45)));
}

TEST_F(ProgressHUDTest, TextWidensAndHeightensTheBoxByTheMeasuredText) {
    // One headline line is taller than 20: the box passes 100, so the label
    // sits 12 in and the box is 24 wider than the label.
    const std::string status = "正在下单";
    const CGSize text = measured(status);
    ASSERT_GT(text.height, 20);
    ASSERT_LT(text.width, 100);
    KAVProgressHUD::showWithStatus(status, KAVProgressHUDMaskTypeBlack);
    EXPECT_EQ(box()->bounds().size, CGSizeMake(124, text.height + 80));
    EXPECT_TRUE(sameRect(hud->stringLabel()->frame(), CGRectMake(12, 66, 100, text.height)));
    EXPECT_EQ(hud->spinnerView()->center(), CGPointMake(62.5, 40.5));

    // A wider text: the width is rounded up to an even number, then 24 more.
    const std::string wide = "交易服务已断开，请重新登录";
    const CGSize w = measured(wide);
    ASSERT_GT(w.width, 100);
    KAVProgressHUD::setStatus(wide);
    const CGFloat even = std::ceil(w.width / 2) * 2;
    EXPECT_EQ(box()->bounds().size, CGSizeMake(even + 24, w.height + 80));
    EXPECT_TRUE(sameRect(hud->stringLabel()->frame(), CGRectMake(12, 66, even, w.height)));
    EXPECT_EQ(hud->spinnerView()->center(), CGPointMake(std::ceil((even + 24) / 2) + 0.5, 40.5));

    // A long text wraps within 200 points and stops at 300.
    std::string longText;
    for (int i = 0; i < 60; ++i)
        longText += "网络连接失败，请稍后再试。";
    KAVProgressHUD::setStatus(longText);
    EXPECT_LE(box()->bounds().size.width, 200 + 24);
    EXPECT_GT(box()->bounds().size.height, 100);
    EXPECT_LE(box()->bounds().size.height, 300 + 80);
}

TEST_F(ProgressHUDTest, TextOnlyDisplayKeepsAShortBoxWithAFullWidthLabel) {
    // A progress display shows the image view without an image: once its
    // text is laid out again, the image area is not in use.
    KAVProgressHUD::showProgress(0.3f, "上传");
    KAVProgressHUD::setStatus("上传中");
    const CGSize text = measured("上传中");
    EXPECT_EQ(box()->bounds().size, CGSizeMake(124, text.height + 20));
    EXPECT_LE(box()->bounds().size.height, 100);
    EXPECT_TRUE(sameRect(hud->stringLabel()->frame(), CGRectMake(0, 9, 124, text.height)));
}

TEST_F(ProgressHUDTest, ProgressRingsSitInTheImageArea) {
    KAVProgressHUD::showProgress(0.4f);
    ASSERT_TRUE(hud->ringLayer());
    EXPECT_DOUBLE_EQ(hud->ringLayer()->strokeEnd(), 0.4f);
    EXPECT_DOUBLE_EQ(hud->backgroundRingLayer()->strokeEnd(), 1);
    EXPECT_EQ(hud->ringLayer()->position(), CGPointMake(50, 50));
    EXPECT_EQ(hud->ringLayer()->bounds().size, CGSizeMake(28, 28));
    EXPECT_FALSE(hud->spinnerView()->isAnimating());
    // 72 straight segments from the top, closed.
    const auto& path = hud->ringLayer()->path()->elements();
    ASSERT_EQ(path.size(), 73u);
    EXPECT_NEAR(path.front().p[0].x, 14, 1e-9);
    EXPECT_NEAR(path.front().p[0].y, 0, 1e-9);
    EXPECT_NEAR(path[18].p[0].x, 28, 1e-9);  // a quarter round: the right edge
    EXPECT_NEAR(path[18].p[0].y, 14, 1e-9);
    EXPECT_EQ(path.back().p[0], path.front().p[0]);

    KAVProgressHUD::showProgress(0.6f, "上传中");
    EXPECT_EQ(hud->ringLayer()->position(), CGPointMake(box()->bounds().size.width / 2, 36));
    // A spinner display takes the rings away.
    KAVProgressHUD::showWithStatus("正在查询");
    EXPECT_TRUE(box()->layer().sublayers().empty() ||
                std::none_of(box()->layer().sublayers().begin(), box()->layer().sublayers().end(),
                             [](const CALayerPtr& l) {
                                 return dynamic_cast<CAShapeLayer*>(l.get()) != nullptr;
                             }));
    EXPECT_TRUE(hud->spinnerView()->isAnimating());
}

// A progress below 0 or not a number (a download's 0 / 0) is an indefinite
// wait: a spinner, and no rings drawn over it when the text changes.
TEST_F(ProgressHUDTest, ProgressBelowZeroOrNotANumberShowsOnlyTheSpinner) {
    auto ringsShown = [&] {
        const auto& layers = box()->layer().sublayers();
        return std::count_if(layers.begin(), layers.end(), [](const CALayerPtr& l) {
            return dynamic_cast<CAShapeLayer*>(l.get()) != nullptr;
        });
    };
    for (const float progress : {-0.5f, std::nanf("")}) {
        SCOPED_TRACE(progress);
        KAVProgressHUD::showProgress(progress, "正在下载");
        KAVProgressHUD::setStatus("正在下载 2");
        EXPECT_EQ(ringsShown(), 0);
        EXPECT_TRUE(hud->spinnerView()->isAnimating());
        EXPECT_EQ(hud->progress(), -1);
        KAVProgressHUD::dismiss();
        time.advance(0.5);
    }
}

TEST_F(ProgressHUDTest, BoxStaysAboveTheKeyboardAndFollowsTheOffset) {
    auto field = std::make_shared<UITextField>(CGRectMake(20, 100, 280, 36));
    screen->view()->addSubview(field);
    KAVProgressHUD::showWithStatus("正在登录");
    const CGFloat free = std::floor(568 * 0.45);
    EXPECT_EQ(box()->center(), CGPointMake(160, free));

    field->becomeFirstResponder();  // the keys come up, 216 high
    time.advance(0.3);
    // The keyboard's height comes off the free height, twice the status bar on.
    EXPECT_EQ(box()->center(), CGPointMake(160, std::floor((568 + 40 - 216) * 0.45)));
    EXPECT_EQ(hud->visibleKeyboardHeight(), 216);

    KAVProgressHUD::setOffsetFromCenter(UIOffsetMake(10, -20));
    KAVProgressHUD::showWithStatus("正在登录");  // placed again with the offset
    EXPECT_EQ(box()->center(), CGPointMake(170, std::floor((568 + 40 - 216) * 0.45) - 20));
    KAVProgressHUD::resetOffsetFromCenter();

    field->resignFirstResponder();
    time.advance(0.3);
    EXPECT_EQ(box()->center(), CGPointMake(160, free));
    EXPECT_EQ(hud->visibleKeyboardHeight(), 0);
}

TEST_F(ProgressHUDTest, TurnedInterfacePlacesTheBoxUprightInTheTurnedScreen) {
    KAVProgressHUD::showWithStatus("正在查询");
    time.advance(0.2);
    UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    time.advance(0.5);
    ASSERT_EQ(UIApplication::sharedApplication().statusBarOrientation(),
              UIInterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(box()->center(), CGPointMake(284, std::floor(320 * 0.45)));
    EXPECT_TRUE(CGAffineTransformIsIdentity(box()->transform()));
    snapshot("hud-landscape");
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    time.advance(0.5);
    EXPECT_EQ(box()->center(), CGPointMake(160, std::floor(568 * 0.45)));
}

TEST_F(ProgressHUDTest, ResultDisplaysLastByTheLengthOfTheirText) {
    EXPECT_DOUBLE_EQ(KAVProgressHUD::displayDurationForString(""), 0.3);
    EXPECT_DOUBLE_EQ(KAVProgressHUD::displayDurationForString("下单成功。"), 0.3 + 5 * 0.06);
    EXPECT_DOUBLE_EQ(KAVProgressHUD::displayDurationForString(std::string(30, 'a')), 2.1);
    EXPECT_DOUBLE_EQ(KAVProgressHUD::displayDurationForString(std::string(100, 'a')), 5.0);
    // A character outside the basic plane counts two units.
    EXPECT_DOUBLE_EQ(KAVProgressHUD::displayDurationForString("\xF0\x9F\x98\x80"), 0.3 + 2 * 0.06);

    NoticeLog log;
    KAVProgressHUD::showSuccessWithStatus(std::string(30, 'a'));
    ASSERT_TRUE(hud->hasFadeOutTimer());
    time.advance(2.09);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    time.advance(0.02);
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    time.advance(0.2);
    EXPECT_FALSE(attached());
    EXPECT_EQ(log.names().back(), KAVProgressHUDDidDisappearNotification);
}

TEST_F(ProgressHUDTest, NoticesComeInOrderWithTheStatusTheyBeganWith) {
    NoticeLog log;
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    ASSERT_EQ(log.seen.size(), 1u);
    time.advance(0.2);
    KAVProgressHUD::setStatus("正在撤单");
    KAVProgressHUD::dismiss();
    time.advance(0.2);
    const Notices expected = {
        {KAVProgressHUDWillAppearNotification, "正在下单"},
        {KAVProgressHUDDidAppearNotification, "正在下单"},
        {KAVProgressHUDWillDisappearNotification, "正在撤单"},
        {KAVProgressHUDDidDisappearNotification, "正在撤单"},
    };
    EXPECT_EQ(log.seen, expected);

    // No text: no status entry.
    log.seen.clear();
    KAVProgressHUD::show();
    time.advance(0.2);
    KAVProgressHUD::dismiss();
    time.advance(0.2);
    ASSERT_EQ(log.seen.size(), 4u);
    for (const auto& [name, status] : log.seen)
        EXPECT_FALSE(status.has_value()) << name;

    // Showing again while shown changes the text in place: no new notices.
    log.seen.clear();
    KAVProgressHUD::showWithStatus("正在查询", KAVProgressHUDMaskTypeBlack);
    time.advance(0.2);
    KAVProgressHUD::showWithStatus("正在提交", KAVProgressHUDMaskTypeBlack);
    EXPECT_EQ(log.seen.size(), 2u);
    EXPECT_EQ(hud->stringLabel()->text(), "正在提交");
    EXPECT_EQ(hud->activityCount(), 2u);
}

TEST_F(ProgressHUDTest, MaskTypesDecideWhichTouchesReachTheScreen) {
    NoticeLog log;
    // Type 1: touches pass; the box carries the text for accessibility.
    KAVProgressHUD::showWithStatus("正在查询");
    EXPECT_EQ(tapsThroughOverlay(), 1);
    EXPECT_EQ(log.touches, 0);
    EXPECT_TRUE(box()->isAccessibilityElement());
    EXPECT_EQ(box()->accessibilityLabel(), "正在查询");
    EXPECT_FALSE(hud->isAccessibilityElement());
    KAVProgressHUD::dismiss();
    time.advance(0.2);

    for (uint32_t mask : {KAVProgressHUDMaskTypeClear, KAVProgressHUDMaskTypeBlack,
                          KAVProgressHUDMaskTypeGradient}) {
        // Blocked from the moment of the show, before the fade-in ends.
        KAVProgressHUD::showWithStatus("正在下单", mask);
        EXPECT_EQ(tapsThroughOverlay(), 0) << mask;
        time.advance(0.2);
        EXPECT_EQ(tapsThroughOverlay(), 0) << mask;
        EXPECT_FALSE(box()->isAccessibilityElement());
        EXPECT_TRUE(hud->isAccessibilityElement());
        EXPECT_EQ(hud->accessibilityLabel(), "正在下单");
        EXPECT_TRUE(KAVProgressHUD::isVisible()) << "a touch never dismisses";
        KAVProgressHUD::dismiss();
        time.advance(0.2);
        // Gone: the screen takes touches again.
        EXPECT_EQ(tapsThroughOverlay(), 1) << mask;
    }
    EXPECT_EQ(log.touches, 6);
    EXPECT_NE(log.lastTouchEvent, nullptr);
}

TEST_F(ProgressHUDTest, OverlayAnnouncesItsTextOnceItHasAppeared) {
    using platform::ui::accessibility::PostedNotification;
    UIDriver::clearAccessibilityNotifications();
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    EXPECT_TRUE(UIDriver::accessibilityNotifications().empty());
    time.advance(0.2);
    auto posted = UIDriver::accessibilityNotifications();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].notification, UIAccessibilityScreenChangedNotification);
    EXPECT_EQ(posted[1].notification, UIAccessibilityAnnouncementNotification);
    EXPECT_EQ(posted[1].argument, "正在下单");

    // A result is announced at once.
    UIDriver::clearAccessibilityNotifications();
    KAVProgressHUD::showSuccessWithStatus("下单成功。");
    posted = UIDriver::accessibilityNotifications();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].argument, "下单成功。");
    // Its end tells only that the screen changed.
    UIDriver::clearAccessibilityNotifications();
    time.advance(1);
    posted = UIDriver::accessibilityNotifications();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].notification, UIAccessibilityScreenChangedNotification);
}

TEST_F(ProgressHUDTest, MasksDimTheScreenAsTheirTypeSays) {
    // What a mask leaves of the screen's grey shows in the red channel.
    const double grey = PlainScreen::kBackground / 255.0;
    auto redAt = [](const UIImagePtr& shot, int x, int y) { return shot->pixelAt(x, y).red; };
    KAVProgressHUD::show();
    time.advance(0.2);
    auto plain = snapshot("hud-mask1-none");
    EXPECT_NEAR(redAt(plain, 10, 300), grey, 0.005);
    KAVProgressHUD::dismiss();
    time.advance(0.2);

    KAVProgressHUD::showWithStatus("正在提交", KAVProgressHUDMaskTypeClear);
    time.advance(0.2);
    auto clear = snapshot("hud-mask2-clear");
    EXPECT_NEAR(redAt(clear, 10, 300), grey, 0.005);
    KAVProgressHUD::dismiss();
    time.advance(0.2);

    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    time.advance(0.2);
    auto black = snapshot("hud-mask3-black");
    EXPECT_NEAR(redAt(black, 10, 300), grey * 0.5, 0.005);
    EXPECT_NEAR(redAt(black, 300, 20), grey * 0.5, 0.005);
    // The box is light over the dark screen.
    const CGPoint c = box()->center();
    EXPECT_GT(redAt(black, static_cast<int>(c.x - 50), static_cast<int>(c.y)), 0.8);
    KAVProgressHUD::dismiss();
    time.advance(0.2);

    KAVProgressHUD::showWithStatus("正在处理......", KAVProgressHUDMaskTypeGradient);
    time.advance(0.2);
    auto gradient = snapshot("hud-mask4-gradient");
    // Nearly clear near the middle; a quarter of the grey left past the
    // gradient's end radius (320 from the middle), towards the corners.
    EXPECT_GT(redAt(gradient, 160, 400), grey * 0.6);
    EXPECT_NEAR(redAt(gradient, 2, 565), grey * 0.25, 0.005);
    KAVProgressHUD::dismiss();
    time.advance(0.2);
    auto after = snapshot("hud-after-dismiss");
    EXPECT_NEAR(redAt(after, 2, 565), grey, 0.005);
}

TEST_F(ProgressHUDTest, ScreenshotsOfTheDisplays) {
    KAVProgressHUD::showWithMaskType(KAVProgressHUDMaskTypeBlack);
    time.advance(0.2);
    snapshot("hud-spinner-no-text");
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    snapshot("hud-spinner-text");
    KAVProgressHUD::showProgress(0.65f, "正在初始化服务", KAVProgressHUDMaskTypeBlack);
    time.advance(0.3);
    snapshot("hud-progress-text");
    KAVProgressHUD::showSuccessWithStatus("下单成功。");
    time.advance(0.2);
    auto success = snapshot("hud-success");
    ASSERT_TRUE(hud->imageView()->image());
    EXPECT_EQ(hud->imageView()->image()->size(), CGSizeMake(28, 28));
    EXPECT_EQ(hud->imageView()->center(), CGPointMake(box()->bounds().size.width / 2, 36));
    // The check mark is drawn dark on the light box.
    const CGPoint mark = hud->imageView()->convertPointToView(CGPointMake(11.5, 20.5), nullptr);
    EXPECT_LT(success->pixelAt(static_cast<int>(mark.x), static_cast<int>(mark.y)).red, 0.35);
    time.advance(1);
    KAVProgressHUD::showErrorWithStatus("下单失败，原因：可用保证金不足");
    time.advance(0.2);
    snapshot("hud-error");
    ASSERT_TRUE(hud->imageView()->image());
    EXPECT_NE(hud->imageView()->image(), hud->hudSuccessImage());
    time.advance(5.5);
    EXPECT_FALSE(attached());
}

TEST_F(ProgressHUDTest, ResultShowsKeepTheMaskOfTheDisplayTheyFollow) {
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    time.advance(0.2);
    KAVProgressHUD::showSuccessWithStatus("下单成功。");
    EXPECT_EQ(hud->maskType(), KAVProgressHUDMaskTypeBlack);
    EXPECT_EQ(tapsThroughOverlay(), 0);
    EXPECT_EQ(hud->activityCount(), 1u);
    time.advance(1);

    // From nothing: type 1, counted once, touches pass.
    KAVProgressHUD::showErrorWithStatus("失败");
    EXPECT_EQ(hud->maskType(), KAVProgressHUDMaskTypeNone);
    EXPECT_EQ(hud->activityCount(), 1u);
    EXPECT_EQ(tapsThroughOverlay(), 1);
    // A show before its timer fires cancels the automatic dismissal.
    KAVProgressHUD::showWithStatus("正在查询");
    EXPECT_FALSE(hud->hasFadeOutTimer());
    time.advance(6);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
}

TEST_F(ProgressHUDTest, ActivityCountDismissesOnTheLastPopAndNeverWraps) {
    KAVProgressHUD::show();
    KAVProgressHUD::showWithStatus("正在查询");
    KAVProgressHUD::showProgress(0.5f);  // a running progress is not an activity
    KAVProgressHUD::showProgress(0);     // a progress at 0 is
    EXPECT_EQ(hud->activityCount(), 3u);
    KAVProgressHUD::popActivity();
    KAVProgressHUD::popActivity();
    EXPECT_EQ(hud->activityCount(), 1u);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    KAVProgressHUD::popActivity();
    EXPECT_EQ(hud->activityCount(), 0u);
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    time.advance(0.2);

    // A pop with nothing to pop leaves the count at 0, so the next
    // show-and-pop pair still dismisses.
    KAVProgressHUD::popActivity();
    EXPECT_EQ(hud->activityCount(), 0u);
    KAVProgressHUD::showProgress(0.5f, "上传中");
    KAVProgressHUD::popActivity();
    EXPECT_EQ(hud->activityCount(), 0u);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    KAVProgressHUD::show();
    EXPECT_EQ(hud->activityCount(), 1u);
    KAVProgressHUD::popActivity();
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    time.advance(0.2);
    EXPECT_FALSE(attached());

    // Every dismissal resets the count.
    KAVProgressHUD::show();
    KAVProgressHUD::show();
    KAVProgressHUD::dismiss();
    EXPECT_EQ(hud->activityCount(), 0u);
}

TEST_F(ProgressHUDTest, DismissalBeforeTheFadeInEndsStillDismissesAndCompletes) {
    NoticeLog log;
    int completions = 0;
    // An order refused before its call returns: show and dismiss in one turn.
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    KAVProgressHUD::dismissWithComplete([&] { ++completions; });
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_EQ(completions, 0);  // after the fade-out, not inside the call
    time.advance(0.16);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(attached());
    EXPECT_EQ(tapsThroughOverlay(), 1);
    // It never counted as having appeared.
    const std::vector<std::string> expected = {KAVProgressHUDWillAppearNotification,
                                               KAVProgressHUDWillDisappearNotification,
                                               KAVProgressHUDDidDisappearNotification};
    EXPECT_EQ(log.names(), expected);
    time.advance(1);
    EXPECT_EQ(completions, 1);

    // Nothing shown: the block is never run.
    KAVProgressHUD::dismissWithComplete([&] { ++completions; });
    time.advance(1);
    EXPECT_EQ(completions, 1);
}

TEST_F(ProgressHUDTest, ShowDuringTheFadeOutTakesTheOverlayOver) {
    for (uint32_t mask : {KAVProgressHUDMaskTypeNone, KAVProgressHUDMaskTypeBlack}) {
        SCOPED_TRACE(mask);
        int completions = 0;
        KAVProgressHUD::showWithStatus("正在查询", mask);
        time.advance(0.2);
        KAVProgressHUD::dismissWithComplete([&] { ++completions; });
        time.advance(0.05);
        KAVProgressHUD::showWithStatus("正在提交", KAVProgressHUDMaskTypeBlack);
        EXPECT_TRUE(KAVProgressHUD::isVisible());
        time.advance(1);
        // The new display stands, at full size and fully drawn...
        EXPECT_TRUE(KAVProgressHUD::isVisible());
        EXPECT_TRUE(attached());
        EXPECT_EQ(hud->alpha(), 1);
        EXPECT_EQ(box()->alpha(), 1);
        EXPECT_TRUE(CGAffineTransformIsIdentity(box()->transform()));
        EXPECT_EQ(tapsThroughOverlay(), 0);
        // ...and whoever waited for the first dismissal heard it once.
        EXPECT_EQ(completions, 1);
        KAVProgressHUD::dismiss();
        time.advance(0.2);
        EXPECT_FALSE(attached());
        EXPECT_EQ(completions, 1);
    }
}

TEST_F(ProgressHUDTest, EveryDismissalCompletesOnceThoughShowsOvertakeThemInOneTurn) {
    std::vector<std::string> done;
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    KAVProgressHUD::dismissWithComplete([&] { done.push_back("first"); });
    KAVProgressHUD::showWithStatus("正在查询", KAVProgressHUDMaskTypeBlack);
    KAVProgressHUD::dismissWithComplete([&] { done.push_back("second"); });
    time.advance(1);
    EXPECT_EQ(done, (std::vector<std::string>{"first", "second"}));
    EXPECT_FALSE(attached());
}

TEST_F(ProgressHUDTest, ASecondDismissalDuringTheFadeOutCompletesWithIt) {
    std::vector<int> order;
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    time.advance(0.2);
    KAVProgressHUD::dismissWithComplete([&] { order.push_back(1); });
    time.advance(0.05);
    KAVProgressHUD::dismissWithComplete([&] { order.push_back(2); });
    time.advance(0.05);
    EXPECT_TRUE(order.empty());
    time.advance(0.1);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    time.advance(1);
    EXPECT_EQ(order.size(), 2u);
}

TEST_F(ProgressHUDTest, KeyboardAndOrientationObserversLiveOnlyWhileShown) {
    auto& center = platform::NotificationCenter::defaultCenter();
    const size_t before = center.observerCount(UIKeyboardWillShowNotification);
    const size_t turns =
        center.observerCount(UIApplicationDidChangeStatusBarOrientationNotification);
    KAVProgressHUD::showWithStatus("正在查询");
    KAVProgressHUD::showWithStatus("正在查询");
    EXPECT_EQ(center.observerCount(UIKeyboardWillShowNotification), before + 1);
    EXPECT_EQ(center.observerCount(UIKeyboardDidHideNotification),
              center.observerCount(UIKeyboardWillShowNotification));
    EXPECT_EQ(center.observerCount(UIApplicationDidChangeStatusBarOrientationNotification),
              turns + 1);
    KAVProgressHUD::dismiss();
    EXPECT_EQ(center.observerCount(UIKeyboardWillShowNotification), before + 1);  // still fading
    time.advance(0.2);
    EXPECT_EQ(center.observerCount(UIKeyboardWillShowNotification), before);
    EXPECT_EQ(center.observerCount(UIApplicationDidChangeStatusBarOrientationNotification), turns);
}

}  // namespace

TEST_F(ProgressHUDTest, TheSpinnerStopsWhenTheOverlayIsGoneSoNothingAsksForFrames) {
    KAVProgressHUD::showWithStatus("登录中");
    time.advance(1);
    ASSERT_TRUE(hud->spinnerView()->isAnimating());
    EXPECT_TRUE(UIScreenRenderer::animatesOnScreen());
    KAVProgressHUD::dismiss();
    time.advance(1);
    EXPECT_FALSE(attached());
    EXPECT_FALSE(hud->spinnerView()->isAnimating());
    EXPECT_EQ(platform::ui::animation::activeCount(), 0u);
    EXPECT_FALSE(UIScreenRenderer::animatesOnScreen());
}
