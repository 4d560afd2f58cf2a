#include "tests/support/PeerHttp.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>

namespace kavtest {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

PeerHttpAnswer peerHttpCall(const std::string& host, const std::string& port,
                            const std::string& method, const std::string& target,
                            const std::string& body, int timeoutMs, bool keepAlive) {
    PeerHttpAnswer answer;
    net::io_context io;
    boost::system::error_code resolveError;
    tcp::resolver resolver(io);
    const auto endpoints = resolver.resolve(host, port, resolveError);
    if (resolveError) {
        answer.error = resolveError.message();
        return answer;
    }
    beast::tcp_stream stream(io);
    http::request<http::string_body> req(http::string_to_verb(method), target, 11);
    req.set(http::field::host, host);
    if (!keepAlive) req.keep_alive(false);
    if (!body.empty()) {
        req.set(http::field::content_type, "application/json");
        req.body() = body;
    }
    req.prepare_payload();
    http::response_parser<http::string_body> parser;
    parser.body_limit(64u << 20);
    beast::flat_buffer buffer;
    boost::system::error_code result = net::error::timed_out;
    stream.expires_after(std::chrono::milliseconds(timeoutMs));
    stream.async_connect(endpoints, [&](boost::system::error_code ec, const tcp::endpoint&) {
        if (ec) {
            result = ec;
            return;
        }
        http::async_read(stream, buffer, parser,
                         [&](boost::system::error_code ec3, size_t) { result = ec3; });
        http::async_write(stream, req, [](boost::system::error_code, size_t) {});
    });
    io.run();
    if (result && !parser.is_done()) {
        answer.error = result.message();
        return answer;
    }
    const auto& res = parser.get();
    answer.status = static_cast<int>(res.result_int());
    answer.contentType = std::string(res[http::field::content_type]);
    answer.body = res.body();
    return answer;
}

}  // namespace kavtest
