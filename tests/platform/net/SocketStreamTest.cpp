#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/SocketStream.h"
#include "platform/net/Tls.h"
#include "tests/platform/net/peers/BeastServer.h"
#include "tests/platform/net/peers/RawServer.h"
#include "tests/platform/net/peers/TestPKI.h"

using namespace platform::net;
using kavtest::TestPKI;

namespace {

// Consumes a stream the way a connection does: events are handed to a serial
// queue, and each bytes-available event reads at most one small chunk, so
// the stream has to announce the rest again.
class StreamConsumer {
  public:
    explicit StreamConsumer(std::shared_ptr<SocketStreamPair> stream, size_t chunk = 700)
        : stream_(std::move(stream)), chunk_(chunk) {
        stream_->setEventHandler([this](StreamEvent e) { queue_.async([this, e] { handle(e); }); });
    }
    void open() { stream_->open(); }
    ~StreamConsumer() {
        stream_->close();
        // A delivery already running on the network thread may still hand an
        // event to the queue after close() (only new ones are stopped): wait
        // until that thread has passed it, then for the queue.
        std::promise<void> passed;
        NetworkThread::shared().post([&] { passed.set_value(); });
        passed.get_future().wait();
        queue_.waitIdle();
    }

    void write(const std::string& bytes) {
        queue_.async([this, bytes] {
            pending_ += bytes;
            pump();
        });
    }

    bool waitFor(const std::function<bool()>& pred, double seconds = 10) {
        for (int i = 0; i < seconds * 200; ++i) {
            {
                std::lock_guard lock(mutex_);
                if (pred()) return true;
            }
            usleep(5000);  // polling a real peer on loopback, not timing behaviour
        }
        std::lock_guard lock(mutex_);
        return pred();
    }

    std::vector<std::string> events;  // guarded by mutex_
    std::string received;
    std::string bytesAtEnd;
    std::optional<platform::Error> error;
    mutable std::mutex mutex_;

  private:
    void handle(StreamEvent e) {
        std::lock_guard lock(mutex_);
        switch (e) {
            case StreamEvent::OpenCompleted:
                events.push_back("open");
                break;
            case StreamEvent::HasBytesAvailable: {
                std::vector<uint8_t> buf(chunk_);
                const long n = stream_->read(buf.data(), buf.size());
                if (n > 0) received.append(reinterpret_cast<char*>(buf.data()), n);
                if (n < 0) {
                    error = stream_->error();
                    events.push_back("read-error");
                }
                break;
            }
            case StreamEvent::HasSpaceAvailable:
                pump();
                break;
            case StreamEvent::ErrorOccurred:
                error = stream_->error();
                events.push_back("error");
                break;
            case StreamEvent::EndEncountered:
                bytesAtEnd = received;
                events.push_back("end");
                break;
        }
    }
    void pump() {
        while (!pending_.empty() && stream_->hasSpaceAvailable()) {
            const long n =
                stream_->write(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
            if (n <= 0) return;
            pending_.erase(0, n);
        }
    }

    std::shared_ptr<SocketStreamPair> stream_;
    size_t chunk_;
    std::string pending_;
    platform::dispatch::SerialQueue queue_{"stream-consumer"};
};

using kavtest::pattern;

TEST(SocketStream, EndComesAfterEveryByteAndPartialReadsAreAnnouncedAgain) {
    const std::string blob = pattern(300000);
    kavtest::RawServer server([&](kavtest::RawConnection& c) {
        c.write(blob);
        c.shutdownWrite();
        c.waitForEnd();
    });
    StreamConsumer consumer(SocketStreamPair::create("127.0.0.1", server.port()));
    consumer.open();
    ASSERT_TRUE(consumer.waitFor(
        [&] { return !consumer.events.empty() && consumer.events.back() == "end"; }));
    std::lock_guard lock(consumer.mutex_);
    EXPECT_EQ(consumer.events.front(), "open");
    EXPECT_EQ(consumer.bytesAtEnd.size(), blob.size());
    EXPECT_TRUE(consumer.bytesAtEnd == blob);
    EXPECT_EQ(std::count(consumer.events.begin(), consumer.events.end(), "end"), 1);
}

TEST(SocketStream, WritesLargeDataThroughBackPressure) {
    const std::string blob = pattern(8 << 20);
    kavtest::RawServer server([&](kavtest::RawConnection& c) {
        usleep(50000);  // let the client's socket buffer fill first
        const std::string all = c.readBytes(blob.size(), 10);
        server.notes.add(all == blob ? "intact" : "damaged " + std::to_string(all.size()));
    });
    StreamConsumer consumer(SocketStreamPair::create("127.0.0.1", server.port()));
    consumer.open();
    consumer.write(blob);
    for (int i = 0; i < 2000 && server.notes.size() == 0; ++i)
        usleep(5000);
    EXPECT_EQ(server.notes.all(), std::vector<std::string>{"intact"});
}

TEST(SocketStream, RefusedConnectionReportsThePosixError) {
    // A port that was free a moment ago and has no listener now.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    const uint16_t port = ntohs(addr.sin_port);
    ::close(fd);

    StreamConsumer consumer(SocketStreamPair::create("127.0.0.1", port));
    consumer.open();
    ASSERT_TRUE(consumer.waitFor([&] { return !consumer.events.empty(); }));
    std::lock_guard lock(consumer.mutex_);
    EXPECT_EQ(consumer.events, std::vector<std::string>{"error"});
    ASSERT_TRUE(consumer.error);
    EXPECT_EQ(consumer.error->domain, kPosixErrorDomain);
    EXPECT_EQ(consumer.error->code, ECONNREFUSED);
}

// TLS: a request that is no upgrade gets an HTTP error response from the
// Beast peer, which proves bytes flow both ways through TLS.
std::string httpRoundTrip(StreamConsumer& consumer) {
    consumer.write("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
    consumer.waitFor([&] { return consumer.received.find("\r\n\r\n") != std::string::npos; });
    std::lock_guard lock(consumer.mutex_);
    return consumer.received;
}

struct TlsCase {
    const char* name;
    std::string chain, key;
    std::string peerName;
    std::vector<std::string> pinned;  // PEM files
    long expectedError;               // 0: the handshake succeeds
};

TEST(SocketStreamTls, VerifiesTheChainTheHostAndPins) {
    const auto& pki = TestPKI::get();
    ASSERT_TRUE(addTrustedCAFile(pki.caCert));
    EXPECT_FALSE(addTrustedCAFile(pki.caCert + ".missing"));
    const std::vector<TlsCase> cases = {
        {"trusted CA", pki.leafChain, pki.leafKey, "localhost", {}, 0},
        {"by IP address", pki.leafChain, pki.leafKey, "127.0.0.1", {}, 0},
        {"unknown CA",
         pki.rogueLeafChain,
         pki.rogueLeafKey,
         "localhost",
         {},
         kTlsCertificateRejected},
        {"expired", pki.expiredChain, pki.expiredKey, "localhost", {}, kTlsCertificateRejected},
        {"wrong host", pki.leafChain, pki.leafKey, "quotes.example.com", {}, kTlsHostNameMismatch},
        {"pinned CA, another host's certificate",
         pki.otherHostChain,
         pki.otherHostKey,
         "localhost",
         {pki.caCert},
         kTlsHostNameMismatch},
        {"pinned CA, named host",
         pki.otherHostChain,
         pki.otherHostKey,
         "quotes.example.com",
         {pki.caCert},
         0},
        {"pinned CA", pki.leafChain, pki.leafKey, "localhost", {pki.caCert}, 0},
        {"pinned leaf", pki.leafChain, pki.leafKey, "localhost", {pki.leafCert}, 0},
        {"pinned CA only appended",
         pki.rogueLeafChain,
         pki.rogueLeafKey,
         "localhost",
         {pki.caCert},
         kTlsPinnedCertificateNotFound},
        {"pin replaces roots",
         pki.leafChain,
         pki.leafKey,
         "localhost",
         {pki.rogueCaCert},
         kTlsPinnedCertificateNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kavtest::BeastServer server(kavtest::BeastServer::echo,
                                    kavtest::BeastServer::Tls{c.chain, c.key});
        TlsSettings tls;
        tls.peerName = c.peerName;
        for (const auto& file : c.pinned)
            for (auto& cert : Certificate::loadPEMFile(file))
                tls.pinnedCertificates.push_back(cert);
        StreamConsumer consumer(SocketStreamPair::create("127.0.0.1", server.port(), tls));
        consumer.open();
        ASSERT_TRUE(consumer.waitFor([&] { return !consumer.events.empty(); }));
        if (c.expectedError == 0) {
            EXPECT_EQ(consumer.events.front(), "open");
            EXPECT_EQ(httpRoundTrip(consumer).substr(0, 9), "HTTP/1.1 ");
        } else {
            std::lock_guard lock(consumer.mutex_);
            EXPECT_EQ(consumer.events, std::vector<std::string>{"error"});
            ASSERT_TRUE(consumer.error);
            EXPECT_EQ(consumer.error->domain, kTlsErrorDomain);
            EXPECT_EQ(consumer.error->code, c.expectedError)
                << consumer.error->localizedDescription;
            if (c.expectedError == kTlsHostNameMismatch) {
                EXPECT_EQ(consumer.error->localizedDescription,
                          "Host name mismatch: the server certificate is not for " + c.peerName);
            }
        }
    }
}

}  // namespace
