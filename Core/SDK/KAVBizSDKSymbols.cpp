// The service object's symbol, account and exchange-rate caches: the
// queries that fill them and their getters.
#include <charconv>
#include <cmath>
#include <set>

#include "Core/Biz/BizCERInfo.h"
#include "Core/Biz/BizSymbolInfo.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/MainThread.h"
#include "platform/Strings.h"

// ---- symbols ---------------------------------------------------------------

void KAVBizSDK::querySymbolOnSuccess(SymbolsBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    auto biz = std::make_shared<BizSymbolInfo>(channelNamed(kWSTrader));
    biz->loadDataWithSID(
        sid_, userId_,
        [weak = weak_from_this(),
         onSuccess = std::move(onSuccess)](const MODList<MODSymbolInfo>& symbols) {
            auto self = weak.lock();
            if (!self) return;
            // Rebuilt within this one callback: a reader sees the old caches
            // or the new ones, never a mix.
            self->dict_symbolInfos.clear();
            self->dict_symbolIds.clear();
            self->symbolsReplaced();
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
    // Looked up for every quote: made without a formatter.
    char key[16] = "acc_";
    const auto end = std::to_chars(key + 4, key + sizeof key, accId).ptr;
    return std::string(key, end);
}

void KAVBizSDK::queryAccountOnSuccess(AccountsBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    auto biz = std::make_shared<BizUserAccount>(channelNamed(kWSTrader));
    queryWithBiz(
        biz,
        [weak = weak_from_this(), sentAt = pushMarks_,
         onSuccess = std::move(onSuccess)](const MODList<MODUserAccount>& accounts) {
            auto self = weak.lock();
            if (!self) return;
            for (const auto& account : accounts) {
                // The money a push set after the query left is newer than
                // the answer's.
                std::shared_ptr<MODUserAccount>& cached =
                    self->accounts_[accountKey(account->accId)];
                for (size_t i = 0; cached && i < std::size(kPushedMoney); ++i) {
                    const auto mark = self->pushedMoney_.find({account->accId, i});
                    if (mark == self->pushedMoney_.end() || mark->second <= sentAt) continue;
                    const auto field = kPushedMoney[i].second;
                    account.get()->*field = cached.get()->*field;
                }
                // The answer's net value is its balance alone: with the
                // floating profit it carries, the net value, the free margin
                // and the risk read as the dealer's, and as a push or the
                // next quote would leave them, not as if nothing were open.
                recomputeAccountMoney(*account);
                cached = account;
            }
            if (!onSuccess) return;
            // The caller gets what is now cached: one record per account, so
            // that a change made through it is seen by every reader.
            MODList<MODUserAccount> cached;
            std::set<int32_t> seen;
            for (const auto& account : accounts) {
                if (seen.insert(account->accId).second)
                    cached.push_back(self->accounts_[accountKey(account->accId)]);
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
    for (const auto& [key, account] : accounts_)
        result.push_back(account);
    return result;
}

// ---- exchange rates ----------------------------------------------------------

void KAVBizSDK::queryCERInfoOnSuccess(RatesBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    auto biz = std::make_shared<BizCERInfo>(channelNamed(kWSTrader));
    biz->loadDataWithSID(
        sid_, userId_,
        [weak = weak_from_this(),
         onSuccess = std::move(onSuccess)](const MODList<MODCERInfo>& rates) {
            auto self = weak.lock();
            if (!self) return;
            // A rate that is missing, cannot be read or is not above 0
            // converts nothing: as with the rate push, the pair keeps the
            // rate it had (or, never having had one, counts as not cached)
            // rather than every profit of the pair going to 0 or turning sign.
            auto earlier = std::move(self->exchangeRate);
            self->exchangeRate.clear();
            for (const auto& rate : rates) {
                const std::string key =
                    BizCERInfo::keyOf(rate->currencyBase, rate->currencyExchange);
                if (std::isfinite(rate->exchangeRate) && rate->exchangeRate > 0) {
                    self->exchangeRate[key] = rate;
                    continue;
                }
                Funs::log("汇率无法使用，未记入：" + key);
                const auto kept = earlier.find(key);
                if (kept != earlier.end() && !self->exchangeRate.count(key))
                    self->exchangeRate.emplace(key, kept->second);
            }
            if (onSuccess) onSuccess(rates);
        },
        std::move(onFailure));
}

double KAVBizSDK::getExchangeRateWith(const std::string& base, const std::string& counter) const {
    return exchangeRateWith(base, counter);
}

double KAVBizSDK::exchangeRateWith(const std::string& base, const std::string& target) const {
    // Every quote of a symbol with tickets asks: with no rates there is
    // nothing to look up, and a key is written where the last one was.
    if (exchangeRate.empty()) return 1.0;
    thread_local std::string key;
    BizCERInfo::keyInto(key, base, target);
    const auto it = exchangeRate.find(key);
    return it == exchangeRate.end() ? 1.0 : it->second->exchangeRate;
}
