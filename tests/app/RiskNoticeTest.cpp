// The risk notice: the bundled text under its title, closed by its back
// button unless the phone is held on its side; a missing or odd notice file
// opens an empty text rather than failing.
#include <fstream>

#include "app/UIAboutViewController.h"
#include "tests/app/AccountStage.h"

using namespace accounttest;

namespace {

class RiskNoticeTest : public AccountScreenTest {
  protected:
    // The notice presented over a plain screen, as the account centre does.
    std::shared_ptr<UIAboutViewController> presentNotice() {
        base = show(std::make_shared<BaseViewController>());
        auto notice = std::make_shared<UIAboutViewController>();
        notice->setContext(session);
        base->presentViewController(std::make_shared<BaseNavigationController>(notice), true);
        settle();
        return notice;
    }
    // A bundle holding only the given notice file (none when empty).
    void useBundleWithNotice(const std::string& fileText) {
        std::filesystem::create_directories(temp / "DealerDEF");
        if (!fileText.empty()) std::ofstream(temp / "DealerDEF" / "KAVFX_risk.json") << fileText;
        NSBundle::mainBundle().setBundlePath(temp.path());
    }
    void TearDown() override {
        AccountScreenTest::TearDown();
        NSBundle::mainBundle().setBundlePath({});
    }

    std::shared_ptr<BaseNavigationController> base;
};

TEST_F(RiskNoticeTest, ShowsTheBundledNoticeAndClosesOnlyInPortrait) {
    auto notice = presentNotice();
    EXPECT_EQ(notice->title(), "风险提示");
    EXPECT_EQ(notice->navigationController()->navigationBar()->barStyle(), UIBarStyle::Black);
    const std::string text = notice->textView()->text();
    EXPECT_NE(text.find("保证金交易"), std::string::npos) << text;
    // The text lies below the bars and reaches the bottom of the screen.
    auto* scroll =
        notice->view()->viewWithTag<UIScrollView>(UIAboutViewController::kTagScroll).get();
    EXPECT_EQ(scroll->frame(), CGRectMake(0, 64, 320, 568 - 64));
    auto shot = snapshot("risk-notice");
    EXPECT_EQ(pixel(shot, 300, 560), (Rgb{255, 255, 255})) << "the text view's ground";

    // On its side the phone keeps the notice; upright, the back button closes it.
    auto* back = UIDriver::viewWithTag<UIButton>(UIAboutViewController::kTagBack);
    ASSERT_NE(back, nullptr);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    UIDriver::tap(back);
    settle();
    EXPECT_NE(base->presentedViewController(), nullptr);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    settle();
    UIDriver::tap(back);
    settle();
    EXPECT_EQ(base->presentedViewController(), nullptr);
}

TEST_F(RiskNoticeTest, MissingOrOddNoticeFilesOpenWithTheTitleAndAFittingText) {
    struct Case {
        std::string file;
        std::string shown;
    };
    const Case cases[] = {
        {"", ""},                                            // no file at all
        {"not json {", ""},                                  // unreadable
        {"[\"content\"]", ""},                               // not an object
        {"{\"title\":\"风险提示\"}", ""},                    // no content
        {"{\"title\":\"x\",\"content\":42}", "42"},          // a number: its decimal text
        {"{\"title\":\"x\",\"content\":\"短文\"}", "短文"},  // the text itself
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::filesystem::remove_all(temp / "DealerDEF");
        useBundleWithNotice(c.file);
        auto notice = std::make_shared<UIAboutViewController>();
        notice->setContext(session);
        show(notice);
        EXPECT_EQ(notice->title(), "风险提示");
        EXPECT_EQ(notice->textView()->text(), c.shown);
        EXPECT_TRUE(notice->riskContent().is_object());
    }
}

}  // namespace
