// The service object's trading records and orders: the ticket, pending-order,
// position, closed-ticket, bulletin and history queries, their caches and
// getters, the stop-loss/take-profit bounds and the six order actions.

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "Core/Biz/BizBulletin.h"
#include "Core/Biz/BizCloseBill.h"
#include "Core/Biz/BizHisQuoted.h"
#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizHoldPosition.h"
#include "Core/Biz/BizLimitBill.h"
#include "Core/Biz/BizOrder.h"
#include "Core/CalculateUtils.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "Core/SymbolFields.h"
#include "platform/MainThread.h"

namespace {

// An order the client refuses before sending it.
constexpr KAVClientResult kBadSymbol{"10004", "无效的商品代码"};
constexpr KAVClientResult kBadBillData{"10004", "无效的单据数据"};
constexpr KAVClientResult kBadBillInfo{"10004", "无效的单据信息"};
// The history-quote channel is missing or not open.
constexpr KAVClientResult kNoHistoryService{"1", "历史行情服务未初始化"};
constexpr KAVClientResult kHistoryServiceNotReady{"1", "历史行情服务未就绪"};

// Quantities go out without decimals, so only a whole positive number of
// lots says what the user asked for: 0.1 would go out as "0", 2.5 as "2".
bool isWholeQuantity(double quantity) {
    return std::isfinite(quantity) && quantity >= 1 && std::floor(quantity) == quantity;
}

// Runs the list query of `biz`; when the reply arrives and the service
// object still lives, `complete` works on the records before the caller's
// block gets them: all of them, or those `complete` returns when it
// returns a list.
template <typename Biz, typename Complete>
void queryAndComplete(KAVBizSDK& sdk, std::shared_ptr<Biz> biz, Complete complete,
                      typename Biz::SuccessBlock onSuccess, KAVFailureBlock onFailure) {
    sdk.queryWithBiz(
        biz,
        [weak = sdk.weak_from_this(), complete = std::move(complete),
         onSuccess = std::move(onSuccess)](const auto& records) {
            const auto self = weak.lock();
            if (!self) return;
            if constexpr (std::is_void_v<decltype(complete(*self, records))>) {
                complete(*self, records);
                if (onSuccess) onSuccess(records);
            } else {
                const auto kept = complete(*self, records);
                if (onSuccess) onSuccess(kept);
            }
        },
        std::move(onFailure));
}

// The records of a ticket or order answer that a push has not marked gone
// since the query left (after the mark `sentAt`): the answer was made before
// that close, fill or cancel, and its record would bring back a ticket or
// order the dealer no longer has. A code marked gone before the query left
// and listed by the dealer is open after all: its mark goes.
template <typename Record>
MODList<Record> notGoneSince(const MODList<Record>& records, std::map<std::string, uint64_t>& gone,
                             uint64_t sentAt) {
    MODList<Record> kept;
    kept.reserve(records.size());
    for (const auto& record : records) {
        if (!record) continue;
        const auto mark = gone.find(record->orderCode);
        if (mark != gone.end() && mark->second > sentAt) continue;
        if (mark != gone.end()) gone.erase(mark);
        kept.push_back(record);
    }
    return kept;
}

// Gives the pushes since the query left (after the mark `sentAt`) the last
// word over the completed answer: a record a push filed as open since is the
// cached one, in the answer's place when the answer lists it (the answer was
// made before that change), else after the answer's records in the order of
// their pushes (the answer was made before it opened: a close since would
// have been pushed before the answer came, and taken it out of the cache).
template <typename Record>
void takeFiledSince(MODList<Record>& records, const std::map<std::string, uint64_t>& filed,
                    const std::map<std::string, std::shared_ptr<Record>>& cache, uint64_t sentAt) {
    const auto cachedSince = [&](const std::string& code) -> std::shared_ptr<Record> {
        const auto mark = filed.find(code);
        if (mark == filed.end() || mark->second <= sentAt) return nullptr;
        const auto cached = cache.find(code);
        return cached == cache.end() ? nullptr : cached->second;
    };
    for (auto& record : records)
        if (auto cached = cachedSince(record->orderCode)) record = std::move(cached);
    std::vector<std::pair<uint64_t, std::shared_ptr<Record>>> later;
    for (const auto& entry : filed) {
        auto cached = cachedSince(entry.first);
        if (!cached) continue;
        const bool listed = std::any_of(records.begin(), records.end(),
                                        [&](const auto& r) { return r->orderCode == entry.first; });
        if (!listed) later.emplace_back(entry.second, std::move(cached));
    }
    std::sort(later.begin(), later.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : later)
        records.push_back(std::move(entry.second));
}

// The completed position answer with the last word to the pushes since the
// query left (after the mark `sentAt`): a symbol pushed since keeps the
// position the push left in the cache, or none when the push emptied it, in
// the answer's place, or after the answer's positions when the answer does
// not list it.
MODList<MODHoldPosition> positionsAfterPushesSince(
    const MODList<MODHoldPosition>& answer, const std::map<std::string, uint64_t>& pushed,
    const std::map<std::string, std::shared_ptr<MODHoldPosition>>& cache, uint64_t sentAt) {
    const auto pushedSince = [&](const std::string& code) {
        const auto mark = pushed.find(code);
        return mark != pushed.end() && mark->second > sentAt;
    };
    const auto cachedOf = [&](const std::string& code) {
        const auto it = cache.find(code);
        return it == cache.end() ? nullptr : it->second;
    };
    MODList<MODHoldPosition> positions;
    positions.reserve(answer.size());
    for (const auto& position : answer) {
        if (!position || !pushedSince(position->symbolCode)) {
            positions.push_back(position);
        } else if (auto cached = cachedOf(position->symbolCode)) {
            positions.push_back(std::move(cached));
        }
    }
    std::vector<std::pair<uint64_t, std::shared_ptr<MODHoldPosition>>> later;
    for (const auto& entry : pushed) {
        if (entry.second <= sentAt) continue;
        auto cached = cachedOf(entry.first);
        if (!cached) continue;
        const bool listed = std::any_of(answer.begin(), answer.end(), [&](const auto& p) {
            return p && p->symbolCode == entry.first;
        });
        if (!listed) later.emplace_back(entry.second, std::move(cached));
    }
    std::sort(later.begin(), later.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : later)
        positions.push_back(std::move(entry.second));
    return positions;
}

// The records by key, the later of two with one key winning; records
// without a key are left out.
template <typename Record, typename Key>
std::map<std::string, std::shared_ptr<Record>> cacheOf(const MODList<Record>& records, Key key) {
    std::map<std::string, std::shared_ptr<Record>> cache;
    for (const auto& record : records)
        if (const std::string& k = key(*record); !k.empty()) cache[k] = record;
    return cache;
}

// The entry under the key, or null.
template <typename Map>
typename Map::mapped_type entryOf(const Map& map, const typename Map::key_type& key) {
    const auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
}

}  // namespace

// ---- queries ----------------------------------------------------------------

void KAVBizSDK::queryHoldBillOnSuccess(HoldBillsBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    queryAndComplete(
        *this, std::make_shared<BizHoldBill>(channelNamed(kWSTrader)),
        [sentAt = pushMarks_](KAVBizSDK& self, const MODList<MODHoldBill>& answer) {
            MODList<MODHoldBill> bills = notGoneSince(answer, self.goneTickets_, sentAt);
            for (const auto& bill : bills) {
                const auto symbol = self.getSymbolWithId(bill->symbolId);
                takeSymbolFields(*bill, symbol.get());
                BizHoldBill::markWithSymbol(
                    *bill, symbol.get(),
                    self.exchangeRateWith(bill->symbolCurrency, bill->accCurrency));
            }
            takeFiledSince(bills, self.filedTickets_, self.holdBills, sentAt);
            self.holdBills = cacheOf(
                bills, [](const MODHoldBill& b) -> const std::string& { return b.orderCode; });
            self.ticketsChanged();
            return bills;
        },
        std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::queryLimitBillOnSuccess(LimitBillsBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    queryAndComplete(
        *this, std::make_shared<BizLimitBill>(channelNamed(kWSTrader)),
        [sentAt = pushMarks_](KAVBizSDK& self, const MODList<MODLimitBill>& answer) {
            MODList<MODLimitBill> orders = notGoneSince(answer, self.goneOrders_, sentAt);
            for (const auto& order : orders) {
                const auto symbol = self.getSymbolWithId(order->symbolId);
                takeSymbolFields(*order, symbol.get());
                BizLimitBill::markWithSymbol(*order, symbol.get());
            }
            takeFiledSince(orders, self.filedOrders_, self.limitBills, sentAt);
            self.limitBills = cacheOf(
                orders, [](const MODLimitBill& o) -> const std::string& { return o.orderCode; });
            self.ordersChanged();
            return orders;
        },
        std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::queryHoldPositionOnSuccess(HoldPositionsBlock onSuccess,
                                           KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    queryAndComplete(
        *this, std::make_shared<BizHoldPosition>(channelNamed(kWSTrader)),
        [sentAt = pushMarks_](KAVBizSDK& self, const MODList<MODHoldPosition>& answer) {
            for (const auto& position : answer) {
                const auto symbol = self.getSymbolWithId(position->symbolId);
                takeSymbolFields(*position, symbol.get());
                BizHoldPosition::priceWithSymbol(
                    *position, symbol.get(),
                    self.exchangeRateWith(position->symbolCurrency, position->accCurrency));
            }
            MODList<MODHoldPosition> positions =
                positionsAfterPushesSince(answer, self.pushedPositions_, self.holdPosition, sentAt);
            // A position of a symbol that is not cached has no code to be
            // found by; quotes could not re-price it either.
            self.holdPosition = cacheOf(
                positions,
                [](const MODHoldPosition& p) -> const std::string& { return p.symbolCode; });
            return positions;
        },
        std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::queryCloseBillOnSuccess(CloseBillsBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    queryAndComplete(
        *this, std::make_shared<BizCloseBill>(channelNamed(kWSTrader)),
        [](KAVBizSDK& self, const MODList<MODCloseBill>& closed) {
            for (const auto& bill : closed) {
                const auto symbol = self.getSymbolWithId(bill->symbolId);
                takeSymbolFields(*bill, symbol.get());
                BizCloseBill::profitWithSymbol(
                    *bill, symbol.get(),
                    self.exchangeRateWith(bill->symbolCurrency, bill->accCurrency));
            }
        },
        std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::queryBulletinOnSuccess(BulletinsBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    queryWithBiz(std::make_shared<BizBulletin>(channelNamed(kWSMSG)), std::move(onSuccess),
                 std::move(onFailure));
}

void KAVBizSDK::hisQuotedWithSymbol(const std::string& symbolCode, int32_t period, int32_t barCount,
                                    int64_t tmStamp, const std::string& /*startDate*/,
                                    const std::string& /*endDate*/, BarsBlock onSuccess,
                                    KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    const auto channel = channelNamed(kWSHisQuoted);
    if (!channel) return kavFail(onFailure, kNoHistoryService);
    if (channel->Status() != webSocket::kStatusOpen)
        return kavFail(onFailure, kHistoryServiceNotReady);
    auto biz = std::make_shared<BizHisQuoted>(channel);
    biz->getQuotedWithSID(sid_, userId_, symbolCode, barCount, period, tmStamp,
                          std::move(onSuccess), std::move(onFailure));
}

// ---- getters -----------------------------------------------------------------

std::shared_ptr<MODHoldBill> KAVBizSDK::getHoldBillWith(const std::string& orderCode) const {
    return entryOf(holdBills, orderCode);
}

std::shared_ptr<MODLimitBill> KAVBizSDK::getLimitBillWith(const std::string& orderCode) const {
    return entryOf(limitBills, orderCode);
}

std::shared_ptr<MODHoldPosition> KAVBizSDK::getPositionWith(const std::string& symbolCode) const {
    return entryOf(holdPosition, symbolCode);
}

// ---- arithmetic for the order screens ---------------------------------------

std::string KAVBizSDK::getLimitTypeWithBSCode(const std::string& bsCode, int32_t over) {
    if ((bsCode == "b" && over >= 1) || (bsCode == "s" && over <= -1)) return "4";
    return "3";
}

std::shared_ptr<MODLimitPrice> KAVBizSDK::getLimitWithSymbolCode(const std::string& symbolCode,
                                                                 float price,
                                                                 const std::string& bsCode) const {
    const auto symbol = getSymbolWith(symbolCode);
    return symbol ? CalculateUtils::getLimitWithSymbol(*symbol, price, bsCode) : nullptr;
}

// ---- orders -------------------------------------------------------------------

void KAVBizSDK::sendOrder(MODOrder& order, const MODSymbolInfo& symbol,
                          const std::string& eventCode, KAVDoneBlock onSuccess,
                          KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    order.symbolId = symbol.symbolId;
    order.pointAsk = symbol.pointAsk;
    order.pointBid = symbol.pointBid;
    order.accId = symbol.accId;
    order.seatsCode = symbol.seatsCode;
    auto biz = std::make_shared<BizOrder>(channelNamed(kWSTrader));
    biz->makeOrderWithSID(sid_, userId_, order, symbol.decimal, eventCode, std::move(onSuccess),
                          std::move(onFailure));
}

void KAVBizSDK::marketOpenWithSymbol(const std::string& symbolCode, double quantity,
                                     const std::string& bsCode, double orderPrice,
                                     int32_t pointOffset, double priceStopLose,
                                     double priceTakeProfit, const std::string& memo,
                                     KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    const auto symbol = getSymbolWith(symbolCode);
    if (!symbol) return kavFail(onFailure, kBadSymbol);
    if (!isWholeQuantity(quantity)) return kavFail(onFailure, kBadBillData);
    MODOrder order;
    order.orderType = "1";
    order.symbolCode = symbolCode;
    order.orderQuantity = quantity;
    order.bsCode = bsCode;
    order.orderPrice = orderPrice;
    order.pointOffset = pointOffset;
    order.priceStopLose = priceStopLose;
    order.priceTakeProfit = priceTakeProfit;
    order.validDateType = "0";
    order.memo = memo;
    sendOrder(order, *symbol, "3001", std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::marketCloseWithSymbol(const std::string& symbolCode, double quantity,
                                      const std::string& bsCode, int32_t pointOffset,
                                      double revQuantity, const std::string& memo,
                                      KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    // Without the symbol there is no price to close at: the order would go
    // out at price 0 for symbol id 0.
    const auto symbol = getSymbolWith(symbolCode);
    if (!symbol) return kavFail(onFailure, kBadSymbol);
    if (!isWholeQuantity(quantity)) return kavFail(onFailure, kBadBillData);
    MODOrder order;
    order.orderType = "2";
    order.symbolCode = symbolCode;
    order.orderQuantity = quantity;
    order.bsCode = bsCode;
    // Selling closes the buys, at the bid; buying closes the sells, at the ask.
    order.orderPrice = bsCode == "s" ? symbol->bid : symbol->ask;
    order.pointOffset = pointOffset;
    order.revQuantity = revQuantity;
    order.cutType = "1";
    order.validDateType = "0";
    order.memo = memo;
    sendOrder(order, *symbol, "2039", std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::marketCloseWithOrder(const std::shared_ptr<MODHoldBill>& ticket, double quantity,
                                     int32_t pointOffset, double revQuantity,
                                     const std::string& memo, KAVDoneBlock onSuccess,
                                     KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    if (!ticket) return kavFail(onFailure, kBadBillData);
    const auto symbol = getSymbolWith(ticket->symbolCode);
    if (!symbol) return kavFail(onFailure, kBadSymbol);
    if (!isWholeQuantity(quantity)) return kavFail(onFailure, kBadBillData);
    // A ticket the service marks and counts as a buy ("b" in either case)
    // is closed by selling at the bid: buying would add to the position.
    const bool closesBuy = CalculateUtils::isBuyCode(ticket->bsCode);
    MODOrder order;
    order.orderType = "2";
    order.symbolCode = ticket->symbolCode;
    order.orderQuantity = quantity;
    order.bsCode = closesBuy ? "s" : "b";
    order.orderPrice = closesBuy ? symbol->bid : symbol->ask;
    order.pointOffset = pointOffset;
    order.revQuantity = revQuantity;
    order.orderCodeRe = ticket->orderCode;
    order.validDateType = "0";
    order.memo = memo;
    sendOrder(order, *symbol, "3003", std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::limitOpenWithSymbol(const std::string& symbolCode, double quantity,
                                    const std::string& bsCode, double orderPrice,
                                    double priceStopLose, double priceTakeProfit,
                                    const std::string& validDateType, const std::string& memo,
                                    KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    const auto symbol = getSymbolWith(symbolCode);
    if (!symbol) return kavFail(onFailure, kBadSymbol);
    if (!isWholeQuantity(quantity)) return kavFail(onFailure, kBadBillData);
    // The kind depends on which side of the market the price lies, counted
    // in points: a buy above the ask or a sell below the bid waits for the
    // market to break through (stop), the others for it to come back (limit).
    const double market = bsCode == "b" ? symbol->ask : symbol->bid;
    const int32_t distance = Funs::getPointWithPrice1(orderPrice, market, symbol->decimal);
    const int32_t over = orderPrice < market ? -distance : distance;
    MODOrder order;
    order.orderType = getLimitTypeWithBSCode(bsCode, over);
    order.limitType = order.orderType;
    order.symbolCode = symbolCode;
    order.orderQuantity = quantity;
    order.bsCode = bsCode;
    order.orderPrice = orderPrice;
    order.priceStopLose = priceStopLose;
    order.priceTakeProfit = priceTakeProfit;
    order.validDateType = validDateType;
    order.memo = memo;
    sendOrder(order, *symbol, "3005", std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::modifyOrderWithSymbol(const std::string& symbolCode, double priceStopLose,
                                      double priceTakeProfit, const std::string& orderCode,
                                      const std::string& memo, KAVDoneBlock onSuccess,
                                      KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    const auto symbol = getSymbolWith(symbolCode);
    if (!symbol) return kavFail(onFailure, kBadSymbol);
    MODOrder order;
    order.orderType = "3011";
    order.symbolCode = symbolCode;
    order.priceStopLose = priceStopLose;
    order.priceTakeProfit = priceTakeProfit;
    order.orderCode = orderCode;
    order.validDateType = "0";
    order.memo = memo;
    sendOrder(order, *symbol, "3011", std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::cancelOrderWithOrder(const std::shared_ptr<MODLimitBill>& pending,
                                     const std::string& memo, KAVDoneBlock onSuccess,
                                     KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    if (!pending) return kavFail(onFailure, kBadBillInfo);
    // The dealer finds the order by its number and a cancel prices nothing,
    // so an order whose symbol is not (or no longer) cached can still be
    // cancelled: it goes out with the order's own symbol id and account, no
    // seat and every price 0.
    auto symbol = getSymbolWith(pending->symbolCode);
    if (!symbol) {
        symbol = std::make_shared<MODSymbolInfo>();
        symbol->symbolId = pending->symbolId;
        symbol->accId = pending->accId;
    }
    MODOrder order;
    order.orderType = "6";
    order.symbolCode = pending->symbolCode;
    order.orderCode = pending->orderCode;
    order.validDateType = "0";
    order.memo = memo;
    sendOrder(order, *symbol, "3009", std::move(onSuccess), std::move(onFailure));
}
