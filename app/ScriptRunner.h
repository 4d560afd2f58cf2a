#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// Drives the running application from a script, one command a line, through
// the headless driver. After each command one line goes to `out`:
//   ok <command line>
//   fail <command line>: <why>
// and the first failure ends the run. Blank lines and lines that hold only a
// comment print nothing. Main thread only; the application must have been
// launched. Time passes on the main run loop's clock: with the system clock a
// wait really waits, with a virtual clock it moves virtual time.
class ScriptRunner {
  public:
    // A command line split into words: blanks separate words; a word in
    // double quotes may hold blanks, with \" and \\ as escapes (any other
    // backslash stays as written); '#' outside quotes starts a comment.
    struct Words {
        std::vector<std::string> words;
        std::string text;   // the line without its comment, trimmed
        std::string error;  // why the line cannot be read; empty when it can
    };
    static Words split(const std::string& line);

    // Default time-out of wait-text and wait-gone, seconds.
    static constexpr double kDefaultWait = 10;
    // The longest time a command takes as an argument (a day), seconds.
    static constexpr double kLongestWait = 86400;
    // How long, at most, an acting command lets the application settle
    // (seconds of the run loop's clock).
    static constexpr double kSettleLimit = 4;
    // The longest script line, bytes; a longer one fails the run unread.
    static constexpr size_t kLongestLine = 1 << 20;
    // Scale of the pictures `shot` writes.
    static constexpr double kShotScale = 2;

    // `shots`: the folder `shot` writes into. `onQuit` runs for `quit` (the
    // program ends the application there).
    ScriptRunner(std::ostream& out, std::filesystem::path shots, std::function<void()> onQuit);

    // Runs one line; false when it failed or its report could not be written.
    bool runLine(const std::string& line);
    // Runs the lines until the first failure or `quit`; true when nothing failed.
    bool run(std::istream& script);
    bool quitRequested() const { return quit_; }

  private:
    // Nothing on success, else why the command failed.
    std::optional<std::string> execute(const std::vector<std::string>& words);

    std::ostream& out_;
    std::filesystem::path shots_;
    std::function<void()> onQuit_;
    bool quit_ = false;
};
