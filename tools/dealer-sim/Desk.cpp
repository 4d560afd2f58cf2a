#include "tools/dealer-sim/Desk.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace dealersim {
namespace {

double round2(double v) {
    return std::round(v * 100.0) / 100.0;
}

// Strict number of an order field: the whole text must be a decimal number.
bool parseNumber(const Fields& c, const char* key, double& out) {
    auto it = c.find(key);
    if (it == c.end() || it->second.empty()) return false;
    char* end = nullptr;
    out = std::strtod(it->second.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

// A price field outside the symbol's range: its refusal. Stop-loss and
// take-profit may be 0, which means none.
constexpr const char* kOutOfRangeText = "价格超出商品范围";

bool outOfRange(const SymbolDef& s, double price, bool noneAllowed = false) {
    return !(noneAllowed && price == 0) && !s.inRange(price);
}

// The deviation a market order allows, in whole points. Any deviation beyond
// the largest price allows everything, and a negative one nothing.
int64_t allowedDeviation(double pointOffset) {
    return std::llround(std::clamp(pointOffset, -1.0, SymbolDef::kMaxPoints));
}

std::string get(const Fields& c, const char* key) {
    auto it = c.find(key);
    return it == c.end() ? std::string() : it->second;
}

// The 26 members the client puts into every order object.
const char* const kOrderKeys[] = {
    "accId",         "pointAsk",  "pointBid",    "orderType",     "bsCode",
    "orderSerial",   "memo",      "orderCode",   "orderCodeRe",   "orderPrice",
    "orderQuantity", "orderTime", "pointOffset", "priceStopLose", "priceTakeProfit",
    "revQuantity",   "seatsCode", "symbolCode",  "symbolId",      "validDateType",
    "validDate",     "amId",      "cmDealerId",  "sendType",      "cutType",
    "pickInfo"};

}  // namespace

Outcome refusal(const char* retCode, std::string message) {
    Outcome o;
    o.retCode = retCode;
    o.message = std::move(message);
    return o;
}

Desk::Desk(Market& market, std::function<int64_t()> clock)
    : market_(market), clock_(std::move(clock)) {
    struct Demo {
        const char* uid;
        double balance;
        const char* riskType;
        double warning, cut;
    };
    for (const Demo& d :
         {Demo{"1001", 100000, "2", 1.5, 0.5}, Demo{"1002", 50000, "1", 0.5, 1.0}}) {
        User u;
        u.uid = d.uid;
        u.password = "123456";
        u.fundPassword = "123456";
        u.accId = std::atoi(d.uid);
        u.initialBalance = d.balance;
        users_[u.uid] = u;
        Account a;
        a.uid = u.uid;
        a.accId = u.accId;
        a.accCode = u.uid;
        a.balance = a.preBalance = d.balance;
        a.riskType = d.riskType;
        a.riskWarning = d.warning;
        a.riskCut = d.cut;
        accounts_[a.accId] = a;
    }
    rates_["JPY_USD"] = 0.00666667;
    rates_["USD_JPY"] = 150.0;
    rates_["EUR_USD"] = 1.1;
    const int64_t now = clock_();
    bulletins_.push_back(
        {1, "模拟交易开放", "模拟交易系统全天开放，欢迎使用。", formatLocalTime(now - 3 * 86400)});
    bulletins_.push_back({2, "交易时间调整", "节假日期间部分商品交易时间调整，请留意公告。",
                          formatLocalTime(now - 86400)});
    bulletins_.push_back(
        {3, "风险提示", "保证金交易风险较高，请合理控制仓位。", formatLocalTime(now - 3600)});
}

// ---- users ----

const User* Desk::user(const std::string& uid) const {
    auto it = users_.find(uid);
    return it == users_.end() ? nullptr : &it->second;
}

bool Desk::checkPassword(const std::string& uid, const std::string& password) const {
    const User* u = user(uid);
    return u && u->password == password;
}

Outcome Desk::changePassword(const std::string& uid, const Fields& child) {
    auto it = users_.find(uid);
    if (it == users_.end()) return refusal(ret::kBadSession, "账户不存在");
    if (get(child, "userId") != uid) return refusal(ret::kMalformed, "userId 与会话账户不符");
    const std::string type = get(child, "pwdType");
    std::string& current = type == "2" ? it->second.fundPassword : it->second.password;
    if (type != "1" && type != "2") return refusal(ret::kMalformed, "密码类型无效");
    if (get(child, "oldPWD") != current) return refusal(ret::kBadOldPassword, "原密码错误");
    const std::string fresh = get(child, "newPWD");
    if (fresh.empty()) return refusal(ret::kBadNewPassword, "新密码无效");
    current = fresh;
    return Outcome{};
}

Outcome Desk::registerDemo(const std::string& email, const std::string& password, double amount) {
    const auto at = email.find('@');
    if (at == std::string::npos || at == 0 || email.find('.', at) == std::string::npos ||
        email.back() == '.')
        return refusal("1", "邮箱格式不正确");
    if (password.empty()) return refusal("2", "密码不能为空");
    if (!(amount > 0) || amount > 1e9) return refusal("3", "初始资金无效");
    if (users_.count(email)) return refusal("4", "该邮箱已注册");
    User u;
    u.uid = email;
    u.password = password;
    u.fundPassword = password;
    u.accId = nextAccId_++;
    u.initialBalance = amount;
    u.registered = true;
    users_[u.uid] = u;
    Account a;
    a.uid = u.uid;
    a.accId = u.accId;
    a.accCode = std::to_string(u.accId);
    a.balance = a.preBalance = amount;
    a.riskType = "2";
    a.riskWarning = 1.5;
    a.riskCut = 0.5;
    accounts_[a.accId] = a;
    return Outcome{};
}

Json Desk::usersJson() const {
    Json list = Json::array();
    for (const auto& [uid, u] : users_)
        list.push_back({{"uid", u.uid},
                        {"password", u.password},
                        {"fundPassword", u.fundPassword},
                        {"amount", u.initialBalance},
                        {"registered", u.registered}});
    return list;
}

void Desk::loadUsers(const Json& list) {
    if (!list.is_array()) return;
    for (const Json& j : list) {
        if (!j.is_object() || !j.contains("uid") || !j["uid"].is_string()) continue;
        const std::string uid = j["uid"];
        const std::string password = j.value("password", std::string());
        if (j.value("registered", false) && !users_.count(uid))
            registerDemo(uid, password, j.value("amount", 1000000.0));
        auto it = users_.find(uid);
        if (it == users_.end()) continue;
        it->second.password = password;
        it->second.fundPassword = j.value("fundPassword", password);
    }
}

// ---- arithmetic ----

Account* Desk::accountOf(const std::string& uid) {
    const User* u = user(uid);
    if (!u) return nullptr;
    auto it = accounts_.find(u->accId);
    return it == accounts_.end() ? nullptr : &it->second;
}

const Account* Desk::accountOf(const std::string& uid) const {
    return const_cast<Desk*>(this)->accountOf(uid);
}

double Desk::rate(const std::string& from, const std::string& to) const {
    if (from == to) return 1.0;
    if (auto it = rates_.find(from + "_" + to); it != rates_.end()) return it->second;
    if (auto it = rates_.find(to + "_" + from); it != rates_.end() && it->second > 0)
        return 1.0 / it->second;
    return 1.0;
}

int64_t Desk::markPoints(const Ticket& t) const {
    return t.buy ? market_.bid(t.symbol) : market_.ask(t.symbol);
}

double Desk::floatingRaw(const Ticket& t) const {
    const SymbolDef& s = market_.symbol(t.symbol);
    const double diff = s.price(markPoints(t)) - s.price(t.openPoints);
    return diff * (t.buy ? 1.0 : -1.0) * t.quantity * s.unit;
}

double Desk::floating(const Ticket& t) const {
    const Account* a = accountOf(t.uid);
    return floatingRaw(t) * rate(market_.symbol(t.symbol).currency, a ? a->currency : "USD");
}

double Desk::usedMargin(const std::string& uid) const {
    double sum = 0;
    for (const Ticket& t : tickets_)
        if (t.uid == uid) sum += t.margin;
    return sum;
}

double Desk::frozenMargin(const std::string& uid) const {
    double sum = 0;
    for (const PendingOrder& o : orders_)
        if (o.uid == uid) sum += o.margin;
    return sum;
}

double Desk::floatingTotal(const std::string& uid) const {
    double sum = 0;
    for (const Ticket& t : tickets_)
        if (t.uid == uid) sum += floating(t);
    return sum;
}

double Desk::freeMargin(const std::string& uid) const {
    const Account* a = accountOf(uid);
    if (!a) return 0;
    return a->balance + floatingTotal(uid) - usedMargin(uid) - frozenMargin(uid);
}

std::string Desk::nextCode() {
    return std::to_string(nextCode_++);
}

bool Desk::validQuantity(int symbol, double q) const {
    const SymbolDef& s = market_.symbol(symbol);
    if (!(q >= s.minQuantity) || q > s.maxQuantity) return false;
    const double steps = q / s.quantityStep;
    return std::fabs(steps - std::round(steps)) < 1e-9;
}

const char* Desk::checkStops(int symbol, bool buy, int64_t ref, int64_t sl, int64_t tp,
                             std::string* message) const {
    const SymbolDef& s = market_.symbol(symbol);
    if (sl < 0 || (sl != 0 && (buy ? sl > ref - s.pointStopLose : sl < ref + s.pointStopLose))) {
        *message = "止损价无效";
        return ret::kBadStopLoss;
    }
    if (tp < 0 ||
        (tp != 0 && (buy ? tp < ref + s.pointTakeProfit : tp > ref - s.pointTakeProfit))) {
        *message = "止盈价无效";
        return ret::kBadTakeProfit;
    }
    return nullptr;
}

// ---- records ----

Json Desk::accountRecord(const Account& a) const {
    const double used = round2(usedMargin(a.uid));
    const double frozen = round2(frozenMargin(a.uid));
    const double dyn = round2(floatingTotal(a.uid));
    const double net = round2(a.balance + dyn);
    const double free = round2(net - used - frozen);
    double risk = 0;
    if (a.riskType == "2" && used != 0) risk = net / used;
    if (a.riskType == "1" && net != 0) risk = used / net;
    Json r = Json::object();
    r["accCode"] = a.accCode;
    r["seatsCode"] = "S01";
    r["accId"] = a.accId;
    r["payId"] = a.accId;
    r["orgId"] = 1;
    r["dealerId"] = 1;
    r["exchangeId"] = 1;
    r["amWithdrawable"] = std::max(0.0, std::min(free, round2(a.balance)));
    r["amMarginFree"] = free;
    r["amMarginFreezed"] = frozen;
    r["amMarginRemain"] = round2(a.balance);
    r["amMarginUsed"] = used;
    r["amDailyCloseProfit"] = round2(a.dailyCloseProfit);
    r["amPreBalance"] = round2(a.preBalance);
    r["amDailyCharge"] = round2(a.dailyCharge);
    r["amDailyInterest"] = round2(a.dailyInterest);
    r["amDailySProfit"] = 0;
    r["netValue"] = net;
    r["profitClose"] = round2(a.dailyCloseProfit);
    r["profitDyn"] = dyn;
    r["risk"] = std::round(risk * 1e6) / 1e6;
    r["riskType"] = a.riskType;  // always a string: the client compares it as text
    r["riskCustomWarning"] = a.riskWarning;
    r["riskCustomCut"] = a.riskCut;
    r["currencyCode"] = a.currency;
    r["tradeMarketName"] = "模拟交易市场";
    return r;
}

Json Desk::accountRecords(const std::string& uid) const {
    Json list = Json::array();
    if (const Account* a = accountOf(uid)) list.push_back(accountRecord(*a));
    return list;
}

Json Desk::symbolRecords(const std::string& uid) const {
    const Account* a = accountOf(uid);
    Json list = Json::array();
    for (size_t i = 0; i < market_.symbols().size(); ++i)
        list.push_back(symbolRecord(a, static_cast<int>(i)));
    return list;
}

Json Desk::symbolRecord(const Account* a, int i) const {
    const int64_t now = clock_();
    const int64_t day = localDayStart(now);
    const int64_t dayEnd = localDayStart(day + 36 * 3600);
    const SymbolDef& s = market_.symbol(i);
    const Quote& q = market_.quote(i);
    Json r = Json::object();
    r["accId"] = a ? a->accId : 0;
    r["ask"] = s.price(market_.ask(i));
    r["bid"] = s.price(market_.bid(i));
    r["decimal"] = s.decimals;
    r["isTrade"] = "1";
    r["maxPointOffset"] = s.maxPointOffset;
    r["maxTradeQuantity"] = s.maxQuantity;
    r["minTradeQuantity"] = s.minQuantity;
    r["moveRate"] = 1;
    r["pointAsk"] = s.pointAsk;
    r["pointBid"] = s.pointBid;
    r["pointLimit"] = s.pointLimit;
    r["pointStopLose"] = s.pointStopLose;
    r["pointTakeProfit"] = s.pointTakeProfit;
    r["priceClose"] = s.price(q.prevClose);
    r["priceCurrent"] = s.price(q.current);
    r["priceHighest"] = s.price(q.dayHigh);
    r["priceLowest"] = s.price(q.dayLow);
    r["priceOpen"] = s.price(q.dayOpen);
    r["quantityStep"] = s.quantityStep;
    r["symbolCode"] = s.code;
    r["symbolCurrency"] = s.currency;
    r["symbolId"] = s.id;
    r["symbolName"] = s.name;
    r["symbolType"] = s.type;
    r["tradeMarketId"] = 1;
    r["tradeMarketName"] = "模拟交易市场";
    r["tradeModel"] = "1";
    r["traderAccess"] = "1";
    r["tradeBillType"] = "1";
    r["deliveryModel"] = "0";
    r["dailyLimitUp"] = s.price(q.prevClose + q.prevClose / 10);
    r["dailyLimitDown"] = s.price(q.prevClose - q.prevClose / 10);
    r["quantityMax"] = s.maxQuantity;
    r["unit"] = s.unit;
    r["date"] = formatLocalTime(q.lastTime);
    // The session is the whole local day, on the minute grid of the history.
    r["beginTradeTime"] = formatLocalTime(day);
    r["endTradeTime"] = formatLocalTime(dayEnd - 60);
    return r;
}

std::vector<Push> Desk::redefineSymbol(int i, const Json& changes) {
    SymbolDef& s = market_.mutableSymbol(i);
    auto take = [&changes](const char* key, int& field) {
        if (!changes.contains(key)) return;
        const Json& v = changes[key];
        field = v.is_string() ? std::stoi(v.get<std::string>()) : v.get<int>();
    };
    take("minTradeQuantity", s.minQuantity);
    take("maxTradeQuantity", s.maxQuantity);
    take("maxPointOffset", s.maxPointOffset);
    take("pointAsk", s.pointAsk);
    take("pointBid", s.pointBid);
    std::vector<Push> pushes;
    for (const auto& [uid, user] : users_)
        pushes.push_back(
            Push{"trade", uid, "4004", Json::array({symbolRecord(accountOf(uid), i)})});
    return pushes;
}

Json Desk::rateRecords() const {
    Json list = Json::array();
    for (const auto& [key, value] : rates_) {
        const auto sep = key.find('_');
        list.push_back({{"currencyBase", key.substr(0, sep)},
                        {"currencyExchange", key.substr(sep + 1)},
                        {"exchangeRate", value}});
    }
    return list;
}

Json Desk::orderHead(const std::string& code, const std::string& uid, const SymbolDef& s,
                     bool buy) const {
    const Account* a = accountOf(uid);
    Json r = Json::object();
    r["orderCode"] = code;
    r["accId"] = a ? a->accId : 0;
    r["symbolId"] = s.id;
    r["symbolCode"] = s.code;
    r["symbolName"] = s.name;
    r["bsCode"] = buy ? "b" : "s";
    return r;
}

Json Desk::ticketRecord(const Ticket& t, double quantity) const {
    const SymbolDef& s = market_.symbol(t.symbol);
    Json r = orderHead(t.code, t.uid, s, t.buy);
    r["quantityHold"] = quantity;
    r["priceOpen"] = s.price(t.openPoints);
    r["priceHold"] = s.price(t.openPoints);
    r["priceStopLose"] = s.price(t.stopLoss);
    r["priceTakeProfit"] = s.price(t.takeProfit);
    r["marginUsed"] = quantity > 0 ? round2(t.margin) : 0.0;
    r["chargeOpen"] = 0;
    r["chargeInterest"] = 0;
    r["profitSettl"] = 0;
    r["openDate"] = t.openDate;
    r["memo"] = t.memo;
    return r;
}

Json Desk::ticketRecords(const std::string& uid) const {
    Json list = Json::array();
    for (const Ticket& t : tickets_)
        if (t.uid == uid) list.push_back(ticketRecord(t, t.quantity));
    return list;
}

Json Desk::orderRecord(const PendingOrder& o, double quantity, const std::string& status) const {
    const SymbolDef& s = market_.symbol(o.symbol);
    Json r = orderHead(o.code, o.uid, s, o.buy);
    r["limitType"] = o.limitType;
    r["orderPrice"] = s.price(o.pricePoints);
    r["priceStopLose"] = s.price(o.stopLoss);
    r["priceTakeProfit"] = s.price(o.takeProfit);
    r["quantityOrder"] = quantity;
    r["quantityComplete"] = status == "1" ? o.quantity : 0.0;
    r["marginFreezed"] = quantity > 0 ? round2(o.margin) : 0.0;
    r["memo"] = o.memo;
    r["openDate"] = o.openDate;
    r["validDate"] = o.validDate;
    r["validDateType"] = o.validDateType;
    r["orderStatus"] = status;  // "0" pending, "1" filled, "2" cancelled
    return r;
}

Json Desk::orderRecords(const std::string& uid) const {
    Json list = Json::array();
    for (const PendingOrder& o : orders_)
        if (o.uid == uid) list.push_back(orderRecord(o, o.quantity, "0"));
    return list;
}

Json Desk::positionRecord(const std::string& uid, int symbol) const {
    const SymbolDef& s = market_.symbol(symbol);
    const Account* a = accountOf(uid);
    double qb = 0, qs = 0, mb = 0, ms = 0, db = 0, ds = 0;
    for (const Ticket& t : tickets_) {
        if (t.uid != uid || t.symbol != symbol) continue;
        const double money = s.price(t.openPoints) * t.quantity * s.unit;
        if (t.buy) {
            qb += t.quantity;
            mb += money;
            db += floatingRaw(t);
        } else {
            qs += t.quantity;
            ms += money;
            ds += floatingRaw(t);
        }
    }
    Json r = Json::object();
    r["accId"] = a ? a->accId : 0;
    r["accCode"] = a ? a->accCode : "";
    r["symbolId"] = s.id;
    r["symbolCode"] = s.code;
    r["symbolName"] = s.name;
    r["tradeMarketName"] = "模拟交易市场";
    r["quantityBuy"] = qb;
    r["quantitySell"] = qs;
    r["moneyBuy"] = round2(mb);
    r["moneySell"] = round2(ms);
    r["ask"] = s.price(market_.ask(symbol));
    r["bid"] = s.price(market_.bid(symbol));
    r["dpBuy"] = round2(db);
    r["dpSell"] = round2(ds);
    r["quantityApplication"] = 0;
    r["bsCode"] = qb >= qs ? "b" : "s";
    return r;
}

Json Desk::positionRecords(const std::string& uid) const {
    Json list = Json::array();
    for (size_t i = 0; i < market_.symbols().size(); ++i) {
        const bool held = std::any_of(tickets_.begin(), tickets_.end(), [&](const Ticket& t) {
            return t.uid == uid && t.symbol == static_cast<int>(i);
        });
        if (held) list.push_back(positionRecord(uid, static_cast<int>(i)));
    }
    return list;
}

Json Desk::closedRecord(const ClosedTicket& c) const {
    const SymbolDef& s = market_.symbol(c.symbol);
    Json r = orderHead(c.code, c.uid, s, c.closedByBuy);
    r["quantityClose"] = c.quantityClose;
    r["quantityHold"] = c.quantityHold;
    r["priceOpen"] = s.price(c.openPoints);
    r["priceHold"] = s.price(c.openPoints);
    r["priceClose"] = s.price(c.closePoints);
    r["priceStopLose"] = s.price(c.stopLoss);
    r["priceTakeProfit"] = s.price(c.takeProfit);
    r["profitClose"] = round2(c.profit);
    r["chargeOpen"] = 0;
    r["chargeClose"] = 0;
    r["chargeInterest"] = 0;
    r["openDate"] = c.openDate;
    r["closeDate"] = c.closeDate;
    r["closeType"] = c.closeType;
    return r;
}

Json Desk::closedRecords(const std::string& uid) const {
    const std::string today = formatLocalTime(clock_()).substr(0, 10);
    Json list = Json::array();
    for (const ClosedTicket& c : closed_)
        if (c.uid == uid && c.closeDate.compare(0, 10, today) == 0) list.push_back(closedRecord(c));
    return list;
}

Json Desk::bulletinRecords() const {
    Json list = Json::array();
    for (auto it = bulletins_.rbegin(); it != bulletins_.rend(); ++it)
        list.push_back({{"contentId", it->id},
                        {"title", it->title},
                        {"content", it->content},
                        {"date", it->date}});
    return list;
}

Json Desk::quoteRecord(int i) const {
    const SymbolDef& s = market_.symbol(i);
    const Quote& q = market_.quote(i);
    Json r = Json::object();
    r["symbolCode"] = s.code;
    r["symbolId"] = s.id;
    r["bid"] = s.price(market_.bid(i));
    r["ask"] = s.price(market_.ask(i));
    r["priceCurrent"] = s.price(q.current);
    r["priceOpen"] = s.price(q.dayOpen);
    r["priceHighest"] = s.price(q.dayHigh);
    r["priceLowest"] = s.price(q.dayLow);
    r["priceClose"] = s.price(q.prevClose);
    r["dailyHight"] = s.price(q.dayHigh);
    r["dailyLow"] = s.price(q.dayLow);
    r["upOrDown"] = q.upOrDown;
    r["volume"] = q.volume;
    r["lastTime"] = formatLocalTime(q.lastTime);
    return r;
}

std::string Desk::compressedLine(int i) const {
    const SymbolDef& s = market_.symbol(i);
    const Quote& q = market_.quote(i);
    auto p = [&](int64_t points) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%.*f", s.decimals, s.price(points));
        return std::string(buf);
    };
    // 0 marker, time, symbol id, code, price, ask, high, low, previous close, day high, day low,
    // volume
    return "0," + std::to_string(q.lastTime) + "," + std::to_string(s.id) + "," + s.code + "," +
           p(q.current) + "," + p(market_.ask(i)) + "," + p(q.dayHigh) + "," + p(q.dayLow) + "," +
           p(q.prevClose) + "," + p(q.dayHigh) + "," + p(q.dayLow) + "," + std::to_string(q.volume);
}

Push Desk::accountPush(const std::string& uid) const {
    return Push{"trade", uid, "4008", accountRecords(uid)};
}

Push Desk::positionPush(const std::string& uid, int symbol) const {
    return Push{"trade", uid, "4022", Json::array({positionRecord(uid, symbol)})};
}

Json Desk::state(const std::string& uid) const {
    Json s = Json::object();
    s["uid"] = uid;
    s["accounts"] = accountRecords(uid);
    s["tickets"] = ticketRecords(uid);
    s["orders"] = orderRecords(uid);
    s["positions"] = positionRecords(uid);
    s["closed"] = closedRecords(uid);
    return s;
}

// ---- trading ----

Outcome Desk::order(const std::string& uid, const std::string& event, const Fields& c) {
    for (const char* key : kOrderKeys)
        if (!c.count(key)) return refusal(ret::kMalformed, std::string("订单缺少字段 ") + key);
    const std::string type = get(c, "orderType");
    const bool typeOk = event == "3001"   ? type == "1"
                        : event == "2039" ? type == "2"
                        : event == "3003" ? type == "2"
                        : event == "3005" ? (type == "3" || type == "4")
                        : event == "3011" ? type == "3011"
                        : event == "3009" ? type == "6"
                                          : false;
    if (!typeOk)
        return refusal(ret::kMalformed, "orderType " + type + " 与请求 " + event + " 不符");
    if (!accountOf(uid)) return refusal(ret::kBadSession, "账户不存在");
    Outcome out = event == "3001"   ? marketOpen(uid, c)
                  : event == "2039" ? closeBySymbol(uid, c)
                  : event == "3003" ? closeByTicket(uid, c)
                  : event == "3005" ? pendingOrder(uid, c)
                  : event == "3011" ? modify(uid, c)
                                    : cancel(uid, c);
    if (out.ok()) checkRisk(uid, out.pushes);
    return out;
}

Outcome Desk::marketOpen(const std::string& uid, const Fields& c) {
    const int si = market_.indexOf(get(c, "symbolCode"));
    if (si < 0) return refusal(ret::kBadSymbol, "无效的商品代码");
    const SymbolDef& s = market_.symbol(si);
    const std::string bs = get(c, "bsCode");
    if (bs != "b" && bs != "s") return refusal(ret::kBadSide, "买卖方向无效");
    const bool buy = bs == "b";
    double qty = 0, price = 0, offset = 0, sl = 0, tp = 0;
    if (!parseNumber(c, "orderQuantity", qty) || !validQuantity(si, qty))
        return refusal(ret::kBadQuantity, "交易数量无效");
    if (!parseNumber(c, "orderPrice", price) || !parseNumber(c, "pointOffset", offset) ||
        !parseNumber(c, "priceStopLose", sl) || !parseNumber(c, "priceTakeProfit", tp))
        return refusal(ret::kMalformed, "价格字段无效");
    if (outOfRange(s, price) || outOfRange(s, sl, true) || outOfRange(s, tp, true))
        return refusal(ret::kPriceOutOfRange, kOutOfRangeText);
    const int64_t fill = buy ? market_.ask(si) : market_.bid(si);
    if (std::llabs(fill - s.points(price)) > allowedDeviation(offset))
        return refusal(ret::kPriceMoved, "价格变动超出允许偏差");
    std::string message;
    if (const char* code = checkStops(si, buy, fill, s.points(sl), s.points(tp), &message))
        return refusal(code, message);
    if (freeMargin(uid) < qty * s.marginPerLot) return refusal(ret::kNoMargin, "可用保证金不足");
    Outcome out;
    out.data["orderCode"] =
        openTicket(uid, si, buy, qty, fill, s.points(sl), s.points(tp), get(c, "memo"), out.pushes);
    return out;
}

std::string Desk::openTicket(const std::string& uid, int symbol, bool buy, double quantity,
                             int64_t at, int64_t stopLoss, int64_t takeProfit,
                             const std::string& memo, std::vector<Push>& pushes) {
    Ticket t;
    t.code = nextCode();
    t.uid = uid;
    t.symbol = symbol;
    t.buy = buy;
    t.quantity = quantity;
    t.openPoints = at;
    t.stopLoss = stopLoss;
    t.takeProfit = takeProfit;
    t.openDate = formatLocalTime(clock_());
    t.margin = quantity * market_.symbol(symbol).marginPerLot;
    t.memo = memo;
    tickets_.push_back(t);
    pushes.push_back(Push{"trade", uid, "4016", Json::array({ticketRecord(t, t.quantity)})});
    pushes.push_back(positionPush(uid, symbol));
    pushes.push_back(accountPush(uid));
    return t.code;
}

void Desk::closeTicket(size_t index, double qty, int64_t price, const std::string& closeType,
                       std::vector<Push>& pushes) {
    Ticket t = tickets_[index];
    Account* a = accountOf(t.uid);
    const SymbolDef& s = market_.symbol(t.symbol);
    const double raw =
        (s.price(price) - s.price(t.openPoints)) * (t.buy ? 1.0 : -1.0) * qty * s.unit;
    const double profit = round2(raw * rate(s.currency, a ? a->currency : "USD"));
    if (a) {
        a->balance += profit;
        a->dailyCloseProfit += profit;
    }
    ClosedTicket c;
    c.code = t.code;
    c.uid = t.uid;
    c.symbol = t.symbol;
    c.closedByBuy = !t.buy;
    c.quantityClose = qty;
    c.quantityHold = t.quantity;
    c.openPoints = t.openPoints;
    c.closePoints = price;
    c.stopLoss = t.stopLoss;
    c.takeProfit = t.takeProfit;
    c.openDate = t.openDate;
    c.closeDate = formatLocalTime(clock_());
    c.closeType = closeType;
    c.profit = profit;
    closed_.push_back(c);
    const double remaining = t.quantity - qty;
    if (remaining <= 1e-9) {
        tickets_.erase(tickets_.begin() + static_cast<long>(index));
        pushes.push_back(Push{"trade", t.uid, "4016", Json::array({ticketRecord(t, 0.0)})});
    } else {
        Ticket& live = tickets_[index];
        live.quantity = remaining;
        live.margin = remaining * s.marginPerLot;
        pushes.push_back(
            Push{"trade", t.uid, "4016", Json::array({ticketRecord(live, live.quantity)})});
    }
    pushes.push_back(Push{"trade", t.uid, "4020", Json::array({closedRecord(c)})});
    pushes.push_back(positionPush(t.uid, t.symbol));
    pushes.push_back(accountPush(t.uid));
}

Outcome Desk::closeByTicket(const std::string& uid, const Fields& c) {
    const std::string code = get(c, "orderCodeRe");
    auto it = std::find_if(tickets_.begin(), tickets_.end(),
                           [&](const Ticket& t) { return t.code == code && t.uid == uid; });
    if (it == tickets_.end()) return refusal(ret::kNoSuchOrder, "单据不存在");
    const std::string bs = get(c, "bsCode");
    if (bs != (it->buy ? "s" : "b")) return refusal(ret::kBadSide, "买卖方向无效");
    double qty = 0, price = 0, offset = 0;
    if (!parseNumber(c, "orderQuantity", qty) || !validQuantity(it->symbol, qty))
        return refusal(ret::kBadQuantity, "交易数量无效");
    if (qty > it->quantity + 1e-9) return refusal(ret::kTooMuchToClose, "平仓数量超过持仓数量");
    if (!parseNumber(c, "orderPrice", price) || !parseNumber(c, "pointOffset", offset))
        return refusal(ret::kMalformed, "价格字段无效");
    if (outOfRange(market_.symbol(it->symbol), price))
        return refusal(ret::kPriceOutOfRange, kOutOfRangeText);
    const int64_t fill = markPoints(*it);
    if (std::llabs(fill - market_.symbol(it->symbol).points(price)) > allowedDeviation(offset))
        return refusal(ret::kPriceMoved, "价格变动超出允许偏差");
    Outcome out;
    closeTicket(static_cast<size_t>(it - tickets_.begin()), qty, fill, "1", out.pushes);
    return out;
}

Outcome Desk::closeBySymbol(const std::string& uid, const Fields& c) {
    const int si = market_.indexOf(get(c, "symbolCode"));
    if (si < 0) return refusal(ret::kBadSymbol, "无效的商品代码");
    const std::string bs = get(c, "bsCode");
    if (bs != "b" && bs != "s") return refusal(ret::kBadSide, "买卖方向无效");
    const bool closesBuys = bs == "s";
    double qty = 0, price = 0, offset = 0;
    if (!parseNumber(c, "orderQuantity", qty) || !validQuantity(si, qty))
        return refusal(ret::kBadQuantity, "交易数量无效");
    if (!parseNumber(c, "orderPrice", price) || !parseNumber(c, "pointOffset", offset))
        return refusal(ret::kMalformed, "价格字段无效");
    if (outOfRange(market_.symbol(si), price))
        return refusal(ret::kPriceOutOfRange, kOutOfRangeText);
    double held = 0;
    for (const Ticket& t : tickets_)
        if (t.uid == uid && t.symbol == si && t.buy == closesBuys) held += t.quantity;
    if (qty > held + 1e-9) return refusal(ret::kTooMuchToClose, "平仓数量超过持仓数量");
    const int64_t fill = closesBuys ? market_.bid(si) : market_.ask(si);
    if (std::llabs(fill - market_.symbol(si).points(price)) > allowedDeviation(offset))
        return refusal(ret::kPriceMoved, "价格变动超出允许偏差");
    Outcome out;
    double left = qty;
    // Oldest tickets first.
    for (size_t i = 0; i < tickets_.size() && left > 1e-9;) {
        const Ticket& t = tickets_[i];
        if (t.uid != uid || t.symbol != si || t.buy != closesBuys) {
            ++i;
            continue;
        }
        const double part = std::min(left, t.quantity);
        const bool whole = part >= t.quantity - 1e-9;
        left -= part;
        closeTicket(i, part, fill, "4", out.pushes);
        if (!whole) ++i;
    }
    return out;
}

Outcome Desk::pendingOrder(const std::string& uid, const Fields& c) {
    const int si = market_.indexOf(get(c, "symbolCode"));
    if (si < 0) return refusal(ret::kBadSymbol, "无效的商品代码");
    const SymbolDef& s = market_.symbol(si);
    const std::string bs = get(c, "bsCode");
    if (bs != "b" && bs != "s") return refusal(ret::kBadSide, "买卖方向无效");
    const bool buy = bs == "b";
    double qty = 0, price = 0, sl = 0, tp = 0;
    if (!parseNumber(c, "orderQuantity", qty) || !validQuantity(si, qty))
        return refusal(ret::kBadQuantity, "交易数量无效");
    if (!parseNumber(c, "orderPrice", price) || !parseNumber(c, "priceStopLose", sl) ||
        !parseNumber(c, "priceTakeProfit", tp))
        return refusal(ret::kMalformed, "价格字段无效");
    if (outOfRange(s, price) || outOfRange(s, sl, true) || outOfRange(s, tp, true))
        return refusal(ret::kPriceOutOfRange, kOutOfRangeText);
    const int64_t at = s.points(price);
    const int64_t market = buy ? market_.ask(si) : market_.bid(si);
    if (std::llabs(at - market) < s.pointLimit)
        return refusal(ret::kBadLimitPrice, "挂单价格距离市价过近");
    std::string message;
    if (const char* code = checkStops(si, buy, at, s.points(sl), s.points(tp), &message))
        return refusal(code, message);
    const double margin = qty * s.marginPerLot;
    if (freeMargin(uid) < margin) return refusal(ret::kNoMargin, "可用保证金不足");
    PendingOrder o;
    o.code = nextCode();
    o.uid = uid;
    o.symbol = si;
    o.buy = buy;
    o.quantity = qty;
    o.pricePoints = at;
    o.stopLoss = s.points(sl);
    o.takeProfit = s.points(tp);
    // A buy below the market and a sell above it wait for a better price (limit);
    // the others wait for the market to break through (stop).
    o.stopKind = buy ? at > market : at < market;
    o.fillsAtOrBelow = buy != o.stopKind;
    o.limitType = get(c, "orderType");
    o.validDateType = get(c, "validDateType");
    o.validDate = get(c, "validDate");
    o.openDate = formatLocalTime(clock_());
    o.margin = margin;
    o.memo = get(c, "memo");
    orders_.push_back(o);
    Outcome out;
    out.data["orderCode"] = o.code;
    out.pushes.push_back(
        Push{"trade", uid, "4018", Json::array({orderRecord(o, o.quantity, "0")})});
    out.pushes.push_back(accountPush(uid));
    return out;
}

Outcome Desk::modify(const std::string& uid, const Fields& c) {
    const std::string code = get(c, "orderCode");
    double sl = 0, tp = 0;
    if (!parseNumber(c, "priceStopLose", sl) || !parseNumber(c, "priceTakeProfit", tp))
        return refusal(ret::kMalformed, "价格字段无效");
    std::string message;
    for (Ticket& t : tickets_) {
        if (t.code != code || t.uid != uid) continue;
        const SymbolDef& s = market_.symbol(t.symbol);
        if (outOfRange(s, sl, true) || outOfRange(s, tp, true))
            return refusal(ret::kPriceOutOfRange, kOutOfRangeText);
        if (const char* err =
                checkStops(t.symbol, t.buy, markPoints(t), s.points(sl), s.points(tp), &message))
            return refusal(err, message);
        t.stopLoss = s.points(sl);
        t.takeProfit = s.points(tp);
        Outcome out;
        out.pushes.push_back(
            Push{"trade", uid, "4016", Json::array({ticketRecord(t, t.quantity)})});
        return out;
    }
    for (PendingOrder& o : orders_) {
        if (o.code != code || o.uid != uid) continue;
        const SymbolDef& s = market_.symbol(o.symbol);
        if (outOfRange(s, sl, true) || outOfRange(s, tp, true))
            return refusal(ret::kPriceOutOfRange, kOutOfRangeText);
        if (const char* err =
                checkStops(o.symbol, o.buy, o.pricePoints, s.points(sl), s.points(tp), &message))
            return refusal(err, message);
        o.stopLoss = s.points(sl);
        o.takeProfit = s.points(tp);
        Outcome out;
        out.pushes.push_back(
            Push{"trade", uid, "4018", Json::array({orderRecord(o, o.quantity, "0")})});
        return out;
    }
    return refusal(ret::kNoSuchOrder, "单据不存在");
}

Outcome Desk::cancel(const std::string& uid, const Fields& c) {
    const std::string code = get(c, "orderCode");
    auto it = std::find_if(orders_.begin(), orders_.end(),
                           [&](const PendingOrder& o) { return o.code == code && o.uid == uid; });
    if (it == orders_.end()) return refusal(ret::kNoSuchOrder, "单据不存在");
    PendingOrder o = *it;
    orders_.erase(it);
    Outcome out;
    out.pushes.push_back(Push{"trade", uid, "4018", Json::array({orderRecord(o, 0.0, "2")})});
    out.pushes.push_back(accountPush(uid));
    return out;
}

Outcome Desk::deposit(const std::string& uid, const Fields& c) {
    for (const char* key : {"accId", "amChange", "amType", "changeDate", "memo", "userId"})
        if (!c.count(key)) return refusal(ret::kMalformed, std::string("出入金缺少字段 ") + key);
    Account* a = accountOf(uid);
    if (!a) return refusal(ret::kBadSession, "账户不存在");
    if (get(c, "accId") != std::to_string(a->accId))
        return refusal(ret::kBadAmount, "资金账户不符");
    double amount = 0;
    if (!parseNumber(c, "amChange", amount) || !(amount > 0))
        return refusal(ret::kBadAmount, "出入金金额无效");
    const std::string type = get(c, "amType");
    if (type == "1") {
        a->balance += amount;
    } else if (type == "2") {
        if (amount > freeMargin(uid) + 1e-9 || amount > a->balance)
            return refusal(ret::kNoMargin, "可用资金不足");
        a->balance -= amount;
    } else {
        return refusal(ret::kBadAmount, "出入金类型无效");
    }
    Outcome out;
    out.pushes.push_back(accountPush(uid));
    return out;
}

void Desk::fillOrder(size_t index, std::vector<Push>& pushes) {
    PendingOrder o = orders_[index];
    orders_.erase(orders_.begin() + static_cast<long>(index));
    const int64_t market = o.buy ? market_.ask(o.symbol) : market_.bid(o.symbol);
    const SymbolDef& s = market_.symbol(o.symbol);
    if (freeMargin(o.uid) < o.quantity * s.marginPerLot) {
        pushes.push_back(Push{"trade", o.uid, "4018", Json::array({orderRecord(o, 0.0, "2")})});
        pushes.push_back(accountPush(o.uid));
        return;
    }
    pushes.push_back(Push{"trade", o.uid, "4018", Json::array({orderRecord(o, 0.0, "1")})});
    openTicket(o.uid, o.symbol, o.buy, o.quantity, o.stopKind ? market : o.pricePoints, o.stopLoss,
               o.takeProfit, o.memo, pushes);
}

void Desk::checkRisk(const std::string& uid, std::vector<Push>& pushes) {
    Account* a = accountOf(uid);
    if (!a) return;
    const double used = usedMargin(uid);
    if (used <= 0) {
        a->riskState = 0;
        return;
    }
    const double net = a->balance + floatingTotal(uid);
    double r = 0;
    bool warn = false, cut = false;
    if (a->riskType == "1") {
        r = net > 0 ? used / net : 1e9;
        warn = r >= a->riskWarning;
        cut = r >= a->riskCut;
    } else if (a->riskType == "2") {
        r = net / used;
        warn = r <= a->riskWarning;
        cut = r <= a->riskCut;
    }
    auto notice = [&](const char* event, const char* notifyType, double threshold) {
        Json n = {{"accId", a->accId},          {"notifyType", notifyType},
                  {"riskType", a->riskType},    {"netValue", round2(net)},
                  {"usedMargin", round2(used)}, {"riskValue", std::round(r * 1e6) / 1e6},
                  {"threshold", threshold}};
        pushes.push_back(Push{"trade", uid, event, Json::array({n})});
    };
    if (cut) {
        // Past the cut line every ticket is closed at the market.
        notice("4032", "2", a->riskCut);
        a->riskState = 0;
        for (size_t i = 0; i < tickets_.size();) {
            if (tickets_[i].uid == uid)
                closeTicket(i, tickets_[i].quantity, markPoints(tickets_[i]), "5", pushes);
            else
                ++i;
        }
        return;
    }
    if (warn && a->riskState == 0) notice("4030", "1", a->riskWarning);
    a->riskState = warn ? 1 : 0;
}

std::vector<Push> Desk::afterPriceChange(int si) {
    std::vector<Push> pushes;
    const int64_t bid = market_.bid(si);
    const int64_t ask = market_.ask(si);
    for (size_t i = 0; i < orders_.size();) {
        const PendingOrder& o = orders_[i];
        const int64_t m = o.buy ? ask : bid;
        const bool crossed =
            o.symbol == si && (o.fillsAtOrBelow ? m <= o.pricePoints : m >= o.pricePoints);
        if (crossed)
            fillOrder(i, pushes);
        else
            ++i;
    }
    for (size_t i = 0; i < tickets_.size();) {
        const Ticket& t = tickets_[i];
        if (t.symbol != si) {
            ++i;
            continue;
        }
        const int64_t m = markPoints(t);
        const bool stop = t.stopLoss != 0 && (t.buy ? m <= t.stopLoss : m >= t.stopLoss);
        const bool take = t.takeProfit != 0 && (t.buy ? m >= t.takeProfit : m <= t.takeProfit);
        if (stop || take)
            closeTicket(i, t.quantity, m, stop ? "2" : "3", pushes);
        else
            ++i;
    }
    std::vector<std::string> uids;
    for (const Ticket& t : tickets_)
        if (std::find(uids.begin(), uids.end(), t.uid) == uids.end()) uids.push_back(t.uid);
    for (const std::string& uid : uids)
        checkRisk(uid, pushes);
    return pushes;
}

Push Desk::addBulletin(const std::string& title, const std::string& content) {
    Bulletin b;
    b.id = bulletins_.empty() ? 1 : bulletins_.back().id + 1;
    b.title = title;
    b.content = content;
    b.date = formatLocalTime(clock_());
    bulletins_.push_back(b);
    return Push{
        "msg", "", "8002",
        Json::array(
            {{{"contentId", b.id}, {"title", b.title}, {"content", b.content}, {"date", b.date}}})};
}

Push Desk::setRate(const std::string& base, const std::string& exchange, double value) {
    rates_[base + "_" + exchange] = value;
    return Push{
        "trade", "", "4024",
        Json::array(
            {{{"currencyBase", base}, {"currencyExchange", exchange}, {"exchangeRate", value}}})};
}

}  // namespace dealersim
