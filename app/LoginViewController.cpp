#include "app/LoginViewController.h"

#include <cmath>

#include "Core/SDK/KAVBizSDK.h"
#include "app/AppConfig.h"
#include "app/DealerLogo.h"
#include "app/DealerLookup.h"
#include "app/KeyboardShift.h"
#include "app/RegisterService.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"
#include "ui/toolkit/UIKAVInputField.h"
#include "ui/toolkit/UIViewAdditions.h"

using namespace platform::ui;

namespace {

constexpr CGFloat kHeaderHeight = 130;
constexpr CGFloat kInset = 20;
constexpr CGFloat kRowHeight = 40;
constexpr CGFloat kFieldWidth = 190;
constexpr UIKAVInputField::Style kRowStyle = UIKAVInputField::Style::BlueCaption;
constexpr CGFloat kRegisterGap = 80;
constexpr CGFloat kRegisterTopOffset = 100;
constexpr double kTurned = 179.0 * M_PI / 180.0;

void alert(const std::string& message, const std::string& button = "确定") {
    KAVAlertView::showAlertWithTitle("提示", message, button, nullptr);
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

UIColor forgotColor() {
    return UIColor::rgb255(20, 124, 255);
}

}  // namespace

LoginViewController::LoginViewController(AppContext context)
    : BaseViewController(context),
      context_(std::move(context)),
      loginRoad_(std::make_shared<LoginRoad>(context_)) {}
LoginViewController::~LoginViewController() = default;

// ---- loading ---------------------------------------------------------------

void LoginViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    sysDB_ = sysdb();
    if (auto owner = context_.session.lock()) owner->stopListeners();
    if (bizSDK()) bizSDK()->setDelegate(weakSelf<WSPushMessage>());

    view()->setBackgroundColor(kavtheme::screenBackground());
    // What shows while a first start looks its dealer up.
    if (auto launch = UIImage::imageNamed("LaunchImage")) {
        const CGSize size = view()->bounds().size;
        UIGraphicsBeginImageContextWithOptions(size, true, 0);
        launch->drawInRect(CGRectMake(0, 0, size.width, size.height));
        auto picture = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        if (picture) view()->setBackgroundColor(UIColor::colorWithPatternImage(picture));
    }
    initData();
}

void LoginViewController::initData() {
    dealerManager_ = std::make_shared<DealerManager>(context_.dealerStore);
    currentDealer_ = dealerManager_->getCurrentSelectedDealer();
    if (currentDealer_) return makeView();

    // First start (or every dealer deleted): the built-in dealer.
    platform::dispatch::after(kFirstStartDelay, [weak = weakSelf<LoginViewController>()] {
        auto self = weak.lock();
        if (!self) return;
        KAVProgressHUD::showWithStatus(kMsgInitialising, KAVProgressHUDMaskTypeBlack);
        self->dealerManager_->searchDelaerWithURL(
            dealerlookup::lookupURL(appconfig::dealerServiceBaseURL(), kBuiltInDealerKey),
            [weak] {
                KAVProgressHUD::dismiss();
                auto self = weak.lock();
                if (!self) return;
                self->currentDealer_ = self->dealerManager_->getCurrentSelectedDealer();
                self->makeView();
            },
            [weak](const std::string&, const std::string&) {
                if (auto self = weak.lock()) self->currentDealer_.reset();
                KAVProgressHUD::dismissWithComplete([weak] {
                    KAVAlertView::showAlertWithTitle("提示", kMsgAddDealerFirst,
                                                     std::string("确认"), [weak](bool, long) {
                                                         auto self = weak.lock();
                                                         if (!self) return;
                                                         self->makeView();
                                                         self->showDealerList();
                                                     });
                });
            });
    });
}

void LoginViewController::makeView() {
    if (viewMade_) return;  // made once, whichever road gets here first
    viewMade_ = true;
    if (sysDB_) sysDB_->setIsOnline(false);
    UIView* v = view();
    v->setBackgroundColor(kavtheme::screenBackground());

    auto header = makeHeader();
    // The dealer list lies under the form; the form slides away to show it.
    makeDealerList();
    v->addSubview(makeForm());
    v->bringSubviewToFront(header.get());
    makeChangeDealerButton();

    keyboardControls_ = KAVKeyboardControls::initWithFields(
        {v->viewWithTag<UIKAVInputField>(kTagAccount)->textField(),
         v->viewWithTag<UIKAVInputField>(kTagPassword)->textField()});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();
    applyDealerVisibility();
    v->setNeedsLayout();
}

std::shared_ptr<UIView> LoginViewController::makeHeader() {
    UIView* v = view();
    auto header = std::make_shared<UIView>();
    header->setTag(kTagHeader);
    header->setBackgroundColor(UIColor::blackColor());
    auto logo = std::make_shared<UIImageView>();
    logo->setTag(kTagLogo);
    logo->setBackgroundColor(UIColor::clearColor());
    logo->setContentMode(UIViewContentMode::ScaleAspectFit);
    header->addSubview(logo);
    v->addSubview(header);
    loadLogo();

    for (long tag : {kTagAccentLine, kTagShortLine}) {
        auto line = std::make_shared<UIView>();
        line->setTag(tag);
        line->setBackgroundColor(kavtheme::accent());
        v->addSubview(line);
    }
    return header;
}

void LoginViewController::makeDealerList() {
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat H = v->bounds().size.height;
    dealerListViewController_ = std::make_shared<DealerListViewController>(
        CGRectMake(0, lineBottom(), W, H - lineBottom()), context_.dealerStore);
    dealerListViewController_->setContext(context_);
    dealerListViewController_->setDealerManagerDelegate(weakSelf<DealerManagerDelegate>());
    addChildViewController(dealerListViewController_);
    v->addSubview(dealerListViewController_->viewPtr());
    dealerListViewController_->didMoveToParentViewController(this);
    dealerListViewController_->viewDidAppear(false);
}

std::shared_ptr<UIView> LoginViewController::makeForm() {
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat H = v->bounds().size.height;
    auto form = std::make_shared<UIView>(CGRectMake(0, lineBottom(), W, H - lineBottom()));
    form->setTag(kTagForm);
    form->setBackgroundColor(v->backgroundColor());
    addSystemChoices(*form);
    addCredentialRows(*form);
    addFormButtons(*form);
    return form;
}

void LoginViewController::addSystemChoices(UIView& form) {
    for (long tag : {kTagSystem, kTagRegisterChoice}) {
        auto control = std::make_shared<UISegmentedControl>(
            tag == kTagSystem ? std::vector<std::string>{"模拟系统", "正式系统"}
                              : std::vector<std::string>{"使用已有账户", "注册新账户"});
        control->setTag(tag);
        control->setTintColor(kavtheme::accent());
        control->setTitleFont(UIFont::systemFontOfSize(18), UIControlStateNormal);
        control->addTarget(weakSelf<LoginViewController>(), &LoginViewController::segmentedSelect,
                           UIControlEventValueChanged);
        control->setSelectedSegmentIndex(tag == kTagSystem ? 1 : 0);
        form.addSubview(control);
    }
}

void LoginViewController::addCredentialRows(UIView& form) {
    const CGFloat panelWidth = view()->bounds().size.width;
    const bool keep = sysDB_ && sysDB_->setting()->isKeepAccount;
    auto account = std::make_shared<UIKAVInputField>(
        CGRectMake(kInset, 105, panelWidth - 2 * kInset, kRowHeight), "登录账户", kRowStyle,
        kFieldWidth);
    account->setTag(kTagAccount);
    account->textField()->delegate = weakSelf<UITextFieldDelegate>();
    account->textField()->setText(keep ? sysDB_->setting()->trUid : "");
    form.addSubview(account);
    auto password = std::make_shared<UIKAVInputField>(
        CGRectMake(kInset, 144, panelWidth - 2 * kInset, kRowHeight), "登录密码", kRowStyle,
        kFieldWidth);
    password->setTag(kTagPassword);
    password->textField()->delegate = weakSelf<UITextFieldDelegate>();
    password->textField()->setText("");
    password->textField()->setSecureTextEntry(true);
    form.addSubview(password);
}

// The forgotten-password button, the remember switch with its caption, and
// the login button.
void LoginViewController::addFormButtons(UIView& form) {
    const bool keep = sysDB_ && sysDB_->setting()->isKeepAccount;
    auto forgot = std::make_shared<UIButton>();
    forgot->setTag(kTagForgot);
    forgot->setTitle("忘记密码", UIControlStateNormal);
    forgot->setTitleColor(forgotColor(), UIControlStateNormal);
    forgot->setBackgroundColor(UIColor::clearColor());
    forgot->addTarget(weakSelf<LoginViewController>(), &LoginViewController::buttonPressed,
                      UIControlEventTouchUpInside);
    form.addSubview(forgot);

    auto remember = std::make_shared<UILabel>();
    remember->setTag(kTagRememberLabel);
    remember->setText("记住帐号");
    remember->setTextAlignment(NSTextAlignment::Right);
    remember->setTextColor(kavtheme::dimText());
    remember->setBackgroundColor(UIColor::clearColor());
    form.addSubview(remember);
    auto rememberSwitch = std::make_shared<UISwitch>();
    rememberSwitch->setTag(kTagRemember);
    rememberSwitch->setTintColor(kavtheme::accent());
    rememberSwitch->onTintColor = kavtheme::accent();
    rememberSwitch->thumbTintColor = kavtheme::primaryText();
    rememberSwitch->setOn(keep);
    rememberSwitch->addTarget(weakSelf<LoginViewController>(), &LoginViewController::onSwitchChange,
                              UIControlEventValueChanged);
    form.addSubview(rememberSwitch);

    auto loginButton = std::make_shared<UIButton>();
    loginButton->setTag(kTagLogin);
    loginButton->setTitle("登录", UIControlStateNormal);
    loginButton->setTitleColor(kavtheme::secondaryText(), UIControlStateNormal);
    loginButton->setBackgroundColor(kavtheme::accent());
    loginButton->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    loginButton->addTarget(weakSelf<LoginViewController>(), &LoginViewController::buttonPressed,
                           UIControlEventTouchUpInside);
    form.addSubview(loginButton);
}

void LoginViewController::makeChangeDealerButton() {
    auto change = std::make_shared<UIButton>();
    change->setTag(kTagChangeDealer);
    change->setImage(UIImageTintColor::imageWithTintColor(kavtheme::accent(), "changeDealer"),
                     UIControlStateNormal);
    change->addTarget(weakSelf<LoginViewController>(), &LoginViewController::buttonPressed,
                      UIControlEventTouchUpInside);
    view()->addSubview(change);
}

CGFloat LoginViewController::lineBottom() const {
    return kStatusBarHeight + kHeaderHeight + 1;
}

void LoginViewController::viewDidLayoutSubviews() {
    BaseViewController::viewDidLayoutSubviews();
    if (!viewMade_) return;
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat H = v->bounds().size.height;
    const CGFloat top = kStatusBarHeight;
    const CGFloat line = top + kHeaderHeight;
    auto change = v->viewWithTag<UIButton>(kTagChangeDealer);

    v->viewWithTag(kTagHeader)->setFrame(CGRectMake(0, top, W, kHeaderHeight));
    v->viewWithTag(kTagLogo)->setFrame(CGRectMake(0, 10, W, 100));
    // The change-dealer button stands in a gap of the accent line; without
    // it the line runs on.
    const CGFloat longWidth = W - 48 + (change && change->isHidden() ? 30 : 0);
    v->viewWithTag(kTagAccentLine)->setFrame(CGRectMake(0, line, longWidth, 1));
    v->viewWithTag(kTagShortLine)->setFrame(CGRectMake(W - 18, line, 30, 1));
    if (change) {
        // Set around its centre: a turned button keeps its place.
        change->setBounds(CGRectMake(0, 0, 35, 35));
        change->setCenter(CGPointMake(W - 50 + 17.5, lineBottom()));
    }
    const CGFloat panelHeight = H - lineBottom();
    dealerListViewController_->view()->setFrame(CGRectMake(0, lineBottom(), W, panelHeight));
    UIView* form = v->viewWithTag(kTagForm).get();
    form->setFrame(CGRectMake(0, showDealer_ ? H : lineBottom(), W, panelHeight));

    const CGFloat inner = W - 2 * kInset;
    for (long tag : {kTagSystem, kTagRegisterChoice})
        form->viewWithTag(tag)->setFrame(CGRectMake(kInset, 35, inner, 40));
    form->viewWithTag(kTagAccount)->setFrame(CGRectMake(kInset, 35 + 40 + 30, inner, kRowHeight));
    const CGFloat passwordTop = 35 + 40 + 30 + kRowHeight - 1;
    form->viewWithTag(kTagPassword)->setFrame(CGRectMake(kInset, passwordTop, inner, kRowHeight));
    const CGFloat rowTop = passwordTop + kRowHeight + 30;
    form->viewWithTag(kTagForgot)->setFrame(CGRectMake(kInset, rowTop, 80, 30));
    const CGRect label = CGRectMake(0, rowTop, W * 2 / 3, 30);
    form->viewWithTag(kTagRememberLabel)->setFrame(label);
    auto rememberSwitch = form->viewWithTag(kTagRemember);
    const CGSize switchSize = rememberSwitch->sizeThatFits(CGSizeZero);
    rememberSwitch->setFrame(
        CGRectMake(CGRectGetMaxX(label) + 20, rowTop, switchSize.width, switchSize.height));
    form->viewWithTag(kTagLogin)->setFrame(CGRectMake(kInset, rowTop + 30 + 30, inner, 50));

    if (auto panel = v->viewWithTag(kTagRegisterPanel)) {
        CGRect f = panel->frame();
        panel->setFrame(CGRectMake(0, f.origin.y, W, H - kRegisterGap));
    }
}

void LoginViewController::loadLogo() {
    if (!currentDealer_) return;
    auto weak = weakSelf<LoginViewController>();
    dealerlogo::load(*currentDealer_, [weak, key = currentDealer_->dealerKey,
                                       name = currentDealer_->dealerLogo](const UIImagePtr& image) {
        auto self = weak.lock();
        if (!self) return;
        // A download outlives a change of dealer: the logo of one no longer
        // chosen (or of any, once all are deleted) must not take the place.
        const auto& now = self->currentDealer_;
        if (!now || now->dealerKey != key || now->dealerLogo != name) return;
        if (auto logo = self->view()->viewWithTag<UIImageView>(kTagLogo)) logo->setImage(image);
    });
}

void LoginViewController::applyDealerVisibility() {
    UIView* form = view()->viewWithTag(kTagForm).get();
    if (!form) return;
    const bool registration = currentDealer_ && currentDealer_->dealerKey == kRegistrationDealerKey;
    form->viewWithTag(kTagSystem)->setHidden(registration);
    form->viewWithTag(kTagRegisterChoice)->setHidden(!registration);
    form->viewWithTag(kTagForgot)->setHidden(!registration);
}

UITextField* LoginViewController::field(long tag) const {
    if (!isViewLoaded()) return nullptr;
    auto row = const_cast<LoginViewController*>(this)->view()->viewWithTag<UIKAVInputField>(tag);
    return row ? row->textField().get() : nullptr;
}

// ---- actions ---------------------------------------------------------------

void LoginViewController::onSwitchChange(UIControl* sender) {
    auto* sw = dynamic_cast<UISwitch*>(sender);
    if (!sw || !sysDB_) return;
    sysDB_->setValue(sw->isOn() ? "1" : "0", static_cast<int>(sender->tag()));
    sysDB_->loadSetting();
}

void LoginViewController::buttonPressed(UIControl* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagLogin:
            currentDealer_ = dealerManager_->getCurrentSelectedDealer();
            if (!currentDealer_) return alert(kMsgChooseDealer);
            login();
            break;
        case kTagChangeDealer:
            if (showDealer_)
                hideDealerList();
            else
                showDealerList();
            break;
        case kTagForgot: {
            const std::string account = registerservice::withoutSpaces(
                field(kTagAccount) ? field(kTagAccount)->text() : "");
            if (account.empty()) return alert(kMsgEnterAccountFirst);
            auto weak = weakSelf<LoginViewController>();
            KAVAlertView::showAlertWithTitle("提示", kMsgConfirmReset, std::string("取消"),
                                             std::string("确定"), [weak](bool cancelled, long) {
                                                 auto self = weak.lock();
                                                 if (!cancelled && self) self->resetPWD();
                                             });
            break;
        }
        default:
            break;
    }
}

void LoginViewController::segmentedSelect(UIControl* sender) {
    auto* control = dynamic_cast<UISegmentedControl*>(sender);
    if (!control) return;
    const bool second = control->selectedSegmentIndex() == 1;
    if (control->tag() == kTagRegisterChoice) {
        if (second)
            showRegister();
        else
            hideRegister();
    }
    // The system chosen last (or the registration choice: they share it).
    if (sysDB_) sysDB_->setValue(second ? "1" : "0", settingTag::loginSRV);
}

// ---- the dealer list -------------------------------------------------------

void LoginViewController::showDealerList() {
    if (auto* f = field(kTagAccount)) f->resignFirstResponder();
    if (auto* f = field(kTagPassword)) f->resignFirstResponder();
    keyboardControlsDonePressed(keyboardControls_.get());
    if (showRegister_) hideRegister();
    showDealer_ = true;
    auto form = view()->viewWithTag(kTagForm);
    const CGFloat H = view()->bounds().size.height;
    UIView::animateWithDuration(kSlideDuration, [form, H] { UIViewAdditions::setTop(*form, H); });
    auto change = view()->viewWithTag(kTagChangeDealer);
    UIView::animateWithDuration(kSlideDuration, [change] {
        if (change) change->setTransform(CGAffineTransformMakeRotation(kTurned));
    });
}

void LoginViewController::hideDealerList() {
    const auto shown = currentDealer_;
    currentDealer_ = dealerManager_->getCurrentSelectedDealer();
    if (currentDealer_) {
        applyDealerVisibility();
        // The dealer in use changed behind the list (the one shown was
        // deleted, or there was none): its own logo, not the one before.
        if (!shown || shown->dealerKey != currentDealer_->dealerKey ||
            shown->dealerLogo != currentDealer_->dealerLogo)
            loadLogo();
    } else if (auto logo = view()->viewWithTag<UIImageView>(kTagLogo)) {
        logo->setImage(nullptr);
    }
    // Covering the list ends a search: the bar would stand under the change
    // button when the list is uncovered again.
    if (dealerListViewController_) dealerListViewController_->hideSearchBar();
    if (auto* f = field(kTagAccount)) f->resignFirstResponder();
    if (auto* f = field(kTagPassword)) f->resignFirstResponder();
    auto change = view()->viewWithTag(kTagChangeDealer);
    if (change) change->setHidden(false);
    showDealer_ = false;
    auto form = view()->viewWithTag(kTagForm);
    const CGFloat top = lineBottom();
    UIView::animateWithDuration(kSlideDuration,
                                [form, top] { UIViewAdditions::setTop(*form, top); });
    UIView::animateWithDuration(kSlideDuration, [change] {
        if (change) change->setTransform(CGAffineTransformIdentity);
    });
    view()->setNeedsLayout();
}

void LoginViewController::onSearchVisible(bool visible) {
    // The button stands over the right end of the search bar, its cancel
    // button: it stays away while the bar is there, a search included.
    const bool barShown =
        dealerListViewController_ && dealerListViewController_->isSearchBarShown();
    if (auto change = view()->viewWithTag(kTagChangeDealer)) change->setHidden(visible || barShown);
    view()->setNeedsLayout();
}

void LoginViewController::onSelectedDealer(const std::shared_ptr<EtyDealer>& dealer) {
    // Taken first, so that covering the list finds it in use already and
    // leaves its logo to the load below.
    currentDealer_ = dealer;
    hideDealerList();
    currentDealer_ = dealer;
    applyDealerVisibility();
    loadLogo();
}

void LoginViewController::onHideDealerList() {
    hideDealerList();
}

// ---- registration ----------------------------------------------------------

void LoginViewController::showRegister() {
    if (auto* f = field(kTagAccount)) f->resignFirstResponder();
    if (auto* f = field(kTagPassword)) f->resignFirstResponder();
    keyboardControlsDonePressed(keyboardControls_.get());
    if (view()->viewWithTag(kTagRegisterPanel)) return;  // shown already
    const CGFloat W = view()->bounds().size.width;
    const CGFloat H = view()->bounds().size.height;
    auto panel = std::make_shared<UIRegister>(CGRectMake(0, H, W, H - kRegisterGap));
    panel->setTag(kTagRegisterPanel);
    panel->setRegisterAccountDelegate(weakSelf<RegisterAccountDelegate>());
    view()->addSubview(panel);
    const CGFloat top = view()->viewWithTag(kTagForm)->frame().origin.y + kRegisterTopOffset;
    UIView::animateWithDuration(kRegisterSlideDuration,
                                [panel, top] { UIViewAdditions::setTop(*panel, top); });
    showRegister_ = true;
}

void LoginViewController::hideRegister() {
    auto panel = view()->viewWithTag(kTagRegisterPanel);
    auto weak = weakSelf<LoginViewController>();
    auto done = [weak](bool) {
        auto self = weak.lock();
        if (!self) return;
        if (auto control = self->view()->viewWithTag<UISegmentedControl>(kTagRegisterChoice))
            control->setSelectedSegmentIndex(0);
        self->showRegister_ = false;
    };
    if (!panel) return done(true);
    // A field of the panel may be in use: the keyboard goes with the panel,
    // and the screen moves back down from where the field had put it.
    keyboardControlsDonePressed(keyboardControls_.get());
    panel->setTag(0);  // on its way out: a new one may come meanwhile
    const CGFloat H = view()->bounds().size.height;
    UIView::animateWithDuration(
        kRegisterSlideDuration, [panel, H] { UIViewAdditions::setTop(*panel, H); },
        [panel, done](bool finished) {
            panel->removeFromSuperview();
            done(finished);
        });
}

void LoginViewController::onRegisterSuccess(const std::string& email) {
    if (auto* f = field(kTagAccount)) f->setText(email);
    hideRegister();
}

// ---- login -----------------------------------------------------------------

bool LoginViewController::checkInput() {
    auto* account = field(kTagAccount);
    auto* password = field(kTagPassword);
    if (!account || !password) return false;
    if (trimmed(account->text()).empty()) {
        alert(kMsgEnterAccount);
        return false;
    }
    if (trimmed(password->text()).empty()) {
        alert(kMsgEnterPassword);
        return false;
    }
    return true;
}

void LoginViewController::login() {
    if (!checkInput()) return;
    keyboardControlsDonePressed(keyboardControls_.get());
    auto system = view()->viewWithTag<UISegmentedControl>(kTagSystem);
    // The registration dealer hides the choice and always logs in to its
    // real system, whatever the control was left on for the dealer before.
    const bool real = !system || system->isHidden() || system->selectedSegmentIndex() == 1;
    const std::string host = real ? currentDealer_->hostReal : currentDealer_->hostDemo;
    // A dealer without that system has no address to log in to.
    if (host.empty()) return alert(real ? kMsgNoRealHost : kMsgNoDemoHost);
    loginRoad_->login(
        {field(kTagAccount)->text(), field(kTagPassword)->text(), host, currentDealer_->dealerKey});
}

void LoginViewController::loginFailWith(const std::string& message) {
    loginRoad_->failWith(message);
}

void LoginViewController::onNetworkStatus(int32_t status) {
    // A code that names no status (a server may send any) is not logged.
    const std::optional<NetworkStatus> known = networkStatusFromCode(status);
    if (!known) return;
    switch (*known) {
        case NetworkStatus::Connecting:
            platform::log(">>> 网络连接中......");
            break;
        case NetworkStatus::Connected:
            platform::log(">>> 收到网络连接成功通知");
            break;
        case NetworkStatus::OpenTimedOut:
            platform::log(">>> 网络连接失败");
            if (loginRoad_->isLoggingIn()) loginFailWith(kMsgConnectFailed);
            break;
        case NetworkStatus::Closed:
            platform::log(">>> 收到网络关闭通知");
            break;
        case NetworkStatus::LoginStarted:
            platform::log(">>> 开始登录系统");
            break;
        case NetworkStatus::LoginSucceeded:
            platform::log(">>> 登录系统 成功");
            break;
        case NetworkStatus::LoginFailed:
            platform::log(">>> 登录系统 失败");
            break;
        case NetworkStatus::TokenCheck:
        case NetworkStatus::TokenPassed:
        case NetworkStatus::TokenFailed:
        case NetworkStatus::SameUserElsewhere:
            break;
    }
}

// ---- password reset --------------------------------------------------------

void LoginViewController::resetPWD() {
    loginRoad_->resetPassword(
        registerservice::withoutSpaces(field(kTagAccount) ? field(kTagAccount)->text() : ""));
}

// ---- keyboard --------------------------------------------------------------

void LoginViewController::shiftFor(UIView* f) {
    if (!f) return;
    UIView* row = f->superviewRaw();
    UIView* form = view()->viewWithTag(kTagForm).get();
    const CGFloat rowTop = row ? row->frame().origin.y : 0;
    const CGFloat formTop = form ? form->frame().origin.y : 0;
    keyboardshift::shiftForField(*view(), rowTop + formTop + f->frame().size.height);
}

void LoginViewController::textFieldDidBeginEditing(UITextField* f) {
    if (keyboardControls_) keyboardControls_->setActiveField(f);
    shiftFor(f);
}

void LoginViewController::textFieldDidEndEditing(UITextField* f) {
    if (f && f == field(kTagAccount) && sysDB_) {
        sysDB_->setValue(f->text(), settingTag::trUid);
        sysDB_->loadSetting();
    }
}

void LoginViewController::keyboardControls(KAVKeyboardControls*, UIView* f, int32_t) {
    shiftFor(f);
}

void LoginViewController::keyboardControlsDonePressed(KAVKeyboardControls*) {
    view()->endEditing(true);
    keyboardshift::shiftBack(*view());
}
