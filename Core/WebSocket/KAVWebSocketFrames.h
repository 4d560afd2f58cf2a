#pragma once

// The byte level of a WebSocket client connection: building the frames it
// sends and reading the frames it receives. Nothing here does I/O, so the
// reader can be fed from a socket, a test or a fuzzer alike.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavws {

enum Opcode : uint8_t {
    kOpContinuation = 0,
    kOpText = 1,
    kOpBinary = 2,
    kOpClose = 8,
    kOpPing = 9,
    kOpPong = 10,
};

// Close codes this client sends.
enum CloseCode : int {
    kCloseNormal = 1000,
    kCloseGoingAway = 1001,
    kCloseProtocolError = 1002,
    kCloseNoStatus = 1005,
    kCloseAbnormal = 1006,
    kCloseInvalidData = 1007,
    kCloseTooBig = 1009,
};

// Largest message accepted from a server: a bigger one is refused as soon as
// a frame header announces it, before its bytes are held.
inline constexpr size_t kMaxMessageSize = 16u << 20;
// Largest close reason that fits a control frame beside the 2-byte code.
inline constexpr size_t kMaxCloseReasonBytes = 123;

// Codes a peer may send in a close frame.
bool isValidCloseCode(int code);

// Strict incremental UTF-8 check (no overlong forms, no surrogates, nothing
// above U+10FFFF). It fails at the first byte that cannot continue valid
// text, even when the text is still incomplete, and accepts a code point
// whose bytes arrive in separate pieces.
class Utf8Validator {
  public:
    // False from the first invalid byte on.
    bool feed(const uint8_t* bytes, size_t length);
    // True when everything fed so far is valid and ends on a code point boundary.
    bool complete() const { return !failed_ && need_ == 0; }
    void reset() { *this = Utf8Validator(); }

  private:
    uint8_t need_ = 0;               // continuation bytes still expected
    uint8_t lo_ = 0x80, hi_ = 0xBF;  // allowed range of the next one
    bool failed_ = false;
};

// Copies `length` bytes, XORed with the 4-byte mask key, eight bytes at a time.
// `keyOffset` is the position of the first byte within the masked payload.
void maskCopy(uint8_t* dst, const uint8_t* src, size_t length, const uint8_t key[4],
              size_t keyOffset = 0);

// Appends one final frame, masked with `maskKey`, to `out`.
void appendFrame(std::string& out, uint8_t opcode, std::string_view payload,
                 const uint8_t maskKey[4]);

// The payload of a close frame: the code (16-bit big-endian) and the reason,
// cut at a UTF-8 boundary so that the frame stays within 125 bytes.
std::string closePayload(int code, const std::optional<std::string>& reason);

// Reads frames from the bytes a server sends, as they arrive in pieces of
// any size, and reports whole messages, control frames and protocol errors.
class FrameReader {
  public:
    class Handler {
      public:
        virtual ~Handler() = default;
        // A whole text (valid UTF-8) or binary message.
        virtual void readerMessage(uint8_t opcode, std::string&& payload) = 0;
        virtual void readerPing(std::string&& payload) = 0;
        virtual void readerPong(std::string&& payload) = 0;
        // A valid close frame (code 1005 and no reason when it was empty).
        // The reader stops after it.
        virtual void readerClose(int code, std::optional<std::string>&& reason) = 0;
        // The server broke the protocol: the close code and reason this
        // client answers with. The reader stops; nothing after it is read.
        virtual void readerError(int closeCode, std::string&& reason) = 0;
    };

    explicit FrameReader(size_t maxMessageSize = kMaxMessageSize) : maxMessage_(maxMessageSize) {}

    // Capacity left to spare behind every message handed on, so that a
    // reader that reads ahead (the JSON parser) can read it where it lies.
    static constexpr size_t kRoomBehind = 64;

    // Parses what it can and returns how many bytes it took; after a close
    // frame or an error it takes nothing more.
    size_t feed(const uint8_t* bytes, size_t length, Handler& handler);
    bool stopped() const { return stopped_; }
    // True while a fragmented message is in progress.
    bool inMessage() const { return messageOpcode_ != 0; }

  private:
    bool headerComplete(Handler& handler);
    bool finishFrame(Handler& handler);
    bool fail(Handler& handler, int code, std::string reason);

    size_t maxMessage_;
    bool stopped_ = false;

    uint8_t header_[10] = {};
    size_t headerHave_ = 0;
    size_t headerNeed_ = 2;
    bool inPayload_ = false;

    bool fin_ = false;
    uint8_t opcode_ = 0;
    uint64_t remaining_ = 0;

    uint8_t messageOpcode_ = 0;  // opcode of the message in progress, 0 = none
    std::string message_;
    Utf8Validator utf8_;
    std::string control_;
};

}  // namespace kavws
