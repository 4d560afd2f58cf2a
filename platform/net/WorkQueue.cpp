#include "platform/net/WorkQueue.h"

#include <deque>
#include <mutex>

#include "platform/net/NetworkThread.h"

namespace platform::net {

namespace {
thread_local const WorkQueue::State* tCurrent = nullptr;
}  // namespace

struct WorkQueue::State : std::enable_shared_from_this<WorkQueue::State> {
    std::mutex mutex;
    std::deque<std::function<void()>> blocks;
    bool busy = false;  // a thread runs blocks, or the network thread is asked to
    bool alive = true;

    // Runs one block with this queue marked as the current one; a queue
    // running a block of another queue (one connection's work ending
    // another's) is current again afterwards.
    void runOne(const std::function<void()>& block) {
        const State* outer = tCurrent;
        tCurrent = this;
        block();
        tCurrent = outer;
    }

    // The network thread: runs everything queued, then leaves the queue idle.
    void drain() {
        while (true) {
            std::function<void()> block;
            {
                std::lock_guard lock(mutex);
                if (blocks.empty() || !alive) {
                    blocks.clear();
                    busy = false;
                    return;
                }
                block = std::move(blocks.front());
                blocks.pop_front();
            }
            runOne(block);
        }
    }

    // Called with the queue busy: hands what is queued to the network thread,
    // or leaves the queue idle when nothing is.
    void handOverOrFinish() {
        {
            std::lock_guard lock(mutex);
            if (blocks.empty() || !alive) {
                blocks.clear();
                busy = false;
                return;
            }
        }
        NetworkThread::shared().post([self = shared_from_this()] { self->drain(); });
    }
};

WorkQueue::WorkQueue() : state_(std::make_shared<State>()) {}

WorkQueue::~WorkQueue() {
    std::lock_guard lock(state_->mutex);
    state_->alive = false;
    state_->blocks.clear();
}

void WorkQueue::run(std::function<void()> block) {
    if (!block) return;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->alive) return;
        if (state_->busy) {
            state_->blocks.push_back(std::move(block));
            return;
        }
        state_->busy = true;
    }
    // The state outlives the block, which may destroy the queue's owner.
    const std::shared_ptr<State> state = state_;
    state->runOne(block);
    if (NetworkThread::shared().isCurrent())
        state->drain();
    else
        state->handOverOrFinish();
}

void WorkQueue::post(std::function<void()> block) {
    if (!block) return;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->alive) return;
        state_->blocks.push_back(std::move(block));
        if (state_->busy) return;
        state_->busy = true;
    }
    NetworkThread::shared().post([state = state_] { state->drain(); });
}

bool WorkQueue::isCurrent() const {
    return tCurrent == state_.get();
}

}  // namespace platform::net
