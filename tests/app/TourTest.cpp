// ./run.sh without a display: scripts/run-app.sh starts the simulated dealer
// and runs the tour headless with the real program on the real clock; every
// screen the tour passes is kept as a picture in the folder it names.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "platform/ui/Image.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"

TEST(Tour, WithoutADisplayTheTourWritesItsScreenshots) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " +
                                (kavtest::sourceDir() / "scripts" / "run-app.sh").string() + " " +
                                kavtest::binDir().string() + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    for (const char* line :
         {"ok wait-text 登录 15", "ok shot 02-dealer-list", "ok wait-text 金汇通贵金属 15",
          "ok tap \"KAV 外汇\"", "ok tap 登录", "ok wait-text 欧元美元 15", "ok shot 05-board",
          "ok wait-text 功能菜单 15", "ok shot 07-account-centre", "ok wait-text 下单成功。 15",
          "ok wait-text 净头寸 15", "ok wait-text 限价建仓-欧元美元 15", "ok quit"})
        EXPECT_NE(out.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << out;

    std::smatch where;
    ASSERT_TRUE(std::regex_search(out, where, std::regex("the tour's screenshots are in (\\S+)")))
        << out;
    const std::filesystem::path shots = where[1].str();
    for (const char* name :
         {"01-login", "02-dealer-list", "03-dealer-added", "04-login-typed", "05-board", "06-menu",
          "07-account-centre", "09-positions", "11-close-by-symbol", "13-new-limit-order",
          "15-pending-order", "16-closed-tickets"}) {
        auto image =
            platform::ui::UIImage::imageWithContentsOfFile(shots / (std::string(name) + ".png"));
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->size().width * image->scale(), 640) << name;
    }
    // With KAV_SCREENSHOTS set they join the other screens' pictures.
    if (const auto dir = kavtest::screenshotFolder(); !dir.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(shots))
            std::filesystem::copy_file(entry.path(),
                                       dir / ("tour-" + entry.path().filename().string()),
                                       std::filesystem::copy_options::overwrite_existing);
    }
    std::filesystem::remove_all(shots);
}
