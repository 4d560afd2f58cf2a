// Live quotes and re-pricing: a quote changes the cached symbol in place,
// then everything marked against it is re-priced in place and reported, one
// symbol finished before the next: the symbol, its tickets, its net
// position and their account, its pending orders.
#if defined(__x86_64__)
#define KAV_REPRICE_X86 1
#include <immintrin.h>
#else
#define KAV_REPRICE_X86 0
#endif
// ThreadSanitizer instruments the resolver that picks a clone, and the loader
// runs that resolver before the sanitizer's run time is set up: the program
// crashed before main. A ThreadSanitizer build keeps the plain clone only.
#if defined(__SANITIZE_THREAD__)
#define KAV_REPRICE_CLONES 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KAV_REPRICE_CLONES 0
#endif
#endif
#ifndef KAV_REPRICE_CLONES
#define KAV_REPRICE_CLONES KAV_REPRICE_X86
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>

#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Biz/ReplyValues.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"

using platform::Json;

namespace {

// The account's free margin, net value and risk from its money and its
// floating profit.
void recomputeAccount(MODUserAccount& a) {
    const double margin = a.amMarginUsed + a.amMarginFreezed;
    a.amMarginFree = (a.profitDyn + a.amMarginRemain) - margin;
    a.netValue = margin + a.amMarginFree;
    a.risk = reply::toFloat(Funs::riskWith(a.riskType, a.amMarginUsed, a.netValue));
    BizUserAccount::assessRisk(a);
}

// std::round here, without a call into the library on every quote: halves
// away from zero, the same value for every double but for the sign of a
// zero result. Below 2^52 the whole part is exact, and so is the fraction
// left by taking it away; every double beyond is whole already.
inline double roundHalfAway(double x) {
    if (!(std::fabs(x) < 0x1p52)) return x;  // whole, infinite or no number
    const double whole = static_cast<double>(static_cast<int64_t>(x));
    return std::fabs(x - whole) >= 0.5 ? whole + std::copysign(1.0, x) : whole;
}

// What a quote gives every ticket of its symbol to be priced with: the
// marks written on the tickets and the closing prices the profits count
// from (their reciprocals for the types that count in them), each with
// whether it can be priced against at all (1 or 0).
struct SymbolMarks {
    double bid = 0;
    double ask = 0;
    double closeBid = 0;
    double closeAsk = 0;
    double bidUsable = 0;
    double askUsable = 0;
    double unit = 0;
    double rate = 1;
};

// In place of the profit of a ticket that cannot be priced: every profit
// that stands is finite.
constexpr double kUnpriced = std::numeric_limits<double>::quiet_NaN();

// Tickets priced together before they are written into their records: a
// run small enough for its results to stay in the nearest cache.
constexpr size_t kPricingRun = KAVSymbolTickets::kRun;

// The results of a run of tickets, column by column.
struct PricedRun {
    double converted[kPricingRun];
    double profit[kPricingRun];
    double total[kPricingRun];  // kUnpriced: the ticket cannot be priced
};

// The profits of `count` tickets exactly as CalculateUtils::dynProfit works
// them out one at a time, with what depends only on the symbol worked out
// once: one pass over plain columns, which the compiler turns into vector
// code (twice as wide where the processor has it). A ticket that cannot be
// priced has no profit from the hold price and kUnpriced in place of the
// one from the open price, which it keeps.
#if KAV_REPRICE_CLONES
[[gnu::target_clones("avx2", "default")]]
#endif
void priceTickets(
    size_t count, const SymbolMarks& marks, const double* __restrict open,
    const double* __restrict hold, const double* __restrict signedQuantity,
    const double* __restrict atBid, const double* __restrict usable,
    double* __restrict converted, double* __restrict profit, double* __restrict total) {
    constexpr double kMax = std::numeric_limits<double>::max();
    // A copy the compiler knows no store can change, and tests joined
    // without short cuts: the loop has no branch and becomes vector code.
    const SymbolMarks m = marks;
    for (size_t i = 0; i < count; ++i) {
        // Closing a buy sells at the bid; closing a sell buys at the ask.
        const bool b = atBid[i] != 0;
        const double close = b ? m.closeBid : m.closeAsk;
        // The lots carry the sign, which rounds the same either way round.
        // Adding 0.0 turns the -0 of a sell without quantity into 0.
        const double t = signedQuantity[i] * (close - open[i]) * m.unit + 0.0;
        const double h = signedQuantity[i] * (close - hold[i]) * m.unit + 0.0;
        const double v = h * m.rate;
        // A quantity or a rate no account holds: no profit rather than an
        // infinite one that every sum would carry.
        const bool ok = (usable[i] != 0) & ((b ? m.bidUsable : m.askUsable) != 0) &
                        (std::fabs(t) <= kMax) & (std::fabs(v) <= kMax);
        total[i] = ok ? t : kUnpriced;
        converted[i] = ok ? v : 0.0;
        profit[i] = ok ? h : 0.0;
    }
}

// Two lanes of doubles: a ticket's converted profit and profit, and the
// position's sums of them on one side.
using Pair = double __attribute__((vector_size(16)));
using PairMask = uint64_t __attribute__((vector_size(16)));

// What a run's results add to a position side's sums, by the ticket's side.
constexpr PairMask kOnSide[3][2] = {
    {{0, 0}, {0, 0}},          // neither
    {{~0ull, ~0ull}, {0, 0}},  // buy
    {{0, 0}, {~0ull, ~0ull}},  // sell
};

// The sums a quote makes of its symbol's tickets, each in ticket order.
struct PricingSums {
    Pair buy = {0, 0};   // dppBuy, dpBuy
    Pair sell = {0, 0};  // dppSell, dpSell
    double account = 0;  // the converted profits of the tickets of one account
};

// A run's results into its records and added to the sums, in ticket order as the ticket-by-ticket
// loop added them. A sum starts at +0 and never becomes -0, so adding the +0 of a ticket on the
// other side leaves it as it is; a profit that stands is finite.
template <bool kOneAccount>
void writeRun(size_t count, const PricedRun& run, const SymbolMarks& marks,
              MODHoldBill* const* records, const uint8_t* sides, const uint32_t* slots,
              PricingSums& sums, std::pair<int32_t, double>* profits) {
    // Copies the compiler keeps in registers: no store into a record can
    // change them. Closing a buy sells at the bid; anything else buys at the ask.
    const double mark[3] = {marks.ask, marks.bid, marks.ask};
    Pair buy = sums.buy, sell = sums.sell;
    double account = sums.account;
    for (size_t i = 0; i < count; ++i) {
        MODHoldBill& ticket = *records[i];
        const uint8_t side = sides[i];
        const double converted = run.converted[i];
        const double profit = run.profit[i];
        ticket.markPrice = mark[side];
        ticket.dynProfitPrice = converted;
        ticket.dynProfit = profit;
        if (!std::isnan(run.total[i])) ticket.dynProfitTotal = run.total[i];
        const PairMask bits = std::bit_cast<PairMask>(Pair{converted, profit});
        buy += std::bit_cast<Pair>(bits & kOnSide[side][0]);
        sell += std::bit_cast<Pair>(bits & kOnSide[side][1]);
        // The account counts in its own currency.
        if constexpr (kOneAccount) {
            account += converted;
        } else {
            profits[slots[i]].second += converted;
        }
    }
    sums.buy = buy;
    sums.sell = sell;
    sums.account = account;
}

// Whether every profit of a run stays finite at a quote: a bound on the
// largest of them from the run's largest lots and price, the largest
// closing price, the unit and the rate, with room to spare for the
// rounding of each step.
bool runStaysFinite(const KAVSymbolTickets::RunBound& bound, bool reciprocal, double closeMax,
                    double scale) {
    constexpr double kLimit = std::numeric_limits<double>::max() / 4;
    const double span = bound.quantity * (closeMax + bound.price[reciprocal ? 1 : 0]);
    return span <= kLimit && span * scale <= kLimit;
}

// A run whose every ticket can be priced, at a quote whose closing prices
// can be priced against on both sides and whose profits stay finite
// whatever the run holds: the profits of priceTickets without a check,
// written into the records and added to the sums as writeRun does, in one
// pass. Four tickets at a time: their profits worked out side by side, then
// each ticket's block made (the two profits the sums read, the mark, the
// total), written whole and added to the sums in ticket order. Vector code
// that needs AVX2 and FMA; `count` a multiple of four.
//
// A thousand tickets' records and columns are more than a 48 KiB nearest
// cache holds, so each quote finds most records' lines one cache further:
// they are fetched for writing a few tickets ahead (a hint that processors
// without it take as no instruction), and the lane a ticket closes at is
// worked out from its side's byte, not read from a column of its own.
// Where everything stays in the nearest cache the fetches cost a few
// loads a ticket.
//
// The sums are the loop's critical path, a chain of adds in ticket order
// that no other add may hold up: the +0 that turns a -0 profit into 0 is
// fused into the multiplication by the unit, which runs where the adds do
// not. Fused, the unit's product is rounded once, as it is without; its
// only other difference would be a product that rounds to -0, which the
// add makes 0 and the fused add does not; but the unit is a whole number,
// so a product of a profit that is not 0 is at least the least double and
// never rounds to 0.
//
// At a rate of 1 (the symbol counts in the account's own currency, the
// common case) a converted profit is its profit to the last bit, and so is
// every converted sum its plain sum: the profits are worked out once, and
// one add a ticket keeps the buy side's, the sell side's and the account's
// sums together, in place of the two chains the other rates need. The sums
// it is handed then hold equal pairs, as every way of pricing at that rate
// leaves them.
#if KAV_REPRICE_X86
static_assert(std::is_integral_v<decltype(MODSymbolInfo::unit)>,
              "the fused +0 relies on a unit that is a whole number");
static_assert(KAVSymbolTickets::kBuySide * 32 == 32, "a buy's side byte is 32");
// How many tickets ahead a record is fetched for writing.
constexpr size_t kFetchAhead = 8;
template <bool kOneAccount, bool kUnitRate>
[[gnu::target("avx2,fma,prfchw")]] void repriceRunAvx2(
    size_t count, const SymbolMarks& marks, const double* __restrict open,
    const double* __restrict hold, const double* __restrict signedQuantity,
    MODHoldBill* const* __restrict records, const uint8_t* __restrict sideOffsets,
    const uint32_t* __restrict slots, PricingSums& sums, std::pair<int32_t, double>* profits) {
    // Lane pairs picked per ticket by its close lane: [ask, bid], the bid
    // (2) for a buy, which closes at the bid.
    const __m256d closes =
        _mm256_setr_pd(marks.closeAsk, marks.closeBid, marks.closeAsk, marks.closeBid);
    const __m256d markPrices = _mm256_setr_pd(marks.ask, marks.bid, marks.ask, marks.bid);
    const __m256d unit = _mm256_set1_pd(marks.unit);
    const __m256d rate = _mm256_set1_pd(marks.rate);
    const __m256d zero = _mm256_setzero_pd();
    // What a ticket adds to [dppBuy, dpBuy, dppSell, dpSell], by its side,
    // at the byte offset KAVSymbolTickets::sideOffsets holds.
    alignas(32) static constexpr uint64_t kOnSides[3][4] = {
        {0, 0, 0, 0}, {~0ull, ~0ull, 0, 0}, {0, 0, ~0ull, ~0ull}};
    const char* const onSides = reinterpret_cast<const char*>(kOnSides);
    __m256d sides4 = _mm256_setr_pd(sums.buy[0], sums.buy[1], sums.sell[0], sums.sell[1]);
    __m128d account = _mm_set_sd(sums.account);
    // At a rate of 1: what a ticket adds to [dpBuy, dpSell, the account, -]
    // by its side, at the same offsets; the sums in those lanes.
    static_assert(!kUnitRate || kOneAccount, "one sum of the account at a time");
    alignas(32) static constexpr uint64_t kOnSidesUnit[3][4] = {
        {0, 0, ~0ull, 0}, {~0ull, 0, ~0ull, 0}, {0, ~0ull, ~0ull, 0}};
    const char* const onSidesUnit = reinterpret_cast<const char*>(kOnSidesUnit);
    __m256d unitSums = _mm256_setr_pd(sums.buy[1], sums.sell[1], sums.account, 0);
    for (size_t i = 0; i < count; i += 4) {
        MODHoldBill* const tickets[4] = {records[i], records[i + 1], records[i + 2],
                                         records[i + 3]};
        if (i + kFetchAhead + 4 <= count) {
            for (size_t k = 0; k < 4; ++k)
                __builtin_prefetch(&records[i + kFetchAhead + k]->dynProfitPrice, 1, 3);
        }
        uint32_t sideBytes;
        __builtin_memcpy(&sideBytes, sideOffsets + i, sizeof sideBytes);
        const __m256i lanes = _mm256_and_si256(
            _mm256_cmpeq_epi64(_mm256_cvtepu8_epi64(_mm_cvtsi32_si128(static_cast<int>(sideBytes))),
                               _mm256_set1_epi64x(32)),
            _mm256_set1_epi64x(2));
        const __m256d close = _mm256_permutevar_pd(closes, lanes);
        const __m256d mark = _mm256_permutevar_pd(markPrices, lanes);
        const __m256d q = _mm256_loadu_pd(signedQuantity + i);
        // As priceTickets works them out, to the last bit: the unit's
        // product and the +0 in one (see above).
        const __m256d t = _mm256_fmadd_pd(
            _mm256_mul_pd(q, _mm256_sub_pd(close, _mm256_loadu_pd(open + i))), unit, zero);
        const __m256d h = _mm256_fmadd_pd(
            _mm256_mul_pd(q, _mm256_sub_pd(close, _mm256_loadu_pd(hold + i))), unit, zero);
        const __m256d v = kUnitRate ? h : _mm256_mul_pd(h, rate);
        const __m256d vh02 = _mm256_unpacklo_pd(v, h);  // [v0 h0 | v2 h2]
        const __m256d vh13 = _mm256_unpackhi_pd(v, h);
        const __m256d mt02 = _mm256_unpacklo_pd(mark, t);  // [m0 t0 | m2 t2]
        const __m256d mt13 = _mm256_unpackhi_pd(mark, t);
        const __m256d blocks[4] = {
            _mm256_permute2f128_pd(vh02, mt02, 0x20), _mm256_permute2f128_pd(vh13, mt13, 0x20),
            _mm256_permute2f128_pd(vh02, mt02, 0x31), _mm256_permute2f128_pd(vh13, mt13, 0x31)};
        for (size_t k = 0; k < 4; ++k) {
            _mm256_store_pd(&tickets[k]->dynProfitPrice, blocks[k]);
            // [v h v h]: the side's two sums take the two profits.
            const __m256d both = _mm256_permute2f128_pd(blocks[k], blocks[k], 0x00);
            if constexpr (kUnitRate) {
                const __m256d onSide = _mm256_load_pd(
                    reinterpret_cast<const double*>(onSidesUnit + sideOffsets[i + k]));
                unitSums = _mm256_add_pd(unitSums, _mm256_and_pd(both, onSide));
                continue;
            }
            const __m256d onSide =
                _mm256_load_pd(reinterpret_cast<const double*>(onSides + sideOffsets[i + k]));
            sides4 = _mm256_add_pd(sides4, _mm256_and_pd(both, onSide));
            if constexpr (kOneAccount) {
                account = _mm_add_sd(account, _mm256_castpd256_pd128(blocks[k]));
            } else {
                profits[slots[i + k]].second += _mm256_cvtsd_f64(blocks[k]);
            }
        }
    }
    alignas(32) double out[4];
    if constexpr (kUnitRate) {
        _mm256_store_pd(out, unitSums);
        sums.buy = Pair{out[0], out[0]};
        sums.sell = Pair{out[1], out[1]};
        sums.account = out[2];
        return;
    }
    _mm256_store_pd(out, sides4);
    sums.buy = Pair{out[0], out[1]};
    sums.sell = Pair{out[2], out[3]};
    if constexpr (kOneAccount) sums.account = _mm_cvtsd_f64(account);
}

// Whether the processor runs repriceRunAvx2; asked once, before any quote.
const bool kHasAvx2Fma =
    (__builtin_cpu_init(), __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
#else
// Other processors price every run through priceTickets and writeRun.
constexpr bool kHasAvx2Fma = false;
template <bool kOneAccount, bool kUnitRate>
void repriceRunAvx2(size_t, const SymbolMarks&, const double*, const double*, const double*,
                    MODHoldBill* const*, const uint8_t*, const uint32_t*, PricingSums&,
                    std::pair<int32_t, double>*) {}
#endif

}  // namespace

// What a quote says about its symbol; a value counts when it is there and
// not null (a key given twice counts as its later value).
struct KAVQuoteFields {
    std::string_view code;
    std::string codeScratch;
    bool hasCurrent = false;
    double current = 0;
    bool hasExtreme[4] = {};
    double extreme[4] = {};
    bool hasLastTime = false;
    // Read in place when the quote sends a text; else its text form here.
    std::string_view lastTime;
    std::string lastTimeScratch;

    void reset() {
        code = {};
        hasCurrent = hasLastTime = false;
        for (bool& b : hasExtreme)
            b = false;
    }
};

namespace {

// The four extremes, in the order of KAVQuoteFields::extreme.
constexpr std::pair<const char*, double MODSymbolInfo::*> kExtremes[] = {
    {"priceHighest", &MODSymbolInfo::priceHighest},
    {"priceLowest", &MODSymbolInfo::priceLowest},
    {"dailyHight", &MODSymbolInfo::dailyHighest},
    {"dailyLow", &MODSymbolInfo::dailyLowest},
};

// The fields a quote is read for, the extremes first in their order.
enum QuoteKey : int { kQuoteOther = -1, kQuoteCode = 4, kQuoteCurrent, kQuoteLastTime };

// Which field a key names. Its length tells most keys apart at once; the
// whole key, compared at a length known here, confirms it.
int quoteKey(std::string_view key) {
    switch (key.size()) {
        case 8:
            return platform::isKey(key, "lastTime")   ? kQuoteLastTime
                   : platform::isKey(key, "dailyLow") ? 3
                                                      : kQuoteOther;
        case 10:
            return platform::isKey(key, "symbolCode")   ? kQuoteCode
                   : platform::isKey(key, "dailyHight") ? 2
                                                        : kQuoteOther;
        case 11:
            return platform::isKey(key, "priceLowest") ? 1 : kQuoteOther;
        case 12:
            return platform::isKey(key, "priceCurrent")   ? kQuoteCurrent
                   : platform::isKey(key, "priceHighest") ? 0
                                                          : kQuoteOther;
        default:
            return kQuoteOther;
    }
}

// A received quote, read in place in one pass over its members.
void readQuote(const platform::JsonView& quote, KAVQuoteFields& q) {
    q.reset();
    q.codeScratch.clear();
    quote.forEachMember([&q](std::string_view key, const platform::JsonView& value) {
        const int field = quoteKey(key);
        if (field == kQuoteOther) return;
        const bool present = static_cast<bool>(value);
        switch (field) {
            case kQuoteCode:
                if (value.isString()) {
                    q.code = value.string();
                } else {
                    if (!present || !value.textInto(q.codeScratch)) q.codeScratch.clear();
                    q.code = q.codeScratch;
                }
                break;
            case kQuoteCurrent:
                q.hasCurrent = present;
                if (present) q.current = value.number();
                break;
            case kQuoteLastTime:
                if (value.isString()) {
                    q.hasLastTime = true;
                    q.lastTime = value.string();
                } else {
                    q.hasLastTime = present && value.textInto(q.lastTimeScratch);
                    q.lastTime = q.lastTimeScratch;
                }
                break;
            default:  // one of the extremes
                q.hasExtreme[field] = present;
                if (present) q.extreme[field] = value.number();
                break;
        }
    });
}

// A received quote of plain texts, read where they lie, as readQuote reads
// the same strings in a document.
void readQuote(const platform::JsonFlatText::Member* from, const platform::JsonFlatText::Member* to,
               KAVQuoteFields& q) {
    q.reset();
    q.codeScratch.clear();
    for (const platform::JsonFlatText::Member* m = from; m != to; ++m) {
        const int field = quoteKey(m->key);
        switch (field) {
            case kQuoteOther:
                break;
            case kQuoteCode:
                q.code = m->value;
                break;
            case kQuoteCurrent:
                q.hasCurrent = true;
                q.current = platform::JsonView::numberOfText(m->value);
                break;
            case kQuoteLastTime:
                q.hasLastTime = true;
                q.lastTime = m->value;
                break;
            default:  // one of the extremes
                q.hasExtreme[field] = true;
                q.extreme[field] = platform::JsonView::numberOfText(m->value);
                break;
        }
    }
}

// A quote of a package that was built (compressed quote lines), read from its tree.
void readQuote(const Json& quote, KAVQuoteFields& q) {
    q.reset();
    const Json* code = platform::jsonMember(quote, "symbolCode");
    if (code && code->is_string()) {
        q.code = code->get_ref<const std::string&>();
    } else {
        q.codeScratch = platform::jsonText(code).value_or(std::string());
        q.code = q.codeScratch;
    }
    if (const Json* v = platform::jsonMember(quote, "priceCurrent")) {
        q.hasCurrent = true;
        q.current = platform::jsonDouble(v);
    }
    for (size_t i = 0; i < std::size(kExtremes); ++i) {
        if (const Json* v = platform::jsonMember(quote, kExtremes[i].first)) {
            q.hasExtreme[i] = true;
            q.extreme[i] = platform::jsonDouble(v);
        }
    }
    if (auto lastTime = platform::jsonText(quote, "lastTime")) {
        q.hasLastTime = true;
        q.lastTimeScratch = std::move(*lastTime);
        q.lastTime = q.lastTimeScratch;
    }
}

// A list a quote reports in, kept by the service object from one quote to
// the next so that a quote allocates none; emptied when the quote is done.
// A quote applied from within a report of another gets a list of its own.
template <typename T>
class QuoteList {
  public:
    QuoteList(MODList<T>& kept, bool& inUse)
        : inUse_(inUse), outer_(!inUse), list_(outer_ ? kept : own_) {
        inUse_ = true;
    }
    ~QuoteList() {
        if (!outer_) return;
        if (keep_) {
            release();
        } else {
            list_.clear();
        }
        inUse_ = false;
    }
    QuoteList(const QuoteList&) = delete;
    QuoteList& operator=(const QuoteList&) = delete;
    MODList<T>& list() { return list_; }
    // The list of the one record, held until the next quote: the symbol
    // quoted again and again is held without a count taken and dropped on
    // every quote. The record is held past the end of the quote only
    // while someone else holds it too; one the list alone holds goes at
    // once, as an emptied list would let it go.
    void holdOnly(const std::shared_ptr<T>& record) {
        keep_ = true;
        if (list_.size() == 1 && list_.front() == record) return;
        list_.clear();
        list_.push_back(record);
    }

  private:
    // Let go, unless another holds the record: then held for the next quote.
    void release() {
        if (list_.size() == 1 && list_.front().use_count() == 1) list_.clear();
    }

    bool& inUse_;
    const bool outer_;
    bool keep_ = false;
    MODList<T> own_;
    MODList<T>& list_;
};

}  // namespace

WSPushMessage* KAVBizSDK::quoteDelegate(std::shared_ptr<WSPushMessage>& heard) const {
    if (heard) {
        const bool stillSet = !heard.owner_before(delegate_) && !delegate_.owner_before(heard);
        // Held by nobody else, it is gone for whoever takes it again.
        if (stillSet && heard.use_count() > 1) return heard.get();
        heard.reset();
    }
    heard = delegate_.lock();
    return heard.get();
}

const std::shared_ptr<MODUserAccount>* KAVBizSDK::cachedAccount(int32_t accId) const {
    if (!lastAccount_ || lastAccountId_ != accId) {
        const auto it = accounts_.find(accountKey(accId));
        if (it == accounts_.end()) return nullptr;
        lastAccountId_ = accId;
        lastAccount_ = &it->second;
    }
    // A null record counts as none.
    return *lastAccount_ ? lastAccount_ : nullptr;
}

void KAVBizSDK::onQuoted(const KAVPackage& package) {
    // Quotes change the caches only while someone listens, and only good ones.
    if (!pushGate(package)) return;
    KAVQuoteFields q;
    // A received package is read in place; a built one from its tree.
    if (const platform::JsonFlatText* flat = package.flatData()) {
        flat->forEachElement([&](const auto* from, const auto* to) {
            readQuote(from, to, q);
            applyQuote(q);
        });
        return;
    }
    if (const platform::JsonView data = package.dataView()) {
        data.member("children").forEachElement([&](const platform::JsonView& child) {
            readQuote(child, q);
            applyQuote(q);
        });
        return;
    }
    const Json* children = package.getValue("children");
    if (!children || !children->is_array()) return;
    for (const Json& child : *children) {
        readQuote(child, q);
        applyQuote(q);
    }
}

void KAVBizSDK::applyQuote(const KAVQuoteFields& q) {
    const auto it = dict_symbolInfos.find(q.code);
    if (it == dict_symbolInfos.end()) return;
    // The list the symbol is reported in holds it to the end of the quote
    // (a delegate that empties the caches while it hears of the quote leaves
    // it to the re-pricing that follows).
    QuoteList<MODSymbolInfo> kept(quotedSymbol_, quotedSymbolInUse_);
    MODList<MODSymbolInfo>& quoted = kept.list();
    kept.holdOnly(it->second);
    const std::shared_ptr<MODSymbolInfo>& symbol = quoted.front();
    // Every price below is made from this one: without a usable one the
    // quote says nothing about the symbol. Nor does one so far beyond any
    // market that the prices or the profits made from it overflow.
    const double current = q.current;
    if (!q.hasCurrent || !usablePrice(current)) {
        Funs::log("无效的行情已跳过：" + symbol->symbolCode);
        return;
    }
    // Ask and bid are the symbol's own distances from the current price, in points.
    // The powers of ten a symbol's decimals take, each exact: what
    // pow(10, decimals) gives, without its call on every quote.
    static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
    static_assert(std::size(kScale) == static_cast<size_t>(Funs::kMaxPriceDecimals) + 1);
    const double f = kScale[std::clamp(symbol->decimal, 0, Funs::kMaxPriceDecimals)];
    const double points = current * f;
    const double ask = (symbol->pointAsk + points) / f;
    const double bid = (points - symbol->pointBid) / f;
    if (!std::isfinite(ask) || !std::isfinite(bid)) {
        Funs::log("无效的行情已跳过：" + symbol->symbolCode);
        return;
    }
    // The move of the ask in points, before the ask is replaced; rounded
    // as the distance of a pending order is, so that one point reads as
    // one whatever the binary form of the two prices.
    const double move = roundHalfAway(ask * f - f * symbol->ask);
    symbol->upOrDown = std::isfinite(move)
                           ? static_cast<int32_t>(std::clamp(
                                 move, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                 static_cast<double>(std::numeric_limits<int32_t>::max())))
                           : 0;
    symbol->ask = ask;
    symbol->bid = bid;
    symbol->priceCurrent = current;
    // Only what the quote carries, and can be priced with, replaces what
    // the symbol knows.
    for (size_t i = 0; i < std::size(kExtremes); ++i) {
        if (q.hasExtreme[i] && usablePrice(q.extreme[i]))
            symbol.get()->*kExtremes[i].second = q.extreme[i];
    }
    if (q.hasLastTime) symbol->lastTime = q.lastTime;

    // The delegate taken once for the quote's reports.
    std::shared_ptr<WSPushMessage> heard;
    const uint64_t made = symbolsMade_;
    updateSymbolInfo(quoted, heard);
    // Unless its report made the cache anew, the symbol is still the one
    // under its code: not looked up again.
    updateHoldBill(*symbol, heard, symbolsMade_ == made);
    updateLimitBill(*symbol, heard);
}

void KAVBizSDK::updateSymbolInfo(const MODList<MODSymbolInfo>& quoted,
                                 std::shared_ptr<WSPushMessage>& heard) {
    notifyDelegateNow(quoteDelegate(heard), "onQuotedReceived", kWSPushReport,
                      [&quoted](WSPushMessage& d) { d.onQuotedReceived(quoted); });
}

void KAVBizSDK::indexTickets() {
    if (!ticketIndexStale_) return;
    ticketIndexStale_ = false;
    ticketsBySymbol_.clear();
    accountProfits_.clear();
    std::vector<SymbolTickets*> order;  // symbols as they first appear
    for (const auto& [orderCode, ticket] : holdBills) {
        auto [it, added] = ticketsBySymbol_.try_emplace(ticket->symbolCode);
        SymbolTickets& group = it->second;
        if (added) order.push_back(&group);
        uint32_t slot = 0;
        while (slot < group.profits.size() && group.profits[slot].first != ticket->accId)
            ++slot;
        if (slot == group.profits.size()) group.profits.emplace_back(ticket->accId, 0.0);
        group.profits[slot].second += ticket->dynProfitPrice;
        group.tickets.push_back(ticket);
        group.records.push_back(ticket.get());
        group.slots.push_back(slot);
        // The side as the profit reads it ("B" and "S" too): it picks the
        // price the ticket closes at and the position's sum it adds to.
        const std::string_view code = ticket->bsCode;
        group.sides.push_back(CalculateUtils::isBuyCode(code) ? SymbolTickets::kBuySide
                              : code == "s" || code == "S"    ? SymbolTickets::kSellSide
                                                              : SymbolTickets::kNoSide);
        group.sideOffsets.push_back(static_cast<uint8_t>(group.sides.back() * 32));
    }
    for (auto& entry : ticketsBySymbol_) {
        SymbolTickets& group = entry.second;
        using G = SymbolTickets;
        const size_t count = group.size();
        group.cells.assign(G::kColumnCount * count, 0.0);
        group.runBounds.assign((count + G::kRun - 1) / G::kRun, G::RunBound{});
        const auto inRange = [](double price) {
            return std::fabs(price) <= CalculateUtils::kMaxPrice;
        };
        constexpr double kInf = std::numeric_limits<double>::infinity();
        for (size_t i = 0; i < count; ++i) {
            const MODHoldBill& ticket = *group.records[i];
            const auto set = [&](G::Column c, double value) { group.column(c)[i] = value; };
            // Closed at the bid when the profit counts it as a buy ("B" too).
            const bool buy = CalculateUtils::isBuyCode(ticket.bsCode);
            set(G::kOpen, ticket.priceOpen);
            set(G::kHold, ticket.priceHold);
            if (ticket.priceOpen != 0) set(G::kReciprocalOpen, 1.0 / ticket.priceOpen);
            if (ticket.priceHold != 0) set(G::kReciprocalHold, 1.0 / ticket.priceHold);
            const double quantity = static_cast<double>(ticket.quantityHold);
            set(G::kSignedQuantity, buy ? quantity : -quantity);
            set(G::kAtBid, buy ? 1 : 0);
            if (inRange(ticket.priceOpen) && inRange(ticket.priceHold)) {
                set(G::kPlainUsable, 1);
                if (ticket.priceOpen != 0 && ticket.priceHold != 0) set(G::kReciprocalUsable, 1);
            }
            G::RunBound& bound = group.runBounds[i / G::kRun];
            const double lots = std::fabs(group.column(G::kSignedQuantity)[i]);
            bound.quantity = std::isnan(lots) ? kInf : std::max(bound.quantity, lots);
            // Plain prices, then their reciprocals: whether they can be
            // priced, the open and the hold price.
            constexpr G::Column kSets[2][3] = {
                {G::kPlainUsable, G::kOpen, G::kHold},
                {G::kReciprocalUsable, G::kReciprocalOpen, G::kReciprocalHold}};
            for (size_t set = 0; set < 2; ++set) {
                double& price = bound.price[set];
                price = group.column(kSets[set][0])[i] == 0
                            ? kInf
                            : std::max({price, std::fabs(group.column(kSets[set][1])[i]),
                                        std::fabs(group.column(kSets[set][2])[i])});
            }
        }
    }
    // The sums stay where they are until the next rebuild: each account
    // points at its own.
    for (SymbolTickets* group : order)
        for (auto& [accId, sum] : group->profits)
            accountProfits_[accId].push_back(&sum);
}

void KAVBizSDK::indexOrders() {
    if (!orderIndexStale_) return;
    orderIndexStale_ = false;
    ordersBySymbol_.clear();
    for (const auto& [orderCode, order] : limitBills)
        ordersBySymbol_[order->symbolCode].push_back(order);
}

double KAVBizSDK::floatingProfitOf(int32_t accId) const {
    double profit = 0;
    if (const auto it = accountProfits_.find(accId); it != accountProfits_.end())
        for (const double* sum : it->second)
            profit += *sum;
    return profit;
}

const MODList<MODHoldBill>& KAVBizSDK::checkHoldBillsWith(
    const std::string& symbolCode,
    std::pair<const MODSymbolInfo*, const std::shared_ptr<MODUserAccount>*>* priced,
    const MODSymbolInfo* found) {
    static const MODList<MODHoldBill> kNone;
    indexTickets();
    const MODSymbolInfo* symbol = found;
    if (!symbol) {
        const auto symbolIt = dict_symbolInfos.find(symbolCode);
        symbol = symbolIt == dict_symbolInfos.end() ? nullptr : symbolIt->second.get();
    }
    const std::shared_ptr<MODUserAccount>* account =
        symbol ? cachedAccount(symbol->accId) : nullptr;
    const auto positionIt = holdPosition.find(symbolCode);
    MODHoldPosition* position =
        positionIt == holdPosition.end() ? nullptr : positionIt->second.get();
    if (position) {
        position->dpBuy = position->dpSell = 0;
        position->dppBuy = position->dppSell = 0;
        if (symbol) {
            position->ask = symbol->ask;
            position->bid = symbol->bid;
        }
    }

    const auto groupIt = ticketsBySymbol_.find(symbolCode);
    if (groupIt != ticketsBySymbol_.end()) {
        SymbolTickets& group = groupIt->second;
        // One rate for every ticket of the symbol, held to float precision;
        // the symbol's unit, type and closing prices worked out once.
        const double rate = symbol ? static_cast<double>(static_cast<float>(getExchangeRateWith(
                                         symbol->symbolCurrency, symbol->accCurrency)))
                                   : 1.0;
        const long long type = symbol ? platform::leadingInteger(symbol->symbolType) : 0;
        const bool reciprocal = type == 2;
        // Type 3 converts at the rate, which must be there; other types
        // than these have no profit.
        const bool typeUsable = (type == 1 || type == 2 || type == 3) &&
                                !(type == 3 && !(rate > CalculateUtils::kTinyRate));
        SymbolMarks m;
        m.bid = symbol ? symbol->bid : 0.0;
        m.ask = symbol ? symbol->ask : 0.0;
        m.unit = static_cast<double>(symbol ? symbol->unit : 0);
        m.rate = rate;
        const auto closing = [&](double price, double& usable) {
            const bool ok = typeUsable && std::fabs(price) <= CalculateUtils::kMaxPrice &&
                            !(reciprocal && price == 0);
            usable = ok ? 1 : 0;
            return reciprocal && ok ? 1.0 / price : price;
        };
        m.closeBid = closing(m.bid, m.bidUsable);
        m.closeAsk = closing(m.ask, m.askUsable);
        using G = SymbolTickets;
        const size_t count = group.size();
        const bool oneAccount = group.profits.size() == 1;
        for (auto& [accId, sum] : group.profits)
            sum = 0;
        const double* open = group.column(reciprocal ? G::kReciprocalOpen : G::kOpen);
        const double* hold = group.column(reciprocal ? G::kReciprocalHold : G::kHold);
        const double* signedQuantity = group.column(G::kSignedQuantity);
        const double* atBid = group.column(G::kAtBid);
        const double* usable = group.column(reciprocal ? G::kReciprocalUsable : G::kPlainUsable);
        PricedRun run;
        PricingSums sums;
        // Runs priced without a check per ticket: both closing prices can be
        // priced against, and the rate is a number.
        const bool checkFree =
            kHasAvx2Fma && m.bidUsable != 0 && m.askUsable != 0 && std::isfinite(m.rate);
        const double closeMax = std::max(std::fabs(m.closeBid), std::fabs(m.closeAsk));
        const double scale = std::fabs(m.unit) * std::max(1.0, std::fabs(m.rate));
        const auto fastRun = [&](size_t first) {
            return checkFree && runStaysFinite(group.runBounds[first / kPricingRun], reciprocal,
                                               closeMax, scale);
        };
        for (size_t first = 0; first < count; first += kPricingRun) {
            size_t from = first;
            size_t n = std::min(kPricingRun, count - first);
            if (fastRun(first)) {
                // With the runs after it that need no check either, all in
                // one pass, the sums kept where they are worked out; all
                // but the last few of a short last run.
                while (first + kPricingRun < count && fastRun(first + kPricingRun)) {
                    first += kPricingRun;
                    n += std::min(kPricingRun, count - first);
                }
                const size_t fours = n & ~size_t{3};
                if (oneAccount && m.rate == 1) {
                    repriceRunAvx2<true, true>(fours, m, open + from, hold + from,
                                               signedQuantity + from, group.records.data() + from,
                                               group.sideOffsets.data() + from, nullptr, sums,
                                               nullptr);
                } else if (oneAccount) {
                    repriceRunAvx2<true, false>(fours, m, open + from, hold + from,
                                                signedQuantity + from, group.records.data() + from,
                                                group.sideOffsets.data() + from, nullptr, sums,
                                                nullptr);
                } else {
                    repriceRunAvx2<false, false>(
                        fours, m, open + from, hold + from, signedQuantity + from,
                        group.records.data() + from, group.sideOffsets.data() + from,
                        group.slots.data() + from, sums, group.profits.data());
                }
                from += fours;
                n -= fours;
                if (n == 0) continue;
            }
            priceTickets(n, m, open + from, hold + from, signedQuantity + from, atBid + from,
                         usable + from, run.converted, run.profit, run.total);
            if (oneAccount) {
                writeRun<true>(n, run, m, group.records.data() + from, group.sides.data() + from,
                               nullptr, sums, nullptr);
            } else {
                writeRun<false>(n, run, m, group.records.data() + from, group.sides.data() + from,
                                group.slots.data() + from, sums, group.profits.data());
            }
        }
        if (oneAccount) group.profits.front().second = sums.account;
        if (position) {
            position->dppBuy = sums.buy[0];
            position->dpBuy = sums.buy[1];
            position->dppSell = sums.sell[0];
            position->dpSell = sums.sell[1];
        }
    }
    // Every ticket of the account at its last re-pricing: this symbol's sum
    // is new, the others' are as their own quotes left them.
    if (account) (*account)->profitDyn = floatingProfitOf((*account)->accId);
    if (priced) *priced = {symbol, account};
    return groupIt != ticketsBySymbol_.end() ? groupIt->second.tickets : kNone;
}

void KAVBizSDK::updateHoldBill(const MODSymbolInfo& symbol, std::shared_ptr<WSPushMessage>& heard,
                               bool stillCached) {
    std::pair<const MODSymbolInfo*, const std::shared_ptr<MODUserAccount>*> priced;
    const MODList<MODHoldBill>& tickets =
        checkHoldBillsWith(symbol.symbolCode, &priced, stillCached ? &symbol : nullptr);
    // The symbol's account, found once: the one its tickets were summed for
    // when the code finds this very symbol.
    const std::shared_ptr<MODUserAccount>* cached =
        priced.first == &symbol ? priced.second : cachedAccount(symbol.accId);
    if (tickets.empty()) {
        // Nothing of this symbol to report, but the account's floating
        // profit was summed again: its free margin and risk follow.
        if (cached) recomputeAccount(**cached);
        return;
    }
    // Held through the reports, which may change the caches, to its own.
    std::shared_ptr<MODUserAccount> account = cached ? *cached : nullptr;
    notifyDelegateNow(quoteDelegate(heard), "onHoldBillChange", kWSPushSilent,
                      [&tickets](WSPushMessage& d) { d.onHoldBillChange(tickets); });
    updateHoldPosition(symbol, heard);
    updateAccountInfo(std::move(account), heard);
}

void KAVBizSDK::updateHoldPosition(const MODSymbolInfo& symbol,
                                   std::shared_ptr<WSPushMessage>& heard) {
    QuoteList<MODHoldPosition> kept(quotedPosition_, quotedPositionInUse_);
    MODList<MODHoldPosition>& positions = kept.list();
    if (const auto it = holdPosition.find(symbol.symbolCode); it != holdPosition.end())
        positions.push_back(it->second);
    notifyDelegateNow(quoteDelegate(heard), "onHoldPositionChange", kWSPushSilent,
                      [&positions](WSPushMessage& d) { d.onHoldPositionChange(positions); });
}

void KAVBizSDK::recomputeAccountMoney(MODUserAccount& account) {
    recomputeAccount(account);
}

void KAVBizSDK::updateAccountInfo(std::shared_ptr<MODUserAccount> account) {
    std::shared_ptr<WSPushMessage> heard;
    updateAccountInfo(std::move(account), heard);
}

void KAVBizSDK::updateAccountInfo(std::shared_ptr<MODUserAccount> account,
                                  std::shared_ptr<WSPushMessage>& heard) {
    QuoteList<MODUserAccount> kept(quotedAccount_, quotedAccountInUse_);
    MODList<MODUserAccount>& accounts = kept.list();
    if (account) {
        recomputeAccount(*account);
        accounts.push_back(std::move(account));
    }
    notifyDelegateNow(quoteDelegate(heard), "onAccountChange", kWSPushSilent,
                      [&accounts](WSPushMessage& d) { d.onAccountChange(accounts); });
}

void KAVBizSDK::updateLimitBill(const MODSymbolInfo& symbol,
                                std::shared_ptr<WSPushMessage>& heard) {
    indexOrders();
    // Without pending orders the code is not even hashed.
    if (ordersBySymbol_.empty()) return;
    const auto it = ordersBySymbol_.find(symbol.symbolCode);
    if (it == ordersBySymbol_.end()) return;
    const MODList<MODLimitBill>& orders = it->second;
    for (const auto& order : orders) {
        // A buy at the bid however spelt ("B" too), as the query marks it.
        order->markPrice = CalculateUtils::isBuyCode(order->bsCode) ? symbol.bid : symbol.ask;
        // The distance to the market moves with the market.
        order->rangePoint =
            Funs::getPointWithPrice1(order->markPrice, order->orderPrice, symbol.decimal);
    }
    if (orders.empty()) return;
    notifyDelegateNow(quoteDelegate(heard), "onLimitBillChange", kWSPushSilent,
                      [&orders](WSPushMessage& d) { d.onLimitBillChange(orders); });
}

void KAVBizSDK::holdBillsChanged(int32_t accId) {
    const auto account = getAccountWith(accId);
    ticketsChanged();
    if (!account) return;
    indexTickets();
    account->profitDyn = floatingProfitOf(accId);
    recomputeAccount(*account);
}
