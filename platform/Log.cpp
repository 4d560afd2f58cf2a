#include "platform/Log.h"

#include <sys/time.h>
#include <cstdio>
#include <ctime>

namespace platform {

namespace {

// Guards the sink and is held while it runs, so that once the sink has been
// replaced (a capture ended) no other thread is still inside the old one.
// Recursive: a sink may itself write a line.
std::recursive_mutex& sinkMutex() {
    static std::recursive_mutex m;
    return m;
}

LogSink& currentSink() {
    static LogSink sink;
    return sink;
}

void writeDefault(const std::string& line) {
    // The system log carries the wall-clock time of writing; it is a
    // diagnostic, so it reads the real clock, not the run loop's.
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm local{};
    localtime_r(&tv.tv_sec, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(stderr, "%s.%03d %s\n", stamp, static_cast<int>(tv.tv_usec / 1000), line.c_str());
}

}  // namespace

void log(std::string_view text) {
    const std::string line(text);
    std::lock_guard lock(sinkMutex());
    // A copy: a sink that replaces itself is not destroyed while it runs.
    const LogSink sink = currentSink();
    if (sink) {
        sink(line);
    } else {
        writeDefault(line);
    }
}

void setLogSink(LogSink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

LogCapture::LogCapture(bool passThrough) : passThrough_(passThrough) {
    std::lock_guard lock(sinkMutex());
    previous_ = currentSink();
    currentSink() = [this](const std::string& line) {
        {
            std::lock_guard own(mutex_);
            lines_.push_back(line);
        }
        if (passThrough_) {
            if (previous_) {
                previous_(line);
            } else {
                writeDefault(line);
            }
        }
    };
}

LogCapture::~LogCapture() {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(previous_);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(std::string_view fragment) const {
    return count(fragment) > 0;
}

size_t LogCapture::count(std::string_view fragment) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& line : lines_) {
        if (line.find(fragment) != std::string::npos) ++n;
    }
    return n;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace platform
