// A scripted headless run: an application with a two-screen navigation
// stack is launched, driven by taps and typing, and both screens are rendered
// to PNG (into $KAV_SCREENSHOTS when set, so they can be looked at).
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

const std::vector<std::pair<std::string, std::string>> kQuotes = {
    {"欧元美元", "1.08345"}, {"英镑美元", "1.26712"}, {"美元日元", "151.332"},
    {"现货黄金", "2034.55"}, {"现货白银", "22.871"},  {"澳元美元", "0.65412"},
};

UIImagePtr menuIcon() {
    UIGraphicsBeginImageContextWithOptions({22, 22}, false, 0);
    auto* c = UIGraphicsGetCurrentContext();
    c->setFillColor(UIColor::blackColor());
    for (int i = 0; i < 3; ++i)
        c->fillRect(CGRectMake(3, 5 + i * 5, 16, 2));
    auto img = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return img;
}

class OrderScreen : public UIViewController {
  public:
    explicit OrderScreen(std::string symbol) : symbol_(std::move(symbol)) {}
    std::shared_ptr<UITextField> quantity;
    std::shared_ptr<UILabel> summary;
    bool confirmed = false;

    void viewDidLoad() override {
        setTitle(symbol_);
        UIView* v = view();
        v->setBackgroundColor(UIColor::grey255(30));
        const double w = v->bounds().size.width;
        auto seg =
            std::make_shared<UISegmentedControl>(std::vector<std::string>{"市价建仓", "限价建仓"});
        seg->setFrame(CGRectMake(10, 74, w - 20, 30));
        seg->setTintColor(UIColor::rgb255(39, 140, 192));
        seg->setSelectedSegmentIndex(0);
        seg->setTag(3000);
        v->addSubview(seg);
        auto caption = std::make_shared<UILabel>(CGRectMake(20, 120, w - 40, 30));
        caption->setText("交易数量");
        caption->setTextColor(UIColor::grey255(240));
        caption->setFont(UIFont::systemFontOfSize(18));
        v->addSubview(caption);
        quantity = std::make_shared<UITextField>(CGRectMake(20, 155, w - 40, 36));
        quantity->setBorderStyle(UITextBorderStyle::RoundedRect);
        quantity->keyboardType = UIKeyboardType::DecimalPad;
        quantity->setPlaceholder("数量");
        quantity->setTag(4000);
        v->addSubview(quantity);
        auto lock = std::make_shared<UISwitch>(CGRectMake(w - 71, 205, 0, 0));
        lock->setOn(true);
        v->addSubview(lock);
        auto lockCaption = std::make_shared<UILabel>(CGRectMake(20, 205, 200, 31));
        lockCaption->setText("一键市价下单");
        lockCaption->setTextColor(UIColor::grey255(160));
        v->addSubview(lockCaption);
        auto confirm = std::make_shared<UIButton>(CGRectMake(20, 250, w - 40, 50));
        confirm->setTitle("确认", UIControlStateNormal);
        confirm->setTitleColor(UIColor::grey255(220), UIControlStateNormal);
        confirm->titleLabel()->setFont(UIFont::systemFontOfSize(18));
        confirm->setBackgroundColor(UIColor::rgb255(19, 145, 55));
        confirm->layer().setCornerRadius(5);
        confirm->setTag(1004);
        confirm->addTarget(weakSelf<OrderScreen>(), &OrderScreen::viewPressed,
                           UIControlEventTouchUpInside);
        v->addSubview(confirm);
        summary = std::make_shared<UILabel>(CGRectMake(20, 310, w - 40, 60));
        summary->setTextColor(UIColor::grey255(160));
        summary->setNumberOfLines(0);
        summary->setTextAlignment(NSTextAlignment::Center);
        v->addSubview(summary);
    }

    void viewPressed(UIControl*) {
        view()->endEditing(true);
        confirmed = true;
        summary->setText("卖 " + quantity->text() + " 手 " + symbol_ + "\n下单成功。");
    }

  private:
    std::string symbol_;
};

class BoardScreen : public UIViewController,
                    public UITableViewDataSource,
                    public UITableViewDelegate {
  public:
    std::shared_ptr<UITableView> table;
    std::weak_ptr<OrderScreen> opened;
    int menuTaps = 0;

    void viewDidLoad() override {
        setTitle("行情");
        UIView* v = view();
        v->setBackgroundColor(UIColor::grey255(30));
        table = std::make_shared<UITableView>(v->bounds());
        table->setTag(1000);
        table->setBackgroundColor(UIColor::grey255(40));
        table->setSeparatorColor(UIColor::rgb255(111, 118, 138));
        table->setDataSource(weakSelf<UITableViewDataSource>());
        table->setDelegate(weakSelf<UITableViewDelegate>());
        v->addSubview(table);
        navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithImage(
            menuIcon(), UIBarButtonItemStyle::Plain, [this](UIBarButtonItem*) { ++menuTaps; }));
    }

    long tableViewNumberOfRowsInSection(UITableView*, long) override {
        return static_cast<long>(kQuotes.size());
    }

    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView* t, NSIndexPath ip) override {
        auto cell = t->dequeueReusableCellWithIdentifier("QUOTA_ITEM_CELL");
        if (!cell) {
            cell =
                std::make_shared<UITableViewCell>(UITableViewCellStyle::Value1, "QUOTA_ITEM_CELL");
            cell->setBackgroundColor(UIColor::grey255(40));
            cell->selectionStyle = UITableViewCellSelectionStyle::None;
            cell->setAccessoryType(UITableViewCellAccessoryType::DisclosureIndicator);
            cell->textLabel()->setTextColor(UIColor::whiteColor());
            cell->detailTextLabel()->setTextColor(UIColor::rgb255(187, 46, 36));
        }
        cell->textLabel()->setText(kQuotes[static_cast<size_t>(ip.row)].first);
        cell->detailTextLabel()->setText(kQuotes[static_cast<size_t>(ip.row)].second);
        return cell;
    }

    double tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath) override { return 65; }

    void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath ip) override {
        auto order = std::make_shared<OrderScreen>(kQuotes[static_cast<size_t>(ip.row)].first);
        opened = order;
        navigationController()->pushViewController(order, true);
    }
};

class Delegate : public UIApplicationDelegate {
  public:
    std::shared_ptr<BoardScreen> board;
    bool applicationDidFinishLaunchingWithOptions(
        UIApplication&, const std::map<std::string, std::string>&) override {
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window->setBackgroundColor(UIColor::whiteColor());
        board = std::make_shared<BoardScreen>();
        auto nav = std::make_shared<UINavigationController>(board);
        nav->navigationBar()->setBarStyle(UIBarStyle::Black);
        nav->navigationBar()->setTintColor(UIColor::whiteColor());
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        return true;
    }
};

std::filesystem::path shotsDir(const kavtest::TempDir& fallback) {
    const char* dir = std::getenv("KAV_SCREENSHOTS");
    if (dir && *dir) {
        std::filesystem::create_directories(dir);
        return dir;
    }
    return fallback.path();
}

TEST(ScriptedRun, TwoScreenNavigationStackTappedThroughAndRendered) {
    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    auto& app = UIApplication::sharedApplication();
    app.resetForTesting();
    auto delegate = std::make_shared<Delegate>();
    app.launch(delegate);
    UIScreenRenderer::layoutWindows();
    auto dir = shotsDir(temp);

    // First screen: the board.
    ASSERT_NE(UIDriver::viewWithText("行情"), nullptr);
    ASSERT_NE(UIDriver::viewWithText("现货黄金"), nullptr);
    ASSERT_TRUE(UIDriver::renderPNG(dir / "scripted-1-board.png", 1));
    auto board = UIImage::imageWithContentsOfFile(dir / "scripted-1-board.png");
    ASSERT_TRUE(board);
    EXPECT_EQ(board->pixelWidth(), 320);
    EXPECT_EQ(board->pixelHeight(), 568);
    // The black bar at the top, the grey list below it.
    EXPECT_LT(board->pixelAt(160, 30).red, 0.1);
    EXPECT_NEAR(board->pixelAt(5, 100).red, 40 / 255.0, 0.02);

    UIDriver::tap(UIDriver::viewsOfClass("TemplateImageView").front());
    EXPECT_EQ(delegate->board->menuTaps, 1);

    // Tap the gold row: the order screen slides in.
    UIDriver::tap(UIDriver::viewWithText("现货黄金"));
    auto order = delegate->board->opened.lock();
    ASSERT_TRUE(order);
    UIDriver::advance(0.5);
    EXPECT_TRUE(order->isVisible());
    EXPECT_FALSE(delegate->board->isVisible());
    ASSERT_NE(UIDriver::viewWithText("现货黄金"), nullptr);  // now the title
    EXPECT_EQ(UIDriver::viewWithText("欧元美元"), nullptr);  // the board is gone

    UIDriver::tap(UIDriver::viewWithTag(4000));
    UIDriver::advance(0.3);
    EXPECT_TRUE(UIKeyboard::shared().isVisible());
    UIDriver::tap(UIDriver::viewWithText("2"));
    UIDriver::typeText(".5");
    EXPECT_EQ(order->quantity->text(), "2.5");
    ASSERT_TRUE(UIDriver::renderPNG(dir / "scripted-2-order-keyboard.png", 1));
    UIDriver::tap(UIDriver::viewWithTag(1004));
    UIDriver::advance(0.3);
    EXPECT_TRUE(order->confirmed);
    EXPECT_FALSE(UIKeyboard::shared().isVisible());
    EXPECT_EQ(order->summary->text(), "卖 2.5 手 现货黄金\n下单成功。");
    ASSERT_TRUE(UIDriver::renderPNG(dir / "scripted-3-order.png", 1));
    auto shot = UIImage::imageWithContentsOfFile(dir / "scripted-3-order.png");
    ASSERT_TRUE(shot);
    EXPECT_NEAR(shot->pixelAt(40, 290).green, 145 / 255.0, 0.02);  // the green confirm button

    // Back through the bar's back button.
    UIDriver::tap(UIDriver::viewWithText("‹ 行情"));
    UIDriver::advance(0.5);
    EXPECT_TRUE(delegate->board->isVisible());
    EXPECT_FALSE(order->isVisible());
    std::string dump = UIDriver::dumpViewTree();
    EXPECT_NE(dump.find("UITableView tag=1000"), std::string::npos);

    delegate->window->setRootViewController(nullptr);
    delegate->window.reset();
    app.resetForTesting();
    UIDriver::advance(1);
}

}  // namespace
