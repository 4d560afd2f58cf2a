// The client against a scripted server that writes raw bytes: broken
// handshakes, protocol errors, oversized messages and closing races.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Dispatch.h"

#include "platform/Strings.h"
#include "tests/Core/WebSocket/WsTestSupport.h"
#include "tests/platform/net/peers/RawServer.h"
#include "tests/support/TestSupport.h"

using kavtest::ClientFrame;
using kavtest::closeFramePayload;
using kavtest::RawConnection;
using kavtest::RawServer;
using kavtest::Recorder;
using kavtest::serverFrame;
using testing::ElementsAre;

namespace {

std::string describe(const ClientFrame& f) {
    if (f.opcode == 8)
        return platform::stringf("close %d %s", f.closeCode(), f.closeReason().c_str());
    return platform::stringf("op%d %s%s", f.opcode, f.payload.c_str(), f.masked ? "" : " UNMASKED");
}

// Notes every frame the client sends until it closes the connection.
void noteFramesUntilEnd(RawConnection& c, kavtest::Notes& notes) {
    while (auto f = c.readFrame())
        notes.add(describe(*f));
    notes.add("end");
}

struct ErrorCase {
    const char* name;
    std::string
        bytes;  // written after a valid text frame "before", followed by a text frame "after"
    int code;
    std::string reason;
};

TEST(WebSocketHostile, ProtocolErrorsCloseAtOnceWithCodeAndReason) {
    const std::vector<ErrorCase> cases = {
        {"rsv bits", serverFrame(1, "x", true, 4), 1002, "Server used RSV bits"},
        {"opcode 3", serverFrame(3, "x"), 1002, "Unknown opcode 3"},
        {"opcode 7", serverFrame(7, ""), 1002, "Unknown opcode 7"},
        {"opcode 11", serverFrame(11, ""), 1002, "Unknown opcode 11"},
        {"opcode 15", serverFrame(15, "x"), 1002, "Unknown opcode 15"},
        {"masked", std::string("\x81\x81\x01\x02\x03\x04\x60", 7), 1002,
         "Client must receive unmasked data"},
        {"fragmented ping", serverFrame(9, "p", false), 1002,
         "Fragmented control frames not allowed"},
        {"long ping", serverFrame(9, std::string(126, 'p')), 1002,
         "Control frames cannot have payloads larger than 126 bytes"},
        {"lone continuation", serverFrame(0, "x"), 1002, "cannot continue a message"},
        {"new message inside a fragmented one", serverFrame(1, "a", false) + serverFrame(2, "b"),
         1002, "all data frames after the initial data frame must have opcode 0"},
        // The first frame of the message is not complete: the bad byte alone decides.
        {"invalid UTF-8 mid-frame", std::string("\x01\x0A", 2) + "ab\xFF", 1007,
         "Text frames must be valid UTF-8"},
        {"overlong", serverFrame(1, "\xC0\xAF"), 1007, "Text frames must be valid UTF-8"},
        {"surrogate", serverFrame(1, "\xED\xA0\x80"), 1007, "Text frames must be valid UTF-8"},
        {"above U+10FFFF", serverFrame(1, "\xF4\x90\x80\x80"), 1007,
         "Text frames must be valid UTF-8"},
        {"cut code point", serverFrame(1, "\xE2\x82"), 1007, "Text frames must be valid UTF-8"},
        {"1-byte close", serverFrame(8, "\x03"), 1002,
         "Payload for close must be larger than 2 bytes"},
        {"close 1005", serverFrame(8, closeFramePayload(1005)), 1002,
         "Cannot have close code of 1005"},
        {"close 999", serverFrame(8, closeFramePayload(999)), 1002,
         "Cannot have close code of 999"},
        {"close 2999", serverFrame(8, closeFramePayload(2999)), 1002,
         "Cannot have close code of 2999"},
        {"close 5000", serverFrame(8, closeFramePayload(5000)), 1002,
         "Cannot have close code of 5000"},
        {"close reason not UTF-8", serverFrame(8, closeFramePayload(1000, "\xFF")), 1002,
         "Close reason MUST be valid UTF-8"},
        {"length top bit", std::string("\x82\x7F\x80\x00\x00\x00\x00\x00\x00\x05", 10), 1002,
         "Invalid frame length"},
        {"message too big", std::string("\x82\x7F\x00\x00\x00\x00\x01\x00\x00\x01", 10), 1009,
         "Message too big"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([&](RawConnection& conn) {
            conn.readRequestHead();
            conn.acceptHandshake();
            conn.write(serverFrame(1, "before") + c.bytes + serverFrame(1, "after"));
            noteFramesUntilEnd(conn, server.notes);
        });
        Recorder rec;
        auto ws = kavtest::openSocket(server.url(), rec);
        ASSERT_TRUE(rec.waitFinished());
        EXPECT_THAT(rec.lines,
                    ElementsAre("open -", "text 6 \"before\"",
                                platform::stringf("close %d %s 0", c.code, c.reason.c_str())));
        // Our close frame went out, and the connection was dropped without
        // waiting for the server's reply.
        ASSERT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("end"); }));
        EXPECT_THAT(server.notes.all(),
                    ElementsAre(platform::stringf("close %d %s", c.code, c.reason.c_str()), "end"));
    }
}

struct HandshakeCase {
    const char* name;
    std::function<void(RawConnection&)> respond;
    std::vector<std::string> lines;
    std::optional<std::vector<std::string>> protocols = std::nullopt;
};

TEST(WebSocketHostile, HandshakeResponses) {
    const std::vector<HandshakeCase> cases = {
        {"head over 16 KiB",
         [](RawConnection& c) {
             c.write("HTTP/1.1 101 Switching Protocols\r\nX-Pad: " + std::string(17000, 'a'));
             c.waitForEnd();
         },
         {"fail KAVWebSocketErrorDomain 2133 Invalid HTTP response"}},
        {"status 404",
         [](RawConnection& c) { c.write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"); },
         {"fail KAVWebSocketErrorDomain 2132 received bad response code from server 404"}},
        {"no accept",
         [](RawConnection& c) {
             c.write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n");
         },
         {"fail KAVWebSocketErrorDomain 2133 Invalid Sec-WebSocket-Accept response"}},
        {"not HTTP",
         [](RawConnection& c) { c.write("SSH-2.0-OpenSSH\r\n\r\n"); },
         {"fail KAVWebSocketErrorDomain 2133 Invalid HTTP response"}},
        {"protocol not asked for",
         [](RawConnection& c) { c.acceptHandshake("Sec-WebSocket-Protocol: chat\r\n"); },
         {"fail KAVWebSocketErrorDomain 2133 Server specified Sec-WebSocket-Protocol that wasn't "
          "requested"}},
        {"protocol chosen",
         [](RawConnection& c) {
             if (c.requestField("Sec-WebSocket-Protocol") == "chat, json")
                 c.acceptHandshake("Sec-WebSocket-Protocol: json\r\n");
             c.write(serverFrame(8, closeFramePayload(1000)));
             c.readFrame();
         },
         {"open json", "close 1000 - 1"},
         std::vector<std::string>{"chat", "json"}},
        {"status 200 with accept, frames in the same write",
         [](RawConnection& c) {
             c.write("HTTP/1.1 200 OK\r\nSec-WebSocket-Accept: " + c.acceptValue() + "\r\n\r\n" +
                     serverFrame(1, "hi") + serverFrame(8, closeFramePayload(1000)));
             c.readFrame();
         },
         {"open -", "text 2 \"hi\"", "close 1000 - 1"}},
        {"stream ends before the head",
         [](RawConnection& c) { c.write("HTTP/1.1 101 Switch"); },
         {"close 1001 Stream end encountered 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([&](RawConnection& conn) {
            conn.readRequestHead();
            c.respond(conn);
        });
        Recorder rec;
        auto ws = kavtest::openSocket(server.url(), rec, {}, c.protocols);
        ASSERT_TRUE(rec.waitFinished());
        EXPECT_EQ(rec.lines, c.lines);
    }
}

TEST(WebSocketHostile, ServerCloseFollowedAtOnceByItsEnd) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        c.write(serverFrame(1, "last") + serverFrame(8, closeFramePayload(4001, "maintenance")));
        c.close();
    });
    for (int round = 0; round < 20; ++round) {  // the reply races the end; every round must agree
        Recorder rec;
        auto ws = kavtest::openSocket(server.url(), rec);
        ASSERT_TRUE(rec.waitFinished());
        ASSERT_THAT(rec.lines, ElementsAre("open -", "text 4 \"last\"", "close 4001 maintenance 1"))
            << round;
    }
}

TEST(WebSocketHostile, ServerCloseFollowedByAResetIsStillItsClose) {
    // The server's close frame decides the end: that our reply can no
    // longer be written changes it into no failure.
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        c.write(serverFrame(8, closeFramePayload(4001, "maintenance")));
        c.reset();
    });
    for (int round = 0; round < 10; ++round) {
        Recorder rec;
        auto ws = kavtest::openSocket(server.url(), rec);
        ASSERT_TRUE(rec.waitFinished());
        ASSERT_THAT(rec.lines, ElementsAre("open -", "close 4001 maintenance 1")) << round;
    }
}

TEST(WebSocketHostile, EndWithoutCloseFrame) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        c.write(serverFrame(1, "x"));
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines,
                ElementsAre("open -", "text 1 \"x\"", "close 1001 Stream end encountered 0"));
    EXPECT_EQ(ws->readyState(), KAV_CLOSED);
}

TEST(WebSocketHostile, ClientCloseReportsTheServersReply) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        auto close = c.readUntilClose();
        if (close) server.notes.add(describe(*close));
        c.write(serverFrame(8, closeFramePayload(4002, "see you")));
        c.waitForEnd();
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    rec.delegate->onOpen = [](KAVWebSocket& s) { s.closeWithCode(4000, "client leaves"); };
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 4002 see you 1"));
    EXPECT_TRUE(server.notes.contains("close 4000 client leaves"));
}

TEST(WebSocketHostile, CloseWithoutReplyTimesOutOnTheVirtualClock) {
    kavtest::VirtualTime time;
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        if (c.readUntilClose()) server.notes.add("got close");
        c.waitForEnd(10);  // never answers
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(rec.waitForLines(1));
    ws->close();
    ASSERT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("got close"); }));
    ASSERT_TRUE(time.runUntil([&] { return platform::RunLoop::main().timerCount() == 1; }));
    time.advance(4.9);
    EXPECT_FALSE(rec.delegate->finished());
    time.advance(0.1);
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 1006 Close timed out 0"));
    EXPECT_EQ(ws->readyState(), KAV_CLOSED);
}

TEST(WebSocketHostile, ARepliedCloseCancelsItsTimer) {
    kavtest::VirtualTime time;
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        c.readUntilClose();
        c.write(serverFrame(8, closeFramePayload(1000)));
        c.waitForEnd();
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    rec.delegate->onOpen = [](KAVWebSocket& s) { s.close(); };
    ASSERT_TRUE(rec.waitFinished());
    time.drain();
    EXPECT_EQ(platform::RunLoop::main().timerCount(), 0u);
    time.advance(10);
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 1000 - 1"));
}

TEST(WebSocketHostile, NothingIsSentAfterOurCloseFrame) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        while (auto f = c.readFrame()) {
            server.notes.add(describe(*f));
            if (f->opcode == 8) break;
        }
        // A ping and a message after our close frame get no answer, the reply ends it.
        c.write(serverFrame(9, "late ping") + serverFrame(1, "late text") +
                serverFrame(8, closeFramePayload(1000)));
        noteFramesUntilEnd(c, server.notes);
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    rec.delegate->onOpen = [&](KAVWebSocket& s) {
        s.send("a");
        s.close();
        s.send("b");                               // queued behind the close: dropped
        s.send(KAVWebSocketMessage::binary("c"));  // idem
    };
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 1000 - 1"));
    EXPECT_FALSE(ws->send("after the end"));
    ASSERT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("end"); }));
    EXPECT_THAT(server.notes.all(), ElementsAre("op1 a", "close 1000 ", "end"));
}

TEST(WebSocketHostile, CloseWhileConnectingSendsNoCloseFrame) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        server.notes.add("head");
        noteFramesUntilEnd(c, server.notes);
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("head"); }));
    ws->close();
    ws->close();  // a second close changes nothing
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("close 0 - 1"));
    ASSERT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("end"); }));
    EXPECT_THAT(server.notes.all(), ElementsAre("head", "end"));
}

TEST(WebSocketHostile, PingIsAnsweredWithItsPayloadAndPongsAreReported) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        c.write(serverFrame(9, "abc") + serverFrame(10, "\x01\xFF"));
        if (auto f = c.readFrame()) server.notes.add(describe(*f));
        c.write(serverFrame(8, closeFramePayload(1000)));
        c.readFrame();
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "pong 01ff", "close 1000 - 1"));
    EXPECT_THAT(server.notes.all(), ElementsAre("op10 abc"));
}

}  // namespace

namespace {

// A delegate that notes on which queue each call runs.
struct QueueDelegate : KAVWebSocketDelegate {
    std::shared_ptr<platform::dispatch::SerialQueue> queue;
    std::mutex mutex;
    std::vector<std::string> calls;
    void note(const std::string& what) {
        std::lock_guard lock(mutex);
        calls.push_back(what + (queue->isCurrent() ? " on queue" : " elsewhere"));
    }
    void webSocketDidOpen(KAVWebSocket&) override { note("open"); }
    void webSocket(KAVWebSocket&, const KAVWebSocketMessage& m) override {
        note("message " + m.bytes);
    }
    void webSocket(KAVWebSocket&, int code, const std::optional<std::string>&, bool) override {
        note("close " + std::to_string(code));
    }
};

TEST(WebSocketHostile, CallbacksRunOnTheDelegateQueueWhenOneIsSet) {
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        c.write(serverFrame(1, "one") + serverFrame(1, "two") +
                serverFrame(8, closeFramePayload(1000)));
        c.readFrame();
    });
    auto delegate = std::make_shared<QueueDelegate>();
    delegate->queue = std::make_shared<platform::dispatch::SerialQueue>("delegate");
    auto ws = KAVWebSocket::initWithURL(*platform::net::URL::parse(server.url()));
    ws->setDelegateDispatchQueue(delegate->queue);
    EXPECT_EQ(ws->delegateDispatchQueue(), delegate->queue);
    ws->setDelegate(delegate);
    ws->open();
    ASSERT_TRUE(kavtest::pollUntil([&] {
        std::lock_guard lock(delegate->mutex);
        return delegate->calls.size() == 4;
    }));
    std::lock_guard lock(delegate->mutex);
    EXPECT_THAT(delegate->calls, ElementsAre("open on queue", "message one on queue",
                                             "message two on queue", "close 1000 on queue"));
}

}  // namespace

namespace {

TEST(WebSocketHostile, ACloseStuckBehindUnwrittenOutputEndsOnTheVirtualClock) {
    kavtest::VirtualTime time;
    std::atomic<bool> flooded{false}, done{false};
    RawServer server([&](RawConnection& c) {
        c.readRequestHead();
        c.acceptHandshake();
        // Stops reading, so the client's output stays stuck behind a large message.
        kavtest::pollUntil([&] { return flooded.load(); });
        c.write(serverFrame(1, "x", true, 4));
        kavtest::pollUntil([&] { return done.load(); });
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(rec.waitForLines(1));
    ws->send(KAVWebSocketMessage::binary(std::string(48 << 20, 'z')));
    flooded = true;
    // The protocol error is seen, but its close frame cannot be written out:
    // the close timer is armed, and nothing ends the connection before it fires.
    ASSERT_TRUE(time.runUntil([&] { return platform::RunLoop::main().timerCount() == 1; }));
    EXPECT_EQ(ws->readyState(), KAV_CLOSING);
    time.advance(4.9);
    EXPECT_FALSE(rec.delegate->finished());
    time.advance(0.1);
    ASSERT_TRUE(rec.waitFinished());
    done = true;
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 1002 Server used RSV bits 0"));
}

}  // namespace

namespace {

// Counts the messages and closes the connection, from inside the delegate
// call, once it has seen `closeAfter` of them.
struct FloodDelegate : KAVWebSocketDelegate {
    size_t messages = 0;
    size_t closeAfter = 0;
    bool opened = false;
    std::optional<std::string> end;
    void webSocketDidOpen(KAVWebSocket&) override { opened = true; }
    void webSocket(KAVWebSocket& ws, const KAVWebSocketMessage& m) override {
        EXPECT_EQ(m.bytes.size(), 1000u);
        if (++messages == closeAfter) ws.close();
    }
    void webSocket(KAVWebSocket&, const platform::Error& e) override {
        end = "fail " + e.localizedDescription;
    }
    void webSocket(KAVWebSocket&, int code, const std::optional<std::string>& reason,
                   bool clean) override {
        end = platform::stringf("close %d %s %d", code, reason.value_or("-").c_str(), clean);
    }
};

// A server that floods the client with a batch of frames, over and over,
// once told to go: until the client takes nothing for a second while it
// holds its reading back (stalled; a client merely slow for a moment is
// written on), or until `giveUpAt` bytes or thirty such pauses without
// holding back (gaveUp).
struct Flood {
    std::atomic<size_t> written{0};
    std::atomic<bool> go{false}, stalled{false}, gaveUp{false};
    std::shared_ptr<KAVWebSocket> ws;  // set before `go`

    // On the server's thread, from the handshake on; where the writing
    // stopped within the batch.
    size_t run(RawConnection& c, const std::string& batch, size_t giveUpAt) {
        c.readRequestHead();
        c.acceptHandshake();
        kavtest::pollUntil([&] { return go.load(); });
        size_t offset = 0;
        int pauses = 0;
        while (written < giveUpAt && pauses < 30) {
            const std::string_view rest = std::string_view(batch).substr(offset);
            const size_t n = c.writeUnlessStalled(rest, 1.0);
            written += n;
            offset = (offset + n) % batch.size();
            if (n == rest.size()) continue;
            if (ws->isReadingHeldBack()) {
                stalled = true;
                return offset;
            }
            ++pauses;
        }
        gaveUp = true;
        return offset;
    }
    // The client's side: connected to the server with the delegate.
    void open(const RawServer& server, std::shared_ptr<KAVWebSocketDelegate> delegate) {
        ws = KAVWebSocket::initWithURL(*platform::net::URL::parse(server.url()));
        ws->setDelegate(std::move(delegate));
        ws->open();
    }
};

TEST(WebSocketHostile, AFloodingServerIsHeldBackAndOurCloseStillGoesOut) {
    // The server sends text messages without pause; the delegate queue (the
    // main run loop) takes none of them for a while. The client must stop
    // reading, so that TCP holds the server back instead of the client's
    // memory filling up.
    constexpr size_t kGiveUpAt = 256u << 20;  // a client that never stops reading
    std::string batch;
    for (int i = 0; i < 64; ++i)
        batch += serverFrame(1, kavtest::pattern(1000));
    Flood flood;
    RawServer server([&](RawConnection& c) {
        const size_t offset = flood.run(c, batch, kGiveUpAt);
        // Then on again, as fast as the client takes it, until it closes.
        if (auto close = c.floodUntilClose(batch, 60, offset)) {
            server.notes.add(platform::stringf("close %d", close->closeCode()));
            c.write(serverFrame(8, closeFramePayload(1000, "bye")));
            c.waitForEnd();
        }
    });
    auto delegate = std::make_shared<FloodDelegate>();
    flood.open(server, delegate);
    auto& ws = flood.ws;
    auto& loop = platform::RunLoop::main();
    ASSERT_TRUE(loop.runUntil([&] { return delegate->opened; }, 10));
    const size_t heapBefore = kavtest::heapInUse();

    // The main run loop is not run from here on.
    flood.go = true;
    ASSERT_TRUE(kavtest::pollUntil([&] { return flood.stalled || flood.gaveUp; }, 120));
    EXPECT_TRUE(flood.stalled) << "the client read " << (flood.written >> 20)
                               << " MiB without holding back";
    EXPECT_LE(ws->deliveryBacklog(), 4u << 20);
    // What the server got out is what the backlog, the socket buffers and
    // one read hold; and all the client holds of it is bounded too.
    EXPECT_LT(flood.written.load(), size_t{64} << 20);
    const size_t heap = kavtest::heapInUse();
    EXPECT_LT(heap - std::min(heapBefore, heap), size_t{64} << 20);
    EXPECT_EQ(delegate->messages, 0u);

    // Once the main run loop takes its messages, reading goes on; our close,
    // made while the server still floods, goes out and its reply ends it.
    delegate->closeAfter = flood.written / 1004 + 5000;
    ASSERT_TRUE(loop.runUntil([&] { return delegate->end.has_value(); }, 60));
    EXPECT_EQ(delegate->end, "close 1000 bye 1");
    EXPECT_GE(delegate->messages, delegate->closeAfter);
    EXPECT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("close 1000"); }));
}

}  // namespace

namespace {

struct QuietDelegate : KAVWebSocketDelegate {
    bool opened = false;
    size_t pongs = 0;
    std::optional<std::string> end;
    void webSocketDidOpen(KAVWebSocket&) override { opened = true; }
    void webSocket(KAVWebSocket&, const KAVWebSocketMessage&) override {}
    void webSocket(KAVWebSocket&, const KAVWebSocketPong&) override { ++pongs; }
    void webSocket(KAVWebSocket&, const platform::Error& e) override {
        end = "fail " + e.localizedDescription;
    }
    void webSocket(KAVWebSocket&, int code, const std::optional<std::string>& reason,
                   bool clean) override {
        end = platform::stringf("close %d %s %d", code, reason.value_or("-").c_str(), clean);
    }
};

}  // namespace

TEST(WebSocketHostile, APingOrPongFloodIsHeldBackAsMessagesAre) {
    // Every ping and pong waits on the delegate queue (a ping for its
    // pong to be queued) as a message does: a server that sends nothing but
    // control frames while the main run loop is busy must be held back too.
    constexpr size_t kGiveUpAt = 4u << 20;
    for (const uint8_t opcode : {uint8_t{9}, uint8_t{10}}) {
        SCOPED_TRACE(opcode == 9 ? "pings" : "pongs");
        std::string batch;
        for (int i = 0; i < 1000; ++i)
            batch += serverFrame(opcode, "12345678");
        Flood flood;
        RawServer server([&](RawConnection& c) {
            const size_t offset = flood.run(c, batch, kGiveUpAt);
            // The frame cut by the stall is finished, then our close is awaited.
            c.write(std::string_view(batch).substr(offset, (10 - offset % 10) % 10));
            if (auto close = c.readUntilClose(60)) {
                server.notes.add(platform::stringf("close %d", close->closeCode()));
                c.write(serverFrame(8, closeFramePayload(1000, "bye")));
                c.waitForEnd();
            }
        });
        auto delegate = std::make_shared<QuietDelegate>();
        flood.open(server, delegate);
        auto& ws = flood.ws;
        auto& loop = platform::RunLoop::main();
        ASSERT_TRUE(loop.runUntil([&] { return delegate->opened; }, 10));

        // The main run loop is not run from here on.
        flood.go = true;
        ASSERT_TRUE(kavtest::pollUntil([&] { return flood.stalled || flood.gaveUp; }, 120));
        EXPECT_TRUE(flood.stalled) << "the client read " << (flood.written >> 10)
                                   << " KiB of control frames without holding back";
        EXPECT_LE(ws->deliveryBacklog(), 4u << 20);

        // Taken by the main run loop, they are answered or reported; then
        // our close ends the connection.
        ASSERT_TRUE(loop.runUntil([&] { return !ws->isReadingHeldBack(); }, 30));
        ws->close();
        ASSERT_TRUE(loop.runUntil([&] { return delegate->end.has_value(); }, 60));
        EXPECT_EQ(delegate->end, "close 1000 bye 1");
        if (opcode == 10) {
            EXPECT_GT(delegate->pongs, 0u);
        }
        EXPECT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("close 1000"); }));
    }
}
