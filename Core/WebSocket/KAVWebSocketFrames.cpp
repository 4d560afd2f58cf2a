#include "Core/WebSocket/KAVWebSocketFrames.h"

#include <cstring>

#include "platform/Strings.h"

namespace kavws {

bool isValidCloseCode(int code) {
    return (code >= 1000 && code <= 1003) || (code >= 1007 && code <= 1014) ||
           (code >= 3000 && code <= 4999);
}

bool Utf8Validator::feed(const uint8_t* p, size_t n) {
    if (failed_) return false;
    size_t i = 0;
    while (i < n) {
        if (need_ == 0) {
            // Plain ASCII runs are checked a word at a time.
            while (i + 8 <= n) {
                uint64_t w;
                std::memcpy(&w, p + i, 8);
                if (w & 0x8080808080808080ull) break;
                i += 8;
            }
            if (i >= n) break;
            const uint8_t b = p[i++];
            if (b < 0x80) continue;
            lo_ = 0x80;
            hi_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                need_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                need_ = 2;
                if (b == 0xE0) lo_ = 0xA0;  // overlong
                if (b == 0xED) hi_ = 0x9F;  // surrogates
            } else if (b >= 0xF0 && b <= 0xF4) {
                need_ = 3;
                if (b == 0xF0) lo_ = 0x90;  // overlong
                if (b == 0xF4) hi_ = 0x8F;  // above U+10FFFF
            } else {
                failed_ = true;
                return false;
            }
        } else {
            const uint8_t b = p[i++];
            if (b < lo_ || b > hi_) {
                failed_ = true;
                return false;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            --need_;
        }
    }
    return true;
}

void maskCopy(uint8_t* dst, const uint8_t* src, size_t length, const uint8_t key[4],
              size_t keyOffset) {
    uint8_t rotated[8];
    for (size_t k = 0; k < 8; ++k)
        rotated[k] = key[(keyOffset + k) & 3];
    uint64_t wordKey;
    std::memcpy(&wordKey, rotated, 8);
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t w;
        std::memcpy(&w, src + i, 8);
        w ^= wordKey;
        std::memcpy(dst + i, &w, 8);
    }
    for (; i < length; ++i)
        dst[i] = src[i] ^ rotated[i & 7];
}

void appendFrame(std::string& out, uint8_t opcode, std::string_view payload,
                 const uint8_t maskKey[4]) {
    const uint64_t length = payload.size();
    uint8_t header[14];
    size_t h = 0;
    header[h++] = static_cast<uint8_t>(0x80 | (opcode & 0x0F));
    if (length < 126) {
        header[h++] = static_cast<uint8_t>(0x80 | length);
    } else if (length <= 0xFFFF) {
        header[h++] = 0x80 | 126;
        header[h++] = static_cast<uint8_t>(length >> 8);
        header[h++] = static_cast<uint8_t>(length);
    } else {
        header[h++] = 0x80 | 127;
        for (int shift = 56; shift >= 0; shift -= 8)
            header[h++] = static_cast<uint8_t>(length >> shift);
    }
    std::memcpy(header + h, maskKey, 4);
    h += 4;

    const size_t start = out.size();
    out.resize(start + h + payload.size());  // one allocation for the whole frame
    auto* dst = reinterpret_cast<uint8_t*>(out.data()) + start;
    std::memcpy(dst, header, h);
    maskCopy(dst + h, reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), maskKey);
}

std::string closePayload(int code, const std::optional<std::string>& reason) {
    std::string out;
    out.push_back(static_cast<char>((code >> 8) & 0xFF));
    out.push_back(static_cast<char>(code & 0xFF));
    if (reason) out += platform::utf8Truncate(*reason, kMaxCloseReasonBytes);
    return out;
}

bool FrameReader::fail(Handler& handler, int code, std::string reason) {
    stopped_ = true;
    handler.readerError(code, std::move(reason));
    return false;
}

// Called when the 2-byte header is in, and again once the extended length is.
bool FrameReader::headerComplete(Handler& handler) {
    if (headerNeed_ == 2) {
        const uint8_t b0 = header_[0], b1 = header_[1];
        if (b0 & 0x70) return fail(handler, kCloseProtocolError, "Server used RSV bits");
        opcode_ = b0 & 0x0F;
        fin_ = (b0 & 0x80) != 0;
        if ((opcode_ >= 3 && opcode_ <= 7) || opcode_ >= 11)
            return fail(handler, kCloseProtocolError,
                        platform::stringf("Unknown opcode %ld", static_cast<long>(opcode_)));
        if (opcode_ < 8) {
            if (opcode_ != 0 && messageOpcode_ != 0)
                return fail(handler, kCloseProtocolError,
                            "all data frames after the initial data frame must have opcode 0");
            if (opcode_ == 0 && messageOpcode_ == 0)
                return fail(handler, kCloseProtocolError, "cannot continue a message");
        }
        if (b1 & 0x80)
            return fail(handler, kCloseProtocolError, "Client must receive unmasked data");
        const uint8_t code = b1 & 0x7F;
        if (code == 126 || code == 127) {
            headerNeed_ = code == 126 ? 4 : 10;
            return true;  // the extended length follows
        }
    }

    uint64_t length = header_[1] & 0x7F;
    if (headerNeed_ == 4) {
        length = (uint64_t(header_[2]) << 8) | header_[3];
    } else if (headerNeed_ == 10) {
        length = 0;
        for (int k = 2; k < 10; ++k)
            length = (length << 8) | header_[k];
        if (length >> 63) return fail(handler, kCloseProtocolError, "Invalid frame length");
    }

    const bool control = opcode_ >= 8;
    if (control) {
        if (!fin_)
            return fail(handler, kCloseProtocolError, "Fragmented control frames not allowed");
        if (length > 125)
            return fail(handler, kCloseProtocolError,
                        "Control frames cannot have payloads larger than 126 bytes");
        control_.clear();
    } else {
        if (messageOpcode_ == 0) {
            messageOpcode_ = opcode_;
            message_.clear();
            utf8_.reset();
        }
        if (length > maxMessage_ - message_.size())
            return fail(handler, kCloseTooBig, "Message too big");
        message_.reserve(message_.size() + static_cast<size_t>(length) + kRoomBehind);
    }
    remaining_ = length;
    inPayload_ = true;
    headerHave_ = 0;
    headerNeed_ = 2;
    if (remaining_ == 0) return finishFrame(handler);
    return true;
}

bool FrameReader::finishFrame(Handler& handler) {
    inPayload_ = false;
    switch (opcode_) {
        case kOpClose: {
            if (control_.size() == 1)
                return fail(handler, kCloseProtocolError,
                            "Payload for close must be larger than 2 bytes");
            int code = kCloseNoStatus;
            std::optional<std::string> reason;
            if (control_.size() >= 2) {
                code = (static_cast<uint8_t>(control_[0]) << 8) | static_cast<uint8_t>(control_[1]);
                if (!isValidCloseCode(code))
                    return fail(handler, kCloseProtocolError,
                                platform::stringf("Cannot have close code of %d", code));
                if (control_.size() > 2) {
                    reason = control_.substr(2);
                    if (!platform::isValidUtf8(*reason))
                        return fail(handler, kCloseProtocolError,
                                    "Close reason MUST be valid UTF-8");
                }
            }
            stopped_ = true;
            handler.readerClose(code, std::move(reason));
            return false;
        }
        case kOpPing:
            handler.readerPing(std::move(control_));
            control_.clear();
            return true;
        case kOpPong:
            handler.readerPong(std::move(control_));
            control_.clear();
            return true;
        default:
            break;
    }
    if (!fin_) return true;
    if (messageOpcode_ == kOpText && !utf8_.complete())
        return fail(handler, kCloseInvalidData, "Text frames must be valid UTF-8");
    const uint8_t opcode = messageOpcode_;
    messageOpcode_ = 0;
    std::string message = std::move(message_);
    message_ = std::string();
    handler.readerMessage(opcode, std::move(message));
    return !stopped_;
}

size_t FrameReader::feed(const uint8_t* bytes, size_t length, Handler& handler) {
    size_t pos = 0;
    while (pos < length && !stopped_) {
        if (!inPayload_) {
            const size_t take = std::min(headerNeed_ - headerHave_, length - pos);
            std::memcpy(header_ + headerHave_, bytes + pos, take);
            headerHave_ += take;
            pos += take;
            if (headerHave_ == headerNeed_ && !headerComplete(handler)) break;
            continue;
        }
        const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, length - pos));
        const uint8_t* chunk = bytes + pos;
        pos += take;
        remaining_ -= take;
        if (opcode_ >= 8) {
            control_.append(reinterpret_cast<const char*>(chunk), take);
        } else {
            message_.append(reinterpret_cast<const char*>(chunk), take);
            if (messageOpcode_ == kOpText && !utf8_.feed(chunk, take)) {
                fail(handler, kCloseInvalidData, "Text frames must be valid UTF-8");
                break;
            }
        }
        if (remaining_ == 0 && !finishFrame(handler)) break;
    }
    return pos;
}

}  // namespace kavws
