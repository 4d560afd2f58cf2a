// The bulletin card: frames, reuse for another bulletin, a wider row, and a
// list of the simulated dealer's bulletins.
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
using widgettest::sameColor;
using widgettest::sameWidgetRect;

namespace {

class BulletinCell : public widgettest::WidgetTest {};

TEST_F(BulletinCell, IsACardMadeOnceAndLaidOutForItsWidth) {
    auto cell = std::make_shared<CellBulletin>(UITableViewCellStyle::Default,
                                               CellBulletin::kReuseIdentifier);
    EXPECT_EQ(cell->reuseIdentifier(), "BULLETIN_ITEM_CELL");
    cell->layoutSubviews();  // nothing to lay out before the first bulletin
    cell->setFrame(CGRectMake(0, 0, 320, CellBulletin::kRowHeight));
    MODBulletin first;
    first.title = "周五提前收盘";
    first.content = "周五 21:00 收盘";
    first.date = "2026-01-05 09:00:00";
    first.publish = "交易部";
    cell->showCellWithMod(first);
    UIView* box = cell->box();
    EXPECT_TRUE(sameWidgetRect(box->frame(), CGRectMake(10, 10, 300, 100)));
    EXPECT_TRUE(sameWidgetRect(cell->title()->frame(), CGRectMake(10, 10, 280, 40)));
    EXPECT_TRUE(sameWidgetRect(cell->txtdetail()->frame(), CGRectMake(10, 50, 280, 20)));
    EXPECT_TRUE(sameWidgetRect(cell->split()->frame(), CGRectMake(10, 70, 280, 1)));
    EXPECT_TRUE(sameWidgetRect(cell->date()->frame(), CGRectMake(10, 70, 280, 25)));
    EXPECT_TRUE(sameWidgetRect(cell->publish()->frame(), CGRectMake(10, 70, 262, 25)));
    EXPECT_TRUE(sameWidgetRect(cell->imgDetail()->frame(), CGRectMake(277, 75, 16, 16)));
    EXPECT_EQ(cell->publish()->text(), "交易部");

    // Another bulletin: the same card, new texts, an empty date stays empty.
    const size_t parts = box->subviews().size();
    MODBulletin second;
    second.title = "新公告";
    second.content = "内容";
    cell->showCellWithMod(second);
    EXPECT_EQ(cell->box(), box);
    EXPECT_EQ(box->subviews().size(), parts);
    EXPECT_EQ(std::count_if(cell->subviews().begin(), cell->subviews().end(),
                            [](auto& v) {
                                return dynamic_cast<UILabel*>(v.get()) == nullptr &&
                                       v->backgroundColor() == UIColor::whiteColor();
                            }),
              1);
    EXPECT_EQ(cell->title()->text(), "新公告");
    EXPECT_EQ(cell->date()->text(), "");
    EXPECT_EQ(cell->publish()->text(), "");

    cell->setFrame(CGRectMake(0, 0, 375, CellBulletin::kRowHeight));
    cell->layoutIfNeeded();
    EXPECT_EQ(box->frame().size.width, 355);
    EXPECT_EQ(cell->split()->frame().size.width, 335);
    EXPECT_EQ(cell->imgDetail()->frame().origin.x, 10 + 317 + 5);
}

// The bulletin list as the bulletin screen builds it.
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
        if (!cell)
            cell = std::make_shared<CellBulletin>(UITableViewCellStyle::Default,
                                                  CellBulletin::kReuseIdentifier);
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        cell->showCellWithMod(*rows.at(static_cast<size_t>(path.row)));
        return cell;
    }
    double tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath) override {
        return CellBulletin::kRowHeight;
    }
};

TEST_F(BulletinCell, ListsTheDealersBulletins) {
    kavtest::DealerSim sim;
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
    auto shot = snapshot("bulletin-list");

    auto cells = UIDriver::viewsOfType<CellBulletin>(table.get());
    std::sort(cells.begin(), cells.end(),
              [](auto* a, auto* b) { return a->frame().origin.y < b->frame().origin.y; });
    ASSERT_EQ(cells.size(), std::min<size_t>(list->rows.size(), 5));
    for (size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i]->title()->text(), list->rows[i]->title);
        EXPECT_EQ(cells[i]->txtdetail()->text(), list->rows[i]->content);
        EXPECT_EQ(cells[i]->date()->text(), list->rows[i]->date);
    }
    // The detail mark in the date's grey on the white card.
    const CGRect mark =
        cells[0]->imgDetail()->convertRectToView(cells[0]->imgDetail()->bounds(), nullptr);
    int grey = 0, dark = 0;
    for (int y = static_cast<int>(mark.origin.y); y < CGRectGetMaxY(mark); ++y)
        for (int x = static_cast<int>(mark.origin.x); x < CGRectGetMaxX(mark); ++x) {
            grey += sameColor(shot->pixelAt(x, y), UIColor::grey255(180), 12.0 / 255);
            dark += shot->pixelAt(x, y).red < 150.0 / 255;
        }
    EXPECT_GT(grey, 10);
    EXPECT_EQ(dark, 0);
    sdk->stopConnect();
}

}  // namespace
