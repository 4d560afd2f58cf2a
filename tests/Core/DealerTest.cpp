// The dealer directory file and the dealer lookup, against the simulated
// dealer's web service and, for replies it never sends, a local HTTP peer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "Core/Biz/BizDealer.h"
#include "Core/SDK/KAVBizSDK.h"
#include "Core/httpQuery.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;
namespace fs = std::filesystem;

namespace {

// What one lookup reported.
struct Lookup : Reported {
    std::optional<MODList<MODDealer>> dealers;

    BizDealer::DealersBlock success() {
        return [this](const MODList<MODDealer>& d) {
            dealers = d;
            ++calls;
        };
    }
};

std::string pngBytes(int w, int h) {
    platform::image::Bitmap bitmap;
    bitmap.width = w;
    bitmap.height = h;
    bitmap.pixels.assign(static_cast<size_t>(w) * h, 0xFF3366CCu);
    return platform::image::encodePNG(bitmap);
}

// The width of the picture in a saved file (0 when it is none).
int pictureWidth(const fs::path& file) {
    auto bytes = platform::files::readFile(file);
    auto bitmap = bytes ? platform::image::decode(*bytes) : std::nullopt;
    return bitmap ? bitmap->width : 0;
}

class DealerDirectory : public ::testing::Test {
  protected:
    void SetUp() override { platform::files::setDocumentsRoot(documents_.path()); }
    void TearDown() override { platform::files::setDocumentsRoot({}); }

    fs::path documents() const { return documents_.path(); }
    std::optional<std::string> file(const std::string& name) const {
        return platform::files::readFile(documents() / name);
    }
    void writeDirectory(const std::string& text) {
        ASSERT_TRUE(
            platform::files::writeFileAtomic(documents() / BizDealer::kDirectoryFile, text));
    }
    std::vector<std::string> keysOnDisk() const {
        std::vector<std::string> keys;
        const auto biz = std::make_shared<BizDealer>();
        for (const auto& dealer : biz->getDealers())
            keys.push_back(dealer->dealerKey);
        return keys;
    }
    void lookUp(const std::shared_ptr<BizDealer>& biz, const std::string& key, Lookup& lookup) {
        biz->getDealerWithKey(key, lookup.success(), lookup.failure());
        ASSERT_TRUE(time_.runUntil([&] { return lookup.calls > 0; })) << key;
    }

    TempDir documents_;
    VirtualTime time_;  // real time never runs out a request here
};

TEST_F(DealerDirectory, TheFileKeepsEveryDealerByKey) {
    auto empty = std::make_shared<BizDealer>();
    EXPECT_TRUE(empty->getDealers().empty());
    EXPECT_FALSE(empty->getDealerWithKey("KAVFX"));

    // Values are texts whatever their JSON type; an entry without a key or
    // that is no object is no dealer; a later entry replaces an earlier one.
    writeDirectory(R"({"children":[{"dealerKey":"A","dealerName":"old"},{"dealerName":"keyless"},7,
        {"dealerKey":123,"dealerName":"数字","hostDemo":"ws://demo","hostReal":"ws://real","webService":null},
        {"dealerKey":"A","dealerName":"new","dealerLogo":"a.png","hostDemo":""}]})");
    auto biz = std::make_shared<BizDealer>();
    ASSERT_EQ(biz->getDealers().size(), 2u);
    const auto a = biz->getDealerWithKey("A");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->dealerName, "new");
    EXPECT_FALSE(a->hasDemo);
    const auto number = biz->getDealerWithKey("123");
    ASSERT_TRUE(number);
    EXPECT_TRUE(number->hasDemo);
    EXPECT_EQ(number->webService, "");

    // Removing a key that is not there still rewrites the file, every
    // dealer with all seven keys.
    ASSERT_TRUE(biz->removeDealer("missing"));
    EXPECT_EQ(
        file(BizDealer::kDirectoryFile),
        R"({"children":[{"dealerKey":"123","dealerName":"数字","dealerLogo":"","dealerIcon":"",)"
        R"("webService":"","hostDemo":"ws://demo","hostReal":"ws://real"},)"
        R"({"dealerKey":"A","dealerName":"new","dealerLogo":"a.png","dealerIcon":"","webService":"",)"
        R"("hostDemo":"","hostReal":""}]})");
    ASSERT_TRUE(biz->removeDealer("A"));
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{"123"});

    writeDirectory(R"({"chil)");
    EXPECT_TRUE(keysOnDisk().empty()) << "a damaged file holds no dealer";
}

TEST_F(DealerDirectory, ALookupAddsTheDealerWithItsLogoAndIcon) {
    DealerSim sim;
    auto biz = std::make_shared<BizDealer>(sim.dealerUrl());
    Lookup kavfx;
    biz->getDealerWithKey("KAVFX", kavfx.success(), kavfx.failure());
    EXPECT_EQ(kavfx.calls, 0) << "never inside the call";
    ASSERT_TRUE(time_.runUntil([&] { return kavfx.calls > 0; }));
    ASSERT_TRUE(kavfx.dealers) << kavfx.code << " " << kavfx.message;
    ASSERT_EQ(kavfx.dealers->size(), 1u);
    const MODDealer& dealer = *kavfx.dealers->front();
    EXPECT_EQ(dealer.dealerKey, "KAVFX");
    EXPECT_EQ(dealer.dealerName, "KAV 外汇");
    EXPECT_EQ(dealer.hostDemo, sim.demoLoginUrl());
    EXPECT_EQ(dealer.hostReal, sim.realLoginUrl());
    EXPECT_TRUE(dealer.hasDemo);
    EXPECT_FALSE(dealer.isSelected);

    EXPECT_EQ(pictureWidth(documents() / "KAVFX_logo.png"), 240);
    EXPECT_EQ(pictureWidth(documents() / "KAVFX_icon.png"), 64);
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{"KAVFX"});

    // A dealer already filed is refused at once, without asking the server.
    Lookup again;
    biz->getDealerWithKey("KAVFX", again.success(), again.failure());
    EXPECT_EQ(again.calls, 1);
    EXPECT_EQ(again.code, "1");
    EXPECT_EQ(again.message, "要添加的交易商已经存在");
    EXPECT_EQ(sim.httpRequests("dealer").size(), 1u);

    // The server's refusal comes through as it is and files nothing; the
    // key reaches it whole, whatever characters it holds.
    const std::string odd = "a&b=c#d+e%2F 交易";
    Lookup unknown;
    lookUp(biz, odd, unknown);
    EXPECT_EQ(unknown.code, "1");
    EXPECT_EQ(unknown.message, "交易商不存在");
    const auto requests = sim.httpRequests("dealer");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests.back()["query"]["key"], odd);
    EXPECT_EQ(requests.back()["query"].size(), 1u);
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{"KAVFX"});
}

TEST_F(DealerDirectory, TheServiceObjectAsksTheGivenServerAndReports) {
    DealerSim sim;
    auto sdk = std::make_shared<KAVBizSDK>();
    Lookup found;
    sdk->queryDealerWithKey("kavdemo", sim.dealerUrl(), found.success(), found.failure());
    ASSERT_TRUE(time_.runUntil([&] { return found.calls > 0; }));
    ASSERT_TRUE(found.dealers) << found.code << " " << found.message;
    ASSERT_EQ(sdk->getDealerList().size(), 1u);
    EXPECT_EQ(sdk->getDealerList().front()->dealerName, "KAV 模拟交易");

    auto own = std::make_shared<MODDealer>();
    own->dealerKey = "MINE";
    own->hostDemo = "ws://127.0.0.1:1/demo";
    EXPECT_TRUE(sdk->addDealerWith(own));
    EXPECT_FALSE(sdk->addDealerWith(std::make_shared<MODDealer>())) << "no key, nothing to file";
    const auto list = sdk->getDealerList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.front()->dealerKey, "MINE");
    EXPECT_TRUE(list.front()->hasDemo);
    EXPECT_TRUE(sdk->removeDealerWith(found.dealers->front()));
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{"MINE"});
}

TEST_F(DealerDirectory, LookupsAndChangesMadeMeanwhileAreAllKept) {
    DealerSim sim;
    auto sdk = std::make_shared<KAVBizSDK>();
    auto gone = std::make_shared<MODDealer>();
    gone->dealerKey = "GONE";
    ASSERT_TRUE(sdk->addDealerWith(gone));

    // Two lookups under way at once, and the directory changed by hand while
    // they run: each lookup files its own dealer into the directory as it
    // then stands, not into the one it found when it began.
    Lookup first, second;
    sdk->queryDealerWithKey("KAVFX", sim.dealerUrl(), first.success(), first.failure());
    sdk->queryDealerWithKey("kavdemo", sim.dealerUrl(), second.success(), second.failure());
    auto own = std::make_shared<MODDealer>();
    own->dealerKey = "MINE";
    ASSERT_TRUE(sdk->addDealerWith(own));
    ASSERT_TRUE(sdk->removeDealerWith(gone));
    ASSERT_TRUE(time_.runUntil([&] { return first.calls > 0 && second.calls > 0; }));
    ASSERT_TRUE(first.dealers) << first.code << " " << first.message;
    ASSERT_TRUE(second.dealers) << second.code << " " << second.message;
    EXPECT_EQ(keysOnDisk(), (std::vector<std::string>{"KAVFX", "MINE", "kavdemo"}));
}

TEST_F(DealerDirectory, BrokenAnswersOfTheDealerServiceFailTheLookup) {
    DealerSim sim;
    auto biz = std::make_shared<BizDealer>(sim.dealerUrl());
    // An empty 200 and a page that is no JSON.
    for (const char* action : {"empty", "garbage"}) {
        sim.webFault("dealer", action);
        Lookup lookup;
        lookUp(biz, "KAVFX", lookup);
        EXPECT_FALSE(lookup.dealers) << action;
        EXPECT_EQ(lookup.code, "1") << action;
        EXPECT_EQ(lookup.message, "查询返回内容解析失败。") << action;
    }
    // A logo that fails: nothing is filed.
    sim.webFault("logo", "status", 1, 0, 503);
    Lookup logo;
    lookUp(biz, "KAVFX", logo);
    EXPECT_EQ(logo.code, "503");
    EXPECT_EQ(logo.message, "数据请求失败！");
    EXPECT_TRUE(keysOnDisk().empty());

    // An answer slower than 10 s is not waited for.
    sim.webFault("dealer", "slow", 1, 12000);
    Lookup slow;
    biz->getDealerWithKey("KAVFX", slow.success(), slow.failure());
    ASSERT_EQ(sim.waitForHttpRequests("dealer", 4).size(), 4u);
    time_.advance(9.9);
    EXPECT_EQ(slow.calls, 0);
    time_.advance(0.2);
    ASSERT_TRUE(time_.runUntil([&] { return slow.calls > 0; }));
    EXPECT_EQ(slow.code, "0");
    EXPECT_EQ(slow.message, "数据请求失败！");

    // And the next lookup goes through.
    Lookup found;
    lookUp(biz, "KAVFX", found);
    ASSERT_TRUE(found.dealers) << found.code << " " << found.message;
}

class DealerReplies : public DealerDirectory {
  protected:
    // The server's record for `key` with the given image names.
    void serve(const std::string& key, const std::string& dealerKey, const std::string& logo,
               const std::string& icon) {
        server_.route("/dealer/getdealer.php?key=" + key, 200,
                      platform::Json{{"retCode", 0},
                                     {"message", ""},
                                     {"data",
                                      {{"dealerKey", dealerKey},
                                       {"dealerName", "N"},
                                       {"dealerIcon", icon},
                                       {"dealerLogo", logo},
                                       {"hostDemo", ""},
                                       {"hostReal", "ws://r"},
                                       {"webService", ""}}}}
                          .dump());
    }
    std::vector<std::string> documentNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(documents()))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t requestsFor(const std::string& fragment) const {
        size_t n = 0;
        for (const auto& line : server_.requests())
            n += line.find(fragment) != std::string::npos;
        return n;
    }

    void SetUp() override {
        DealerDirectory::SetUp();
        biz_ = std::make_shared<BizDealer>(server_.url("/dealer"));
    }

    HttpTestServer server_;
    std::shared_ptr<BizDealer> biz_;
};

TEST_F(DealerReplies, ANameThatIsNoSafeFileNameHasNoFile) {
    const std::string png = pngBytes(4, 4);
    serve("EVIL", "EVIL", "../../escape.png", "icon.png");
    server_.route("/dealer/EVIL/icon.png", 200, png);
    Lookup evil;
    lookUp(biz_, "EVIL", evil);
    ASSERT_TRUE(evil.dealers) << evil.code << " " << evil.message;
    EXPECT_EQ(requestsFor("escape"), 0u);
    EXPECT_EQ(file("EVIL_icon.png"), png);

    // A key that is no file name: the dealer is filed, no image is fetched.
    serve(httpQuery::encodeQueryValue("../up"), "UP", "logo.png", "icon.png");
    Lookup up;
    lookUp(biz_, "../up", up);
    ASSERT_TRUE(up.dealers) << up.code << " " << up.message;
    EXPECT_EQ(requestsFor("/logo.png"), 0u);
    EXPECT_EQ(documentNames(), (std::vector<std::string>{"EVIL_icon.png", "dealersInfo.json"}));
    EXPECT_EQ(keysOnDisk(), (std::vector<std::string>{"EVIL", "UP"}));
    EXPECT_FALSE(fs::exists(documents().parent_path() / "escape.png"));
}

TEST_F(DealerReplies, TheImagesLieUnderTheKeyThatWasLookedUp) {
    // The server spells the key its own way; the images stay where the
    // caller's key says, the record is filed under the server's key.
    const std::string logo = pngBytes(8, 2), icon = pngBytes(2, 2);
    serve("gold", "GOLD", "logo.png", "icon.png");
    server_.route("/dealer/gold/logo.png", 200, logo);
    server_.route("/dealer/gold/icon.png", 200, icon);
    Lookup gold;
    lookUp(biz_, "gold", gold);
    ASSERT_TRUE(gold.dealers) << gold.code << " " << gold.message;
    EXPECT_EQ(gold.dealers->front()->dealerKey, "GOLD");
    EXPECT_EQ(file("gold_logo.png"), logo);
    EXPECT_EQ(file("gold_icon.png"), icon);
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{"GOLD"});
}

TEST_F(DealerReplies, KeysAndNamesAreEncodedInTheImageAddressesAndFiles) {
    // A space, "&" and "#" in the key, a space in an image name: the
    // addresses carry them as %XX, and the files are spelled the same way.
    const std::string key = "KAV FX&1#2";
    const std::string logo = pngBytes(8, 2), icon = pngBytes(2, 2);
    serve(httpQuery::encodeQueryValue(key), key, "logo 1.png", "icon.png");
    server_.route("/dealer/KAV%20FX%261%232/logo%201.png", 200, logo);
    server_.route("/dealer/KAV%20FX%261%232/icon.png", 200, icon);
    Lookup lookup;
    lookUp(biz_, key, lookup);
    ASSERT_TRUE(lookup.dealers) << lookup.code << " " << lookup.message;
    EXPECT_EQ(requestsFor("/dealer/KAV%20FX%261%232/logo%201.png"), 1u);
    EXPECT_EQ(requestsFor("/dealer/KAV%20FX%261%232/icon.png"), 1u);
    EXPECT_EQ(file("KAV%20FX%261%232_logo%201.png"), logo);
    EXPECT_EQ(file("KAV%20FX%261%232_icon.png"), icon);
    EXPECT_EQ(BizDealer::imageFileName(key, "icon.png"), "KAV%20FX%261%232_icon.png");
    EXPECT_EQ(BizDealer::imageFileName("KAVFX", "icon.png"), "KAVFX_icon.png");
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{key});
}

TEST_F(DealerReplies, OnlyAPictureIsKeptAndAFailedDownloadFilesNothing) {
    // An error page served with 200 is not taken for the logo.
    serve("PAGE", "PAGE", "logo.png", "icon.png");
    server_.route("/dealer/PAGE/logo.png", 200, "<html>Service Unavailable</html>");
    Lookup page;
    lookUp(biz_, "PAGE", page);
    EXPECT_FALSE(page.dealers);
    EXPECT_EQ(page.code, "200");
    EXPECT_EQ(page.message, "数据请求失败！");
    EXPECT_EQ(requestsFor("/icon.png"), 0u) << "the road ends at the first failure";
    EXPECT_FALSE(biz_->getDealerWithKey("PAGE")) << "a failed lookup files nothing";

    // The logo comes, the icon is missing.
    server_.route("/dealer/PAGE/logo.png", 200, pngBytes(8, 2));
    Lookup missing;
    lookUp(biz_, "PAGE", missing);
    EXPECT_EQ(missing.code, "404");
    EXPECT_EQ(missing.message, "数据请求失败！");
    EXPECT_EQ(documentNames(), std::vector<std::string>{"PAGE_logo.png"}) << "no directory saved";

    // Replies that are no dealer record.
    server_.route("/dealer/getdealer.php?key=TEXT", 200, "Bad Gateway");
    server_.route("/dealer/getdealer.php?key=BARE", 200,
                  R"({"retCode":"0","message":"","data":{"dealerName":"x"}})");
    for (const char* key : {"TEXT", "BARE"}) {
        Lookup bad;
        lookUp(biz_, key, bad);
        EXPECT_EQ(bad.code, "1") << key;
        EXPECT_EQ(bad.message, "查询返回内容解析失败。") << key;
    }
    EXPECT_TRUE(keysOnDisk().empty());

    // The images are in place but the directory cannot be written.
    server_.route("/dealer/PAGE/icon.png", 200, pngBytes(2, 2));
    fs::create_directory(documents() / BizDealer::kDirectoryFile);
    Lookup unsaved;
    lookUp(biz_, "PAGE", unsaved);
    EXPECT_EQ(unsaved.code, "1");
    EXPECT_EQ(unsaved.message, "交易商信息保存失败");
    EXPECT_FALSE(biz_->getDealerWithKey("PAGE"));
}

}  // namespace

TEST_F(DealerReplies, AnAnswerCarryingTheKeyOfAFiledDealerReplacesNothing) {
    // The server answers a lookup of NEW with the key of a dealer filed
    // already, and hosts of its own.
    auto filed = std::make_shared<MODDealer>();
    filed->dealerKey = "OLD";
    filed->dealerName = "filed";
    filed->hostReal = "ws://good";
    ASSERT_TRUE(biz_->addDealer(filed));
    serve("NEW", "OLD", "logo.png", "icon.png");
    server_.route("/dealer/NEW/logo.png", 200, pngBytes(8, 2));
    server_.route("/dealer/NEW/icon.png", 200, pngBytes(2, 2));
    Lookup lookup;
    lookUp(biz_, "NEW", lookup);
    EXPECT_FALSE(lookup.dealers);
    EXPECT_EQ(lookup.code, "1");
    EXPECT_EQ(lookup.message, "要添加的交易商已经存在");
    EXPECT_EQ(requestsFor(".png"), 0u) << "no image fetched for it";
    const auto kept = std::make_shared<BizDealer>()->getDealerWithKey("OLD");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->dealerName, "filed");
    EXPECT_EQ(kept->hostReal, "ws://good");
}

TEST_F(DealerReplies, ADealerRemovedThroughAnotherDirectoryCanBeLookedUpAgain) {
    // A directory object read while the dealer was filed; the dealer is then
    // removed through another one (as the service object does).
    auto filed = std::make_shared<MODDealer>();
    filed->dealerKey = "BACK";
    ASSERT_TRUE(biz_->addDealer(filed));
    ASSERT_TRUE(std::make_shared<BizDealer>()->removeDealer("BACK"));
    serve("BACK", "BACK", "logo.png", "icon.png");
    server_.route("/dealer/BACK/logo.png", 200, pngBytes(8, 2));
    server_.route("/dealer/BACK/icon.png", 200, pngBytes(2, 2));
    Lookup lookup;
    lookUp(biz_, "BACK", lookup);
    ASSERT_TRUE(lookup.dealers) << lookup.code << " " << lookup.message;
    EXPECT_EQ(keysOnDisk(), std::vector<std::string>{"BACK"});
}
