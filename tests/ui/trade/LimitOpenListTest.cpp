// The pending orders list against the simulated dealer, as a user sees it:
// each order's figures and its kind by name (also the kinds the client
// itself sends, 3 and 4); the cancel from an open row through the order
// road, its row gone at once and never brought back by a late push and the
// quotes after it; a failed load keeping the rows; the add button opening
// the new order screen.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Dates.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/LimitOpenCell.h"
#include "ui/trade/LimitOpenTradeViewController.h"
#include "ui/trade/LimitOpenViewController.h"

using namespace liststage;

namespace {

class LimitOpenListTest : public ListTest<LimitOpenViewController> {
  protected:
    LimitOpenCell* cell(long row) { return cellAt<LimitOpenCell>(row); }
    std::string price(double value, int decimals) { return sysDB::formatPrice(value, decimals); }
    void tapCancel(long row) {
        LimitOpenCell* c = cell(row);
        ASSERT_NE(c, nullptr);
        ASSERT_TRUE(UIDriver::isVisible(c->cancelButton()));
        UIDriver::tap(c->cancelButton());
        time.advance(0.5);
    }
};

TEST_F(LimitOpenListTest, RowsShowEachOrderWithItsKindByName) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    const auto gold = sdk->getSymbolWith("XAUUSD");
    // A buy below the market waits for it (a limit, sent as 3) with a
    // stop-loss and a take-profit; a sell of 3 below the market waits for
    // it to break through (a stop, sent as 4), with neither.
    const double limitPrice = eur->ask - 0.0100;
    const std::string limit =
        placeOrder("EURUSD", "b", limitPrice, 1, limitPrice - 0.0050, limitPrice + 0.0050);
    const std::string stop = placeOrder("XAUUSD", "s", gold->bid - 5, 3);
    ASSERT_EQ(sim.packages(kavtest::SimService::Trade, "3005").front().child("orderType"), "3");
    ASSERT_EQ(sim.packages(kavtest::SimService::Trade, "3005").back().child("orderType"), "4");

    showList();
    EXPECT_EQ(list->title(), "限价单");
    ASSERT_EQ(codes(), (std::vector<std::string>{limit, stop}));
    struct Expected {
        std::string code, name, quantity, kind, takeProfit, stopLose;
        int decimals;
    };
    const std::vector<Expected> expected = {
        {limit, "欧元美元", "买 1", "止限单", "止盈：" + price(limitPrice + 0.0050, 5),
         "止损：" + price(limitPrice - 0.0050, 5), 5},
        {stop, "现货黄金", "卖 3", "停损单", "", "", 2}};
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.code);
        const auto record = sdk->getLimitBillWith(e.code);
        LimitOpenCell* c = cell(static_cast<long>(i));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->symbolNameLabel()->text(), e.name);
        EXPECT_EQ(c->quantityOrderLabel()->text(), e.quantity);
        EXPECT_EQ(
            c->openDateLabel()->text(),
            platform::dates::format(*platform::dates::parse(record->openDate), "MM-dd HH:mm:ss"));
        EXPECT_EQ(c->markPriceLabel()->text(), "最新：" + price(record->markPrice, e.decimals));
        EXPECT_EQ(c->orderPriceLabel()->text(), "挂单：" + price(record->orderPrice, e.decimals));
        EXPECT_EQ(c->takeProfitLabel()->text(), e.takeProfit);
        EXPECT_EQ(c->stopLoseLabel()->text(), e.stopLose);
        EXPECT_EQ(c->limitTypeLabel()->text(), e.kind);
        EXPECT_FALSE(UIDriver::isVisible(c->expandView()));
    }
    shot("limit-open-list");

    // Kinds reported by number: 1 and 2 by name, others as their number.
    MODLimitBill other = *sdk->getLimitBillWith(limit);
    for (const auto& [code, kind] :
         {std::pair{"K-1", "1"}, std::pair{"K-2", "2"}, std::pair{"K-5", "5"}}) {
        other.orderCode = code;
        other.limitType = kind;
        post(kActionReceiveLimitBillChange, std::vector<MODLimitBill>{other});
    }
    ASSERT_EQ(codes().size(), 5u);
    EXPECT_EQ(cell(2)->limitTypeLabel()->text(), "止限单");
    EXPECT_EQ(cell(3)->limitTypeLabel()->text(), "停损单");
    EXPECT_EQ(cell(4)->limitTypeLabel()->text(), "5");
    // A buy spelt in capitals, which the service marks at the bid as a buy,
    // is listed as a buy.
    other.orderCode = "K-B";
    other.bsCode = "B";
    post(kActionReceiveLimitBillChange, std::vector<MODLimitBill>{other});
    ASSERT_EQ(codes().size(), 6u);
    EXPECT_EQ(cell(5)->quantityOrderLabel()->text(), "买 1");

    // Open rows, one at a time.
    tapRow(1);
    EXPECT_EQ(heightOf(1), LimitOpenCell::kExpandedRowHeight);
    EXPECT_TRUE(UIDriver::isVisible(cell(1)->expandView()));
    EXPECT_EQ(cell(1)->cancelButton()->currentTitle(), "撤单");
    shot("limit-open-list-open");
    tapRow(0);
    EXPECT_EQ(heightOf(0), LimitOpenCell::kExpandedRowHeight);
    EXPECT_EQ(heightOf(1), LimitOpenCell::kRowHeight);
    tapRow(0);
    EXPECT_EQ(heightOf(0), LimitOpenCell::kRowHeight);
}

TEST_F(LimitOpenListTest, CancelAsksRemovesTheRowAtOnceAndALatePushDoesNotBringItBack) {
    store->setValue("1", settingTag::isFlashOrder);
    const auto eur = sdk->getSymbolWith("EURUSD");
    const std::string first = placeOrder("EURUSD", "b", eur->ask - 0.0100);
    const std::string second = placeOrder("EURUSD", "s", eur->bid + 0.0100, 2);
    showList();
    tapRow(0);

    // Even with one-tap orders the cancel asks; "取消" sends nothing.
    tapCancel(0);
    EXPECT_EQ(topAlertText(), "确认/确定要撤消此单吗？（单号：" + first + "）");
    answerAlert("取消");
    EXPECT_EQ(packagesAtDealer("3009"), 0u);
    EXPECT_FALSE(KAVProgressHUD::isVisible());

    // "确定": the overlay while the dealer holds its answer.
    tapCancel(0);
    sim.holdReply("3009");
    answerAlert("确定");
    ASSERT_EQ(sim.waitForPackages("3009", 1, kavtest::SimService::Trade).size(), 1u);
    EXPECT_EQ(sim.packages(kavtest::SimService::Trade, "3009").back().child("orderCode"), first);
    EXPECT_EQ(sim.packages(kavtest::SimService::Trade, "3009").back().child("memo"), "");
    ASSERT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_EQ(KAVProgressHUD::sharedView()->stringLabel()->text(), "正在撤单");
    shot("limit-open-cancelling");
    sim.releaseHeld();
    awaitResult();
    EXPECT_EQ(topAlertText(), "提示/撤单操作成功");
    EXPECT_NE(UIDriver::viewWithText("Ok", topAlert()->view()), nullptr);
    EXPECT_EQ(codes(), std::vector<std::string>{second}) << "gone before the alert closes";
    EXPECT_EQ(table()->numberOfRowsInSection(0), 1);
    answerAlert("Ok");
    EXPECT_EQ(nav->presentedViewController(), nullptr) << "the list stays";

    // A late push of the cancelled order reaches the list, which keeps it
    // out; nor does the next quote's re-pricing of the symbol's orders
    // bring it back.
    const auto late = followOrder(first);
    auto record = sim.desk("1001")["orders"].front();
    record["orderCode"] = first;
    kavtest::SimJson data = kavtest::SimJson::object();
    data["children"] = kavtest::SimJson::array({record});
    andItsPush(late, [&] { sim.push(kavtest::SimService::Trade, "4018", data, "0", "", "1001"); });
    ASSERT_GT(late->last.quantityOrder, 0);
    andItsPush(followOrder(second), [&] { sim.tick(1, "EURUSD"); });
    EXPECT_EQ(codes(), std::vector<std::string>{second});

    // A cancel the dealer refuses leaves the row.
    tapRow(0);
    sim.fail("3009", "4006", "单据不存在");
    tapCancel(0);
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "提示/撤单失败，原因：单据不存在");
    answerAlert("Ok");
    EXPECT_EQ(codes(), std::vector<std::string>{second});
}

// Quotes re-price the pending orders while a finger is on the cancel
// button: the row keeps its cell under the finger, so the lift still asks
// for the cancel of that order, and the row shows the new price.
TEST_F(LimitOpenListTest, CancelPressedWhileAQuoteRepricesTheOrdersStillAsks) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    const std::string first = placeOrder("EURUSD", "b", eur->ask - 0.0100);
    placeOrder("EURUSD", "s", eur->bid + 0.0100, 2);
    placeOrder("EURUSD", "s", eur->bid + 0.0200, 3);
    showList();
    tapRow(0);
    LimitOpenCell* c = cell(0);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(UIDriver::isVisible(c->cancelButton()));
    const CGPoint finger = UIDriver::screenCenterOf(c->cancelButton());
    platform::ui::TouchInput::touchDown(1, finger);
    UIDriver::drain();
    andItsPush(followOrder(first), [&] { sim.setQuote("EURUSD", eur->bid + 0.0030); });
    platform::ui::TouchInput::touchUp(1, finger);
    UIDriver::drain();
    time.advance(0.5);
    EXPECT_EQ(topAlertText(), "确认/确定要撤消此单吗？（单号：" + first + "）");
    answerAlert("取消");
    const auto record = sdk->getLimitBillWith(first);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(cell(0), nullptr);
    EXPECT_EQ(cell(0)->markPriceLabel()->text(), "最新：" + price(record->markPrice, 5));
    EXPECT_EQ(packagesAtDealer("3009"), 0u);
}

// The order above the one whose cancel is under the finger fills meanwhile:
// the rows move up and the table hands the cells round, the pressed one to
// the next order's row. The lift asks for no other order's cancel.
TEST_F(LimitOpenListTest, ACancelPressedAsTheOrderAboveFillsAsksForNoOtherOrder) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    const std::string first = placeOrder("EURUSD", "b", eur->ask - 0.0100);
    const std::string second = placeOrder("EURUSD", "s", eur->bid + 0.0100, 2);
    placeOrder("EURUSD", "s", eur->bid + 0.0200, 3);
    showList();
    tapRow(1);
    LimitOpenCell* c = cell(1);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(UIDriver::isVisible(c->cancelButton()));
    const CGPoint finger = UIDriver::screenCenterOf(c->cancelButton());
    platform::ui::TouchInput::touchDown(1, finger);
    UIDriver::drain();
    auto filled = sim.desk("1001")["orders"].front();
    ASSERT_EQ(filled["orderCode"], first);
    filled["quantityOrder"] = 0;
    kavtest::SimJson data = kavtest::SimJson::object();
    data["children"] = kavtest::SimJson::array({filled});
    andItsPush(followOrder(first),
               [&] { sim.push(kavtest::SimService::Trade, "4018", data, "0", "", "1001"); });
    ASSERT_EQ(codes().size(), 2u);
    platform::ui::TouchInput::touchUp(1, finger);
    UIDriver::drain();
    time.advance(0.5);
    if (topAlert()) {
        EXPECT_EQ(topAlertText(), "确认/确定要撤消此单吗？（单号：" + second + "）");
        answerAlert("取消");
    }
    EXPECT_EQ(packagesAtDealer("3009"), 0u);
}

TEST_F(LimitOpenListTest, AnOrderWhoseSymbolTheServiceNoLongerKnowsCanStillBeCancelled) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    const std::string code = placeOrder("EURUSD", "b", eur->ask - 0.0100);
    // The dealer's symbol list comes again without the euro: the order is
    // still pending at the dealer and listed, its prices without decimals.
    kavtest::SimJson symbols = kavtest::SimJson::object();
    symbols["children"] = kavtest::SimJson::array(
        {kavtest::SimJson{{"symbolId", "3"}, {"symbolCode", "XAUUSD"}, {"decimal", "2"}}});
    sim.replyData("2009", symbols);
    bool requeried = false;
    sdk->querySymbolOnSuccess([&](const MODList<MODSymbolInfo>&) { requeried = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return requeried; }));
    ASSERT_EQ(sdk->getSymbolWith("EURUSD"), nullptr);
    showList();
    ASSERT_EQ(codes(), std::vector<std::string>{code});

    tapRow(0);
    tapCancel(0);
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "提示/撤单操作成功");
    answerAlert("Ok");
    EXPECT_TRUE(codes().empty());
    EXPECT_TRUE(sim.desk("1001")["orders"].empty()) << "cancelled at the dealer";
}

TEST_F(LimitOpenListTest, FailedLoadKeepsTheRowsAndALoadBringsTheDealersOrders) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    const std::string first = placeOrder("EURUSD", "b", eur->ask - 0.0100);
    showList();
    ASSERT_EQ(codes(), std::vector<std::string>{first});

    // A second order while the list is covered; its load fails.
    nav->presentViewController(std::make_shared<UIViewController>(), false);
    time.advance(0.1);
    const std::string second = placeOrder("EURUSD", "b", eur->ask - 0.0200);
    sim.fail("2005", "9001", "会话无效，请重新登录");
    nav->dismissViewControllerAnimated(false);
    time.advance(0.1);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), std::vector<std::string>{first});
    EXPECT_EQ(table()->numberOfRowsInSection(0), 1);

    // The next load shows both.
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), (std::vector<std::string>{first, second}));
}

TEST_F(LimitOpenListTest, AddButtonOpensTheNewOrderForTheFirstSymbolPresented) {
    showList();
    UIView* add = nav->navigationBar()->rightItemView();
    ASSERT_NE(add, nullptr);
    UIDriver::tap(add);
    time.advance(1);
    auto* screen = presented<LimitOpenTradeViewController>();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->isModel());
    EXPECT_EQ(screen->symbolInfo(), sdk->getSymbolsWith(-1).front());
    // A second tap while it shows opens nothing more.
    auto* stack = nav->presentedViewController();
    list->viewPressed(nullptr);
    time.advance(1);
    EXPECT_EQ(nav->presentedViewController(), stack);
    EXPECT_EQ(stack->presentedViewController(), nullptr);
    // Back dismisses it.
    UIView* back = screen->navigationController()->navigationBar()->leftItemView();
    ASSERT_NE(back, nullptr);
    UIDriver::tap(back);
    time.advance(1);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

}  // namespace
