#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SettingsScreen.h"
#include "ui/toolkit/CellTextField.h"

class sysDB;

// Changes the login or the fund password of the trading account. Pushed by
// the system settings screen; the new password must be typed twice alike
// and may not be empty. A successful change closes the whole settings stack;
// a refused one says why and leaves the rows as typed.
class UIChangePWD : public SettingsScreen {
  public:
    static constexpr long kTagConfirm = 1005;
    static constexpr long kTagType = 3001;
    static constexpr int kTagOld = 2001;
    static constexpr int kTagNew = 2002;
    static constexpr int kTagRepeat = 2003;
    static constexpr long kTagDimmer = 1006;
    static constexpr int kLoginPassword = 1;
    static constexpr int kFundPassword = 2;
    static constexpr const char* kCellIdentifier = "OPTIONAL_CHGPWD_CELL";
    static constexpr const char* kTitle = "修改登录密码";
    static constexpr const char* kNotice = "操作提示";
    static constexpr const char* kMismatch = "新密码输入有误，请重新设置";
    static constexpr const char* kSubmitting = "正在提交";
    static constexpr const char* kDone = "修改密码操作成功。";

    // Makes its own settings store (which loads the settings).
    UIChangePWD();

    void viewDidLayoutSubviews() override;

    void makeView() override;
    void makeCell() override;
    // Keeps the text of the row that changed.
    void onValueChange(const std::string& value, int Tag) override;
    void buttonPressed(platform::ui::UIControl* sender) override;
    void pwdTypeChange(platform::ui::UIControl* sender);
    // Sends the change with the typed old password, under a dimmer and the
    // overlay; both go when the dealer answers.
    void makeOrderWith(const std::string& newPWD, const std::string& oldPWD);

    long tableViewNumberOfRowsInSection(platform::ui::UITableView* table, long section) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;

    int pwdType() const { return pwdType_; }
    const std::vector<std::shared_ptr<CellTextField>>& cells() const { return _cells; }
    CellTextField* cellWithTag(int tag) const;
    const std::shared_ptr<sysDB>& ownStore() const { return __sysDB; }

  private:
    // Held by both result blocks of a change on its way; when the session
    // drops them unanswered, it takes the overlay and the dimmer down.
    struct UnansweredGuard {
        std::weak_ptr<UIChangePWD> screen;
        bool answered = false;
        ~UnansweredGuard();
    };

    void showSuccess();
    void showFailure(const std::string& message);
    void removeDimmer();

    std::vector<std::shared_ptr<CellTextField>> _cells;
    // No text until the row is first edited.
    std::optional<std::string> _oldPwd, _newPwd, _repPWD;
    std::shared_ptr<sysDB> __sysDB;
    int pwdType_ = kLoginPassword;
    std::shared_ptr<platform::ui::UIView> header_;
    std::shared_ptr<platform::ui::UIView> footer_;
};
