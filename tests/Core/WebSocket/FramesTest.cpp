#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Core/WebSocket/KAVWebSocketFrames.h"
#include "platform/Strings.h"
#include "tests/platform/net/peers/RawServer.h"

using namespace kavws;
using kavtest::serverFrame;

namespace {

const uint8_t kMaskKey[4] = {0x12, 0x34, 0x56, 0x78};

std::string frame(uint8_t opcode, const std::string& payload) {
    std::string out;
    appendFrame(out, opcode, payload, kMaskKey);
    return out;
}

// Records reader events as text, for comparing whole sequences.
struct Events : FrameReader::Handler {
    std::vector<std::string> seen;
    void readerMessage(uint8_t opcode, std::string&& p) override {
        seen.push_back((opcode == kOpText ? "text:" : "binary:") + p);
    }
    void readerPing(std::string&& p) override { seen.push_back("ping:" + p); }
    void readerPong(std::string&& p) override { seen.push_back("pong:" + p); }
    void readerClose(int code, std::optional<std::string>&& r) override {
        seen.push_back("close:" + std::to_string(code) + ":" + r.value_or("<none>"));
    }
    void readerError(int code, std::string&& r) override {
        seen.push_back("error:" + std::to_string(code) + ":" + r);
    }
};

std::vector<std::string> readAll(const std::string& bytes, size_t chunk = 0,
                                 size_t maxMessage = kMaxMessageSize) {
    FrameReader reader(maxMessage);
    Events events;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    if (chunk == 0) {
        reader.feed(p, bytes.size(), events);
    } else {
        for (size_t i = 0; i < bytes.size() && !reader.stopped(); i += chunk)
            reader.feed(p + i, std::min(chunk, bytes.size() - i), events);
    }
    return events.seen;
}

TEST(FrameWriter, LengthEncodingAtEachBoundary) {
    struct Case {
        size_t size;
        size_t headerBytes;
        uint8_t lengthCode;
    };
    for (const Case c : {Case{0, 2, 0}, Case{125, 2, 125}, Case{126, 4, 126}, Case{65535, 4, 126},
                         Case{65536, 10, 127}}) {
        const std::string payload(c.size, 'x');
        const std::string f = frame(kOpBinary, payload);
        ASSERT_EQ(f.size(), c.headerBytes + 4 + c.size) << c.size;
        EXPECT_EQ(static_cast<uint8_t>(f[0]), 0x82);
        EXPECT_EQ(static_cast<uint8_t>(f[1]), 0x80 | c.lengthCode);
        uint64_t announced = c.lengthCode;
        if (c.lengthCode == 126) announced = (uint8_t(f[2]) << 8) | uint8_t(f[3]);
        if (c.lengthCode == 127)
            for (int i = 2; i < 10; ++i)
                announced = (i == 2 ? 0 : announced << 8) | uint8_t(f[i]);
        EXPECT_EQ(announced, c.size);
        EXPECT_EQ(f.substr(c.headerBytes, 4), std::string(reinterpret_cast<const char*>(kMaskKey), 4));
    }
    // An empty text message: 0x81, 0x80 and the key.
    EXPECT_EQ(frame(kOpText, "").size(), 6u);
    EXPECT_EQ(static_cast<uint8_t>(frame(kOpText, "")[0]), 0x81);
}

TEST(FrameWriter, WordWiseMaskingMatchesBytewiseAtEveryOffsetAndLength) {
    std::mt19937 rng(7);
    for (size_t length : {0u, 1u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 1000u}) {
        for (size_t offset = 0; offset < 4; ++offset) {
            std::vector<uint8_t> src(length), dst(length);
            for (auto& b : src)
                b = static_cast<uint8_t>(rng());
            maskCopy(dst.data(), src.data(), length, kMaskKey, offset);
            for (size_t i = 0; i < length; ++i)
                ASSERT_EQ(dst[i], src[i] ^ kMaskKey[(i + offset) % 4])
                    << length << "/" << offset << "/" << i;
        }
    }
}

TEST(FrameWriter, CloseReasonIsCutAtACodePointBoundary) {
    std::string reason;
    for (int i = 0; i < 60; ++i)
        reason += "\xC3\xA9";    // é, two bytes each: 120 bytes
    reason += "ab\xE2\x82\xAC";  // 125 bytes; the euro sign would straddle byte 123
    const std::string p = closePayload(1002, reason);
    EXPECT_EQ(p.size(), 2u + 122u);
    EXPECT_TRUE(platform::isValidUtf8(p.substr(2)));
    EXPECT_EQ(p.substr(0, 2), std::string("\x03\xEA", 2));
    EXPECT_EQ(closePayload(1000, std::nullopt), std::string("\x03\xE8", 2));
}

TEST(Utf8Validator, StrictAndIncremental) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"plain ascii", true},
        {std::string("nul\0inside", 10), true},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true},  // é € 😀
        {"\xF4\x8F\xBF\xBF", true},                      // U+10FFFF
        {"\xC0\xAF", false},                             // overlong '/'
        {"\xE0\x80\xAF", false},                         // overlong
        {"\xF0\x80\x80\xAF", false},                     // overlong
        {"\xED\xA0\x80", false},                         // surrogate
        {"\xF4\x90\x80\x80", false},                     // above U+10FFFF
        {"\xFF", false},
        {"\x80", false},
        {"\xC3\x28", false},
    };
    for (const auto& c : cases) {
        // Fed whole, and split at every byte.
        Utf8Validator whole;
        EXPECT_EQ(whole.feed(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()) &&
                      whole.complete(),
                  c.valid)
            << c.bytes;
        Utf8Validator split;
        bool ok = true;
        for (char b : c.bytes)
            ok = ok && split.feed(reinterpret_cast<const uint8_t*>(&b), 1);
        EXPECT_EQ(ok && split.complete(), c.valid) << c.bytes;
    }
    // A code point cut by the end is not complete, but not failed either.
    Utf8Validator cut;
    EXPECT_TRUE(cut.feed(reinterpret_cast<const uint8_t*>("a\xE2\x82"), 3));
    EXPECT_FALSE(cut.complete());
    // It fails at the first bad byte, before the rest arrives.
    Utf8Validator early;
    EXPECT_FALSE(early.feed(reinterpret_cast<const uint8_t*>("ok\xFF"), 3));
}

TEST(FrameReader, SameEventsWhateverTheChunking) {
    std::string bytes;
    bytes += serverFrame(kOpText, "Hel", false);
    bytes += serverFrame(kOpPing, "p1");
    bytes +=
        serverFrame(kOpContinuation, "lo \xE2\x82", false);  // the euro sign is split across frames
    bytes += serverFrame(kOpPong, "");
    bytes += serverFrame(kOpContinuation, "\xAC", true);
    bytes += serverFrame(kOpBinary, std::string(70000, '\x01'));
    bytes += serverFrame(kOpText, "");
    bytes += serverFrame(kOpClose, kavtest::closeFramePayload(1000, "bye"));
    bytes += serverFrame(kOpText, "after the close");
    const std::vector<std::string> expected = {"ping:p1",
                                               "pong:",
                                               "text:Hello \xE2\x82\xAC",
                                               "binary:" + std::string(70000, '\x01'),
                                               "text:",
                                               "close:1000:bye"};
    for (size_t chunk : {0u, 1u, 2u, 3u, 5u, 126u, 2048u})
        EXPECT_EQ(readAll(bytes, chunk), expected) << "chunk " << chunk;
}

// Every message is handed on with room to spare behind it, whole or in
// pieces, so that the JSON parser reads it where it lies.
TEST(FrameReader, MessagesLeaveRoomBehindThem) {
    struct Capacities : FrameReader::Handler {
        std::vector<std::pair<size_t, size_t>> messages;  // size, capacity
        void readerMessage(uint8_t, std::string&& p) override {
            messages.emplace_back(p.size(), p.capacity());
        }
        void readerPing(std::string&&) override {}
        void readerPong(std::string&&) override {}
        void readerClose(int, std::optional<std::string>&&) override {}
        void readerError(int, std::string&&) override {}
    } seen;
    const std::string bytes = serverFrame(kOpText, R"({"event":"4002"})") +
                              serverFrame(kOpText, std::string(300, 'a'), false) +
                              serverFrame(kOpContinuation, std::string(5, 'b')) +
                              serverFrame(kOpText, "");
    FrameReader reader;
    ASSERT_EQ(reader.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), seen),
              bytes.size());
    ASSERT_EQ(seen.messages.size(), 3u);
    for (const auto& [size, capacity] : seen.messages)
        EXPECT_GE(capacity - size, FrameReader::kRoomBehind) << size;
}

TEST(FrameReader, CloseFramePayloads) {
    EXPECT_THAT(readAll(serverFrame(kOpClose, "")), testing::ElementsAre("close:1005:<none>"));
    EXPECT_THAT(readAll(serverFrame(kOpClose, kavtest::closeFramePayload(1000))),
                testing::ElementsAre("close:1000:<none>"));
    for (int code : {1000, 1001, 1002, 1003, 1007, 1011, 1012, 1013, 1014, 3000, 4999})
        EXPECT_THAT(readAll(serverFrame(kOpClose, kavtest::closeFramePayload(code, "r"))),
                    testing::ElementsAre("close:" + std::to_string(code) + ":r"));
    for (int code : {0, 999, 1004, 1005, 1006, 1015, 2999, 5000, 65535})
        EXPECT_THAT(
            readAll(serverFrame(kOpClose, kavtest::closeFramePayload(code))),
            testing::ElementsAre("error:1002:Cannot have close code of " + std::to_string(code)));
    EXPECT_THAT(readAll(serverFrame(kOpClose, "\x03")),
                testing::ElementsAre("error:1002:Payload for close must be larger than 2 bytes"));
    EXPECT_THAT(readAll(serverFrame(kOpClose, kavtest::closeFramePayload(1000, "\xC0\xAF"))),
                testing::ElementsAre("error:1002:Close reason MUST be valid UTF-8"));
}

TEST(FrameReader, MessageSizeCapCountsEveryFrameOfAMessage) {
    // Refused from the header alone: the payload never arrives here.
    const std::string header = std::string("\x82\x7E\x01\x00", 4);  // binary, 256 bytes announced
    EXPECT_THAT(readAll(header, 0, 255), testing::ElementsAre("error:1009:Message too big"));
    EXPECT_THAT(readAll(serverFrame(kOpBinary, std::string(200, 'a'), false) +
                            serverFrame(kOpContinuation, std::string(56, 'b')),
                        0, 255),
                testing::ElementsAre("error:1009:Message too big"));
    EXPECT_EQ(readAll(serverFrame(kOpBinary, std::string(255, 'a')), 0, 255).size(), 1u);
    // A 64-bit length with its top bit set.
    EXPECT_THAT(readAll(std::string("\x82\x7F\x80\x00\x00\x00\x00\x00\x00\x01", 10)),
                testing::ElementsAre("error:1002:Invalid frame length"));
}

}  // namespace
