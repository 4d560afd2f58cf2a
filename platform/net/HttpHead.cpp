#include "platform/net/HttpHead.h"

#include <cstring>

namespace platform::net {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// RFC 9110 token characters, the only ones allowed in a field name.
bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != '\0';
}

// Field values may hold visible characters, spaces, tabs and obsolete
// 8-bit text, but no other control characters.
bool isValueChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == '\t' || (u >= 0x20 && u != 0x7F);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

const HttpHeaderFields::Field* HttpHeaderFields::find(std::string_view name) const {
    for (const auto& f : fields_)
        if (equalsIgnoringCase(f.first, name)) return &f;
    return nullptr;
}

HttpHeaderFields::Field* HttpHeaderFields::find(std::string_view name) {
    for (auto& f : fields_)
        if (equalsIgnoringCase(f.first, name)) return &f;
    return nullptr;
}

void HttpHeaderFields::set(std::string_view name, std::string_view value) {
    if (Field* f = find(name)) {
        f->first = std::string(name);
        f->second = std::string(value);
    } else {
        fields_.emplace_back(std::string(name), std::string(value));
    }
}

void HttpHeaderFields::append(std::string_view name, std::string_view value) {
    if (Field* f = find(name)) {
        f->second += ", ";
        f->second += value;
    } else {
        fields_.emplace_back(std::string(name), std::string(value));
    }
}

std::optional<std::string> HttpHeaderFields::value(std::string_view name) const {
    const Field* f = find(name);
    if (!f) return std::nullopt;
    return f->second;
}

std::string HttpRequestHead::serialize() const {
    std::string out;
    out.reserve(256);
    out += method;
    out += ' ';
    out += target;
    out += " HTTP/1.1\r\n";
    for (const auto& [name, value] : fields.all()) {
        out += name;
        out += ": ";
        out += value;
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

size_t httpHeadLength(std::string_view bytes) {
    const size_t pos = bytes.find("\r\n\r\n");
    return pos == std::string_view::npos ? 0 : pos + 4;
}

std::optional<HttpResponseHead> HttpResponseHead::parse(std::string_view head) {
    if (head.size() < 4 || head.substr(head.size() - 4) != "\r\n\r\n") return std::nullopt;
    head.remove_suffix(2);  // every line, the last field line included, now ends in CR LF

    auto nextLine = [&head](std::string_view& line) {
        const size_t end = head.find("\r\n");
        if (end == std::string_view::npos) return false;
        line = head.substr(0, end);
        head.remove_prefix(end + 2);
        return true;
    };

    HttpResponseHead out;
    std::string_view line;
    if (!nextLine(line)) return std::nullopt;
    // HTTP/D.D SP DDD [SP reason]
    if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || !isDigit(line[5]) || line[6] != '.' ||
        !isDigit(line[7]) || line[8] != ' ' || !isDigit(line[9]) || !isDigit(line[10]) ||
        !isDigit(line[11]))
        return std::nullopt;
    if (line.size() > 12 && line[12] != ' ') return std::nullopt;
    out.majorVersion = line[5] - '0';
    out.minorVersion = line[7] - '0';
    out.statusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (line.size() > 13) out.reasonPhrase = std::string(line.substr(13));
    for (char c : out.reasonPhrase)
        if (!isValueChar(c)) return std::nullopt;

    std::string lastName;
    while (nextLine(line)) {
        if (line.empty()) return std::nullopt;  // an empty line before the end
        for (char c : line)
            if (!isValueChar(c)) return std::nullopt;
        if (line.front() == ' ' || line.front() == '\t') {
            // Obsolete line folding continues the previous field's value.
            if (lastName.empty()) return std::nullopt;
            auto current = out.fields.value(lastName).value_or("");
            const auto more = trim(line);
            if (!more.empty()) current += (current.empty() ? "" : " ") + std::string(more);
            out.fields.set(lastName, current);
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return std::nullopt;
        const std::string_view name = line.substr(0, colon);
        for (char c : name)
            if (!isTokenChar(c)) return std::nullopt;
        out.fields.append(name, trim(line.substr(colon + 1)));
        lastName = std::string(name);
    }
    if (!head.empty()) return std::nullopt;
    return out;
}

}  // namespace platform::net
