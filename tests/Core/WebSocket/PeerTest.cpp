// The client against a well-behaved peer: a Boost.Beast WebSocket server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "platform/Crypto.h"

#include "platform/Strings.h"
#include "platform/net/Tls.h"
#include "tests/Core/WebSocket/WsTestSupport.h"
#include "tests/platform/net/peers/BeastServer.h"
#include "tests/platform/net/peers/TestPKI.h"

using kavtest::BeastServer;
using kavtest::BeastSession;
using kavtest::Notes;
using kavtest::Recorder;
using testing::ElementsAre;

namespace {

using kavtest::pattern;

TEST(WebSocketPeer, EchoesTextAndBinaryAtEveryLengthBoundary) {
    BeastServer server;
    Recorder rec;
    auto ws = kavtest::openSocket(server.url("/echo"), rec);
    EXPECT_FALSE(ws->send("too early"));  // refused while connecting
    ASSERT_TRUE(rec.waitForLines(1));
    EXPECT_EQ(rec.lines[0], "open -");
    EXPECT_EQ(ws->readyState(), KAV_OPEN);

    const std::vector<size_t> sizes = {0, 1, 125, 126, 65535, 65536, 1 << 20};
    std::vector<std::string> expected = {"open -"};
    for (size_t n : sizes) {
        const std::string text = pattern(n);
        EXPECT_TRUE(ws->send(text));
        EXPECT_TRUE(ws->send(KAVWebSocketMessage::binary(text)));
        expected.push_back("text " + std::to_string(n) + " " + nlohmann::json(text).dump());
        expected.push_back("binary " + std::to_string(n) + " " + wsprobe::hex(text, 64));
    }
    EXPECT_TRUE(ws->send(nullptr));
    expected.push_back("text 0 \"\"");
    ASSERT_TRUE(rec.waitForLines(expected.size()));
    EXPECT_EQ(rec.lines, expected);

    ws->closeWithCode(1000, "done");
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_EQ(rec.lines.back(), "close 1000 - 1");  // the server's reply: its code, no reason
    EXPECT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("closed 1000 done"); }));
}

TEST(WebSocketPeer, UpgradeRequestAsTheServerSawIt) {
    BeastServer server([](BeastSession& s, Notes& notes) {
        notes.add("target " + s.target);
        for (const char* name : {"Host", "Origin", "Sec-WebSocket-Version", "X-Client"})
            notes.add(std::string(name) + ": " + s.field(name).value_or("<none>"));
        const auto key = platform::crypto::base64Decode(s.field("Sec-WebSocket-Key").value_or(""));
        notes.add("key bytes " + std::to_string(key ? key->size() : 0));
        BeastServer::echo(s, notes);
    });
    Recorder rec;
    auto ws = kavtest::openSocket(server.url("/live?x=1"), rec, [](platform::net::URLRequest& r) {
        r.setValue("probe", "X-Client");
    });
    ASSERT_TRUE(rec.waitForLines(1));
    ws->close();
    ASSERT_TRUE(rec.waitFinished());
    const std::string port = std::to_string(server.port());
    EXPECT_THAT(
        server.notes.all(),
        testing::IsSupersetOf(std::vector<std::string>{
            "target /live?x=1", "Host: 127.0.0.1:" + port, "Origin: http://127.0.0.1:" + port + "/",
            "Sec-WebSocket-Version: 13", "X-Client: probe", "key bytes 16"}));
}

TEST(WebSocketPeer, FragmentsWithInterleavedPingsAndSplitCharacters) {
    BeastServer server([](BeastSession& s, Notes& notes) {
        // "Hello €!" with the euro sign split across three frames, a ping after each frame.
        s.writeFragmented(true, {"Hel", "lo \xE2", "\x82", "\xAC!"}, "hb");
        s.writeFragmented(false, {std::string("\x00\x01", 2), std::string("\x02", 1)}, "");
        // Reading the client's echoes also reads the pongs that came before them.
        for (int i = 0; i < 2; ++i)
            if (auto m = s.read()) notes.add("echo " + m->data.substr(0, 3));
        s.close(4000, "bye");
    });
    Recorder rec(/*echo=*/true);
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "text 10 \"Hello \xE2\x82\xAC!\"",
                                       "binary 3 000102", "close 4000 bye 1"));
    // Every ping was answered with its own payload, and our reply to the close is 1000.
    EXPECT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("closed 1000 "); }));
    auto notes = server.notes.all();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), "pong hb"), 3);
    EXPECT_EQ(std::count(notes.begin(), notes.end(), "pong "), 1);
    EXPECT_TRUE(server.notes.contains("echo Hel"));
}

TEST(WebSocketPeer, ServerCloseCodesAreReported) {
    for (int code : {1000, 1001, 1003, 1011, 1012, 1013, 1014, 3000, 4999}) {
        BeastServer server(
            [code](BeastSession& s, Notes&) { s.close(code, code == 1000 ? "" : "why"); });
        Recorder rec;
        auto ws = kavtest::openSocket(server.url(), rec);
        ASSERT_TRUE(rec.waitFinished());
        EXPECT_THAT(rec.lines,
                    ElementsAre("open -", platform::stringf("close %d %s 1", code,
                                                            code == 1000 ? "-" : "why")));
        EXPECT_EQ(ws->readyState(), KAV_CLOSING);
    }
}

TEST(WebSocketPeer, ConnectionOutlivesTheCallersReference) {
    BeastServer server([](BeastSession& s, Notes& notes) {
        while (auto m = s.read())
            notes.add("got " + m->data);
    });
    Recorder rec;
    {
        auto ws = kavtest::openSocket(server.url(), rec);
        rec.delegate->onOpen = [](KAVWebSocket& socket) {
            socket.send("last words");
            socket.close();
        };
    }
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 1000 - 1"));
    EXPECT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("closed 1000 "); }));
    EXPECT_THAT(server.notes.all(), ElementsAre("got last words", "closed 1000 "));
}

TEST(WebSocketPeer, ClearedOrDeadDelegateReceivesNothingAlreadyQueued) {
    for (bool destroy : {false, true}) {
        BeastServer server([](BeastSession& s, Notes&) {
            s.write({true, "queued"});
            s.close(1000, "");
        });
        Recorder rec;
        auto ws = kavtest::openSocket(server.url(), rec);
        // The connection runs to its end while the main run loop sleeps, so
        // every callback is queued before the delegate goes.
        ASSERT_TRUE(kavtest::pollUntil([&] { return server.notes.contains("closed 1000 "); }));
        if (destroy)
            rec.delegate.reset();
        else
            ws->setDelegate({});
        platform::RunLoop::main().runUntil([] { return false; }, 0.05);
        EXPECT_TRUE(rec.lines.empty());
    }
}

class WebSocketTls : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::net::addTrustedCAFile(kavtest::TestPKI::get().caCert);
    }
    const kavtest::TestPKI& pki = kavtest::TestPKI::get();
};

TEST_F(WebSocketTls, EchoOverVerifiedTls) {
    BeastServer server(BeastServer::echo, BeastServer::Tls{pki.leafChain, pki.leafKey});
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    rec.delegate->onOpen = [](KAVWebSocket& s) {
        s.send(pattern(100000));
        s.send("secure");
    };
    ASSERT_TRUE(rec.waitForLines(3));
    ws->close();
    ASSERT_TRUE(rec.waitFinished());
    ASSERT_EQ(rec.lines.size(), 4u) << testing::PrintToString(rec.lines);
    EXPECT_EQ(rec.lines[1].substr(0, 12), "text 100000 ");
    EXPECT_EQ(rec.lines[2], "text 6 \"secure\"");
    EXPECT_EQ(rec.lines[3], "close 1000 - 1");
}

TEST_F(WebSocketTls, UntrustedServerFails) {
    BeastServer server(BeastServer::echo, BeastServer::Tls{pki.rogueLeafChain, pki.rogueLeafKey});
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec);
    ASSERT_TRUE(rec.waitFinished());
    ASSERT_EQ(rec.lines.size(), 1u);
    EXPECT_THAT(rec.lines[0],
                testing::StartsWith("fail TlsErrorDomain 2 certificate verify failed"));
}

TEST_F(WebSocketTls, PinningAcceptsTheChainOfAPinnedCertificate) {
    BeastServer server(BeastServer::echo, BeastServer::Tls{pki.leafChain, pki.leafKey});
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec, [&](platform::net::URLRequest& r) {
        setKAV_SSLPinnedCertificates(r, platform::net::Certificate::loadPEMFile(pki.caCert));
    });
    rec.delegate->onOpen = [](KAVWebSocket& s) { s.close(); };
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("open -", "close 1000 - 1"));
}

TEST_F(WebSocketTls, APinnedConnectionToAnotherHostSaysTheHostNameDidNotMatch) {
    // The chain leads up to the pinned CA, but the certificate names another host.
    BeastServer server(BeastServer::echo, BeastServer::Tls{pki.otherHostChain, pki.otherHostKey});
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec, [&](platform::net::URLRequest& r) {
        setKAV_SSLPinnedCertificates(r, platform::net::Certificate::loadPEMFile(pki.caCert));
    });
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines, ElementsAre("fail TlsErrorDomain 5 Host name mismatch: the server "
                                       "certificate is not for localhost"));
}

TEST_F(WebSocketTls, PinnedCertificateMerelyAppendedIsRefusedBeforeTheUpgrade) {
    // The rogue server's chain carries the pinned CA, but its leaf is not signed by it.
    BeastServer server(BeastServer::echo, BeastServer::Tls{pki.rogueLeafChain, pki.rogueLeafKey});
    Recorder rec;
    auto ws = kavtest::openSocket(server.url(), rec, [&](platform::net::URLRequest& r) {
        setKAV_SSLPinnedCertificates(r, platform::net::Certificate::loadPEMFile(pki.caCert));
    });
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_THAT(rec.lines,
                ElementsAre("fail KAVWebSocketStreamErrorDomain 23556 Invalid server cert"));
    EXPECT_TRUE(kavtest::pollUntil([&] { return server.notes.size() > 0; }));
    EXPECT_THAT(server.notes.all(),
                ElementsAre("tls failed"));  // no byte of the upgrade request arrived
}

}  // namespace
