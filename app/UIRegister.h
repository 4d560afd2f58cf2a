#pragma once

#include <memory>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "ui/toolkit/KAVKeyboardControls.h"

class UIKAVInputField;

// Told when a demo account has been registered.
class RegisterAccountDelegate {
  public:
    virtual ~RegisterAccountDelegate() = default;
    virtual void onRegisterSuccess(const std::string& email) = 0;
};

// The demo-account registration form of the dealer "kavdemo", which the
// login screen slides in: e-mail, password and its confirmation, a register
// button and the service hot-line. The form checks what was typed, sends
// the registration to the dealer's registration server and says how it went;
// a registered e-mail goes to the delegate. The values typed stay in the
// fields whatever happens. Blanks are removed from every value before it is
// checked or sent. The login screen's view moves with the keyboard.
class UIRegister : public platform::ui::UIScrollView,
                   public platform::ui::UITextFieldDelegate,
                   public KAVKeyboardControlsDelegate {
  public:
    static constexpr long kTagEmail = 10001;
    static constexpr long kTagPassword = 10002;
    static constexpr long kTagConfirm = 10003;
    static constexpr long kTagRegister = 20001;
    static constexpr long kTagHotline = 20002;
    static constexpr platform::ui::CGFloat kContentHeight = 450;

    static constexpr const char* kMsgBadEmail = "请输入有效的邮箱帐号";
    static constexpr const char* kMsgPasswordsDiffer = "两次密码输入不一致，请重新输入";
    static constexpr const char* kMsgPasswordEmpty = "输入的密码无效，请重新输入";
    static constexpr const char* kMsgRegistering = "正在注册......";
    static constexpr const char* kMsgUnreadable = "注册失败，请拨打服务热线联系我们";
    static constexpr const char* kMsgRegistered = "帐号注册成功！";
    static constexpr const char* kMsgTransportFailed = "操作异常，请拨打服务热线联系我们";

    explicit UIRegister(const platform::ui::CGRect& frame);
    ~UIRegister() override;

    // The contents are made by the first layout pass with a width, once.
    void layoutSubviews() override;
    void makeView();
    void buttonPressed(platform::ui::UIControl* sender);

    void textFieldDidBeginEditing(platform::ui::UITextField* field) override;
    void textFieldDidEndEditing(platform::ui::UITextField*) override {}
    void keyboardControls(KAVKeyboardControls* controls, platform::ui::UIView* field,
                          int32_t direction) override;
    void keyboardControlsDonePressed(KAVKeyboardControls* controls) override;

    // The first failing check shows its alert; true when everything passes.
    bool checkInput();
    void registerAccount();

    std::shared_ptr<RegisterAccountDelegate> registerAccountDelegate() const {
        return registerAccountDelegate_.lock();
    }
    void setRegisterAccountDelegate(std::weak_ptr<RegisterAccountDelegate> d) {
        registerAccountDelegate_ = std::move(d);
    }
    const std::shared_ptr<KAVKeyboardControls>& keyboardControlsBar() const {
        return keyboardControls_;
    }

  private:
    std::string fieldText(long tag) const;
    // Moves the superview so the field stands above the keyboard bar.
    void shiftFor(platform::ui::UIView* field);

    std::shared_ptr<KAVKeyboardControls> keyboardControls_;
    std::weak_ptr<RegisterAccountDelegate> registerAccountDelegate_;
    bool built_ = false;
};
