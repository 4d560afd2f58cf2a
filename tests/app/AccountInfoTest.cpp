// The account information screen: the seven money rows and the risk panel
// from the dealer's account, followed by pushes only while the screen is in
// view; the risk bar's colours, share and the floating profit's colours.
#include <cmath>
#include <limits>

#include "app/UIAccountInfo.h"
#include "tests/app/AccountStage.h"
#include "ui/toolkit/CellItem.h"

using namespace accounttest;

namespace {

class AccountInfoTest : public AccountScreenTest {
  protected:
    std::shared_ptr<UIAccountInfo> showScreen() {
        screen = std::make_shared<UIAccountInfo>();
        screen->setContext(session);
        nav = show(screen);
        return screen;
    }
    CellItem* row(long r) {
        return dynamic_cast<CellItem*>(
            screen->list()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, 0)));
    }
    std::string value(long r) {
        auto* cell = row(r);
        return cell ? cell->cellValue()->text() : "<no cell>";
    }
    // Buys a lot of EURUSD at the dealer and waits for its answer.
    void buyOneLot() {
        const auto symbol = sdk()->getSymbolWith("EURUSD");
        ASSERT_NE(symbol, nullptr);
        bool done = false;
        kavtest::Reported failed;
        sdk()->marketOpenWithSymbol(
            "EURUSD", 1, "b", symbol->ask, symbol->maxPointOffset, 0, 0, "", [&] { done = true; },
            failed.failure());
        ASSERT_TRUE(time.runUntil([&] { return done || failed.calls > 0; }));
        ASSERT_TRUE(done) << failed.code << " " << failed.message;
    }
    double cachedUsedMargin() {
        const auto accounts = sdk()->getAccounts();
        return accounts.empty() ? -1 : accounts.front()->amMarginUsed;
    }
    static std::shared_ptr<MODUserAccount> account(float risk, float percent, double profit = 0) {
        auto a = std::make_shared<MODUserAccount>();
        a->currencyCode = "USD";
        a->amMarginRemain = 100000;
        a->amMarginUsed = 1234.5;
        a->amMarginFreezed = 0.004;
        a->profitDyn = profit;
        a->amDailyCharge = -2.005;
        a->amDailyCloseProfit = 12.3456;
        a->netValue = 98765.432;
        a->amMarginFree = 4321.004;
        a->risk = risk;
        a->riskPercent = percent;
        return a;
    }
    // Centre of the risk bar's left end, on the screen.
    static constexpr int kBarX = 146, kBarY = 64 + 15;

    std::shared_ptr<UIAccountInfo> screen;
    std::shared_ptr<BaseNavigationController> nav;
};

TEST_F(AccountInfoTest, ShowsTheDealersAccountAndFollowsPushesOnlyWhileInView) {
    logIn();
    showScreen();
    ASSERT_TRUE(waitFor([&] { return !screen->arrValue().empty(); }));
    EXPECT_EQ(screen->title(), "资金账户");

    const auto desk = sim->desk("1001")["accounts"][0];
    const std::vector<std::string> captions = {"结算货币",    "今日余额", "占用保证金",
                                               "冻结保证金",  "浮动盈亏", "当日手续费",
                                               "当日平仓盈亏"};
    const std::vector<std::string> fields = {"currencyCode",      "amMarginRemain", "amMarginUsed",
                                             "amMarginFreezed",   "profitDyn",      "amDailyCharge",
                                             "amDailyCloseProfit"};
    for (long r = 0; r < 7; ++r) {
        SCOPED_TRACE(captions[r]);
        ASSERT_NE(row(r), nullptr);
        EXPECT_EQ(row(r)->cellLabel()->text(), captions[r]);
        const std::string sent = desk[fields[r]].get<std::string>();
        EXPECT_EQ(value(r), r == 0 ? sent : sysDB::formatPrice(std::stod(sent), 2));
    }
    EXPECT_EQ(value(1), "100000.00");
    EXPECT_EQ(screen->riskView()->lblNetValue()->text(), "100000.00");
    EXPECT_EQ(screen->riskView()->lblFreeMargins()->text(), "100000.00");
    // No margin in use: no ratio, and the bar is empty.
    EXPECT_EQ(screen->riskView()->lblRisk()->text(), "0%");
    EXPECT_EQ(screen->riskView()->bar()->frame().size.width, 0);
    snapshot("account-info");

    // An order moves money: the dealer's push shows at once.
    buyOneLot();
    ASSERT_TRUE(waitFor([&] { return screen->arrValue()[2] == "1000.00"; }));
    EXPECT_EQ(value(2), "1000.00");
    EXPECT_GT(relay->accountPushes, 0);
    EXPECT_EQ(screen->riskView()->bar()->frame().size.width,
              screen->riskView()->riskBarWidth() - 6);
    EXPECT_EQ(rgbOf(screen->riskView()->bar()->backgroundColor()), (Rgb{112, 186, 72}));
    snapshot("account-info-after-order");

    // Out of view the pushes are not applied...
    nav->pushViewController(std::make_shared<BaseViewController>(), false);
    settle();
    EXPECT_FALSE(screen->isListening());
    const int pushesBefore = relay->accountPushes;
    buyOneLot();
    ASSERT_TRUE(
        waitFor([&] { return cachedUsedMargin() == 2000 && relay->accountPushes > pushesBefore; }));
    EXPECT_EQ(screen->arrValue()[2], "1000.00");
    // ...and coming back asks the dealer again.
    nav->popViewControllerAnimated(false);
    settle();
    EXPECT_TRUE(screen->isListening());
    ASSERT_TRUE(waitFor([&] { return screen->arrValue()[2] == "2000.00"; }));
    EXPECT_EQ(value(2), "2000.00");
}

// An open ticket at a loss: the answer to the screen's query shows the net
// value and the free margin with the loss counted, as the dealer's books
// and the re-pricing have them. A quiet market (no quote to re-price with)
// must not leave the balance shown as the net value and a free margin that
// ignores the loss.
TEST_F(AccountInfoTest, TheAnswerShowsTheNetValueAndFreeMarginWithTheFloatingProfit) {
    logIn();
    buyOneLot();
    const auto symbol = sdk()->getSymbolWith("EURUSD");
    ASSERT_NE(symbol, nullptr);
    sim->setQuote("EURUSD", symbol->bid - 0.01);
    ASSERT_TRUE(waitFor([&] {
        const auto accounts = sdk()->getAccounts();
        return !accounts.empty() && accounts.front()->profitDyn < -500;
    }));

    showScreen();
    ASSERT_TRUE(waitFor([&] { return !screen->arrValue().empty(); }));
    const auto books = sim->desk("1001")["accounts"][0];
    const double net = std::stod(books["netValue"].get<std::string>());
    const double free = std::stod(books["amMarginFree"].get<std::string>());
    ASSERT_LT(net, std::stod(books["amMarginRemain"].get<std::string>()) - 500);
    EXPECT_NEAR(std::stod(screen->riskView()->lblNetValue()->text()), net, 0.011);
    EXPECT_NEAR(std::stod(screen->riskView()->lblFreeMargins()->text()), free, 0.011);
    EXPECT_NEAR(screen->modUserAccount()->netValue, net, 0.011);
}

TEST_F(AccountInfoTest, RiskBarColourAndShareFollowTheRatioWithinItsTrack) {
    showScreen();
    // Before any figures: a dash and the start colour over the whole track.
    UIKAVRiskView* risk = screen->riskView();
    EXPECT_EQ(risk->lblRisk()->text(), "--");
    EXPECT_EQ(risk->riskBarWidth(), 170);
    EXPECT_EQ(risk->bar()->frame(), CGRectMake(143, 5.25 + 3, 164, 14));
    EXPECT_EQ(value(1), "");
    EXPECT_EQ(row(1)->cellLabel()->text(), "今日余额");
    auto shot = snapshot("account-info-empty");
    EXPECT_EQ(pixel(shot, kBarX, kBarY), (Rgb{187, 46, 36}));

    struct Case {
        float risk;
        float percent;
        std::string text;
        Rgb colour;
        double width;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0.75f, 0.5f, "75%", {112, 186, 72}, 82},
        {0.6f, 1.0f, "60%", {235, 175, 46}, 164},
        {0.5f, 0.0f, "50%", {186, 72, 72}, 0},
        // The float nearest 0.7 lies below the double 0.7.
        {0.7f, 0.25f, "70%", {235, 175, 46}, 41},
        // A share outside 0..1 or no number at all stays inside the track.
        {0.9f, 1.7f, "90%", {112, 186, 72}, 164},
        {0.2f, -0.4f, "20%", {186, 72, 72}, 0},
        {0.8f, nan, "80%", {112, 186, 72}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        BusRelay::postAccounts({account(c.risk, c.percent)});
        settle(0.1);
        EXPECT_EQ(risk->lblRisk()->text(), c.text);
        EXPECT_EQ(risk->bar()->frame().size.width, c.width);
        EXPECT_EQ(risk->bar()->frame().origin.x, 143);
        EXPECT_EQ(rgbOf(risk->bar()->backgroundColor()), c.colour);
        if (c.width > 10) {
            EXPECT_EQ(pixel(snapshot("account-info-risk"), kBarX, kBarY), c.colour);
        }
    }
    EXPECT_EQ(risk->lblNetValue()->text(), "98765.43");
    EXPECT_EQ(risk->lblFreeMargins()->text(), "4321.00");
    EXPECT_EQ(value(2), "1234.50");
    EXPECT_EQ(value(3), "0.00");
    EXPECT_EQ(value(6), "12.35");
}

TEST_F(AccountInfoTest, FloatingProfitIsColouredBySignAndAnEmptyListChangesNothing) {
    showScreen();
    const struct {
        double profit;
        std::string text;
        Rgb colour;
    } cases[] = {
        {25.5, "25.50", {196, 26, 22}},
        {-3.25, "-3.25", {5, 117, 0}},
        {0, "0.00", {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        BusRelay::postAccounts({account(0.8f, 0.5f, c.profit)});
        settle(0.1);
        EXPECT_EQ(value(UIAccountInfo::kRowProfit), c.text);
        // The value is drawn in the colour of its sign; the other rows keep
        // the cell's own ink.
        auto shot = snapshot("account-info-profit");
        EXPECT_GT(pixelsNear(shot, row(UIAccountInfo::kRowProfit)->cellValue().get(), c.colour),
                  10);
        EXPECT_EQ(row(1)->cellValue()->textColor(), row(2)->cellValue()->textColor());
        if (c.profit != 0) {
            EXPECT_EQ(pixelsNear(shot, row(1)->cellValue().get(), c.colour), 0);
        }
    }

    // An empty list, from a push or a query, leaves the screen as it was.
    const auto shown = screen->modUserAccount();
    BusRelay::postAccounts({});
    screen->updateAccountWithMods({nullptr});
    settle(0.1);
    EXPECT_EQ(screen->modUserAccount(), shown);
    EXPECT_EQ(value(UIAccountInfo::kRowProfit), "0.00");
    EXPECT_EQ(screen->riskView()->lblRisk()->text(), "80%");
}

TEST_F(AccountInfoTest, AFigureThatShowsAsZeroShowsNoSign) {
    showScreen();
    // Two buys of a lot of 100000 opened a point above and a point below
    // the bid of 1.0995 cancel but for a tiny negative rest, as margins
    // that cancel in the net value do; they show as zero, and the profit
    // in zero's black.
    const double rest = 100000 * (1.0995 - 1.09951) + 100000 * (1.0995 - 1.09949);
    ASSERT_LT(rest, 0);
    auto a = account(-0.004f, 0.5f, rest);
    a->netValue = -0.001;
    a->amMarginFree = -0.0;
    a->amDailyCharge = -0.0049;
    a->amDailyCloseProfit = -0.005;
    BusRelay::postAccounts({a});
    settle(0.1);
    EXPECT_EQ(value(UIAccountInfo::kRowProfit), "0.00");
    EXPECT_EQ(value(5), "0.00");
    EXPECT_EQ(value(6), "-0.01");  // a figure that shows below zero keeps its sign
    EXPECT_GT(pixelsNear(snapshot("account-info-zero"),
                         row(UIAccountInfo::kRowProfit)->cellValue().get(), Rgb{0, 0, 0}),
              10);
    EXPECT_EQ(pixelsNear(snapshot("account-info-zero"),
                         row(UIAccountInfo::kRowProfit)->cellValue().get(), Rgb{5, 117, 0}),
              0);
    EXPECT_EQ(screen->riskView()->lblRisk()->text(), "0%");
    EXPECT_EQ(screen->riskView()->lblNetValue()->text(), "0.00");
    EXPECT_EQ(screen->riskView()->lblFreeMargins()->text(), "0.00");

    // Figures below zero keep their sign and colour.
    BusRelay::postAccounts({account(-0.2f, 0.5f, -0.006)});
    settle(0.1);
    EXPECT_EQ(value(UIAccountInfo::kRowProfit), "-0.01");
    EXPECT_GT(pixelsNear(snapshot("account-info-zero"),
                         row(UIAccountInfo::kRowProfit)->cellValue().get(), Rgb{5, 117, 0}),
              10);
    EXPECT_EQ(screen->riskView()->lblRisk()->text(), "-20%");
}

TEST_F(AccountInfoTest, FiguresThatOverflowFromAbsurdMoneyShowAsNoFigure) {
    logIn();
    showScreen();
    ASSERT_TRUE(waitFor([&] { return !screen->arrValue().empty(); }));
    UIKAVRiskView* risk = screen->riskView();
    ASSERT_EQ(risk->lblNetValue()->text(), "100000.00");

    // Margins each within a double whose sum is not: the free margin comes
    // out infinite, the net value and the ratio no number at all.
    kavtest::SimJson data = kavtest::SimJson::object();
    data["children"] = kavtest::SimJson::array(
        {kavtest::SimJson{{"accId", 1001}, {"amMarginUsed", 1e308}, {"amMarginFreezed", 1e308}}});
    ASSERT_GT(sim->push(kavtest::SimService::Trade, "4008", data), 0);
    ASSERT_TRUE(waitFor([&] { return risk->lblNetValue()->text() != "100000.00"; }));
    EXPECT_EQ(risk->lblRisk()->text(), "--");
    EXPECT_EQ(risk->lblNetValue()->text(), "--");
    EXPECT_EQ(risk->lblFreeMargins()->text(), "--");
    EXPECT_EQ(risk->bar()->frame().size.width, 0);
    // The money the dealer sent is shown as sent.
    EXPECT_EQ(value(2), sysDB::formatPrice(1e308, 2));

    // The largest ratio a float holds is no percentage a float holds.
    auto a = account(std::numeric_limits<float>::max(), 1);
    BusRelay::postAccounts({a});
    settle(0.1);
    EXPECT_EQ(risk->lblRisk()->text(), "--");
    EXPECT_EQ(risk->lblNetValue()->text(), "98765.43");
    a = account(-std::numeric_limits<float>::infinity(), 0);
    a->amMarginFree = std::numeric_limits<double>::infinity();
    BusRelay::postAccounts({a});
    settle(0.1);
    EXPECT_EQ(risk->lblRisk()->text(), "--");
    EXPECT_EQ(risk->lblFreeMargins()->text(), "--");
    // A finite figure after them shows again.
    BusRelay::postAccounts({account(0.6f, 0.5f)});
    settle(0.1);
    EXPECT_EQ(risk->lblRisk()->text(), "60%");
    EXPECT_EQ(risk->lblFreeMargins()->text(), "4321.00");
}

}  // namespace
