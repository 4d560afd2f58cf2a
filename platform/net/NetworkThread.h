#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::net {

// The one shared network thread of the process. It waits on an epoll set
// (level-triggered) and runs the handlers of registered descriptors and the
// tasks posted to it. Every socket of every connection lives here.
class NetworkThread {
  public:
    // Created and started on first use; the thread is named
    // "KAVWebSocket.NetworkThread" and runs until stop(), which the process
    // exit calls (before the libraries' own clean-up at exit).
    static NetworkThread& shared();

    using Handler = std::function<void(uint32_t events)>;

    // Runs the task on the network thread, later (never inline). After
    // stop() the task is dropped.
    void post(std::function<void()> task);
    // Ends the thread: the tasks posted so far run, then the thread returns
    // and is joined (from the network thread itself: it returns after the
    // current round). Handlers and tasks run no more; connections still open
    // are abandoned. Any thread; once.
    void stop();
    bool stopped() const;
    bool isCurrent() const;

    // Registers a descriptor; the handler runs on the network thread with the
    // epoll events that fired. Returns a registration id (never 0). Any thread.
    uint64_t add(int fd, uint32_t events, Handler handler);
    // Changes the events a registration waits for. Any thread; safe to call
    // with an id that is already removed.
    void modify(uint64_t id, uint32_t events);
    // Forgets a registration; its handler is not called again once this has
    // returned on the network thread (from other threads: once the next
    // round of events starts). The descriptor is not closed.
    void remove(uint64_t id);

    struct Impl;

  private:
    NetworkThread();
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::net
