// The end of bin/kav-trader: a `quit` while connections are closing. The
// network thread may still be framing a close (the mask's random bytes come
// from OpenSSL) when the program ends, so the process must stop and join it
// before the library's exit-time clean-up. Many runs of the real program
// against the simulated dealer, several at once so that the threads
// interleave differently each time: every run ends by its own exit with the
// script's status, never by a signal or a sanitizer report.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"

using kavtest::DealerSim;

namespace {

// The login form filled in and sent; `then` follows.
std::string loginScript(const std::string& password, const std::string& then) {
    return "wait-text 登录 15\n"
           "wait-gone 正在初始化服务 15\n"
           "tap-tag 7001\n"
           "type 1001\n"
           "tap-tag 7002\n"
           "type " +
           password +
           "\n"
           "tap Done\n"
           "tap 登录\n" +
           then + "quit\n";
}

std::string lastLines(const std::filesystem::path& path, size_t count = 15) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::ostringstream out;
    for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        out << lines[i] << '\n';
    return out.str();
}

}  // namespace

// A refused login quits with its login connection just closing; a good one
// quits with the session's five connections open. One run in four logs in.
TEST(ProgramEnd, EveryRunOfAFailedLoginOrAQuitWithConnectionsOpenEndsByItsOwnExit) {
    DealerSim sim;
    kavtest::TempDir dir;
    const auto writeScript = [&](const char* name, const std::string& text) {
        const auto path = dir.path() / name;
        std::ofstream(path) << text;
        return path.string();
    };
    const std::string refused = writeScript(
        "refused.kav", loginScript("654321", "wait-text 登录失败，原因：MA-账户或密码错误 15\n"));
    const std::string session =
        writeScript("session.kav", loginScript("123456", "wait-text 行情 15\n"));
    const std::string program = (kavtest::binDir() / "kav-trader").string();

    // Everything the children need is made before a fork: this process has threads.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "KAV_", 4) != 0) environment.emplace_back(*e);
    environment.push_back("KAV_DEALER_SERVICE=" + sim.dealerUrl());
    environment.push_back("KAV_REGISTER_SERVICE=" + sim.registerUrl());
    constexpr int kRuns = 100;
    constexpr size_t kAtOnce = 6;
    struct Run {
        int number;
        bool login;
    };
    std::map<pid_t, Run> running;
    int started = 0, refusedRuns = 0, sessionRuns = 0;
    std::vector<std::string> abnormal;
    const auto start = [&](int number) {
        const bool login = number % 4 == 3;
        const auto data = dir.path() / ("data-" + std::to_string(number));
        const std::string log = (dir.path() / ("run-" + std::to_string(number) + ".log")).string();
        std::vector<std::string> env = environment;
        env.push_back("KAV_DATA_DIR=" + data.string());
        std::vector<std::string> argv = {program, "--headless", "--script",
                                         login ? session : refused};
        std::vector<char*> args, envp;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(out, 0) << std::strerror(errno);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            execve(args[0], args.data(), envp.data());
            _exit(127);
        }
        close(out);
        ASSERT_GT(pid, 0) << std::strerror(errno);
        running[pid] = {number, login};
        ++started;
    };
    while (started < kRuns || !running.empty()) {
        while (started < kRuns && running.size() < kAtOnce)
            start(started);
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        ASSERT_GT(pid, 0) << std::strerror(errno);
        const Run run = running[pid];
        running.erase(pid);
        const auto log = dir.path() / ("run-" + std::to_string(run.number) + ".log");
        if (!WIFEXITED(status))
            abnormal.push_back("run " + std::to_string(run.number) + ": signal " +
                               std::to_string(WTERMSIG(status)) + "\n" + lastLines(log));
        else if (WEXITSTATUS(status) != 0)
            abnormal.push_back("run " + std::to_string(run.number) + ": status " +
                               std::to_string(WEXITSTATUS(status)) + "\n" + lastLines(log));
        else
            ++(run.login ? sessionRuns : refusedRuns);
    }
    EXPECT_TRUE(abnormal.empty()) << abnormal.size() << " abnormal ends, the first:\n"
                                  << abnormal.front();
    EXPECT_EQ(refusedRuns, kRuns * 3 / 4);
    EXPECT_EQ(sessionRuns, kRuns / 4);
}
