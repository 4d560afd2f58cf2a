#include "platform/net/Tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/net/TlsInternal.h"

namespace platform::net {

std::optional<Certificate> Certificate::fromDER(std::string der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    X509* x = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    if (!x) {
        ERR_clear_error();
        return std::nullopt;
    }
    X509_free(x);
    return Certificate(std::move(der));
}

std::vector<Certificate> Certificate::allFromPEM(std::string_view pem) {
    std::vector<Certificate> out;
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (!bio) return out;
    while (X509* x = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        unsigned char* der = nullptr;
        const int len = i2d_X509(x, &der);
        if (len > 0) out.push_back(Certificate(std::string(reinterpret_cast<char*>(der), len)));
        OPENSSL_free(der);
        X509_free(x);
    }
    ERR_clear_error();  // the end of the text reads as an error
    BIO_free(bio);
    return out;
}

std::vector<Certificate> Certificate::loadPEMFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    return allFromPEM(text.str());
}

bool addTrustedCAFile(const std::string& path) {
    const auto certs = Certificate::loadPEMFile(path);
    if (certs.empty()) return false;
    X509_STORE* store = SSL_CTX_get_cert_store(detail::clientContext());
    for (const auto& cert : certs) {
        const auto* p = reinterpret_cast<const unsigned char*>(cert.der().data());
        X509* x = d2i_X509(nullptr, &p, static_cast<long>(cert.der().size()));
        if (!x) continue;
        X509_STORE_add_cert(store, x);  // fails harmlessly for a duplicate
        X509_free(x);
    }
    ERR_clear_error();
    return true;
}

namespace detail {

namespace {

// OpenSSL is set up while the program starts, before any thread pool exists:
// its clean-up at exit then runs after those threads have ended and released
// their per-thread state.
[[maybe_unused]] const bool kOpenSSLReady = OPENSSL_init_ssl(0, nullptr) == 1;

// Socket I/O for OpenSSL with MSG_NOSIGNAL, so a peer that went away gives
// EPIPE instead of killing the process.
int bioWrite(BIO* bio, const char* data, int length) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int bioRead(BIO* bio, char* out, int length) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(fd, out, static_cast<size_t>(length), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long bioCtrl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

int bioDestroy(BIO*) {
    return 1;  // the socket belongs to the stream
}

BIO_METHOD* socketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kav socket");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, bioCtrl);
        BIO_meth_set_create(m, bioCreate);
        BIO_meth_set_destroy(m, bioDestroy);
        return m;
    }();
    return method;
}

bool isIPLiteral(const std::string& host) {
    unsigned char buf[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

}  // namespace

SSL_CTX* clientContext() {
    static SSL_CTX* ctx = [] {
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(c);
        SSL_CTX_set_options(c, SSL_OP_NO_RENEGOTIATION | SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        ERR_clear_error();
        return c;
    }();
    return ctx;
}

SSL* newClientSSL(int fd, const TlsSettings& settings) {
    SSL* ssl = SSL_new(clientContext());
    if (!ssl) return nullptr;
    BIO* bio = BIO_new(socketMethod());
    if (!bio) {
        SSL_free(ssl);
        return nullptr;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
    SSL_set_bio(ssl, bio, bio);

    const std::string& host = settings.peerName;
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (isIPLiteral(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl, host.c_str());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(ssl, host.c_str());
    }

    if (!settings.pinnedCertificates.empty()) {
        // Only the pinned certificates are anchors; a pinned intermediate or
        // leaf is enough (partial chain). Certificates the server sends serve
        // only to build the path from its leaf, so a server that merely adds
        // a pinned certificate to an unrelated chain does not verify.
        X509_STORE* store = X509_STORE_new();
        for (const auto& cert : settings.pinnedCertificates) {
            const auto* p = reinterpret_cast<const unsigned char*>(cert.der().data());
            if (X509* x = d2i_X509(nullptr, &p, static_cast<long>(cert.der().size()))) {
                X509_STORE_add_cert(store, x);
                X509_free(x);
            }
        }
        X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
        X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
        SSL_set1_verify_cert_store(ssl, store);
        X509_STORE_free(store);
    }
    SSL_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
    SSL_set_connect_state(ssl);
    ERR_clear_error();
    return ssl;
}

std::string takeOpenSSLError(const char* fallback) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return fallback;
    char buf[256];
    ERR_error_string_n(code, buf, sizeof buf);
    return buf;
}

}  // namespace detail
}  // namespace platform::net
