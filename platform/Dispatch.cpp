#include "platform/Dispatch.h"

#include <condition_variable>
#include <deque>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"

namespace platform::dispatch {

namespace {

// The global background pool. Lives until static destruction, which stops it
// after the blocks in progress finish.
class Pool {
  public:
    Pool() {
        unsigned n = std::max(2u, std::min(8u, std::thread::hardware_concurrency()));
        for (unsigned i = 0; i < n; ++i)
            threads_.emplace_back([this] { work(); });
    }
    ~Pool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        for (auto& t : threads_)
            t.join();
    }
    void submit(std::function<void()> block) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            queue_.push_back(std::move(block));
        }
        cv_.notify_one();
    }

  private:
    void work() {
        while (true) {
            std::function<void()> block;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                block = std::move(queue_.front());
                queue_.pop_front();
            }
            block();
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

Pool& pool() {
    static Pool p;
    return p;
}

thread_local const SerialQueue::State* tCurrentQueue = nullptr;

}  // namespace

struct SerialQueue::State : std::enable_shared_from_this<SerialQueue::State> {
    std::string label;
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<std::function<void()>> blocks;
    bool draining = false;
    bool alive = true;

    void drain() {
        tCurrentQueue = this;
        while (true) {
            std::function<void()> block;
            {
                std::lock_guard lock(mutex);
                if (blocks.empty() || !alive) {
                    blocks.clear();
                    draining = false;
                    idle.notify_all();
                    break;
                }
                block = std::move(blocks.front());
                blocks.pop_front();
            }
            block();
        }
        tCurrentQueue = nullptr;
    }
};

SerialQueue::SerialQueue(std::string label) : state_(std::make_shared<State>()) {
    state_->label = std::move(label);
}

SerialQueue::~SerialQueue() {
    std::lock_guard lock(state_->mutex);
    state_->alive = false;
    state_->blocks.clear();
}

void SerialQueue::async(std::function<void()> block) {
    if (!block) return;
    bool start = false;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->alive) return;
        state_->blocks.push_back(std::move(block));
        if (!state_->draining) {
            state_->draining = true;
            start = true;
        }
    }
    if (start) {
        auto state = state_;
        pool().submit([state] { state->drain(); });
    }
}

bool SerialQueue::isCurrent() const {
    return tCurrentQueue == state_.get();
}

const std::string& SerialQueue::label() const {
    return state_->label;
}

void SerialQueue::waitIdle() {
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [&] { return !state_->draining && state_->blocks.empty(); });
}

void async_main(std::function<void()> block) {
    RunLoop::main().post(std::move(block));
}

void after(double seconds, std::function<void()> block) {
    auto timer = Timer::schedule(seconds, false, std::move(block));
    timer.detach();
}

void async_global(std::function<void()> block) {
    if (block) pool().submit(std::move(block));
}

}  // namespace platform::dispatch
