// The session after the login: closing every channel, logging out, changing
// the password, the network-unready counter, and the service-level re-login
// that a token-refused notice starts.
#include "Core/Biz/BizLogin.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/MainThread.h"

namespace {

constexpr int32_t kLoginPasswordType = 1;
constexpr int32_t kTryConnectCount = 3;

}  // namespace

void KAVBizSDK::stopConnect() {
    KAV_ASSERT_MAIN_THREAD();
    // The session is over for everyone: a re-login must not bring it back,
    // and no answer of a request sent in its name may still arrive.
    stopReconnect();
    abandonLogin();
    const auto channels = wsList;  // closing reports nothing, but stay safe against changes
    for (const auto& [name, channel] : channels) {
        channel->close();
        channel->cancelRequests();
    }
}

void KAVBizSDK::closeSession() {
    // A caller's login under way would wait for good: stopConnect drops its
    // requests unanswered. It fails as a request on a closed channel does.
    // The service's own re-login just ends.
    const KAVFailureBlock onFailure =
        loginRunning_ && !isReLoginRunning() ? loginFailure_ : KAVFailureBlock();
    stopConnect();
    if (onFailure) onFailure(kKAVNotReady.code, kKAVNotReady.message);
}

void KAVBizSDK::abandonLogin() {
    if (!loginRunning_) return;
    ++loginAttempt_;
    loginRunning_ = false;
    loginGuard_.invalidate();
    loginSuccess_ = nullptr;
    loginFailure_ = nullptr;
}

void KAVBizSDK::logout() {
    KAV_ASSERT_MAIN_THREAD();
    stopConnect();
    notifyDelegate(delegate(), "onLogout", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onLogout(); });
}

void KAVBizSDK::passwordChange(const std::string& newPassword, int32_t passwordType,
                               const std::string& oldPassword, KAVDoneBlock onSuccess,
                               KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    auto biz = std::make_shared<BizLogin>(channelNamed(kWSTrader));
    biz->updatePasswordWithSID(
        sid_, userId_, passwordType, newPassword, oldPassword,
        [weak = weak_from_this(), userId = userId_, newPassword, passwordType,
         onSuccess = std::move(onSuccess)] {
            auto self = weak.lock();
            // The login password is what the token checks and the re-login
            // send: from now on only the new one is accepted. (Unless the
            // session has changed hands meanwhile.)
            if (self && passwordType == kLoginPasswordType && self->userId_ == userId) {
                self->password_ = newPassword;
                for (const auto& [name, channel] : self->wsList)
                    channel->setPWD(newPassword);
            }
            if (onSuccess) onSuccess();
        },
        std::move(onFailure));
}

void KAVBizSDK::onNetworkUnready() {
    if (--tryConnect != 0) {
        Funs::log("onNetworkUnready");
        return;
    }
    tryConnect = kTryConnectCount;
    closeSession();
    notifyDelegate(delegate(), "onNetworkUnready", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onNetworkUnready(); });
}

// ---- service-level re-login ------------------------------------------------

void KAVBizSDK::startReconnect() {
    KAV_ASSERT_MAIN_THREAD();
    if (isReLoginPending()) return;
    reLoginTimer_ = platform::Timer::schedule(kReLoginDelay, false, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->autoLogin();
    });
}

void KAVBizSDK::stopReconnect() {
    reLoginTimer_.invalidate();
    reLoginAttempt_ = 0;
}

void KAVBizSDK::autoLogin() {
    // A login under way is a caller's (a re-login never starts while its own
    // attempt runs): it restores the session itself, and replacing it would
    // leave its caller without a result.
    if (loginRunning_) {
        stopReconnect();
        return;
    }
    // Copies: the login stores what it is given into these very fields.
    const std::string userId = userId_;
    const std::string password = password_;
    const std::vector<std::string> urls = loginURLs_;
    loginWithUserId(
        userId, password, "", urls,
        [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->stopReconnect();
        },
        [weak = weak_from_this()](const std::string&, const std::string&) {
            auto self = weak.lock();
            if (!self) return;
            Funs::log("重连自动登录失败");
            self->stopReconnect();
            self->startReconnect();
        });
    // Running while this attempt is the login under way (a failure at once
    // has already scheduled the next one).
    if (loginRunning_) reLoginAttempt_ = loginAttempt_;
}

// ---- copies of the caches (test tooling) -------------------------------------

namespace {

template <typename Key, typename Record, typename Less>
std::map<Key, std::shared_ptr<Record>, Less> copiedRecords(
    const std::map<Key, std::shared_ptr<Record>, Less>& cache) {
    std::map<Key, std::shared_ptr<Record>, Less> copy;
    for (const auto& [key, record] : cache)
        copy.emplace(key, record ? std::make_shared<Record>(*record) : nullptr);
    return copy;
}

// The symbols copied so that the list and both lookups share one record per
// symbol again, as the originals do.
void copySymbols(const MODList<MODSymbolInfo>& list,
                 const std::map<std::string, std::shared_ptr<MODSymbolInfo>, std::less<>>& byCode,
                 const std::map<int32_t, std::shared_ptr<MODSymbolInfo>>& byId,
                 KAVBizSDK::CachedRecords& into) {
    std::map<const MODSymbolInfo*, std::shared_ptr<MODSymbolInfo>> copies;
    const auto copyOf = [&](const std::shared_ptr<MODSymbolInfo>& symbol) {
        if (!symbol) return std::shared_ptr<MODSymbolInfo>();
        auto& copy = copies[symbol.get()];
        if (!copy) copy = std::make_shared<MODSymbolInfo>(*symbol);
        return copy;
    };
    into.symbols.clear();
    into.symbolsByCode.clear();
    into.symbolsById.clear();
    for (const auto& symbol : list) into.symbols.push_back(copyOf(symbol));
    for (const auto& [code, symbol] : byCode) into.symbolsByCode.emplace(code, copyOf(symbol));
    for (const auto& [id, symbol] : byId) into.symbolsById.emplace(id, copyOf(symbol));
}

// Putting back into the records the caches hold, field by field: a fuzz run
// puts the caches back thousands of times a second, most often after pushes
// that changed values only, and assigning into the records it has spares
// making each one again. It takes only a cache that still holds one record
// of its own under each of the saved keys; after anything else (a key added
// or dropped, one record under two keys) the caller copies anew.
template <typename Key, typename Record, typename Less>
bool assignedInPlace(std::map<Key, std::shared_ptr<Record>, Less>& cache,
                     const std::map<Key, std::shared_ptr<Record>, Less>& saved) {
    if (cache.size() != saved.size()) return false;
    for (auto c = cache.cbegin(), s = saved.cbegin(); s != saved.end(); ++c, ++s) {
        if (c->first != s->first || !c->second || !s->second) return false;
        for (auto earlier = cache.cbegin(); earlier != c; ++earlier)
            if (earlier->second == c->second) return false;
    }
    for (auto c = cache.cbegin(), s = saved.cbegin(); s != saved.end(); ++c, ++s)
        *c->second = *s->second;
    return true;
}

// The symbols likewise: the list and both look-ups must hold the same keys
// in the same places, and pair each cached record with one saved record
// only and back, so that the records they share stay shared.
bool symbolsAssignedInPlace(
    const MODList<MODSymbolInfo>& list,
    const std::map<std::string, std::shared_ptr<MODSymbolInfo>, std::less<>>& byCode,
    const std::map<int32_t, std::shared_ptr<MODSymbolInfo>>& byId,
    const KAVBizSDK::CachedRecords& saved) {
    if (list.size() != saved.symbols.size() || byCode.size() != saved.symbolsByCode.size() ||
        byId.size() != saved.symbolsById.size())
        return false;
    std::vector<std::pair<MODSymbolInfo*, const MODSymbolInfo*>> pairs;
    pairs.reserve(list.size() + byCode.size() + byId.size());
    for (size_t i = 0; i < list.size(); ++i)
        pairs.emplace_back(list[i].get(), saved.symbols[i].get());
    for (auto c = byCode.begin(), s = saved.symbolsByCode.begin(); c != byCode.end(); ++c, ++s) {
        if (c->first != s->first) return false;
        pairs.emplace_back(c->second.get(), s->second.get());
    }
    for (auto c = byId.begin(), s = saved.symbolsById.begin(); c != byId.end(); ++c, ++s) {
        if (c->first != s->first) return false;
        pairs.emplace_back(c->second.get(), s->second.get());
    }
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (!pairs[i].first || !pairs[i].second) return false;
        for (size_t j = 0; j < i; ++j)
            if ((pairs[j].first == pairs[i].first) != (pairs[j].second == pairs[i].second))
                return false;
    }
    for (const auto& [record, copy] : pairs) *record = *copy;
    return true;
}

}  // namespace

KAVBizSDK::CachedRecords KAVBizSDK::copyCachedRecords() const {
    CachedRecords records;
    records.accounts = copiedRecords(accounts_);
    copySymbols(symbolInfos_, dict_symbolInfos, dict_symbolIds, records);
    records.rates = copiedRecords(exchangeRate);
    records.holdBills = copiedRecords(holdBills);
    records.limitBills = copiedRecords(limitBills);
    records.positions = copiedRecords(holdPosition);
    return records;
}

void KAVBizSDK::restoreCachedRecords(const CachedRecords& records) {
    KAV_ASSERT_MAIN_THREAD();
    if (!assignedInPlace(accounts_, records.accounts)) accounts_ = copiedRecords(records.accounts);
    accountsReplaced();
    if (!symbolsAssignedInPlace(symbolInfos_, dict_symbolInfos, dict_symbolIds, records)) {
        CachedRecords symbols;
        copySymbols(records.symbols, records.symbolsByCode, records.symbolsById, symbols);
        symbolInfos_ = std::move(symbols.symbols);
        dict_symbolInfos = std::move(symbols.symbolsByCode);
        dict_symbolIds = std::move(symbols.symbolsById);
        symbolsReplaced();
    }
    if (!assignedInPlace(exchangeRate, records.rates)) exchangeRate = copiedRecords(records.rates);
    if (!assignedInPlace(holdBills, records.holdBills))
        holdBills = copiedRecords(records.holdBills);
    if (!assignedInPlace(limitBills, records.limitBills))
        limitBills = copiedRecords(records.limitBills);
    if (!assignedInPlace(holdPosition, records.positions))
        holdPosition = copiedRecords(records.positions);
    // The quote indexes point into the records just replaced.
    ticketsChanged();
    ordersChanged();
}
