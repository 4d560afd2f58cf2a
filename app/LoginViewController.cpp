#include "app/LoginViewController.h"

#include "Core/SDK/KAVBizSDK.h"
#include "app/AppConfig.h"
#include "app/AppDelegate.h"
#include "app/MainDrawerViewController.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIKAVTextField.h"

using namespace platform::ui;

namespace {

std::shared_ptr<AppDelegate> appDelegate() {
    return std::dynamic_pointer_cast<AppDelegate>(UIApplication::sharedApplication().delegate());
}

void alert(const std::string& message, const std::string& button = "确定") {
    KAVAlertView::showAlertWithTitle("提示", message, button, nullptr);
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

void LoginViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    sysDB_ = sysdb();
    if (auto app = appDelegate()) app->stopListeners();
    if (bizSDK()) bizSDK()->setDelegate(weakSelf<LoginViewController>());
    view()->setBackgroundColor(kavtheme::screenBackground());
    initData();
}

void LoginViewController::initData() {
    dealerManager_ = std::make_unique<DealerManager>(appDelegate());
    currentDealer_ = dealerManager_->getCurrentSelectedDealer();
    if (currentDealer_) return makeView();

    // First start (or every dealer deleted): the built-in dealer.
    platform::dispatch::after(kFirstStartDelay, [weak = weakSelf<LoginViewController>()] {
        auto self = weak.lock();
        if (!self) return;
        KAVProgressHUD::showWithStatus("正在初始化服务", KAVProgressHUDMaskTypeBlack);
        self->dealerManager_->searchDelaerWithURL(
            appconfig::dealerServiceBaseURL() + "/getdealer.php?key=" + kBuiltInDealerKey,
            [weak] {
                KAVProgressHUD::dismiss();
                if (auto self = weak.lock()) {
                    self->currentDealer_ = self->dealerManager_->getCurrentSelectedDealer();
                    self->makeView();
                }
            },
            [weak](const std::string&, const std::string&) {
                if (auto self = weak.lock()) self->currentDealer_.reset();
                KAVProgressHUD::dismissWithComplete([weak] {
                    KAVAlertView::showAlertWithTitle("提示", "请添先添加交易商信息",
                                                     std::string("确认"), [weak](bool, long) {
                                                         if (auto self = weak.lock())
                                                             self->makeView();
                                                     });
                });
            });
    });
}

void LoginViewController::makeView() {
    if (viewMade_) return;
    viewMade_ = true;
    if (sysDB_) sysDB_->setIsOnline(false);
    UIView* v = view();

    auto header = std::make_shared<UIView>();
    header->setTag(kTagHeader);
    header->setBackgroundColor(UIColor::blackColor());
    auto name = std::make_shared<UILabel>();
    name->setTag(kTagDealerName);
    name->setTextAlignment(NSTextAlignment::Center);
    name->setTextColor(UIColor::whiteColor());
    name->setFont(UIFont::systemFontOfSize(22));
    name->setText(currentDealer_ ? currentDealer_->dealerName : "");
    header->addSubview(name);
    v->addSubview(header);

    auto line = std::make_shared<UIView>();
    line->setTag(kTagAccentLine);
    line->setBackgroundColor(kavtheme::accent());
    v->addSubview(line);

    const bool keep = sysDB_ && sysDB_->setting()->isKeepAccount;
    for (long tag : {kTagAccount, kTagPassword}) {
        auto field = std::make_shared<UIKAVTextField>(CGRectZero, 10);
        field->setTag(tag);
        field->setBackgroundColor(kavtheme::inputBackground());
        field->layer().setBorderWidth(1);
        field->layer().setBorderColor(kavtheme::accent());
        field->setTextColor(kavtheme::primaryText());
        field->setPlaceholder(tag == kTagAccount ? "登录账户" : "登录密码");
        field->setSecureTextEntry(tag == kTagPassword);
        if (tag == kTagAccount && keep) field->setText(sysDB_->setting()->trUid);
        v->addSubview(field);
    }

    auto button = std::make_shared<UIButton>();
    button->setTag(kTagLogin);
    button->setTitle("登录", UIControlStateNormal);
    button->setTitleColor(kavtheme::secondaryText(), UIControlStateNormal);
    button->setBackgroundColor(kavtheme::accent());
    button->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    button->addTarget(weakSelf<LoginViewController>(), &LoginViewController::buttonPressed,
                      UIControlEventTouchUpInside);
    v->addSubview(button);
    v->setNeedsLayout();
}

void LoginViewController::viewDidLayoutSubviews() {
    if (!viewMade_) return;
    const CGFloat w = view()->bounds().size.width;
    const CGFloat top = kStatusBarHeight;
    view()->viewWithTag(kTagHeader)->setFrame(CGRectMake(0, top, w, 130));
    view()->viewWithTag(kTagDealerName)->setFrame(CGRectMake(0, 10, w, 110));
    view()->viewWithTag(kTagAccentLine)->setFrame(CGRectMake(0, top + 130, w, 1));
    // The form stays above the keyboard.
    view()->viewWithTag(kTagAccount)->setFrame(CGRectMake(20, top + 160, w - 40, 40));
    view()->viewWithTag(kTagPassword)->setFrame(CGRectMake(20, top + 199, w - 40, 40));
    view()->viewWithTag(kTagLogin)->setFrame(CGRectMake(20, top + 260, w - 40, 50));
}

void LoginViewController::buttonPressed(UIControl* sender) {
    if (sender->tag() != kTagLogin) return;
    currentDealer_ = dealerManager_->getCurrentSelectedDealer();
    if (!currentDealer_) return alert("请选择需要登录的交易商。");
    login();
}

bool LoginViewController::checkInput() {
    auto account = view()->viewWithTag<UITextField>(kTagAccount);
    auto password = view()->viewWithTag<UITextField>(kTagPassword);
    if (!account || !password) return false;
    if (trimmed(account->text()).empty()) {
        alert("请输入账户");
        return false;
    }
    if (trimmed(password->text()).empty()) {
        alert("请输入密码");
        return false;
    }
    return true;
}

void LoginViewController::login() {
    if (!checkInput() || !bizSDK()) return;
    view()->endEditing(true);
    const std::string account = view()->viewWithTag<UITextField>(kTagAccount)->text();
    const std::string password = view()->viewWithTag<UITextField>(kTagPassword)->text();
    // The real system: the form's default choice.
    const std::vector<std::string> urls{currentDealer_->hostReal};
    KAVProgressHUD::showWithStatus("正在登录", KAVProgressHUDMaskTypeBlack);
    auto weak = weakSelf<LoginViewController>();
    bizSDK()->loginWithUserId(
        account, password, "", urls,
        [weak, account] {
            KAVProgressHUD::dismissWithComplete([weak, account] {
                auto self = weak.lock();
                auto app = appDelegate();
                if (!self || !app) return;
                self->sysDB_->setValue(account, settingTag::trUid);
                self->sysDB_->setIsOnline(true);
                self->sysDB_->setValue(self->currentDealer_->dealerKey, settingTag::dealerKey);
                app->replaceRootViewController(std::make_shared<MainDrawerViewController>());
                app->startListeners();
            });
        },
        [](const std::string&, const std::string& message) {
            KAVProgressHUD::dismissWithComplete([message] {
                if (auto app = appDelegate()) app->reLoginWith("登录失败，原因：" + message);
            });
        });
}

void LoginViewController::loginFailWith(const std::string& message) {
    if (bizSDK()) bizSDK()->stopConnect();
    KAVProgressHUD::dismissWithComplete([message] { alert(message); });
}

void LoginViewController::onNetworkStatus(int32_t status) {
    static const char* const kLines[] = {
        ">>> 网络连接中......", ">>> 收到网络连接成功通知", ">>> 网络连接失败",
        ">>> 收到网络关闭通知", ">>> 开始登录系统",         ">>> 登录系统 成功",
        ">>> 登录系统 失败",
    };
    if (status >= 1 && status <= 7) platform::log(kLines[status - 1]);
    if (status == 3) loginFailWith("网络连接失败, 请稍后再试");
}
