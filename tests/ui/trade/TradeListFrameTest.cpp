// The frame the live lists share, on a list of open tickets against the
// simulated dealer: rows kept until a load's answer replaces them, a push
// received during a load not kept twice, a failed load said on the list,
// only the latest load counting, taps that keep the row's key, accordion
// rows.
#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/Log.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/TradeListViewController.h"

using namespace tradetest;

namespace {

struct TicketRow {
    std::string orderCode;
    platform::Decimal quantity;
    bool isExpanded = false;
};

class TicketList : public TradeListViewController<TicketRow, MODHoldBill> {
  public:
    bool accordion = false;
    std::vector<std::string> opened;

  protected:
    std::string listTitle() const override { return "持仓明细"; }
    std::string actionName() const override { return kActionReceiveHoldBillChange; }
    std::string cellIdentifier() const override { return "HOLD_DETAIL_ITEM_CELL"; }
    std::string rowKey(const TicketRow& row) const override { return row.orderCode; }
    std::string recordKey(const MODHoldBill& record) const override { return record.orderCode; }
    void updateRow(TicketRow& row, const MODHoldBill& record) override {
        row.orderCode = record.orderCode;
        row.quantity = lsconvert::decimal(record.quantityHold);
    }
    UITableViewCellPtr makeCell(const std::string& identifier) override {
        return std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, identifier);
    }
    void showCell(UITableViewCell& cell, TicketRow& row) override {
        cell.textLabel()->setText(row.orderCode + " " + row.quantity.toString());
    }
    double rowHeight(const TicketRow& row) const override { return row.isExpanded ? 121 : 65; }
    void query(RecordsBlock onSuccess, KAVFailureBlock onFailure) override {
        bizSDK()->queryHoldBillOnSuccess(std::move(onSuccess), std::move(onFailure));
    }
    bool isEmptied(const MODHoldBill& record) const override { return record.quantityHold == 0; }
    bool hasAccordionRows() const override { return accordion; }
    void didSelectRowWithKey(const std::string& key) override { opened.push_back(key); }
};

class TradeListFrameTest : public liststage::ListTest<TicketList> {
  protected:
    void SetUp() override {
        ListTest::SetUp();
        list = std::make_shared<TicketList>();
        list->setContext(context);
        nav = std::make_shared<BaseNavigationController>(list);
    }
    // Opens a ticket of one lot at the dealer; its code.
    std::string openTicket() {
        const size_t before = sim.desk("1001")["tickets"].size();
        const auto eur = sdk->getSymbolWith("EURUSD");
        bool done = false;
        sdk->marketOpenWithSymbol("EURUSD", 1, "b", eur->ask, eur->maxPointOffset, 0, 0, "",
                                  [&] { done = true; }, {});
        EXPECT_TRUE(time.runUntil([&] { return done; }));
        const auto tickets = sim.desk("1001")["tickets"];
        EXPECT_EQ(tickets.size(), before + 1);
        const std::string code = tickets.back()["orderCode"].get<std::string>();
        // Its push has reached the service too.
        EXPECT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) != nullptr; }));
        return code;
    }
    void closeTicket(const std::string& code) {
        bool done = false;
        sdk->marketCloseWithOrder(sdk->getHoldBillWith(code), 1, 50, 0, "", [&] { done = true; },
                                  {});
        EXPECT_TRUE(time.runUntil([&] { return done && !sdk->getHoldBillWith(code); }));
    }
    // The ticket's closing push as the application delegate posts it.
    void pushClosed(const std::string& code) {
        auto closed = std::make_shared<MODHoldBill>(*sdk->getHoldBillWith(code));
        closed->quantityHold = 0;
        auto message = std::make_shared<MoMessage>();
        message->obj = MODList<MODHoldBill>{closed};
        BroadcastManager::postMessage(message, kActionReceiveHoldBillChange);
    }
    UILabel* notice() { return list->view()->viewWithTag<UILabel>(TicketList::kTagNotice).get(); }
};

TEST_F(TradeListFrameTest, RowsStayUntilTheAnswerAndAPushDuringTheLoadIsNotKeptTwice) {
    const std::string first = openTicket();
    show(nav);
    ASSERT_TRUE(loaded());
    ASSERT_EQ(codes(), std::vector<std::string>{first});

    // A second ticket while the list is covered; the next load's answer waits.
    nav->presentViewController(std::make_shared<UIViewController>(), false);
    time.advance(0.1);
    const std::string second = openTicket();
    sim.holdReply("2003");
    nav->dismissViewControllerAnimated(false);
    time.advance(0.1);
    UIScreenRenderer::layoutWindows();
    ASSERT_TRUE(list->isLoadingData());
    ASSERT_EQ(sim.waitForPackages("2003", 2, kavtest::SimService::Trade).size(), 2u);
    EXPECT_EQ(codes(), std::vector<std::string>{first}) << "the old rows stay meanwhile";
    EXPECT_EQ(table()->visibleCells().size(), 1u);

    // The dealer pushes the second ticket before the answer: merged now...
    const auto tickets = sim.desk("1001")["tickets"];
    int pushed = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        kActionReceiveHoldBillChange, [&](const platform::Notification&) { ++pushed; });
    kavtest::SimJson data = kavtest::SimJson::object();
    data["children"] = kavtest::SimJson::array({tickets.back()});
    sim.push(kavtest::SimService::Trade, "4016", data, "0", "", "1001");
    ASSERT_TRUE(time.runUntil([&] { return pushed > 0; }));
    EXPECT_EQ(codes(), (std::vector<std::string>{first, second}));
    // ...and the answer, which holds it too, replaces the rows: once each.
    sim.releaseHeld();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(table()->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table()->visibleCells().size(), 2u);
}

TEST_F(TradeListFrameTest, FailedLoadKeepsTheRowsAndSaysSoUntilALoadSucceeds) {
    const std::string first = openTicket();
    show(nav);
    ASSERT_TRUE(loaded());
    EXPECT_FALSE(UIDriver::isVisible(notice()));

    sim.fail("2003", "9001", "会话无效，请重新登录");
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), std::vector<std::string>{first});
    EXPECT_EQ(table()->visibleCells().size(), 1u);
    ASSERT_TRUE(UIDriver::isVisible(notice()));
    EXPECT_EQ(notice()->text(), "刷新失败：会话无效，请重新登录，显示的是之前的数据");
    shot("list-load-failed");

    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_FALSE(UIDriver::isVisible(notice()));
}

TEST_F(TradeListFrameTest, AFailedLoadWithNoEarlierRowsSpeaksOfNoEarlierData) {
    // The first load fails: nothing was shown before, so nothing is "earlier".
    sim.fail("2003", "9001", "会话无效，请重新登录");
    show(nav);
    ASSERT_TRUE(loaded());
    EXPECT_TRUE(codes().empty());
    ASSERT_TRUE(UIDriver::isVisible(notice()));
    EXPECT_EQ(notice()->text(), "刷新失败：会话无效，请重新登录");

    // A list that loaded empty has no earlier rows either.
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_FALSE(UIDriver::isVisible(notice()));
    sim.fail("2003", "9001", "会话无效，请重新登录");
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(notice()->text(), "刷新失败：会话无效，请重新登录");
}

TEST_F(TradeListFrameTest, OnlyTheLatestLoadsAnswerCounts) {
    const std::string first = openTicket();
    const std::string second = openTicket();
    show(nav);
    ASSERT_TRUE(loaded());
    // A slow answer that still lists the second ticket, then the ticket is
    // closed and a new load answers first.
    sim.holdReply("2003");
    reappear();
    ASSERT_EQ(sim.waitForPackages("2003", 2, kavtest::SimService::Trade).size(), 2u);
    closeTicket(second);
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), std::vector<std::string>{first});
    // The slow answer comes last (a query sent after it is answered after
    // it) and changes nothing on the list; nor does the service take the
    // closed ticket back from it.
    sim.releaseHeld();
    bool after = false;
    sdk->queryCloseBillOnSuccess([&](const MODList<MODCloseBill>&) { after = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return after; }));
    time.drain();
    EXPECT_EQ(codes(), std::vector<std::string>{first});
    EXPECT_FALSE(list->isLoadingData());
    EXPECT_EQ(sdk->getHoldBillWith(second), nullptr);
}

TEST_F(TradeListFrameTest, TapKeepsTheRowsKeyForItsDeferredStep) {
    const std::string first = openTicket();
    const std::string second = openTicket();
    show(nav);
    ASSERT_TRUE(loaded());
    ASSERT_EQ(codes(), (std::vector<std::string>{first, second}));

    // The second row is tapped; the first ticket's closing push comes before
    // the next turn, so the tapped ticket is the first row when the step runs.
    list->tableViewDidSelectRowAtIndexPath(table(), NSIndexPath::indexPathForRow(1, 0));
    pushClosed(first);
    EXPECT_EQ(codes(), std::vector<std::string>{second});
    time.drain();
    EXPECT_EQ(list->opened, std::vector<std::string>{second});

    // A tapped row that is gone by then opens nothing.
    list->tableViewDidSelectRowAtIndexPath(table(), NSIndexPath::indexPathForRow(0, 0));
    pushClosed(second);
    time.drain();
    EXPECT_EQ(list->opened, std::vector<std::string>{second});
    EXPECT_EQ(table()->numberOfRowsInSection(0), 0);
}

TEST_F(TradeListFrameTest, AccordionRowsOpenOneAtATime) {
    openTicket();
    openTicket();
    list->accordion = true;
    show(nav);
    ASSERT_TRUE(loaded());
    auto height = [&](long row) {
        return table()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).size.height;
    };
    UIDriver::tap(table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)));
    time.advance(0.5);
    EXPECT_EQ(height(0), 121);
    EXPECT_EQ(height(1), 65);
    UIDriver::tap(table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)));
    time.advance(0.5);
    EXPECT_EQ(height(0), 65);
    EXPECT_EQ(height(1), 121);
    UIDriver::tap(table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)));
    time.advance(0.5);
    EXPECT_EQ(height(1), 65);
    EXPECT_TRUE(list->opened.empty()) << "accordion taps open no screen";
}

// Records of another kind under the list's action (a poster's mistake) are
// logged with the action and both types and touch no row; the list goes on
// merging the right records.
TEST_F(TradeListFrameTest, RecordsOfAnotherKindUnderItsActionAreLoggedAndTouchNoRow) {
    const std::string code = openTicket();
    show(nav);
    ASSERT_TRUE(loaded());
    platform::LogCapture log;
    auto wrong = std::make_shared<MoMessage>();
    wrong->obj = MODList<MODSymbolInfo>{sdk->getSymbolWith("EURUSD")};
    BroadcastManager::postMessage(wrong, kActionReceiveHoldBillChange);
    EXPECT_EQ(codes(), std::vector<std::string>{code});
    EXPECT_EQ(log.count("Event bus error: Action_ReceiveHoldBillChange carried "
                        "std::vector<std::shared_ptr<MODSymbolInfo>"),
              1u);
    EXPECT_EQ(log.count("where std::vector<std::shared_ptr<MODHoldBill>"), 1u);

    pushClosed(code);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(log.count("Event bus error"), 1u);
}

}  // namespace
