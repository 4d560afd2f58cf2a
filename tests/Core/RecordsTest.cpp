// Reading the records of replies: symbols, accounts with their risk,
// exchange rates, login replies and compressed quote lines.
#include <gtest/gtest.h>

#include <optional>

#include "Core/Biz/BizSymbolInfo.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Dates.h"
#include "platform/Log.h"
#include "tests/support/ScopedEnv.h"

using platform::Json;

namespace {

MODList<MODSymbolInfo> symbolsOf(const Json& children) {
    return BizSymbolInfo().pushData(&children);
}

std::shared_ptr<MODUserAccount> accountOf(const Json& element) {
    const Json children = Json::array({element});
    auto accounts = BizUserAccount().pushData(&children);
    EXPECT_EQ(accounts.size(), 1u);
    return accounts.empty() ? std::make_shared<MODUserAccount>() : accounts.front();
}

// A symbol element with every numeric value as the server usually sends it.
Json symbolElement() {
    return Json{{"accId", "1001"},
                {"ask", "1.10020"},
                {"bid", "1.10000"},
                {"decimal", "5"},
                {"isTrade", "1"},
                {"maxPointOffset", "50"},
                {"maxTradeQuantity", "100"},
                {"minTradeQuantity", "1"},
                {"moveRate", "3"},
                {"pointAsk", "10"},
                {"pointBid", "10"},
                {"pointLimit", "20"},
                {"pointStopLose", "30"},
                {"pointTakeProfit", "40"},
                {"priceClose", "1.09"},
                {"priceCurrent", "1.1001"},
                {"priceHighest", "1.2"},
                {"priceLowest", "1.0"},
                {"priceOpen", "1.05"},
                {"quantityStep", "1"},
                {"symbolCode", "EURUSD"},
                {"symbolCurrency", "USD"},
                {"symbolId", "1"},
                {"symbolName", "欧元美元"},
                {"symbolType", "1"},
                {"tradeMarketId", "7"},
                {"tradeMarketName", "外汇"},
                {"tradeModel", "1"},
                {"traderAccess", "a"},
                {"tradeBillType", "b"},
                {"deliveryModel", "c"},
                {"dailyLimitUp", "2.2"},
                {"dailyLimitDown", "0.2"},
                {"quantityMax", "500"},
                {"unit", "100000"},
                {"date", "2026-01-05 09:30:00"},
                {"beginTradeTime", "2026-01-05 09:30:00"},
                {"endTradeTime", "2026-01-05 23:00:00"}};
}

// The same element with every numeric text turned into a JSON number.
Json asNumbers(Json element) {
    for (auto& [key, value] : element.items()) {
        if (key == "symbolCode" || key == "symbolType" || key == "date" ||
            key.find("TradeTime") != std::string::npos)
            continue;
        const std::string text = value.get<std::string>();
        if (text.find_first_not_of("0123456789.-") == std::string::npos) value = std::stod(text);
    }
    return element;
}

}  // namespace

// Local time is UTC+8 for the scope.
class ShanghaiTime {
  public:
    ShanghaiTime() : tz_(std::in_place, "TZ", "CST-8") { platform::dates::resetTimeZone(); }
    ~ShanghaiTime() {
        tz_.reset();
        platform::dates::resetTimeZone();
    }

  private:
    std::optional<kavtest::ScopedEnv> tz_;
};

TEST(SymbolParse, NumbersAsStringsAndAsJsonNumbersReadAlike) {
    ShanghaiTime zone;
    for (const Json& element : {symbolElement(), asNumbers(symbolElement())}) {
        SCOPED_TRACE(element.dump());
        const auto symbols = symbolsOf(Json::array({element}));
        ASSERT_EQ(symbols.size(), 1u);
        const MODSymbolInfo& s = *symbols[0];
        EXPECT_EQ(s.accId, 1001);
        EXPECT_DOUBLE_EQ(s.ask, 1.1002);
        EXPECT_DOUBLE_EQ(s.bid, 1.1);
        EXPECT_EQ(s.decimal, 5);
        EXPECT_EQ(s.isTrade, "1");
        EXPECT_EQ(s.pointTakeProfit, 40);
        EXPECT_EQ(s.unit, 100000);
        EXPECT_DOUBLE_EQ(s.dailyLimitDown, 0.2);
        // The day's range starts as the reply's highest and lowest price.
        EXPECT_DOUBLE_EQ(s.dailyHighest, 1.2);
        EXPECT_DOUBLE_EQ(s.dailyLowest, 1.0);
        EXPECT_EQ(s.symbolCode, "EURUSD");
        EXPECT_EQ(s.symbolName, "欧元美元");
        EXPECT_EQ(s.lastTime, "2026-01-05 09:30:00");
        EXPECT_EQ(s.seatsCode, "");
        EXPECT_EQ(s.accCurrency, "");  // only the symbol query knows the account
        EXPECT_EQ(s.spread, 0);
        // Session times in the local zone: 09:30 and 23:00 in Shanghai.
        EXPECT_EQ(s.beginTime, 1767576600);
        EXPECT_EQ(s.endTime, 1767625200);
    }
}

TEST(SymbolParse, FractionsTruncationSpreadAndOddValues) {
    Json e = symbolElement();
    e["decimal"] = "12.5";
    e["priceOpen"] = "12.5";
    e["pointAsk"] = 7.9;
    e["pointBid"] = "5";
    e["symbolId"] = nullptr;  // null counts as missing
    e["symbolName"] = nullptr;
    e["beginTradeTime"] = "2026-01-05";  // not the full pattern
    e["endTradeTime"] = "";
    auto s = symbolsOf(Json::array({e}))[0];
    EXPECT_EQ(s->decimal, 12);
    EXPECT_DOUBLE_EQ(s->priceOpen, 12.5);
    EXPECT_EQ(s->pointAsk, 7);
    EXPECT_EQ(s->spread, 2);
    EXPECT_EQ(s->symbolId, 0);
    EXPECT_EQ(s->symbolName, "");
    EXPECT_EQ(s->beginTime, 0);
    EXPECT_EQ(s->endTime, 0);

    // pointAsk is cut toward zero, and the spread is never negative.
    e["pointAsk"] = "-7.9";
    EXPECT_EQ(symbolsOf(Json::array({e}))[0]->pointAsk, -7);
    e["pointAsk"] = 2;
    e["pointBid"] = 5;
    EXPECT_EQ(symbolsOf(Json::array({e}))[0]->spread, 3);

    // A numeric code becomes its text.
    e["symbolCode"] = 1001;
    EXPECT_EQ(symbolsOf(Json::array({e}))[0]->symbolCode, "1001");
}

TEST(SymbolParse, ElementsWithoutACodeAreSkipped) {
    platform::LogCapture logs;
    Json noCode = symbolElement();
    noCode.erase("symbolCode");
    Json nullCode = symbolElement();
    nullCode["symbolCode"] = nullptr;
    Json emptyCode = symbolElement();
    emptyCode["symbolCode"] = "";
    Json second = symbolElement();
    second["symbolCode"] = "XAUUSD";
    const auto symbols =
        symbolsOf(Json::array({noCode, symbolElement(), nullCode, "text", emptyCode, second}));
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0]->symbolCode, "EURUSD");
    EXPECT_EQ(symbols[1]->symbolCode, "XAUUSD");
    EXPECT_EQ(logs.count("商品数据缺少商品代码"), 4u);
    // No list at all gives no records.
    EXPECT_TRUE(BizSymbolInfo().pushData(nullptr).empty());
    const Json notAList = Json::object();
    EXPECT_TRUE(BizSymbolInfo().pushData(&notAList).empty());
}

TEST(AccountParse, NetValueFreeMarginAndTheRatioAreWorkedOut) {
    auto a = accountOf(Json{{"accCode", "A1"},
                            {"accId", "1001"},
                            {"amMarginRemain", "1000"},
                            {"amMarginUsed", "200"},
                            {"amMarginFreezed", "50"},
                            {"amMarginFree", "999"},
                            {"netValue", "1234"},
                            {"risk", "9"},
                            {"riskType", "2"},
                            {"riskCustomWarning", "1.5"},
                            {"riskCustomCut", "0.5"},
                            {"currencyCode", "USD"},
                            {"amDailySProfit", 3.25}});
    EXPECT_EQ(a->accCode, "A1");
    EXPECT_EQ(a->accId, 1001);
    EXPECT_DOUBLE_EQ(a->netValue, 1000);     // the reply's own net value is not used
    EXPECT_DOUBLE_EQ(a->amMarginFree, 750);  // 1000 - (50 + 200)
    EXPECT_FLOAT_EQ(a->risk, 5.0f);          // 1000 / 200
    EXPECT_EQ(a->currencyCode, "USD");
    EXPECT_DOUBLE_EQ(a->amDailySProfit, 3.25);

    // A type sent as a number is read as its text; any other type keeps the reply's ratio.
    a = accountOf(Json{{"riskType", 1}, {"amMarginRemain", 400}, {"amMarginUsed", 100}});
    EXPECT_EQ(a->riskType, "1");
    EXPECT_FLOAT_EQ(a->risk, 0.25f);
    a = accountOf(
        Json{{"riskType", "3"}, {"risk", "0.75"}, {"amMarginRemain", 400}, {"amMarginUsed", 100}});
    EXPECT_FLOAT_EQ(a->risk, 0.75f);
    EXPECT_EQ(a->riskLevel, 0);

    // Zero divisors give a ratio of 0.
    EXPECT_FLOAT_EQ(accountOf(Json{{"riskType", "2"}, {"amMarginRemain", 400}})->risk, 0.0f);
    EXPECT_FLOAT_EQ(accountOf(Json{{"riskType", "1"}, {"amMarginUsed", 400}})->risk, 0.0f);

    // Without an id the account is read as id 0.
    EXPECT_EQ(accountOf(Json{{"accCode", "X"}})->accId, 0);
}

TEST(AccountParse, RiskLevelsAndPercentsOfBothTypes) {
    struct Case {
        const char* type;
        double warning, cut, used, remain;
        int level;
        float percent;
    };
    // Type "2" (the ratio falls with danger), warning 1.5, cut 0.5: the thirds
    // of the band end at 1.1667 and 0.8333. Type "1" (it rises), warning 0.5,
    // cut 1.0: 0.6667 and 0.8333; its band runs downwards, so the percent is 1.
    const Case cases[] = {
        {"2", 1.5, 0.5, 1.0, 1.2, 1, 0.7f},
        {"2", 1.5, 0.5, 1.0, 1.6, 0, 1.0f},
        {"2", 1.5, 0.5, 1.0, 1.0, 2, 0.5f},
        {"2", 1.5, 0.5, 1.0, 0.6, 3, 0.1f},
        {"2", 1.5, 0.5, 1.0, 0.4, 3, 0.0f},
        {"2", 1.5, 0.5, 0.0, 1.0, 0, 0.0f},
        {"1", 0.5, 1.0, 0.4, 1.0, 0, 1.0f},
        {"1", 0.5, 1.0, 0.6, 1.0, 1, 1.0f},
        {"1", 0.5, 1.0, 0.75, 1.0, 2, 1.0f},
        {"1", 0.5, 1.0, 0.9, 1.0, 3, 1.0f},
        // A band of 0.01 or less counts as reached.
        {"2", 0.51, 0.5, 1.0, 0.3, 3, 1.0f},
        // A net value at or below 0 under used margin is past any cut line,
        // though its ratio comes out negative or 0.
        {"1", 0.5, 1.0, 0.9, -1.0, 3, 1.0f},
        {"1", 0.5, 1.0, 0.9, 0.0, 3, 1.0f},
        {"2", 1.5, 0.5, 1.0, 0.0, 3, 0.0f},
        // Nothing used: nothing at risk, whatever the net value.
        {"1", 0.5, 1.0, 0.0, -1.0, 0, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " used " << c.used << " remain " << c.remain);
        auto a = accountOf(Json{{"riskType", c.type},
                                {"riskCustomWarning", c.warning},
                                {"riskCustomCut", c.cut},
                                {"amMarginUsed", c.used},
                                {"amMarginRemain", c.remain}});
        EXPECT_EQ(a->riskLevel, c.level);
        EXPECT_NEAR(a->riskPercent, c.percent, 1e-6);
    }
}

namespace {

KAVPackage linePackage(std::vector<Json> lines) {
    KAVPackage p;
    p.setEvent("4002");
    p.addValue(Json(std::move(lines)), "children");
    return p;
}

}  // namespace

TEST(CompressedQuotes, ALineBecomesAQuoteRecord) {
    const std::string line = "0,1767603600,1,EURUSD,1.1,1.1002,1.2,1.0,1.05,1.3,0.9,500";
    const auto expanded = KAVBizSDK::expandQuoteLines(linePackage({line}));
    ASSERT_TRUE(expanded);
    EXPECT_EQ(expanded->event(), "4002");
    EXPECT_EQ(expanded->retCode(), "0");
    EXPECT_EQ(expanded->msgOrder(), 0);
    const Json& children = *expanded->getValue("children");
    ASSERT_EQ(children.size(), 1u);
    const Json& q = children[0];
    std::vector<std::string> keys;
    for (const auto& [key, value] : q.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"upOrDown", "priceHighest", "priceClose", "askVolume",
                                              "dailyLow", "bid", "priceLowest", "bidVolume",
                                              "dailyHight", "volume", "symbolCode", "amount", "ask",
                                              "lastTime", "priceCurrent"}));
    EXPECT_EQ(q["symbolCode"], "EURUSD");
    EXPECT_DOUBLE_EQ(q["bid"].get<double>(), 1.1);
    EXPECT_DOUBLE_EQ(q["ask"].get<double>(), 1.1);  // the line's field 5 is not read
    EXPECT_DOUBLE_EQ(q["priceCurrent"].get<double>(), 1.1);
    EXPECT_DOUBLE_EQ(q["priceHighest"].get<double>(), 1.2);
    EXPECT_DOUBLE_EQ(q["priceLowest"].get<double>(), 1.0);
    EXPECT_DOUBLE_EQ(q["priceClose"].get<double>(), 1.05);
    EXPECT_DOUBLE_EQ(q["dailyHight"].get<double>(), 1.3);
    EXPECT_DOUBLE_EQ(q["dailyLow"].get<double>(), 0.9);
    EXPECT_DOUBLE_EQ(q["volume"].get<double>(), 500);
    EXPECT_EQ(q["lastTime"], Funs::Epoch2Date(1767603600));
    for (const char* zero : {"upOrDown", "askVolume", "bidVolume", "amount"})
        EXPECT_EQ(q[zero], 0) << zero;
}

TEST(CompressedQuotes, UnreadableLinesAreDroppedWithALogLine) {
    platform::LogCapture logs;
    const std::string good = "0,1767603600,2,USDJPY,150.1,150.12,151,149,150,151,149,10";
    const std::vector<Json> lines = {
        "0,1767603600,1,EURUSD,1.1,1.1002,1.2,1.0,1.05,1.3,0.9",     // eleven fields
        "0,1767603600,1,EURUSD,1.1x,1.1002,1.2,1.0,1.05,1.3,0.9,5",  // not a number
        "0,1767603600,1,EURUSD,nan,1.1002,1.2,1.0,1.05,1.3,0.9,5",
        "0,1767603600,1,EUR\"USD,1.1,1.1002,1.2,1.0,1.05,1.3,0.9,5",  // would break out of the text
        "0,later,1,EURUSD,1.1,1.1002,1.2,1.0,1.05,1.3,0.9,5",        Json::object(), good,
    };
    const auto expanded = KAVBizSDK::expandQuoteLines(linePackage(lines));
    ASSERT_TRUE(expanded);
    const Json& children = *expanded->getValue("children");
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0]["symbolCode"], "USDJPY");
    EXPECT_EQ(logs.count("无法读取的行情数据已丢弃"), 6u);

    // Nothing readable: no package at all.
    EXPECT_FALSE(KAVBizSDK::expandQuoteLines(linePackage({"0,1,2"})));
    EXPECT_FALSE(KAVBizSDK::expandQuoteLines(KAVPackage()));
}
