// The quotation board against the simulated dealer, as a user sees it: the
// tradable symbols with bid, ask, spread, high, low and time; the colour of
// the last move read from the pixels; quote pushes redrawing only the rows
// on screen; a tap opening the market-order screen of that symbol; a failed
// mark query said on the board.
#include "Core/Model/MODHoldBill.h"
#include "platform/Dates.h"
#include "platform/Strings.h"
#include "platform/ui/Button.h"
#include "platform/ui/Canvas.h"
#include "tests/ui/trade/TradeStage.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/LabelPrice.h"
#include "ui/toolkit/RotateNavigationController.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/MarketOpenViewController.h"
#include "ui/trade/QuotationCell.h"
#include "ui/trade/QuotationViewController.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

using namespace tradetest;

namespace {

// A number of the dealer's records, sent as text or as a number.
double number(const kavtest::SimJson& value) {
    return value.is_string() ? std::stod(value.get<std::string>()) : value.get<double>();
}

class QuotationBoardTest : public LiveTradeTest {
  protected:
    void showBoard(CGRect frame = UIScreen::mainScreen().bounds()) {
        board = std::make_shared<QuotationViewController>();
        board->setContext(context);
        nav = std::make_shared<BaseNavigationController>(board);
        show(nav, frame);
    }
    // Runs until the marks have loaded and the table has laid its rows out.
    bool loaded() {
        const bool done = time.runUntil([&] { return !board->isLoadingData(); });
        UIScreenRenderer::layoutWindows();
        return done;
    }
    UITableView* table() {
        return board->view()->viewWithTag<UITableView>(QuotationViewController::kTagTable).get();
    }
    QuotationCell* cellOf(const std::string& symbolCode) {
        for (auto* view : UIDriver::viewsOfType<QuotationCell>(table()))
            if (auto path = table()->indexPathForCell(view))
                if (board->rows()[path->row]->symbolCode == symbolCode) return view;
        return nullptr;
    }
    static std::string priceText(LabelPrice* price) {
        return price->lblSmall()->text() + price->lblLarge()->text();
    }
    // Sets the dealer's price and runs until its push has reached the board
    // (a price set twice leaves the bid as it was, so the bid alone cannot
    // tell that the second push has come), then lays the window out.
    // The dealer's record of the symbol.
    kavtest::SimJson quote(const std::string& symbolCode, double price) {
        auto record = quoteBeforeFrame(symbolCode, price);
        UIScreenRenderer::layoutWindows();
        return record;
    }
    // The same, the window not laid out: the quote comes before the next frame.
    kavtest::SimJson quoteBeforeFrame(const std::string& symbolCode, double price) {
        struct Counter {
            std::string symbolCode;
            int pushes = 0;
            void heard(const MoMessage& m) {
                if (const auto* symbols = m.objAs<MODList<MODSymbolInfo>>())
                    for (const auto& symbol : *symbols)
                        if (symbol && symbol->symbolCode == symbolCode) ++pushes;
            }
        };
        auto counter = std::make_shared<Counter>();
        counter->symbolCode = symbolCode;
        const auto listen = BroadcastManager::listen(
            kActionReceiveTradeQuotation, std::weak_ptr<Counter>(counter), &Counter::heard);
        const auto record = sim.setQuote(symbolCode, price);
        const double bid = std::stod(record["bid"].get<std::string>());
        EXPECT_TRUE(time.runUntil([&] {
            auto row = board->lsQuotationWithSymbolCode(symbolCode);
            return counter->pushes > 0 && row && std::fabs(row->bid.toDouble() - bid) < 1e-9;
        })) << symbolCode
            << " at " << price << " never reached the board";
        return record;
    }
    // Pixels of the move colours in the cell's prices and direction arrow.
    struct Colours {
        int rise = 0, fall = 0;
    };
    Colours coloursOf(const UIImagePtr& image, QuotationCell* cell) {
        Colours c;
        for (const UIView* v : {static_cast<const UIView*>(cell->sellPrice()),
                                static_cast<const UIView*>(cell->buyPrice()),
                                static_cast<const UIView*>(cell->directionView())}) {
            c.rise += pixelsNear(image, v, 187, 46, 36);
            c.fall += pixelsNear(image, v, 111, 255, 27);
        }
        return c;
    }

    std::shared_ptr<QuotationViewController> board;
    std::shared_ptr<BaseNavigationController> nav;
};

TEST_F(QuotationBoardTest, ListsTheTradableSymbolsWithTheirQuotesAndPendingOrderMarks) {
    // A pending order on XAUUSD and a ticket on EURUSD before the board loads.
    int placed = 0;
    const auto gold = sdk->getSymbolWith("XAUUSD");
    sdk->limitOpenWithSymbol("XAUUSD", 1, "b", gold->ask - 10, 0, 0, "1", "", [&] { ++placed; },
                             {});
    const auto eur = sdk->getSymbolWith("EURUSD");
    sdk->marketOpenWithSymbol("EURUSD", 1, "b", eur->ask, eur->maxPointOffset, 0, 0, "",
                              [&] { ++placed; }, {});
    ASSERT_TRUE(time.runUntil([&] { return placed == 2; }));
    // Symbols the dealer does not trade on the board are left out.
    sdk->getSymbolWith("USDJPY")->tradeModel = "2";
    sdk->getSymbolWith("US30")->tradeModel = "";

    showBoard();
    EXPECT_EQ(board->title(), "行情");
    ASSERT_TRUE(loaded());
    ASSERT_EQ(board->rows().size(), 3u);
    EXPECT_EQ(board->rows()[0]->symbolCode, "EURUSD");
    EXPECT_EQ(board->rows()[1]->symbolCode, "XAUUSD");
    EXPECT_EQ(board->rows()[2]->symbolCode, "US30");
    EXPECT_EQ(board->lsQuotationWithSymbolCode("USDJPY"), nullptr);
    EXPECT_TRUE(board->view()->viewWithTag(QuotationViewController::kTagSpinner)->isHidden());

    for (const auto& row : board->rows()) {
        const auto symbol = sdk->getSymbolWith(row->symbolCode);
        QuotationCell* cell = cellOf(row->symbolCode);
        ASSERT_NE(cell, nullptr) << row->symbolCode;
        EXPECT_EQ(cell->nameLabel()->text(), symbol->symbolName);
        EXPECT_EQ(priceText(cell->sellPrice()),
                  sysDB::formatPrice(float(symbol->bid), symbol->decimal));
        EXPECT_EQ(priceText(cell->buyPrice()),
                  sysDB::formatPrice(float(symbol->ask), symbol->decimal));
        EXPECT_EQ(cell->spreadLabel()->text(), "点差:" + std::to_string(symbol->spread));
        // The dealer quotes the bid, so the spread shown is the whole distance
        // between the two prices.
        EXPECT_EQ(symbol->spread,
                  std::llround((symbol->ask - symbol->bid) * std::pow(10.0, symbol->decimal)));
        EXPECT_GT(symbol->spread, 0);
        EXPECT_EQ(cell->lowLabel()->text(),
                  "最低:" + sysDB::formatPrice(symbol->dailyLowest, symbol->decimal));
        EXPECT_EQ(cell->highLabel()->text(),
                  "最高:" + sysDB::formatPrice(symbol->dailyHighest, symbol->decimal));
        const auto when = platform::dates::parse(symbol->lastTime);
        ASSERT_TRUE(when) << symbol->lastTime;
        EXPECT_EQ(cell->timeLabel()->text(), platform::dates::format(*when, "HH:mm:ss"));
        // The clock marks the symbol with a pending order; a ticket shows nothing.
        EXPECT_EQ(UIDriver::isVisible(cell->clockView()), row->symbolCode == "XAUUSD");
        EXPECT_EQ(row->hasPosition, row->symbolCode == "EURUSD");
        // A row never moved is grey.
        EXPECT_EQ(cell->moveColor(), UIColor::grey255(160));
    }
    shot("board");
}

TEST_F(QuotationBoardTest, RisingTickIsRedFallingGreenAndAnUnchangedTickKeepsTheColour) {
    showBoard();
    ASSERT_TRUE(loaded());
    const double start = number(sim.quotes()["EURUSD"]["priceCurrent"]);

    quote("EURUSD", start + 0.0005);
    auto image = shot("board-rise");
    auto colours = coloursOf(image, cellOf("EURUSD"));
    EXPECT_GT(colours.rise, 20);
    EXPECT_EQ(colours.fall, 0);

    quote("EURUSD", start + 0.0005);  // unchanged: still red, the flat arrow in red
    EXPECT_EQ(board->lsQuotationWithSymbolCode("EURUSD")->upOrDown, 0);
    image = shot("board-rise-unchanged");
    colours = coloursOf(image, cellOf("EURUSD"));
    EXPECT_GT(colours.rise, 20);
    EXPECT_EQ(colours.fall, 0);
    EXPECT_GT(pixelsNear(image, cellOf("EURUSD")->directionView(), 187, 46, 36), 10);

    quote("EURUSD", start - 0.0005);
    image = shot("board-fall");
    colours = coloursOf(image, cellOf("EURUSD"));
    EXPECT_GT(colours.fall, 20);
    EXPECT_EQ(colours.rise, 0);

    quote("EURUSD", start - 0.0005);
    EXPECT_EQ(board->lsQuotationWithSymbolCode("EURUSD")->upOrDown, 0);
    image = shot("board-fall-unchanged");
    colours = coloursOf(image, cellOf("EURUSD"));
    EXPECT_GT(colours.fall, 20);
    EXPECT_EQ(colours.rise, 0);
    // The other rows never moved: grey.
    EXPECT_EQ(coloursOf(image, cellOf("XAUUSD")).rise + coloursOf(image, cellOf("XAUUSD")).fall, 0);
}

// Quotes faster than frames: a row on screen is drawn once a frame with its
// last quote, yet keeps the colour of every move it had.
TEST_F(QuotationBoardTest, AMoveAndAnUnchangedTickBeforeOneFrameShowTheColourOfTheMove) {
    showBoard();
    ASSERT_TRUE(loaded());
    const double start = number(sim.quotes()["EURUSD"]["priceCurrent"]);
    quote("EURUSD", start - 0.0005);
    ASSERT_GT(coloursOf(shot("board-fall"), cellOf("EURUSD")).fall, 20);

    // Up, then unchanged, before the next frame: red, with the flat arrow.
    quoteBeforeFrame("EURUSD", start + 0.0005);
    quoteBeforeFrame("EURUSD", start + 0.0005);
    EXPECT_EQ(board->lsQuotationWithSymbolCode("EURUSD")->upOrDown, 0);
    auto image = shot("board-rise-unchanged-one-frame");
    auto colours = coloursOf(image, cellOf("EURUSD"));
    EXPECT_GT(colours.rise, 20);
    EXPECT_EQ(colours.fall, 0);

    // And down, then unchanged: green again.
    quoteBeforeFrame("EURUSD", start - 0.0005);
    quoteBeforeFrame("EURUSD", start - 0.0005);
    image = shot("board-fall-unchanged-one-frame");
    colours = coloursOf(image, cellOf("EURUSD"));
    EXPECT_GT(colours.fall, 20);
    EXPECT_EQ(colours.rise, 0);
}

TEST_F(QuotationBoardTest, QuotePushesRedrawOnlyTheRowsOnScreen) {
    // A short window: two rows and a bit show under the bar.
    showBoard(CGRectMake(0, 0, 320, 220));
    ASSERT_TRUE(loaded());
    const auto visible = table()->indexPathsForVisibleRows();
    ASSERT_GE(visible.size(), 2u);
    ASSERT_LT(visible.size(), 4u);
    const std::string hidden = board->rows()[3]->symbolCode;
    ASSERT_EQ(cellOf(hidden), nullptr);

    const size_t before = table()->cellsCreatedOrDequeued();
    const auto quotes = sim.tick(1);  // one step of every symbol
    const double hiddenBid = number(quotes[hidden]["bid"]);
    ASSERT_TRUE(time.runUntil([&] {
        return std::fabs(board->lsQuotationWithSymbolCode(hidden)->bid.toDouble() - hiddenBid) <
               1e-9;
    }));
    time.drain();
    // The rows are asked for when the screen is laid out, before a frame.
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(table()->cellsCreatedOrDequeued() - before, visible.size())
        << "one redraw per row on screen, none for the row off screen";

    // Three steps of every symbol before the next frame: each row on screen
    // is asked for once, and shows the last of its quotes.
    const size_t once = table()->cellsCreatedOrDequeued();
    const std::string shown = board->rows()[0]->symbolCode;
    kavtest::SimJson last;
    for (int step = 0; step < 3; ++step) {
        last = sim.tick(1);
        const double bid = number(last[shown]["bid"]);
        ASSERT_TRUE(time.runUntil([&] {
            return std::fabs(board->lsQuotationWithSymbolCode(shown)->bid.toDouble() - bid) < 1e-9;
        }));
    }
    time.drain();
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(table()->cellsCreatedOrDequeued() - once, visible.size());
    const auto symbol = sdk->getSymbolWith(shown);
    EXPECT_EQ(priceText(cellOf(shown)->sellPrice()),
              sysDB::formatPrice(float(number(last[shown]["bid"])), symbol->decimal));
    EXPECT_EQ(cellOf(shown)->timeLabel()->text(),
              platform::dates::format(*platform::dates::parse(symbol->lastTime), "HH:mm:ss"));

    // Scrolled into view, the row shows the pushed price.
    table()->scrollToRowAtIndexPath(NSIndexPath::indexPathForRow(3, 0),
                                    UITableViewScrollPosition::Bottom, false);
    UIScreenRenderer::layoutWindows();
    QuotationCell* cell = cellOf(hidden);
    ASSERT_NE(cell, nullptr);
    const auto hiddenSymbol = sdk->getSymbolWith(hidden);
    EXPECT_EQ(priceText(cell->sellPrice()),
              sysDB::formatPrice(float(hiddenSymbol->bid), hiddenSymbol->decimal));
    shot("board-scrolled");
}

TEST_F(QuotationBoardTest, TheLowAndHighStandApartHoweverLongTheirPrices) {
    showBoard();
    ASSERT_TRUE(loaded());
    // A wide day (whatever the dealer's history adds to it, which depends
    // on the hour): the next quote carries its low and high, five decimals
    // each.
    quote("EURUSD", 1.09925);
    quote("EURUSD", 1.10410);
    const kavtest::SimJson record = quote("EURUSD", 1.10000);
    ASSERT_NE(cellOf("EURUSD"), nullptr);
    QuotationCell* cell = cellOf("EURUSD");
    const double low = number(record["dailyLow"]), high = number(record["dailyHight"]);
    ASSERT_LE(low, 1.09925 + 1e-9);
    ASSERT_GE(high, 1.10410 - 1e-9);
    ASSERT_EQ(cell->lowLabel()->text(), platform::stringf("最低:%.5f", low));
    ASSERT_EQ(cell->highLabel()->text(), platform::stringf("最高:%.5f", high));
    UIScreenRenderer::layoutWindows();
    const auto image = UIDriver::renderImage(2);
    kavtest::writeScreenshot(image, "board-low-high");

    // The text's columns (in pixels at scale 2) inside a label's frame.
    auto ink = [&](UILabel* label) {
        const CGRect f = label->convertRectToView(label->bounds(), nullptr);
        int first = -1, last = -1;
        for (int x = static_cast<int>(f.origin.x * 2); x < static_cast<int>(CGRectGetMaxX(f) * 2);
             ++x)
            for (int y = static_cast<int>(f.origin.y * 2);
                 y < static_cast<int>(CGRectGetMaxY(f) * 2); ++y)
                if (colourDistance(image->pixelAt(x, y), 40, 40, 40) > 60) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        return std::pair{first, last};
    };
    const auto [lowFirst, lowLast] = ink(cell->lowLabel());
    const auto [highFirst, highLast] = ink(cell->highLabel());
    ASSERT_GE(lowFirst, 0);
    ASSERT_GE(highFirst, 0);
    // At least 4 points of background between the low's last digit and the
    // high's caption.
    EXPECT_GE((highFirst - lowLast - 1) / 2.0, 4 - 0.5) << lowLast << " " << highFirst;
    // Both whole: the last digits reach their frames' right edges.
    const CGRect highFrame =
        cell->highLabel()->convertRectToView(cell->highLabel()->bounds(), nullptr);
    EXPECT_GT(highLast, (CGRectGetMaxX(highFrame) - 4) * 2);

    // Each tells, without drawing, where its drawing inks (a new low or high
    // is drawn straight onto the screen there, and only there is it drawn
    // again): within a unit of the ink of its drawing as recorded.
    for (UILabel* label : {cell->lowLabel(), cell->highLabel()}) {
        CGRect told;
        ASSERT_TRUE(label->drawingInk(label->layer(), told)) << label->text();
        cairo_surface_t* rec = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
        cairo_t* cr = cairo_create(rec);
        {
            Canvas canvas(cr);
            UIGraphicsPushContext(&canvas);
            label->drawLayer(label->layer(), canvas);
            UIGraphicsPopContext();
        }
        cairo_destroy(cr);
        double x, y, w, h;
        cairo_recording_surface_ink_extents(rec, &x, &y, &w, &h);
        cairo_surface_destroy(rec);
        const CGRect drawn = CGRectMake(x, y, w, h);
        ASSERT_FALSE(CGRectIsEmpty(drawn));
        EXPECT_TRUE(CGRectContainsRect(CGRectInset(told, -1, -1), drawn)) << label->text();
        EXPECT_TRUE(CGRectContainsRect(CGRectInset(drawn, -1, -1), told)) << label->text();
    }
}

TEST_F(QuotationBoardTest, TapOpensTheMarketOrderScreenOfThatSymbolOnlyOnceLoaded) {
    sim.holdReply("2003");  // the ticket query of the marks waits
    showBoard();
    ASSERT_TRUE(board->isLoadingData());
    UIDriver::tap(cellOf("XAUUSD"));
    time.advance(0.5);
    EXPECT_EQ(nav->presentedViewController(), nullptr) << "taps wait for the load";
    // Released once it has reached the dealer, or there is nothing to release.
    ASSERT_EQ(sim.waitForPackages("2003", 1, kavtest::SimService::Trade).size(), 1u);
    sim.releaseHeld();
    ASSERT_TRUE(loaded());

    QuotationCell* gold = cellOf("XAUUSD");
    UIDriver::tap(gold);
    UIDriver::tap(gold);  // a second tap while it slides in: still one screen
    time.advance(1);
    auto* stack = dynamic_cast<RotateNavigationController*>(nav->presentedViewController());
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->presentedViewController(), nullptr);
    auto* screen = dynamic_cast<MarketOpenViewController*>(stack->topViewController());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->symbolInfo(), sdk->getSymbolWith("XAUUSD"));
    auto* title = dynamic_cast<UIButton*>(screen->navigationItem().titleView.get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->currentTitle(), "市价建仓-现货黄金");
    EXPECT_TRUE(stack->shouldAutorotate());
    shot("market-open-frame");

    UIDriver::tap(UIDriver::viewWithTag(MarketOpenViewController::kTagBack));
    time.advance(1);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(QuotationBoardTest, FailedMarkQueryKeepsTheRowsAndSaysSo) {
    sim.fail("2003", "9999", "模拟故障");
    showBoard();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(board->rows().size(), sdk->symbolInfos().size());
    auto* notice = board->view()->viewWithTag<UILabel>(QuotationViewController::kTagNotice).get();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(UIDriver::isVisible(notice));
    EXPECT_NE(notice->text().find("模拟故障"), std::string::npos) << notice->text();
    EXPECT_TRUE(board->view()->viewWithTag(QuotationViewController::kTagSpinner)->isHidden());
    // The pending-order query is not made; no row is marked.
    EXPECT_TRUE(sim.packages(kavtest::SimService::Trade, "2005").empty());
    for (const auto& row : board->rows())
        EXPECT_FALSE(row->hasLimit || row->hasPosition);
    shot("board-mark-query-failed");
    // The board stays usable.
    UIDriver::tap(cellOf("EURUSD"));
    time.advance(1);
    EXPECT_NE(nav->presentedViewController(), nullptr);
}

}  // namespace

namespace {

// A row alone on a window, drawn as the desktop window draws: only what
// changed since the last frame.
struct LoneRow {
    kavtest::VirtualTime time;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    std::shared_ptr<QuotationCell> cell = std::make_shared<QuotationCell>(
        UITableViewCellStyle::Default, QuotationCell::kIdentifier, ScreenContext{});
    cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 320, 568);
    LoneRow() {
        cell->setFrame(CGRectMake(0, 0, 320, QuotationCell::kRowHeight));
        window->addSubview(cell);
        window->makeKeyAndVisible();
    }
    ~LoneRow() {
        window->setHidden(true);
        cairo_surface_destroy(frame);
    }
    UIScreenRenderer::Frame composite() {
        cairo_t* cr = cairo_create(frame);
        auto drawn = UIScreenRenderer::composite(cr, {320, 568}, 1);
        cairo_destroy(cr);
        return drawn;
    }
};

std::string priceOf(LabelPrice* price) {
    return price->lblSmall()->text() + price->lblLarge()->text();
}

platform::Decimal decimal(const char* text) {
    return *platform::Decimal::parse(text);
}

// The euro's row as a quote shows it: risen, five decimals.
LSQuotation risingEuro() {
    LSQuotation q;
    q.symbolName = "欧元美元";
    q.lastTime = lsconvert::date("2026-01-05 10:00:00");
    q.spread = 20;
    q.bid = decimal("1.09990");
    q.ask = decimal("1.10010");
    q.dailyLowest = decimal("1.09000");
    q.dailyHighest = decimal("1.11000");
    q.decimal = 5;
    q.upOrDown = 1;
    return q;
}

}  // namespace

TEST(QuotationRow, AQuoteWritesWhatItChangesAndTheSameQuoteAgainDrawsNothing) {
    LoneRow s;
    LSQuotation q = risingEuro();
    QuotationCell& cell = *s.cell;
    cell.showCellWithLsQuotation(q);
    s.composite();
    EXPECT_EQ(priceOf(cell.sellPrice()), "1.09990");
    EXPECT_EQ(cell.lowLabel()->text(), "最低:1.09000");

    // The same quote again: nothing to draw.
    cell.showCellWithLsQuotation(q);
    EXPECT_FALSE(UIScreenRenderer::needsFrame());
    EXPECT_TRUE(s.composite().damage.empty());

    // Fewer decimals: every price is written again, though no number moved.
    q.decimal = 3;
    cell.showCellWithLsQuotation(q);
    EXPECT_EQ(priceOf(cell.sellPrice()), "1.100");
    EXPECT_EQ(priceOf(cell.buyPrice()), "1.100");
    EXPECT_EQ(cell.lowLabel()->text(), "最低:1.090");
    EXPECT_EQ(cell.highLabel()->text(), "最高:1.110");

    // Each value alone reaches its own text.
    q.lastTime = *q.lastTime + 61;
    q.spread = 7;
    q.ask = decimal("1.10460");
    q.dailyHighest = decimal("1.11240");
    cell.showCellWithLsQuotation(q);
    EXPECT_EQ(cell.timeLabel()->text(), "10:01:01");
    EXPECT_EQ(cell.spreadLabel()->text(), "点差:7");
    EXPECT_EQ(priceOf(cell.sellPrice()), "1.100");
    EXPECT_EQ(priceOf(cell.buyPrice()), "1.105");
    EXPECT_EQ(cell.lowLabel()->text(), "最低:1.090");
    EXPECT_EQ(cell.highLabel()->text(), "最高:1.112");

    // A fall turns both prices green though neither moved.
    q.upOrDown = -1;
    cell.showCellWithLsQuotation(q);
    EXPECT_EQ(cell.sellPrice()->lblLarge()->textColor(), cell.moveColor());
    EXPECT_EQ(cell.buyPrice()->lblSmall()->textColor(), cell.moveColor());
    EXPECT_NE(cell.moveColor(), UIColor::grey255(160));
    EXPECT_FALSE(s.composite().damage.empty());
}

// A cell goes from row to row as the board scrolls and reuses it: each row
// it shows is shown whole, whatever the row before it showed (name, pending
// order mark, arrow, colours, prices, low and high).
// A symbol of eight decimals: its row keeps them all, for the prices and
// for the day's low and high.
TEST(QuotationRow, ASymbolOfMoreThanSixDecimalsShowsItsLastDigits) {
    LoneRow s;
    MODSymbolInfo coin;
    coin.symbolCode = "BTCETH";
    coin.symbolName = "比特币以太";
    coin.decimal = 8;
    coin.bid = 0.00012345;
    coin.ask = 0.00012355;
    coin.dailyLowest = 0.00012001;
    coin.dailyHighest = 0.00012999;
    LSQuotation q;
    QuotationViewController board;
    board.updateLSQuotation(q, coin);
    EXPECT_EQ(q.bid.toString(), "0.00012345");
    EXPECT_EQ(q.ask.toString(), "0.00012355");
    s.cell->showCellWithLsQuotation(q);
    EXPECT_EQ(s.cell->lowLabel()->text(), "最低:0.00012001");
    EXPECT_EQ(s.cell->highLabel()->text(), "最高:0.00012999");
    if (const auto folder = kavtest::screenshotFolder(); !folder.empty()) {
        UIScreenRenderer::layoutWindows();
        s.composite();
        cairo_surface_write_to_png(s.frame, (folder / "board-row-eight-decimals.png").c_str());
    }
}

TEST(QuotationRow, ACellHandedFromRowToRowShowsEachRowWhole) {
    LoneRow s;
    LSQuotation euro = risingEuro();
    euro.hasLimit = true;
    LSQuotation yen = euro;
    yen.symbolName = "美元日元";
    yen.lastTime = lsconvert::date("2026-01-05 10:00:05");
    yen.bid = decimal("149.990");
    yen.ask = decimal("150.010");
    yen.dailyLowest = decimal("149.700");
    yen.dailyHighest = decimal("150.100");
    yen.decimal = 3;
    yen.upOrDown = -1;
    yen.hasLimit = false;

    QuotationCell& cell = *s.cell;
    cell.showCellWithLsQuotation(euro);
    s.composite();
    const UIImage* rising = cell.directionView()->image().get();
    const UIColor rise = cell.moveColor();
    ASSERT_NE(rising, nullptr);
    EXPECT_FALSE(cell.clockView()->isHidden());

    cell.showCellWithLsQuotation(yen);
    EXPECT_EQ(cell.nameLabel()->text(), "美元日元");
    EXPECT_EQ(cell.timeLabel()->text(), "10:00:05");
    EXPECT_TRUE(cell.clockView()->isHidden());
    const UIImage* falling = cell.directionView()->image().get();
    EXPECT_NE(falling, rising);
    EXPECT_NE(cell.moveColor(), rise);
    EXPECT_EQ(priceOf(cell.sellPrice()), "149.990");
    EXPECT_EQ(priceOf(cell.buyPrice()), "150.010");
    EXPECT_EQ(cell.sellPrice()->lblSmall()->textColor(), cell.moveColor());
    EXPECT_EQ(cell.buyPrice()->lblLarge()->textColor(), cell.moveColor());
    EXPECT_EQ(cell.lowLabel()->text(), "最低:149.700");
    EXPECT_EQ(cell.highLabel()->text(), "最高:150.100");
    EXPECT_FALSE(s.composite().damage.empty());

    // Unchanged: the arrow of no move, in the colour of the row's last move.
    yen.upOrDown = 0;
    cell.showCellWithLsQuotation(yen);
    const UIImage* same = cell.directionView()->image().get();
    EXPECT_NE(same, falling);
    EXPECT_EQ(cell.sellPrice()->lblLarge()->textColor(), cell.moveColor());

    // Back to the first row: all of it again, the mark and the rising arrow.
    cell.showCellWithLsQuotation(euro);
    EXPECT_EQ(cell.nameLabel()->text(), "欧元美元");
    EXPECT_EQ(cell.timeLabel()->text(), "10:00:00");
    EXPECT_FALSE(cell.clockView()->isHidden());
    EXPECT_EQ(cell.directionView()->image().get(), rising);
    EXPECT_EQ(cell.moveColor(), rise);
    EXPECT_EQ(cell.sellPrice()->lblSmall()->textColor(), rise);
    EXPECT_EQ(priceOf(cell.sellPrice()), "1.09990");
    EXPECT_EQ(cell.lowLabel()->text(), "最低:1.09000");
    EXPECT_EQ(cell.highLabel()->text(), "最高:1.11000");
    s.composite();

    // The same row again touches nothing.
    cell.showCellWithLsQuotation(euro);
    EXPECT_FALSE(UIScreenRenderer::needsFrame());
}

// At one pixel a point the arrow's pictures are scaled, so each is recorded
// and kept: a row whose arrow turns up, down and back, in each colour of the
// last move, shows each frame as a full redraw shows it, and each arrow as
// it showed the first time.
TEST(QuotationRow, AnArrowTurningBackAndForthShowsAsAFullRedraw) {
    LoneRow s;
    LSQuotation q = risingEuro();
    q.upOrDown = 0;
    QuotationCell& cell = *s.cell;
    const auto pixels = [](cairo_surface_t* surface) {
        cairo_surface_flush(surface);
        const auto* data = cairo_image_surface_get_data(surface);
        return std::vector<uint8_t>(data, data + cairo_image_surface_get_stride(surface) *
                                                     cairo_image_surface_get_height(surface));
    };
    cell.showCellWithLsQuotation(q);
    s.composite();
    // Each arrow turns the prices' colour too: the row is the arrow's.
    std::map<const UIImage*, std::vector<uint8_t>> looks;
    const int moves[] = {1, 0, -1, 0, 1, -1, 1, 0, -1, 0, 1, 0};
    for (size_t i = 0; i < std::size(moves); ++i) {
        q.upOrDown = moves[i];
        cell.showCellWithLsQuotation(q);
        ASSERT_FALSE(s.composite().damage.empty()) << i;
        const auto frame = pixels(s.frame);
        EXPECT_TRUE(frame == pixels(UIScreenRenderer::renderScreen(1)->surface())) << i;
        const auto [look, first] = looks.emplace(cell.directionView()->image().get(), frame);
        EXPECT_TRUE(first || look->second == frame) << i;
    }
    // Up, down, and no move after each, each arrow its own.
    ASSERT_EQ(looks.size(), 4u);
    const CGRect place =
        cell.directionView()->convertRectToView(cell.directionView()->bounds(), nullptr);
    const int stride = cairo_image_surface_get_stride(s.frame);
    std::vector<std::vector<uint8_t>> arrows;
    for (const auto& [image, frame] : looks) {
        std::vector<uint8_t> arrow;
        for (int y = int(place.origin.y); y < int(std::ceil(CGRectGetMaxY(place))); ++y)
            arrow.insert(arrow.end(), frame.begin() + y * stride + int(place.origin.x) * 4,
                         frame.begin() + y * stride + int(std::ceil(CGRectGetMaxX(place))) * 4);
        EXPECT_EQ(std::count(arrows.begin(), arrows.end(), arrow), 0);
        arrows.push_back(std::move(arrow));
    }
}

// Long prices (an index or a coin at five or six digits with two decimals):
// the sell price's large digits never cover the first digits of the buy
// price beside them, and each price is drawn whole, its small part shrunk
// to its room rather than cut short.
TEST(QuotationRow, LongPricesStandApartAndWhole) {
    LoneRow s;
    QuotationCell& cell = *s.cell;
    const auto inkOf = [](UILabel* label) {
        CGRect ink;
        EXPECT_TRUE(label->drawingInk(label->layer(), ink)) << label->text();
        return label->convertRectToView(ink, nullptr);
    };
    const char* prices[][2] = {
        {"1.09990", "1.10010"}, {"38123.50", "38127.50"}, {"104523.45", "104528.45"}};
    for (const auto& [bid, ask] : prices) {
        LSQuotation q = risingEuro();
        q.bid = decimal(bid);
        q.ask = decimal(ask);
        q.decimal = platform::Decimal::parse(bid)->scale();
        cell.showCellWithLsQuotation(q);
        UIScreenRenderer::layoutWindows();
        s.composite();
        if (const auto folder = kavtest::screenshotFolder(); !folder.empty()) {
            const std::string name = "board-row-" + std::string(ask) + ".png";
            cairo_surface_write_to_png(s.frame, (folder / name).c_str());
        }
        EXPECT_EQ(priceOf(cell.buyPrice()), ask);
        const CGRect sellLarge = inkOf(cell.sellPrice()->lblLarge());
        const CGRect buySmall = inkOf(cell.buyPrice()->lblSmall());
        ASSERT_FALSE(CGRectIsEmpty(sellLarge));
        ASSERT_FALSE(CGRectIsEmpty(buySmall));
        EXPECT_LE(CGRectGetMaxX(sellLarge), CGRectGetMinX(buySmall)) << bid << " " << ask;
        // The small part ends where the large one starts, as it always did.
        EXPECT_LE(CGRectGetMaxX(buySmall), CGRectGetMinX(inkOf(cell.buyPrice()->lblLarge())) + 1)
            << ask;
    }
}
