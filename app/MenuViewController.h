#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/Image.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/BaseViewController.h"

// The function menu of the left drawer: one row per centre screen of the
// drawer, with the dealer's caption and an icon. A tap, or a shake that
// names a row, asks the delegate (the drawer) for that row's screen.
class MenuViewController : public BaseViewController,
                           public platform::ui::UITableViewDataSource,
                           public platform::ui::UITableViewDelegate {
  public:
    static constexpr const char* kTitle = "功能菜单";
    static constexpr const char* kCellIdentifier = "MENU_ITEM_CELL";
    static constexpr long kTagTable = 1000;

    // One row of the menu, top to bottom: the default caption (also the
    // dealer label's key), the icon and the screen type it opens.
    struct Row {
        const char* title;
        const char* icon;
        CenterScreenType type;
    };
    static constexpr std::array<Row, 7> kRows{{
        {"实时行情", "quotation_icon", CenterScreenType::Quotation},
        {"资金账户", "account_icon", CenterScreenType::AccountInfo},
        {"持有合同", "holdBillList_icon", CenterScreenType::HoldDetail},
        {"头寸", "holdPositionList_icon", CenterScreenType::HoldPosition},
        {"限价单", "limitBillList_icon", CenterScreenType::LimitOpen},
        {"平仓单", "closeBillList_icon", CenterScreenType::CloseOut},
        {"交易商公告", "dealerNotic_icon", CenterScreenType::Bulletin},
    }};

    // The menu row a shake value names: 1, 2 and 3 are the quotation board,
    // the funds account and the pending orders; any other value is a row
    // number itself. -1 when it names no row.
    static long rowForShakeValue(long value);

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    // The captions (as the dealer's label file gives them now), type numbers
    // (as the delegate is sent them) and icons.
    void initData();
    void makeView();
    // Shows the screen of the row the shake value names; a value that names
    // no row does nothing.
    void pushViewWith(long value);

    const std::vector<std::string>& menuTitleArray() const { return menuTitleArray_; }
    const std::vector<int32_t>& menuTypeArray() const { return menuTypeArray_; }

    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView*,
                                          platform::ui::NSIndexPath indexPath) override;

  private:
    void showRow(long row);

    std::vector<std::string> menuTitleArray_;
    std::vector<int32_t> menuTypeArray_;
    std::vector<platform::ui::UIImagePtr> menuImageArray_;
};
