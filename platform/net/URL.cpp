#include "platform/net/URL.h"

#include <cctype>

namespace platform::net {

std::optional<URL> URL::parse(std::string_view text) {
    URL url;
    url.absolute_ = std::string(text);
    const size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return std::nullopt;
    url.scheme_ = std::string(text.substr(0, schemeEnd));
    for (size_t i = 0; i < url.scheme_.size(); ++i) {
        const auto c = static_cast<unsigned char>(url.scheme_[i]);
        const bool ok =
            std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
        if (!ok) return std::nullopt;
    }
    std::string_view rest = text.substr(schemeEnd + 3);

    if (const size_t hash = rest.find('#'); hash != std::string_view::npos)
        rest = rest.substr(0, hash);
    const size_t authorityEnd = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view tail =
        authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);

    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        url.host_ = std::string(authority.substr(1, close - 1));
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
            if (portText.empty()) return std::nullopt;
        }
    } else {
        const size_t colon = authority.rfind(':');
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) return std::nullopt;
            authority = authority.substr(0, colon);
        }
        url.host_ = std::string(authority);
    }
    if (url.host_.empty()) return std::nullopt;
    // A bracket belongs only around an IPv6 literal: a host holding one
    // would go into the Host field as something else than what was read.
    for (char c : url.host_)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '/' || c == '\\' ||
            c == '[' || c == ']')
            return std::nullopt;
    if (!portText.empty()) {
        if (portText.size() > 5) return std::nullopt;
        int port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return std::nullopt;
            port = port * 10 + (c - '0');
        }
        if (port > 65535) return std::nullopt;
        url.port_ = port;
    }

    const size_t q = tail.find('?');
    url.path_ = std::string(tail.substr(0, q));
    if (q != std::string_view::npos) {
        url.hasQuery_ = true;
        url.query_ = std::string(tail.substr(q + 1));
    }
    for (char c : url.path_ + url.query_)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return std::nullopt;
    return url;
}

std::string URL::hostForHeader() const {
    if (host_.find(':') != std::string::npos) return "[" + host_ + "]";
    return host_;
}

std::string URL::requestTarget() const {
    std::string target = path_.empty() ? "/" : path_;
    if (hasQuery_) target += "?" + query_;
    return target;
}

}  // namespace platform::net
