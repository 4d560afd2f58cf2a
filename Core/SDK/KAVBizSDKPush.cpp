// The push dispatcher: every package a channel could not match to a request
// goes to one handler by its event code. Record pushes keep the caches in
// step (a ticket, order or position whose quantity has gone to 0 leaves its
// cache) and report each record; session pushes end the session.
#include <string_view>
#include <unordered_map>

#include "Core/Biz/BizBulletin.h"
#include "Core/Biz/BizCERInfo.h"
#include "Core/Biz/BizCloseBill.h"
#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizHoldPosition.h"
#include "Core/Biz/BizLimitBill.h"
#include "Core/Biz/BizRecordFields.h"
#include "Core/Biz/BizSymbolInfo.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "Core/SymbolFields.h"
#include "platform/Strings.h"
#include "platform/MainThread.h"

using platform::Json;

namespace {

// Files a pushed record under its key: a record cached under the key takes
// the new values in place (whoever holds it sees them), a new one enters as
// a copy (the record handed to the delegate stays its own), and one that is
// gone leaves the cache. Records without a key are not cached.
template <typename Record>
void fileRecord(std::map<std::string, std::shared_ptr<Record>>& cache, const std::string& key,
                const Record& record, bool gone) {
    if (key.empty()) return;
    if (gone) {
        cache.erase(key);
        return;
    }
    auto& slot = cache[key];
    if (slot) {
        *slot = record;
    } else {
        slot = std::make_shared<Record>(record);
    }
}

// Completes each pushed record from its cached symbol (found by its code,
// else by its id; without one the record keeps what it came with) and
// `complete`, then reports it alone, before the next one.
template <typename Record, typename Complete, typename Report>
void eachPushed(KAVBizSDK& sdk, const MODList<Record>& records, const char* method,
                Complete complete, Report report) {
    for (const auto& record : records) {
        auto symbol = sdk.getSymbolWith(record->symbolCode);
        if (!symbol) symbol = sdk.getSymbolWithId(record->symbolId);
        if (symbol) takeSymbolFields(*record, symbol.get());
        complete(*record, symbol.get());
        const MODList<Record> one{record};
        notifyDelegate(sdk.delegate(), method, kWSPushReport,
                       [&](WSPushMessage& d) { report(d, one); });
    }
}

}  // namespace

void KAVBizSDK::onPushMessage(webSocket& channel, const KAVPackage& package) {
    KAV_ASSERT_MAIN_THREAD();
    using Handler = void (KAVBizSDK::*)(const KAVPackage&);
    // Events without a handler are known and ignored.
    static const std::unordered_map<std::string_view, Handler> kHandlers = {
        {"4002", &KAVBizSDK::onQuoted},
        {"4004", &KAVBizSDK::onSymbolChange},
        {"4008", &KAVBizSDK::onAccountChange},
        {"4016", &KAVBizSDK::onHoldBillChange},
        {"4018", &KAVBizSDK::onLimitBillChange},
        {"4020", &KAVBizSDK::onCloseBillChange},
        {"4022", &KAVBizSDK::onHoldPositionChange},
        {"4010", &KAVBizSDK::onSameUserLogin},
        {"4012", &KAVBizSDK::onTerminal},
        {"4024", &KAVBizSDK::onExchangeRateChange},
        {"8002", &KAVBizSDK::onBulletinPush},
        {"4030", &KAVBizSDK::onRiskChange},
        {"4032", &KAVBizSDK::onRiskChange},
        {"4034", &KAVBizSDK::onDeliveryNotice},
        {"4026", nullptr},
        {"sys_1007", nullptr},
        {"sys_1009", nullptr},
        {"sys_1010", nullptr},
        {"sys_1004", &KAVBizSDK::onTokenRefused},
        {webSocket::kStatusEvent, &KAVBizSDK::onWSAction},
    };
    const auto it = kHandlers.find(package.event());
    if (it == kHandlers.end()) {
        Funs::log(platform::stringf("接收到推送消息：【%s】-【%s】", channel.Name().c_str(),
                                    package.event().c_str()));
        return;
    }
    if (it->second) (this->*(it->second))(package);
}

bool KAVBizSDK::pushGate(const KAVPackage& package) const {
    return delegate() && package.retCode() == kKAVSuccessCode;
}

// ---- session ---------------------------------------------------------------

void KAVBizSDK::onWSAction(const KAVPackage& package) {
    // Any code passes, also codes no channel makes (a server's status push);
    // one beyond 32 bits is held to the range, not wrapped onto a small code.
    if (package.getValue("actCode")) {
        SendNetworkStatus(reply::int32Value(package.kavData(), "actCode"));
    }
}

void KAVBizSDK::onSameUserLogin(const KAVPackage&) {
    stopConnect();
    notifyDelegate(delegate(), "onSameUserLogin", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onSameUserLogin(); });
}

void KAVBizSDK::onTerminal(const KAVPackage&) {
    stopConnect();
    notifyDelegate(delegate(), "onTerminal", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onTerminal(); });
}

void KAVBizSDK::onDeliveryNotice(const KAVPackage&) {
    Funs::log("收到交割通知");
}

void KAVBizSDK::onTokenRefused(const KAVPackage&) {
    Funs::log("接收到TOKEN校验失败通知");
    startReconnect();
}

// ---- definitions: symbols, rates, bulletins -------------------------------------

void KAVBizSDK::onSymbolChange(const KAVPackage& package) {
    if (!pushGate(package)) {
        Funs::log("onSymbolChange 推送的商品变更数据异常");
        return;
    }
    MODList<MODSymbolInfo> changed;
    for (const auto& symbol : BizSymbolInfo().pushData(package.getValue("children"))) {
        const auto account = getAccountWith(symbol->accId);
        symbol->accCurrency = account ? account->currencyCode : std::string();
        const auto known = dict_symbolInfos.find(symbol->symbolCode);
        if (known == dict_symbolInfos.end()) {
            dict_symbolInfos[symbol->symbolCode] = symbol;
            dict_symbolIds[symbol->symbolId] = symbol;
            symbolInfos_.push_back(symbol);
            changed.push_back(symbol);
            continue;
        }
        // One record serves the code, the id and the list: changed in place,
        // every view and every screen holding it sees the new definition.
        const std::shared_ptr<MODSymbolInfo> cached = known->second;
        if (const auto byId = dict_symbolIds.find(cached->symbolId);
            byId != dict_symbolIds.end() && byId->second == cached &&
            cached->symbolId != symbol->symbolId) {
            dict_symbolIds.erase(byId);
        }
        *cached = *symbol;
        dict_symbolIds[cached->symbolId] = cached;
        changed.push_back(cached);
    }
    notifyDelegate(delegate(), "onSymbolChange", kWSPushReport,
                   [&](WSPushMessage& d) { d.onSymbolChange(changed); });
}

void KAVBizSDK::onExchangeRateChange(const KAVPackage& package) {
    if (!pushGate(package)) {
        Funs::log("onExchangeRateChange 推送的汇率变更数据异常");
        return;
    }
    const auto rates = BizCERInfo().pushData(package.getValue("children"));
    for (const auto& rate : rates)
        exchangeRate[BizCERInfo::keyOf(rate->currencyBase, rate->currencyExchange)] = rate;
    notifyDelegate(delegate(), "onExchangeRateChange", kWSPushReport,
                   [&](WSPushMessage& d) { d.onExchangeRateChange(rates); });
}

void KAVBizSDK::onBulletinPush(const KAVPackage& package) {
    if (!pushGate(package)) {
        Funs::log("onBulletinPush 推送的公告数据异常");
        return;
    }
    const auto bulletins = BizBulletin().pushData(package.getValue("children"));
    notifyDelegate(delegate(), "onBulletinPush", kWSPushReport,
                   [&](WSPushMessage& d) { d.onBulletinPush(bulletins); });
}

// ---- money: accounts and risk notices --------------------------------------------

void KAVBizSDK::onAccountChange(const KAVPackage& package) {
    if (!pushGate(package) || accounts_.empty()) return;
    for (const auto& pushed : BizUserAccount().pushData(package.getValue("children"))) {
        const auto account = getAccountWith(pushed->accId);
        if (!account) continue;
        // The money the server keeps; the floating part stays the client's own.
        account->amMarginRemain = pushed->amMarginRemain;
        account->amMarginUsed = pushed->amMarginUsed;
        account->amMarginFreezed = pushed->amMarginFreezed;
        account->amWithdrawable = pushed->amWithdrawable;
        account->amDailyCharge = pushed->amDailyCharge;
        account->amDailyCloseProfit = pushed->amDailyCloseProfit;
        updateAccountInfo(account);
    }
}

void KAVBizSDK::onRiskChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    MODList<MODRiskInfo> risks;
    bizfields::forEachChild(package.getValue("children"), [&](const Json& r) {
        auto risk = std::make_shared<MODRiskInfo>();
        risk->accId = reply::int32Value(r, "accId");
        risk->riskType = reply::textValue(r, "riskType");
        risk->notifyType = reply::textValue(r, "notifyType");
        risk->netValue = reply::doubleValue(r, "netValue");
        risk->usedMargin = reply::doubleValue(r, "usedMargin");
        risk->riskValue = reply::doubleValue(r, "riskValue");
        risk->threshold = reply::doubleValue(r, "threshold");
        risks.push_back(std::move(risk));
    });
    const std::vector<MODList<MODRiskInfo>> one{std::move(risks)};
    notifyDelegate(delegate(), "onRiskChange", kWSPushReport,
                   [&](WSPushMessage& d) { d.onRiskChange(one); });
}

// ---- trading records ------------------------------------------------------------

void KAVBizSDK::onHoldBillChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, BizHoldBill().pushData(package.getValue("children")), "onHoldBillChange",
        [this](MODHoldBill& ticket, const MODSymbolInfo* symbol) {
            BizHoldBill::markWithSymbol(
                ticket, symbol, exchangeRateWith(ticket.symbolCurrency, ticket.accCurrency));
            // A ticket the quotes must re-price from now on, or one closed in full.
            fileRecord(holdBills, ticket.orderCode, ticket, !(ticket.quantityHold > 0));
            holdBillsChanged(ticket.accId);
        },
        [](WSPushMessage& d, const MODList<MODHoldBill>& one) { d.onHoldBillChange(one); });
}

void KAVBizSDK::onLimitBillChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, BizLimitBill().pushData(package.getValue("children")), "onLimitBillChange",
        [this](MODLimitBill& order, const MODSymbolInfo* symbol) {
            BizLimitBill::markWithSymbol(order, symbol);
            // Filled or cancelled orders come with nothing left to fill.
            fileRecord(limitBills, order.orderCode, order, !(order.quantityOrder > 0));
        },
        [](WSPushMessage& d, const MODList<MODLimitBill>& one) { d.onLimitBillChange(one); });
}

void KAVBizSDK::onCloseBillChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, BizCloseBill().pushData(package.getValue("children")), "onCloseBillChange",
        [this](MODCloseBill& bill, const MODSymbolInfo* symbol) {
            BizCloseBill::profitWithSymbol(bill, symbol,
                                           exchangeRateWith(bill.symbolCurrency, bill.accCurrency));
            // A ticket closed in full is open no more; what a partial close
            // leaves open comes with the ticket push.
            const auto open = holdBills.find(bill.orderCode);
            if (open == holdBills.end() || bill.quantityClose < bill.quantityHold) return;
            const int32_t accId = open->second->accId;
            holdBills.erase(open);
            holdBillsChanged(accId);
        },
        [](WSPushMessage& d, const MODList<MODCloseBill>& one) { d.onCloseBillChange(one); });
}

void KAVBizSDK::onHoldPositionChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, BizHoldPosition().pushData(package.getValue("children")), "onHoldPositionChange",
        [this](MODHoldPosition& position, const MODSymbolInfo* symbol) {
            // Priced as the position query prices it, so that a pushed
            // position and a queried one agree.
            BizHoldPosition::priceWithSymbol(
                position, symbol, exchangeRateWith(position.symbolCurrency, position.accCurrency));
            fileRecord(holdPosition, position.symbolCode, position,
                       !(position.quantityBuy > 0) && !(position.quantitySell > 0));
        },
        [](WSPushMessage& d, const MODList<MODHoldPosition>& one) { d.onHoldPositionChange(one); });
}
