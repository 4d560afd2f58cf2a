#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/dealer-sim/Market.h"
#include "tools/dealer-sim/Package.h"

namespace dealersim {

// Retcodes and messages of the desk's refusals (documented in the README).
namespace ret {
inline constexpr const char* kOk = "0";
inline constexpr const char* kBadLogin = "1001";
inline constexpr const char* kBadSession = "1002";
inline constexpr const char* kBadOldPassword = "1003";
inline constexpr const char* kBadNewPassword = "1004";
inline constexpr const char* kBadToken = "1005";
inline constexpr const char* kBadSymbol = "3101";
inline constexpr const char* kBadQuantity = "3102";
inline constexpr const char* kPriceMoved = "3103";
inline constexpr const char* kNoMargin = "3104";
inline constexpr const char* kBadStopLoss = "3105";
inline constexpr const char* kBadTakeProfit = "3106";
inline constexpr const char* kNoSuchOrder = "3107";
inline constexpr const char* kBadLimitPrice = "3108";
inline constexpr const char* kTooMuchToClose = "3109";
inline constexpr const char* kBadSide = "3110";
inline constexpr const char* kBadAmount = "3111";
inline constexpr const char* kPriceOutOfRange = "3112";
inline constexpr const char* kBadPeriod = "3201";
inline constexpr const char* kNotLoggedIn = "9001";
inline constexpr const char* kUnknownEvent = "9002";
inline constexpr const char* kMalformed = "9003";
}  // namespace ret

// A push the desk wants delivered: on the trading ("trade") or message
// ("msg") service, to every session of `uid` (empty: to every session).
struct Push {
    std::string service;
    std::string uid;
    std::string event;
    Json children = Json::array();
};

struct Outcome {
    std::string retCode = ret::kOk;
    std::string message;
    Json data = Json::object();
    std::vector<Push> pushes;
    bool ok() const { return retCode == ret::kOk; }
};

Outcome refusal(const char* retCode, std::string message);

struct User {
    std::string uid;
    std::string password;
    std::string fundPassword;
    int accId = 0;
    double initialBalance = 0;
    bool registered = false;  // made by the demo registration service
};

struct Account {
    std::string uid;
    int accId = 0;
    std::string accCode;
    std::string currency = "USD";
    double balance = 0;  // margin balance without floating profit
    double preBalance = 0;
    double dailyCloseProfit = 0;
    double dailyCharge = 0;
    double dailyInterest = 0;
    std::string riskType;  // "2": net value / used margin, "1": used margin / net value
    double riskWarning = 0;
    double riskCut = 0;
    int riskState = 0;  // 0 safe, 1 past the warning line (the cut line closes everything)
};

struct Ticket {
    std::string code;
    std::string uid;
    int symbol = 0;
    bool buy = true;
    double quantity = 0;
    int64_t openPoints = 0;
    int64_t stopLoss = 0;  // 0: none
    int64_t takeProfit = 0;
    std::string openDate;
    double margin = 0;
    std::string memo;
};

struct PendingOrder {
    std::string code;
    std::string uid;
    int symbol = 0;
    bool buy = true;
    double quantity = 0;
    int64_t pricePoints = 0;
    int64_t stopLoss = 0;
    int64_t takeProfit = 0;
    bool fillsAtOrBelow = true;  // which way the market must cross the price
    bool stopKind = false;       // a stop order fills at the market, a limit order at its price
    std::string limitType;       // as the client sent it
    std::string validDateType;
    std::string validDate;
    std::string openDate;
    double margin = 0;
    std::string memo;
};

struct ClosedTicket {
    std::string code;
    std::string uid;
    int symbol = 0;
    bool closedByBuy = false;  // side of the closing deal: a sell closes a buy ticket
    double quantityClose = 0;
    double quantityHold = 0;
    int64_t openPoints = 0;
    int64_t closePoints = 0;
    int64_t stopLoss = 0;
    int64_t takeProfit = 0;
    std::string openDate;
    std::string closeDate;
    std::string
        closeType;      // "1" by ticket, "2" stop-loss, "3" take-profit, "4" by symbol, "5" forced
    double profit = 0;  // in the account currency
};

struct Bulletin {
    int id = 0;
    std::string title;
    std::string content;
    std::string date;
};

// The dealing desk: users, margin accounts, tickets, pending orders, closed
// tickets, bulletins and exchange rates, priced from the market. It knows
// nothing of connections; every change returns the pushes it causes.
class Desk {
  public:
    Desk(Market& market, std::function<int64_t()> clock);

    // Users.
    const User* user(const std::string& uid) const;
    bool checkPassword(const std::string& uid, const std::string& password) const;
    Outcome changePassword(const std::string& uid, const Fields& child);
    // Demo registration: the e-mail becomes the account's user id.
    Outcome registerDemo(const std::string& email, const std::string& password, double amount);
    Json usersJson() const;
    void loadUsers(const Json& users);

    // Records of the list queries ("children").
    Json accountRecords(const std::string& uid) const;
    Json symbolRecords(const std::string& uid) const;
    Json rateRecords() const;
    Json ticketRecords(const std::string& uid) const;
    Json orderRecords(const std::string& uid) const;
    Json positionRecords(const std::string& uid) const;
    Json closedRecords(const std::string& uid) const;
    Json bulletinRecords() const;
    Json quoteRecord(int symbol) const;
    std::string compressedLine(int symbol) const;

    // Trading requests: 3001, 2039, 3003, 3005, 3011, 3009 with their order
    // object, and 2035 with its deposit object.
    Outcome order(const std::string& uid, const std::string& event, const Fields& child);
    Outcome deposit(const std::string& uid, const Fields& child);

    // After a price change of a symbol: pending orders that the price
    // crossed fill, stop-loss and take-profit close tickets, risk lines are
    // checked.
    std::vector<Push> afterPriceChange(int symbol);

    Push addBulletin(const std::string& title, const std::string& content);
    // No bulletins any more (nothing is pushed); the next one added is number 1.
    void clearBulletins() { bulletins_.clear(); }
    Push setRate(const std::string& base, const std::string& exchange, double rate);
    // Changes the symbol's trading rules (any of "minTradeQuantity",
    // "maxTradeQuantity", "maxPointOffset", "pointAsk", "pointBid"); a 4004
    // push with its whole new record goes to every user.
    std::vector<Push> redefineSymbol(int symbol, const Json& changes);

    // Everything the desk holds for one user, as the query records.
    Json state(const std::string& uid) const;

  private:
    Account* accountOf(const std::string& uid);
    const Account* accountOf(const std::string& uid) const;
    double rate(const std::string& from, const std::string& to) const;
    double floating(const Ticket& t) const;     // account currency
    double floatingRaw(const Ticket& t) const;  // symbol currency
    int64_t markPoints(const Ticket& t) const;
    double usedMargin(const std::string& uid) const;
    double frozenMargin(const std::string& uid) const;
    double floatingTotal(const std::string& uid) const;
    double freeMargin(const std::string& uid) const;
    std::string nextCode();

    Json accountRecord(const Account& a) const;
    Json symbolRecord(const Account* a, int symbol) const;
    // The members every ticket, order and closed-ticket record starts with.
    Json orderHead(const std::string& code, const std::string& uid, const SymbolDef& s,
                   bool buy) const;
    Json ticketRecord(const Ticket& t, double quantity) const;
    Json orderRecord(const PendingOrder& o, double quantity, const std::string& status) const;
    Json positionRecord(const std::string& uid, int symbol) const;
    Json closedRecord(const ClosedTicket& c) const;

    Push accountPush(const std::string& uid) const;
    Push positionPush(const std::string& uid, int symbol) const;

    bool validQuantity(int symbol, double quantity) const;
    const char* checkStops(int symbol, bool buy, int64_t reference, int64_t stopLoss,
                           int64_t takeProfit, std::string* message) const;
    void closeTicket(size_t index, double quantity, int64_t price, const std::string& closeType,
                     std::vector<Push>& pushes);
    void fillOrder(size_t index, std::vector<Push>& pushes);
    // Books a new ticket and its pushes; returns its code.
    std::string openTicket(const std::string& uid, int symbol, bool buy, double quantity,
                           int64_t at, int64_t stopLoss, int64_t takeProfit,
                           const std::string& memo, std::vector<Push>& pushes);
    void checkRisk(const std::string& uid, std::vector<Push>& pushes);

    Outcome marketOpen(const std::string& uid, const Fields& c);
    Outcome closeByTicket(const std::string& uid, const Fields& c);
    Outcome closeBySymbol(const std::string& uid, const Fields& c);
    Outcome pendingOrder(const std::string& uid, const Fields& c);
    Outcome modify(const std::string& uid, const Fields& c);
    Outcome cancel(const std::string& uid, const Fields& c);

    Market& market_;
    std::function<int64_t()> clock_;
    std::map<std::string, User> users_;
    std::map<int, Account> accounts_;
    std::vector<Ticket> tickets_;
    std::vector<PendingOrder> orders_;
    std::vector<ClosedTicket> closed_;
    std::vector<Bulletin> bulletins_;
    std::map<std::string, double> rates_;  // "BASE_EXCHANGE"
    int nextCode_ = 100001;
    int nextAccId_ = 2001;
};

}  // namespace dealersim
