// bin/ws-probe against the well-behaved Beast peer, as a conformance run would use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/platform/net/peers/BeastServer.h"
#include "tests/platform/net/peers/TestPKI.h"
#include "tests/support/TestSupport.h"

using kavtest::BeastServer;
using kavtest::BeastSession;
using kavtest::Notes;
using testing::ElementsAre;

namespace {

struct ProbeRun {
    std::vector<std::string> lines;
    int status = -1;
};

ProbeRun runProbe(const std::string& arguments) {
    const std::string command =
        (kavtest::binDir() / "ws-probe").string() + " " + arguments + " 2>&1";
    ProbeRun run;
    FILE* out = popen(command.c_str(), "r");
    if (!out) return run;
    std::string line;
    for (int c; (c = std::fgetc(out)) != EOF;) {
        if (c == '\n') {
            run.lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    const int status = pclose(out);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Sends each case and checks that the probe echoes it unchanged.
void conformance(BeastSession& s, Notes& notes) {
    auto expectEcho = [&](const std::string& name, bool text, const std::string& data) {
        auto m = s.read();
        notes.add(m && m->text == text && m->data == data ? "echo ok " + name
                                                          : "echo wrong " + name);
    };
    s.write({true, "hello"});
    expectEcho("text", true, "hello");
    s.write({false, std::string("\x00\x01\x02\xFF", 4)});
    expectEcho("binary", false, std::string("\x00\x01\x02\xFF", 4));
    s.writeFragmented(true, {"frag", "men", "ted"}, "p");
    expectEcho("fragments", true, "fragmented");
    s.write({true, "h\xC3\xA9llo \xE2\x82\xAC"});
    expectEcho("utf-8", true, "h\xC3\xA9llo \xE2\x82\xAC");
    s.writeFragmented(true, {"\xE2", "\x82\xAC"}, "");
    expectEcho("split utf-8", true, "\xE2\x82\xAC");
    s.close(1000, "done");
}

TEST(WsProbe, EchoesEveryConformanceCase) {
    BeastServer server(conformance);
    const ProbeRun run = runProbe("--echo --max-seconds 20 " + server.url("/conformance"));
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.lines,
                ElementsAre("open -", "text 5 \"hello\"", "binary 4 000102ff",
                            "text 10 \"fragmented\"", "text 10 \"h\xC3\xA9llo \xE2\x82\xAC\"",
                            "text 3 \"\xE2\x82\xAC\"", "close 1000 done 1"));
    const auto notes = server.notes.all();
    for (const char* name : {"text", "binary", "fragments", "utf-8", "split utf-8"})
        EXPECT_THAT(notes, testing::Contains(std::string("echo ok ") + name));
    EXPECT_EQ(std::count(notes.begin(), notes.end(), "pong p"), 2);
}

TEST(WsProbe, SendsClosesAndTrustsTheCAOrPinItIsGiven) {
    const auto& pki = kavtest::TestPKI::get();
    BeastServer server(
        [](BeastSession& s, Notes& notes) {
            while (auto m = s.read())
                notes.add(std::string(m->text ? "text " : "binary ") + m->data);
        },
        BeastServer::Tls{pki.leafChain, pki.leafKey});
    const std::string sends = "--send-text hi --send-binary-hex 0A0b --close 4000 bye ";

    const ProbeRun untrusted = runProbe(sends + server.url());
    EXPECT_EQ(untrusted.status, 0);
    ASSERT_EQ(untrusted.lines.size(), 1u);
    EXPECT_THAT(untrusted.lines[0], testing::StartsWith("fail TlsErrorDomain 2 "));

    const ProbeRun trusted = runProbe(sends + "--ca " + pki.caCert + " " + server.url());
    EXPECT_EQ(trusted.status, 0);
    EXPECT_THAT(trusted.lines, ElementsAre("open -", "close 4000 - 1"));
    EXPECT_THAT(server.notes.all(), testing::IsSupersetOf(std::vector<std::string>{
                                        "text hi", "binary \x0a\x0b", "closed 4000 bye"}));

    const ProbeRun pinned = runProbe("--close 1000 --pin " + pki.leafCert + " " + server.url());
    EXPECT_THAT(pinned.lines, ElementsAre("open -", "close 1000 - 1"));
    const ProbeRun wrongPin =
        runProbe("--close 1000 --pin " + pki.rogueCaCert + " " + server.url());
    EXPECT_THAT(wrongPin.lines,
                ElementsAre("fail KAVWebSocketStreamErrorDomain 23556 Invalid server cert"));

    EXPECT_EQ(runProbe("--close").status, 2);
    EXPECT_EQ(runProbe("--send-binary-hex abc ws://127.0.0.1:1/").status, 2);
    EXPECT_EQ(runProbe("ftp://127.0.0.1/").status, 2);
}

TEST(WsProbe, RefusesARunLengthItCannotCount) {
    // Each would have been taken: a deadline past the clock's range (undefined,
    // then a run that timed out at once or never), or the number before a typo.
    for (const char* seconds : {"1e300", "inf", "nan", "5x", "0", "-1", ""}) {
        const ProbeRun run =
            runProbe(std::string("--max-seconds '") + seconds + "' ws://127.0.0.1:1/");
        EXPECT_EQ(run.status, 2) << seconds;
        EXPECT_THAT(run.lines, testing::Contains(testing::HasSubstr("--max-seconds needs"))) << seconds;
    }
    const ProbeRun refused = runProbe("--max-seconds 5 ws://127.0.0.1:1/");
    EXPECT_EQ(refused.status, 0);
    EXPECT_THAT(refused.lines, ElementsAre(testing::StartsWith("fail ")));
}

}  // namespace
