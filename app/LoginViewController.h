#pragma once

#include <memory>
#include <string>

#include "Core/WSPushMessage.h"
#include "app/AppContext.h"
#include "app/DealerListViewController.h"
#include "app/DealerManager.h"
#include "app/EtyDealer.h"
#include "app/LoginRoad.h"
#include "app/UIRegister.h"
#include "platform/ui/TextField.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/KAVKeyboardControls.h"

class KAVBizSDK;
class sysDB;

namespace platform::ui {
class UIControl;
}

// The root screen while no session is open. It shows the selected dealer's
// logo, lets the user choose the dealer's demo or real system (or, for the
// registration dealer, between logging in and registering a demo account),
// takes the account and the password, remembers the account when asked,
// uncovers the dealer list to add or pick a dealer, starts a password reset,
// and logs in. The requests the form sends (the login and the reset) take
// their own road (LoginRoad). While it is shown it is the service object's
// delegate. On a first start, with no dealer stored, it looks up the
// built-in dealer itself. It is handed the session it logs in and the
// dealer store, and passes them on to the dealer list and the drawer.
class LoginViewController : public BaseViewController,
                            public WSPushMessage,
                            public DealerManagerDelegate,
                            public KAVKeyboardControlsDelegate,
                            public platform::ui::UITextFieldDelegate,
                            public RegisterAccountDelegate {
  public:
    static constexpr long kTagHeader = 5000;
    static constexpr long kTagLogo = 6001;
    static constexpr long kTagAccentLine = 5001;
    static constexpr long kTagShortLine = 5002;
    static constexpr long kTagForm = 4001;
    static constexpr long kTagSystem = 8000;
    static constexpr long kTagRegisterChoice = 8001;
    static constexpr long kTagAccount = 7001;
    static constexpr long kTagPassword = 7002;
    static constexpr long kTagForgot = 1008;
    static constexpr long kTagRememberLabel = 2004;
    static constexpr long kTagRemember = 2005;  // also the setting it writes
    static constexpr long kTagLogin = 1002;
    static constexpr long kTagChangeDealer = 1005;
    static constexpr long kTagRegisterPanel = 4005;

    // The dealer a first start looks up, and the registration dealer.
    static constexpr const char* kBuiltInDealerKey = "KAVFX";
    static constexpr const char* kRegistrationDealerKey = "kavdemo";
    static constexpr double kFirstStartDelay = 0.6;
    static constexpr double kSlideDuration = 0.5;
    static constexpr double kRegisterSlideDuration = 0.3;

    static constexpr const char* kMsgInitialising = "正在初始化服务";
    static constexpr const char* kMsgAddDealerFirst = "请添先添加交易商信息";
    static constexpr const char* kMsgChooseDealer = "请选择需要登录的交易商。";
    static constexpr const char* kMsgEnterAccount = "请输入账户";
    static constexpr const char* kMsgEnterPassword = "请输入密码";
    static constexpr const char* kMsgEnterAccountFirst = "请输先输入账户";
    static constexpr const char* kMsgConfirmReset =
        "单击确定后，系统将发送重置密码链接地址到你注册的邮箱里，确定要重置密码吗？";
    static constexpr const char* kMsgLoggingIn = LoginRoad::kMsgLoggingIn;
    static constexpr const char* kMsgLoginFailed = LoginRoad::kMsgLoginFailed;
    static constexpr const char* kMsgConnectFailed = LoginRoad::kMsgConnectFailed;
    static constexpr const char* kMsgNoDemoHost = "该交易商没有提供模拟系统的登录地址。";
    static constexpr const char* kMsgNoRealHost = "该交易商没有提供正式系统的登录地址。";
    static constexpr const char* kMsgResetting = LoginRoad::kMsgResetting;
    static constexpr const char* kMsgResetUnreadable = LoginRoad::kMsgResetUnreadable;
    static constexpr const char* kMsgResetSent = LoginRoad::kMsgResetSent;
    static constexpr const char* kMsgTransportFailed = LoginRoad::kMsgTransportFailed;

    explicit LoginViewController(AppContext context);
    ~LoginViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void didReceiveMemoryWarning() override {}
    bool shouldAutorotate() const override { return false; }
    // The form is laid out upright only: a session that ended on the market
    // order held sideways brings it back upright, not sideways with its
    // password and login button below the screen for good.
    unsigned supportedInterfaceOrientations() const override {
        return platform::ui::UIInterfaceOrientationMaskPortrait;
    }

    void initData();
    void makeView();
    void onSwitchChange(platform::ui::UIControl* sender);
    void buttonPressed(platform::ui::UIControl* sender);
    void segmentedSelect(platform::ui::UIControl* sender);
    void showDealerList();
    void hideDealerList();
    void showRegister();
    void hideRegister();
    // Checks the form and sends the login down the road.
    void login();
    bool checkInput();
    // Ends a login that cannot go on, staying on this screen.
    void loginFailWith(const std::string& message);
    // Asks for a reset link for the account in the account row.
    void resetPWD();

    // ---- DealerManagerDelegate ----
    void onSearchVisible(bool visible) override;
    void onSelectedDealer(const std::shared_ptr<EtyDealer>& dealer) override;
    void onHideDealerList() override;
    // ---- RegisterAccountDelegate ----
    void onRegisterSuccess(const std::string& email) override;
    // ---- keyboard ----
    void textFieldDidBeginEditing(platform::ui::UITextField* field) override;
    void textFieldDidEndEditing(platform::ui::UITextField* field) override;
    void keyboardControls(KAVKeyboardControls* controls, platform::ui::UIView* field,
                          int32_t direction) override;
    void keyboardControlsDonePressed(KAVKeyboardControls* controls) override;
    // ---- WSPushMessage: only the network status ----
    void onNetworkStatus(int32_t status) override;

    bool isShowingDealer() const { return showDealer_; }
    bool isShowingRegister() const { return showRegister_; }
    const std::shared_ptr<EtyDealer>& currentDealer() const { return currentDealer_; }
    const std::shared_ptr<DealerListViewController>& dealerListViewController() const {
        return dealerListViewController_;
    }

  private:
    // The parts of the view, made once by makeView.
    std::shared_ptr<platform::ui::UIView> makeHeader();
    void makeDealerList();
    std::shared_ptr<platform::ui::UIView> makeForm();
    void addSystemChoices(platform::ui::UIView& form);
    void addCredentialRows(platform::ui::UIView& form);
    void addFormButtons(platform::ui::UIView& form);
    void makeChangeDealerButton();

    platform::ui::UITextField* field(long tag) const;
    // The visibility of the controls that depend on the dealer.
    void applyDealerVisibility();
    void loadLogo();
    // Moves the view so the field stands above the keyboard bar.
    void shiftFor(platform::ui::UIView* field);
    platform::ui::CGFloat lineBottom() const;

    AppContext context_;
    std::shared_ptr<LoginRoad> loginRoad_;
    bool showDealer_ = false;
    bool showRegister_ = false;
    bool viewMade_ = false;
    std::shared_ptr<DealerListViewController> dealerListViewController_;
    std::shared_ptr<EtyDealer> currentDealer_;
    std::shared_ptr<DealerManager> dealerManager_;
    std::shared_ptr<KAVKeyboardControls> keyboardControls_;
    std::shared_ptr<sysDB> sysDB_;
};
