#include "Core/Funs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "platform/Dates.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Strings.h"

namespace {

constexpr int32_t kFirstOrder = 2;
constexpr int32_t kLastOrder = 65535;

std::atomic<int32_t>& messageOrderCounter() {
    static std::atomic<int32_t> counter{kFirstOrder};
    return counter;
}

int32_t toInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t Funs::getMessageOrder() {
    auto& counter = messageOrderCounter();
    int32_t current = counter.load();
    int32_t next;
    do {
        next = current < kLastOrder ? current + 1 : kFirstOrder;
    } while (!counter.compare_exchange_weak(current, next));
    return next;
}

void Funs::setMessageOrder(int32_t value) {
    messageOrderCounter().store(value);
}

void Funs::delayRunWithSeconds(float seconds, std::function<void()> process) {
    // Whole nanoseconds, as the delay is counted.
    const double nanos = std::trunc(static_cast<double>(seconds) * 1e9);
    platform::dispatch::after(std::max(0.0, nanos) / 1e9, std::move(process));
}

void Funs::log(std::string_view text) {
    platform::log(text);
}

std::string Funs::getToDay() {
    return platform::dates::now();
}

int64_t Funs::Date2Epoch(std::string_view text) {
    const auto epoch = platform::dates::parse(text);
    return epoch ? static_cast<int64_t>(std::floor(*epoch)) : 0;
}

std::string Funs::Epoch2Date(int64_t epoch) {
    return platform::dates::format(static_cast<double>(epoch));
}

std::string Funs::withStringLeft(std::string_view text, int n) {
    return platform::utf8Prefix(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string Funs::withStringRight(std::string_view text, int n) {
    return platform::utf8Suffix(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string Funs::formatPrice(double price, int decimal) {
    // The count usually comes from the server (a symbol's decimals); beyond
    // 15 a double has nothing more to show, and an absurd count would build
    // a text of millions of digits on the main thread.
    return platform::stringf("%.*f", std::clamp(decimal, 0, 15), price);
}

int32_t Funs::getPointWithPrice1(double p1, double p2, int decimal) {
    // The power of ten in double, where it is exact: 10^10 is beyond a
    // 32-bit integer.
    const double f = std::pow(10.0, std::clamp(decimal, 0, kMaxPriceDecimals));
    // Rounded to the nearest point: prices such as 1.1025 are not exact in
    // binary, and truncating 110249.99... would lose a point.
    return toInt32(std::round(std::fabs(f * p1 - f * p2)));
}

double Funs::riskWith(std::string_view riskType, double usedMargin, double netValue) {
    if (riskType == "2") return testDB_Zero(usedMargin) ? 0.0 : netValue / usedMargin;
    if (riskType == "1") return testDB_Zero(netValue) ? 0.0 : usedMargin / netValue;
    return 0.0;
}

double Funs::calculateDynProfitWith(double price, double openPrice, double quantity,
                                    std::string_view bsCode, int unit,
                                    std::string_view symbolType) {
    const double side = bsCode == "b" ? 1.0 : -1.0;
    if (symbolType == "1") return unit * ((price - openPrice) * side) * quantity;
    if (symbolType == "2") return unit * (side * (1.0 / price - 1.0 / openPrice)) * quantity;
    return 0.0;
}

bool Funs::testDB_Zero(double x) {
    return std::fabs(x) < std::numeric_limits<double>::min();
}
