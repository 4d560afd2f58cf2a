// The stop-loss / take-profit change of a ticket against the simulated
// dealer: the bounds captioned for a buy and a sell ticket and moving with
// the ticket's pushes, the stepper starting from a bound, the change order
// the dealer receives and the two screens it closes, empty fields meaning
// none and other text refused before anything is sent, prices checked as
// rounded to the symbol's decimals and within a market's range.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/trade/TicketStage.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/trade/MarketCloseViewController.h"
#include "ui/trade/ModifyHoldBillViewController.h"
#include "ui/trade/ViewLimitPriceInput.h"
#include "ui/trade/ViewMarketPrice.h"

using namespace tickettest;

namespace {

class ModifyHoldBillTest : public TicketTest {
  protected:
    // The close screen of the ticket, then its change segment.
    void openChange(const std::string& code) {
        showRoot();
        auto close = std::make_shared<MarketCloseViewController>(sdk->getHoldBillWith(code));
        close->setContext(context);
        stack = std::make_shared<BaseNavigationController>(close);
        presentOnRoot(stack);
        auto* segment =
            close->view()
                ->viewWithTag<UISegmentedControl>(MarketCloseViewController::kTagSegment)
                .get();
        const CGRect frame = segment->convertRectToView(segment->bounds(), nullptr);
        UIDriver::tapAt(CGPointMake(CGRectGetMaxX(frame) - 20, CGRectGetMidY(frame)));
        time.advance(1);
        screen = std::dynamic_pointer_cast<ModifyHoldBillViewController>(
            stack->viewControllers().back());
        ASSERT_NE(screen, nullptr);
        UIScreenRenderer::layoutWindows();
    }
    ViewLimitPriceInput* input(long tag) {
        return screen->view()->viewWithTag<ViewLimitPriceInput>(tag).get();
    }
    ViewLimitPriceInput* takeProfit() {
        return input(ModifyHoldBillViewController::kTagTakeProfit);
    }
    ViewLimitPriceInput* stopLose() { return input(ModifyHoldBillViewController::kTagStopLose); }
    ViewMarketPrice* panel() {
        return screen->view()
            ->viewWithTag<ViewMarketPrice>(ModifyHoldBillViewController::kTagPricePanel)
            .get();
    }
    void confirm() {
        UIDriver::tap(screen->view()->viewWithTag(ModifyHoldBillViewController::kTagConfirm).get());
        time.advance(0.5);
    }
    std::optional<std::string> lastChange(const std::string& key) {
        return lastAtDealer("3011", key);
    }
    void setLimits(const std::string& code, double stopLose, double takeProfit) {
        bool done = false;
        sdk->modifyOrderWithSymbol(sdk->getHoldBillWith(code)->symbolCode, stopLose, takeProfit,
                                   code, "", [&] { done = true; }, {});
        ASSERT_TRUE(time.runUntil([&] { return done; }));
        // The ticket's push brings the prices into the service's record.
        const auto ticket = sdk->getHoldBillWith(code);
        ASSERT_TRUE(time.runUntil([&] {
            return std::fabs(ticket->priceStopLose - stopLose) < 1e-9 &&
                   std::fabs(ticket->priceTakeProfit - takeProfit) < 1e-9;
        }));
    }
    static std::string fmt(double price, int decimals) {
        return sysDB::formatPrice(price, decimals);
    }

    std::shared_ptr<BaseNavigationController> stack;
    std::shared_ptr<ModifyHoldBillViewController> screen;
};

TEST_F(ModifyHoldBillTest, BuyTicketsBoundsAreCaptionedAndMoveWithItsPushes) {
    const std::string code = openTicket("EURUSD", "b");
    const double hold = sdk->getHoldBillWith(code)->priceHold;
    setLimits(code, hold - 0.005, hold + 0.004);
    openChange(code);

    EXPECT_EQ(screen->title(), "修改单据-欧元美元");
    EXPECT_EQ(takeProfit()->textField()->text(), fmt(hold + 0.004, 5));
    EXPECT_EQ(stopLose()->textField()->text(), fmt(hold - 0.005, 5));
    // At the mark price (the bid), 30 points either way.
    const double mark = sdk->getSymbolWith("EURUSD")->bid;
    EXPECT_EQ(stopLose()->titleLabel()->text(), "止损价 < " + fmt(mark - 0.0003, 5));
    EXPECT_EQ(takeProfit()->titleLabel()->text(), "止盈价 > " + fmt(mark + 0.0003, 5));
    EXPECT_EQ(panel()->directionLabel()->text(), "平仓卖");
    shot("modify-hold-bill-buy");

    // What the user typed stays while the push moves captions and panel.
    typeInto(takeProfit()->textField().get(), "1.2");
    const auto pushes = follow(code);
    andItsPush(pushes, [&] { sim.setBid("EURUSD", mark + 0.0010); });
    EXPECT_EQ(stopLose()->titleLabel()->text(), "止损价 < " + fmt(mark + 0.0007, 5));
    EXPECT_EQ(takeProfit()->titleLabel()->text(), "止盈价 > " + fmt(mark + 0.0013, 5));
    EXPECT_EQ(panel()->priceLabel()->text(), fmt(mark + 0.0010, 5));
    EXPECT_EQ(takeProfit()->textField()->text(), "1.2");
    EXPECT_EQ(stopLose()->textField()->text(), fmt(hold - 0.005, 5));
}

TEST_F(ModifyHoldBillTest, SellTicketsBoundsAreTheOtherWayRound) {
    const std::string code = openTicket("XAUUSD", "s");
    openChange(code);
    // No prices yet: empty fields.
    EXPECT_EQ(takeProfit()->textField()->text(), "");
    EXPECT_EQ(stopLose()->textField()->text(), "");
    const double mark = sdk->getSymbolWith("XAUUSD")->ask;
    EXPECT_EQ(stopLose()->titleLabel()->text(), "止损价 > " + fmt(mark + 1, 2));
    EXPECT_EQ(takeProfit()->titleLabel()->text(), "止盈价 < " + fmt(mark - 1, 2));
    EXPECT_EQ(panel()->directionLabel()->text(), "平仓买");
    shot("modify-hold-bill-sell");
}

TEST_F(ModifyHoldBillTest, StepperStartsFromTheBoundAndTheChangeClosesBothScreens) {
    const std::string code = openTicket("EURUSD", "b");
    openChange(code);
    const double mark = sdk->getSymbolWith("EURUSD")->bid;

    // "-" on the empty stop-loss starts one point under its bound.
    UIDriver::tap(stopLose()->viewWithTag(ViewLimitPriceInput::kTagMinus).get());
    EXPECT_EQ(stopLose()->textField()->text(), fmt(mark - 0.0003 - 0.00001, 5));
    // "+" held on the take-profit: a step at 0.8 s, then one every 0.05 s.
    const CGPoint plus =
        UIDriver::screenCenterOf(takeProfit()->viewWithTag(ViewLimitPriceInput::kTagPlus).get());
    platform::ui::TouchInput::touchDown(5, plus);
    time.advance(0.79);
    EXPECT_EQ(takeProfit()->textField()->text(), "");
    time.advance(0.011);
    EXPECT_EQ(takeProfit()->textField()->text(), fmt(mark + 0.0003 + 0.00001, 5));
    time.advance(0.1);
    platform::ui::TouchInput::touchUp(5, plus);
    time.advance(0.5);
    EXPECT_EQ(takeProfit()->textField()->text(), fmt(mark + 0.0003 + 0.00003, 5));
    const std::string stop = stopLose()->textField()->text();
    const std::string take = takeProfit()->textField()->text();
    shot("modify-hold-bill-stepped");

    // "取消" sends nothing; "确定" sends the change.
    confirm();
    EXPECT_EQ(topAlertText(), "交易提示/确定要修改持有合同?");
    answerAlert("取消");
    EXPECT_EQ(packagesAtDealer("3011"), 0u);
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单成功。");
    ASSERT_EQ(packagesAtDealer("3011"), 1u);
    EXPECT_EQ(lastChange("orderCode"), code);
    EXPECT_EQ(lastChange("symbolCode"), "EURUSD");
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceStopLose").value_or("0")), std::stod(stop));
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceTakeProfit").value_or("0")), std::stod(take));
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), nullptr) << "both screens close";
    const auto ticket = sdk->getHoldBillWith(code);
    ASSERT_TRUE(time.runUntil([&] { return ticket->priceStopLose != 0; }));
    EXPECT_EQ(fmt(ticket->priceStopLose, 5), stop);
    EXPECT_EQ(fmt(ticket->priceTakeProfit, 5), take);
}

// With one-tap on, "确定" sends the change at once, without asking; text
// that is no price is still refused before anything goes out.
TEST_F(ModifyHoldBillTest, OneTapSendsTheChangeAtOnce) {
    store->setValue("1", settingTag::isFlashOrder);
    const std::string code = openTicket("EURUSD", "b");
    const double hold = sdk->getHoldBillWith(code)->priceHold;
    openChange(code);

    typeInto(stopLose()->textField().get(), "x");
    confirm();
    EXPECT_EQ(topAlertText(), "下单提示/止损价须为数字，不填表示不设");
    answerAlert("确定");
    EXPECT_EQ(packagesAtDealer("3011"), 0u);

    const std::string stop = fmt(hold - 0.006, 5);
    typeInto(stopLose()->textField().get(), stop);
    sim.holdReply("3011");
    confirm();
    EXPECT_EQ(topAlert(), nullptr) << topAlertText();
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    ASSERT_EQ(sim.waitForPackages("3011", 1, kavtest::SimService::Trade).size(), 1u);
    EXPECT_EQ(lastChange("orderCode"), code);
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceStopLose").value_or("0")), std::stod(stop));
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceTakeProfit").value_or("-1")), 0);
    sim.releaseHeld();
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单成功。");
    answerAlert("确定");
    EXPECT_EQ(root->presentedViewController(), nullptr) << "both screens close";
    EXPECT_EQ(packagesAtDealer("3011"), 1u);
}

TEST_F(ModifyHoldBillTest, EmptyFieldsMeanNoneAndOtherTextIsRefused) {
    const std::string code = openTicket("EURUSD", "b");
    const double hold = sdk->getHoldBillWith(code)->priceHold;
    setLimits(code, hold - 0.005, hold + 0.005);
    openChange(code);
    const size_t changes = packagesAtDealer("3011");

    typeInto(takeProfit()->textField().get(), "");
    typeInto(stopLose()->textField().get(), "1.2.3");
    confirm();
    EXPECT_EQ(topAlertText(), "下单提示/止损价须为数字，不填表示不设");
    shot("modify-hold-bill-refused");
    answerAlert("确定");
    EXPECT_EQ(topAlert(), nullptr);
    EXPECT_EQ(packagesAtDealer("3011"), changes);

    // The dealer's refusal keeps the screen and what was typed.
    typeInto(stopLose()->textField().get(), "0.5");
    sim.fail("3011", "3105", "止损价无效");
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单失败，原因：止损价无效");
    answerAlert("确定");
    EXPECT_EQ(stack->topViewController(), screen.get());
    EXPECT_EQ(stopLose()->textField()->text(), "0.5");

    // Both empty: no stop-loss and no take-profit.
    typeInto(stopLose()->textField().get(), "");
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单成功。");
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceStopLose").value_or("-1")), 0);
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceTakeProfit").value_or("-1")), 0);
    answerAlert("确定");
    const auto ticket = sdk->getHoldBillWith(code);
    ASSERT_TRUE(time.runUntil([&] { return ticket->priceStopLose == 0; }));
    EXPECT_EQ(ticket->priceTakeProfit, 0);
}

TEST_F(ModifyHoldBillTest, PricesThatRoundToNothingOrLieBeyondAnyMarketAreRefused) {
    const std::string code = openTicket("EURUSD", "b");
    openChange(code);
    const size_t changes = packagesAtDealer("3011");
    typeInto(takeProfit()->textField().get(), "");
    // At five decimals these are 0, or more than the dealer's price can carry.
    for (const std::string typed :
         {"0.0000000001", "0.000004", "99999999999999999999999999999", "1000000000.1"}) {
        SCOPED_TRACE(typed);
        typeInto(stopLose()->textField().get(), typed);
        confirm();
        EXPECT_EQ(topAlertText(), "下单提示/止损价须为数字，不填表示不设");
        answerAlert("确定");
        EXPECT_EQ(topAlert(), nullptr) << "no confirmation follows";
    }
    EXPECT_EQ(packagesAtDealer("3011"), changes);

    // A typed 0 still means none, and a price is sent as rounded.
    const double hold = sdk->getHoldBillWith(code)->priceHold;
    typeInto(stopLose()->textField().get(), "0");
    typeInto(takeProfit()->textField().get(), fmt(hold + 0.005, 5) + "0049");
    confirm();
    answerAlert("确定");
    awaitResult();
    EXPECT_EQ(topAlertText(), "下单提示/下单成功。");
    EXPECT_DOUBLE_EQ(std::stod(lastChange("priceStopLose").value_or("-1")), 0);
    EXPECT_NEAR(std::stod(lastChange("priceTakeProfit").value_or("-1")), hold + 0.005, 1e-9);
}

}  // namespace
