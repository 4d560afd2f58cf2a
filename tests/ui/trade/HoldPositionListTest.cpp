// The net positions list against the simulated dealer, as a user sees it:
// the net quantity with its direction and the net profit in the colour of
// its sign; an open row with both sides and their profits; pushes that
// refresh a row, keep it open, drop it once both sides are empty and never
// bring an empty position in; the close button opening the close by symbol.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/HoldPositionCell.h"
#include "ui/trade/HoldPositionViewController.h"
#include "ui/trade/MarketCloseSymbolViewController.h"

using namespace liststage;
using tradetest::pixelsNear;

namespace {

class HoldPositionListTest : public ListTest<HoldPositionViewController> {
  protected:
    std::vector<std::string> symbols() const {
        std::vector<std::string> out;
        for (const auto& row : list->rows())
            out.push_back(row->symbolCode);
        return out;
    }
    HoldPositionCell* cell(long row) { return cellAt<HoldPositionCell>(row); }
    std::string price(double value, int decimals) { return sysDB::formatPrice(value, decimals); }
    // Closes one side of the symbol at the dealer ("s" sells back the buys).
    void closeSide(const std::string& symbol, const std::string& bs, double quantity) {
        bool done = false;
        std::string failure;
        sdk->marketCloseWithSymbol(
            symbol, quantity, bs, 50, 0, "", [&] { done = true; },
            [&](const std::string& c, const std::string& m) { failure = c + " " + m; });
        ASSERT_TRUE(time.runUntil([&] { return done || !failure.empty(); }));
        ASSERT_TRUE(done) << failure;
    }
};

TEST_F(HoldPositionListTest, RowsShowTheNetPositionAndAnOpenRowBothSides) {
    // Euro: 2 bought, 1 sold, a gain; gold: 3 sold, a loss; the Dow: one
    // bought at the price it would close at now, nothing either way.
    openTicket("EURUSD", "b", 2);
    openTicket("EURUSD", "s", 1);
    openTicket("XAUUSD", "s", 3);
    const std::string dow = openTicket("US30", "b", 1);
    awaitPosition("EURUSD", 2, 1);
    awaitPosition("XAUUSD", 0, 3);
    awaitPosition("US30", 1, 0);
    const auto eurPushes = followPosition("EURUSD");
    const auto goldPushes = followPosition("XAUUSD");
    const auto dowPushes = followPosition("US30");
    const auto eur = sdk->getSymbolWith("EURUSD");
    const auto gold = sdk->getSymbolWith("XAUUSD");
    // The euro's bid 110 points up (its ask 20 above): the buys (2 lots at
    // the old ask) gain 90 points each, the sell (1 lot at the old bid) loses
    // 130 at the new ask: 180 - 130.
    andItsPush(eurPushes, [&] { sim.setBid("EURUSD", eur->bid + 0.0011); });
    // Gold's bid 2.75 above the old ask: the sells (at the old bid) close at
    // an ask 3.75 above it, on 3 x 100.
    andItsPush(goldPushes, [&] { sim.setBid("XAUUSD", gold->ask + 2.75); });
    andItsPush(dowPushes, [&] { sim.setBid("US30", sdk->getHoldBillWith(dow)->priceHold); });

    showList();
    EXPECT_EQ(list->title(), "头寸");
    ASSERT_EQ(symbols(), (std::vector<std::string>{"EURUSD", "XAUUSD", "US30"}));
    auto image = shot("hold-position-list");

    struct Expected {
        std::string symbol, name, direction, net;
        int sign;  // of the net profit
    };
    const std::vector<Expected> expected = {{"EURUSD", "欧元美元", "买", "1.00000", 1},
                                            {"XAUUSD", "现货黄金", "卖", "-3.00", -1},
                                            {"US30", "道琼斯指数", "买", "1.0", 0}};
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.symbol);
        const auto position = sdk->getPositionWith(e.symbol);
        ASSERT_NE(position, nullptr);
        HoldPositionCell* c = cell(static_cast<long>(i));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->symbolNameLabel()->text(), e.name);
        EXPECT_EQ(c->netCaptionLabel()->text(), "净头寸");
        EXPECT_EQ(c->profitCaptionLabel()->text(), "净盈亏");
        EXPECT_EQ(c->directionLabel()->text(), e.direction);
        EXPECT_EQ(c->netQuantityLabel()->text(), e.net);
        EXPECT_EQ(c->netProfitLabel()->text(),
                  lsconvert::decimal(position->dppBuy + position->dppSell).toString());
        EXPECT_FALSE(UIDriver::isVisible(c->expandView()));
        const int red = pixelsNear(image, c->netProfitLabel(), 187, 46, 36, 30);
        const int green = pixelsNear(image, c->netProfitLabel(), 111, 255, 27, 30);
        const int grey = pixelsNear(image, c->netProfitLabel(), 160, 160, 160, 30);
        EXPECT_EQ(red > 10, e.sign > 0) << red;
        EXPECT_EQ(green > 10, e.sign < 0) << green;
        if (e.sign == 0) {
            EXPECT_GT(grey, 10);
        }
    }
    EXPECT_EQ(cell(0)->netProfitLabel()->text(), "50");
    EXPECT_EQ(cell(1)->netProfitLabel()->text(), "-1125");
    EXPECT_EQ(cell(2)->netProfitLabel()->text(), "0");

    // Open, the euro shows both sides.
    tapRow(0);
    EXPECT_EQ(heightOf(0), HoldPositionCell::kExpandedRowHeight);
    HoldPositionCell* open = cell(0);
    ASSERT_TRUE(UIDriver::isVisible(open->expandView()));
    const auto position = sdk->getPositionWith("EURUSD");
    const std::vector<std::vector<std::string>> grid = {
        {"买价：", price(eur->ask, 5), "卖价：", price(eur->bid, 5)},
        {"买均价：", price(position->avgBuy, 5), "卖均价：", price(position->avgSell, 5)},
        {"买量：", "2", "卖量：", "1"},
        {"买盈亏：", lsconvert::decimal(position->dppBuy).toString(), "卖盈亏：",
         lsconvert::decimal(position->dppSell).toString()}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(open->gridLabel(r, c)->text(), grid[r][c]) << r << "," << c;
    EXPECT_EQ(open->closeButton()->currentTitle(), "平仓");
    image = shot("hold-position-open");
    // The buys gain, the sells lose: each side in its own colour.
    EXPECT_GT(pixelsNear(image, open->gridLabel(3, 1), 187, 46, 36, 30), 10);
    EXPECT_GT(pixelsNear(image, open->gridLabel(3, 3), 111, 255, 27, 30), 10);

    // Opening the gold closes the euro; tapping the gold again closes it.
    tapRow(1);
    EXPECT_EQ(heightOf(0), HoldPositionCell::kRowHeight);
    EXPECT_EQ(heightOf(1), HoldPositionCell::kExpandedRowHeight);
    tapRow(1);
    EXPECT_EQ(heightOf(1), HoldPositionCell::kRowHeight);
    EXPECT_EQ(nav->presentedViewController(), nullptr) << "a row tap opens no screen";
}

TEST_F(HoldPositionListTest, PushesRefreshTheRowKeepItOpenAndDropItOnlyWhenBothSidesAreEmpty) {
    openTicket("EURUSD", "b", 2);
    showList();
    ASSERT_EQ(symbols(), std::vector<std::string>{"EURUSD"});
    tapRow(0);

    // A position opened while the list shows comes at the end.
    const auto gold = followPosition("XAUUSD");
    andItsPush(gold, [&] { openTicket("XAUUSD", "b", 1); });
    EXPECT_EQ(symbols(), (std::vector<std::string>{"EURUSD", "XAUUSD"}));

    // Sells of 2 bring the net from 买 2 to nothing, one more to 卖 1; the
    // row stays open.
    const auto eur = followPosition("EURUSD");
    andItsPush(eur, [&] { openTicket("EURUSD", "s", 2); });
    EXPECT_EQ(cell(0)->directionLabel()->text(), "");
    EXPECT_EQ(cell(0)->netQuantityLabel()->text(), "0.00000");
    andItsPush(eur, [&] { openTicket("EURUSD", "s", 1); });
    EXPECT_EQ(cell(0)->directionLabel()->text(), "卖");
    EXPECT_EQ(cell(0)->netQuantityLabel()->text(), "-1.00000");
    EXPECT_EQ(cell(0)->gridLabel(2, 3)->text(), "3");
    EXPECT_EQ(heightOf(0), HoldPositionCell::kExpandedRowHeight);

    // The buys closed: one side empty, the row stays and shows the rest.
    // (A close may take several tickets, each with its push: wait for the
    // position it leaves.)
    closeSide("EURUSD", "s", 2);
    ASSERT_TRUE(time.runUntil([&] { return eur->last.quantityBuy == 0; }));
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(symbols(), (std::vector<std::string>{"EURUSD", "XAUUSD"}));
    EXPECT_EQ(cell(0)->gridLabel(2, 1)->text(), "0");
    EXPECT_EQ(cell(0)->netQuantityLabel()->text(), "-3.00000");

    // The sells bought back: both sides empty.
    closeSide("EURUSD", "b", 3);
    ASSERT_TRUE(time.runUntil([&] { return eur->last.quantitySell == 0; }));
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(symbols(), std::vector<std::string>{"XAUUSD"});
    EXPECT_EQ(table()->numberOfRowsInSection(0), 1);

    // A late re-pricing of the euro, as a lagging cache would report it,
    // holds nothing: it does not come back as a row of nothing.
    MODHoldPosition stale = eur->last;
    post(kActionReceiveHoldPositionChange, std::vector<MODHoldPosition>{stale});
    EXPECT_EQ(symbols(), std::vector<std::string>{"XAUUSD"});
    shot("hold-position-after-close");
}

TEST_F(HoldPositionListTest, CloseButtonOpensTheCloseBySymbolOnce) {
    openTicket("XAUUSD", "s", 2);
    showList();
    tapRow(0);
    HoldPositionCell* open = cell(0);
    ASSERT_NE(open, nullptr);
    UIDriver::tap(open->closeButton());
    time.advance(1);
    auto* screen = presented<MarketCloseSymbolViewController>();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->holdPosition(), sdk->getPositionWith("XAUUSD")) << "the live record";
    EXPECT_EQ(screen->title(), "市价平仓-现货黄金");

    // A second press while it shows opens nothing more.
    auto* stack = nav->presentedViewController();
    list->onCloseOutWithLSHoldPosition(*list->rows()[0]);
    time.advance(1);
    EXPECT_EQ(nav->presentedViewController(), stack);
    EXPECT_EQ(stack->presentedViewController(), nullptr);
}

// Another position is emptied while a finger is on the close of an open
// row: the rows are counted anew and the table hands the cells round, the
// pressed one to another position's row near the finger. The lift opens
// the close of no other position.
TEST_F(HoldPositionListTest, ACloseButtonPressedAsAnotherPositionGoesOpensNoOtherClose) {
    const std::vector<std::string> held = {"EURUSD", "USDJPY", "XAUUSD", "US30"};
    for (const auto& symbol : held)
        openTicket(symbol, "b", 1);
    for (const auto& symbol : held)
        awaitPosition(symbol, 1, 0);
    showList();
    ASSERT_EQ(symbols(), held);
    tapRow(2);
    HoldPositionCell* open = cell(2);
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(UIDriver::isVisible(open->closeButton()));
    const CGPoint finger = UIDriver::screenCenterOf(open->closeButton());
    platform::ui::TouchInput::touchDown(1, finger);
    UIDriver::drain();
    MODHoldPosition emptied = *sdk->getPositionWith("US30");
    emptied.quantityBuy = 0;
    post(kActionReceiveHoldPositionChange, std::vector<MODHoldPosition>{emptied});
    UIScreenRenderer::layoutWindows();
    ASSERT_EQ(symbols(), (std::vector<std::string>{"EURUSD", "USDJPY", "XAUUSD"}));
    platform::ui::TouchInput::touchUp(1, finger);
    UIDriver::drain();
    time.advance(1);
    if (auto* screen = presented<MarketCloseSymbolViewController>())
        EXPECT_EQ(screen->holdPosition()->symbolCode, "XAUUSD");
}

}  // namespace
