// The bulletin card: its frames and look, reuse for another bulletin, a
// wider row, and a list of the simulated dealer's bulletins.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/TableView.h"
#include "tests/support/DealerSim.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/CellBulletin.h"

using namespace platform::ui;
using widgettest::sameRect;

namespace {

MODBulletin bulletin(const std::string& title, const std::string& content, const std::string& date,
                     const std::string& publish = "") {
    MODBulletin b;
    b.title = title;
    b.content = content;
    b.date = date;
    b.publish = publish;
    return b;
}

class BulletinCell : public widgettest::WidgetTest {};

TEST_F(BulletinCell, DrawsTheBulletinAsACard) {
    auto cell = std::make_shared<CellBulletin>(UITableViewCellStyle::Default,
                                               CellBulletin::kReuseIdentifier);
    EXPECT_EQ(cell->reuseIdentifier(), "BULLETIN_ITEM_CELL");
    EXPECT_EQ(cell->backgroundColor(), UIColor::clearColor());
    cell->layoutSubviews();  // nothing to lay out before the first bulletin
    EXPECT_EQ(cell->box(), nullptr);

    cell->setFrame(CGRectMake(0, 0, 320, CellBulletin::kRowHeight));
    cell->showCellWithMod(
        bulletin("周五提前收盘", "周五 21:00 收盘", "2026-01-05 09:00:00", "交易部"));
    ASSERT_NE(cell->box(), nullptr);
    EXPECT_TRUE(sameRect(cell->box()->frame(), CGRectMake(10, 10, 300, 100)));
    EXPECT_TRUE(sameRect(cell->title()->frame(), CGRectMake(10, 10, 280, 40)));
    EXPECT_TRUE(sameRect(cell->txtdetail()->frame(), CGRectMake(10, 50, 280, 20)));
    EXPECT_TRUE(sameRect(cell->split()->frame(), CGRectMake(10, 70, 280, 1)));
    EXPECT_TRUE(sameRect(cell->date()->frame(), CGRectMake(10, 70, 280, 25)));
    EXPECT_TRUE(sameRect(cell->publish()->frame(), CGRectMake(10, 70, 262, 25)));
    EXPECT_TRUE(sameRect(cell->imgDetail()->frame(), CGRectMake(277, 75, 16, 16)));
    // The card ends at the row's bottom.
    EXPECT_EQ(CGRectGetMaxY(cell->box()->frame()), CellBulletin::kRowHeight);

    EXPECT_EQ(cell->box()->superviewRaw(), cell.get());
    EXPECT_EQ(cell->box()->backgroundColor(), UIColor::whiteColor());
    EXPECT_EQ(cell->box()->layer().cornerRadius(), 5);
    EXPECT_EQ(cell->box()->layer().borderColor(), UIColor::grey255(220));
    EXPECT_EQ(cell->title()->font().pointSize, 16);
    EXPECT_EQ(cell->title()->textColor(), UIColor::grey255(10));
    EXPECT_EQ(cell->txtdetail()->textColor(), UIColor::grey255(120));
    EXPECT_EQ(cell->date()->textAlignment(), NSTextAlignment::Left);
    EXPECT_EQ(cell->publish()->textAlignment(), NSTextAlignment::Right);
    EXPECT_EQ(cell->title()->text(), "周五提前收盘");
    EXPECT_EQ(cell->txtdetail()->text(), "周五 21:00 收盘");
    EXPECT_EQ(cell->date()->text(), "2026-01-05 09:00:00");
    EXPECT_EQ(cell->publish()->text(), "交易部");
}

TEST_F(BulletinCell, ReuseKeepsTheCardAndAWiderRowWidensIt) {
    auto cell = std::make_shared<CellBulletin>(UITableViewCellStyle::Default,
                                               CellBulletin::kReuseIdentifier);
    cell->setFrame(CGRectMake(0, 0, 320, CellBulletin::kRowHeight));
    cell->showCellWithMod(bulletin("一", "二", "2026-01-05", "交易部"));
    UIView* box = cell->box();
    UILabel* title = cell->title();
    UIImageView* icon = cell->imgDetail();
    const size_t parts = box->subviews().size();

    cell->showCellWithMod(bulletin("新公告", "内容", ""));
    EXPECT_EQ(cell->box(), box);
    EXPECT_EQ(cell->title(), title);
    EXPECT_EQ(cell->imgDetail(), icon);
    EXPECT_EQ(box->subviews().size(), parts);
    EXPECT_EQ(
        cell->subviews().end() - std::find_if(cell->subviews().begin(), cell->subviews().end(),
                                              [&](auto& v) { return v.get() == box; }),
        1);  // one card, not two
    EXPECT_EQ(title->text(), "新公告");
    EXPECT_EQ(cell->date()->text(), "");
    EXPECT_EQ(cell->publish()->text(), "");

    cell->setFrame(CGRectMake(0, 0, 375, CellBulletin::kRowHeight));
    cell->layoutIfNeeded();
    EXPECT_TRUE(sameRect(box->frame(), CGRectMake(10, 10, 355, 100)));
    EXPECT_EQ(cell->split()->frame().size.width, 335);
    EXPECT_EQ(cell->publish()->frame().size.width, 317);
    EXPECT_EQ(icon->frame().origin.x, CGRectGetMaxX(cell->publish()->frame()) + 5);
}

// The bulletin list of the application, as the bulletin screen builds it.
class BulletinList : public UITableViewDataSource, public UITableViewDelegate {
  public:
    MODList<MODBulletin> rows;
    long tableViewNumberOfRowsInSection(UITableView*, long) override {
        return static_cast<long>(rows.size());
    }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView* table,
                                                      NSIndexPath path) override {
        auto cell = std::dynamic_pointer_cast<CellBulletin>(
            table->dequeueReusableCellWithIdentifier(CellBulletin::kReuseIdentifier));
        if (!cell) {
            cell = std::make_shared<CellBulletin>(UITableViewCellStyle::Default,
                                                  CellBulletin::kReuseIdentifier);
            cell->selectionStyle = UITableViewCellSelectionStyle::None;
        }
        cell->showCellWithMod(*rows.at(static_cast<size_t>(path.row)));
        return cell;
    }
    double tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath) override {
        return CellBulletin::kRowHeight;
    }
};

TEST_F(BulletinCell, ListsTheDealersBulletins) {
    kavtest::DealerSim sim;
    sim.addBulletin("周五提前收盘", "因假期安排，周五 21:00 收盘，请提前调整持仓。");
    sim.addBulletin(
        "关于调整贵金属保证金比例及节假日期间交易时间安排的重要通知，请各位客户务必仔细阅读",
        "自下周一起黄金保证金比例调整为 2%。");
    auto sdk = std::make_shared<KAVBizSDK>();
    bool loggedIn = false;
    sdk->loginWithUserId(
        "1001", "123456", "", {sim.realLoginUrl()}, [&] { loggedIn = true; },
        [](const std::string&, const std::string&) {});
    ASSERT_TRUE(time.runUntil([&] { return loggedIn; }));

    auto list = std::make_shared<BulletinList>();
    bool answered = false;
    sdk->queryBulletinOnSuccess(
        [&](const MODList<MODBulletin>& bulletins) {
            list->rows = bulletins;
            answered = true;
        },
        [&](const std::string&, const std::string&) { answered = true; });
    ASSERT_TRUE(time.runUntil([&] { return answered; }));
    ASSERT_GE(list->rows.size(), 2u);

    auto table = std::make_shared<UITableView>(CGRectMake(0, 20, 320, 548));
    table->setBackgroundColor(UIColor::grey255(235));
    table->separatorStyle = UITableViewCellSeparatorStyle::None;
    table->setDataSource(list);
    table->setDelegate(list);
    window->addSubview(table);
    table->reloadData();
    UIScreenRenderer::layoutWindows();

    // The dealer's own bulletins and the two above, every one on screen; the
    // cells in the order of their rows.
    auto cells = UIDriver::viewsOfType<CellBulletin>(table.get());
    ASSERT_EQ(cells.size(), list->rows.size());
    std::sort(cells.begin(), cells.end(),
              [](auto* a, auto* b) { return a->frame().origin.y < b->frame().origin.y; });
    CellBulletin* longTitle = nullptr;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (list->rows[i]->title.rfind("关于调整", 0) == 0) longTitle = cells[i];
        EXPECT_EQ(cells[i]->frame().size.height, CellBulletin::kRowHeight);
        EXPECT_EQ(cells[i]->title()->text(), list->rows[i]->title);
        EXPECT_EQ(cells[i]->txtdetail()->text(), list->rows[i]->content);
        EXPECT_FALSE(cells[i]->date()->text().empty());
        EXPECT_EQ(cells[i]->publish()->text(), "");  // the dealer names no publisher
    }
    // The long title keeps to its two lines' room.
    ASSERT_NE(longTitle, nullptr);
    EXPECT_EQ(longTitle->title()->frame().size.height, 40);
    auto shot = snapshot("bulletin-list");
    ASSERT_TRUE(shot);
    // The detail mark in the date's grey, on the white card.
    const CGRect mark =
        cells[0]->imgDetail()->convertRectToView(cells[0]->imgDetail()->bounds(), nullptr);
    int grey = 0, dark = 0;
    for (int y = static_cast<int>(mark.origin.y); y < CGRectGetMaxY(mark); ++y) {
        for (int x = static_cast<int>(mark.origin.x); x < CGRectGetMaxX(mark); ++x) {
            const UIColor c = shot->pixelAt(x, y);
            grey += widgettest::sameColor(c, UIColor::grey255(180), 12.0 / 255) ? 1 : 0;
            dark += c.red < 150.0 / 255 ? 1 : 0;
        }
    }
    EXPECT_GT(grey, 10);
    EXPECT_EQ(dark, 0);
    sdk->stopConnect();
}

}  // namespace
