// Where the dealer-definition service is: the environment first, then the
// bundle's configuration, then the built-in default.
#include <gtest/gtest.h>

#include <fstream>

#include "app/AppConfig.h"
#include "platform/Log.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

using kavtest::ScopedEnv;

TEST(AppConfig, TheDealerServiceComesFromTheEnvironmentThenTheBundle) {
    ScopedEnv unset("KAV_DEALER_SERVICE", nullptr);
    // The shipped bundle.
    EXPECT_EQ(appconfig::dealerServiceBaseURL(), "http://localhost:8080/dealer");
    {
        ScopedEnv set("KAV_DEALER_SERVICE", "http://127.0.0.1:41234/dealer/");
        EXPECT_EQ(appconfig::dealerServiceBaseURL(), "http://127.0.0.1:41234/dealer");
    }
    kavtest::TempDir bundle;
    ScopedEnv moved("KAV_BUNDLE_DIR", bundle.path().c_str());
    EXPECT_EQ(appconfig::dealerServiceBaseURL(), appconfig::kDefaultDealerService);
    std::ofstream(bundle / "AppConfig.json")
        << R"({"dealerService": "https://dealers.example:8080/dealer"})";
    EXPECT_EQ(appconfig::dealerServiceBaseURL(), "https://dealers.example:8080/dealer");
    std::ofstream(bundle / "AppConfig.json") << "{not json";
    platform::LogCapture logs;
    EXPECT_EQ(appconfig::dealerServiceBaseURL(), appconfig::kDefaultDealerService);
    EXPECT_EQ(logs.count("AppConfig.json"), 1u);
}

TEST(AppConfig, TheRegistrationServiceAndHotlineComeTheSameWay) {
    ScopedEnv unset(appconfig::kRegisterServiceVariable, nullptr);
    EXPECT_EQ(appconfig::registerServiceBaseURL(), "http://localhost:30001");
    EXPECT_EQ(appconfig::serviceHotline(), "400-800-0000");
    {
        ScopedEnv set(appconfig::kRegisterServiceVariable, "http://127.0.0.1:5000/");
        EXPECT_EQ(appconfig::registerServiceBaseURL(), "http://127.0.0.1:5000");
    }
    kavtest::TempDir bundle;
    ScopedEnv moved("KAV_BUNDLE_DIR", bundle.path().c_str());
    std::ofstream(bundle / "AppConfig.json")
        << R"({"registerService": "https://demo.example:30001", "serviceHotline": "021-5555"})";
    EXPECT_EQ(appconfig::registerServiceBaseURL(), "https://demo.example:30001");
    EXPECT_EQ(appconfig::serviceHotline(), "021-5555");
    // The dealer service of this file is missing: its default stands.
    EXPECT_EQ(appconfig::dealerServiceBaseURL(), appconfig::kDefaultDealerService);
    std::ofstream(bundle / "AppConfig.json") << R"({"serviceHotline": ""})";
    EXPECT_EQ(appconfig::serviceHotline(), appconfig::kDefaultServiceHotline);
    EXPECT_EQ(appconfig::registerServiceBaseURL(), appconfig::kDefaultRegisterService);
}
