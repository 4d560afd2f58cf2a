#pragma once

// The session probe: logs one trading service object in to a dealer, runs a
// list of commands one after the other, and prints one line per delegate
// call and per result (see ProbeLines.h and README.md).
//
//   kavprobe::Probe probe(options, printLine);
//   probe.start();
//   platform::RunLoop::main().runUntil([&] { return probe.finished(); }, ...);
//   return probe.exitCode();

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/RunLoop.h"

namespace kavprobe {

// One command of the command line with its arguments.
struct Step {
    std::string name;
    std::vector<std::string> args;
};

struct Options {
    std::string loginUrl;
    std::string user;
    std::string password;
    bool debug = false;
    bool help = false;
    // The longest the probe waits for the login, or for the result of one command.
    double timeout = 30;
    std::vector<Step> steps;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the login or a command failed
inline constexpr int kExitUsage = 2;

// The options of a command line (without the program name), or why it is
// not usable. "--help" gives an Options with no login address.
std::variant<Options, std::string> parseArguments(const std::vector<std::string>& args);
// "usage: kav-probe ..." and the list of commands.
std::string usage();

using LineSink = std::function<void(const std::string& line)>;

class Probe {
  public:
    Probe(Options options, LineSink sink);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // Starts the login; the commands follow it. Everything runs on the main
    // run loop.
    void start();
    bool finished() const { return finished_; }
    int exitCode() const { return exitCode_; }

    // ---- for the commands ----
    KAVBizSDK& sdk() { return *sdk_; }
    void print(const std::string& line);
    // Ends the running command: its record lines, then "ok"; or
    // "fail <code> <message>". Blocks of a command that has already ended
    // (by its time-out) do nothing.
    std::function<void(const std::vector<std::string>& lines)> succeed();
    KAVFailureBlock fail();
    // Whether the command running now is still running (false once it has
    // ended or been given up on): commands of several requests check it
    // before sending the next one.
    std::function<bool()> stillRunning();
    // A timer that lives as long as the running command.
    platform::Timer& commandTimer() { return commandTimer_; }

  private:
    class Delegate;

    void runStep();
    void endStep(bool ok);
    void finish(int code);
    // Runs `f` only while step `step` is still running and the probe lives.
    template <typename F>
    auto whileStep(F f);

    Options options_;
    LineSink sink_;
    std::shared_ptr<KAVBizSDK> sdk_;
    std::shared_ptr<Delegate> delegate_;
    // Step 0 is the login; step i > 0 is options_.steps[i - 1].
    size_t step_ = 0;
    bool anyFailed_ = false;
    bool finished_ = false;
    int exitCode_ = kExitOk;
    platform::Timer deadline_;
    platform::Timer commandTimer_;
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

}  // namespace kavprobe
