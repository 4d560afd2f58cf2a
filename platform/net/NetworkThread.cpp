#include "platform/net/NetworkThread.h"

#include <openssl/crypto.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "platform/Dispatch.h"

namespace platform::net {

struct NetworkThread::Impl {
    struct Registration {
        int fd = -1;
        Handler handler;
    };

    int epollFd = -1;
    int wakeFd = -1;
    std::thread thread;
    std::thread::id threadId;

    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;  // no task is taken any more
    std::unordered_map<uint64_t, std::shared_ptr<Registration>> registrations;
    uint64_t nextId = 1;

    void wake() {
        const uint64_t one = 1;
        // A full counter still wakes the thread; nothing else can fail here.
        [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
    }

    // Runs the tasks queued so far; false once the thread is to end (the
    // tasks queued before the stop have run).
    bool runTasks() {
        std::deque<std::function<void()>> batch;
        bool end;
        {
            std::lock_guard lock(mutex);
            batch.swap(tasks);
            end = stopping;
        }
        for (auto& task : batch)
            task();
        return !end;
    }

    void loop() {
        pthread_setname_np(pthread_self(), "KAVWebSocket.Ne");  // 15 characters at most
        epoll_event events[64];
        while (true) {
            const int n = epoll_wait(epollFd, events, 64, -1);
            if (n < 0) {
                if (errno == EINTR) continue;
                return;
            }
            for (int i = 0; i < n; ++i) {
                const uint64_t id = events[i].data.u64;
                if (id == 0) {
                    uint64_t value;
                    [[maybe_unused]] auto r = ::read(wakeFd, &value, sizeof value);
                    continue;
                }
                std::shared_ptr<Registration> reg;
                {
                    std::lock_guard lock(mutex);
                    auto it = registrations.find(id);
                    if (it != registrations.end()) reg = it->second;
                }
                if (reg) reg->handler(events[i].events);
            }
            if (!runTasks()) return;
        }
    }
};

NetworkThread& NetworkThread::shared() {
    // Never destroyed: connections and threads of their own may still hold it
    // while the process exits. Its thread is stopped and joined when the
    // process exits (returning from main or calling exit), before any
    // library's clean-up at exit runs: OpenSSL's is registered first, so it
    // runs after the stop, and so is the background pool's, whose blocks
    // the network thread may still hand work to until it ends.
    static NetworkThread* thread = [] {
        OPENSSL_init_crypto(0, nullptr);
        platform::dispatch::async_global([] {});
        auto* made = new NetworkThread();
        std::atexit([] { shared().stop(); });
        return made;
    }();
    return *thread;
}

NetworkThread::NetworkThread() : impl_(std::make_unique<Impl>()) {
    impl_->epollFd = epoll_create1(EPOLL_CLOEXEC);
    impl_->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (impl_->epollFd < 0 || impl_->wakeFd < 0)
        throw std::runtime_error("network thread: epoll failed");
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = 0;
    epoll_ctl(impl_->epollFd, EPOLL_CTL_ADD, impl_->wakeFd, &ev);
    impl_->thread = std::thread([impl = impl_.get()] { impl->loop(); });
    impl_->threadId = impl_->thread.get_id();
}

void NetworkThread::post(std::function<void()> task) {
    if (!task) return;
    {
        std::lock_guard lock(impl_->mutex);
        if (impl_->stopping) return;
        impl_->tasks.push_back(std::move(task));
    }
    impl_->wake();
}

void NetworkThread::stop() {
    {
        std::lock_guard lock(impl_->mutex);
        if (impl_->stopping) return;
        impl_->stopping = true;
    }
    impl_->wake();
    // From the network thread itself (a handler ending the process) the loop
    // ends after this round; nothing can wait for it.
    if (isCurrent()) {
        impl_->thread.detach();
        return;
    }
    impl_->thread.join();
}

bool NetworkThread::stopped() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->stopping;
}

bool NetworkThread::isCurrent() const {
    return std::this_thread::get_id() == impl_->threadId;
}

uint64_t NetworkThread::add(int fd, uint32_t events, Handler handler) {
    auto reg = std::make_shared<Impl::Registration>();
    reg->fd = fd;
    reg->handler = std::move(handler);
    uint64_t id;
    {
        std::lock_guard lock(impl_->mutex);
        id = impl_->nextId++;
        impl_->registrations.emplace(id, reg);
    }
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = id;
    if (epoll_ctl(impl_->epollFd, EPOLL_CTL_ADD, fd, &ev) != 0) {
        std::lock_guard lock(impl_->mutex);
        impl_->registrations.erase(id);
        return 0;
    }
    return id;
}

void NetworkThread::modify(uint64_t id, uint32_t events) {
    // Under the lock, so that a descriptor closed and reused after remove()
    // is never changed in the name of its old registration.
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->registrations.find(id);
    if (it == impl_->registrations.end()) return;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = id;
    epoll_ctl(impl_->epollFd, EPOLL_CTL_MOD, it->second->fd, &ev);
}

void NetworkThread::remove(uint64_t id) {
    std::shared_ptr<Impl::Registration> reg;
    {
        std::lock_guard lock(impl_->mutex);
        auto it = impl_->registrations.find(id);
        if (it == impl_->registrations.end()) return;
        reg = std::move(it->second);
        impl_->registrations.erase(it);
        epoll_ctl(impl_->epollFd, EPOLL_CTL_DEL, reg->fd, nullptr);
    }
    // The handler (and what it holds) is released outside the lock.
}

}  // namespace platform::net
