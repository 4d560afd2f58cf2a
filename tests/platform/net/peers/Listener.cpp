#include "tests/platform/net/peers/Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace kavtest {

Listener::Listener(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0)
        throw std::runtime_error("listener: cannot listen");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

Listener::~Listener() {
    ::shutdown(listenFd_, SHUT_RDWR);  // wakes the blocked accept()
    acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::thread> sessions;
    {
        std::lock_guard lock(mutex_);
        for (int fd : open_)
            ::shutdown(fd, SHUT_RDWR);
        sessions.swap(sessions_);
    }
    for (auto& t : sessions)
        t.join();
}

void Listener::acceptLoop() {
    while (true) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        std::lock_guard lock(mutex_);
        ++accepted_;
        open_.insert(fd);
        sessions_.emplace_back([this, fd] { handler_(fd, *this); });
    }
}

int Listener::acceptedCount() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

void Listener::track(int fd) {
    std::lock_guard lock(mutex_);
    open_.insert(fd);
}

void Listener::untrack(int fd) {
    std::lock_guard lock(mutex_);
    open_.erase(fd);
}

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (i * 7) % 26);
    return s;
}

void Notes::add(std::string note) {
    std::lock_guard lock(mutex_);
    notes_.push_back(std::move(note));
}

std::vector<std::string> Notes::all() const {
    std::lock_guard lock(mutex_);
    return notes_;
}

bool Notes::contains(const std::string& note) const {
    std::lock_guard lock(mutex_);
    return std::find(notes_.begin(), notes_.end(), note) != notes_.end();
}

size_t Notes::size() const {
    std::lock_guard lock(mutex_);
    return notes_.size();
}

}  // namespace kavtest
