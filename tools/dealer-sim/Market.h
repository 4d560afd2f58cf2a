#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace dealersim {

// Local calendar helpers ("yyyy-MM-dd HH:mm:ss", the client's date form).
int64_t nowSeconds();
std::string formatLocalTime(int64_t epochSeconds);
int64_t localDayStart(int64_t epochSeconds);

// One tradable symbol of the desk. Prices are held as whole points (one point
// is 10 to the minus `decimals`), so no price ever carries a rounding error.
struct SymbolDef {
    int id = 0;
    std::string code;
    std::string name;
    std::string currency;  // currency of the symbol's prices and profits
    std::string type;  // profit rule: "1" profit in the symbol currency, "3" converted by a rate
    int decimals = 0;
    int unit = 1;             // contract size of one lot
    int pointAsk = 0;         // ask = current + pointAsk points
    int pointBid = 0;         // bid = current - pointBid points
    int pointLimit = 0;       // least distance of a pending order from the market
    int pointStopLose = 0;    // least stop-loss distance
    int pointTakeProfit = 0;  // least take-profit distance
    int maxPointOffset = 0;
    int minQuantity = 1;
    int maxQuantity = 100;
    int quantityStep = 1;
    double marginPerLot = 0;  // in the account currency
    int64_t startPoints = 0;
    int volatility = 1;  // largest step of the walk, in points

    // The largest price in points a desk takes: far above any market, and
    // small enough that the points of every price are whole and exact.
    static constexpr double kMaxPoints = 1e15;

    double scale() const;
    double price(int64_t points) const { return double(points) / scale(); }
    // Only for a price within range().
    int64_t points(double price) const;
    // Whether the price is one of this symbol's: at least one point, at most
    // kMaxPoints.
    bool inRange(double price) const;
};

// The symbols every account trades.
std::vector<SymbolDef> defaultSymbols();

struct Bar {
    int64_t time = 0;                                // start of the bar, seconds since 1970
    int64_t open = 0, high = 0, low = 0, close = 0;  // points
};

struct Quote {
    int64_t current = 0;
    int64_t dayStart = 0;
    int64_t dayOpen = 0, dayHigh = 0, dayLow = 0;
    int64_t prevClose = 0;
    int64_t lastTime = 0;
    int64_t volume = 0;
    int upOrDown = 0;
};

// Live quotes and their history. Each symbol walks with its own generator,
// seeded from the run's seed, so a symbol's price path depends only on the
// seed and on how often it was stepped. History before the start is walked
// backwards from the starting price, so the stream continues it seamlessly.
class Market {
  public:
    Market(uint64_t seed, int64_t now, int historyDays);

    const std::vector<SymbolDef>& symbols() const { return symbols_; }
    int indexOf(const std::string& code) const;  // -1 when unknown
    const SymbolDef& symbol(int i) const { return symbols_[i]; }
    // For a change of the symbol's trading rules (POST /symbol).
    SymbolDef& mutableSymbol(int i) { return symbols_[i]; }
    const Quote& quote(int i) const { return series_[i].quote; }
    int64_t bid(int i) const { return quote(i).current - symbols_[i].pointBid; }
    int64_t ask(int i) const { return quote(i).current + symbols_[i].pointAsk; }

    // One step of the random walk of symbol i at time `now`.
    void step(int i, int64_t now);
    // Sets the current price of symbol i by hand.
    void set(int i, int64_t points, int64_t now);

    // Bars of `periodSeconds` (60, 300, 1800; 0 means one local day) that agree
    // with the minute history. `count` < 0: the last -count bars starting at or
    // before `time` (0: the newest); `count` > 0: the first `count` bars from
    // `time` on (0: the newest `count`).
    std::vector<Bar> bars(int i, int periodSeconds, int count, int64_t time) const;

  private:
    struct Series {
        std::mt19937_64 walk;
        std::vector<Bar> minutes;  // ascending
        std::vector<Bar> oldDays;  // ascending, all before the first minute's day
        Quote quote;
    };
    int64_t walkStep(std::mt19937_64& gen, int volatility) const;
    void apply(int i, int64_t points, int64_t now);
    void buildHistory(int i, uint64_t seed, int64_t now, int historyDays);

    std::vector<SymbolDef> symbols_;
    std::vector<Series> series_;
};

}  // namespace dealersim
