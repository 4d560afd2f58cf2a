// Fuzz target: the service addresses of a login reply. Input: the reply's
// data as JSON (its history, trading, quote, compressed-quote and message
// addresses are read as the login reads them), or any other bytes as one
// address. Checks on every address that parses: a host, free of blanks,
// controls, slashes and brackets; a port within 0-65535; a path and query
// free of blanks and controls; a request target that starts with "/"; and
// the address made again from host, port, path and query parses to the
// same parts (what goes into the request line and the Host field is what
// was read).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Core/Biz/BizLogin.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/net/URL.h"
#include "tests/support/FuzzQuiet.h"

namespace {

using platform::net::URL;

bool plain(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    return true;
}

void checkAddress(std::string_view text) {
    const auto url = URL::parse(text);
    if (!url) return;
    const std::string& host = url->host();
    if (host.empty() || !plain(host) || host.find_first_of("/\\[]@") != std::string::npos)
        std::abort();
    if (url->port() && (*url->port() < 0 || *url->port() > 65535)) std::abort();
    if (!plain(url->path()) || !plain(url->query())) std::abort();
    if (!url->path().empty() && url->path().front() != '/') std::abort();
    const std::string target = url->requestTarget();
    if (target.empty() || target.front() != '/') std::abort();

    std::string again = url->scheme() + "://" + url->hostForHeader();
    if (url->port()) again += ":" + std::to_string(*url->port());
    again += url->path();
    if (url->hasQuery()) again += "?" + url->query();
    const auto reread = URL::parse(again);
    if (!reread || reread->host() != host || reread->port() != url->port() ||
        reread->path() != url->path() || reread->query() != url->query() ||
        reread->hasQuery() != url->hasQuery() || reread->requestTarget() != target ||
        reread->hostForHeader() != url->hostForHeader())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavtest::quietLogForFuzzing();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto json = platform::parseJson(input);
    if (!json || !json->is_object()) {
        checkAddress(input);
        return 0;
    }
    const MODLoginInfo info = BizLogin::loginInfoFrom(*json);
    for (const std::string* address : {&info.hisQuoted, &info.tradeproxy, &info.quotedproxy,
                                       &info.quotedproxycmp, &info.messageProxy})
        checkAddress(*address);
    return 0;
}
