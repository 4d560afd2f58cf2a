// The demo registration form against the simulated dealer's registration
// service: the local checks in their order, what is sent and how, every kind
// of answer, the hot-line, the keyboard shift and the one-time layout.
#include "app/AppConfig.h"
#include "app/RegisterService.h"
#include "app/UIRegister.h"
#include "platform/Log.h"
#include "tests/app/AppStage.h"
#include "tests/support/DealerSim.h"
#include "ui/toolkit/UIKAVInputField.h"

using namespace apptest;

namespace {

// The login screen's part: a view the panel lies on, slid in below the
// segmented controls, and the delegate the panel reports to.
class Host : public UIViewController, public RegisterAccountDelegate {
  public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::grey255(30));
        const CGRect b = view()->bounds();
        panel = std::make_shared<UIRegister>(CGRectMake(0, 231, b.size.width, b.size.height - 80));
        panel->setTag(4005);
        panel->setRegisterAccountDelegate(weakSelf<RegisterAccountDelegate>());
        view()->addSubview(panel);
    }
    void onRegisterSuccess(const std::string& email) override { registered.push_back(email); }
    std::shared_ptr<UIRegister> panel;
    std::vector<std::string> registered;
};

class RegisterTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        host = std::make_shared<Host>();
        show(host);
    }
    UITextField* field(long tag) {
        auto row = host->panel->viewWithTag<UIKAVInputField>(tag);
        return row ? row->textField().get() : nullptr;
    }
    void type(long tag, const std::string& text) {
        UIDriver::tap(field(tag));
        UIDriver::typeText(text);
        time.advance(0.3);
    }
    void fill(const std::string& email, const std::string& password, const std::string& confirm) {
        type(UIRegister::kTagEmail, email);
        type(UIRegister::kTagPassword, password);
        type(UIRegister::kTagConfirm, confirm);
    }
    void pressRegister() {
        UIDriver::tap(host->panel->viewWithTag<UIButton>(UIRegister::kTagRegister).get());
        time.advance(0.3);
    }
    // Waits for the server's answer to reach the screen: the overlay goes,
    // then the alert shows.
    void settle() {
        ASSERT_TRUE(time.runUntil([] { return !KAVProgressHUD::isVisible(); }));
        time.advance(0.5);
    }

    kavtest::DealerSim sim;
    kavtest::ScopedEnv service{appconfig::kRegisterServiceVariable, sim.registerUrl().c_str()};
    std::shared_ptr<Host> host;
};

TEST_F(RegisterTest, TheChecksComeInTheirOrderAndSendNothing) {
    EXPECT_EQ(host->panel->contentSize().height, UIRegister::kContentHeight);
    snapshot("register-panel");
    struct Case {
        const char* email;
        const char* password;
        const char* confirm;
        const char* message;
    } cases[] = {
        // An invalid e-mail is reported before any password check.
        {"not-an-email", "", "x", UIRegister::kMsgBadEmail},
        {"", "a", "a", UIRegister::kMsgBadEmail},
        {"a@b.c", "secret", "secret", UIRegister::kMsgBadEmail},  // top level too short
        {"user@example.com", "secret", "secreT", UIRegister::kMsgPasswordsDiffer},
        {"user@example.com", "", "", UIRegister::kMsgPasswordEmpty},
        // Blanks only are no password.
        {"user@example.com", "   ", " ", UIRegister::kMsgPasswordEmpty},
    };
    for (const auto& c : cases) {
        fill(c.email, c.password, c.confirm);
        pressRegister();
        EXPECT_EQ(topAlertMessage(), c.message) << c.email << " / " << c.password;
        EXPECT_FALSE(KAVProgressHUD::isVisible());
        closeAlerts();
        for (long tag : {UIRegister::kTagEmail, UIRegister::kTagPassword, UIRegister::kTagConfirm})
            field(tag)->setText("");
    }
    EXPECT_TRUE(sim.httpRequests("register").empty());
}

TEST_F(RegisterTest, ARegistrationSendsTheValuesWithoutBlanksEncodedAndNeverLogsThePassword) {
    platform::LogCapture log(true);
    sim.holdWeb("register");
    // Blanks inside and around go; characters of the query's own syntax
    // reach the server as typed.
    fill(" new.user @example.com ", "pa ss&word=1+%", "pa ss&word=1+% ");
    pressRegister();
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_TRUE(visibleText(UIRegister::kMsgRegistering));
    snapshot("register-sending");
    auto requests = sim.waitForHttpRequests("register", 1);
    ASSERT_EQ(requests.size(), 1u);
    const auto& query = requests[0]["query"];
    EXPECT_EQ(query["email"], "new.user@example.com");
    EXPECT_EQ(query["name"], "new.user@example.com");
    EXPECT_EQ(query["password"], "pass&word=1+%");
    EXPECT_EQ(query["amount"], "1000000");
    EXPECT_EQ(query.size(), 4u);
    sim.releaseHeld();
    settle();
    EXPECT_EQ(topAlertMessage(), UIRegister::kMsgRegistered);
    snapshot("register-done");
    EXPECT_TRUE(host->registered.empty()) << "told when the alert closes";
    ASSERT_TRUE(tapAlertButton("确定"));
    ASSERT_EQ(host->registered.size(), 1u);
    EXPECT_EQ(host->registered[0], "new.user@example.com");
    EXPECT_FALSE(sim.desk("new.user@example.com")["accounts"].empty());

    EXPECT_TRUE(log.contains("注册模拟账户"));
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.find("password="), std::string::npos) << line;
        EXPECT_EQ(line.find("pass"), std::string::npos) << line;
    }
}

TEST_F(RegisterTest, EveryKindOfFailureSaysSoAndKeepsTheTypedValues) {
    fill("taken@example.com", "secret", "secret");
    pressRegister();
    settle();
    ASSERT_TRUE(tapAlertButton("确定"));

    // The server's refusal, its message as it comes.
    pressRegister();
    settle();
    EXPECT_EQ(topAlertMessage(), "该邮箱已注册");
    snapshot("register-refused");
    closeAlerts();

    // An error page delivered with 200.
    sim.webAnswer("register", 200, "<html><body>Service Unavailable</body></html>");
    pressRegister();
    settle();
    EXPECT_EQ(topAlertMessage(), UIRegister::kMsgUnreadable);
    closeAlerts();

    // Another status.
    sim.webAnswer("register", 502, "bad gateway");
    pressRegister();
    settle();
    EXPECT_EQ(topAlertMessage(), UIRegister::kMsgTransportFailed);
    closeAlerts();

    // No answer within the request's time-out.
    sim.holdWeb("register");
    pressRegister();
    ASSERT_EQ(sim.waitForHttpRequests("register", 5).size(), 5u);
    time.advance(9);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    time.advance(1.5);
    settle();
    EXPECT_EQ(topAlertMessage(), UIRegister::kMsgTransportFailed);
    closeAlerts();
    sim.releaseHeld();

    EXPECT_EQ(field(UIRegister::kTagEmail)->text(), "taken@example.com");
    EXPECT_EQ(field(UIRegister::kTagPassword)->text(), "secret");
    EXPECT_EQ(field(UIRegister::kTagConfirm)->text(), "secret");
    EXPECT_EQ(host->registered.size(), 1u);  // only the first one
}

TEST_F(RegisterTest, TheServersAnswerCountsByItsRetCodeAsNumberOrText) {
    struct Case {
        const char* body;
        std::string expected;
    } cases[] = {
        {R"({"retCode":0})", UIRegister::kMsgRegistered},
        {R"({"retCode":"0","message":"ok"})", UIRegister::kMsgRegistered},
        {R"({"retCode":7,"message":"系统维护中"})", "系统维护中"},
        {R"({"retCode":"3","message":"金额无效"})", "金额无效"},
        {R"(["retCode", 0])", UIRegister::kMsgUnreadable},
    };
    fill("someone@example.com", "secret", "secret");
    for (const auto& c : cases) {
        sim.webAnswer("register", 200, c.body, "application/json");
        pressRegister();
        settle();
        EXPECT_EQ(topAlertMessage(), c.expected) << c.body;
        closeAlerts();
    }
}

TEST_F(RegisterTest, AnAnswerWithoutAWholeNumberForItsRetCodeIsNoRegistration) {
    // Each would read as 0: no code, null, a word, a flag, a fraction.
    const char* bodies[] = {
        R"({"message":"邮箱已注册"})",
        R"({"retCode":null,"message":"邮箱已注册"})",
        R"({"retCode":"E1001","message":"邮箱已注册"})",
        R"({"retCode":false})",
        R"({"retCode":0.5})",
        R"({"retCode":"","message":""})",
    };
    fill("someone@example.com", "secret", "secret");
    for (const char* body : bodies) {
        sim.webAnswer("register", 200, body, "application/json");
        pressRegister();
        settle();
        EXPECT_EQ(topAlertMessage(), UIRegister::kMsgUnreadable) << body;
        closeAlerts();
    }
    EXPECT_TRUE(host->registered.empty());
    EXPECT_EQ(field(UIRegister::kTagEmail)->text(), "someone@example.com");
}

TEST_F(RegisterTest, TheHotlineDialsAndTheFormIsBuiltOnce) {
    auto* hotline = host->panel->viewWithTag<UIButton>(UIRegister::kTagHotline).get();
    ASSERT_NE(hotline, nullptr);
    EXPECT_EQ(hotline->debugText(), "服务热线：" + registerservice::hotline());
    UIDriver::tap(hotline);
    ASSERT_EQ(UIApplication::sharedApplication().openedURLs().size(), 1u);
    EXPECT_EQ(UIApplication::sharedApplication().openedURLs()[0],
              "tel://" + registerservice::hotline());

    const size_t views = host->panel->subviews().size();
    // Scrolling lays a scroll view out again and again.
    for (int i = 0; i < 3; ++i) {
        host->panel->setContentOffset({0, 40.0 * i});
        host->panel->setNeedsLayout();
        host->panel->layoutIfNeeded();
    }
    EXPECT_EQ(host->panel->subviews().size(), views);
    EXPECT_EQ(UIDriver::viewsWithText("电子邮件").size(), 1u);
}

TEST_F(RegisterTest, TheScreenMovesSoTheFieldStandsAboveTheKeyboardBar) {
    UIView* screen = host->view();
    // The e-mail row's field ends 231 + 40 points down; it goes to 568 / 2 - 44.
    UIDriver::tap(field(UIRegister::kTagEmail));
    time.advance(0.3);
    EXPECT_DOUBLE_EQ(screen->frame().origin.y, 240 - 271);
    // The bar's next arrow moves to the password row, 39 points lower.
    host->panel->keyboardControlsBar()->selectNextField();
    time.advance(0.3);
    EXPECT_EQ(host->panel->keyboardControlsBar()->activeField(), field(UIRegister::kTagPassword));
    EXPECT_DOUBLE_EQ(screen->frame().origin.y, 240 - 310);
    snapshot("register-keyboard");
    host->panel->keyboardControlsBar()->doneButtonPressed(nullptr);
    time.advance(0.3);
    EXPECT_DOUBLE_EQ(screen->frame().origin.y, 0);
    EXPECT_FALSE(field(UIRegister::kTagPassword)->isFirstResponder());
}

}  // namespace
