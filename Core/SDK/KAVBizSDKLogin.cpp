// The login chain: the login service first, then the trading service (with
// the account, symbol and rate queries), the quote service (plain or
// compressed), the message and the history service, each on its own
// channel, one after the other. One call reports one result.
#include <charconv>
#include <cmath>

#include "Core/Biz/BizLogin.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/MainThread.h"
#include "platform/Strings.h"

using platform::Json;
using platform::stringf;

namespace {

constexpr const char* kBadLoginAddress = "登录服务地址无效";
constexpr const char* kNoHistoryAddress = "历史行情服务地址无效";
constexpr const char* kLoginReplyUnreadable = "登录应答无法读取";

}  // namespace

template <typename Step>
auto KAVBizSDK::whileLogin(uint64_t attempt, Step step) {
    return [weak = weak_from_this(), attempt, step = std::move(step)](auto&&... args) {
        auto self = weak.lock();
        if (!self || !self->isLoginCurrent(attempt)) return;
        step(*self, std::forward<decltype(args)>(args)...);
    };
}

void KAVBizSDK::loginWithUserId(const std::string& userId, const std::string& password,
                                const std::string& vailCode, const std::vector<std::string>& urls,
                                KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    // A re-login still waiting to run would replace this login and leave its
    // caller without a result; this login restores the session as well.
    // (The re-login's own call comes after its timer has fired.)
    reLoginTimer_.invalidate();
    // Whatever ran before is replaced: its stages find they are no longer current.
    ++loginAttempt_;
    loginRunning_ = false;
    loginGuard_.invalidate();
    loginSuccess_ = nullptr;
    loginFailure_ = nullptr;
    if (urls.empty() || urls.front().empty()) {
        Funs::log(kBadLoginAddress);
        if (onFailure) onFailure("1", std::string("MA-") + kBadLoginAddress);
        return;
    }

    userId_ = userId;
    password_ = password;
    vailCode_ = vailCode;
    loginURLs_ = urls;
    loginSuccess_ = std::move(onSuccess);
    loginFailure_ = std::move(onFailure);
    loginRunning_ = true;

    auto channel = createWSWithKey(kWSLogin, 0, timeOut_);
    channel->setIsDebug(isDebug_);
    SendNetworkStatus(kNetLoginStarted);
    openStage(channel, urls.front(), pushBlock(), [](KAVBizSDK& self, webSocket& opened) {
        const uint64_t attempt = self.loginAttempt_;
        auto login = std::make_shared<BizLogin>(opened.shared_from_this());
        std::weak_ptr<webSocket> weakChannel = opened.weak_from_this();
        login->loginWithUID(
            self.userId_, self.password_, self.vailCode_,
            self.whileLogin(attempt,
                            [weakChannel](KAVBizSDK& sdk, const MODLoginInfo& info) {
                                // The login service has done its part.
                                if (auto c = weakChannel.lock()) c->close();
                                // A success without the session and the
                                // trading address leads nowhere: said now,
                                // not after a stage that cannot open.
                                if (info.sid.empty() || info.tradeproxy.empty()) {
                                    Funs::log(kLoginReplyUnreadable);
                                    sdk.loginFailure("1",
                                                     std::string("MA-") + kLoginReplyUnreadable);
                                    return;
                                }
                                sdk.sid_ = info.sid;
                                sdk.tradeProxy_ = info.tradeproxy;
                                sdk.quotedProxy_ = info.quotedproxy;
                                sdk.quotedProxyCmp_ = info.quotedproxycmp;
                                sdk.messageProxy_ = info.messageProxy;
                                sdk.hisQuoted_ = info.hisQuoted;
                                sdk.loginTraderProxy();
                            }),
            self.whileLogin(attempt, [weakChannel](KAVBizSDK& sdk, const std::string& code,
                                                   const std::string& message) {
                if (auto c = weakChannel.lock()) c->close();
                sdk.loginFailure(code, "MA-" + message);
            }));
    });
    notifyDelegate(delegate(), "onLogin", kWSPushAlwaysLog, [](WSPushMessage& d) { d.onLogin(); });
}

void KAVBizSDK::openStage(const std::shared_ptr<webSocket>& channel, const std::string& url,
                          webSocket::PushBlock push,
                          std::function<void(KAVBizSDK&, webSocket&)> opened) {
    const uint64_t attempt = loginAttempt_;
    // Fixed, whatever the channels' own time-out: the login must not hang on
    // a service that refuses or stalls the connection. The channel itself
    // keeps trying.
    loginGuard_ = platform::Timer::schedule(
        kLoginOpenGuard, false, whileLogin(attempt, [](KAVBizSDK& self) { self.wsOpenTimeOut(); }));
    std::weak_ptr<webSocket> weakChannel = channel;
    channel->open(
        url,
        [weak = weak_from_this(), weakChannel, attempt, opened = std::move(opened)] {
            auto self = weak.lock();
            auto ch = weakChannel.lock();
            if (!ch) return;
            if (!self || !self->isLoginCurrent(attempt)) {
                // Its login has ended or been replaced: this service is not wanted.
                ch->close();
                return;
            }
            self->loginGuard_.invalidate();
            opened(*self, *ch);
        },
        std::move(push));
}

KAVFailureBlock KAVBizSDK::loginStepFailure(const std::string& prefix) {
    return whileLogin(loginAttempt_, [prefix](KAVBizSDK& self, const std::string& code,
                                              const std::string& message) {
        self.loginFailure(code, prefix + message);
    });
}

void KAVBizSDK::proxyLogin(webSocket& channel, const std::string& prefix,
                           std::function<void(KAVBizSDK&, webSocket&)> next) {
    auto login = std::make_shared<BizLogin>(channel.shared_from_this());
    std::weak_ptr<webSocket> weakChannel = channel.weak_from_this();
    login->loginWithSID(sid_, userId_, password_, vailCode_,
                        whileLogin(loginAttempt_,
                                   [weakChannel, next = std::move(next)](KAVBizSDK& self,
                                                                         const MODLoginInfo& info) {
                                       auto ch = weakChannel.lock();
                                       if (!ch) return;
                                       ch->setTOKEN(info.token);
                                       next(self, *ch);
                                   }),
                        loginStepFailure(prefix));
}

void KAVBizSDK::loginTraderProxy() {
    auto channel = createWSWithKey(kWSTrader, 0, timeOut_);
    channel->setIsDebug(isDebug_);
    openStage(channel, tradeProxy_, pushBlock(), [](KAVBizSDK& self, webSocket& opened) {
        self.proxyLogin(opened, "TR-", [](KAVBizSDK& sdk, webSocket&) {
            sdk.accounts_.clear();
            sdk.accountsReplaced();
            // A session of its own: another dealer may give its tickets and
            // orders the codes that were gone in the last one.
            sdk.goneTickets_.clear();
            sdk.goneOrders_.clear();
            sdk.filedTickets_.clear();
            sdk.filedOrders_.clear();
            sdk.pushedPositions_.clear();
            sdk.pushedMoney_.clear();
            sdk.loginQueryAccounts();
        });
    });
}

void KAVBizSDK::loginQueryAccounts() {
    // The query files the accounts itself; the symbols need them.
    queryAccountOnSuccess(
        whileLogin(loginAttempt_, [](KAVBizSDK& self,
                                     const MODList<MODUserAccount>&) { self.loginQuerySymbols(); }),
        loginStepFailure("QA-"));
}

void KAVBizSDK::loginQuerySymbols() {
    querySymbolOnSuccess(
        whileLogin(loginAttempt_,
                   [](KAVBizSDK& self, const MODList<MODSymbolInfo>&) { self.loginQueryRates(); }),
        loginStepFailure("QS-"));
}

void KAVBizSDK::loginQueryRates() {
    queryCERInfoOnSuccess(whileLogin(loginAttempt_,
                                     [](KAVBizSDK& self, const MODList<MODCERInfo>&) {
                                         if (!self.quotedProxyCmp_.empty()) {
                                             self.loginQuotedProxy_compress();
                                         } else {
                                             self.loginQuotedProxy();
                                         }
                                     }),
                          loginStepFailure("QC-"));
}

void KAVBizSDK::loginQuotedProxy() {
    auto channel = createWSWithKey(kWSQuoted, 1, timeOut_);
    openStage(channel, quotedProxy_, pushBlock(), [](KAVBizSDK& self, webSocket& opened) {
        // The quote service's refusal is reported as it stands.
        self.proxyLogin(opened, "", [](KAVBizSDK& sdk, webSocket& quotes) {
            sdk.loginMSGProxy();
            quotes.heartBeat(true);
        });
    });
}

void KAVBizSDK::loginQuotedProxy_compress() {
    auto channel = createWSWithKey(kWSQuoted, 1, timeOut_);
    channel->setWSProtocol(1);
    // No login on this service: it streams quote lines to whoever connects.
    openStage(channel, quotedProxyCmp_, compressedPushBlock(),
              [](KAVBizSDK& self, webSocket& opened) {
                  self.loginMSGProxy();
                  opened.heartBeat(true);
              });
}

void KAVBizSDK::loginMSGProxy() {
    auto channel = createWSWithKey(kWSMSG, 0, timeOut_);
    openStage(channel, messageProxy_, pushBlock(), [](KAVBizSDK& self, webSocket& opened) {
        self.proxyLogin(opened, "MS-",
                        [](KAVBizSDK& sdk, webSocket&) { sdk.loginHisQuotedProxy(); });
    });
}

void KAVBizSDK::loginHisQuotedProxy() {
    if (hisQuoted_.empty()) {
        // Without history the charts cannot work: the login fails rather
        // than leaving its caller waiting. The login reply is at fault, not
        // the history stage, which never began: the message has no stage tag.
        Funs::log(kNoHistoryAddress);
        loginFailure("1", kNoHistoryAddress);
        return;
    }
    auto channel = createWSWithKey(kWSHisQuoted, 1, timeOut_);
    openStage(channel, hisQuoted_, pushBlock(), [](KAVBizSDK& self, webSocket& opened) {
        self.proxyLogin(opened, "HS-", [](KAVBizSDK& sdk, webSocket& history) {
            Funs::log(stringf("登录 - 历史行情服务 - 成功 - TOKEN : %s", history.TOKEN().c_str()));
            sdk.loginSuccess();
        });
    });
}

// ---- ends of the chain ----------------------------------------------------

void KAVBizSDK::loginSuccess() {
    if (!loginRunning_) return;
    loginRunning_ = false;
    loginGuard_.invalidate();
    const KAVDoneBlock onSuccess = std::move(loginSuccess_);
    loginSuccess_ = nullptr;
    loginFailure_ = nullptr;
    SendNetworkStatus(kNetLoginSucceeded);
    if (onSuccess) onSuccess();
}

void KAVBizSDK::loginFailure(const std::string& code, const std::string& message) {
    if (!loginRunning_) return;
    loginRunning_ = false;
    loginGuard_.invalidate();
    const KAVFailureBlock onFailure = std::move(loginFailure_);
    loginSuccess_ = nullptr;
    loginFailure_ = nullptr;
    if (onFailure) onFailure(code, message);
}

void KAVBizSDK::wsOpenTimeOut() {
    loginFailure("", "");
}

// ---- compressed quotes ------------------------------------------------------

webSocket::PushBlock KAVBizSDK::compressedPushBlock() {
    return [weak = weak_from_this()](webSocket& channel, const KAVPackage& package) {
        // Only quotes: the channel's own status reports stay here.
        if (package.event() != "4002") return;
        auto self = weak.lock();
        if (!self) return;
        if (const auto quotes = expandQuoteLines(package)) self->onPushMessage(channel, *quotes);
    };
}

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// A plain decimal number (optional minus, digits, optional fraction and
// exponent), nothing else.
std::optional<double> numberField(std::string_view text) {
    text = trimmed(text);
    size_t i = 0;
    const auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > start;
    };
    if (i < text.size() && text[i] == '-') ++i;
    if (!digits()) return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits()) return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The quote object of one line, or nothing when the line cannot be read.
std::optional<Json> quoteOfLine(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        fields.push_back(line.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 12) return std::nullopt;
    const std::string_view code = trimmed(fields[3]);
    if (code.empty()) return std::nullopt;
    for (const char c : code) {
        if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    }
    std::optional<double> n[12];
    for (const int i : {1, 4, 6, 7, 8, 9, 10, 11}) {
        n[i] = numberField(fields[i]);
        if (!n[i]) return std::nullopt;
    }
    const double seconds = std::trunc(*n[1]);
    if (std::fabs(seconds) > 1e15) return std::nullopt;
    // Members in the order the quote packages of the JSON protocol use.
    Json quote = Json::object();
    quote["upOrDown"] = 0;
    quote["priceHighest"] = *n[6];
    quote["priceClose"] = *n[8];
    quote["askVolume"] = 0;
    quote["dailyLow"] = *n[10];
    quote["bid"] = *n[4];
    quote["priceLowest"] = *n[7];
    quote["bidVolume"] = 0;
    quote["dailyHight"] = *n[9];
    quote["volume"] = *n[11];
    quote["symbolCode"] = std::string(code);
    quote["amount"] = 0;
    quote["ask"] = *n[4];
    quote["lastTime"] = Funs::Epoch2Date(static_cast<int64_t>(seconds));
    quote["priceCurrent"] = *n[4];
    return quote;
}

}  // namespace

std::optional<KAVPackage> KAVBizSDK::expandQuoteLines(const KAVPackage& package) {
    const Json* lines = package.getValue("children");
    if (!lines || !lines->is_array()) return std::nullopt;
    Json quotes = Json::array();
    for (const Json& line : *lines) {
        std::optional<Json> quote;
        if (line.is_string()) quote = quoteOfLine(line.get_ref<const std::string&>());
        if (quote) {
            quotes.push_back(std::move(*quote));
        } else {
            Funs::log("无法读取的行情数据已丢弃：" +
                      (line.is_string() ? line.get<std::string>() : line.dump()));
        }
    }
    if (quotes.empty()) return std::nullopt;
    KAVPackage expanded;
    expanded.setEvent("4002");
    expanded.setEncrypt("0");
    expanded.setRetCode(kKAVSuccessCode);
    expanded.setMessage("");
    Json data = Json::object();
    data["bizMsg"] = "";
    data["bizRet"] = "0";
    data["children"] = std::move(quotes);
    expanded.setKavData(std::move(data));
    return expanded;
}
