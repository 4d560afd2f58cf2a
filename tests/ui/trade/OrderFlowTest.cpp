// The order road of the trading screens end to end against the simulated
// dealer: what one confirmation sends, the overlay always taken down before
// the result, and orders whose answer never came told as of unknown result,
// with the lists asked to reload and nothing sent again.
#include <gtest/gtest.h>

#include "platform/UserDefaults.h"
#include "tests/ui/toolkit/DealerToolkitStage.h"
#include "ui/services/BroadcastManager.h"
#include "ui/services/sysDB.h"
#include "ui/trade/OrderFlow.h"

using namespace toolkittest;

namespace {

class OrderFlowTest : public DealerToolkitTest {
  protected:
    void SetUp() override {
        DealerToolkitTest::SetUp();
        if (HasFatalFailure()) return;
        store->setValue("0", settingTag::isFlashOrder);
        unknownListen = platform::NotificationCenter::defaultCenter().addObserver(
            kActionOrderResultUnknown, [this](const platform::Notification&) { ++reloads; });
    }
    void TearDown() override {
        unknownListen.reset();
        DealerToolkitTest::TearDown();
    }

    // What the market-order screen's buy button does: confirm, then submit
    // with the price of the moment.
    void buy(double quantity, OrderFlow::Outcome outcome = {}) {
        const auto texts = OrderTexts::forAction(OrderAction::MarketOpen, store.get());
        flow.confirm(texts, store, [this, texts, quantity, outcome] {
            flow.submit(
                texts,
                [this, quantity](KAVDoneBlock ok, KAVFailureBlock fail) {
                    const auto symbol = sdk->getSymbolWith("EURUSD");
                    sdk->marketOpenWithSymbol("EURUSD", quantity, "b", symbol->ask,
                                              symbol->maxPointOffset, 0, 0, "", std::move(ok),
                                              std::move(fail));
                },
                outcome);
        });
        time.advance(0.4);
    }
    std::string topAlertMessage() {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        return alerts.empty() ? std::string() : alerts.back()->messageLabel()->text();
    }
    size_t alertCount() { return KAVAlertViewStack::sharedInstance().alertViews().size(); }
    // Runs until the overlay is gone and the result alert has come up.
    void awaitResult() {
        ASSERT_TRUE(time.runUntil([&] { return !KAVProgressHUD::isVisible(); }));
        time.advance(0.5);
    }

    std::shared_ptr<sysDB> store = std::make_shared<sysDB>();
    OrderFlow flow;
    int reloads = 0;
    platform::ObserverToken unknownListen;
};

TEST_F(OrderFlowTest, OneTapSkipsTheConfirmationOnlyWhereTheActionAllowsIt) {
    const auto market = OrderTexts::forAction(OrderAction::MarketOpen, store.get());
    EXPECT_EQ(market.confirmMessage, "确定要提交市价建仓吗?");
    const auto cancel = OrderTexts::forAction(OrderAction::CancelLimit, store.get(), "L0042");
    EXPECT_EQ(cancel.confirmMessage, "确定要撤消此单吗？（单号：L0042）");

    // One-tap on: the market order goes straight to the overlay; the cancel
    // still asks.
    store->setValue("1", settingTag::isFlashOrder);
    int submitted = 0;
    flow.confirm(market, store, [&] { ++submitted; });
    EXPECT_EQ(submitted, 1);
    EXPECT_EQ(alertCount(), 0u);
    flow.confirm(cancel, store, [&] { ++submitted; });
    EXPECT_EQ(submitted, 1);
    EXPECT_EQ(alertCount(), 1u);
    // "取消" sends nothing.
    UIDriver::tap(UIDriver::viewWithText("取消"));
    time.advance(0.4);
    EXPECT_EQ(submitted, 1);
    EXPECT_FALSE(flow.isConfirming());
}

TEST_F(OrderFlowTest, OneConfirmationSendsOneOrderAndTheSuccessClosesTheScreen) {
    sim.holdReply("3001");
    int closed = 0;
    buy(1, {nullptr, [&] { ++closed; }, nullptr});
    buy(1);  // a second tap on the buy button while the first asks: no second alert
    EXPECT_EQ(alertCount(), 1u);
    EXPECT_EQ(topAlertMessage(), "确定要提交市价建仓吗?");
    UIView* confirm = UIDriver::viewWithText("确定");
    UIDriver::tap(confirm);
    time.advance(0.05);
    UIDriver::tap(confirm);  // the double tap's second half, during the fade
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_EQ(KAVProgressHUD::sharedView()->stringLabel()->text(), "正在下单");
    EXPECT_TRUE(flow.isOutstanding());
    // While it runs, nothing starts a second one.
    EXPECT_FALSE(flow.submit(OrderTexts::forAction(OrderAction::MarketOpen, store.get()),
                             [](KAVDoneBlock, KAVFailureBlock) { ADD_FAILURE() << "sent"; }));
    time.advance(0.3);
    snapshot("order-flow-running");
    ASSERT_EQ(sim.waitForPackages("3001", 1).size(), 1u);
    sim.releaseHeld();
    awaitResult();
    EXPECT_EQ(topAlertMessage(), "下单成功。");
    EXPECT_EQ(closed, 0) << "the screen closes when the alert does";
    UIDriver::tap(UIDriver::viewWithText("确定"));
    time.advance(0.4);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(ordersAtDealer(), 1u);
    EXPECT_EQ(reloads, 0);
}

TEST_F(OrderFlowTest, FailuresShowTheReasonAndOnlyLateOnesLeaveTheResultOpen) {
    // Refused before it was sent (not a whole lot): a plain failure.
    buy(0);
    UIDriver::tap(UIDriver::viewWithText("确定"));
    awaitResult();
    EXPECT_EQ(topAlertMessage().rfind("下单失败，原因：", 0), 0u) << topAlertMessage();
    UIDriver::tap(UIDriver::viewWithText("确定"));
    time.advance(0.4);

    // A channel found not ready inside the call: nothing was sent.
    const auto texts = OrderTexts::forAction(OrderAction::CloseTicket, store.get());
    flow.submit(texts, [](KAVDoneBlock, KAVFailureBlock fail) {
        fail(kKAVNotReady.code, kKAVNotReady.message);
    });
    awaitResult();
    EXPECT_EQ(topAlertMessage(), "下单失败，原因：通讯组件未就绪");
    UIDriver::tap(UIDriver::viewWithText("确定"));
    time.advance(0.4);
    EXPECT_EQ(reloads, 0);

    // The same code after the order went out: its result is open.
    KAVFailureBlock later;
    flow.submit(texts, [&](KAVDoneBlock, KAVFailureBlock fail) { later = std::move(fail); });
    later(kKAVNotReady.code, kKAVNotReady.message);
    later(kKAVNotReady.code, kKAVNotReady.message);  // a second answer changes nothing
    awaitResult();
    EXPECT_EQ(topAlertMessage().rfind("下单结果未知（通讯组件未就绪）", 0), 0u)
        << topAlertMessage();
    EXPECT_EQ(alertCount(), 1u);
    EXPECT_EQ(reloads, 1);
    snapshot("order-flow-unknown");
}

TEST_F(OrderFlowTest, TimedOutOrderIsReportedUnknownAndNeverSentAgain) {
    sim.dropReply("3001");  // the dealer executes it; the answer never comes
    int closed = 0;
    int unknown = 0;
    buy(1, {nullptr, [&] { ++closed; }, [&] { ++unknown; }});
    UIDriver::tap(UIDriver::viewWithText("确定"));
    ASSERT_EQ(sim.waitForPackages("3001", 1).size(), 1u);
    time.advance(sdk->timeOut() - 1);
    EXPECT_TRUE(KAVProgressHUD::isVisible()) << "still waiting within the time-out";
    time.advance(1.5);
    awaitResult();
    EXPECT_EQ(topAlertMessage().rfind("下单结果未知（请求超时）", 0), 0u) << topAlertMessage();
    EXPECT_EQ(unknown, 1);
    EXPECT_EQ(reloads, 1);
    // It was executed: its ticket is at the dealer.
    EXPECT_EQ(sim.desk("1001")["tickets"].size(), 1u);
    UIDriver::tap(UIDriver::viewWithText("确定"));
    time.advance(30);
    EXPECT_EQ(closed, 0) << "an unknown result does not close the screen";
    EXPECT_EQ(ordersAtDealer(), 1u);
    EXPECT_FALSE(flow.isOutstanding());
}

TEST_F(OrderFlowTest, SessionDroppedWhileTheOrderRunsStillTakesTheOverlayDown) {
    sim.holdReply("3001");
    buy(1);
    UIDriver::tap(UIDriver::viewWithText("确定"));
    ASSERT_EQ(sim.waitForPackages("3001", 1).size(), 1u);
    // The session ends (a logout, or the same account elsewhere): the
    // service drops the order's blocks without a word.
    sdk->stopConnect();
    awaitResult();
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_EQ(topAlertMessage().rfind("下单结果未知（连接已断开）", 0), 0u) << topAlertMessage();
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(flow.isOutstanding());
}

TEST_F(OrderFlowTest, AnOverlayThatTookTheOrdersPlaceIsLeftUp) {
    sim.holdReply("3001");
    buy(1);
    UIDriver::tap(UIDriver::viewWithText("确定"));
    ASSERT_EQ(sim.waitForPackages("3001", 1).size(), 1u);
    // The logout shows its own overlay, then the session drops the order.
    KAVProgressHUD::showWithStatus("正在注销……", KAVProgressHUDMaskTypeBlack);
    sdk->stopConnect();
    time.advance(0.5);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_EQ(KAVProgressHUD::sharedView()->stringLabel()->text(), "正在注销……");
    EXPECT_EQ(topAlertMessage().rfind("下单结果未知", 0), 0u) << topAlertMessage();
}

TEST_F(OrderFlowTest, CancelShowsItsOkAlertAndDropsTheRowAtOnce) {
    const auto texts = OrderTexts::forAction(OrderAction::CancelLimit, store.get(), "L1");
    bool dropped = false;
    flow.confirm(texts, store, [&] {
        flow.submit(texts, [](KAVDoneBlock ok, KAVFailureBlock) { ok(); },
                    {[&] { dropped = true; }, nullptr, nullptr});
    });
    time.advance(0.4);
    UIDriver::tap(UIDriver::viewWithText("确定"));
    awaitResult();
    EXPECT_EQ(topAlertMessage(), "撤单操作成功");
    EXPECT_TRUE(dropped) << "before the alert is closed";
    EXPECT_NE(UIDriver::viewWithText("Ok"), nullptr);
}

}  // namespace
