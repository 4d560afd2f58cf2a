#pragma once

// What the ticket-screen tests share: tickets opened at the simulated dealer,
// waits for a ticket's pushes themselves (counted on the bus, so a push that
// leaves a value as it was still counts), quotes set by hand, typing into a
// field as a user does, and the alerts on top.

#include <memory>
#include <string>

#include "Core/Model/MODHoldBill.h"
#include "platform/Strings.h"
#include "platform/ui/TextField.h"
#include "tests/ui/trade/TradeStage.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/KAVKeyboardControls.h"

namespace tickettest {

using namespace platform::ui;
using tradetest::pixelsNear;

// Counts the ticket records posted on the bus for one order code.
struct TicketPushes {
    std::string orderCode;
    int records = 0;
    MODHoldBill last;
    void heard(const MoMessage& message) {
        if (const auto* bills = message.objAs<MODList<MODHoldBill>>())
            for (const auto& bill : *bills)
                if (bill && bill->orderCode == orderCode) {
                    ++records;
                    last = *bill;
                }
    }
};

class TicketTest : public tradetest::LiveTradeTest {
  protected:
    void SetUp() override {
        LiveTradeTest::SetUp();
        // The settings are shared on disk: each test starts from the defaults.
        store->setValue("0", settingTag::isFlashOrder);
        store->setValue("5", settingTag::pointMove);
    }

    // Opens a ticket at market; its code, once the service holds it.
    std::string openTicket(const std::string& symbol, const std::string& side,
                           double quantity = 1) {
        const size_t before = sim.desk("1001")["tickets"].size();
        const auto info = sdk->getSymbolWith(symbol);
        bool done = false;
        std::string failure;
        sdk->marketOpenWithSymbol(
            symbol, quantity, side, side == "b" ? info->ask : info->bid, info->maxPointOffset, 0, 0,
            "", [&] { done = true; },
            [&](const std::string& code, const std::string& message) {
                failure = code + " " + message;
            });
        EXPECT_TRUE(time.runUntil([&] { return done || !failure.empty(); }));
        EXPECT_TRUE(done) << failure;
        const auto tickets = sim.desk("1001")["tickets"];
        EXPECT_EQ(tickets.size(), before + 1);
        if (tickets.size() != before + 1) return {};
        const std::string code = tickets.back()["orderCode"].get<std::string>();
        EXPECT_TRUE(time.runUntil([&] { return sdk->getHoldBillWith(code) != nullptr; }));
        return code;
    }

    // Listens to the ticket's records on the bus from now on.
    std::shared_ptr<TicketPushes> follow(const std::string& orderCode) {
        auto pushes = std::make_shared<TicketPushes>();
        pushes->orderCode = orderCode;
        listens.push_back(BroadcastManager::listen(kActionReceiveHoldBillChange,
                                                   std::weak_ptr<TicketPushes>(pushes),
                                                   &TicketPushes::heard));
        return pushes;
    }
    // Runs `act` and then until the ticket's next record has been posted.
    template <typename Act>
    void andItsPush(const std::shared_ptr<TicketPushes>& pushes, Act act) {
        const int before = pushes->records;
        act();
        ASSERT_TRUE(time.runUntil([&] { return pushes->records > before; }));
        UIScreenRenderer::layoutWindows();
    }

    // Types into the field as a user does: tap, delete what is there, type.
    void typeInto(UITextField* field, const std::string& text) {
        UIDriver::tap(field);
        time.advance(0.3);
        std::string erase;
        for (size_t i = 0; i < platform::utf8Length(field->text()); ++i)
            erase += "\b";
        UIDriver::typeText(erase + text);
        // Done on the keyboard bar, as a user does before the buttons under
        // the keyboard can be reached.
        auto* bar = dynamic_cast<KAVKeyboardControls*>(field->inputAccessoryView().get());
        ASSERT_NE(bar, nullptr);
        UIDriver::tap(bar->toolbar()->viewForItem(bar->doneButton()));
        time.advance(0.5);
    }

    std::shared_ptr<KAVAlertView> topAlert() {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        return alerts.empty() ? nullptr : alerts.back();
    }
    std::string topAlertText() {
        auto alert = topAlert();
        return alert ? alert->titleLabel()->text() + "/" + alert->messageLabel()->text()
                     : std::string();
    }
    // Taps the alert's button with the caption and lets it go.
    void answerAlert(const std::string& caption) {
        auto alert = topAlert();
        ASSERT_TRUE(alert);
        UIView* button = UIDriver::viewWithText(caption, alert->view());
        ASSERT_NE(button, nullptr) << caption;
        UIDriver::tap(button);
        time.advance(0.5);
    }
    // Runs until the overlay is gone and the result alert is up.
    void awaitResult() {
        ASSERT_TRUE(time.runUntil([&] { return !KAVProgressHUD::isVisible(); }));
        time.advance(0.5);
    }
    size_t packagesAtDealer(const std::string& event) {
        return sim.packages(kavtest::SimService::Trade, event).size();
    }

    std::vector<platform::ObserverToken> listens;
};

}  // namespace tickettest
