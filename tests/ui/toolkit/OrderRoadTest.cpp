// The order road every order screen takes, end to end against the simulated
// dealer: a confirmation alert, the modal overlay while the order runs, the
// overlay dismissed, then the result alert. A double tap on the confirmation
// sends one order; an order refused before its call returns still takes the
// overlay down and shows why.
#include "tests/ui/toolkit/DealerToolkitStage.h"

using namespace toolkittest;

namespace {

class OrderRoadTest : public DealerToolkitTest {
  protected:
    // What the market-order screen does on its buy button.
    void buy(double quantity) {
        KAVAlertView::showAlertWithTitle(
            "交易提示", "确定买入 EURUSD？", "取消", "确定",
            [this, quantity](bool cancelled, long) {
                if (cancelled) return;
                KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
                const auto symbol = sdk->getSymbolWith("EURUSD");
                sdk->marketOpenWithSymbol(
                    "EURUSD", quantity, "b", symbol->ask, symbol->maxPointOffset, 0, 0, "",
                    [] {
                        KAVProgressHUD::dismissWithComplete(
                            [] { KAVAlertView::showAlertWithTitle("", "下单成功。"); });
                    },
                    [](const std::string&, const std::string& message) {
                        KAVProgressHUD::dismissWithComplete([message] {
                            KAVAlertView::showAlertWithTitle("", "下单失败，原因：" + message);
                        });
                    });
            });
        time.advance(0.4);
    }
    bool alertShows(const std::string& text) {
        return UIDriver::isVisible(UIDriver::viewWithText(text));
    }
};

TEST_F(OrderRoadTest, DoubleTapOnTheConfirmationSendsOneOrder) {
    sim.holdReply("3001");  // the order runs until the test lets it answer
    buy(1);
    UIView* confirm = UIDriver::viewWithText("确定");
    ASSERT_NE(confirm, nullptr);
    UIDriver::tap(confirm);
    time.advance(0.05);
    UIDriver::tap(confirm);  // the second tap of a double tap, during the fade
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    time.advance(0.2);
    snapshot("order-road-running");
    ASSERT_EQ(sim.waitForPackages("3001", 1).size(), 1u);
    sim.releaseHeld();

    ASSERT_TRUE(time.runUntil([&] { return !KAVProgressHUD::isVisible(); }));
    time.advance(0.2);
    ASSERT_TRUE(time.runUntil([&] { return alertShows("下单成功。"); }));
    time.advance(0.4);
    snapshot("order-road-done");
    EXPECT_EQ(ordersAtDealer(), 1u);
    EXPECT_EQ(sim.desk("1001")["tickets"].size(), 1u);
    EXPECT_FALSE(KAVProgressHUD::sharedView()->superview()) << "the overlay is gone";

    UIDriver::tap(UIDriver::viewWithText("Ok"));
    time.advance(0.3);
    EXPECT_TRUE(KAVAlertViewStack::sharedInstance().alertViews().empty());
    // Nothing is left over the screen.
    UIDriver::tap(screen->button.get());
    EXPECT_EQ(screen->taps, 1);
}

TEST_F(OrderRoadTest, OrderRefusedBeforeItsCallReturnsStillTakesTheOverlayDown) {
    buy(0);  // not a whole positive number of lots: refused at once
    UIDriver::tap(UIDriver::viewWithText("确定"));
    // The overlay was shown and dismissed in the same tap; it goes after its
    // fade-out and the result follows.
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    time.advance(0.2);
    EXPECT_FALSE(KAVProgressHUD::sharedView()->superview());
    time.advance(0.4);
    ASSERT_EQ(KAVAlertViewStack::sharedInstance().alertViews().size(), 1u);
    const auto result = KAVAlertViewStack::sharedInstance().alertViews().front();
    EXPECT_EQ(result->messageLabel()->text().rfind("下单失败，原因：", 0), 0u)
        << result->messageLabel()->text();
    snapshot("order-road-refused");
    EXPECT_EQ(ordersAtDealer(), 0u);
}

TEST_F(OrderRoadTest, DealerRefusalReachesTheUserAfterTheOverlay) {
    sim.fail("3001", "3104", "可用保证金不足");
    buy(1);
    UIDriver::tap(UIDriver::viewWithText("确定"));
    // No virtual time passes until the reply: the result cannot show before
    // the overlay's fade-out has run.
    ASSERT_TRUE(time.runUntil([&] { return !KAVProgressHUD::isVisible(); }));
    EXPECT_FALSE(alertShows("下单失败，原因：可用保证金不足")) << "not before the overlay is gone";
    time.advance(0.6);
    EXPECT_TRUE(alertShows("下单失败，原因：可用保证金不足"));
    EXPECT_EQ(ordersAtDealer(), 1u);
    EXPECT_TRUE(sim.desk("1001")["tickets"].empty());
}

}  // namespace
