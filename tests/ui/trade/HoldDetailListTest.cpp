// The open tickets list against the simulated dealer, as a user sees it:
// each ticket's figures and the colour of its floating profit read from the
// pixels; a closing push removing the row, a new ticket appended, no closed
// ticket ever coming back; a tap opening the close screen, also for a ticket
// the service's cache does not hold at that moment.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Dates.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/CloseOutViewController.h"
#include "ui/trade/HoldDetailCell.h"
#include "ui/trade/HoldDetailViewController.h"
#include "ui/trade/HoldPositionViewController.h"
#include "ui/trade/LimitOpenViewController.h"
#include "ui/trade/MarketCloseViewController.h"

using namespace tickettest;
using liststage::ListTest;

namespace {

class HoldDetailListTest : public ListTest<HoldDetailViewController> {
  protected:
    HoldDetailCell* cellOf(const std::string& orderCode) {
        UIScreenRenderer::layoutWindows();
        for (auto* cell : UIDriver::viewsOfType<HoldDetailCell>(table()))
            if (auto path = table()->indexPathForCell(cell))
                if (list->rows()[path->row]->orderCode == orderCode) return cell;
        return nullptr;
    }
    // Posts the record on the bus as the application delegate does.
    static void post(std::shared_ptr<MODHoldBill> bill) {
        auto message = std::make_shared<MoMessage>();
        message->obj = MODList<MODHoldBill>{std::move(bill)};
        BroadcastManager::postMessage(message, kActionReceiveHoldBillChange);
    }
    std::string price(double value, int decimals) { return sysDB::formatPrice(value, decimals); }
};

TEST_F(HoldDetailListTest, RowsShowEachTicketsFiguresAndTheProfitInTheColourOfItsSign) {
    const std::string eur = openTicket("EURUSD", "b");
    const std::string gold = openTicket("XAUUSD", "s");
    const std::string dow = openTicket("US30", "b", 2);
    // The euro ticket with a stop-loss and a take-profit.
    const double eurHold = sdk->getHoldBillWith(eur)->priceHold;
    bool changed = false;
    sdk->modifyOrderWithSymbol("EURUSD", eurHold - 0.005, eurHold + 0.005, eur, "",
                               [&] { changed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return changed; }));
    // A gain of 125, a loss of 50 and nothing at all.
    auto eurPushes = follow(eur), goldPushes = follow(gold), dowPushes = follow(dow);
    andItsPush(eurPushes, [&] { sim.setBid("EURUSD", eurHold + 0.00125); });
    andItsPush(goldPushes,
               [&] { sim.setAsk("XAUUSD", sdk->getHoldBillWith(gold)->priceHold + 0.5); });
    andItsPush(dowPushes, [&] { sim.setBid("US30", sdk->getHoldBillWith(dow)->priceHold); });

    showList();
    EXPECT_EQ(list->title(), "持仓明细");
    EXPECT_EQ(codes(), (std::vector<std::string>{eur, gold, dow}));
    auto image = shot("hold-detail-list");

    struct Expected {
        std::string code, direction, profit;
        int rise, fall;  // which colour the profit shows in
    };
    for (const Expected& e :
         {Expected{eur, "买 1", "125", 1, 0}, Expected{gold, "卖 1", "-50", 0, 1},
          Expected{dow, "买 2", "0", 0, 0}}) {
        SCOPED_TRACE(e.code);
        const auto bill = sdk->getHoldBillWith(e.code);
        const auto symbol = sdk->getSymbolWith(bill->symbolCode);
        HoldDetailCell* cell = cellOf(e.code);
        ASSERT_NE(cell, nullptr);
        const int d = symbol->decimal;
        EXPECT_EQ(cell->symbolNameLabel()->text(), symbol->symbolName);
        EXPECT_EQ(cell->directionLabel()->text(), e.direction);
        EXPECT_EQ(
            cell->openTimeLabel()->text(),
            platform::dates::format(*platform::dates::parse(bill->openDate), "MM-dd HH:mm:ss"));
        EXPECT_EQ(cell->latestPriceLabel()->text(), "最新：" + price(bill->markPrice, d));
        EXPECT_EQ(cell->holdPriceLabel()->text(), "持仓：" + price(bill->priceHold, d));
        EXPECT_EQ(cell->openPriceLabel()->text(), "建仓：" + price(bill->priceOpen, d));
        EXPECT_EQ(cell->feesLabel()->text(), "手续：0.00");
        EXPECT_EQ(cell->interestLabel()->text(), "递延：0.00");
        EXPECT_EQ(cell->dynProfitLabel()->text(), e.profit) << "the figure's own decimals";
        EXPECT_EQ(cell->totalProfitLabel()->text(), "总盈：" + e.profit + ".00");
        const int rise = pixelsNear(image, cell->dynProfitLabel(), 187, 46, 36, 30);
        const int fall = pixelsNear(image, cell->dynProfitLabel(), 111, 255, 27, 30);
        const int grey = pixelsNear(image, cell->dynProfitLabel(), 160, 160, 160, 30);
        EXPECT_EQ(rise > 10, e.rise == 1) << rise;
        EXPECT_EQ(fall > 10, e.fall == 1) << fall;
        if (!e.rise && !e.fall) {
            EXPECT_GT(grey, 10);
        }
    }
    // Only the euro ticket has a take-profit and a stop-loss; the others show none.
    EXPECT_EQ(cellOf(eur)->takeProfitLabel()->text(), "止盈：" + price(eurHold + 0.005, 5));
    EXPECT_EQ(cellOf(eur)->stopLoseLabel()->text(), "止损：" + price(eurHold - 0.005, 5));
    EXPECT_EQ(cellOf(gold)->takeProfitLabel()->text(), "");
    EXPECT_EQ(cellOf(gold)->stopLoseLabel()->text(), "");
}

// The lists' rows of a symbol priced in eight decimals keep all eight of
// every price they show with the symbol's decimals; written with six first,
// the last two came out as zeros.
TEST_F(HoldDetailListTest, RowsOfASymbolOfMoreThanSixDecimalsKeepTheLastDigitsOfItsPrices) {
    const auto symbol = sdk->getSymbolWith("EURUSD");
    ASSERT_NE(symbol, nullptr);
    symbol->decimal = 8;
    const double p = 1.23456789;
    const std::string shown = "1.23456789";

    HoldDetailViewController holds;
    holds.setContext(context);
    MODHoldBill bill;
    bill.symbolCode = "EURUSD";
    bill.priceHold = bill.priceOpen = bill.markPrice = bill.priceStopLose = bill.priceTakeProfit =
        p;
    LSHoldDetail detail;
    holds.updateLSHoldDetail(detail, bill);
    for (const auto* price : {&detail.priceHold, &detail.priceOpen, &detail.closeoutPrice,
                              &detail.priceStopLose, &detail.priceTakeProfit})
        EXPECT_EQ(price->toString(), shown);

    LimitOpenViewController orders;
    orders.setContext(context);
    MODLimitBill pending;
    pending.symbolCode = "EURUSD";
    pending.markPrice = pending.orderPrice = pending.priceStopLose = pending.priceTakeProfit = p;
    LSLimitOpen order;
    orders.updateLSLimitOpen(order, pending);
    for (const auto* price :
         {&order.markPrice, &order.orderPrice, &order.priceStopLose, &order.priceTakeProfit})
        EXPECT_EQ(price->toString(), shown);

    CloseOutViewController closes;
    closes.setContext(context);
    MODCloseBill closed;
    closed.symbolCode = "EURUSD";
    closed.priceOpen = closed.priceClose = closed.priceHold = p;
    LSCloseOut close;
    closes.updateLSCloseOut(close, closed);
    for (const auto* price : {&close.priceOpen, &close.priceClose, &close.priceHold})
        EXPECT_EQ(price->toString(), shown);

    HoldPositionViewController positions;
    positions.setContext(context);
    MODHoldPosition held;
    held.symbolCode = "EURUSD";
    held.avgBuy = held.avgSell = held.bid = held.ask = p;
    LSHoldPosition position;
    positions.updateLSHoldPosition(position, held);
    for (const auto* price : {&position.avgBuy, &position.avgSell, &position.bid, &position.ask})
        EXPECT_EQ(price->toString(), shown);
    // Quantities and money keep the six decimals they are written with.
    held.quantityBuy = 0.123456789;
    positions.updateLSHoldPosition(position, held);
    EXPECT_EQ(position.quantityBuy.toString(), "0.123457");
}

TEST_F(HoldDetailListTest, PushesRemoveClosedTicketsAppendNewOnesAndNeverBringAClosedOneBack) {
    const std::string first = openTicket("EURUSD", "b");
    showList();
    ASSERT_EQ(codes(), std::vector<std::string>{first});

    // A ticket opened while the list shows comes at the end.
    const std::string second = openTicket("EURUSD", "b");
    ASSERT_TRUE(time.runUntil([&] { return codes().size() == 2; }));
    EXPECT_EQ(codes(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(table()->numberOfRowsInSection(0), 2);

    // Closed at the dealer: its push with quantity 0 takes the row away.
    const auto closing = follow(first);
    andItsPush(closing, [&] {
        sdk->marketCloseWithOrder(sdk->getHoldBillWith(first), 1, 50, 0, "", {}, {});
    });
    ASSERT_TRUE(time.runUntil([&] { return codes().size() == 1; }));
    EXPECT_EQ(codes(), std::vector<std::string>{second});

    // A later quote re-prices the open ticket only...
    const auto open = follow(second);
    andItsPush(open, [&] { sim.tick(1, "EURUSD"); });
    EXPECT_EQ(codes(), std::vector<std::string>{second});
    EXPECT_EQ(cellOf(second)->latestPriceLabel()->text(),
              "最新：" + price(sdk->getSymbolWith("EURUSD")->bid, 5));
    // ...and a late re-pricing of the closed ticket, as a lagging cache
    // would report it, does not bring it back.
    auto stale = std::make_shared<MODHoldBill>(closing->last);
    stale->quantityHold = 1;
    post(stale);
    EXPECT_EQ(codes(), std::vector<std::string>{second});
    // Nor does a ticket that arrives closed become a row of nothing.
    auto unseen = std::make_shared<MODHoldBill>(closing->last);
    unseen->orderCode = "T-UNSEEN";
    unseen->quantityHold = 0;
    post(unseen);
    EXPECT_EQ(codes(), std::vector<std::string>{second});
    EXPECT_EQ(table()->numberOfRowsInSection(0), 1);
    shot("hold-detail-list-after-close");
}

TEST_F(HoldDetailListTest, APartialCloseShowsTheQuantityLeftAtOnce) {
    const std::string code = openTicket("EURUSD", "b", 3);
    showList();
    ASSERT_EQ(cellOf(code)->directionLabel()->text(), "买 3");
    // One lot closed, no quote since: the row holds the two left, as the
    // service's record does.
    bool closed = false;
    sdk->marketCloseWithOrder(sdk->getHoldBillWith(code), 1, 50, 0, "", [&] { closed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] {
        const auto cached = sdk->getHoldBillWith(code);
        return closed && cached && cached->quantityHold == 2.0f;
    }));
    time.drain();
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(cellOf(code)->directionLabel()->text(), "买 2");
    // The rest closed: the row goes.
    closed = false;
    sdk->marketCloseWithOrder(sdk->getHoldBillWith(code), 2, 50, 0, "", [&] { closed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return closed && codes().empty(); }));
}

TEST_F(HoldDetailListTest, TapOpensTheCloseScreenAlsoForATicketTheCacheDoesNotHold) {
    showList();
    ASSERT_TRUE(codes().empty());
    const std::string code = openTicket("XAUUSD", "b");
    ASSERT_TRUE(time.runUntil([&] { return codes().size() == 1; }));
    // A ticket query of another screen, asked after the ticket's push, is
    // answered by a dealer whose list is behind: the cache is replaced
    // without the ticket.
    sim.replyData("2003", kavtest::SimJson{{"children", kavtest::SimJson::array()}});
    bool answered = false;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>&) { answered = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return answered; }));
    ASSERT_EQ(sdk->getHoldBillWith(code), nullptr);

    UIDriver::tap(cellOf(code));
    time.advance(1);
    auto* stack = dynamic_cast<BaseNavigationController*>(nav->presentedViewController());
    ASSERT_NE(stack, nullptr);
    auto* screen = dynamic_cast<MarketCloseViewController*>(stack->topViewController());
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(screen->holdBill(), nullptr);
    EXPECT_EQ(screen->holdBill()->orderCode, code);
    EXPECT_EQ(screen->title(), "市价平仓-现货黄金");
    shot("market-close-from-list");

    // A second tap while it shows opens nothing more.
    list->tableViewDidSelectRowAtIndexPath(table(), NSIndexPath::indexPathForRow(0, 0));
    time.advance(1);
    EXPECT_EQ(stack->presentedViewController(), nullptr);
    EXPECT_EQ(nav->presentedViewController(), stack);
}

TEST_F(HoldDetailListTest, ATicketOpenedWhileAQueryWasOutCanBeClosed) {
    store->setValue("1", settingTag::isFlashOrder);
    showList();
    // A ticket query of another screen leaves before the ticket is opened and
    // is answered after its push, by a list the dealer made before.
    sim.holdReply("2003");
    bool answered = false;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>&) { answered = true; }, {});
    ASSERT_EQ(sim.waitForPackages("2003", 2, kavtest::SimService::Trade).size(), 2u);
    const std::string code = openTicket("XAUUSD", "b");
    ASSERT_TRUE(time.runUntil([&] { return codes().size() == 1; }));
    sim.releaseHeld();
    ASSERT_TRUE(time.runUntil([&] { return answered; }));

    // The ticket is open: its close goes to the dealer and succeeds, not
    // refused as a ticket already closed.
    UIDriver::tap(cellOf(code));
    time.advance(1);
    auto* stack = dynamic_cast<BaseNavigationController*>(nav->presentedViewController());
    ASSERT_NE(stack, nullptr);
    UIDriver::tap(stack->topViewController()
                      ->view()
                      ->viewWithTag<UIView>(MarketCloseViewController::kTagConfirm)
                      .get());
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    EXPECT_TRUE(sim.desk("1001")["tickets"].empty());
}

TEST_F(HoldDetailListTest, ABuyTicketSpeltInCapitalsIsListedAsABuy) {
    const std::string code = openTicket("EURUSD", "b");
    showList();
    // A dealer that spells the side in capitals: the service marks and
    // counts the ticket as a buy, and its close sells it.
    auto bill = std::make_shared<MODHoldBill>(*sdk->getHoldBillWith(code));
    bill->bsCode = "B";
    post(bill);
    HoldDetailCell* cell = cellOf(code);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->directionLabel()->text(), "买 1");
}

// The ticket above the one under the finger closes meanwhile: the rows move
// up, and the row under the finger at the lift is another ticket's. The lift
// opens the close of no other ticket.
TEST_F(HoldDetailListTest, ARowPressedAsTheTicketAboveClosesOpensNoOtherClose) {
    const std::string first = openTicket("EURUSD", "b");
    const std::string second = openTicket("EURUSD", "b");
    const std::string third = openTicket("EURUSD", "b");
    showList();
    ASSERT_EQ(codes(), (std::vector<std::string>{first, second, third}));
    HoldDetailCell* pressed = cellOf(second);
    ASSERT_NE(pressed, nullptr);
    const CGPoint finger = UIDriver::screenCenterOf(pressed);
    platform::ui::TouchInput::touchDown(1, finger);
    UIDriver::drain();
    andItsPush(follow(first), [&] {
        sdk->marketCloseWithOrder(sdk->getHoldBillWith(first), 1, 50, 0, "", {}, {});
    });
    ASSERT_TRUE(time.runUntil([&] { return codes().size() == 2; }));
    UIScreenRenderer::layoutWindows();
    platform::ui::TouchInput::touchUp(1, finger);
    UIDriver::drain();
    time.advance(1);
    if (auto* stack = dynamic_cast<BaseNavigationController*>(nav->presentedViewController())) {
        auto* screen = dynamic_cast<MarketCloseViewController*>(stack->topViewController());
        ASSERT_NE(screen, nullptr);
        ASSERT_NE(screen->holdBill(), nullptr);
        EXPECT_EQ(screen->holdBill()->orderCode, second);
    }
}

}  // namespace
