#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "tests/ui/services/ServicesFixture.h"
#include "ui/services/BroadcastManager.h"
#include "ui/services/MsgCenter.h"
#include "ui/services/sysLog.h"

namespace {

using Quotes = std::vector<std::string>;

// A screen that listens while it is visible.
struct Screen : std::enable_shared_from_this<Screen> {
    std::vector<std::string> heard;
    std::shared_ptr<int> tally = std::make_shared<int>(0);  // outlives the screen
    std::vector<std::shared_ptr<const Quotes>> payloads;

    void viewDidAppear() {
        for (const char* action : {kActionReceiveTradeQuotation, kActionReceiveAccountChange}) {
            BroadcastManager::addBroadcastListenerWithObserver(shared_from_this(),
                                                               &Screen::onReciveBroadcast, action);
        }
    }
    void viewDidDisappear() {
        for (const char* action : {kActionReceiveTradeQuotation, kActionReceiveAccountChange}) {
            BroadcastManager::removeBroadcastListenerWithObserver(this, action);
        }
    }
    void onReciveBroadcast(const platform::Notification& n) {
        ++*tally;
        heard.push_back(n.name);
        auto message = MoMessage::of(n);
        ASSERT_TRUE(message);
        if (auto list = message->objAs<std::shared_ptr<const Quotes>>()) payloads.push_back(*list);
    }
};

void post(const char* action, std::shared_ptr<const Quotes> list = nullptr) {
    auto message = std::make_shared<MoMessage>();
    if (list) message->obj = list;
    BroadcastManager::postMessage(message, action);
}

TEST(EventBus, OnlyCurrentListenersHearABroadcastAndEachHearsItOnce) {
    auto board = std::make_shared<Screen>();
    auto account = std::make_shared<Screen>();
    post(kActionReceiveTradeQuotation);  // nobody listens: dropped

    board->viewDidAppear();
    board->viewDidAppear();  // appearing twice still registers once
    account->viewDidAppear();
    auto quotes = std::make_shared<const Quotes>(Quotes{"EURUSD", "XAUUSD", "USDJPY"});
    post(kActionReceiveTradeQuotation, quotes);
    ASSERT_EQ(board->payloads.size(), 1u);
    EXPECT_EQ(board->payloads[0], quotes) << "the same list, not a copy";
    EXPECT_EQ(account->heard, std::vector<std::string>{kActionReceiveTradeQuotation});

    board->viewDidDisappear();
    post(kActionReceiveAccountChange);
    post(kActionReceiveHoldBillChange);  // nobody asked for it
    EXPECT_EQ(board->heard.size(), 1u);
    EXPECT_EQ(account->heard.size(), 2u);

    board->viewDidAppear();
    post(kActionReceiveAccountChange);
    EXPECT_EQ(board->heard.size(), 2u);
    EXPECT_EQ(board->heard.back(), kActionReceiveAccountChange);

    // A screen destroyed without saying goodbye is never called again.
    const auto accountTally = account->tally;
    EXPECT_EQ(*accountTally, 3);
    account.reset();
    post(kActionReceiveAccountChange);
    EXPECT_EQ(*accountTally, 3);
    EXPECT_EQ(board->heard.size(), 3u);
    board->viewDidDisappear();
    EXPECT_EQ(listeners::count(board.get()), 0u);
}

TEST(EventBus, AListenerMayLeaveWhileABroadcastIsDelivered) {
    auto first = std::make_shared<Screen>();
    auto second = std::make_shared<Screen>();
    int calls = 0;
    // The first listener takes the second one off the bus, then itself.
    BroadcastManager::addBroadcastListenerWithObserver(
        first,
        [&, raw = first.get(), other = second.get()](const platform::Notification&) {
            ++calls;
            BroadcastManager::removeBroadcastListenerWithObserver(other,
                                                                  kActionReceiveLimitBillChange);
            BroadcastManager::removeBroadcastListenerWithObserver(raw,
                                                                  kActionReceiveLimitBillChange);
        },
        kActionReceiveLimitBillChange);
    BroadcastManager::addBroadcastListenerWithObserver(second, &Screen::onReciveBroadcast,
                                                       kActionReceiveLimitBillChange);
    post(kActionReceiveLimitBillChange);
    post(kActionReceiveLimitBillChange);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(second->heard.empty());
}

TEST(EventBus, AListenerRegisteredAgainDuringABroadcastHearsItOnce) {
    // A broadcast makes another screen appear again, and the screen
    // registers again as it appears: it listened all along, so it hears the
    // broadcast once, wherever it stands in the order.
    for (bool againBeforeItsTurn : {true, false}) {
        SCOPED_TRACE(againBeforeItsTurn);
        auto board = std::make_shared<Screen>();
        auto other = std::make_shared<Screen>();
        auto appear = std::make_shared<int>();
        const auto register_ = [&] {
            BroadcastManager::addBroadcastListenerWithObserver(
                appear, [raw = other.get()](const platform::Notification&) { raw->viewDidAppear(); },
                kActionReceiveTradeQuotation);
        };
        if (againBeforeItsTurn) register_();
        other->viewDidAppear();
        if (!againBeforeItsTurn) register_();
        board->viewDidAppear();
        post(kActionReceiveTradeQuotation);
        EXPECT_EQ(other->heard, std::vector<std::string>{kActionReceiveTradeQuotation});
        EXPECT_EQ(board->heard.size(), 1u);
        post(kActionReceiveTradeQuotation);
        EXPECT_EQ(other->heard.size(), 2u);
        EXPECT_EQ(board->heard.size(), 2u);
        BroadcastManager::removeBroadcastListenerWithObserver(appear.get(),
                                                              kActionReceiveTradeQuotation);
        other->viewDidDisappear();
        board->viewDidDisappear();
    }

    // A listener that registers itself again from inside its own call is
    // still running what it replaced: that stays alive until it returns.
    auto self = std::make_shared<int>();
    std::vector<std::string> calls;
    std::function<void(int)> registerAs = [&](int round) {
        auto text = std::make_shared<std::string>("round " + std::to_string(round));
        BroadcastManager::addBroadcastListenerWithObserver(
            self,
            [&, text, round](const platform::Notification&) {
                registerAs(round + 1);
                calls.push_back(*text);
            },
            kActionReceiveTradeQuotation);
    };
    registerAs(0);
    post(kActionReceiveTradeQuotation);
    post(kActionReceiveTradeQuotation);
    EXPECT_EQ(calls, (std::vector<std::string>{"round 0", "round 1"}));
    BroadcastManager::removeBroadcastListenerWithObserver(self.get(), kActionReceiveTradeQuotation);
}

// The application delegate's subscription to the settings notice.
struct Delegate {
    std::shared_ptr<int> settingChanges = std::make_shared<int>(0);  // outlives the delegate
    void onSettingChange() { ++*settingChanges; }
};

// A screen's subscription held as a member token: it hears its action only
// while the token is set, and a screen that is gone is never called even when
// its token outlives it (moved elsewhere).
TEST(EventBus, ATokenSubscriptionEndsWithTheTokenAndNeverCallsADeadScreen) {
    struct Board {
        int quotes = 0;
        void onQuote(const MoMessage& m) { quotes += m.arg1; }
    };
    auto board = std::make_shared<Board>();
    platform::ObserverToken token = BroadcastManager::listen(
        kActionReceiveTradeQuotation, std::weak_ptr<Board>(board), &Board::onQuote);
    auto quote = [](int n) {
        auto m = std::make_shared<MoMessage>();
        m->arg1 = n;
        BroadcastManager::postMessage(m, kActionReceiveTradeQuotation);
    };
    quote(1);
    post(kActionReceiveAccountChange);  // another action is not heard
    EXPECT_EQ(board->quotes, 1);
    token.reset();
    quote(10);
    EXPECT_EQ(board->quotes, 1);

    platform::ObserverToken kept = BroadcastManager::listen(
        kActionReceiveTradeQuotation, std::weak_ptr<Board>(board), &Board::onQuote);
    std::weak_ptr<Board> gone = board;
    board.reset();
    quote(100);  // must not touch the destroyed screen (ASan would say so)
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(kept.isActive());
}

// A payload of another type than the action's is the poster's fault: the
// reader's accessor logs it (the action and both types) and hands back
// nothing, so a list never merges a wrong record list as if it were its own;
// a notice under a bus action that carries no message at all reaches no
// listener and is logged the same way.
TEST(EventBus, AWronglyTypedPayloadIsLoggedAndNeverReachesTheReader) {
    using Names = std::vector<std::string>;
    struct Board {
        std::vector<Names> merged;
        int heard = 0;
        void onQuote(const MoMessage& m) {
            ++heard;
            if (const auto* names = m.objAs<Names>()) merged.push_back(*names);
        }
    };
    auto board = std::make_shared<Board>();
    platform::ObserverToken token = BroadcastManager::listen(
        kActionReceiveTradeQuotation, std::weak_ptr<Board>(board), &Board::onQuote);
    platform::LogCapture log;

    auto right = std::make_shared<MoMessage>();
    right->obj = Names{"EURUSD"};
    BroadcastManager::postMessage(right, kActionReceiveTradeQuotation);
    ASSERT_EQ(board->merged.size(), 1u);
    EXPECT_TRUE(log.lines().empty());

    auto wrong = std::make_shared<MoMessage>();
    wrong->obj = std::vector<int>{7, 8};
    BroadcastManager::postMessage(wrong, kActionReceiveTradeQuotation);
    auto none = std::make_shared<MoMessage>();
    BroadcastManager::postMessage(none, kActionReceiveTradeQuotation);
    EXPECT_EQ(board->heard, 3);
    EXPECT_EQ(board->merged.size(), 1u) << "a wrong payload is never merged";
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.count("Event bus error: Action_ReceiveTradeQuotation carried std::vector<int"),
              1u);
    EXPECT_EQ(log.count("Action_ReceiveTradeQuotation carried nothing where std::vector<std::"),
              1u);

    platform::NotificationCenter::defaultCenter().post(kActionReceiveTradeQuotation, std::any(42));
    EXPECT_EQ(board->heard, 3);
    EXPECT_EQ(log.count("Action_ReceiveTradeQuotation carried int where a message was expected"),
              1u);
}

TEST(Notices, ASubscriptionMadeAtEveryStartRunsOncePerNotice) {
    auto app = std::make_shared<Delegate>();
    for (int start = 0; start < 3; ++start)
        MsgCenter::on("sys_4008", &Delegate::onSettingChange, app);
    const auto changes = app->settingChanges;
    platform::NotificationCenter::defaultCenter().post("sys_4008");
    EXPECT_EQ(*changes, 1);

    MsgCenter::removeCallBack("sys_4008", app.get());
    platform::NotificationCenter::defaultCenter().post("sys_4008");
    EXPECT_EQ(*changes, 1);

    // No call-back registers nothing.
    void (Delegate::*none)() = nullptr;
    MsgCenter::on("sys_4008", none, app);
    MsgCenter::on("sys_4008", listeners::Block(), app);
    EXPECT_EQ(listeners::count(app.get()), 0u);

    // A target that is gone is not called.
    MsgCenter::on("sys_4008", &Delegate::onSettingChange, app);
    platform::NotificationCenter::defaultCenter().post("sys_4008");
    EXPECT_EQ(*changes, 2);
    app.reset();
    platform::NotificationCenter::defaultCenter().post("sys_4008");
    EXPECT_EQ(*changes, 2);
}

TEST(LogRing, KeepsTheNewestFiftyLinesNewestFirst) {
    kavtest::Zone zone("UTC0");
    kavtest::VirtualTime time;  // 2026-01-05 09:00:00 UTC
    int notices = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        kNoticeLogAdded, [&](const platform::Notification&) { ++notices; });
    sysLog ring;
    EXPECT_TRUE(ring.logs().empty());
    for (int i = 0; i < 60; ++i) {
        ring.wLog("line " + std::to_string(i));
        time.advance(1);
    }
    ASSERT_EQ(ring.logs().size(), 50u);
    EXPECT_EQ(ring.logs().front(), "09:00:59 & line 59");
    EXPECT_EQ(ring.logs().back(), "09:00:10 & line 10");
    EXPECT_EQ(notices, 60);
}

}  // namespace
