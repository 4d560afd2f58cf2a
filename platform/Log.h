#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The system log: one sink for free-text lines, from any thread. By default a
// line goes to standard error with the local time in front.
void log(std::string_view text);

using LogSink = std::function<void(const std::string&)>;
// Replaces the sink; an empty sink restores the default. A line that another
// thread is writing through the old sink is through it when this returns.
void setLogSink(LogSink sink);

// Captures every log line written while it exists (tests); lines still reach
// the sink that was installed before it only when `passThrough` is set.
class LogCapture {
  public:
    explicit LogCapture(bool passThrough = false);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;
    size_t count(std::string_view fragment) const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    LogSink previous_;
    bool passThrough_;
};

}  // namespace platform
