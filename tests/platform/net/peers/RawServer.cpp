#include "tests/platform/net/peers/RawServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/Crypto.h"

namespace kavtest {

int ClientFrame::closeCode() const {
    if (payload.size() < 2) return 0;
    return (static_cast<uint8_t>(payload[0]) << 8) | static_cast<uint8_t>(payload[1]);
}

std::string ClientFrame::closeReason() const {
    return payload.size() > 2 ? payload.substr(2) : std::string();
}

RawConnection::~RawConnection() {
    close();
}

void RawConnection::close() {
    if (fd_ < 0) return;
    listener_.untrack(fd_);
    ::close(fd_);
    fd_ = -1;
}

void RawConnection::reset() {
    if (fd_ < 0) return;
    const linger hard{1, 0};  // closed at once with a reset, not an orderly end
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close();
}

void RawConnection::shutdownWrite() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void RawConnection::write(std::string_view bytes) {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

bool RawConnection::fill(size_t need, double timeout) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::duration_cast<clock::duration>(
                                             std::chrono::duration<double>(timeout));
    while (in_.size() < need) {
        if (fd_ < 0) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buf[65536];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        in_.append(buf, static_cast<size_t>(n));
    }
    return true;
}

std::string RawConnection::readRequestHead(double timeout) {
    while (true) {
        const size_t end = in_.find("\r\n\r\n");
        if (end != std::string::npos) {
            head_ = in_.substr(0, end + 4);
            in_.erase(0, end + 4);
            return head_;
        }
        if (!fill(in_.size() + 1, timeout)) return {};
    }
}

std::optional<std::string> RawConnection::requestField(std::string_view name) const {
    size_t pos = head_.find("\r\n");
    while (pos != std::string::npos && pos + 2 < head_.size()) {
        const size_t end = head_.find("\r\n", pos + 2);
        if (end == std::string::npos) break;
        const std::string line = head_.substr(pos + 2, end - pos - 2);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && colon == name.size()) {
            bool same = true;
            for (size_t i = 0; i < colon; ++i)
                same = same && std::tolower(static_cast<unsigned char>(line[i])) ==
                                   std::tolower(static_cast<unsigned char>(name[i]));
            if (same) {
                size_t v = colon + 1;
                while (v < line.size() && line[v] == ' ')
                    ++v;
                return line.substr(v);
            }
        }
        pos = end;
    }
    return std::nullopt;
}

std::string RawConnection::acceptValue() const {
    const std::string key = requestField("Sec-WebSocket-Key").value_or("");
    return platform::crypto::base64Encode(
        platform::crypto::sha1(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"));
}

void RawConnection::acceptHandshake(const std::string& extraFields) {
    write(
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: "
        "Upgrade\r\nSec-WebSocket-Accept: " +
        acceptValue() + "\r\n" + extraFields + "\r\n");
}

std::string RawConnection::readBytes(size_t count, double timeout) {
    fill(count, timeout);
    std::string out = in_.substr(0, count);
    in_.erase(0, out.size());
    return out;
}

namespace {

// The first frame of `in` when it is complete there, with its length.
std::optional<ClientFrame> parseFrame(const std::string& in, size_t& length) {
    if (in.size() < 2) return std::nullopt;
    ClientFrame f;
    const auto b0 = static_cast<uint8_t>(in[0]), b1 = static_cast<uint8_t>(in[1]);
    f.fin = b0 & 0x80;
    f.rsv = (b0 >> 4) & 0x7;
    f.opcode = b0 & 0x0F;
    f.masked = b1 & 0x80;
    f.lengthCode = b1 & 0x7F;
    const size_t header = 2 +
                          (f.lengthCode == 126   ? 2
                           : f.lengthCode == 127 ? 8
                                                 : 0) +
                          (f.masked ? 4 : 0);
    if (in.size() < header) return std::nullopt;
    uint64_t payload = f.lengthCode;
    if (f.lengthCode == 126) payload = (uint64_t(uint8_t(in[2])) << 8) | uint8_t(in[3]);
    if (f.lengthCode == 127) {
        payload = 0;
        for (int i = 2; i < 10; ++i)
            payload = (payload << 8) | uint8_t(in[i]);
    }
    if (in.size() - header < payload) return std::nullopt;
    f.payload = in.substr(header, payload);
    if (f.masked) {
        const std::string key = in.substr(header - 4, 4);
        for (size_t i = 0; i < f.payload.size(); ++i)
            f.payload[i] = static_cast<char>(f.payload[i] ^ key[i % 4]);
    }
    length = header + payload;
    return f;
}

}  // namespace

std::optional<ClientFrame> RawConnection::readFrame(double timeout) {
    size_t length = 0;
    while (true) {
        if (auto f = parseFrame(in_, length)) {
            in_.erase(0, length);
            return f;
        }
        if (!fill(in_.size() + 1, timeout)) return std::nullopt;
    }
}

size_t RawConnection::writeUnlessStalled(std::string_view bytes, double stall) {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(stall * 1000)) == 0) break;  // stalled
    }
    return done;
}

std::optional<ClientFrame> RawConnection::floodUntilClose(std::string_view flood, double timeout,
                                                          size_t startAt) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::duration_cast<clock::duration>(
                                             std::chrono::duration<double>(timeout));
    size_t offset = startAt % flood.size();
    size_t length = 0;
    while (fd_ >= 0 && clock::now() < deadline) {
        while (auto f = parseFrame(in_, length)) {
            in_.erase(0, length);
            if (f->opcode == 8) return f;
        }
        pollfd p{fd_, POLLIN | POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[65536];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return std::nullopt;
            if (n > 0) in_.append(buf, static_cast<size_t>(n));
        }
        if (p.revents & POLLOUT) {
            const ssize_t n = ::send(fd_, flood.data() + offset, flood.size() - offset,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) offset = (offset + static_cast<size_t>(n)) % flood.size();
        }
    }
    return std::nullopt;
}

std::optional<ClientFrame> RawConnection::readUntilClose(double timeout) {
    while (auto f = readFrame(timeout))
        if (f->opcode == 8) return f;
    return std::nullopt;
}

bool RawConnection::waitForEnd(double timeout) {
    while (fill(in_.size() + 1, timeout))
        in_.clear();
    return eof_;
}

std::string serverFrame(uint8_t opcode, std::string_view payload, bool fin, uint8_t rsv) {
    std::string out;
    out.push_back(static_cast<char>((fin ? 0x80 : 0) | ((rsv & 7) << 4) | (opcode & 0x0F)));
    const uint64_t n = payload.size();
    if (n < 126) {
        out.push_back(static_cast<char>(n));
    } else if (n <= 0xFFFF) {
        out.push_back(126);
        out.push_back(static_cast<char>(n >> 8));
        out.push_back(static_cast<char>(n));
    } else {
        out.push_back(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>(n >> shift));
    }
    out.append(payload);
    return out;
}

std::string closeFramePayload(int code, std::string_view reason) {
    std::string p;
    p.push_back(static_cast<char>(code >> 8));
    p.push_back(static_cast<char>(code));
    p.append(reason);
    return p;
}

RawServer::RawServer(Script script) : script_(std::move(script)) {
    listener_ = std::make_unique<Listener>([this](int fd, Listener& listener) {
        RawConnection connection(fd, listener);
        script_(connection);
    });
}

std::string RawServer::url(const std::string& path) const {
    return "ws://127.0.0.1:" + std::to_string(port()) + path;
}

}  // namespace kavtest
