#pragma once

#include <any>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/HttpHead.h"

namespace platform::net {

// An absolute URL of the form scheme://[user@]host[:port][/path][?query][#fragment].
// The host of an IPv6 literal is kept without its brackets.
class URL {
  public:
    static std::optional<URL> parse(std::string_view text);

    const std::string& absoluteString() const { return absolute_; }
    const std::string& scheme() const { return scheme_; }  // as written
    const std::string& host() const { return host_; }
    std::optional<int> port() const { return port_; }    // only when written
    const std::string& path() const { return path_; }    // may be empty
    const std::string& query() const { return query_; }  // without '?'
    bool hasQuery() const { return hasQuery_; }

    // Host as it goes into a "Host" field or an origin: IPv6 literals in brackets.
    std::string hostForHeader() const;
    // Path ("/" when empty) and query: the target of an HTTP request line.
    std::string requestTarget() const;

  private:
    std::string absolute_, scheme_, host_, path_, query_;
    std::optional<int> port_;
    bool hasQuery_ = false;
};

// A request for a URL: header fields to send with it and named properties
// that layers attach to it (for example pinned certificates).
class URLRequest {
  public:
    explicit URLRequest(URL url) : url_(std::move(url)) {}

    const URL& url() const { return url_; }
    void setURL(URL url) { url_ = std::move(url); }

    // Sets a header field; a field of the same name (any case) is replaced.
    void setValue(const std::string& value, const std::string& field) { fields_.set(field, value); }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const {
        return fields_.value(field);
    }
    const HttpHeaderFields& allHTTPHeaderFields() const { return fields_; }

    void setProperty(const std::string& key, std::any value) {
        properties_[key] = std::move(value);
    }
    void removeProperty(const std::string& key) { properties_.erase(key); }
    const std::any* property(const std::string& key) const {
        auto it = properties_.find(key);
        return it == properties_.end() ? nullptr : &it->second;
    }

  private:
    URL url_;
    HttpHeaderFields fields_;
    std::map<std::string, std::any> properties_;
};

}  // namespace platform::net
