#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kavtest {

// A TCP listener on 127.0.0.1 (a free port) that runs a handler on a thread
// of its own for each accepted connection. Destruction stops accepting,
// shuts down the connections still open, and joins every thread.
class Listener {
  public:
    using Handler = std::function<void(int fd, Listener& listener)>;
    explicit Listener(Handler handler);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    uint16_t port() const { return port_; }
    int acceptedCount() const;

    // A handler calls these around its use of a descriptor, so that the
    // listener can unblock it on shutdown.
    void track(int fd);
    void untrack(int fd);

  private:
    void acceptLoop();

    Handler handler_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::thread> sessions_;
    std::set<int> open_;
    int accepted_ = 0;
};

// `n` bytes of a recognisable repeating text.
std::string pattern(size_t n);

// Thread-safe list of what a server saw, for tests to read.
class Notes {
  public:
    void add(std::string note);
    std::vector<std::string> all() const;
    bool contains(const std::string& note) const;
    size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> notes_;
};

}  // namespace kavtest
