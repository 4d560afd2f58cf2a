#pragma once

// The live session against the simulated dealer on the virtual clock: a
// delegate that records every call, and a fixture that logs in, places
// orders and waits for what the dealer pushed.

#include <gtest/gtest.h>

#include <cmath>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

namespace livetest {

using namespace kavtest;

// Every call in one list ("quote EURUSD", "tickets 2", ...), so that the
// order across kinds shows, and the records of each.
struct LiveDelegate : WSPushMessage {
    void onNetworkStatus(int32_t status) override { statuses.push_back(status); }
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        for (const auto& s : symbols)
            events.push_back("quote " + s->symbolCode);
    }
    void onHoldBillChange(const MODList<MODHoldBill>& list) override {
        record("tickets", list, tickets);
    }
    void onHoldPositionChange(const MODList<MODHoldPosition>& list) override {
        record("positions", list, positions);
    }
    void onAccountChange(const MODList<MODUserAccount>& list) override {
        record("account", list, accounts);
    }
    void onLimitBillChange(const MODList<MODLimitBill>& list) override {
        record("orders", list, orders);
    }
    void onCloseBillChange(const MODList<MODCloseBill>& list) override {
        record("closed", list, closed);
    }
    void onSymbolChange(const MODList<MODSymbolInfo>& list) override {
        record("symbols", list, symbols);
    }
    void onExchangeRateChange(const MODList<MODCERInfo>& list) override {
        record("rates", list, rates);
    }
    void onBulletinPush(const MODList<MODBulletin>& list) override {
        record("bulletins", list, bulletins);
    }
    void onRiskChange(const std::vector<MODList<MODRiskInfo>>& list) override {
        events.push_back("risk " + std::to_string(list.size()));
        risks = list;
    }
    void onSameUserLogin() override { events.push_back("same-user-login"); }
    void onTerminal() override { events.push_back("terminal"); }
    void onLogout() override { events.push_back("logout"); }
    void onNetworkUnready() override { events.push_back("network-unready"); }

    template <typename T>
    void record(const std::string& kind, const MODList<T>& list, std::vector<MODList<T>>& into) {
        events.push_back(kind + " " + std::to_string(list.size()));
        into.push_back(list);
    }
    bool saw(const std::string& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    void clear() { *this = LiveDelegate(); }

    std::vector<std::string> events;
    std::vector<int> statuses;
    std::vector<MODList<MODHoldBill>> tickets;
    std::vector<MODList<MODHoldPosition>> positions;
    std::vector<MODList<MODUserAccount>> accounts;
    std::vector<MODList<MODLimitBill>> orders;
    std::vector<MODList<MODCloseBill>> closed;
    std::vector<MODList<MODSymbolInfo>> symbols;
    std::vector<MODList<MODCERInfo>> rates;
    std::vector<MODList<MODBulletin>> bulletins;
    std::vector<MODList<MODRiskInfo>> risks;
};

// Takes only what a screen of net positions and the account needs.
struct AccountOnlyDelegate : WSPushMessage {
    void onHoldPositionChange(const MODList<MODHoldPosition>&) override {
        events.push_back("positions");
    }
    void onAccountChange(const MODList<MODUserAccount>&) override { events.push_back("account"); }
    std::vector<std::string> events;
};

class LiveSession : public ::testing::Test {
  protected:
    void SetUp() override { sdk->setDelegate(delegate); }

    void login(const std::string& password = "123456") { loginTo(sim, password); }
    void loginTo(DealerSim& dealer, const std::string& password = "123456") {
        bool ok = false;
        Reported failed;
        sdk->loginWithUserId(
            "1001", password, "", {dealer.realLoginUrl()}, [&] { ok = true; }, failed.failure());
        ASSERT_TRUE(time.runUntil([&] { return ok || failed.calls > 0; }));
        ASSERT_TRUE(ok) << failed.code << " " << failed.message;
    }
    // Runs an order action to its reply.
    void order(const std::function<void(KAVDoneBlock, KAVFailureBlock)>& send) {
        bool ok = false;
        Reported failed;
        send([&] { ok = true; }, failed.failure());
        ASSERT_TRUE(time.runUntil([&] { return ok || failed.calls > 0; }));
        ASSERT_TRUE(ok) << failed.code << " " << failed.message;
    }
    void market(const std::string& code, double quantity, const std::string& side) {
        const auto s = sdk->getSymbolWith(code);
        order([&](KAVDoneBlock done, KAVFailureBlock fail) {
            sdk->marketOpenWithSymbol(code, quantity, side, side == "b" ? s->ask : s->bid,
                                      s->maxPointOffset, 0, 0, "", done, fail);
        });
    }
    // A pending EURUSD order at `price`, kept until cancelled.
    void limit(double quantity, const std::string& side, double price) {
        order([&](KAVDoneBlock done, KAVFailureBlock fail) {
            sdk->limitOpenWithSymbol("EURUSD", quantity, side, price, 0, 0, "0", "", done, fail);
        });
    }
    // The cached ticket of a market buy of EURUSD, the first ticket pushed
    // since the delegate's records were cleared (null when none came).
    std::shared_ptr<MODHoldBill> boughtTicket(double quantity) {
        market("EURUSD", quantity, "b");
        if (!settle() || delegate->tickets.empty()) return nullptr;
        return sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    }
    // Closes `quantity` of the ticket at market.
    void closeAtMarket(const std::shared_ptr<MODHoldBill>& ticket, double quantity) {
        order([&](KAVDoneBlock done, KAVFailureBlock fail) {
            sdk->marketCloseWithOrder(ticket, quantity, 50, 0, "", done, fail);
        });
    }
    bool waitFor(const std::function<bool()>& predicate) { return time.runUntil(predicate); }
    // Waits until a status push sent after everything else has arrived.
    bool settle(SimService service = SimService::Trade) { return settle(service, sim); }
    bool settle(SimService service, DealerSim& dealer) {
        const int marker = 900 + ++markers;
        dealer.push(service, "sys_9001", {{"actCode", std::to_string(marker)}});
        return waitFor(
            [&] { return delegate->statuses.size() && delegate->statuses.back() == marker; });
    }
    std::shared_ptr<MODHoldBill> pushedTicket(size_t i) { return delegate->tickets.at(i).at(0); }

    VirtualTime time;
    platform::LogCapture logs;
    DealerSim sim;
    std::shared_ptr<LiveDelegate> delegate = std::make_shared<LiveDelegate>();
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    int markers = 0;
};

// The points between two prices at the symbol's decimals.
inline int32_t pointsBetween(double a, double b, int decimal) {
    return static_cast<int32_t>(std::llround(std::fabs(a - b) * std::pow(10.0, decimal)));
}

}  // namespace livetest
