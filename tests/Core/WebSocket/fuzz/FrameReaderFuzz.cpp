// Fuzz target: the frame reader fed the same bytes whole and in random
// chunks. Input: 4 bytes that seed the chunk sizes, then the server's bytes.
// Checks: both feedings report the same events; text is valid UTF-8;
// no message exceeds the cap; nothing is reported after the reader stopped.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Core/WebSocket/KAVWebSocketFrames.h"
#include "platform/Strings.h"

namespace {

constexpr size_t kCap = 1 << 20;

struct Recorder : kavws::FrameReader::Handler {
    std::vector<std::string> events;
    bool ended = false;
    void check() {
        if (ended) std::abort();  // an event after the close or the error
    }
    void readerMessage(uint8_t opcode, std::string&& p) override {
        check();
        if (p.size() > kCap) std::abort();
        if (opcode == kavws::kOpText && !platform::isValidUtf8(p)) std::abort();
        if (opcode != kavws::kOpText && opcode != kavws::kOpBinary) std::abort();
        events.push_back(std::to_string(opcode) + ":" + p);
    }
    void readerPing(std::string&& p) override {
        check();
        if (p.size() > 125) std::abort();
        events.push_back("ping:" + p);
    }
    void readerPong(std::string&& p) override {
        check();
        if (p.size() > 125) std::abort();
        events.push_back("pong:" + p);
    }
    void readerClose(int code, std::optional<std::string>&& r) override {
        check();
        if (!kavws::isValidCloseCode(code) && code != kavws::kCloseNoStatus) std::abort();
        if (r && !platform::isValidUtf8(*r)) std::abort();
        events.push_back("close:" + std::to_string(code) + ":" + r.value_or("-"));
        ended = true;
    }
    void readerError(int code, std::string&& r) override {
        check();
        events.push_back("error:" + std::to_string(code) + ":" + r);
        ended = true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t seed;
    std::memcpy(&seed, data, 4);
    data += 4;
    size -= 4;

    kavws::FrameReader whole(kCap);
    Recorder a;
    const size_t taken = whole.feed(data, size, a);
    if (taken > size || (!whole.stopped() && taken != size)) std::abort();

    kavws::FrameReader chunked(kCap);
    Recorder b;
    for (size_t pos = 0; pos < size && !chunked.stopped();) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(size - pos, 1 + (seed >> 16) % 97);
        chunked.feed(data + pos, n, b);
        pos += n;
    }
    if (a.events != b.events) std::abort();
    return 0;
}
