#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::net {

// Header fields of an HTTP head, in the order they were first set. Names
// compare without regard to case.
class HttpHeaderFields {
  public:
    using Field = std::pair<std::string, std::string>;

    // Replaces the value of a field of the same name (keeping its place and
    // the new spelling of the name), else appends the field.
    void set(std::string_view name, std::string_view value);
    // Appends to an existing field's value with ", " (repeated fields of a
    // response), else adds the field.
    void append(std::string_view name, std::string_view value);
    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    const std::vector<Field>& all() const { return fields_; }
    bool empty() const { return fields_.empty(); }

  private:
    const Field* find(std::string_view name) const;
    Field* find(std::string_view name);
    std::vector<Field> fields_;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b);

struct HttpRequestHead {
    std::string method = "GET";
    std::string target = "/";
    HttpHeaderFields fields;

    // "METHOD target HTTP/1.1", the fields, and the empty line.
    std::string serialize() const;
};

struct HttpResponseHead {
    int majorVersion = 1;
    int minorVersion = 1;
    int statusCode = 0;
    std::string reasonPhrase;
    HttpHeaderFields fields;

    // Parses a complete head (status line, fields, empty line). Returns
    // nothing for anything malformed: a bad status line, a field line without
    // a name or colon, control characters, or a missing final empty line.
    static std::optional<HttpResponseHead> parse(std::string_view head);
};

// Length of the head at the start of `bytes` up to and including the first
// CR LF CR LF, or 0 when it has not arrived yet. Bytes after it are not part
// of the head.
size_t httpHeadLength(std::string_view bytes);

}  // namespace platform::net
