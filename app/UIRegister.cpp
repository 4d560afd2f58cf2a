#include "app/UIRegister.h"

#include "Core/httpQuery.h"
#include "app/KeyboardShift.h"
#include "app/RegisterService.h"
#include "platform/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIKAVInputField.h"

using namespace platform::ui;

namespace {

constexpr CGFloat kInset = 20;
constexpr CGFloat kRowHeight = 40;
constexpr CGFloat kFieldWidth = 190;
constexpr CGFloat kButtonHeight = 50;
constexpr UIKAVInputField::Style kRowStyle = UIKAVInputField::Style::BlueCaption;

void alert(const std::string& message) {
    KAVAlertView::showAlertWithTitle("提示", message, std::string("确定"), nullptr);
}

std::shared_ptr<UIButton> formButton(const CGRect& frame, long tag, const std::string& title,
                                     const UIColor& background) {
    auto button = std::make_shared<UIButton>(frame);
    button->setTag(tag);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(kavtheme::secondaryText(), UIControlStateNormal);
    button->setBackgroundColor(background);
    button->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    return button;
}

}  // namespace

UIRegister::UIRegister(const CGRect& frame) : UIScrollView(frame) {}

UIRegister::~UIRegister() = default;

void UIRegister::layoutSubviews() {
    UIScrollView::layoutSubviews();
    // A scroll view is laid out again and again while it scrolls: the rows
    // are made once.
    if (!built_ && bounds().size.width > 0) {
        built_ = true;
        makeView();
    }
    // Tall enough for the form, never wider than the panel.
    setContentSize({bounds().size.width, kContentHeight});
}

void UIRegister::makeView() {
    setBackgroundColor(kavtheme::screenBackground());
    const CGFloat W = bounds().size.width;
    auto weakField = weakSelf<UITextFieldDelegate>();

    auto makeRow = [&](long tag, CGFloat top, const char* title, bool secure) {
        auto row = std::make_shared<UIKAVInputField>(
            CGRectMake(kInset, top, W - 2 * kInset, kRowHeight), title, kRowStyle, kFieldWidth);
        row->setTag(tag);
        row->textField()->delegate = weakField;
        row->textField()->setSecureTextEntry(secure);
        row->textField()->setText("");
        addSubview(row);
        return row;
    };
    auto email = makeRow(kTagEmail, 0, "电子邮件", false);
    email->textField()->keyboardType = UIKeyboardType::EmailAddress;
    auto password = makeRow(kTagPassword, CGRectGetMaxY(email->frame()) - 1, "登录密码", true);
    auto confirm = makeRow(kTagConfirm, CGRectGetMaxY(password->frame()) - 1, "确认密码", true);

    auto registerButton = formButton(
        CGRectMake(kInset, CGRectGetMaxY(confirm->frame()) + 20, W - 2 * kInset, kButtonHeight),
        kTagRegister, "注册", kavtheme::accent());
    registerButton->addTarget(weakSelf<UIRegister>(), &UIRegister::buttonPressed,
                              UIControlEventTouchUpInside);
    addSubview(registerButton);
    auto hotline = formButton(CGRectMake(kInset, CGRectGetMaxY(registerButton->frame()) + 20,
                                         W - 2 * kInset, kButtonHeight),
                              kTagHotline, "服务热线：" + registerservice::hotline(),
                              kavtheme::confirmButton());
    hotline->addTarget(weakSelf<UIRegister>(), &UIRegister::buttonPressed,
                       UIControlEventTouchUpInside);
    addSubview(hotline);

    keyboardControls_ = KAVKeyboardControls::initWithFields(
        {email->textField(), password->textField(), confirm->textField()});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();
}

void UIRegister::buttonPressed(UIControl* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagHotline:
            UIApplication::sharedApplication().openURL("tel://" + registerservice::hotline());
            break;
        case kTagRegister:
            if (checkInput()) registerAccount();
            break;
        default:
            break;
    }
}

std::string UIRegister::fieldText(long tag) const {
    auto row = viewWithTag<UIKAVInputField>(tag);
    return row ? registerservice::withoutSpaces(row->textField()->text()) : std::string();
}

bool UIRegister::checkInput() {
    const std::string email = fieldText(kTagEmail);
    const std::string password = fieldText(kTagPassword);
    const std::string confirm = fieldText(kTagConfirm);
    if (!sysDB::checkEmail(email)) {
        alert(kMsgBadEmail);
        return false;
    }
    if (password != confirm) {
        alert(kMsgPasswordsDiffer);
        return false;
    }
    if (password.empty()) {
        alert(kMsgPasswordEmpty);
        return false;
    }
    return true;
}

void UIRegister::registerAccount() {
    const std::string email = fieldText(kTagEmail);
    const std::string password = fieldText(kTagPassword);
    KAVProgressHUD::showWithStatus(kMsgRegistering, KAVProgressHUDMaskTypeBlack);
    // The address carries the password: only its path goes to the log.
    platform::log(std::string("注册模拟账户：") + registerservice::baseURL() +
                  registerservice::kRegisterPath);
    auto weak = weakSelf<UIRegister>();
    httpQuery::asynGetWithUrl(
        registerservice::registerURL(email, password),
        [weak, email](const std::string& body) {
            registerservice::Reply reply;
            const bool readable = registerservice::parseReply(body, reply);
            KAVProgressHUD::dismissWithComplete([weak, email, readable, reply] {
                if (!readable) return alert(kMsgUnreadable);
                if (reply.retCode != 0) return alert(reply.message);
                KAVAlertView::showAlertWithTitle(
                    "提示", kMsgRegistered, std::string("确定"), [weak, email](bool, long) {
                        auto self = weak.lock();
                        if (!self) return;
                        if (auto d = self->registerAccountDelegate()) d->onRegisterSuccess(email);
                        self->keyboardControlsDonePressed(self->keyboardControls_.get());
                    });
            });
        },
        [](const std::string&, const std::string&) {
            KAVProgressHUD::dismissWithComplete([] { alert(kMsgTransportFailed); });
        });
}

void UIRegister::shiftFor(UIView* field) {
    auto host = superview();
    if (!field || !host) return;
    // The field's row lies in this panel, the panel in the moving view.
    UIView* row = field->superviewRaw();
    const CGFloat rowTop = row ? row->frame().origin.y : 0;
    keyboardshift::shiftForField(*host, rowTop + frame().origin.y + field->frame().size.height);
}

void UIRegister::textFieldDidBeginEditing(UITextField* field) {
    if (keyboardControls_) keyboardControls_->setActiveField(field);
    shiftFor(field);
}

void UIRegister::keyboardControls(KAVKeyboardControls*, UIView* field, int32_t) {
    shiftFor(field);
}

void UIRegister::keyboardControlsDonePressed(KAVKeyboardControls*) {
    endEditing(true);
    if (auto host = superview()) keyboardshift::shiftBack(*host);
}
