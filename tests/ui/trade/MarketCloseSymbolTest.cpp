// The market close of a net position against the simulated dealer: each
// side's summary, price and profit; the side a push empties giving way to
// the other side, shown whole; nothing to send once both sides are empty;
// quantities refused before anything is sent; the close order the dealer
// receives (2039, cut type "1", the side that closes the chosen one).
#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/MarketCloseSymbolViewController.h"
#include "ui/trade/ViewMarketPricePosition.h"

using namespace liststage;
using MCS = MarketCloseSymbolViewController;

namespace {

class MarketCloseSymbolTest : public ListTest<UIViewController> {
  protected:
    // The close screen of the symbol's position, presented in its own
    // navigation controller as the net positions list does.
    void presentClose(const std::string& symbol, double buys, double sells) {
        awaitPosition(symbol, buys, sells);
        showRoot();
        screen = std::make_shared<MCS>(sdk->getPositionWith(symbol));
        screen->setContext(context);
        stack = std::make_shared<BaseNavigationController>(screen);
        presentOnRoot(stack);
        UIScreenRenderer::layoutWindows();
    }
    template <typename T = UIView>
    T* viewOf(long tag) {
        return screen->view()->viewWithTag<T>(tag).get();
    }
    UISegmentedControl* side() { return viewOf<UISegmentedControl>(MCS::kTagSide); }
    std::string summary() { return viewOf<UILabel>(MCS::kTagSummary)->text(); }
    ViewMarketPricePosition* panel() {
        return viewOf<ViewMarketPricePosition>(MCS::kTagPricePanel);
    }
    UITextField* quantity() { return viewOf<UITextField>(MCS::kTagQuantity); }
    UITextField* deviation() { return viewOf<UITextField>(MCS::kTagDeviation); }
    UIControl* confirmButton() { return viewOf<UIControl>(MCS::kTagConfirm); }
    void tapSide(long index) {
        const CGRect frame = side()->convertRectToView(side()->bounds(), nullptr);
        const CGFloat half = frame.size.width / 2;
        UIDriver::tapAt(
            CGPointMake(frame.origin.x + half * index + half / 2, CGRectGetMidY(frame)));
        time.advance(0.3);
    }
    void confirm() {
        UIDriver::tap(confirmButton());
        time.advance(0.5);
    }
    std::optional<std::string> lastClose(const std::string& key) {
        return lastAtDealer("2039", key);
    }
    // Closes one side of the symbol at the dealer, by another road.
    void closeAtDealer(const std::string& symbol, const std::string& bs, double quantity) {
        bool done = false;
        sdk->marketCloseWithSymbol(symbol, quantity, bs, 50, 0, "", [&] { done = true; }, {});
        ASSERT_TRUE(time.runUntil([&] { return done; }));
    }
    std::string summaryOf(const char* side, int quantity, double average, int decimals) {
        return platform::stringf(" %s %d / 均价 %s", side, quantity,
                                 sysDB::formatPrice(average, decimals).c_str());
    }

    std::shared_ptr<MCS> screen;
    std::shared_ptr<BaseNavigationController> stack;
};

TEST_F(MarketCloseSymbolTest, EachSideShowsItsFiguresAndTheChosenSideIsClosed) {
    store->setValue("7", settingTag::pointMove);
    openTicket("EURUSD", "b", 2);
    openTicket("EURUSD", "s", 1);
    const auto eur = sdk->getSymbolWith("EURUSD");
    presentClose("EURUSD", 2, 1);
    const auto position = sdk->getPositionWith("EURUSD");

    EXPECT_EQ(screen->title(), "市价平仓-欧元美元");
    EXPECT_EQ(side()->titleForSegmentAtIndex(0), "平买");
    EXPECT_EQ(side()->titleForSegmentAtIndex(1), "平卖");
    EXPECT_NE(UIDriver::viewWithText("头寸信息"), nullptr);
    EXPECT_NE(UIDriver::viewWithText("平仓数量"), nullptr);
    EXPECT_NE(UIDriver::viewWithText("偏离点差"), nullptr);
    // The buys: sold back at the bid.
    EXPECT_EQ(side()->selectedSegmentIndex(), 0);
    EXPECT_EQ(summary(), summaryOf("买", 2, position->avgBuy, 5));
    EXPECT_EQ(quantity()->text(), "2");
    EXPECT_EQ(deviation()->text(), "5") << "not the stored deviation";
    EXPECT_EQ(panel()->infoLabel()->text(), "平仓卖");
    EXPECT_EQ(panel()->priceLabel()->text(), sysDB::formatPrice(eur->bid, 5));
    EXPECT_EQ(panel()->dynProfitLabel()->text(), platform::stringf("%0.2f", position->dppBuy));
    shot("market-close-symbol");

    // The sells: bought back at the ask, the field holds the whole side.
    tapSide(1);
    EXPECT_EQ(side()->selectedSegmentIndex(), 1);
    EXPECT_EQ(summary(), summaryOf("卖", 1, position->avgSell, 5));
    EXPECT_EQ(quantity()->text(), "1");
    EXPECT_EQ(panel()->infoLabel()->text(), "平仓买");
    EXPECT_EQ(panel()->priceLabel()->text(), sysDB::formatPrice(eur->ask, 5));
    EXPECT_EQ(panel()->dynProfitLabel()->text(), platform::stringf("%0.2f", position->dppSell));

    // Back to the buys, one of two, at the typed deviation.
    tapSide(0);
    EXPECT_EQ(quantity()->text(), "2");
    typeInto(quantity(), "1");
    typeInto(deviation(), "9");
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/确定要进行市价平仓?");
    EXPECT_EQ(packagesAtDealer("2039"), 0u) << "nothing before the confirmation";
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    ASSERT_EQ(packagesAtDealer("2039"), 1u);
    EXPECT_EQ(lastClose("symbolCode"), "EURUSD");
    EXPECT_EQ(lastClose("bsCode"), "s") << "the buys are closed by selling";
    EXPECT_EQ(lastClose("cutType"), "1");
    EXPECT_EQ(lastClose("orderType"), "2");
    EXPECT_DOUBLE_EQ(std::stod(lastClose("orderQuantity").value_or("0")), 1);
    EXPECT_EQ(lastClose("pointOffset"), "9");
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), nullptr) << "the screen closes";
    ASSERT_TRUE(time.runUntil([&] { return sdk->getPositionWith("EURUSD")->quantityBuy == 1; }));
}

TEST_F(MarketCloseSymbolTest, AnEmptiedSideGivesWayToTheOtherShownWholeAndNothingLeftSendsNothing) {
    openTicket("XAUUSD", "s", 2);
    presentClose("XAUUSD", 0, 2);
    // Sells only: "平买" cannot be chosen.
    EXPECT_EQ(side()->selectedSegmentIndex(), 1);
    EXPECT_EQ(quantity()->text(), "2");
    typeInto(quantity(), "1");
    tapSide(0);
    EXPECT_EQ(side()->selectedSegmentIndex(), 1);
    EXPECT_EQ(quantity()->text(), "1") << "the typed quantity stays";

    // A quote moves price and profit; the typed quantity survives the push.
    const auto gold = followPosition("XAUUSD");
    andItsPush(gold, [&] { sim.setQuote("XAUUSD", sdk->getSymbolWith("XAUUSD")->ask + 1); });
    EXPECT_EQ(quantity()->text(), "1");
    EXPECT_EQ(panel()->priceLabel()->text(),
              sysDB::formatPrice(sdk->getSymbolWith("XAUUSD")->ask, 2));
    EXPECT_EQ(panel()->dynProfitLabel()->text(), platform::stringf("%0.2f", gold->last.dppSell));

    // Buys arrive; choosing them shows them whole.
    andItsPush(gold, [&] { openTicket("XAUUSD", "b", 3); });
    tapSide(0);
    ASSERT_EQ(side()->selectedSegmentIndex(), 0);
    EXPECT_EQ(quantity()->text(), "3");
    EXPECT_EQ(panel()->infoLabel()->text(), "平仓卖");

    // The buys are closed elsewhere: the screen moves to the sells and shows
    // them whole at once, quantity, summary and panel together.
    andItsPush(gold, [&] { closeAtDealer("XAUUSD", "s", 3); });
    ASSERT_EQ(gold->last.quantityBuy, 0);
    EXPECT_EQ(side()->selectedSegmentIndex(), 1);
    EXPECT_EQ(quantity()->text(), "2");
    EXPECT_EQ(summary(), summaryOf("卖", 2, gold->last.avgSell, 2));
    EXPECT_EQ(panel()->infoLabel()->text(), "平仓买");
    EXPECT_EQ(panel()->dynProfitLabel()->text(), platform::stringf("%0.2f", gold->last.dppSell));
    EXPECT_TRUE(confirmButton()->isEnabled());

    // The sells go too: nothing left, the confirm button sends nothing.
    andItsPush(gold, [&] { closeAtDealer("XAUUSD", "b", 2); });
    EXPECT_EQ(summary(), summaryOf("卖", 0, gold->last.avgSell, 2));
    EXPECT_EQ(quantity()->text(), "0");
    EXPECT_FALSE(confirmButton()->isEnabled());
    shot("market-close-symbol-empty");
    confirm();
    EXPECT_EQ(topAlert(), nullptr);
    EXPECT_EQ(packagesAtDealer("2039"), 2u) << "only the two closes made elsewhere";
}

TEST_F(MarketCloseSymbolTest, RefusesQuantitiesBeyondTheSideAndKeepsTheInputsOnAFailure) {
    openTicket("XAUUSD", "s", 2);
    openTicket("XAUUSD", "b", 5);
    presentClose("XAUUSD", 5, 2);
    tapSide(1);
    for (const std::string typed : {"", "abc", "0", "1.5", "3", "-1", "1e0"}) {
        SCOPED_TRACE(typed);
        typeInto(quantity(), typed);
        confirm();
        EXPECT_EQ(topAlertText(), "交易提示/平仓数量须为1到2之间的整数");
        answerAlert("确定");
        EXPECT_EQ(topAlert(), nullptr) << "no confirmation follows";
        EXPECT_EQ(quantity()->text(), typed);
    }
    typeInto(quantity(), "2");
    typeInto(deviation(), "x");
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/偏离点差须为不小于0的数字");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("2039"), 0u);

    // The dealer refuses: its word is shown and every input stays.
    typeInto(deviation(), "0");
    sim.fail("2039", "3102", "超出允许的价格偏离");
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单失败，原因：超出允许的价格偏离");
    shot("market-close-symbol-failed");
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), stack.get());
    EXPECT_EQ(side()->selectedSegmentIndex(), 1);
    EXPECT_EQ(quantity()->text(), "2");
    EXPECT_EQ(deviation()->text(), "0");

    // One-tap orders skip the confirmation; the sells are bought back.
    store->setValue("1", settingTag::isFlashOrder);
    confirm();
    ASSERT_EQ(sim.waitForPackages("2039", 2, kavtest::SimService::Trade).size(), 2u);
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    EXPECT_EQ(lastClose("bsCode"), "b");
    EXPECT_EQ(lastClose("pointOffset"), "0");
    answerAlert("确定");
    ASSERT_TRUE(time.runUntil([&] { return sdk->getPositionWith("XAUUSD")->quantitySell == 0; }));
}

TEST_F(MarketCloseSymbolTest, PriceStaysLiveAfterTheServiceLoadsItsSymbolsAgain) {
    openTicket("XAUUSD", "s", 2);
    presentClose("XAUUSD", 0, 2);
    const auto gold = followPosition("XAUUSD");
    // A login loads the symbols again: the service holds new records, which
    // the quotes move from then on.
    const auto before = sdk->getSymbolWith("XAUUSD");
    bool loaded = false;
    sdk->querySymbolOnSuccess([&](const MODList<MODSymbolInfo>&) { loaded = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return loaded; }));
    ASSERT_NE(sdk->getSymbolWith("XAUUSD"), before);

    andItsPush(gold, [&] { sim.setQuote("XAUUSD", sdk->getSymbolWith("XAUUSD")->ask + 3); });
    const double ask = sdk->getSymbolWith("XAUUSD")->ask;
    ASSERT_NE(before->ask, ask);
    EXPECT_EQ(panel()->priceLabel()->text(), sysDB::formatPrice(ask, 2))
        << "the price the sells are bought back at, not the one before the load";
    EXPECT_EQ(panel()->dynProfitLabel()->text(), platform::stringf("%0.2f", gold->last.dppSell));
}

TEST_F(MarketCloseSymbolTest, ASideBeyondAnyLotCountIsRefusedNotReadIntoAWholeNumber) {
    openTicket("XAUUSD", "s", 2);
    presentClose("XAUUSD", 0, 2);
    // A position as a dealer's push may carry it: far below zero.
    auto position = std::make_shared<MODHoldPosition>(*sdk->getPositionWith("XAUUSD"));
    position->quantitySell = -1e300;
    auto message = std::make_shared<MoMessage>();
    message->obj = MODList<MODHoldPosition>{position};
    BroadcastManager::postMessage(message, kActionReceiveHoldPositionChange);
    time.advance(0.1);
    typeInto(quantity(), "1");
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/该头寸没有可平仓的数量");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("2039"), 0u);
}

TEST_F(MarketCloseSymbolTest, ASideEmptiedUnderTheConfirmationClosesNothingOfTheOtherSide) {
    openTicket("XAUUSD", "s", 2);
    openTicket("XAUUSD", "b", 3);
    presentClose("XAUUSD", 3, 2);
    const auto gold = followPosition("XAUUSD");
    ASSERT_EQ(side()->selectedSegmentIndex(), 0);
    typeInto(quantity(), "1");
    confirm();
    ASSERT_EQ(topAlertText(), "交易提示/确定要进行市价平仓?");
    // The buys the user is closing go elsewhere while the question is up:
    // the screen moves to the sells, shown whole.
    andItsPush(gold, [&] { closeAtDealer("XAUUSD", "s", 3); });
    ASSERT_EQ(gold->last.quantityBuy, 0);
    ASSERT_EQ(side()->selectedSegmentIndex(), 1);
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单失败，原因：该头寸没有可平仓的数量");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("2039"), 1u) << "only the close made elsewhere";
    EXPECT_EQ(sdk->getPositionWith("XAUUSD")->quantitySell, 2) << "the sells were not asked for";
    EXPECT_EQ(root->presentedViewController(), stack.get());

    // Confirmed anew, the side shown is the one closed.
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "交易提示/下单成功。");
    EXPECT_EQ(lastClose("bsCode"), "b");
    answerAlert("确定");
}

}  // namespace
