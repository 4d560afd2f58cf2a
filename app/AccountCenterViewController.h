#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/AppContext.h"
#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/BaseViewController.h"

class sysDB;

// The account centre, the screen of the right-hand drawer: the selected
// dealer's logo, the ways to the settings and the risk notice, the versions
// of the application and the service, and the logout button. Made with the
// drawer and kept; what it shows is that of the moment its view loaded.
class AccountCenterViewController : public BaseViewController,
                                    public platform::ui::UITableViewDataSource,
                                    public platform::ui::UITableViewDelegate {
  public:
    static constexpr const char* kCellIdentifier = "USER_ITEM_CELL";
    static constexpr const char* kTitle = "用户中心";
    static constexpr const char* kSettingsScreen = "UIOptional";
    static constexpr const char* kNoticeScreen = "UIAboutViewController";
    static constexpr long kTagLogo = 1000;
    static constexpr long kTagTable = 1001;
    static constexpr long kTagLogout = 1002;
    // The drawer shows this much of the screen.
    static constexpr double kDrawerWidth = 260;
    static constexpr double kLogoHeight = 80;
    // Where the dealer logos are kept, under the Documents folder.
    static constexpr const char* kLogoFolder = "/Res/Images/Dealer/";

    // The session's service object (the version, the logout) and settings
    // store (the account), and the dealer store (the selected dealer's logo).
    explicit AccountCenterViewController(AppContext context);

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    void makeView();
    // Ends the session: the service object closes its channels and tells
    // the application, which returns to the login screen.
    void logout();
    // Asks "确定要注销登录吗？" first.
    void showCustomAlert();

    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    double tableViewHeightForRowAtIndexPath(platform::ui::UITableView*,
                                            platform::ui::NSIndexPath) override {
        return 50;
    }
    // The settings and notice rows open their screen in a stack of its own;
    // the version row does nothing.
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView* table,
                                          platform::ui::NSIndexPath indexPath) override;

    const std::vector<std::string>& arrTexts() const { return arrTexts_; }
    const std::vector<std::string>& arrUIViewKey() const { return arrUIViewKey_; }
    platform::ui::UIImageView* logo() const { return logo_.get(); }
    platform::ui::UITableView* list() const { return list_.get(); }
    // "<Documents>/Res/Images/Dealer/<key>_<logo>" and "<base>/<key>/<logo>".
    static std::string logoPath(const std::string& dealerKey, const std::string& dealerLogo);
    static std::string logoURL(const std::string& base, const std::string& dealerKey,
                               const std::string& dealerLogo);

  private:
    void loadLogo();

    std::weak_ptr<DealerStore> dealerStore_;
    std::vector<std::string> arrTexts_;
    std::vector<platform::ui::UIImagePtr> arrIcons_;
    std::vector<std::string> arrUIViewKey_;
    std::shared_ptr<sysDB> __sysDB;
    std::shared_ptr<platform::ui::UIImageView> logo_;
    std::shared_ptr<platform::ui::UITableView> list_;
    std::shared_ptr<platform::ui::UIView> footer_;
};
