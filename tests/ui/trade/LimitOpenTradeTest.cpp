// The new limit / stop order against the simulated dealer, as a user meets
// it: presented from the pending orders list's add button or pushed from
// the market-order screen; the band and the stop-loss and take-profit
// hints for a buy and for a sell; the side and symbol picker, after which
// every input follows the new symbol; order prices refused before anything
// is asked; the confirmation asked even with one-tap orders, the overlay,
// the pending order the dealer receives (3005, validity type "1") and where
// the screen goes after a success.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/Button.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/NumberInputView.h"
#include "ui/toolkit/RotateNavigationController.h"
#include "ui/trade/LimitOpenTradeViewController.h"
#include "ui/trade/MarketOpenViewController.h"
#include "ui/trade/ViewLimitPrice.h"
#include "ui/trade/ViewLimitPriceInput.h"

using namespace liststage;
using LO = LimitOpenTradeViewController;

namespace {

using tradetest::shown;

class LimitOpenTradeTest : public ListTest<UIViewController> {
  protected:
    void TearDown() override {
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        ListTest::TearDown();
    }
    // As the pending orders list opens it: presented in its own navigation
    // controller for the first symbol.
    void presentModal() {
        showRoot();
        screen = std::make_shared<LO>(sdk->getSymbolsWith(-1).front(), true);
        screen->setContext(context);
        stack = std::make_shared<BaseNavigationController>(screen);
        presentOnRoot(stack);
        UIScreenRenderer::layoutWindows();
    }
    // As the market-order screen opens it: its limit segment pushes it.
    void pushFromMarket(const std::string& symbol) {
        showRoot();
        market = std::make_shared<MarketOpenViewController>(sdk->getSymbolWith(symbol));
        market->setContext(context);
        stack = std::make_shared<RotateNavigationController>(market);
        presentOnRoot(stack);
        UIScreenRenderer::layoutWindows();
        auto* segment =
            market->view()
                ->viewWithTag<UISegmentedControl>(MarketOpenViewController::kTagOrderType)
                .get();
        const CGSize size = segment->bounds().size;
        UIDriver::tapAt(segment->convertPointToView({size.width * 0.75, size.height / 2}, nullptr));
        time.advance(1);
        UIScreenRenderer::layoutWindows();
        auto* top = dynamic_cast<LO*>(stack->topViewController());
        ASSERT_NE(top, nullptr);
        screen = top->sharedSelf<LO>();
    }
    ViewLimitPrice* band() { return screen->band(); }
    ViewLimitPriceInput* input(long tag) { return screen->priceInput(tag); }
    UITextField* field(long tag) { return input(tag)->textField().get(); }
    std::string title(long tag) { return input(tag)->titleLabel()->text(); }
    void step(long tag, long button) {
        UIDriver::tap(input(tag)->viewWithTag(button).get());
        time.advance(0.1);
    }
    void submit() {
        UIDriver::tap(screen->submitButton());
        time.advance(0.5);
    }
    // Opens the picker with the side button and chooses the row of the column.
    void pick(long row, long column) {
        if (!screen->picker()->isDisplayed()) {
            UIDriver::tap(screen->sideButton());
            time.advance(0.4);
        }
        ASSERT_TRUE(screen->picker()->isDisplayed());
        UIDriver::tap(screen->picker()->pickerView()->viewForRow(row, column));
        time.advance(0.1);
    }
    std::optional<std::string> lastOrder(const std::string& key) {
        return lastAtDealer("3005", key);
    }
    double lastOrderNumber(const std::string& key) {
        return std::stod(lastOrder(key).value_or("nan"));
    }

    std::shared_ptr<MarketOpenViewController> market;
    std::shared_ptr<LO> screen;
    std::shared_ptr<UINavigationController> stack;
};

TEST_F(LimitOpenTradeTest, FromTheAddButtonABuyBelowTheMarketIsAskedForSentAndTheScreenCloses) {
    presentModal();
    const auto eur = sdk->getSymbolWith("EURUSD");
    ASSERT_EQ(screen->symbolInfo(), eur);
    EXPECT_EQ(screen->titleButton()->currentTitle(), "限价建仓-欧元美元");
    EXPECT_NE(UIDriver::viewWithText("买卖方向"), nullptr);
    EXPECT_NE(UIDriver::viewWithText("交易数量"), nullptr);
    EXPECT_EQ(screen->sideButton()->currentTitle(), "买");
    EXPECT_EQ(screen->quantityInput()->textField()->text(), "1");
    // The band around the ask: the limit distance of 50 points either way.
    EXPECT_EQ(band()->sideLabel()->text(), "买价");
    EXPECT_EQ(band()->priceLabel()->text(), shown(eur->ask, 5));
    EXPECT_EQ(band()->limitLabel()->text(), "止限 < " + shown(eur->ask - 0.0005, 5));
    EXPECT_EQ(band()->stopLabel()->text(), "停损 > " + shown(eur->ask + 0.0005, 5));
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), shown(eur->ask, 5));
    EXPECT_EQ(title(LO::kTagOrderPrice), "挂单价");
    EXPECT_EQ(title(LO::kTagTakeProfit), "止盈价");
    EXPECT_EQ(title(LO::kTagStopLose), "止损价");
    shot("limit-open-trade");

    // A step of the order price brings the hints: 30 points either way.
    step(LO::kTagOrderPrice, ViewLimitPriceInput::kTagPlus);
    const double stepped = eur->ask + 0.00001;
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), shown(stepped, 5));
    EXPECT_EQ(title(LO::kTagStopLose), "止损价 < " + shown(stepped - 0.0003, 5));
    EXPECT_EQ(title(LO::kTagTakeProfit), "止盈价 > " + shown(stepped + 0.0003, 5));
    // A typed price too.
    const double price = eur->ask - 0.0100;
    typeInto(field(LO::kTagOrderPrice), shown(price, 5));
    EXPECT_EQ(title(LO::kTagStopLose), "止损价 < " + shown(price - 0.0003, 5));
    EXPECT_EQ(title(LO::kTagTakeProfit), "止盈价 > " + shown(price + 0.0003, 5));
    typeInto(screen->quantityInput()->textField().get(), "2");
    shot("limit-open-trade-hints");

    // One-tap orders do not skip this confirmation.
    store->setValue("1", settingTag::isFlashOrder);
    sim.holdReply("3005");
    submit();
    EXPECT_EQ(topAlertText(), "交易提示/确定要提交限价建仓?");
    EXPECT_EQ(packagesAtDealer("3005"), 0u);
    answerAlert("确定");
    ASSERT_EQ(sim.waitForPackages("3005", 1, kavtest::SimService::Trade).size(), 1u);
    ASSERT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_EQ(KAVProgressHUD::sharedView()->stringLabel()->text(), "正在提交");
    sim.releaseHeld();
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单成功。");
    EXPECT_EQ(lastOrder("validDateType"), "1");
    EXPECT_EQ(lastOrder("symbolCode"), "EURUSD");
    EXPECT_EQ(lastOrder("bsCode"), "b");
    EXPECT_EQ(lastOrder("orderType"), "3") << "a buy below the ask waits for it";
    EXPECT_NEAR(lastOrderNumber("orderPrice"), price, 1e-9);
    EXPECT_DOUBLE_EQ(lastOrderNumber("orderQuantity"), 2);
    EXPECT_DOUBLE_EQ(lastOrderNumber("priceStopLose"), 0) << "empty: none";
    EXPECT_DOUBLE_EQ(lastOrderNumber("priceTakeProfit"), 0);
    EXPECT_EQ(root->presentedViewController(), stack.get()) << "open until the alert closes";
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(sim.desk("1001")["orders"].size(), 1u);
}

TEST_F(LimitOpenTradeTest, PushedFromTheMarketScreenEveryInputFollowsTheSideAndTheSymbol) {
    sim.redefineSymbol("XAUUSD", {{"minTradeQuantity", 2}, {"maxTradeQuantity", 5}});
    ASSERT_TRUE(time.runUntil([&] { return sdk->getSymbolWith("XAUUSD")->quantityMax == 5; }));
    pushFromMarket("EURUSD");
    EXPECT_FALSE(screen->isModel());
    typeInto(screen->quantityInput()->textField().get(), "9");

    // "卖": the band around the bid, the order price on it, the hints of a sell.
    pick(1, 0);
    const auto eur = sdk->getSymbolWith("EURUSD");
    EXPECT_EQ(screen->sideButton()->currentTitle(), "卖");
    EXPECT_EQ(band()->sideLabel()->text(), "卖价");
    EXPECT_EQ(band()->priceLabel()->text(), shown(eur->bid, 5));
    EXPECT_EQ(band()->limitLabel()->text(), "止限 > " + shown(eur->bid + 0.0005, 5));
    EXPECT_EQ(band()->stopLabel()->text(), "停损 < " + shown(eur->bid - 0.0005, 5));
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), shown(eur->bid, 5));
    EXPECT_EQ(title(LO::kTagStopLose), "止损价 > " + shown(eur->bid + 0.0003, 5));
    EXPECT_EQ(title(LO::kTagTakeProfit), "止盈价 < " + shown(eur->bid - 0.0003, 5));
    shot("limit-open-trade-picker");

    // The yen, then gold (the wheel turns a row at a time, as a finger
    // would): two decimals everywhere, its quantity bounds, and the market
    // screen told.
    pick(1, 1);
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), shown(sdk->getSymbolWith("USDJPY")->bid, 3));
    pick(2, 1);
    const auto gold = sdk->getSymbolWith("XAUUSD");
    ASSERT_EQ(screen->symbolInfo(), gold);
    EXPECT_EQ(screen->titleButton()->currentTitle(), "限价建仓-现货黄金");
    EXPECT_EQ(screen->sideButton()->currentTitle(), "卖") << "the side stays";
    EXPECT_EQ(market->symbolInfo()->symbolCode, "XAUUSD");
    EXPECT_EQ(band()->priceLabel()->text(), shown(gold->bid, 2));
    EXPECT_EQ(band()->limitLabel()->text(), "止限 > " + shown(gold->bid + 1, 2));
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), shown(gold->bid, 2));
    EXPECT_EQ(title(LO::kTagStopLose), "止损价 > " + shown(gold->bid + 1, 2));
    EXPECT_EQ(title(LO::kTagTakeProfit), "止盈价 < " + shown(gold->bid - 1, 2));
    EXPECT_EQ(screen->quantityInput()->textField()->text(), "5") << "down to gold's maximum";
    screen->picker()->dismiss();
    time.advance(0.5);
    step(LO::kTagOrderPrice, ViewLimitPriceInput::kTagMinus);
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), shown(gold->bid - 0.01, 2)) << "a step of 0.01";
    shot("limit-open-trade-gold");

    // Order prices that are no price are refused before anything is asked.
    for (const std::string typed : {"", "0", "0.00", "abc", "1.2.3"}) {
        SCOPED_TRACE(typed);
        typeInto(field(LO::kTagOrderPrice), typed);
        submit();
        EXPECT_EQ(topAlertText(), "下单提示/挂单价须为大于0的数字");
        answerAlert("确定");
        EXPECT_EQ(topAlert(), nullptr) << "no confirmation follows";
    }
    const double price = gold->bid - 3;
    typeInto(field(LO::kTagOrderPrice), shown(price, 2));
    typeInto(field(LO::kTagTakeProfit), "x");
    submit();
    EXPECT_EQ(topAlertText(), "下单提示/止盈价须为数字，不填表示不设");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("3005"), 0u);

    // A sell below the bid waits for the market to break through: a stop.
    typeInto(field(LO::kTagTakeProfit), shown(price - 5, 2));
    submit();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单成功。");
    EXPECT_EQ(lastOrder("symbolCode"), "XAUUSD");
    EXPECT_EQ(lastOrder("bsCode"), "s");
    EXPECT_EQ(lastOrder("orderType"), "4");
    EXPECT_NEAR(lastOrderNumber("orderPrice"), price, 1e-9);
    EXPECT_NEAR(lastOrderNumber("priceTakeProfit"), price - 5, 1e-9);
    EXPECT_DOUBLE_EQ(lastOrderNumber("orderQuantity"), 5);
    answerAlert("确定");
    // Back on the market screen, which trades gold now.
    EXPECT_EQ(stack->topViewController(), market.get());
    EXPECT_EQ(root->presentedViewController(), stack.get());
    ASSERT_TRUE(time.runUntil([&] { return market->symbolInfo()->symbolCode == "XAUUSD"; }));
}

TEST_F(LimitOpenTradeTest, CancelAndRefusalKeepTheScreenQuotesMoveOnlyTheBandBackGoesHome) {
    presentModal();
    const auto eur = sdk->getSymbolWith("EURUSD");
    const std::string price = shown(eur->ask - 0.0100, 5);
    typeInto(field(LO::kTagOrderPrice), price);
    typeInto(field(LO::kTagStopLose), shown(eur->ask - 0.0200, 5));

    // "取消": nothing sent, no overlay, the inputs as they were.
    submit();
    answerAlert("取消");
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_EQ(packagesAtDealer("3005"), 0u);
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), price);

    // The dealer refuses: its word, and the screen stays with its inputs.
    sim.fail("3005", "3301", "挂单价格距离市价过近");
    submit();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单失败，原因：挂单价格距离市价过近");
    shot("limit-open-trade-failed");
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), stack.get());
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), price);
    EXPECT_EQ(field(LO::kTagStopLose)->text(), shown(eur->ask - 0.0200, 5));
    EXPECT_DOUBLE_EQ(lastOrderNumber("priceStopLose"), eur->ask - 0.0200);

    // A quote of the symbol moves the band, not the order price; a quote of
    // another symbol moves nothing.
    int quotes = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        kActionReceiveTradeQuotation, [&](const platform::Notification&) { ++quotes; });
    const std::string otherBand = band()->priceLabel()->text();
    sim.setQuote("XAUUSD", 2100);
    ASSERT_TRUE(time.runUntil([&] { return quotes > 0; }));
    EXPECT_EQ(band()->priceLabel()->text(), otherBand);
    quotes = 0;
    sim.setAsk("EURUSD", eur->ask + 0.0020);
    ASSERT_TRUE(time.runUntil([&] { return quotes > 0; }));
    EXPECT_EQ(band()->priceLabel()->text(), shown(eur->ask, 5));
    EXPECT_NE(band()->priceLabel()->text(), otherBand);
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), price);

    // Held sideways, back does nothing; upright it dismisses the screen.
    UIView* back = stack->navigationBar()->leftItemView();
    UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    UIDriver::tap(back);
    time.advance(1);
    EXPECT_EQ(root->presentedViewController(), stack.get());
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    UIDriver::tap(stack->navigationBar()->leftItemView());
    time.advance(1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(LimitOpenTradeTest, PricesThatRoundToNothingOrLieBeyondAnyMarketAreRefused) {
    presentModal();
    const auto eur = sdk->getSymbolWith("EURUSD");
    ASSERT_EQ(screen->symbolInfo()->decimal, 5);
    // At five decimals these are 0, or more than the dealer's price can carry.
    for (const std::string typed :
         {"0.0000000001", "0.000004", "99999999999999999999999999999", "1000000000.1"}) {
        SCOPED_TRACE(typed);
        typeInto(field(LO::kTagOrderPrice), typed);
        submit();
        EXPECT_EQ(topAlertText(), "下单提示/挂单价须为大于0的数字");
        answerAlert("确定");
        EXPECT_EQ(topAlert(), nullptr) << "no confirmation follows";
    }
    typeInto(field(LO::kTagOrderPrice), shown(eur->ask - 0.0100, 5));
    for (const long tag : {LO::kTagTakeProfit, LO::kTagStopLose}) {
        typeInto(field(tag), "0.0000000001");
        submit();
        EXPECT_EQ(topAlertText(), tag == LO::kTagTakeProfit
                                      ? "下单提示/止盈价须为数字，不填表示不设"
                                      : "下单提示/止损价须为数字，不填表示不设");
        answerAlert("确定");
        typeInto(field(tag), "");
    }
    EXPECT_EQ(packagesAtDealer("3005"), 0u);
}

TEST_F(LimitOpenTradeTest, WithoutSymbolsTheScreenOpensAndSendsNothing) {
    context.bizSDK = std::make_shared<KAVBizSDK>();
    showRoot();
    screen = std::make_shared<LO>(nullptr, true);
    screen->setContext(context);
    stack = std::make_shared<BaseNavigationController>(screen);
    presentOnRoot(stack);
    EXPECT_EQ(screen->symbolInfo(), nullptr);
    EXPECT_EQ(screen->titleButton()->currentTitle(), "限价建仓-");
    EXPECT_EQ(field(LO::kTagOrderPrice)->text(), "");
    submit();
    EXPECT_EQ(topAlertText(), "下单提示/无效的商品代码");
    shot("limit-open-trade-no-symbol");
    answerAlert("确定");
    EXPECT_EQ(topAlert(), nullptr);
}

}  // namespace
