// The small views of the ticket and pending-order screens: the market price
// panel (which price, which caption, the profit's colour read from the
// pixels), the price band, and the price input with its stepper, held
// repeat on the virtual clock and the prices below 1 it now steps.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/RunLoop.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "tests/ui/trade/TradeStage.h"
#include "ui/services/sysDB.h"
#include "ui/trade/ViewBuySellButton.h"
#include "ui/trade/ViewLimitPrice.h"
#include "ui/trade/ViewLimitPriceInput.h"
#include "ui/trade/ViewMarketPrice.h"
#include "ui/trade/ViewMarketPricePosition.h"

using namespace platform::ui;
using tradetest::pixelsNear;

namespace {

std::shared_ptr<MODSymbolInfo> symbol(int decimal, double bid, double ask) {
    auto s = std::make_shared<MODSymbolInfo>();
    s->symbolCode = "EURUSD";
    s->symbolName = "欧元美元";
    s->decimal = decimal;
    s->bid = bid;
    s->ask = ask;
    s->pointLimit = 30;
    return s;
}

// A ticket whose floating profit is `profit` in the account currency and
// 150 times that in its symbol's: the panels show the former.
std::shared_ptr<MODHoldBill> ticket(const std::string& side, double profit) {
    auto t = std::make_shared<MODHoldBill>();
    t->orderCode = "T1";
    t->symbolCode = "EURUSD";
    t->bsCode = side;
    t->dynProfitPrice = profit;
    t->dynProfit = profit * 150;
    return t;
}

struct PriceLog : LimitPriceChangeDelegate {
    std::vector<float> prices;
    void limitPriceChange(float price) override { prices.push_back(price); }
};

class TicketViews : public widgettest::WidgetTest {
  protected:
    std::shared_ptr<ViewMarketPrice> addPanel(std::shared_ptr<MODHoldBill> bill,
                                              std::shared_ptr<MODSymbolInfo> info, CGFloat y) {
        auto panel = std::make_shared<ViewMarketPrice>(CGRectMake(20, y, 280, 60), std::move(bill),
                                                       std::move(info), store);
        window->addSubview(panel);
        return panel;
    }
    std::shared_ptr<ViewLimitPriceInput> addInput(int decimal, CGFloat y = 300) {
        auto input = std::make_shared<ViewLimitPriceInput>(CGRectMake(20, y, 130, 90), decimal,
                                                           "止损价", 2, 130);
        input->limitPriceChangeDelegate = log;
        window->addSubview(input);
        UIScreenRenderer::layoutWindows();
        return input;
    }
    static void press(ViewLimitPriceInput& input, long tag) {
        UIDriver::tap(input.viewWithTag(tag).get());
    }
    // Pixels of the profit label in the rise and fall colours.
    std::pair<int, int> profitColours(const UIImagePtr& shot, const ViewMarketPrice& panel) {
        return {pixelsNear(shot, panel.dynProfitLabel(), 187, 46, 36, 30),
                pixelsNear(shot, panel.dynProfitLabel(), 111, 255, 27, 30)};
    }

    std::shared_ptr<sysDB> store = std::make_shared<sysDB>();
    std::shared_ptr<PriceLog> log = std::make_shared<PriceLog>();
};

TEST_F(TicketViews, MarketPanelShowsTheClosingSideAndTheProfitInItsColour) {
    // A buy ticket is closed by selling: the bid, rounded (not cut) to the
    // symbol's places; a sell ticket by buying: the ask.
    auto buy = addPanel(ticket("b", 0), symbol(5, 1.234565, 1.23470), 20);
    auto sell = addPanel(ticket("s", -3.5), symbol(5, 1.234565, 1.23470), 100);
    auto gold = addPanel(ticket("b", 0.001), symbol(0, 38000.4, 38001.6), 180);
    EXPECT_EQ(buy->directionLabel()->text(), "平仓卖");
    EXPECT_EQ(buy->priceLabel()->text(), "1.23457");
    EXPECT_EQ(sell->directionLabel()->text(), "平仓买");
    EXPECT_EQ(sell->priceLabel()->text(), "1.23470");
    EXPECT_EQ(gold->priceLabel()->text(), "38000") << "no decimal point with 0 places";
    // Two places always; red only above zero, even when it shows as 0.00.
    EXPECT_EQ(buy->dynProfitLabel()->text(), "0.00");
    EXPECT_EQ(sell->dynProfitLabel()->text(), "-3.50");
    EXPECT_EQ(gold->dynProfitLabel()->text(), "0.00");
    auto shot = snapshot("market-price-panels");
    ASSERT_TRUE(shot);
    auto [rise, fall] = profitColours(shot, *buy);
    EXPECT_EQ(rise, 0);
    EXPECT_GT(fall, 20) << "zero is green";
    std::tie(rise, fall) = profitColours(shot, *sell);
    EXPECT_EQ(rise, 0);
    EXPECT_GT(fall, 20);
    std::tie(rise, fall) = profitColours(shot, *gold);
    EXPECT_GT(rise, 20);
    EXPECT_EQ(fall, 0);

    // The owner's push: the mark price and the profit.
    buy->updateWithPrice(1.1f, 12.5f);
    EXPECT_EQ(buy->priceLabel()->text(), "1.10000");
    EXPECT_EQ(buy->dynProfitLabel()->text(), "12.50");
    std::tie(rise, fall) = profitColours(snapshot("market-price-panel-pushed"), *buy);
    EXPECT_GT(rise, 20);
    EXPECT_EQ(fall, 0);

    // Without a ticket or symbol (a ticket the service forgot) nothing breaks.
    auto bare = addPanel(nullptr, nullptr, 260);
    bare->updateWithPrice(1.2f, -1);
    EXPECT_EQ(bare->priceLabel()->text(), "");
    EXPECT_EQ(bare->dynProfitLabel()->text(), "-1.00");
}

TEST_F(TicketViews, PriceBandBoundsTheSidesPriceByTheLimitDistance) {
    auto band =
        std::make_shared<ViewLimitPrice>(CGRectMake(20, 40, 280, 60), symbol(5, 1.07990, 1.08000));
    window->addSubview(band);
    EXPECT_EQ(band->sideLabel()->text(), "买价");
    EXPECT_EQ(band->priceLabel()->text(), "1.08000");
    EXPECT_EQ(band->limitLabel()->text(), "止限 < 1.07970");
    EXPECT_EQ(band->stopLabel()->text(), "停损 > 1.08030");
    snapshot("price-band-buy");

    band->updateWithGoodsInfo(symbol(5, 1.07990, 1.08000), "s");
    EXPECT_EQ(band->sideLabel()->text(), "卖价");
    EXPECT_EQ(band->priceLabel()->text(), "1.07990");
    EXPECT_EQ(band->limitLabel()->text(), "止限 > 1.08020");
    EXPECT_EQ(band->stopLabel()->text(), "停损 < 1.07960");
    EXPECT_FLOAT_EQ(static_cast<float>(band->priceLimit()), 1.08020f);

    // A dealer's caption redraws at once with the kept symbol and side.
    band->setLimitLabel("限价");
    EXPECT_EQ(band->limitLabel()->text(), "限价 > 1.08020");
    band->setStopLabel("止损");
    EXPECT_EQ(band->stopLabel()->text(), "止损 < 1.07960");
}

TEST_F(TicketViews, PriceInputStepsOnePointAndRefusesOnlyPricesOfZeroOrLess) {
    auto input = addInput(2);
    UITextField* field = input->textField().get();
    field->setText("1234.50");
    press(*input, ViewLimitPriceInput::kTagPlus);
    EXPECT_EQ(field->text(), "1234.51");
    ASSERT_EQ(log->prices.size(), 1u);
    EXPECT_FLOAT_EQ(log->prices[0], 1234.51f);
    press(*input, ViewLimitPriceInput::kTagMinus);
    press(*input, ViewLimitPriceInput::kTagMinus);
    EXPECT_EQ(field->text(), "1234.49");

    // An empty field (or one without a number) starts from the reference price.
    field->setText("");
    input->updateWithPrice(1.5f, "止损价 < ");
    EXPECT_EQ(input->titleLabel()->text(), "止损价 < 1.50");
    press(*input, ViewLimitPriceInput::kTagMinus);
    EXPECT_EQ(field->text(), "1.49");
    field->setText("1.2a");
    press(*input, ViewLimitPriceInput::kTagPlus);
    EXPECT_EQ(field->text(), "1.51");

    // Prices below 1 step like any other; a step to 0 or below changes
    // nothing and tells nobody.
    auto small = addInput(5, 420);
    UITextField* smallField = small->textField().get();
    smallField->setText("0.50000");
    press(*small, ViewLimitPriceInput::kTagPlus);
    EXPECT_EQ(smallField->text(), "0.50001");
    smallField->setText("0.00001");
    log->prices.clear();
    press(*small, ViewLimitPriceInput::kTagMinus);
    EXPECT_EQ(smallField->text(), "0.00001");
    EXPECT_TRUE(log->prices.empty());
    // With no reference price an empty field stays empty on "-"...
    smallField->setText("");
    press(*small, ViewLimitPriceInput::kTagMinus);
    EXPECT_EQ(smallField->text(), "");
    EXPECT_TRUE(log->prices.empty());
    // ...and "+" gives the smallest price.
    press(*small, ViewLimitPriceInput::kTagPlus);
    EXPECT_EQ(smallField->text(), "0.00001");
    ASSERT_EQ(log->prices.size(), 1u);
    EXPECT_FLOAT_EQ(log->prices[0], 0.00001f);

    // No delegate: the field still steps.
    small->limitPriceChangeDelegate.reset();
    press(*small, ViewLimitPriceInput::kTagPlus);
    EXPECT_EQ(smallField->text(), "0.00002");
    EXPECT_EQ(log->prices.size(), 1u);
    snapshot("price-input");
}

// Symbols priced in seven to ten decimals (coins, some crosses) show every
// decimal of their prices: written with six first, the last ones came out
// as zeros.
TEST_F(TicketViews, PricesOfSymbolsWithMoreThanSixDecimalsKeepTheirLastDigits) {
    auto coin = symbol(8, 0.00012345, 0.00012355);
    auto buy = addPanel(ticket("b", 0), coin, 20);
    EXPECT_EQ(buy->priceLabel()->text(), "0.00012345");
    buy->updateWithPrice(0.00012347f, 0);
    EXPECT_EQ(buy->priceLabel()->text(), "0.00012347");

    auto band = std::make_shared<ViewLimitPrice>(CGRectMake(20, 100, 280, 60),
                                                 symbol(10, 1.2345678912, 1.2345678923));
    window->addSubview(band);
    EXPECT_EQ(band->priceLabel()->text(), "1.2345678923");
    band->updateWithGoodsInfo(symbol(10, 1.2345678912, 1.2345678923), "s");
    EXPECT_EQ(band->priceLabel()->text(), "1.2345678912");

    auto position =
        std::make_shared<ViewMarketPricePosition>(CGRectMake(20, 180, 280, 60), nullptr, coin, "b");
    window->addSubview(position);
    EXPECT_EQ(position->priceLabel()->text(), "0.00012345");
    position->updateWithSymbolInfo(nullptr, "s");
    EXPECT_EQ(position->priceLabel()->text(), "0.00012355");

    auto buttons = std::make_shared<ViewBuySellButton>(CGRectMake(20, 260, 280, 60), coin,
                                                       ViewBuySellButton::kStyleWithSpread);
    window->addSubview(buttons);
    EXPECT_EQ(buttons->lblBid()->text(), "0.00012345");
    EXPECT_EQ(buttons->lblAsk()->text(), "0.00012355");

    // Six decimals and fewer as before: the half of the last place rounds
    // away from zero.
    auto five = addPanel(ticket("b", 0), symbol(5, 1.234565, 1.23470), 340);
    EXPECT_EQ(five->priceLabel()->text(), "1.23457");
}

class HeldStep : public TicketViews {
  protected:
    static constexpr int kFinger = 3;
    void SetUp() override {
        TicketViews::SetUp();
        baseline = platform::RunLoop::main().timerCount();
        input = addInput(2);
        input->textField()->setText("10.00");
    }
    CGPoint point(long tag) { return UIDriver::screenCenterOf(input->viewWithTag(tag).get()); }
    // No repeat left, and none follows.
    void expectStopped() {
        EXPECT_FALSE(input->isRepeating());
        EXPECT_EQ(platform::RunLoop::main().timerCount(), baseline);
        const std::string text = input->textField()->text();
        time.advance(1);
        EXPECT_EQ(input->textField()->text(), text);
    }

    std::shared_ptr<ViewLimitPriceInput> input;
    size_t baseline = 0;
};

TEST_F(HeldStep, RepeatsAtOnceAfterEightTenthsThenEveryTwentiethUntilLifted) {
    TouchInput::touchDown(kFinger, point(ViewLimitPriceInput::kTagMinus));
    time.advance(0.79);
    EXPECT_EQ(input->textField()->text(), "10.00");
    time.advance(0.01);
    EXPECT_EQ(input->textField()->text(), "9.99") << "the first step at once";
    time.advance(0.049);
    EXPECT_EQ(input->textField()->text(), "9.99");
    time.advance(0.002);
    EXPECT_EQ(input->textField()->text(), "9.98");
    time.advance(0.45);  // nine more
    EXPECT_EQ(input->textField()->text(), "9.89");
    EXPECT_EQ(log->prices.size(), 11u);
    TouchInput::touchUp(kFinger, point(ViewLimitPriceInput::kTagMinus));
    time.drain();
    EXPECT_EQ(input->textField()->text(), "9.89") << "the lift is no extra step";
    expectStopped();

    // A second long press, on "+", starts afresh and also ends with no timer.
    TouchInput::touchDown(kFinger, point(ViewLimitPriceInput::kTagPlus));
    time.advance(0.851);
    EXPECT_EQ(input->textField()->text(), "9.91");
    TouchInput::touchUp(kFinger, point(ViewLimitPriceInput::kTagPlus));
    time.drain();
    expectStopped();
}

TEST_F(HeldStep, CancelledPressOrLeavingTheWindowStopsTheRepeat) {
    TouchInput::touchDown(kFinger, point(ViewLimitPriceInput::kTagPlus));
    time.advance(0.9);
    ASSERT_TRUE(input->isRepeating());
    TouchInput::touchCancel(kFinger);  // an incoming call
    time.drain();
    expectStopped();

    TouchInput::touchDown(kFinger, point(ViewLimitPriceInput::kTagPlus));
    time.advance(0.9);
    ASSERT_TRUE(input->isRepeating());
    input->removeFromSuperview();
    expectStopped();
    TouchInput::touchCancel(kFinger);
}

}  // namespace
