// The dealer's logo: cached under a path made only of plain names and
// fetched from the definition service once.
#include <gtest/gtest.h>

#include "app/AppConfig.h"
#include "app/DealerLogo.h"
#include "platform/Files.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace {

class DealerLogoTest : public ::testing::Test {
  protected:
    void SetUp() override { platform::files::setDocumentsRoot(dir / "Documents"); }
    void TearDown() override { platform::files::setDocumentsRoot({}); }
    EtyDealer dealer(const std::string& key, const std::string& logo) {
        EtyDealer d;
        d.dealerKey = key;
        d.dealerLogo = logo;
        return d;
    }
    // Loads the logo and waits for it.
    platform::ui::UIImagePtr load(const EtyDealer& d) {
        platform::ui::UIImagePtr got;
        dealerlogo::load(d, [&](const platform::ui::UIImagePtr& image) { got = image; });
        time.runUntil([&] { return got != nullptr; });
        return got;
    }

    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    kavtest::DealerSim sim;
    kavtest::ScopedEnv service{appconfig::kDealerServiceVariable, sim.dealerUrl().c_str()};
};

TEST_F(DealerLogoTest, TheLogoIsFetchedOnceAndCachedUnderItsKey) {
    const auto kavfx = dealer("KAVFX", "logo.png");
    ASSERT_EQ(dealerlogo::localPath(kavfx),
              (dir / "Documents/Res/Images/Dealer/KAVFX_logo.png").string());
    EXPECT_EQ(dealerlogo::downloadURL(kavfx), sim.dealerUrl() + "/KAVFX/logo.png");
    auto image = load(kavfx);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 240);
    EXPECT_TRUE(platform::files::fileExists(*dealerlogo::localPath(kavfx)));
    EXPECT_TRUE(load(kavfx));  // from the cache: no second request
    EXPECT_EQ(sim.httpRequests("logo").size(), 1u);
}

TEST_F(DealerLogoTest, NamesThatCouldLeaveTheFolderAreNeverUsed) {
    for (const auto& [key, logo] :
         std::vector<std::pair<std::string, std::string>>{{"KAVFX", "../../../evil.png"},
                                                          {"../KAVFX", "logo.png"},
                                                          {"KAV/FX", "logo.png"},
                                                          {"KAVFX", ""},
                                                          {"", "logo.png"},
                                                          {"KAVFX", "a b.png"}}) {
        EXPECT_FALSE(dealerlogo::localPath(dealer(key, logo))) << key << " " << logo;
        bool called = false;
        dealerlogo::load(dealer(key, logo), [&](const auto&) { called = true; });
        time.drain();
        EXPECT_FALSE(called);
    }
    EXPECT_TRUE(sim.httpRequests("logo").empty());
}

}  // namespace
