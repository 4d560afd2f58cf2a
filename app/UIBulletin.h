#pragma once

#include <memory>
#include <optional>

#include "Core/Model/MODBulletin.h"
#include "Core/WSPushMessage.h"
#include "platform/ui/RefreshControl.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/BaseViewController.h"

// The dealer's bulletins: a list that loads once when it is built and again
// on a pull. A centre screen of the main drawer, made once and kept; a tap
// opens the bulletin in a modal screen of its own.
class UIBulletin : public BaseViewController,
                   public platform::ui::UITableViewDataSource,
                   public platform::ui::UITableViewDelegate {
  public:
    static constexpr long kTagTable = 1000;
    static constexpr const char* kCellIdentifier = "BULLETIN_ITEM_CELL";
    static constexpr const char* kPullTitle = "下拉列表刷新数据";
    static constexpr const char* kRefreshingTitle = "正在刷新数据...";
    static constexpr const char* kFailureTitle = "异常提示";

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    void makeView();
    // Asks the dealer for the bulletins; the answer replaces the rows, a
    // failure keeps them and says why. The list shows no overlay, so it
    // takes none down either.
    void QBulletin();
    void refreshData(platform::ui::UIControl* sender);

    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    double tableViewHeightForRowAtIndexPath(platform::ui::UITableView*,
                                            platform::ui::NSIndexPath) override {
        return 110;
    }
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView* table,
                                          platform::ui::NSIndexPath indexPath) override;

    // Nothing until the first answer.
    const std::optional<MODList<MODBulletin>>& rows() const { return rows_; }
    platform::ui::UITableView* list() const { return list_.get(); }
    platform::ui::UIRefreshControl* refresh() const { return refresh_.get(); }

  private:
    std::optional<MODList<MODBulletin>> rows_;
    // Queries asked so far, and the number of the one whose answer the rows
    // show: answers may come in another order than they were asked for.
    uint64_t queriesAsked_ = 0;
    uint64_t queryShown_ = 0;
    std::shared_ptr<platform::ui::UITableView> list_;
    std::shared_ptr<platform::ui::UIRefreshControl> refresh_;
};
