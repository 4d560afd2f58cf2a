#include "platform/net/SocketStream.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/net/NetworkThread.h"
#include "platform/net/TlsInternal.h"

namespace platform::net {

namespace {

constexpr uint32_t kIn = EPOLLIN;
constexpr uint32_t kOut = EPOLLOUT;

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

Error posixError(int code) {
    return Error(kPosixErrorDomain, code, std::strerror(code));
}

bool numericAddress(const std::string& host, uint16_t port, Address& out) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out.storage);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        out.length = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out.storage);
    if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        out.length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

}  // namespace

struct SocketStreamPair::Impl {
    enum class Phase { Idle, Resolving, Connecting, Handshaking, Open, Done };

    mutable std::mutex mutex;
    EventHandler handler;
    StreamStatus status = StreamStatus::NotOpen;
    Phase phase = Phase::Idle;
    std::optional<Error> error;

    std::vector<Address> addresses;
    size_t nextAddress = 0;
    int lastConnectErrno = ECONNREFUSED;

    int fd = -1;
    uint64_t registration = 0;
    SSL* ssl = nullptr;
    // Events the socket is armed for. Registrations are one-shot: after an
    // event the socket is quiet until re-armed, so a reader that has not
    // yet caught up is not woken again and again.
    uint32_t interest = 0;
    bool spaceAvailable = false;
    bool readWaitsForWrite = false;  // TLS: a read needs the socket writable
    bool writeWaitsForRead = false;  // TLS: a write needs the socket readable
    bool pendingAnnounced = false;   // TLS: an event for buffered bytes is on its way
};

std::shared_ptr<SocketStreamPair> SocketStreamPair::create(std::string host, uint16_t port,
                                                           std::optional<TlsSettings> tls) {
    return std::shared_ptr<SocketStreamPair>(
        new SocketStreamPair(std::move(host), port, std::move(tls)));
}

SocketStreamPair::SocketStreamPair(std::string host, uint16_t port, std::optional<TlsSettings> tls)
    : host_(std::move(host)), port_(port), tls_(std::move(tls)), impl_(std::make_unique<Impl>()) {
    if (tls_ && tls_->peerName.empty()) tls_->peerName = host_;
}

SocketStreamPair::~SocketStreamPair() {
    close();
}

void SocketStreamPair::setEventHandler(EventHandler handler) {
    std::lock_guard lock(impl_->mutex);
    impl_->handler = std::move(handler);
}

StreamStatus SocketStreamPair::status() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->status;
}

std::optional<Error> SocketStreamPair::error() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->error;
}

// Everything below that ends in "Locked" runs with impl_->mutex held. Events
// found under the lock are collected and delivered after it is released.
namespace {

using Events = std::vector<StreamEvent>;

}  // namespace

struct StreamOps {
    // Adds events to wait for (a no-op when they are armed already).
    static void arm(SocketStreamPair::Impl& s, uint32_t bits) {
        if ((s.interest & bits) == bits) return;
        s.interest |= bits;
        rearm(s);
    }

    // Re-enables the one-shot registration for the events still wanted.
    static void rearm(SocketStreamPair::Impl& s) {
        if (s.registration && s.interest)
            NetworkThread::shared().modify(s.registration, s.interest | EPOLLONESHOT);
    }

    // A read or write failed: the caller sees -1 and reads error().
    static long ioFailedLocked(SocketStreamPair::Impl& s, Error error) {
        s.status = StreamStatus::Error;
        s.error = std::move(error);
        return -1;
    }

    static void failLocked(SocketStreamPair::Impl& s, Error error, Events& events) {
        if (s.status == StreamStatus::Closed || s.status == StreamStatus::Error) return;
        s.status = StreamStatus::Error;
        s.phase = SocketStreamPair::Impl::Phase::Done;
        s.error = std::move(error);
        events.push_back(StreamEvent::ErrorOccurred);
    }

    static void becomeOpenLocked(SocketStreamPair::Impl& s, Events& events) {
        s.phase = SocketStreamPair::Impl::Phase::Open;
        s.status = StreamStatus::Open;
        s.spaceAvailable = true;
        s.interest = 0;
        arm(s, kIn);
        events.push_back(StreamEvent::OpenCompleted);
        events.push_back(StreamEvent::HasSpaceAvailable);
    }

    static void handshakeLocked(SocketStreamPair& pair, SocketStreamPair::Impl& s, Events& events) {
        ERR_clear_error();
        const int r = SSL_do_handshake(s.ssl);
        if (r == 1) {
            becomeOpenLocked(s, events);
            return;
        }
        const int err = SSL_get_error(s.ssl, r);
        s.interest = 0;
        if (err == SSL_ERROR_WANT_READ) {
            arm(s, kIn);
            return;
        }
        if (err == SSL_ERROR_WANT_WRITE) {
            arm(s, kOut);
            return;
        }
        const long verify = SSL_get_verify_result(s.ssl);
        if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
            // Pinned or not, the certificate may be sound and still be
            // another server's: that is what the caller must be told.
            ERR_clear_error();
            failLocked(s,
                       Error(kTlsErrorDomain, kTlsHostNameMismatch,
                             "Host name mismatch: the server certificate is not for " +
                                 pair.tls_->peerName),
                       events);
            return;
        }
        if (verify != X509_V_OK) {
            ERR_clear_error();
            const bool pinned = !pair.tls_->pinnedCertificates.empty();
            failLocked(s,
                       Error(kTlsErrorDomain,
                             pinned ? kTlsPinnedCertificateNotFound : kTlsCertificateRejected,
                             std::string("certificate verify failed: ") +
                                 X509_verify_cert_error_string(verify)),
                       events);
            return;
        }
        const int savedErrno = errno;
        std::string text = detail::takeOpenSSLError("");
        if (text.empty())
            text = err == SSL_ERROR_SYSCALL && savedErrno ? std::strerror(savedErrno)
                                                          : "TLS handshake failed";
        failLocked(s, Error(kTlsErrorDomain, kTlsHandshakeFailed, text), events);
    }

    static void connectedLocked(SocketStreamPair& pair, SocketStreamPair::Impl& s, Events& events) {
        if (!pair.tls_) {
            becomeOpenLocked(s, events);
            return;
        }
        s.ssl = detail::newClientSSL(s.fd, *pair.tls_);
        if (!s.ssl) {
            failLocked(s,
                       Error(kTlsErrorDomain, kTlsHandshakeFailed,
                             detail::takeOpenSSLError("TLS set-up failed")),
                       events);
            return;
        }
        s.phase = SocketStreamPair::Impl::Phase::Handshaking;
        handshakeLocked(pair, s, events);
    }

    static void closeSocketLocked(SocketStreamPair::Impl& s) {
        if (s.registration) NetworkThread::shared().remove(s.registration);
        s.registration = 0;
        if (s.fd >= 0) ::close(s.fd);
        s.fd = -1;
    }

    // Network thread: tries the addresses in order until one connects.
    static void connectNextLocked(SocketStreamPair& pair, SocketStreamPair::Impl& s,
                                  Events& events) {
        while (s.nextAddress < s.addresses.size()) {
            const Address& a = s.addresses[s.nextAddress++];
            const int fd =
                ::socket(a.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                s.lastConnectErrno = errno;
                continue;
            }
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&a.storage), a.length);
            if (r != 0 && errno != EINPROGRESS) {
                s.lastConnectErrno = errno;
                ::close(fd);
                continue;
            }
            s.fd = fd;
            s.phase = SocketStreamPair::Impl::Phase::Connecting;
            std::weak_ptr<SocketStreamPair> weak = pair.weak_from_this();
            s.interest = kOut;
            s.registration =
                NetworkThread::shared().add(fd, kOut | EPOLLONESHOT, [weak](uint32_t ev) {
                    if (auto self = weak.lock()) self->onSocketEvents(ev);
                });
            if (!s.registration) {
                s.lastConnectErrno = errno;
                ::close(fd);
                s.fd = -1;
                continue;
            }
            return;
        }
        failLocked(s, posixError(s.lastConnectErrno), events);
    }
};

void SocketStreamPair::deliver(const std::vector<StreamEvent>& events) {
    if (events.empty()) return;
    EventHandler handler;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->pendingAnnounced = false;
        if (impl_->status == StreamStatus::Closed) return;
        handler = impl_->handler;
    }
    if (!handler) return;
    for (StreamEvent e : events)
        handler(e);
}

void SocketStreamPair::deliverLater(StreamEvent event) {
    std::weak_ptr<SocketStreamPair> weak = weak_from_this();
    NetworkThread::shared().post([weak, event] {
        if (auto self = weak.lock()) self->deliver({event});
    });
}

void SocketStreamPair::open() {
    {
        std::lock_guard lock(impl_->mutex);
        if (impl_->status != StreamStatus::NotOpen) return;
        impl_->status = StreamStatus::Opening;
        impl_->phase = Impl::Phase::Resolving;
    }
    std::weak_ptr<SocketStreamPair> weak = weak_from_this();
    auto startConnecting = [weak](std::vector<Address> addresses, std::optional<Error> failure) {
        NetworkThread::shared().post([weak, addresses = std::move(addresses), failure] {
            auto self = weak.lock();
            if (!self) return;
            Events events;
            {
                std::lock_guard lock(self->impl_->mutex);
                if (self->impl_->status != StreamStatus::Opening) return;
                if (failure) {
                    StreamOps::failLocked(*self->impl_, *failure, events);
                } else {
                    self->impl_->addresses = addresses;
                    StreamOps::connectNextLocked(*self, *self->impl_, events);
                }
            }
            self->deliver(events);
        });
    };

    Address numeric;
    if (numericAddress(host_, port_, numeric)) {
        startConnecting({numeric}, std::nullopt);
        return;
    }
    // Name look-up blocks, so it runs on a thread of its own.
    std::thread([host = host_, port = port_, startConnecting] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* list = nullptr;
        const std::string service = std::to_string(port);
        const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
        if (rc != 0) {
            const int code = rc == EAI_SYSTEM ? errno : rc;
            startConnecting({}, rc == EAI_SYSTEM
                                    ? posixError(code)
                                    : Error(kResolverErrorDomain, rc, gai_strerror(rc)));
            return;
        }
        std::vector<Address> addresses;
        for (addrinfo* a = list; a; a = a->ai_next) {
            Address address;
            std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
            address.length = a->ai_addrlen;
            addresses.push_back(address);
        }
        freeaddrinfo(list);
        startConnecting(std::move(addresses), std::nullopt);
    }).detach();
}

void SocketStreamPair::onSocketEvents(uint32_t ev) {
    Events events;
    {
        std::lock_guard lock(impl_->mutex);
        Impl& s = *impl_;
        switch (s.phase) {
            case Impl::Phase::Connecting: {
                int soError = 0;
                socklen_t len = sizeof soError;
                getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                if (soError == 0 && (ev & (EPOLLERR | EPOLLHUP))) soError = ECONNREFUSED;
                if (soError != 0) {
                    s.lastConnectErrno = soError;
                    StreamOps::closeSocketLocked(s);
                    StreamOps::connectNextLocked(*this, s, events);
                } else {
                    StreamOps::connectedLocked(*this, s, events);
                }
                break;
            }
            case Impl::Phase::Handshaking:
                StreamOps::handshakeLocked(*this, s, events);
                break;
            case Impl::Phase::Open: {
                const bool readable = (ev & (EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP)) != 0;
                const bool writable = (ev & (EPOLLOUT | EPOLLERR | EPOLLHUP)) != 0;
                uint32_t fired = 0;
                bool bytes = false, space = false;
                if (readable && (s.interest & kIn)) {
                    fired |= kIn;
                    if (s.writeWaitsForRead)
                        space = true;
                    else
                        bytes = true;
                }
                if (writable && (s.interest & kOut)) {
                    fired |= kOut;
                    if (s.readWaitsForWrite)
                        bytes = true;
                    else
                        space = true;
                }
                s.interest &= ~fired;
                s.readWaitsForWrite = s.readWaitsForWrite && !(fired & kOut);
                s.writeWaitsForRead = s.writeWaitsForRead && !(fired & kIn);
                if (space) s.spaceAvailable = true;
                // Re-arm what is still wanted; the one-shot registration is quiet now.
                StreamOps::rearm(s);
                if (bytes) events.push_back(StreamEvent::HasBytesAvailable);
                if (space) events.push_back(StreamEvent::HasSpaceAvailable);
                break;
            }
            default:
                break;
        }
    }
    deliver(events);
}

long SocketStreamPair::read(uint8_t* buffer, size_t capacity) {
    if (capacity == 0) return 0;
    std::unique_lock lock(impl_->mutex);
    Impl& s = *impl_;
    if (s.status == StreamStatus::Error) return -1;
    if (s.status != StreamStatus::Open) return 0;
    const int want = static_cast<int>(std::min<size_t>(capacity, INT_MAX));

    auto reachedEnd = [&] {
        s.status = StreamStatus::AtEnd;
        lock.unlock();
        deliverLater(StreamEvent::EndEncountered);
        return 0L;
    };
    auto failed = [&s](Error error) { return StreamOps::ioFailedLocked(s, std::move(error)); };

    if (s.ssl) {
        ERR_clear_error();
        const int n = SSL_read(s.ssl, buffer, want);
        if (n > 0) {
            // Whatever remains is announced again. Decrypted bytes may wait
            // inside the TLS layer, where the socket's readiness cannot
            // announce them.
            if (SSL_pending(s.ssl) > 0) {
                if (!s.pendingAnnounced) {
                    s.pendingAnnounced = true;
                    lock.unlock();
                    deliverLater(StreamEvent::HasBytesAvailable);
                }
            } else {
                StreamOps::arm(s, kIn);
            }
            return n;
        }
        const int err = SSL_get_error(s.ssl, n);
        switch (err) {
            case SSL_ERROR_WANT_READ:
                StreamOps::arm(s, kIn);
                return 0;
            case SSL_ERROR_WANT_WRITE:
                s.readWaitsForWrite = true;
                StreamOps::arm(s, kOut);
                return 0;
            case SSL_ERROR_ZERO_RETURN:
                return reachedEnd();
            case SSL_ERROR_SYSCALL:
                if (errno == 0 || n == 0) return reachedEnd();
                return failed(posixError(errno));
            default:
                return failed(Error(kTlsErrorDomain, kTlsConnectionFailed,
                                    detail::takeOpenSSLError("TLS error")));
        }
    }

    while (true) {
        const ssize_t n = ::recv(s.fd, buffer, static_cast<size_t>(want), 0);
        if (n > 0) {
            StreamOps::arm(s, kIn);  // whatever remains is announced again
            return static_cast<long>(n);
        }
        if (n == 0) return reachedEnd();
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            StreamOps::arm(s, kIn);
            return 0;
        }
        return failed(posixError(errno));
    }
}

bool SocketStreamPair::hasBytesAvailable() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->status == StreamStatus::Open;
}

long SocketStreamPair::write(const uint8_t* bytes, size_t length) {
    std::lock_guard lock(impl_->mutex);
    Impl& s = *impl_;
    if (s.status == StreamStatus::Error) return -1;
    if (s.status != StreamStatus::Open && s.status != StreamStatus::AtEnd) {
        s.error = posixError(s.status == StreamStatus::Closed ? EBADF : ENOTCONN);
        return -1;
    }
    if (length == 0) return 0;
    auto blocked = [&] {
        s.spaceAvailable = false;
        StreamOps::arm(s, kOut);
        return 0L;
    };
    auto failed = [&s](Error error) { return StreamOps::ioFailedLocked(s, std::move(error)); };

    if (s.ssl) {
        ERR_clear_error();
        const int n = SSL_write(s.ssl, bytes, static_cast<int>(std::min<size_t>(length, 1u << 30)));
        if (n > 0) {
            if (static_cast<size_t>(n) < length) blocked();
            return n;
        }
        switch (SSL_get_error(s.ssl, n)) {
            case SSL_ERROR_WANT_WRITE:
                return blocked();
            case SSL_ERROR_WANT_READ:
                s.spaceAvailable = false;
                s.writeWaitsForRead = true;
                StreamOps::arm(s, kIn);
                return 0;
            case SSL_ERROR_SYSCALL:
                return failed(posixError(errno ? errno : EPIPE));
            default:
                return failed(Error(kTlsErrorDomain, kTlsConnectionFailed,
                                    detail::takeOpenSSLError("TLS error")));
        }
    }

    while (true) {
        const ssize_t n = ::send(s.fd, bytes, length, MSG_NOSIGNAL);
        if (n >= 0) {
            if (static_cast<size_t>(n) < length) blocked();
            return static_cast<long>(n);
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return blocked();
        return failed(posixError(errno));
    }
}

bool SocketStreamPair::hasSpaceAvailable() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->spaceAvailable &&
           (impl_->status == StreamStatus::Open || impl_->status == StreamStatus::AtEnd);
}

void SocketStreamPair::close() {
    int fd;
    SSL* ssl;
    {
        std::lock_guard lock(impl_->mutex);
        Impl& s = *impl_;
        if (s.status == StreamStatus::Closed) return;
        s.status = StreamStatus::Closed;
        s.phase = Impl::Phase::Done;
        s.handler = nullptr;
        if (s.registration) NetworkThread::shared().remove(s.registration);
        s.registration = 0;
        fd = s.fd;
        ssl = s.ssl;
        s.fd = -1;
        s.ssl = nullptr;
    }
    if (fd < 0 && !ssl) return;
    // The descriptor is closed on the network thread, after any handler that
    // is running there now has finished with it.
    NetworkThread::shared().post([fd, ssl] {
        if (ssl) {
            SSL_shutdown(ssl);  // best effort: one close_notify, no waiting
            SSL_free(ssl);
            ERR_clear_error();
        }
        if (fd >= 0) ::close(fd);
    });
}

}  // namespace platform::net
