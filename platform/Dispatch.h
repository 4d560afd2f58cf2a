#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace platform::dispatch {

// Runs the block on the main run loop, later (never inline).
void async_main(std::function<void()> block);

// Runs the block once on the main run loop after `seconds` (fire and forget;
// a caller that must be able to cancel keeps a platform::Timer instead).
void after(double seconds, std::function<void()> block);

// Runs the block on the global background queue (a small pool of threads).
void async_global(std::function<void()> block);

// One-time initialisation.
using OnceFlag = std::once_flag;
template <typename F>
void once(OnceFlag& flag, F&& f) {
    std::call_once(flag, std::forward<F>(f));
}

// A serial queue: blocks run first in, first out, one at a time, on the
// background pool, never inside async(). Destroying the queue drops the blocks
// that have not started; one already running finishes.
class SerialQueue {
  public:
    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> block);
    // True while the calling thread runs a block of this queue.
    bool isCurrent() const;
    const std::string& label() const;
    // Blocks the caller until every block queued so far has run (tests only;
    // must not be called from the queue itself).
    void waitIdle();

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace platform::dispatch
