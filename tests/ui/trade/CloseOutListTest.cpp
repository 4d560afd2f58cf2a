// The closed tickets list against the simulated dealer, as a user sees it:
// the header with the day's closed profit in its three colours, each
// closed ticket's figures and its profit's colour, the open row's detail;
// closing pushes appending new tickets and adding to the day's total, each
// close of a ticket closed in parts counted, a push of a listed close
// changing nothing, two closes alike but for what was held both counted.
#include "Core/Model/MODCloseBill.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Dates.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/CloseOutCell.h"
#include "ui/trade/CloseOutViewController.h"

using namespace liststage;
using tradetest::pixelsNear;
using kavtest::SimJson;
using kavtest::SimService;

namespace {

struct ClosedPushes {
    int records = 0;
    MODCloseBill last;
    void heard(const MoMessage& message) {
        if (const auto* bills = message.objAs<MODList<MODCloseBill>>())
            for (const auto& bill : *bills)
                if (bill) {
                    ++records;
                    last = *bill;
                }
    }
};

class CloseOutListTest : public ListTest<CloseOutViewController> {
  protected:
    void SetUp() override {
        ListTest::SetUp();
        listens.push_back(BroadcastManager::listen(kActionReceiveCloseBillChange,
                                                   std::weak_ptr<ClosedPushes>(closed),
                                                   &ClosedPushes::heard));
    }
    CloseOutCell* cell(long row) { return cellAt<CloseOutCell>(row); }
    UILabel* total() {
        return list->view()->viewWithTag<UILabel>(CloseOutViewController::kTagTotal).get();
    }
    // Closes the ticket at the dealer; runs until its closed record is on the bus.
    void closeTicket(const std::string& code) {
        const int before = closed->records;
        bool done = false;
        std::string failure;
        sdk->marketCloseWithOrder(
            sdk->getHoldBillWith(code), 1, 50, 0, "", [&] { done = true; },
            [&](const std::string& c, const std::string& m) { failure = c + " " + m; });
        ASSERT_TRUE(time.runUntil([&] { return done || !failure.empty(); }));
        ASSERT_TRUE(done) << failure;
        ASSERT_TRUE(time.runUntil([&] { return closed->records > before; }));
        UIScreenRenderer::layoutWindows();
    }
    // The colour the total shows in: 1 red, -1 green, 0 grey 160.
    int totalColour(const std::string& name) {
        const auto image = shot(name);
        const int red = pixelsNear(image, total(), 187, 46, 36, 30);
        const int green = pixelsNear(image, total(), 111, 255, 27, 30);
        const int grey = pixelsNear(image, total(), 160, 160, 160, 30);
        if (red > 10 && green < 10 && grey < 10) return 1;
        if (green > 10 && red < 10 && grey < 10) return -1;
        if (grey > 10 && red < 10 && green < 10) return 0;
        ADD_FAILURE() << "red " << red << " green " << green << " grey " << grey;
        return 2;
    }
    std::string price(double value, int decimals) { return sysDB::formatPrice(value, decimals); }

    std::shared_ptr<ClosedPushes> closed = std::make_shared<ClosedPushes>();
};

TEST_F(CloseOutListTest, TheDaysTotalInItsThreeColoursAndEachClosedTicketsFigures) {
    showList();
    EXPECT_EQ(list->title(), "平仓单");
    ASSERT_TRUE(codes().empty());
    EXPECT_EQ(total()->text(), "当日盈亏 : 0.00");
    EXPECT_EQ(totalColour("close-out-empty"), 0);

    // A euro bought and sold 12 points higher: a gain of 120, appended by
    // its push while the list shows.
    const std::string gain = openTicket("EURUSD", "b");
    const double opened = sdk->getHoldBillWith(gain)->priceHold;
    andItsPush(follow(gain), [&] { sim.setBid("EURUSD", opened + 0.0012); });
    closeTicket(gain);
    ASSERT_EQ(codes(), std::vector<std::string>{gain});
    EXPECT_EQ(total()->text(), "当日盈亏 : 120.00");
    EXPECT_EQ(totalColour("close-out-gain"), 1);

    CloseOutCell* c = cell(0);
    ASSERT_NE(c, nullptr);
    const MODCloseBill bill = closed->last;
    EXPECT_EQ(c->symbolNameLabel()->text(), "欧元美元");
    EXPECT_EQ(c->closeTimeLabel()->text(),
              "平仓时间：" + platform::dates::format(*platform::dates::parse(bill.closeDate),
                                                     "MM-dd HH:mm:ss"));
    EXPECT_EQ(c->holdPriceLabel()->text(), "持仓：" + price(opened, 5));
    EXPECT_EQ(c->closePriceLabel()->text(), "平仓：" + price(opened + 0.0012, 5));
    EXPECT_EQ(c->quantityLabel()->text(), "数量 1.0");
    EXPECT_EQ(c->profitLabel()->text(), "120");

    // Open: the trade's detail. A buy closed by selling.
    tapRow(0);
    EXPECT_EQ(heightOf(0), CloseOutCell::kExpandedRowHeight);
    c = cell(0);
    ASSERT_TRUE(UIDriver::isVisible(c->detailView()));
    const std::vector<std::pair<std::string, std::string>> detail = {
        {"建仓时间：", bill.openDate},  {"建仓方向：", "买入"},
        {"平仓方向：", "卖出"},         {"手续费：", "0.00"},
        {"建仓价：", price(opened, 5)}, {"累计盈亏：", price(bill.profitCloseTotal, 2)}};
    EXPECT_EQ(c->detailLabel(0, 0)->text(), detail[0].first);
    EXPECT_EQ(c->detailLabel(0, 1)->text(), detail[0].second);
    EXPECT_EQ(c->detailLabel(1, 0)->text(), detail[1].first);
    EXPECT_EQ(c->detailLabel(1, 1)->text(), detail[1].second);
    EXPECT_EQ(c->detailLabel(1, 2)->text(), detail[2].first);
    EXPECT_EQ(c->detailLabel(1, 3)->text(), detail[2].second);
    EXPECT_EQ(c->detailLabel(2, 0)->text(), detail[3].first);
    EXPECT_EQ(c->detailLabel(2, 1)->text(), detail[3].second);
    EXPECT_EQ(c->detailLabel(2, 3)->text(), detail[3].second);
    EXPECT_EQ(c->detailLabel(3, 0)->text(), detail[4].first);
    EXPECT_EQ(c->detailLabel(3, 1)->text(), detail[4].second);
    EXPECT_EQ(c->detailLabel(3, 2)->text(), detail[5].first);
    EXPECT_EQ(c->detailLabel(3, 3)->text(), detail[5].second);
    auto image = shot("close-out-open");
    EXPECT_GT(pixelsNear(image, c->profitLabel(), 187, 46, 36, 30), 10);

    // Gold sold and bought back 3 higher: a loss of 300 (on 1 x 100) turns
    // the day's total green; the open row stays open.
    const std::string loss = openTicket("XAUUSD", "s");
    const double sold = sdk->getHoldBillWith(loss)->priceHold;
    andItsPush(follow(loss), [&] { sim.setAsk("XAUUSD", sold + 3); });
    closeTicket(loss);
    ASSERT_EQ(codes(), (std::vector<std::string>{gain, loss}));
    EXPECT_EQ(total()->text(), "当日盈亏 : -180.00");
    EXPECT_EQ(totalColour("close-out-loss"), -1);
    EXPECT_EQ(heightOf(0), CloseOutCell::kExpandedRowHeight);
    tapRow(1);
    c = cell(1);
    EXPECT_EQ(c->profitLabel()->text(), "-300");
    EXPECT_EQ(c->detailLabel(1, 1)->text(), "卖出") << "a sell closed by buying";
    EXPECT_EQ(c->detailLabel(1, 3)->text(), "买入");
    EXPECT_EQ(heightOf(0), CloseOutCell::kRowHeight);
    image = shot("close-out-loss-open");
    EXPECT_GT(pixelsNear(image, c->profitLabel(), 111, 255, 27, 30), 10);

    // The next appearance loads both, all rows closed, and the same total.
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), (std::vector<std::string>{gain, loss}));
    EXPECT_EQ(total()->text(), "当日盈亏 : -180.00");
    EXPECT_EQ(heightOf(1), CloseOutCell::kRowHeight);
}

TEST_F(CloseOutListTest, APushOfAListedCloseChangesNeitherTheRowNorTheTotal) {
    const std::string code = openTicket("US30", "b");
    const double opened = sdk->getHoldBillWith(code)->priceHold;
    andItsPush(follow(code), [&] { sim.setBid("US30", opened + 2); });
    closeTicket(code);
    showList();
    ASSERT_EQ(codes(), std::vector<std::string>{code});
    EXPECT_EQ(total()->text(), "当日盈亏 : 20.00");

    // The same close again (code, time, quantity and price) with another
    // profit: nothing changes.
    MODCloseBill again = closed->last;
    again.profitClose = -999;
    post(kActionReceiveCloseBillChange, std::vector<MODCloseBill>{again});
    EXPECT_EQ(codes(), std::vector<std::string>{code});
    EXPECT_EQ(total()->text(), "当日盈亏 : 20.00");
    EXPECT_EQ(cell(0)->quantityLabel()->text(), "数量 1.0");
    EXPECT_EQ(cell(0)->profitLabel()->text(), "20");
    shot("close-out-list");
}

TEST_F(CloseOutListTest, EachCloseOfATicketClosedInPartsIsListedAndCounted) {
    // Two euros bought with a take-profit 20 points up; one sold 12 points up.
    const std::string code = openTicket("EURUSD", "b", 2);
    const double opened = sdk->getHoldBillWith(code)->priceHold;
    bool changed = false;
    sdk->modifyOrderWithSymbol("EURUSD", 0, opened + 0.0020, code, "", [&] { changed = true; }, {});
    ASSERT_TRUE(time.runUntil([&] { return changed; }));
    auto pushes = follow(code);
    andItsPush(pushes, [&] { sim.setBid("EURUSD", opened + 0.0012); });
    closeTicket(code);
    showList();
    ASSERT_EQ(codes(), std::vector<std::string>{code});
    EXPECT_EQ(total()->text(), "当日盈亏 : 120.00");

    // The take-profit closes the rest while the list shows: the dealer gives
    // this close the ticket's code too, and it is a close of its own.
    const int before = closed->records;
    sim.setBid("EURUSD", opened + 0.0020);
    ASSERT_TRUE(time.runUntil([&] { return closed->records > before; }));
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(codes(), (std::vector<std::string>{code, code}));
    EXPECT_EQ(total()->text(), "当日盈亏 : 320.00");
    ASSERT_NE(cell(1), nullptr);
    EXPECT_EQ(cell(1)->profitLabel()->text(), "200");
    shot("close-out-partial-closes");

    // The next appearance lists the same two closes and the same total.
    reappear();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(codes(), (std::vector<std::string>{code, code}));
    EXPECT_EQ(total()->text(), "当日盈亏 : 320.00");
}

TEST_F(CloseOutListTest, TheRestClosedInTheSameSecondAtTheSamePriceIsACloseOfItsOwn) {
    // Two euros bought; one sold 12 points up.
    const std::string code = openTicket("EURUSD", "b", 2);
    const double opened = sdk->getHoldBillWith(code)->priceHold;
    andItsPush(follow(code), [&] { sim.setBid("EURUSD", opened + 0.0012); });
    closeTicket(code);
    showList();
    ASSERT_EQ(codes(), std::vector<std::string>{code});
    EXPECT_EQ(total()->text(), "当日盈亏 : 120.00");
    const MODCloseBill first = closed->last;
    ASSERT_EQ(first.quantityHold, 2);

    // The other lot goes in the same second at the same price (its
    // take-profit, say): alike in all but what was held before it.
    MODCloseBill rest = first;
    rest.quantityHold = 1;
    post(kActionReceiveCloseBillChange, std::vector<MODCloseBill>{rest});
    EXPECT_EQ(codes(), (std::vector<std::string>{code, code}));
    EXPECT_EQ(total()->text(), "当日盈亏 : 240.00");

    // Each pushed again: nothing changes.
    post(kActionReceiveCloseBillChange, std::vector<MODCloseBill>{first, rest});
    EXPECT_EQ(codes(), (std::vector<std::string>{code, code}));
    EXPECT_EQ(total()->text(), "当日盈亏 : 240.00");
}

}  // namespace

TEST_F(CloseOutListTest, ACloseSpeltWithACapitalIsShownAndCountedAsItsLowerCase) {
    showList();
    // A euro sold at 1.1000 and bought back at 1.1010, the close spelt "B":
    // a sell closed by buying, 10 points lost on 100,000.
    const int before = closed->records;
    sim.push(SimService::Trade, "4020",
             SimJson{{"children", SimJson::array({SimJson{{"orderCode", "CAP-1"},
                                                          {"symbolCode", "EURUSD"},
                                                          {"bsCode", "B"},
                                                          {"closeDate", "2026-01-05 10:00:00"},
                                                          {"openDate", "2026-01-05 09:00:00"},
                                                          {"priceOpen", "1.1000"},
                                                          {"priceHold", "1.1000"},
                                                          {"priceClose", "1.1010"},
                                                          {"profitClose", "-100"},
                                                          {"quantityClose", "1"},
                                                          {"quantityHold", "1"}}})}});
    ASSERT_TRUE(time.runUntil([&] { return closed->records > before; }));
    UIScreenRenderer::layoutWindows();
    ASSERT_EQ(codes(), std::vector<std::string>{"CAP-1"});
    EXPECT_NEAR(closed->last.profitCloseTotal, -100, 1e-6);
    tapRow(0);
    CloseOutCell* c = cell(0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->detailLabel(1, 1)->text(), "卖出") << "opened by selling";
    EXPECT_EQ(c->detailLabel(1, 3)->text(), "买入") << "closed by buying";
    EXPECT_EQ(c->detailLabel(3, 3)->text().substr(0, 1), "-") << c->detailLabel(3, 3)->text();
}
