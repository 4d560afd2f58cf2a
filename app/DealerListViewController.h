#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EtyDealer.h"
#include "app/QRcodeViewController.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/BaseViewController.h"

class DealerManager;
class DealerStore;

// What the dealer list tells the login screen.
class DealerManagerDelegate {
  public:
    virtual ~DealerManagerDelegate() = default;
    // The search bar was shown (true) or put away (false).
    virtual void onSearchVisible(bool visible) = 0;
    // The user selected another dealer.
    virtual void onSelectedDealer(const std::shared_ptr<EtyDealer>& dealer) = 0;
    // The user tapped the dealer that is already selected.
    virtual void onHideDealerList() = 0;
};

// The stored dealers, as a panel of the login screen: a row per dealer in
// the order they were added, the selected one checked; a tap selects, a
// swipe deletes after a confirmation; a dealer is added by its key, typed
// into a search bar, or by a scanned QR code holding its lookup address.
// It reads and writes the dealer store it is handed.
class DealerListViewController : public BaseViewController,
                                 public platform::ui::UITableViewDataSource,
                                 public platform::ui::UITableViewDelegate,
                                 public platform::ui::UISearchBarDelegate,
                                 public QRcodeViewControllerDelegate {
  public:
    static constexpr long kTagTable = 1000;
    static constexpr long kTagAdd = 2000;
    static constexpr long kTagQR = 2001;
    static constexpr const char* kCellID = "DEALER_CELL_ID";
    static constexpr double kRowHeight = 60;
    static constexpr double kBarHeight = 44;

    static constexpr const char* kMsgEnterKey = "请输入识别号添加交易商。";
    static constexpr const char* kMsgQuerying = "正在查询";
    static constexpr const char* kMsgConfirmDelete = "确定要删除此交易商信息吗？";

    DealerListViewController(const platform::ui::CGRect& frame, std::weak_ptr<DealerStore> store);
    ~DealerListViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void didReceiveMemoryWarning() override {}
    void initData();
    void makeView();
    void buttonPressed(platform::ui::UIControl* sender);

    // ---- table ----
    long tableViewNumberOfRowsInSection(platform::ui::UITableView* table, long section) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    bool tableViewCanEditRowAtIndexPath(platform::ui::UITableView*,
                                        platform::ui::NSIndexPath) override {
        return true;
    }
    void tableViewCommitEditingStyle(platform::ui::UITableView* table,
                                     platform::ui::UITableViewCellEditingStyle style,
                                     platform::ui::NSIndexPath indexPath) override;
    double tableViewHeightForRowAtIndexPath(platform::ui::UITableView*,
                                            platform::ui::NSIndexPath) override {
        return kRowHeight;
    }
    std::string tableViewTitleForDeleteConfirmationButton(platform::ui::UITableView*,
                                                          platform::ui::NSIndexPath) override {
        return "删除";
    }
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView* table,
                                          platform::ui::NSIndexPath indexPath) override;

    // ---- adding ----
    // Looks the dealer up at the address and adds it (one lookup at a time).
    void loadDealerWithURL(const std::string& url);
    void searchBarSearchButtonClicked(platform::ui::UISearchBar* bar) override;
    void searchBarCancelButtonClicked(platform::ui::UISearchBar* bar) override;
    void onScanWithURL(const std::optional<std::string>& url) override;

    const std::shared_ptr<platform::ui::UISearchBar>& searchBar() const { return searchBar_; }
    // The search bar stands at the top of the list (from the add button
    // until its cancel button, a search included).
    bool isSearchBarShown() const;
    // Puts the search bar away, as its cancel button does.
    void hideSearchBar();
    // Not owned.
    std::shared_ptr<DealerManagerDelegate> dealerManagerDelegate() const {
        return dealerManagerDelegate_.lock();
    }
    void setDealerManagerDelegate(std::weak_ptr<DealerManagerDelegate> d) {
        dealerManagerDelegate_ = std::move(d);
    }

  private:
    platform::ui::UITableView* table() const;
    void reloadTable();
    // The refusal of a lookup that cannot be made.
    void showLookupFailed();

    std::weak_ptr<DealerStore> store_;
    std::shared_ptr<DealerManager> dealerManager_;
    platform::ui::CGRect frame_;
    std::shared_ptr<platform::ui::UISearchBar> searchBar_;
    std::weak_ptr<DealerManagerDelegate> dealerManagerDelegate_;
    // The dealers as the table last counted them (store order), so that the
    // rows the user sees and taps are the ones the table was built from.
    std::vector<std::shared_ptr<EtyDealer>> dealers_;
    bool lookupRunning_ = false;
};
