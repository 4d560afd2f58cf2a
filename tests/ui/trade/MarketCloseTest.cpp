// The market close of one ticket against the simulated dealer: what the
// screen shows of the ticket and how its price panel follows the ticket's
// pushes, the confirmation and the close order the dealer receives (the
// opposite side, the typed quantity and deviation), quantities refused
// before anything is sent, the change segment and the back button; a
// ticket closed meanwhile (its push, or the service holding it no longer)
// refused as closed on this screen and the change screen, sending nothing.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/ui/trade/TicketStage.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/trade/MarketCloseViewController.h"
#include "ui/trade/ModifyHoldBillViewController.h"
#include "ui/trade/ViewLimitPriceInput.h"
#include "ui/trade/ViewMarketPrice.h"

using namespace tickettest;

namespace {

class MarketCloseTest : public TicketTest {
  protected:
    // The close screen of the ticket, presented in its own navigation
    // controller as the open tickets list does.
    void presentClose(const std::string& code) {
        showRoot();
        screen = std::make_shared<MarketCloseViewController>(sdk->getHoldBillWith(code));
        screen->setContext(context);
        stack = std::make_shared<BaseNavigationController>(screen);
        presentOnRoot(stack);
        UIScreenRenderer::layoutWindows();
    }
    template <typename T = UIView>
    T* viewOf(long tag) {
        return screen->view()->viewWithTag<T>(tag).get();
    }
    UITextField* quantity() { return viewOf<UITextField>(MarketCloseViewController::kTagQuantity); }
    UITextField* deviation() {
        return viewOf<UITextField>(MarketCloseViewController::kTagDeviation);
    }
    ViewMarketPrice* panel() {
        return viewOf<ViewMarketPrice>(MarketCloseViewController::kTagPricePanel);
    }
    void confirm() {
        UIDriver::tap(viewOf(MarketCloseViewController::kTagConfirm));
        time.advance(0.5);
    }
    void tapBack() {
        UIDriver::tap(UIDriver::viewWithTag(MarketCloseViewController::kTagBack));
        time.advance(1);
    }
    std::optional<std::string> lastClose(const std::string& key) {
        return lastAtDealer("3003", key);
    }

    std::shared_ptr<MarketCloseViewController> screen;
    std::shared_ptr<BaseNavigationController> stack;
};

TEST_F(MarketCloseTest, ShowsTheTicketFollowsItsPushesAndClosesItWithTheOppositeSide) {
    store->setValue("7", settingTag::pointMove);
    const std::string code = openTicket("EURUSD", "b", 2);
    const auto bill = sdk->getHoldBillWith(code);
    presentClose(code);

    EXPECT_EQ(screen->title(), "市价平仓-欧元美元");
    auto* segment = viewOf<UISegmentedControl>(MarketCloseViewController::kTagSegment);
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->titleForSegmentAtIndex(0), "市价平仓");
    EXPECT_EQ(segment->titleForSegmentAtIndex(1), "修改单据");
    ASSERT_NE(UIDriver::viewWithText(bill->openDate + "\n#" + code + "\n 买2 / " +
                                     sysDB::formatPrice(bill->priceHold, 5)),
              nullptr)
        << UIDriver::dumpViewTree(screen->view());
    EXPECT_NE(UIDriver::viewWithText("平仓数量"), nullptr);
    EXPECT_NE(UIDriver::viewWithText("偏离点差"), nullptr);
    // No take-profit or stop-loss: a zero price with the symbol's places.
    EXPECT_NE(UIDriver::viewWithText("止盈 : 0.00000"), nullptr);
    EXPECT_NE(UIDriver::viewWithText("止损 : 0.00000"), nullptr);
    EXPECT_EQ(quantity()->text(), "2");
    EXPECT_EQ(deviation()->text(), "7");
    EXPECT_EQ(panel()->directionLabel()->text(), "平仓卖");
    EXPECT_EQ(panel()->priceLabel()->text(),
              sysDB::formatPrice(sdk->getSymbolWith("EURUSD")->bid, 5));

    // The ticket's pushes move the panel: the mark price and the profit.
    const auto pushes = follow(code);
    andItsPush(pushes, [&] { sim.setBid("EURUSD", bill->priceHold + 0.001); });
    EXPECT_EQ(panel()->priceLabel()->text(), sysDB::formatPrice(bill->priceHold + 0.001, 5));
    EXPECT_EQ(panel()->dynProfitLabel()->text(), "200.00");
    shot("market-close");

    // Half of it, at the typed deviation, after the confirmation.
    typeInto(quantity(), "1");
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/确定要进行市价平仓?");
    EXPECT_EQ(packagesAtDealer("3003"), 0u) << "nothing before the confirmation";
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    ASSERT_EQ(packagesAtDealer("3003"), 1u);
    EXPECT_EQ(lastClose("bsCode"), "s") << "a buy ticket is closed by selling";
    EXPECT_EQ(lastClose("orderCodeRe"), code);
    EXPECT_DOUBLE_EQ(std::stod(lastClose("orderQuantity").value_or("0")), 1);
    EXPECT_EQ(lastClose("pointOffset"), "7");
    EXPECT_EQ(lastClose("memo"), "Test");
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), nullptr) << "the screen closes";
    ASSERT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code)->quantityHold == 1; }));
}

TEST_F(MarketCloseTest, RefusesQuantitiesThatAreNotWholeLotsWithinTheTicket) {
    const std::string code = openTicket("XAUUSD", "s", 2);
    presentClose(code);
    EXPECT_EQ(panel()->directionLabel()->text(), "平仓买");
    EXPECT_EQ(panel()->priceLabel()->text(),
              sysDB::formatPrice(sdk->getSymbolWith("XAUUSD")->ask, 2));
    for (const std::string typed : {"", "abc", "0", "0.5", "1.5", "3", "-1", "1e0"}) {
        SCOPED_TRACE(typed);
        typeInto(quantity(), typed);
        confirm();
        EXPECT_EQ(topAlertText(), "交易提示/平仓数量须为1到2之间的整数");
        answerAlert("确定");
        EXPECT_EQ(topAlert(), nullptr) << "no confirmation follows";
        EXPECT_EQ(quantity()->text(), typed) << "the input stays for correction";
    }
    typeInto(quantity(), "2");
    typeInto(deviation(), "x");
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/偏离点差须为不小于0的数字");
    shot("market-close-refused");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("3003"), 0u);

    // With one-tap orders the button goes straight to the order; a
    // deviation with decimals is cut to whole points.
    store->setValue("1", settingTag::isFlashOrder);
    typeInto(deviation(), "5.9");
    sim.holdReply("3003");
    confirm();
    ASSERT_EQ(sim.waitForPackages("3003", 1, kavtest::SimService::Trade).size(), 1u);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_EQ(topAlert(), nullptr) << "no confirmation";
    sim.releaseHeld();
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    EXPECT_EQ(lastClose("pointOffset"), "5");
    EXPECT_EQ(lastClose("bsCode"), "b") << "a sell ticket is closed by buying";
    EXPECT_DOUBLE_EQ(std::stod(lastClose("orderQuantity").value_or("0")), 2);
    answerAlert("确定");
    ASSERT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) == nullptr; }));
}

TEST_F(MarketCloseTest, EditedFieldStandsAboveTheKeyboardBarUntilDone) {
    const std::string code = openTicket("EURUSD", "b");
    presentClose(code);
    auto fieldBottom = [&](UIView* field) {
        return CGRectGetMaxY(field->convertRectToView(field->bounds(), nullptr));
    };
    // Half the screen less the keyboard bar: above the keyboard and its bar.
    const CGFloat line = screen->view()->frame().size.height / 2 - 44;
    UIDriver::tap(deviation());
    time.advance(0.3);
    EXPECT_NEAR(fieldBottom(deviation()), line, 0.5);
    EXPECT_LT(screen->view()->frame().origin.y, 0);
    shot("market-close-keyboard");
    auto* bar = dynamic_cast<KAVKeyboardControls*>(deviation()->inputAccessoryView().get());
    ASSERT_NE(bar, nullptr);
    // The bar's arrow to the quantity: the same row, so the view stays.
    UIDriver::tap(bar->toolbar()->viewForItem(bar->leftArrowButton()));
    time.advance(0.3);
    EXPECT_TRUE(quantity()->isFirstResponder());
    EXPECT_NEAR(fieldBottom(quantity()), line, 0.5);
    UIDriver::tap(bar->toolbar()->viewForItem(bar->doneButton()));
    time.advance(0.3);
    EXPECT_EQ(screen->view()->frame().origin.y, 0);
    EXPECT_FALSE(quantity()->isFirstResponder());
}

TEST_F(MarketCloseTest, ChangeSegmentPushesTheChangeScreenAndTheCoveredScreenHearsNoPushes) {
    const std::string code = openTicket("EURUSD", "b");
    presentClose(code);
    auto* segment = viewOf<UISegmentedControl>(MarketCloseViewController::kTagSegment);
    const CGRect frame = segment->convertRectToView(segment->bounds(), nullptr);
    UIDriver::tapAt(CGPointMake(CGRectGetMaxX(frame) - 20, CGRectGetMidY(frame)));
    time.advance(1);
    auto* change = dynamic_cast<ModifyHoldBillViewController*>(stack->topViewController());
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->holdBill()->orderCode, code);
    EXPECT_EQ(segment->selectedSegmentIndex(), 0) << "going back shows the close";

    // Covered, the close screen's panel stays as it was.
    const std::string before = panel()->priceLabel()->text();
    const auto pushes = follow(code);
    const double bid = sdk->getSymbolWith("EURUSD")->bid;
    andItsPush(pushes, [&] { sim.setBid("EURUSD", bid + 0.0002); });
    EXPECT_EQ(panel()->priceLabel()->text(), before);

    // Held sideways, back does nothing on either screen.
    UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    UIDriver::tap(UIDriver::viewWithTag(ModifyHoldBillViewController::kTagBack));
    time.advance(1);
    EXPECT_EQ(stack->topViewController(), change);
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    UIDriver::tap(UIDriver::viewWithTag(ModifyHoldBillViewController::kTagBack));
    time.advance(1);
    EXPECT_EQ(stack->topViewController(), screen.get());

    // Listening again: the next push moves the panel.
    andItsPush(pushes, [&] { sim.setBid("EURUSD", bid + 0.0004); });
    EXPECT_EQ(panel()->priceLabel()->text(), sysDB::formatPrice(bid + 0.0004, 5));

    UIDriver::rotate(UIDeviceOrientation::LandscapeRight);
    tapBack();
    EXPECT_EQ(root->presentedViewController(), stack.get());
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    tapBack();
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(MarketCloseTest, ATicketTheTakeProfitClosedIsRefusedAsClosedAndNothingIsSent) {
    const std::string code = openTicket("EURUSD", "b");
    const double hold = sdk->getHoldBillWith(code)->priceHold;
    bool changed = false;
    sdk->modifyOrderWithSymbol("EURUSD", 0, hold + 0.0030, code, "", [&] { changed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return changed; }));
    presentClose(code);
    // The take-profit closes it while the screen shows: its push says so.
    andItsPush(follow(code), [&] { sim.setBid("EURUSD", hold + 0.0030); });
    // The ticket's re-pricing may be pushed before its close.
    ASSERT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) == nullptr; }));
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/该单据已平仓");
    shot("market-close-ticket-closed");
    answerAlert("确定");
    // With one-tap orders there is no confirmation to stop at: still nothing.
    store->setValue("1", settingTag::isFlashOrder);
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/该单据已平仓");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("3003"), 0u);
    EXPECT_EQ(root->presentedViewController(), stack.get()) << "the screen stays";
}

TEST_F(MarketCloseTest, ATicketClosedElsewhereIsRefusedAsClosedOnTheCloseAndTheChangeScreen) {
    const std::string code = openTicket("EURUSD", "b");
    presentClose(code);
    auto* segment = viewOf<UISegmentedControl>(MarketCloseViewController::kTagSegment);
    const CGRect frame = segment->convertRectToView(segment->bounds(), nullptr);
    UIDriver::tapAt(CGPointMake(CGRectGetMaxX(frame) - 20, CGRectGetMidY(frame)));
    time.advance(1);
    auto* change = dynamic_cast<ModifyHoldBillViewController*>(stack->topViewController());
    ASSERT_NE(change, nullptr);

    // Closed by another road while the change screen covers the close screen.
    bool closed = false;
    andItsPush(follow(code), [&] {
        sdk->marketCloseWithOrder(sdk->getHoldBillWith(code), 1, 50, 0, "", [&] { closed = true; },
                                  {});
        ASSERT_TRUE(time.runUntil([&] { return closed; }));
    });
    ASSERT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) == nullptr; }));
    const size_t closes = packagesAtDealer("3003");
    UIDriver::tap(UIDriver::viewWithTag(ModifyHoldBillViewController::kTagConfirm));
    time.advance(0.5);
    EXPECT_EQ(topAlertText(), "下单提示/该单据已平仓");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("3011"), 0u);

    // The close screen heard no push, but the service holds the ticket no longer.
    UIDriver::tap(UIDriver::viewWithTag(ModifyHoldBillViewController::kTagBack));
    time.advance(1);
    ASSERT_EQ(stack->topViewController(), screen.get());
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/该单据已平仓");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("3003"), closes);
}

TEST_F(MarketCloseTest, AStoredDeviationThatIsNoWholeNumberStartsAtTheDefault) {
    store->setValue("abc", settingTag::pointMove);
    const std::string code = openTicket("EURUSD", "b");
    presentClose(code);
    EXPECT_EQ(deviation()->text(), "5");
}

TEST_F(MarketCloseTest, ABuyTicketSpeltInCapitalsIsShownAndClosedAsABuy) {
    const std::string code = openTicket("EURUSD", "b");
    // A dealer that spells the side in capitals: the service marks and
    // counts the ticket as a buy.
    const auto bill = sdk->getHoldBillWith(code);
    bill->bsCode = "B";
    presentClose(code);
    EXPECT_NE(UIDriver::viewWithText(bill->openDate + "\n#" + code + "\n 买1 / " +
                                     sysDB::formatPrice(bill->priceHold, 5)),
              nullptr)
        << UIDriver::dumpViewTree(screen->view());
    EXPECT_EQ(panel()->directionLabel()->text(), "平仓卖");
    EXPECT_EQ(panel()->priceLabel()->text(),
              sysDB::formatPrice(sdk->getSymbolWith("EURUSD")->bid, 5));

    confirm();
    answerAlert("确定");
    awaitResult();
    ASSERT_EQ(packagesAtDealer("3003"), 1u);
    EXPECT_EQ(lastClose("bsCode"), "s") << "a buy is closed by selling, not by buying more";
    EXPECT_EQ(lastClose("orderPrice"), sysDB::formatPrice(sdk->getSymbolWith("EURUSD")->bid, 5));
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    answerAlert("确定");
    ASSERT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) == nullptr; }));
}

TEST_F(MarketCloseTest, AQuantityBeyondAnyLotCountIsRefusedNotReadIntoAWholeNumber) {
    const std::string code = openTicket("EURUSD", "b");
    const auto bill = sdk->getHoldBillWith(code);
    presentClose(code);
    // Quantities as a dealer's reply may carry them: far beyond any count of
    // lots, or below zero.
    for (const float held : {1e30f, -1e30f}) {
        SCOPED_TRACE(held);
        bill->quantityHold = held;
        typeInto(quantity(), "1");
        confirm();
        EXPECT_EQ(topAlertText(), held > 0 ? "交易提示/确定要进行市价平仓?"
                                           : "交易提示/该单据没有可平仓的整数数量");
        answerAlert(held > 0 ? "取消" : "确定");
    }
    EXPECT_EQ(packagesAtDealer("3003"), 0u);
}

TEST_F(MarketCloseTest, ThePartOfATicketClosedElsewhereAfterTheTicketsWereLoadedAgainIsRefused) {
    const std::string code = openTicket("XAUUSD", "s", 3);
    presentClose(code);
    ASSERT_EQ(quantity()->text(), "3");
    // The tickets are loaded again (a list's reload): the service holds a
    // new record of the ticket, which the pushes change from now on.
    const auto before = sdk->getHoldBillWith(code);
    bool loaded = false;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>&) { loaded = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return loaded; }));
    ASSERT_NE(sdk->getHoldBillWith(code), before);

    // Two of the three lots are closed by another road.
    bool closed = false;
    sdk->marketCloseWithOrder(sdk->getHoldBillWith(code), 2, 50, 0, "", [&] { closed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] {
        const auto now = sdk->getHoldBillWith(code);
        return closed && now && now->quantityHold == 1;
    }));
    const size_t closes = packagesAtDealer("3003");
    // The quantity typed before is more than the ticket holds now.
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/平仓数量须为1到1之间的整数");
    answerAlert("确定");
    EXPECT_EQ(topAlert(), nullptr) << "no confirmation follows";
    EXPECT_EQ(packagesAtDealer("3003"), closes);

    typeInto(quantity(), "1");
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    EXPECT_EQ(lastClose("orderCodeRe"), code);
    EXPECT_DOUBLE_EQ(std::stod(lastClose("orderQuantity").value_or("0")), 1);
    answerAlert("确定");
    ASSERT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) == nullptr; }));
}

TEST_F(MarketCloseTest, TheChangeScreenShowsTheStopsTheTicketHasNowAfterTheTicketsWereLoadedAgain) {
    const std::string code = openTicket("EURUSD", "b");
    presentClose(code);
    bool loaded = false;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>&) { loaded = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return loaded; }));

    // The stop-loss is set by another road after the load.
    const double stop = std::round((sdk->getSymbolWith("EURUSD")->bid - 0.01) * 1e5) / 1e5;
    bool changed = false;
    sdk->modifyOrderWithSymbol("EURUSD", stop, 0, code, "", [&] { changed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] {
        const auto now = sdk->getHoldBillWith(code);
        return changed && now && now->priceStopLose != 0;
    }));

    auto* segment = viewOf<UISegmentedControl>(MarketCloseViewController::kTagSegment);
    const CGRect frame = segment->convertRectToView(segment->bounds(), nullptr);
    UIDriver::tapAt(CGPointMake(CGRectGetMaxX(frame) - 20, CGRectGetMidY(frame)));
    time.advance(1);
    auto* change = dynamic_cast<ModifyHoldBillViewController*>(stack->topViewController());
    ASSERT_NE(change, nullptr);
    auto input = change->view()->viewWithTag<ViewLimitPriceInput>(
        ModifyHoldBillViewController::kTagStopLose);
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->textField()->text(), sysDB::formatPrice(stop, 5))
        << "a change sent from here would take the stop-loss off again";
}

}  // namespace

TEST(MarketPricePanel, ABuyTicketSpeltWithACapitalClosesBySellingAtTheBid) {
    auto symbol = std::make_shared<MODSymbolInfo>();
    symbol->decimal = 5;
    symbol->bid = 1.10250;
    symbol->ask = 1.10270;
    for (const char* side : {"b", "B"}) {
        auto ticket = std::make_shared<MODHoldBill>();
        ticket->bsCode = side;
        ViewMarketPrice panel(CGRectMake(0, 0, 320, 40), ticket, symbol, nullptr);
        EXPECT_EQ(panel.directionLabel()->text(), "平仓卖") << side;
        EXPECT_EQ(panel.priceLabel()->text(), "1.10250") << side;
    }
}
