// The dealer list panel against the simulated dealer's definition service:
// adding by key and by QR code with every failure the user can meet, the
// selection, and deleting (by the dealer swiped, whatever the rows do
// meanwhile).
#include "app/AppConfig.h"
#include "app/AppDelegate.h"
#include "app/DealerListViewController.h"
#include "app/DealerLookup.h"
#include "app/DealerManager.h"
#include "platform/Files.h"
#include "platform/camera/StreamCapture.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableView.h"
#include "tests/app/AppStage.h"
#include "tests/support/DealerSim.h"
#include "tests/support/QRImage.h"

using namespace apptest;

namespace {

// The login screen's part: the panel below the header, and what it is told.
class ListHost : public UIViewController, public DealerManagerDelegate {
  public:
    explicit ListHost(std::weak_ptr<DealerStore> store) : store(std::move(store)) {}
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::grey255(30));
        const CGRect b = view()->bounds();
        list = std::make_shared<DealerListViewController>(
            CGRectMake(0, 131, b.size.width, b.size.height - 131), store);
        list->setDealerManagerDelegate(weakSelf<DealerManagerDelegate>());
        addChildViewController(list);
        view()->addSubview(list->viewPtr());
        list->didMoveToParentViewController(this);
    }
    void onSearchVisible(bool visible) override { searchVisible.push_back(visible); }
    void onSelectedDealer(const std::shared_ptr<EtyDealer>& dealer) override {
        selected.push_back(dealer->dealerKey);
    }
    void onHideDealerList() override { ++hides; }

    std::weak_ptr<DealerStore> store;
    std::shared_ptr<DealerListViewController> list;
    std::vector<bool> searchVisible;
    std::vector<std::string> selected;
    int hides = 0;
};

class DealerListTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        platform::files::setDocumentsRoot(temp / "Documents");
        app = std::make_shared<AppDelegate>();
        UIApplication::sharedApplication().setDelegate(app);
        manager = std::make_shared<DealerManager>(app->dealerStore());
        host = std::make_shared<ListHost>(app->dealerStore());
        show(host);
    }
    void TearDown() override {
        AppTest::TearDown();
        host.reset();
        UIApplication::sharedApplication().setDelegate(nullptr);
        platform::files::setDocumentsRoot({});
    }

    UITableView* table() { return host->list->view()->viewWithTag<UITableView>(1000).get(); }
    std::vector<std::string> rowTexts() {
        UIScreenRenderer::layoutWindows();
        std::vector<std::string> texts;
        auto* t = table();
        for (long row = 0; row < t->numberOfRowsInSection(0); ++row) {
            auto* cell = t->cellForRowAtIndexPath({0, row});
            texts.push_back(cell ? cell->textLabel()->text() : "<off screen>");
        }
        return texts;
    }
    bool rowChecked(long row) {
        UIScreenRenderer::layoutWindows();
        auto* cell = table()->cellForRowAtIndexPath({0, row});
        return cell && cell->imageView()->image() != nullptr;
    }
    std::vector<std::string> storedKeys() {
        std::vector<std::string> keys;
        for (const auto& d :
             manager->getLocalDealerArray().value_or(std::vector<std::shared_ptr<EtyDealer>>{}))
            keys.push_back(d->dealerKey);
        return keys;
    }
    void tapTag(long tag) {
        UIDriver::tap(host->list->view()->viewWithTag<UIView>(tag).get());
        time.advance(0.1);
    }
    // The add button, the key typed, the search key.
    // (A search leaves the bar shown: then the user taps into its field.)
    void search(const std::string& key) {
        if (table()->tableHeaderView())
            UIDriver::tap(host->list->searchBar()->searchField());
        else
            tapTag(DealerListViewController::kTagAdd);
        host->list->searchBar()->setText("");
        UIDriver::typeText(key + "\n");
        time.advance(0.1);
    }
    void settle() {
        ASSERT_TRUE(time.runUntil([] { return !KAVProgressHUD::isVisible(); }));
        time.advance(0.5);
    }
    void add(const std::string& key) {
        search(key);
        settle();
    }
    void swipeDelete(long row) {
        const CGRect r = table()->rectForRowAtIndexPath({0, row});
        const CGPoint start =
            table()->convertPointToView({r.size.width - 30, CGRectGetMidY(r)}, nullptr);
        UIDriver::drag(start, {start.x - 150, start.y});
        time.advance(0.4);
        UIView* button = UIDriver::viewWithText("删除");
        ASSERT_NE(button, nullptr);
        UIDriver::tap(button);
        time.advance(0.5);
    }
    size_t lookupsSent() { return sim.httpRequests("dealer").size(); }

    kavtest::DealerSim sim;
    kavtest::ScopedEnv service{appconfig::kDealerServiceVariable, sim.dealerUrl().c_str()};
    std::shared_ptr<AppDelegate> app;
    std::shared_ptr<DealerManager> manager;
    std::shared_ptr<ListHost> host;
};

TEST_F(DealerListTest, AKeyTypedIntoTheSearchBarAddsTheDealerUnselected) {
    EXPECT_EQ(table()->numberOfRowsInSection(0), 0);
    snapshot("dealer-list-empty");
    tapTag(DealerListViewController::kTagAdd);
    EXPECT_EQ(table()->tableHeaderView(), host->list->searchBar());
    EXPECT_TRUE(host->list->searchBar()->isFirstResponderInside());
    tapTag(DealerListViewController::kTagAdd);  // shown already: nothing more
    EXPECT_EQ(host->searchVisible, std::vector<bool>{true});

    sim.holdWeb("dealer");
    UIDriver::typeText("GOLDEX\n");
    time.advance(0.2);
    EXPECT_TRUE(visibleText(DealerListViewController::kMsgQuerying));
    EXPECT_EQ(host->searchVisible, (std::vector<bool>{true, false}));
    snapshot("dealer-list-querying");
    auto sent = sim.waitForHttpRequests("dealer", 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["query"]["key"], "GOLDEX");
    sim.releaseHeld();
    settle();
    EXPECT_EQ(alertCount(), 0u);
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"金汇通贵金属"});
    EXPECT_FALSE(rowChecked(0));
    // The search bar stays as the header with its text until cancelled.
    EXPECT_EQ(host->list->searchBar()->text(), "GOLDEX");
    UIDriver::tap(host->list->searchBar()->cancelButton());
    EXPECT_EQ(table()->tableHeaderView(), nullptr);
    EXPECT_EQ(host->searchVisible.back(), false);

    add("KAVFX");
    add("kavdemo");
    EXPECT_EQ(rowTexts(), (std::vector<std::string>{"金汇通贵金属", "KAV 外汇", "KAV 模拟交易"}));
    snapshot("dealer-list");
}

TEST_F(DealerListTest, EveryFailedLookupSaysWhyAndAddsNothing) {
    add("GOLDEX");
    closeAlerts();
    const size_t before = lookupsSent();
    struct Local {
        const char* key;
        const char* message;
    } locals[] = {
        {"", DealerListViewController::kMsgEnterKey},
        // Characters that cannot stand in an address: refused here, unsent.
        {"GOLD EX", "查询失败。"},
        {"金汇", "查询失败。"},
        {"KAVFX&key=GOLDEX", "查询失败。"},
        {"../dealer", "查询失败。"},
    };
    for (const auto& c : locals) {
        search(c.key);
        EXPECT_EQ(topAlertMessage(), c.message) << c.key;
        EXPECT_FALSE(KAVProgressHUD::isVisible());
        closeAlerts();
    }
    EXPECT_EQ(lookupsSent(), before);

    struct Remote {
        std::function<void()> arrange;
        const char* key;
        std::string message;
    } remotes[] = {
        {[] {}, "NOPE", "交易商不存在"},
        {[] {}, "GOLDEX", "搜索的交易商已经存在\n【 金汇通贵金属 】"},
        {[&] { sim.webAnswer("dealer", 200, "<html>maintenance</html>"); }, "KAVFX",
         "查询返回内容解析失败。"},
        {[&] {
             sim.webAnswer("dealer", 200, R"({"retCode":"0","data":"KAVFX"})", "application/json");
         },
         "KAVFX", "查询返回内容解析失败。"},
        {[&] { sim.webAnswer("dealer", 503, "down"); }, "KAVFX", "查询失败。"},
    };
    for (const auto& c : remotes) {
        c.arrange();
        add(c.key);
        EXPECT_EQ(topAlertMessage(), c.message) << c.key;
        if (c.message.find("已经存在") != std::string::npos) snapshot("dealer-list-duplicate");
        closeAlerts();
    }
    EXPECT_EQ(lookupsSent(), before + 5);
    EXPECT_EQ(storedKeys(), std::vector<std::string>{"GOLDEX"});
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"金汇通贵金属"});
}

TEST_F(DealerListTest, ATapSelectsAnotherDealerOrCoversTheListForTheSelectedOne) {
    add("KAVFX");
    add("GOLDEX");
    manager->setCurrentSelectedDealerWithDealerKey("KAVFX");
    table()->reloadData();
    EXPECT_TRUE(rowChecked(0));
    EXPECT_FALSE(rowChecked(1));

    UIDriver::tap(table()->cellForRowAtIndexPath({0, 1}));
    time.advance(0.1);
    EXPECT_EQ(host->selected, std::vector<std::string>{"GOLDEX"});
    EXPECT_EQ(manager->getCurrentSelectedDealer()->dealerKey, "GOLDEX");
    EXPECT_FALSE(rowChecked(0));
    EXPECT_TRUE(rowChecked(1));
    snapshot("dealer-list-selected");

    UIDriver::tap(table()->cellForRowAtIndexPath({0, 1}));
    time.advance(0.1);
    EXPECT_EQ(host->hides, 1);
    EXPECT_EQ(host->selected.size(), 1u);
    EXPECT_EQ(manager->getCurrentSelectedDealer()->dealerKey, "GOLDEX");
}

TEST_F(DealerListTest, ADeleteRemovesTheDealerThatWasSwipedWhateverTheRowsDoMeanwhile) {
    add("KAVFX");
    add("GOLDEX");
    add("kavdemo");
    manager->setCurrentSelectedDealerWithDealerKey("GOLDEX");
    table()->reloadData();

    // Cancelled: everything stays.
    swipeDelete(1);
    EXPECT_EQ(topAlertMessage(), DealerListViewController::kMsgConfirmDelete);
    snapshot("dealer-list-delete");
    ASSERT_TRUE(tapAlertButton("取消"));
    EXPECT_EQ(storedKeys(), (std::vector<std::string>{"KAVFX", "GOLDEX", "kavdemo"}));

    // Row 1 is GOLDEX when swiped; while the question is up the first dealer
    // goes, and row 1 becomes kavdemo. GOLDEX is what goes.
    swipeDelete(1);
    auto first = manager->getEtyDealerWithDealerKey("KAVFX");
    app->managedObjectContext()->deleteObject(first);
    app->saveContext();
    ASSERT_TRUE(tapAlertButton("确定"));
    EXPECT_EQ(storedKeys(), std::vector<std::string>{"kavdemo"});
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"KAV 模拟交易"});
    // The selected one was deleted: nothing is checked until a new choice.
    EXPECT_FALSE(rowChecked(0));
    EXPECT_TRUE(host->selected.empty());
}

// The camera plays one picture holding the code.
class DealerListScanTest : public DealerListTest {
  protected:
    void cameraShows(const std::string& text) {
        kavtest::writeQRPNG(temp / "code.png", text);
        camera.reset();  // the previous value goes back first
        camera = std::make_unique<kavtest::ScopedEnv>("KAV_CAMERA", (temp / "code.png").c_str());
    }
    // The code comes through the live camera's way: GStreamer plays the
    // picture in the device's place, ten times a second.
    void cameraStreams(const std::string& text) {
        kavtest::writeQRPNG(temp / "frame0.png", text);
        camera.reset();
        camera = std::make_unique<kavtest::ScopedEnv>("KAV_CAMERA", nullptr);
        const std::string source = "multifilesrc location=" + (temp / "frame%d.png").string() +
                                   " loop=true caps=image/png,framerate=10/1 ! pngdec";
        stream = std::make_unique<kavtest::ScopedEnv>("KAV_CAMERA_PIPELINE", source.c_str());
    }
    void TearDown() override {
        DealerListTest::TearDown();
        platform::camera::StreamCapture::waitUntilIdle();  // the live camera is released
    }
    void scan() {
        tapTag(DealerListViewController::kTagQR);
        time.advance(0.5);  // presented
        ASSERT_NE(host->presentedViewController(), nullptr);
        // A picture every 0.1 s on the virtual clock, each read off the main
        // thread: the first that holds the code closes the scanner.
        bool read = false;
        for (int frame = 0; frame < 20 && !read; ++frame) {
            read = time.runUntil(
                [&] {
                    return host->presentedViewController() == nullptr ||
                           host->presentedViewController()->isBeingDismissed();
                },
                0.5);
            if (!read) time.advance(0.1);
        }
        ASSERT_TRUE(read);
        time.advance(0.5);  // dismissed
        EXPECT_EQ(host->presentedViewController(), nullptr);
    }
    std::unique_ptr<kavtest::ScopedEnv> camera;
    std::unique_ptr<kavtest::ScopedEnv> stream;
};

TEST_F(DealerListScanTest, AScannedLookupAddressAddsItsDealer) {
    cameraShows(sim.dealerUrl() + "/getdealer.php?key=kavdemo");
    scan();
    settle();
    EXPECT_EQ(alertCount(), 0u);
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"KAV 模拟交易"});
    ASSERT_EQ(lookupsSent(), 1u);

    // The same code again: already stored.
    scan();
    settle();
    EXPECT_EQ(topAlertMessage(), "搜索的交易商已经存在\n【 KAV 模拟交易 】");
    EXPECT_EQ(lookupsSent(), 2u);
}

TEST_F(DealerListScanTest, ACodeSeenByTheLiveCameraAddsItsDealerWithOneLookup) {
    cameraStreams(sim.dealerUrl() + "/getdealer.php?key=kavdemo");
    scan();
    settle();
    EXPECT_EQ(alertCount(), 0u);
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"KAV 模拟交易"});
    EXPECT_EQ(lookupsSent(), 1u);
}

TEST_F(DealerListScanTest, ACodeThatIsNoAddressFailsWithoutARequest) {
    for (const std::string& text :
         {std::string("KAVFX"), std::string("ftp://127.0.0.1/getdealer.php?key=KAVFX"),
          std::string("http://"), sim.dealerUrl() + "/getdealer.php?key=KAV FX",
          sim.dealerUrl() + "/getdealer.php?key=KAVFX\r\nX-Evil: 1"}) {
        cameraShows(text);
        scan();
        time.advance(0.5);
        EXPECT_EQ(topAlertMessage(), "查询失败。") << text;
        closeAlerts();
    }
    EXPECT_EQ(lookupsSent(), 0u);
    EXPECT_TRUE(storedKeys().empty());
}

}  // namespace

namespace {

TEST(DealerLookupTest, OnlyAddressSafeKeysAndWholeWebAddressesPass) {
    for (const char* key : {"KAVFX", "kav.demo_1~x-y"})
        EXPECT_TRUE(dealerlookup::isDealerKey(key)) << key;
    for (const char* key : {"", "a b", "a/b", "a%41", "a?b", "键"})
        EXPECT_FALSE(dealerlookup::isDealerKey(key)) << key;
    EXPECT_EQ(dealerlookup::lookupURL("http://h:8080/dealer", "kav.demo"),
              "http://h:8080/dealer/getdealer.php?key=kav.demo");

    for (const char* url : {"http://h/getdealer.php?key=A", "HTTPS://h:8080/x", "http://h"})
        EXPECT_TRUE(dealerlookup::isLookupAddress(url)) << url;
    for (const char* url :
         {"", "http://", "https:///path", "http:/h/x", "javascript:alert(1)", "file:///etc/passwd",
          "http://h/a b", "http://h/a\tb", "http://h/\x7f", "ws://h/x"})
        EXPECT_FALSE(dealerlookup::isLookupAddress(url)) << url;
}

}  // namespace
