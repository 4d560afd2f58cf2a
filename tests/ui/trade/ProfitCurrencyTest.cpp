// Floating profit in the account's currency on every screen that shows it:
// a lot of USDJPY bought on the USD account 1001 and 20 points against it
// loses 2000 yen, about 13.33 dollars. The open tickets list, the net
// positions, the close by ticket, the stop-loss / take-profit change and
// the close by symbol show the dollars, as the account panel does (its
// floating profit, "%0.2f" of the account's profitDyn), never the yen.
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/ui/trade/ListStage.h"
#include "ui/trade/HoldDetailCell.h"
#include "ui/trade/HoldDetailViewController.h"
#include "ui/trade/HoldPositionCell.h"
#include "ui/trade/HoldPositionViewController.h"
#include "ui/trade/MarketCloseSymbolViewController.h"
#include "ui/trade/MarketCloseViewController.h"
#include "ui/trade/ModifyHoldBillViewController.h"
#include "ui/trade/ViewMarketPrice.h"
#include "ui/trade/ViewMarketPricePosition.h"

using namespace liststage;

namespace {

// Two decimals, as the account panel and the price panels write money.
std::string money(double value) {
    return sysDB::formatPrice(value, 2);
}

template <typename List>
class ProfitCurrencyStage : public ListTest<List> {
  protected:
    // A lot of USDJPY bought and the bid `points` points under its hold
    // price; the ticket's code once its push with that price is in.
    std::string losingYen(int points) {
        code = this->openTicket("USDJPY", "b");
        pushes = this->follow(code);
        moveBid(points);
        return code;
    }
    void moveBid(int points) {
        const double hold = this->sdk->getHoldBillWith(code)->priceHold;
        this->andItsPush(pushes, [&] { this->sim.setBid("USDJPY", hold - points * 0.001); });
        this->awaitPosition("USDJPY", 1, 0);
    }
    // The account panel's floating profit.
    std::string accountProfit() {
        const auto accounts = this->sdk->getAccounts();
        return accounts.empty() ? std::string() : money(accounts.front()->profitDyn);
    }

    std::string code;
    std::shared_ptr<tickettest::TicketPushes> pushes;
};

using TicketsInDollars = ProfitCurrencyStage<HoldDetailViewController>;
using PositionsInDollars = ProfitCurrencyStage<HoldPositionViewController>;
using ScreensInDollars = ProfitCurrencyStage<UIViewController>;

TEST_F(TicketsInDollars, TheOpenTicketShowsItsLossInTheAccountCurrency) {
    losingYen(20);
    ASSERT_EQ(accountProfit(), "-13.33");
    showList();
    auto* cell = cellAt<HoldDetailCell>(0);
    ASSERT_NE(cell, nullptr);
    shot("profit-currency-tickets");
    // The figure agrees with the account's, not the 2000 yen.
    EXPECT_EQ(money(std::stod(cell->dynProfitLabel()->text())), accountProfit())
        << cell->dynProfitLabel()->text();
    EXPECT_EQ(cell->totalProfitLabel()->text(), "总盈：-13.33");
    EXPECT_LT(tradetest::colourDistance(cell->dynProfitLabel()->textColor(), 111, 255, 27), 1);

    // A push moves it on, still in dollars.
    moveBid(30);
    cell = cellAt<HoldDetailCell>(0);
    EXPECT_EQ(money(std::stod(cell->dynProfitLabel()->text())), "-20.00");
    EXPECT_EQ(accountProfit(), "-20.00");
}

TEST_F(PositionsInDollars, TheNetPositionShowsItsLossInTheAccountCurrency) {
    losingYen(20);
    showList();
    ASSERT_EQ(list->rows().size(), 1u);
    tapRow(0);  // the grid with each side's profit
    auto* cell = cellAt<HoldPositionCell>(0);
    ASSERT_NE(cell, nullptr);
    shot("profit-currency-positions");
    EXPECT_EQ(money(std::stod(cell->netProfitLabel()->text())), accountProfit())
        << cell->netProfitLabel()->text();
    EXPECT_EQ(money(std::stod(cell->gridLabel(3, 1)->text())), "-13.33");
    EXPECT_EQ(cell->gridLabel(3, 3)->text(), "0");
}

TEST_F(ScreensInDollars, TheCloseAndChangeScreensShowTheLossInTheAccountCurrency) {
    losingYen(20);
    const std::string expected = accountProfit();
    ASSERT_EQ(expected, "-13.33");

    // The close by ticket, from its first figure and with each push.
    showRoot();
    auto close = std::make_shared<MarketCloseViewController>(sdk->getHoldBillWith(code));
    close->setContext(context);
    auto stack = std::make_shared<BaseNavigationController>(close);
    presentOnRoot(stack);
    auto* closePanel = close->view()
                           ->viewWithTag<ViewMarketPrice>(MarketCloseViewController::kTagPricePanel)
                           .get();
    ASSERT_NE(closePanel, nullptr);
    EXPECT_EQ(closePanel->dynProfitLabel()->text(), expected);
    moveBid(30);
    EXPECT_EQ(closePanel->dynProfitLabel()->text(), "-20.00");
    shot("profit-currency-close");

    // The change screen over it.
    auto* segment = close->view()
                        ->viewWithTag<UISegmentedControl>(MarketCloseViewController::kTagSegment)
                        .get();
    const CGRect frame = segment->convertRectToView(segment->bounds(), nullptr);
    UIDriver::tapAt(CGPointMake(CGRectGetMaxX(frame) - 20, CGRectGetMidY(frame)));
    time.advance(1);
    auto change =
        std::dynamic_pointer_cast<ModifyHoldBillViewController>(stack->viewControllers().back());
    ASSERT_NE(change, nullptr);
    auto* changePanel =
        change->view()
            ->viewWithTag<ViewMarketPrice>(ModifyHoldBillViewController::kTagPricePanel)
            .get();
    ASSERT_NE(changePanel, nullptr);
    EXPECT_EQ(changePanel->dynProfitLabel()->text(), "-20.00");
    moveBid(20);
    EXPECT_EQ(changePanel->dynProfitLabel()->text(), "-13.33");
    root->dismissViewControllerAnimated(false);
    time.advance(1);

    // The close by symbol.
    auto bySymbol =
        std::make_shared<MarketCloseSymbolViewController>(sdk->getPositionWith("USDJPY"));
    bySymbol->setContext(context);
    presentOnRoot(std::make_shared<BaseNavigationController>(bySymbol));
    UIScreenRenderer::layoutWindows();
    auto* symbolPanel =
        bySymbol->view()
            ->viewWithTag<ViewMarketPricePosition>(MarketCloseSymbolViewController::kTagPricePanel)
            .get();
    ASSERT_NE(symbolPanel, nullptr);
    EXPECT_EQ(symbolPanel->dynProfitLabel()->text(), accountProfit());
    shot("profit-currency-close-symbol");
}

}  // namespace
