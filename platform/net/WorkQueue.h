#pragma once

#include <functional>
#include <memory>

namespace platform::net {

// The serial work queue of one connection, without a thread of its own.
// Blocks run one at a time, in the order they were given, never two at once.
// What it saves is the hand-off: a block given while the queue is idle runs
// at once on the calling thread (the network thread reading what it was told
// of, the main thread writing what it sends), instead of waking another
// thread to run it. A block given while another thread is running blocks
// waits behind them and runs without any thread waking for it: the network
// thread runs it when it is the one running; a thread other than the network
// thread runs only its own block and leaves the rest to the network thread,
// so that reading and decoding never move onto the caller.
class WorkQueue {
  public:
    WorkQueue();
    // Blocks not yet started are dropped; one running finishes.
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Runs the block now on this thread when the queue is idle, else queues it.
    void run(std::function<void()> block);
    // Queues the block for the network thread; never runs it inline.
    void post(std::function<void()> block);
    // True while the calling thread runs a block of this queue.
    bool isCurrent() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace platform::net
