#pragma once

// The one trading service object of a session: it owns the service
// channels (by name), the session, the caches of trading records and the
// delegate, and runs queries, the login chain and the push dispatch.
// Main thread only (debug builds stop a call from another thread at once).
// Lives in a std::shared_ptr.
//
// Layering: the channels (Core) sit below the request classes (Core/Biz),
// and this object sits above both. A reopened channel checks its token with
// a BizReconnect request, which the channel cannot make itself; so every
// channel made here is handed BizReconnect::checkChannel as its token check.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Core/Biz/BizDealer.h"
#include "Core/Biz/IBiz.h"
#include "Core/CalculateUtils.h"
#include "Core/KAVPackage.h"
#include "Core/KAVTypes.h"
#include "Core/Model/MODLimitPrice.h"
#include "Core/Model/MODOrder.h"
#include "Core/NetworkStatus.h"
#include "Core/WSPushMessage.h"
#include "Core/webSocket.h"
#include "platform/RunLoop.h"

// A quote of a quote push as the service object reads it.
struct KAVQuoteFields;

// What the re-pricing reads of the tickets of one symbol: column by column
// so that a quote works out the profits of a run of them together, then
// writes them into the records and adds them to the sums in ticket order;
// every change the service object makes to a ticket marks the index for
// making again.
struct KAVSymbolTickets {
    MODList<MODHoldBill> tickets;
    std::vector<MODHoldBill*> records;  // held by `tickets`
    std::vector<uint32_t> slots;        // each ticket's account in `profits`
    // The side whose sums of the net position a ticket counts in.
    enum Side : uint8_t { kNoSide, kBuySide /* "b", "B" */, kSellSide /* "s", "S" */ };
    std::vector<uint8_t> sides;
    std::vector<uint8_t> sideOffsets;  // 32 times the side: a byte offset into a table by side
    // The floating profit of these tickets per account.
    std::vector<std::pair<int32_t, double>> profits;
    enum Column : size_t {
        kOpen,  // the prices the profits count from
        kHold,
        kReciprocalOpen,  // their reciprocals, 0 for a price of 0
        kReciprocalHold,
        kSignedQuantity,    // the lots, negative for a sell
        kAtBid,             // 1: closed at the bid (a buy), 0: at the ask
        kPlainUsable,       // 1: the two prices can be priced against
        kReciprocalUsable,  // 1: and so can their reciprocals
        kColumnCount
    };
    std::vector<double> cells;  // kColumnCount columns of size() rows
    // Tickets priced together, run by run; and what bounds the profits of
    // each run: its largest lots and, for plain and for reciprocal prices,
    // its largest price (infinite when a ticket of the run cannot be priced
    // in them, or its lots are no number), so that a quote tells at once
    // whether a run can be priced without a check per ticket.
    static constexpr size_t kRun = 64;
    struct RunBound {
        double quantity = 0;
        double price[2] = {0, 0};  // plain, reciprocal
    };
    std::vector<RunBound> runBounds;  // one per kRun tickets, the last maybe fewer
    size_t size() const { return records.size(); }
    const double* column(Column c) const { return cells.data() + c * size(); }
    double* column(Column c) { return cells.data() + c * size(); }
};

class KAVBizSDK : public std::enable_shared_from_this<KAVBizSDK> {
  public:
    // Channel names, the keys of the channel table.
    static constexpr const char* kWSLogin = "wsLogin";
    static constexpr const char* kWSTrader = "wsTrader";
    static constexpr const char* kWSQuoted = "wsQuoted";
    static constexpr const char* kWSHisQuoted = "wsHisQuoted";
    static constexpr const char* kWSMSG = "wsMSG";

    // Network status codes of the service object itself.
    static constexpr int32_t kNetLoginStarted = networkStatusCode(NetworkStatus::LoginStarted);
    static constexpr int32_t kNetLoginSucceeded = networkStatusCode(NetworkStatus::LoginSucceeded);

    KAVBizSDK();
    // Ends the session like stopConnect: requests still waiting end silently.
    // (A channel replaced during a login fails its waiting requests at once.)
    ~KAVBizSDK();
    KAVBizSDK(const KAVBizSDK&) = delete;
    KAVBizSDK& operator=(const KAVBizSDK&) = delete;

    // ---- properties ----
    // Not owned; read at the moment of each call.
    std::shared_ptr<WSPushMessage> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<WSPushMessage> delegate) { delegate_ = std::move(delegate); }
    // Open and request time-out of the channels made afterwards, seconds.
    int32_t timeOut() const { return timeOut_; }
    // A time-out of no seconds (a damaged setting) would end every open and
    // request the moment it began, and no login could ever pass to change
    // it: the time-out in force stays.
    void setTimeOut(int32_t seconds) {
        if (seconds > 0) timeOut_ = seconds;
    }
    // Trading accounts under "acc_%i" of their id.
    const std::map<std::string, std::shared_ptr<MODUserAccount>>& accounts() const {
        return accounts_;
    }
    // The symbols in reply order.
    const MODList<MODSymbolInfo>& symbolInfos() const { return symbolInfos_; }
    const std::string& ver() const { return ver_; }
    // Copied to the login and trading channels: they then log every received text.
    bool isDebug() const { return isDebug_; }
    void setIsDebug(bool on) { isDebug_ = on; }

    // ---- channels ----
    // A new channel filed under `name`, the one filed there before being
    // closed first. isEncrypt is the channel's DataDecode: 0 enciphers.
    std::shared_ptr<webSocket> createWSWithKey(const std::string& name, int32_t isEncrypt,
                                               int32_t timeOut);
    // The channel filed under the name, or null.
    std::shared_ptr<webSocket> channelNamed(const std::string& name) const;
    // The push block of the channels: hands their packages to onPushMessage
    // while this object lives, except the logged-in-elsewhere notice of a
    // channel made before the latest login started (its session is replaced).
    webSocket::PushBlock pushBlock();
    // Closes every channel, drops the requests waiting on them, stops the
    // re-login and ends a running login, all silently: nothing of the session
    // reaches a delegate or a result block afterwards. The channels stay in
    // the table.
    void stopConnect();
    // How channels made afterwards connect (tests; the real WebSocket when unset).
    void setConnectionFactory(KAVConnectionFactory factory) {
        connectionFactory_ = std::move(factory);
    }

    // ---- queries ----
    // The list query of the request object with the session id and user id;
    // the blocks get the parsed result, or the failure, unchanged.
    template <typename Biz>
    void queryWithBiz(const std::shared_ptr<Biz>& biz, typename Biz::SuccessBlock onSuccess,
                      KAVFailureBlock onFailure) {
        biz->loadDataWithSID(sid_, userId_, std::move(onSuccess), std::move(onFailure));
    }

    // ---- delegate ----
    // onNetworkStatus on the delegate; "onNetworkStatus 回调函数未定义" when there is none.
    void SendNetworkStatus(int32_t code);
    // Every package a channel could not match to a request.
    void onPushMessage(webSocket& channel, const KAVPackage& package);

    // --- Symbols, accounts and exchange rates ---
    using SymbolsBlock = std::function<void(const MODList<MODSymbolInfo>& symbols)>;
    using AccountsBlock = std::function<void(const MODList<MODUserAccount>& accounts)>;
    using RatesBlock = std::function<void(const MODList<MODCERInfo>& rates)>;
    // Loads the symbols on the trading channel and rebuilds the symbol
    // caches (by code, by id, in reply order); each symbol takes the currency
    // of its cached account. A failure leaves the caches as they were.
    void querySymbolOnSuccess(SymbolsBlock onSuccess, KAVFailureBlock onFailure);
    // The cached symbol of the code / of the id; null before the first load.
    std::shared_ptr<MODSymbolInfo> getSymbolWith(const std::string& code) const;
    std::shared_ptr<MODSymbolInfo> getSymbolWithId(int32_t symbolId) const;
    // The cached symbols of the account (-1: of every account), in reply order.
    MODList<MODSymbolInfo> getSymbolsWith(int32_t accId) const;
    const std::string& getVer() const { return ver_; }
    // Loads the accounts on the trading channel (one request) and files each
    // in the account cache, replacing the one of the same id, with its net
    // value, free margin and risk worked out from its floating profit as the
    // re-pricing does; the success block gets the cached records themselves.
    void queryAccountOnSuccess(AccountsBlock onSuccess, KAVFailureBlock onFailure);
    // Loads the exchange rates and replaces the rate cache with them; a rate
    // that is missing, unreadable, 0 or negative is not filed (its pair keeps
    // the rate it had, or stays uncached), as with the rate push. The success
    // block gets every record of the reply.
    void queryCERInfoOnSuccess(RatesBlock onSuccess, KAVFailureBlock onFailure);
    // The cached account of the id, or null.
    std::shared_ptr<MODUserAccount> getAccountWith(int32_t accId) const;
    // Every cached account.
    MODList<MODUserAccount> getAccounts() const;
    // The rate from base to counter currency; 1.0 for a pair not cached
    // (the reverse pair does not count).
    double getExchangeRateWith(const std::string& base, const std::string& counter) const;
    double exchangeRateWith(const std::string& base, const std::string& target) const;
    // "acc_%i": the key of the account cache.
    static std::string accountKey(int32_t accId);

    // --- Login chain ---
    // Fixed open guard of every stage's channel, seconds.
    static constexpr double kLoginOpenGuard = 10.0;
    // Logs in to the login service at the first address, then to the
    // trading service (loading accounts, symbols and rates), the quote
    // service (plain or compressed), the message and the history service, and
    // reports one result: success, or the failing stage's code and message
    // (prefixed "MA-", "TR-", "QA-", "QS-", "QC-", "MS-" or "HS-"; a stage
    // whose channel is not open within 10 s fails with an empty code and
    // message; a login reply without the session or the trading address
    // fails at once with "1" and "MA-登录应答无法读取").
    // Reports status 5 at the start and 6 before success. A new call
    // replaces the running login: nothing of the old one reports any more;
    // a re-login waiting to run (startReconnect) is called off.
    // Returns at once; an empty address list fails at once.
    void loginWithUserId(const std::string& userId, const std::string& password,
                         const std::string& vailCode, const std::vector<std::string>& urls,
                         KAVDoneBlock onSuccess, KAVFailureBlock onFailure);
    // The quote package ("4002") of the lines a compressed quote package
    // carries (each "0,time,id,code,price,ask,high,low,close,dayHigh,dayLow,volume");
    // lines that cannot be read are dropped with a log line. Nothing when no
    // line is left.
    static std::optional<KAVPackage> expandQuoteLines(const KAVPackage& package);

    // Prices above this are no market's (the trading arithmetic's bound).
    static constexpr double kMaxUsablePrice = CalculateUtils::kMaxPrice;
    // Whether a quoted price can be priced with: finite, above 0 and at most
    // kMaxUsablePrice.
    static bool usablePrice(double price) {
        return price > 0 && price <= kMaxUsablePrice;  // false for NaN and infinity too
    }

    // --- Dealer directory and deposits ---
    // Looks the dealer up on the dealer-definition server at `url` (the
    // built-in one when empty) and adds it, with its images, to the dealer
    // directory; the blocks hear the outcome as BizDealer::getDealerWithKey
    // tells it.
    void queryDealerWithKey(const std::string& key, const std::string& url,
                            BizDealer::DealersBlock onSuccess, KAVFailureBlock onFailure);
    // A deposit (type "1") or withdrawal ("2") of the account on the trading
    // channel, dated today, in the session's name. Success: retCode "0";
    // failures pass on unchanged ("10002" when there is no trading channel).
    void DWWithAccID(int32_t accId, double amount, const std::string& type, const std::string& memo,
                     KAVDoneBlock onSuccess, KAVFailureBlock onFailure);
    // Files the dealer in the directory (replacing one with its key) or
    // removes the dealer of its key; true when the directory file was
    // written. A record without a key changes nothing.
    bool addDealerWith(const std::shared_ptr<MODDealer>& dealer);
    bool removeDealerWith(const std::shared_ptr<MODDealer>& dealer);
    // The dealers of the directory, in key order.
    MODList<MODDealer> getDealerList();

    // ---- helpers ----
    static std::string makeKeyWithId(int32_t id);
    static std::string formatPrice(double price, int decimal);
    static int64_t Date2Epoch(std::string_view text);
    static std::string Epoch2Date(int64_t epoch);

    // --- Trading records and orders ---
    // Queries on the trading channel: each replaces its cache when the
    // reply arrives (a failed query leaves the cache as it was) and hands the
    // caller the very records the cache holds (closed tickets: not cached).
    using HoldBillsBlock = std::function<void(const MODList<MODHoldBill>&)>;
    using LimitBillsBlock = std::function<void(const MODList<MODLimitBill>&)>;
    using HoldPositionsBlock = std::function<void(const MODList<MODHoldPosition>&)>;
    using CloseBillsBlock = std::function<void(const MODList<MODCloseBill>&)>;
    using BulletinsBlock = std::function<void(const MODList<MODBulletin>&)>;
    using BarsBlock = std::function<void(const MODList<MODSymbolInfo>&)>;
    void queryHoldBillOnSuccess(HoldBillsBlock onSuccess, KAVFailureBlock onFailure);
    void queryLimitBillOnSuccess(LimitBillsBlock onSuccess, KAVFailureBlock onFailure);
    void queryHoldPositionOnSuccess(HoldPositionsBlock onSuccess, KAVFailureBlock onFailure);
    void queryCloseBillOnSuccess(CloseBillsBlock onSuccess, KAVFailureBlock onFailure);
    // On the message channel; nothing cached.
    void queryBulletinOnSuccess(BulletinsBlock onSuccess, KAVFailureBlock onFailure);
    // Bars of a symbol on the history-quote channel, `barCount` bars (negative:
    // the last ones) up to or from `tmStamp` (0: now). The dates are not used.
    // Without the channel, or with it not open, the failure block gets code
    // "1" at once.
    void hisQuotedWithSymbol(const std::string& symbolCode, int32_t period, int32_t barCount,
                             int64_t tmStamp, const std::string& startDate,
                             const std::string& endDate, BarsBlock onSuccess,
                             KAVFailureBlock onFailure);
    // The cached records, or null.
    std::shared_ptr<MODHoldBill> getHoldBillWith(const std::string& orderCode) const;
    std::shared_ptr<MODLimitBill> getLimitBillWith(const std::string& orderCode) const;
    std::shared_ptr<MODHoldPosition> getPositionWith(const std::string& symbolCode) const;

    // The pending-order kind of an order price `over` points beyond the
    // market (signed): "4" (stop) for a buy at least a point above the ask or
    // a sell at least a point below the bid ("b"/"s" exactly), else "3" (limit).
    static std::string getLimitTypeWithBSCode(const std::string& bsCode, int32_t over);
    // The stop-loss/take-profit bounds at `price` for the cached symbol, or
    // null when the symbol is not cached.
    std::shared_ptr<MODLimitPrice> getLimitWithSymbolCode(const std::string& symbolCode,
                                                          float price,
                                                          const std::string& bsCode) const;

    // The six order actions. The success block runs when the server accepts
    // the order; the failure block gets the server's refusal, or the
    // client's own code: at once "10004" for a symbol that is not cached, a
    // missing ticket or order, or a quantity that is not a whole positive
    // number of lots (nothing is sent), "10002" without a trading channel,
    // "10003" with a closed one, later "sys_1006".
    void marketOpenWithSymbol(const std::string& symbolCode, double quantity,
                              const std::string& bsCode, double orderPrice, int32_t pointOffset,
                              double priceStopLose, double priceTakeProfit, const std::string& memo,
                              KAVDoneBlock onSuccess, KAVFailureBlock onFailure);
    void marketCloseWithSymbol(const std::string& symbolCode, double quantity,
                               const std::string& bsCode, int32_t pointOffset, double revQuantity,
                               const std::string& memo, KAVDoneBlock onSuccess,
                               KAVFailureBlock onFailure);
    void marketCloseWithOrder(const std::shared_ptr<MODHoldBill>& ticket, double quantity,
                              int32_t pointOffset, double revQuantity, const std::string& memo,
                              KAVDoneBlock onSuccess, KAVFailureBlock onFailure);
    void limitOpenWithSymbol(const std::string& symbolCode, double quantity,
                             const std::string& bsCode, double orderPrice, double priceStopLose,
                             double priceTakeProfit, const std::string& validDateType,
                             const std::string& memo, KAVDoneBlock onSuccess,
                             KAVFailureBlock onFailure);
    void modifyOrderWithSymbol(const std::string& symbolCode, double priceStopLose,
                               double priceTakeProfit, const std::string& orderCode,
                               const std::string& memo, KAVDoneBlock onSuccess,
                               KAVFailureBlock onFailure);
    void cancelOrderWithOrder(const std::shared_ptr<MODLimitBill>& order, const std::string& memo,
                              KAVDoneBlock onSuccess, KAVFailureBlock onFailure);

    // --- Live session: pushes, re-pricing, reconnection, logout ---
    static constexpr double kReLoginDelay = 5.0;
    // stopConnect, then onLogout on the delegate ("onLogout 回调函数未定义"
    // when it has none).
    void logout();
    // Changes the login password (type 1) or the fund password (type 2) on
    // the trading channel from `oldPassword` (as the user typed it) to
    // `newPassword`. After a change of the login password the session and
    // every channel hold the new one, so token checks and re-logins go on
    // working. Failures pass on unchanged ("10002" without a trading channel).
    void passwordChange(const std::string& newPassword, int32_t passwordType,
                        const std::string& oldPassword, KAVDoneBlock onSuccess,
                        KAVFailureBlock onFailure);
    // The service-level re-login: 5 s later the whole login chain runs again
    // with the stored session, and again 5 s after each failure, until one
    // succeeds. Nothing while one is scheduled or running. A login of the
    // caller's under way when it falls due is left to restore the session:
    // the re-login then ends without running.
    void startReconnect();
    void stopReconnect();
    // Whether a re-login is scheduled or running.
    bool isReLoginPending() const { return reLoginTimer_.isValid() || isReLoginRunning(); }
    // The records a push can change (accounts, symbols, rates, tickets,
    // orders, positions), copied record by record, and put back: into the
    // records cached under the same keys where each cache still holds those
    // keys alone, as copies in place of the current ones otherwise. For test
    // tooling: a fuzz run starts each input from one logged-in session's
    // caches without querying them again.
    struct CachedRecords {
        std::map<std::string, std::shared_ptr<MODUserAccount>> accounts;
        MODList<MODSymbolInfo> symbols;
        std::map<std::string, std::shared_ptr<MODSymbolInfo>, std::less<>> symbolsByCode;
        std::map<int32_t, std::shared_ptr<MODSymbolInfo>> symbolsById;
        std::map<std::string, std::shared_ptr<MODCERInfo>> rates;
        std::map<std::string, std::shared_ptr<MODHoldBill>> holdBills;
        std::map<std::string, std::shared_ptr<MODLimitBill>> limitBills;
        std::map<std::string, std::shared_ptr<MODHoldPosition>> positions;
    };
    CachedRecords copyCachedRecords() const;
    void restoreCachedRecords(const CachedRecords& records);
    // Every third call closes every channel and tells the delegate
    // onNetworkUnready; the others only log.
    void onNetworkUnready();

  private:
    void onWSAction(const KAVPackage& package);

    // --- Live session (private) ---
    // Record pushes act only while someone listens, and only on good news.
    bool pushGate(const KAVPackage& package) const;
    void onQuoted(const KAVPackage& package);
    void onSymbolChange(const KAVPackage& package);
    // Files one symbol of a symbol push (its element `pushed`): the cached
    // record changed in place, or a new one; null when refused.
    std::shared_ptr<MODSymbolInfo> fileSymbolChange(std::shared_ptr<MODSymbolInfo> symbol,
                                                    const platform::Json& pushed);
    void onAccountChange(const KAVPackage& package);
    void onHoldBillChange(const KAVPackage& package);
    void onLimitBillChange(const KAVPackage& package);
    void onCloseBillChange(const KAVPackage& package);
    void onHoldPositionChange(const KAVPackage& package);
    void onExchangeRateChange(const KAVPackage& package);
    void onBulletinPush(const KAVPackage& package);
    void onRiskChange(const KAVPackage& package);
    void onSameUserLogin(const KAVPackage& package);
    void onTerminal(const KAVPackage& package);
    void onDeliveryNotice(const KAVPackage& package);
    void onTokenRefused(const KAVPackage& package);
    // Re-pricing after a quote of the cached symbol, reported in this order.
    // The quoted symbol, in the list it is reported in.
    // Each takes the delegate the quote reports to (quoteDelegate).
    void updateSymbolInfo(const MODList<MODSymbolInfo>& quoted,
                          std::shared_ptr<WSPushMessage>& heard);
    // `stillCached`: whether the symbol is still the one cached under its code.
    void updateHoldBill(const MODSymbolInfo& symbol, std::shared_ptr<WSPushMessage>& heard,
                        bool stillCached = false);
    void updateHoldPosition(const MODSymbolInfo& symbol, std::shared_ptr<WSPushMessage>& heard);
    void updateLimitBill(const MODSymbolInfo& symbol, std::shared_ptr<WSPushMessage>& heard);
    // The account's free margin, net value and risk from its money and its
    // floating profit, as the re-pricing works them out.
    static void recomputeAccountMoney(MODUserAccount& account);
    // Recomputes the account (when there is one) and reports it.
    void updateAccountInfo(std::shared_ptr<MODUserAccount> account);
    void updateAccountInfo(std::shared_ptr<MODUserAccount> account,
                           std::shared_ptr<WSPushMessage>& heard);
    // The delegate a quote's reports go to, held from its first report to
    // its last rather than taken again for each: the one in `heard` while
    // it is still the one set and someone besides the quote holds it (as
    // taking it again would find), else the one set now, or null.
    WSPushMessage* quoteDelegate(std::shared_ptr<WSPushMessage>& heard) const;
    // The cached account of the id where it lies in the cache, or null.
    const std::shared_ptr<MODUserAccount>* cachedAccount(int32_t accId) const;
    // The account a quote found last, where it lies in the cache: the map
    // keeps an entry where it is until it is erased, and the cache loses
    // entries only when emptied or replaced whole (accountsReplaced).
    mutable int32_t lastAccountId_ = 0;
    mutable const std::shared_ptr<MODUserAccount>* lastAccount_ = nullptr;
    void accountsReplaced() { lastAccount_ = nullptr; }
    // Re-prices the cached tickets of the symbol and re-sums its position and
    // its account; the re-priced tickets.
    // Applies one quote read from a quote push to its cached symbol and
    // re-prices what depends on it.
    void applyQuote(const KAVQuoteFields& quote);
    // With `priced`, the symbol found under the code and its account where
    // it lies in the cache (good until the account cache changes). `found`
    // is the symbol cached under the code when the caller knows it.
    const MODList<MODHoldBill>& checkHoldBillsWith(
        const std::string& symbolCode,
        std::pair<const MODSymbolInfo*, const std::shared_ptr<MODUserAccount>*>* priced = nullptr,
        const MODSymbolInfo* found = nullptr);
    // The account's floating profit summed again over its cached tickets, and
    // the account recomputed, without a report (the ticket cache changed).
    void holdBillsChanged(int32_t accId);
    // The list a quote's symbol is reported in, kept between quotes; in use
    // while a quote is applied. It holds the last symbol quoted while the
    // cache holds it too, and lets it go when the cache is made anew.
    MODList<MODSymbolInfo> quotedSymbol_;
    bool quotedSymbolInUse_ = false;
    void symbolsReplaced() {
        ++symbolsMade_;
        if (!quotedSymbolInUse_) quotedSymbol_.clear();
    }
    // Counts the symbol caches made anew: while it stays, a code found in
    // the cache still finds the same record (codes are added, never taken
    // out one by one).
    uint64_t symbolsMade_ = 0;
    // Likewise the lists its position and its account are reported in.
    MODList<MODHoldPosition> quotedPosition_;
    bool quotedPositionInUse_ = false;
    MODList<MODUserAccount> quotedAccount_;
    bool quotedAccountInUse_ = false;
    void autoLogin();
    // Ends a running login without a word to its blocks.
    void abandonLogin();
    // The server's end of the session (the account logged in elsewhere, a
    // terminal notice, the network given up): stopConnect, and a caller's
    // login under way fails with ("10003", "通讯组件未就绪").
    void closeSession();
    bool isReLoginRunning() const {
        return reLoginAttempt_ != 0 && isLoginCurrent(reLoginAttempt_);
    }
    // The login attempt a re-login started (0: none).
    uint64_t reLoginAttempt_ = 0;

    // --- Login chain (private) ---
    void loginTraderProxy();
    void loginQuotedProxy();
    void loginQuotedProxy_compress();
    void loginMSGProxy();
    void loginHisQuotedProxy();
    void loginSuccess();
    void loginFailure(const std::string& code, const std::string& message);
    void wsOpenTimeOut();
    // Whether `attempt` is the login still running.
    bool isLoginCurrent(uint64_t attempt) const {
        return loginRunning_ && attempt == loginAttempt_;
    }
    // A block that runs `step` (with this object first) only while the
    // running login is still `attempt` and this object lives.
    template <typename Step>
    auto whileLogin(uint64_t attempt, Step step);
    // Opens a stage's channel; once open (and still part of the running
    // login) it stops the guard and runs `opened`, else it closes itself.
    void openStage(const std::shared_ptr<webSocket>& channel, const std::string& url,
                   webSocket::PushBlock push, std::function<void(KAVBizSDK&, webSocket&)> opened);
    // The queries of the trading stage, in this order.
    void loginQueryAccounts();
    void loginQuerySymbols();
    void loginQueryRates();
    // The failure block of a step of the running login: ends it with the
    // code and the message after `prefix`.
    KAVFailureBlock loginStepFailure(const std::string& prefix);
    // The proxy login on a stage's channel: its token on success, then `next`;
    // a failure ends the login with the message after `prefix`.
    void proxyLogin(webSocket& channel, const std::string& prefix,
                    std::function<void(KAVBizSDK&, webSocket&)> next);
    // The compressed quote channel's push block: quote lines only.
    webSocket::PushBlock compressedPushBlock();

    uint64_t loginAttempt_ = 0;
    bool loginRunning_ = false;
    platform::Timer loginGuard_;

    std::weak_ptr<WSPushMessage> delegate_;
    int32_t timeOut_ = 10;
    bool isDebug_ = false;
    std::string ver_ = "1.2.091601";
    KAVConnectionFactory connectionFactory_;

    // Session.
    std::string userId_;
    std::string password_;
    std::string vailCode_;
    std::vector<std::string> loginURLs_;  // only the first is used
    std::string sid_;
    // Service addresses from the login reply.
    std::string tradeProxy_, quotedProxy_, quotedProxyCmp_, hisQuoted_, messageProxy_;
    // Result blocks of a running login.
    KAVDoneBlock loginSuccess_;
    KAVFailureBlock loginFailure_;
    // Service-level re-login.
    platform::Timer reLoginTimer_;
    // Counted down by the network-unready handler.
    int32_t tryConnect = 3;

    // Channel table by name.
    std::map<std::string, std::shared_ptr<webSocket>> wsList;

    // Caches.
    std::map<std::string, std::shared_ptr<MODUserAccount>> accounts_;
    MODList<MODSymbolInfo> symbolInfos_;
    // Symbols by code, and apart from them by id, so that no code can stand
    // in for an id.
    std::map<std::string, std::shared_ptr<MODSymbolInfo>, std::less<>> dict_symbolInfos;
    std::map<int32_t, std::shared_ptr<MODSymbolInfo>> dict_symbolIds;
    // Rates under "<base>_<counter>"; a pair not cached counts as 1.0.
    std::map<std::string, std::shared_ptr<MODCERInfo>> exchangeRate;
    // Open tickets and pending orders under their order codes.
    std::map<std::string, std::shared_ptr<MODHoldBill>> holdBills;
    std::map<std::string, std::shared_ptr<MODLimitBill>> limitBills;
    // Net positions under their symbol codes.
    std::map<std::string, std::shared_ptr<MODHoldPosition>> holdPosition;
    // The codes of the tickets closed in full and of the orders filled or
    // cancelled, each with the count of pushMarks_ when it went: a ticket or
    // an order never opens again, so a push of one that comes late or once
    // more does not enter its cache. Only the dealer's own list (a query's
    // answer) brings a code back, and only one that went before the query
    // left: an answer made before the close cannot undo it. A new login
    // forgets them all.
    std::map<std::string, uint64_t> goneTickets_;
    std::map<std::string, uint64_t> goneOrders_;
    // The codes a push filed as open, with the count when it last did: an
    // answer made before that push cannot undo it either, so a ticket or an
    // order pushed while the query was out stays as the push left it,
    // listed or not.
    std::map<std::string, uint64_t> filedTickets_;
    std::map<std::string, uint64_t> filedOrders_;
    // The symbol codes of the net positions a push changed, filed or took
    // away, with the count when it last did: that push has the last word
    // over a position answer asked for before it.
    std::map<std::string, uint64_t> pushedPositions_;
    // The money an account push sets (the server keeps it; the floating
    // part stays the client's own), and for each account and field of it
    // the count when a push last set it: an account answer asked for before
    // that push keeps the pushed value.
    static constexpr std::pair<const char*, double MODUserAccount::*> kPushedMoney[] = {
        {"amMarginRemain", &MODUserAccount::amMarginRemain},
        {"amMarginUsed", &MODUserAccount::amMarginUsed},
        {"amMarginFreezed", &MODUserAccount::amMarginFreezed},
        {"amWithdrawable", &MODUserAccount::amWithdrawable},
        {"amDailyCharge", &MODUserAccount::amDailyCharge},
        {"amDailyCloseProfit", &MODUserAccount::amDailyCloseProfit},
    };
    std::map<std::pair<int32_t, size_t>, uint64_t> pushedMoney_;
    uint64_t pushMarks_ = 0;
    void markPushed(std::map<std::string, uint64_t>& marks, const std::string& code) {
        marks[code] = ++pushMarks_;
    }

    // The open tickets and pending orders of each symbol, in the order of
    // their caches, so that a quote re-prices only its own symbol's records
    // and reports them without copying the list. Made again from the caches
    // after the service object changes them (a query, a push, a close).
    using SymbolTickets = KAVSymbolTickets;
    std::unordered_map<std::string, SymbolTickets> ticketsBySymbol_;
    // Per account, the per-symbol sums its floating profit is made of, in
    // the order their symbols first appear in the ticket cache.
    std::unordered_map<int32_t, std::vector<const double*>> accountProfits_;
    bool ticketIndexStale_ = true;
    std::unordered_map<std::string, MODList<MODLimitBill>> ordersBySymbol_;
    bool orderIndexStale_ = true;
    void ticketsChanged() { ticketIndexStale_ = true; }
    void ordersChanged() { orderIndexStale_ = true; }
    void indexTickets();
    void indexOrders();
    // The account's floating profit: the sum of its tickets' converted
    // profits as they were last priced.
    double floatingProfitOf(int32_t accId) const;

    // --- Trading records and orders ---
    // Completes the order from the symbol and sends it on the trading channel.
    void sendOrder(MODOrder& order, const MODSymbolInfo& symbol, const std::string& eventCode,
                   KAVDoneBlock onSuccess, KAVFailureBlock onFailure);
};
