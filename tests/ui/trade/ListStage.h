#pragma once

// What the tests of the accordion lists and their order screens share: a
// list shown in its navigation controller, its rows by key and its cells,
// waits for the pushes of one record (counted on the bus, so a push that
// leaves the values as they were still counts), and records posted on the
// bus as the application delegate posts them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Core/Model/MODHoldPosition.h"
#include "Core/Model/MODLimitBill.h"
#include "platform/ui/TableView.h"
#include "tests/ui/trade/TicketStage.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/trade/LSConvert.h"

namespace liststage {

using namespace platform::ui;

// Counts the records of one key posted on the bus under an action.
template <typename Record>
struct RecordPushes {
    std::string key;
    std::function<std::string(const Record&)> keyOf;
    int records = 0;
    Record last;
    void heard(const MoMessage& message) {
        if (const auto* list = message.objAs<MODList<Record>>())
            for (const auto& record : *list)
                if (record && keyOf(*record) == key) {
                    ++records;
                    last = *record;
                }
    }
};

// Posts the records on the bus under the action, as the application
// delegate does with the service's pushes.
template <typename Record>
void post(const char* action, std::vector<Record> records) {
    MODList<Record> list;
    for (auto& r : records)
        list.push_back(std::make_shared<Record>(std::move(r)));
    auto message = std::make_shared<MoMessage>();
    message->obj = std::move(list);
    BroadcastManager::postMessage(message, action);
}

template <typename List>
class ListTest : public tickettest::TicketTest {
  protected:
    void showList() {
        list = std::make_shared<List>();
        list->setContext(context);
        nav = std::make_shared<BaseNavigationController>(list);
        show(nav);
        ASSERT_TRUE(loaded());
    }
    bool loaded() {
        const bool done = time.runUntil([&] { return !list->isLoadingData(); });
        UIScreenRenderer::layoutWindows();
        return done;
    }
    // Covers the list and uncovers it: it appears anew and loads.
    void reappear() {
        nav->presentViewController(std::make_shared<UIViewController>(), false);
        time.advance(0.1);
        nav->dismissViewControllerAnimated(false);
        time.advance(0.1);
        UIScreenRenderer::layoutWindows();
    }
    UITableView* table() {
        return list->view()->template viewWithTag<UITableView>(List::kTagTable).get();
    }
    // The order codes of the rows, in their order (for the lists of tickets
    // and orders).
    std::vector<std::string> codes() const {
        std::vector<std::string> out;
        for (const auto& row : list->rows())
            out.push_back(row->orderCode);
        return out;
    }
    // The cell on screen that shows the row at the index.
    template <typename Cell>
    Cell* cellAt(long row) {
        UIScreenRenderer::layoutWindows();
        return dynamic_cast<Cell*>(
            table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
    }
    double heightOf(long row) {
        return table()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).size.height;
    }
    void tapRow(long row) {
        UIScreenRenderer::layoutWindows();
        UIDriver::tap(table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        time.advance(0.5);
        UIScreenRenderer::layoutWindows();
    }
    // Listens from now on to the records of the key posted under the action.
    template <typename Record>
    std::shared_ptr<RecordPushes<Record>> followRecords(
        const char* action, const std::string& key,
        std::function<std::string(const Record&)> keyOf) {
        auto pushes = std::make_shared<RecordPushes<Record>>();
        pushes->key = key;
        pushes->keyOf = std::move(keyOf);
        listens.push_back(BroadcastManager::listen(
            action, std::weak_ptr<RecordPushes<Record>>(pushes), &RecordPushes<Record>::heard));
        return pushes;
    }
    std::shared_ptr<RecordPushes<MODHoldPosition>> followPosition(const std::string& symbol) {
        return followRecords<MODHoldPosition>(
            kActionReceiveHoldPositionChange, symbol,
            [](const MODHoldPosition& p) { return p.symbolCode; });
    }
    std::shared_ptr<RecordPushes<MODLimitBill>> followOrder(const std::string& orderCode) {
        return followRecords<MODLimitBill>(kActionReceiveLimitBillChange, orderCode,
                                           [](const MODLimitBill& o) { return o.orderCode; });
    }
    // Runs `act` and then until the record's next push has been posted.
    template <typename Pushes, typename Act>
    void andItsPush(const std::shared_ptr<Pushes>& pushes, Act act) {
        const int before = pushes->records;
        act();
        ASSERT_TRUE(time.runUntil([&] { return pushes->records > before; }));
        UIScreenRenderer::layoutWindows();
    }
    // Places a pending order at the dealer; its code, once the service holds it.
    std::string placeOrder(const std::string& symbol, const std::string& side, double price,
                           double quantity = 1, double stopLose = 0, double takeProfit = 0) {
        const size_t before = sim.desk("1001")["orders"].size();
        bool done = false;
        std::string failure;
        sdk->limitOpenWithSymbol(
            symbol, quantity, side, price, stopLose, takeProfit, "1", "", [&] { done = true; },
            [&](const std::string& code, const std::string& message) {
                failure = code + " " + message;
            });
        EXPECT_TRUE(time.runUntil([&] { return done || !failure.empty(); }));
        EXPECT_TRUE(done) << failure;
        const auto orders = sim.desk("1001")["orders"];
        EXPECT_EQ(orders.size(), before + 1);
        if (orders.size() != before + 1) return {};
        const std::string code = orders.back()["orderCode"].template get<std::string>();
        EXPECT_TRUE(time.runUntil([&] { return sdk->getLimitBillWith(code) != nullptr; }));
        return code;
    }
    // Runs until the service holds the symbol's position with these sides.
    // A ticket's own push comes before the position's: a test that needs
    // the position (or the next push of it) waits for it first.
    void awaitPosition(const std::string& symbol, double buys, double sells) {
        ASSERT_TRUE(time.runUntil([&] {
            const auto p = sdk->getPositionWith(symbol);
            return p && p->quantityBuy == buys && p->quantitySell == sells;
        }));
    }
    // The screen the list presented, inside its navigation controller.
    template <typename Screen>
    Screen* presented() {
        auto* stack = dynamic_cast<BaseNavigationController*>(nav->presentedViewController());
        return stack ? dynamic_cast<Screen*>(stack->topViewController()) : nullptr;
    }

    std::shared_ptr<List> list;
    std::shared_ptr<BaseNavigationController> nav;
};

}  // namespace liststage
