#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Core/Model/MODUserAccount.h"
#include "Core/WSPushMessage.h"
#include "app/UIKAVRiskView.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/TableView.h"
#include "ui/services/BroadcastManager.h"
#include "ui/toolkit/BaseViewController.h"

// The funds of the logged-in account: the risk panel and seven money rows.
// A centre screen of the main drawer, made once and kept. Each appearance
// asks the dealer again; while visible it follows the account pushes the
// application delegate posts on the event bus.
class UIAccountInfo : public BaseViewController,
                      public platform::ui::UITableViewDataSource,
                      public platform::ui::UITableViewDelegate {
  public:
    static constexpr long kTagTable = 1000;
    static constexpr const char* kCellIdentifier = "USER_ITEM_CELL";
    static constexpr double kRowHeight = 40;
    static constexpr double kRiskPanelHeight = 90;
    static constexpr double kCaptionWidth = 130;
    // The row whose value is coloured by its sign (the floating profit).
    static constexpr long kRowProfit = 4;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;

    void makeView();
    void QAccountInfo();
    void initListen();
    void removeListen();
    void onReciveBroadcast(const MoMessage& message);
    // Shows the first account of the list; an empty list changes nothing.
    void updateAccountWithMods(const MODList<MODUserAccount>& mods);

    long tableViewNumberOfRowsInSection(platform::ui::UITableView* table, long section) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    double tableViewHeightForRowAtIndexPath(platform::ui::UITableView* table,
                                            platform::ui::NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView*,
                                          platform::ui::NSIndexPath) override {}

    const std::vector<std::string>& arrLabel() const { return arrLabel_; }
    // Empty until the first account has been shown.
    const std::vector<std::string>& arrValue() const { return arrValue_; }
    const std::shared_ptr<MODUserAccount>& modUserAccount() const { return modUserAccount_; }
    UIKAVRiskView* riskView() const { return riskView_.get(); }
    platform::ui::UITableView* list() const { return list_.get(); }
    bool isListening() const { return accountListen_.isActive(); }

  private:
    std::vector<std::string> arrLabel_;
    std::vector<std::string> arrValue_;
    std::shared_ptr<MODUserAccount> modUserAccount_;
    std::shared_ptr<platform::ui::UITableView> list_;
    std::shared_ptr<UIKAVRiskView> riskView_;
    platform::ObserverToken accountListen_;
    // The cells' own value ink, for the rows that are not coloured by sign.
    std::optional<platform::ui::UIColor> valueInk_;
};
