// The service object's symbol, account and exchange-rate caches: the
// queries that fill them, their getters, and live quotes on cached symbols.
#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "Core/Biz/BizCERInfo.h"
#include "Core/Biz/BizSymbolInfo.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Biz/ReplyValues.h"
#include "Core/KAVBizSDK.h"
#include "platform/Strings.h"

using platform::Json;

// ---- symbols ---------------------------------------------------------------

void KAVBizSDK::querySymbolOnSuccess(SymbolsBlock onSuccess, KAVFailureBlock onFailure) {
    auto biz = std::make_shared<BizSymbolInfo>(channelNamed(kWSTrader));
    biz->loadDataWithSID(
        sid_, userId_,
        [weak = weak_from_this(), onSuccess = std::move(onSuccess)](const MODList<MODSymbolInfo>& symbols) {
            auto self = weak.lock();
            if (!self) return;
            // Rebuilt within this one callback: a reader sees the old caches
            // or the new ones, never a mix.
            self->dict_symbolInfos.clear();
            self->dict_symbolIds.clear();
            MODList<MODSymbolInfo> list;
            list.reserve(symbols.size());
            for (const auto& symbol : symbols) {
                const auto account = self->getAccountWith(symbol->accId);
                symbol->accCurrency = account ? account->currencyCode : std::string();
                self->dict_symbolInfos[symbol->symbolCode] = symbol;
                self->dict_symbolIds[symbol->symbolId] = symbol;
                list.push_back(symbol);
            }
            self->symbolInfos_ = std::move(list);
            if (onSuccess) onSuccess(symbols);
        },
        std::move(onFailure));
}

std::shared_ptr<MODSymbolInfo> KAVBizSDK::getSymbolWith(const std::string& code) const {
    if (symbolInfos_.empty()) return nullptr;
    const auto it = dict_symbolInfos.find(code);
    return it == dict_symbolInfos.end() ? nullptr : it->second;
}

std::shared_ptr<MODSymbolInfo> KAVBizSDK::getSymbolWithId(int32_t symbolId) const {
    if (symbolInfos_.empty()) return nullptr;
    const auto it = dict_symbolIds.find(symbolId);
    return it == dict_symbolIds.end() ? nullptr : it->second;
}

MODList<MODSymbolInfo> KAVBizSDK::getSymbolsWith(int32_t accId) const {
    MODList<MODSymbolInfo> result;
    for (const auto& symbol : symbolInfos_) {
        if (accId == -1 || symbol->accId == accId) result.push_back(symbol);
    }
    return result;
}

// ---- accounts --------------------------------------------------------------

std::string KAVBizSDK::accountKey(int32_t accId) {
    return platform::stringf("acc_%i", accId);
}

void KAVBizSDK::queryAccountOnSuccess(AccountsBlock onSuccess, KAVFailureBlock onFailure) {
    auto biz = std::make_shared<BizUserAccount>(channelNamed(kWSTrader));
    queryWithBiz(
        biz,
        [weak = weak_from_this(), onSuccess = std::move(onSuccess)](const MODList<MODUserAccount>& accounts) {
            auto self = weak.lock();
            if (!self) return;
            for (const auto& account : accounts) self->accounts_[accountKey(account->accId)] = account;
            if (!onSuccess) return;
            // The caller gets what is now cached: one record per account, so
            // that a change made through it is seen by every reader.
            MODList<MODUserAccount> cached;
            std::set<int32_t> seen;
            for (const auto& account : accounts) {
                if (seen.insert(account->accId).second) cached.push_back(self->accounts_[accountKey(account->accId)]);
            }
            onSuccess(cached);
        },
        std::move(onFailure));
}

std::shared_ptr<MODUserAccount> KAVBizSDK::getAccountWith(int32_t accId) const {
    const auto it = accounts_.find(accountKey(accId));
    return it == accounts_.end() ? nullptr : it->second;
}

MODList<MODUserAccount> KAVBizSDK::getAccounts() const {
    MODList<MODUserAccount> result;
    result.reserve(accounts_.size());
    for (const auto& [key, account] : accounts_) result.push_back(account);
    return result;
}

// ---- exchange rates ----------------------------------------------------------

void KAVBizSDK::queryCERInfoOnSuccess(RatesBlock onSuccess, KAVFailureBlock onFailure) {
    auto biz = std::make_shared<BizCERInfo>(channelNamed(kWSTrader));
    biz->loadDataWithSID(
        sid_, userId_,
        [weak = weak_from_this(), onSuccess = std::move(onSuccess)](const MODList<MODCERInfo>& rates) {
            auto self = weak.lock();
            if (!self) return;
            self->exchangeRate.clear();
            for (const auto& rate : rates)
                self->exchangeRate[BizCERInfo::keyOf(rate->currencyBase, rate->currencyExchange)] = rate;
            if (onSuccess) onSuccess(rates);
        },
        std::move(onFailure));
}

double KAVBizSDK::getExchangeRateWith(const std::string& base, const std::string& counter) const {
    return exchangeRateWith(base, counter);
}

double KAVBizSDK::exchangeRateWith(const std::string& base, const std::string& target) const {
    const auto it = exchangeRate.find(BizCERInfo::keyOf(base, target));
    return it == exchangeRate.end() ? 1.0 : it->second->exchangeRate;
}

// ---- live quotes ---------------------------------------------------------------

void KAVBizSDK::onQuoted(const KAVPackage& package) {
    // Quotes change the caches only while someone listens, and only good ones.
    if (!delegate() || package.retCode() != kKAVSuccessCode) return;
    const Json* children = package.getValue("children");
    if (!children || !children->is_array()) return;
    for (const Json& child : *children) {
        const auto it = dict_symbolInfos.find(reply::textValue(child, "symbolCode"));
        if (it == dict_symbolInfos.end()) continue;
        const std::shared_ptr<MODSymbolInfo> symbol = it->second;
        // The quote carries the current price; ask and bid are the symbol's
        // own distances from it, in points.
        const double f = std::trunc(std::pow(10.0, std::clamp(symbol->decimal, 0, 9)));
        const double current = reply::doubleValue(child, "priceCurrent");
        const double points = current * f;
        const double ask = (symbol->pointAsk + points) / f;
        const double bid = (points - symbol->pointBid) / f;
        // The move of the ask in points, before the ask is replaced.
        const double move = std::trunc(ask * f - f * symbol->ask);
        symbol->upOrDown = std::isfinite(move) ? static_cast<int32_t>(std::clamp(
                                                     move, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                                     static_cast<double>(std::numeric_limits<int32_t>::max())))
                                               : 0;
        symbol->ask = ask;
        symbol->bid = bid;
        symbol->priceCurrent = current;
        symbol->priceHighest = reply::doubleValue(child, "priceHighest");
        symbol->priceLowest = reply::doubleValue(child, "priceLowest");
        symbol->dailyHighest = reply::doubleValue(child, "dailyHight");
        symbol->dailyLowest = reply::doubleValue(child, "dailyLow");
        symbol->lastTime = reply::textValue(child, "lastTime");
        updateSymbolInfo(symbol);
    }
}

void KAVBizSDK::updateSymbolInfo(const std::shared_ptr<MODSymbolInfo>& symbol) {
    const MODList<MODSymbolInfo> one{symbol};
    notifyDelegate(delegate(), "onQuotedReceived", kWSPushReport, [&one](WSPushMessage& d) { d.onQuotedReceived(one); });
}
