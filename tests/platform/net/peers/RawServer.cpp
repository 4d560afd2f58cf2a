#include "tests/platform/net/peers/RawServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

std::optional<ClientFrame> RawConnection::readFrame(double timeout) {
    if (!fill(2, timeout)) return std::nullopt;
    ClientFrame f;
    const auto b0 = static_cast<uint8_t>(in_[0]), b1 = static_cast<uint8_t>(in_[1]);
    f.fin = b0 & 0x80;
    f.rsv = (b0 >> 4) & 0x7;
    f.opcode = b0 & 0x0F;
    f.masked = b1 & 0x80;
    f.lengthCode = b1 & 0x7F;
    size_t header = 2 +
                    (f.lengthCode == 126   ? 2
                     : f.lengthCode == 127 ? 8
                                           : 0) +
                    (f.masked ? 4 : 0);
    if (!fill(header, timeout)) return std::nullopt;
    uint64_t length = f.lengthCode;
    if (f.lengthCode == 126) length = (uint64_t(uint8_t(in_[2])) << 8) | uint8_t(in_[3]);
    if (f.lengthCode == 127) {
        length = 0;
        for (int i = 2; i < 10; ++i)
            length = (length << 8) | uint8_t(in_[i]);
    }
    if (!fill(header + length, timeout)) return std::nullopt;
    f.payload = in_.substr(header, length);
    if (f.masked) {
        const std::string key = in_.substr(header - 4, 4);
        for (size_t i = 0; i < f.payload.size(); ++i)
            f.payload[i] = static_cast<char>(f.payload[i] ^ key[i % 4]);
    }
    in_.erase(0, header + length);
    return f;
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
