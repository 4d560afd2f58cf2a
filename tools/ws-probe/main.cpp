// ws-probe: connects to a WebSocket server, prints one line per event and
// exits once the connection has closed or failed.
//
//   ws-probe [--echo] [--send-text T]... [--send-binary-hex H]...
//            [--close CODE [REASON]] [--protocol P]... [--header "Name: value"]...
//            [--ca FILE] [--pin CERT.pem]... [--max-seconds S] URL

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Core/WebSocket/KAVWebSocket.h"
#include "platform/RunLoop.h"
#include "platform/net/Tls.h"
#include "tools/ws-probe/ProbeDelegate.h"

namespace {

// The longest run --max-seconds may ask for, seconds.
constexpr double kLongestRun = 1e6;

int usage(const char* why) {
    std::fprintf(stderr,
                 "ws-probe: %s\n"
                 "usage: ws-probe [--echo] [--send-text T]... [--send-binary-hex H]... [--close "
                 "CODE [REASON]]\n"
                 "                [--protocol P]... [--header \"Name: value\"]... [--ca FILE] "
                 "[--pin CERT.pem]...\n"
                 "                [--max-seconds S] URL\n",
                 why);
    return 2;
}

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool echo = false;
    std::vector<KAVWebSocketMessage> sends;
    std::optional<int> closeCode;
    std::optional<std::string> closeReason;
    std::vector<std::string> protocols;
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<platform::net::Certificate> pins;
    double maxSeconds = 60;

    if (argc < 2) return usage("no URL");
    const int last = argc - 1;  // the URL
    for (int i = 1; i < last; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= last) {
                usage((std::string(what) + " needs a value").c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--echo") {
            echo = true;
        } else if (arg == "--send-text") {
            sends.push_back(KAVWebSocketMessage::text(value("--send-text")));
        } else if (arg == "--send-binary-hex") {
            const auto bytes = wsprobe::fromHex(value("--send-binary-hex"));
            if (!bytes) return usage("--send-binary-hex needs an even number of hex digits");
            sends.push_back(KAVWebSocketMessage::binary(*bytes));
        } else if (arg == "--close") {
            const std::string code = value("--close");
            char* end = nullptr;
            const long parsed = std::strtol(code.c_str(), &end, 10);
            if (*end || parsed <= 0 || parsed > 65535) return usage("--close needs a code");
            closeCode = static_cast<int>(parsed);
            if (i + 1 < last && std::string(argv[i + 1]).rfind("--", 0) != 0)
                closeReason = argv[++i];
        } else if (arg == "--protocol") {
            protocols.emplace_back(value("--protocol"));
        } else if (arg == "--header") {
            const std::string header = value("--header");
            const size_t colon = header.find(':');
            if (colon == std::string::npos || colon == 0)
                return usage("--header needs \"Name: value\"");
            size_t start = colon + 1;
            while (start < header.size() && header[start] == ' ')
                ++start;
            headers.emplace_back(header.substr(0, colon), header.substr(start));
        } else if (arg == "--ca") {
            const char* file = value("--ca");
            if (!platform::net::addTrustedCAFile(file))
                return usage("--ca: no certificate in that file");
        } else if (arg == "--pin") {
            const char* file = value("--pin");
            auto certs = platform::net::Certificate::loadPEMFile(file);
            if (certs.empty()) return usage("--pin: no certificate in that file");
            pins.insert(pins.end(), certs.begin(), certs.end());
        } else if (arg == "--max-seconds") {
            const char* text = value("--max-seconds");
            char* end = nullptr;
            maxSeconds = std::strtod(text, &end);
            // The whole word, and a time the run loop's deadline can count:
            // far beyond it (1e300, inf, nan) the deadline overflowed.
            if (end == text || *end || !(maxSeconds > 0 && maxSeconds <= kLongestRun))
                return usage("--max-seconds needs a positive number of seconds, at most 1e6");
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }

    const auto url = platform::net::URL::parse(argv[last]);
    if (!url) return usage("malformed URL");
    platform::net::URLRequest request(*url);
    for (const auto& [name, value] : headers)
        request.setValue(value, name);
    if (!pins.empty()) setKAV_SSLPinnedCertificates(request, pins);

    auto ws = KAVWebSocket::initWithURLRequest(
        request,
        protocols.empty() ? std::nullopt : std::optional<std::vector<std::string>>(protocols));
    if (!ws) return usage("the URL's scheme must be ws, wss, http or https");

    auto delegate = std::make_shared<wsprobe::ProbeDelegate>(printLine, echo);
    delegate->onOpen = [&](KAVWebSocket& socket) {
        for (const auto& m : sends)
            socket.send(m);
        if (closeCode) socket.closeWithCode(*closeCode, closeReason);
    };
    ws->setDelegate(delegate);
    ws->open();

    auto& loop = platform::RunLoop::main();
    if (!loop.runUntil([&] { return delegate->finished(); }, maxSeconds)) {
        printLine("timeout");
        return 1;
    }
    return 0;
}
