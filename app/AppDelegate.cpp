#include "app/AppDelegate.h"

#include "Core/SDK/KAVBizSDK.h"
#include "app/LoginViewController.h"
#include "app/MainDrawerViewController.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/ui/Device.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "ui/services/KAVSound.h"
#include "ui/services/MsgCenter.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/KAVProgressHUD.h"

using namespace platform::ui;

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() {
    if (bizSDK_) {
        bizSDK_->setDelegate({});
        bizSDK_->stopConnect();
    }
}

// ---- application ----------------------------------------------------------

bool AppDelegate::applicationDidFinishLaunchingWithOptions(
    UIApplication&, const std::map<std::string, std::string>&) {
    window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    window->setBackgroundColor(UIColor::whiteColor());
    loadLoginView();
    window->makeKeyAndVisible();
    return true;
}

void AppDelegate::applicationWillTerminate(UIApplication&) {
    saveContext();
}

void AppDelegate::motionBegan(UIEventSubtype motion, UIEvent*) {
    if (motion != UIEventSubtype::MotionShake) return;
    platform::log("接收到设备摇晃事件");
    if (!sysdb_) return;
    // Read afresh: the shake setting screen writes it through a store of its
    // own. Read whole, as the settings store reads a number: a stored number
    // past the integers names no menu row, not the row of its low bits.
    const int32_t value = sysdb_->integerWithTag(settingTag::shakeValue);
    if (value < 1 || !sysdb_->isOnline()) return;
    if (UIDeviceOrientationIsLandscape(UIDevice::currentDevice().orientation())) return;
    if (shakeSound_) shakeSound_->play();
    auto root = window ? window->rootViewController() : nullptr;
    if (!root) return;
    if (root->presentedViewController()) root->dismissViewControllerAnimated(true);
    if (auto drawer = std::dynamic_pointer_cast<MainDrawerViewController>(root))
        drawer->pushViewWith(value);
}

// ---- session --------------------------------------------------------------

void AppDelegate::loadLoginView() {
    initSDK();
    // The banner belongs to a session that is over; it must never cover the
    // login screen.
    hideConnectMsg();
    replaceRootViewController(std::make_shared<LoginViewController>(appContext()));
}

AppContext AppDelegate::appContext() {
    AppContext context;
    context.bizSDK = bizSDK_;
    context.sysdb = sysdb_;
    context.dealerStore = dealerStore_;
    context.session = weakSelf<AppDelegate>();
    return context;
}

void AppDelegate::replaceRootViewController(std::shared_ptr<UIViewController> controller) {
    if (!window) return;
    // At start nothing runs that the change could tear down.
    if (!window->rootViewController() && !pendingRoot_) {
        window->setRootViewController(std::move(controller));
        return;
    }
    const bool scheduled = pendingRoot_ != nullptr;
    pendingRoot_ = std::move(controller);
    if (scheduled) return;
    platform::dispatch::async_main([weak = weakSelf<AppDelegate>()] {
        auto self = weak.lock();
        if (!self || !self->pendingRoot_) return;
        auto root = std::move(self->pendingRoot_);
        if (self->window) self->window->setRootViewController(std::move(root));
    });
}

void AppDelegate::retireSDK() {
    if (!bizSDK_) return;
    auto old = std::move(bizSDK_);
    old->setDelegate({});
    old->stopConnect();
    platform::dispatch::async_main([old] {});
}

void AppDelegate::initSDK() {
    UITextField::appearance().keyboardAppearance = UIKeyboardAppearance::Dark;

    sysdb_ = std::make_shared<sysDB>();
    sysdb_->loadSetting();
    sysdb_->setIsOnline(false);

    shakeSound_ = std::make_unique<KAVSound>();

    retireSDK();
    bizSDK_ = std::make_shared<KAVBizSDK>();
    bizSDK_->setIsDebug(false);
    bizSDK_->setTimeOut(sysdb_->setting()->timeOut);
    platform::log("SDK 版本：【" + bizSDK_->ver() + "】");

    UIApplication::sharedApplication().setIdleTimerDisabled(sysdb_->setting()->isLockSceen);

    // Once for the life of the application: every later settings store
    // announces itself on the same notice.
    if (!observingSettings_) {
        MsgCenter::on(kNoticeSettingsLoaded, &AppDelegate::onSettingChange,
                      sharedSelf<AppDelegate>());
        observingSettings_ = true;
    }
}

void AppDelegate::onSettingChange() {
    platform::log("收到参数变更通知");
    if (!sysdb_) return;
    if (bizSDK_) bizSDK_->setTimeOut(sysdb_->setting()->timeOut);
    UIApplication::sharedApplication().setIdleTimerDisabled(sysdb_->setting()->isLockSceen);
}

void AppDelegate::startListeners() {
    if (bizSDK_) bizSDK_->setDelegate(weakSelf<AppDelegate>());
}

void AppDelegate::stopListeners() {
    if (bizSDK_) bizSDK_->setDelegate({});
}

namespace {

// The banner lies directly in the window. A screen's own view deeper down
// may carry the same tag (the order screen's chart spinner does): it is no
// banner, and taking it for one would leave a reconnect unshown and take
// the spinner out of its chart.
UIViewPtr connectBanner(const UIWindow& window) {
    for (const auto& view : window.subviews())
        if (view->tag() == AppDelegate::kTagConnectMsg) return view;
    return nullptr;
}

}  // namespace

void AppDelegate::showConnectMsg() {
    if (!window || connectBanner(*window)) return;
    const CGSize size = window->bounds().size;
    auto overlay = std::make_shared<UIView>(CGRectMake(0, 0, size.width, size.height));
    overlay->setBackgroundColor(UIColor::blackColor().colorWithAlphaComponent(0.5));
    overlay->setTag(kTagConnectMsg);
    // The order screen turns with the phone while the banner is up: the
    // banner turns with the window, still covering all of it.
    overlay->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                 UIViewAutoresizingFlexibleHeight);
    auto bar = std::make_shared<UIView>(CGRectMake(0, 30, size.width, 30));
    bar->setBackgroundColor(UIColor::blackColor());
    bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    auto label = std::make_shared<UILabel>(CGRectMake(0, 0, size.width, 30));
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    label->setTextAlignment(NSTextAlignment::Center);
    label->setTextColor(UIColor::yellowColor());
    label->setText(kConnectMsg);
    bar->addSubview(label);
    overlay->addSubview(bar);
    window->addSubview(overlay);
}

void AppDelegate::hideConnectMsg() {
    if (!window) return;
    if (auto banner = connectBanner(*window)) {
        banner->setHidden(true);
        banner->removeFromSuperview();
    }
}

void AppDelegate::reLoginWith(const std::string& message) {
    retireSDK();
    if (reLoginPending_) return;
    reLoginPending_ = true;
    // What the ended session's screens were asking (a logout, an order) has
    // nothing left to act on: left on the stack, the question would come
    // back over the new login screen once this alert is closed, and its
    // answer would act for the session that ended. A notice with one button
    // stays: what it tells (an order's result) is still so.
    const auto shown = KAVAlertViewStack::sharedInstance().alertViews();
    for (const auto& alert : shown)
        if (alert->buttons().size() > 1) alert->withdraw();
    KAVAlertView::showAlertWithTitle("提示", message, std::string("确定"),
                                     [weak = weakSelf<AppDelegate>()](bool, long) {
                                         auto self = weak.lock();
                                         if (!self) return;
                                         self->reLoginPending_ = false;
                                         self->loadLoginView();
                                     });
}

// ---- WSPushMessage ----------------------------------------------------------

void AppDelegate::onNetworkStatus(int32_t status) {
    // A code that names no status (a server may send any) changes nothing.
    const std::optional<NetworkStatus> known = networkStatusFromCode(status);
    if (!known) return;
    switch (*known) {
        case NetworkStatus::Connecting:
            showConnectMsg();
            break;
        case NetworkStatus::Connected:
            hideConnectMsg();
            break;
        case NetworkStatus::OpenTimedOut:
            reLoginWith(kMsgConnectFailed);
            break;
        case NetworkStatus::Closed:
            // The channel reopens by itself: the banner stays until it has.
            showConnectMsg();
            break;
        case NetworkStatus::TokenFailed:
            reLoginWith(kMsgTradeDisconnected);
            break;
        case NetworkStatus::SameUserElsewhere:
            onSameUserLogin();
            break;
        case NetworkStatus::LoginStarted:
        case NetworkStatus::LoginSucceeded:
        case NetworkStatus::LoginFailed:
        case NetworkStatus::TokenCheck:
        case NetworkStatus::TokenPassed:
            break;
    }
}

void AppDelegate::onLogout() {
    KAVProgressHUD::showWithStatus(kMsgLoggingOut, KAVProgressHUDMaskTypeBlack);
    platform::dispatch::after(kLogoutDelay, [weak = weakSelf<AppDelegate>()] {
        KAVProgressHUD::dismissWithComplete([weak] {
            if (auto self = weak.lock()) self->loadLoginView();
        });
    });
}

void AppDelegate::onSameUserLogin() {
    reLoginWith(kMsgSameUser);
}

// The dealer ended the session and the service object closed every channel
// for good: nothing reopens them, and the screens would go on showing the
// last prices as live while every order failed. The customer logs in again,
// as after a refused token.
void AppDelegate::onTerminal() {
    reLoginWith(kMsgTradeDisconnected);
}

void AppDelegate::onLoginSuccess() {}

void AppDelegate::onLoginFailure(int32_t) {}

void AppDelegate::onMessagePush(int32_t, const std::any&) {}

// ---- local store ----------------------------------------------------------

const StoreModel& AppDelegate::managedObjectModel() const {
    return dealerStore_->managedObjectModel();
}

std::filesystem::path AppDelegate::applicationDocumentsDirectory() const {
    return dealerStore_->applicationDocumentsDirectory();
}

std::shared_ptr<SQLiteStore> AppDelegate::persistentStoreCoordinator() {
    return dealerStore_->persistentStoreCoordinator();
}

std::shared_ptr<StoreContext> AppDelegate::managedObjectContext() {
    return dealerStore_->managedObjectContext();
}

bool AppDelegate::saveContext() {
    return dealerStore_->saveContext();
}
