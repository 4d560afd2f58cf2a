#include "tools/dealer-sim/Tls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace dealersim {
namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
    void operator()(X509* p) const { X509_free(p); }
};
struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};

void addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) throw std::runtime_error("cannot make certificate extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

}  // namespace

TlsFiles generateSelfSigned(const std::string& folder) {
    std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) throw std::runtime_error("cannot generate a key");
    std::unique_ptr<X509, X509Free> cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("dealer-sim"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    addExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        throw std::runtime_error("cannot sign the certificate");

    TlsFiles files{folder + "/dealer-sim-cert.pem", folder + "/dealer-sim-key.pem"};
    std::unique_ptr<FILE, FileClose> certFile(std::fopen(files.certPath.c_str(), "wb"));
    std::unique_ptr<FILE, FileClose> keyFile(std::fopen(files.keyPath.c_str(), "wb"));
    if (!certFile || !keyFile)
        throw std::runtime_error("cannot write the certificate files into " + folder);
    if (PEM_write_X509(certFile.get(), cert.get()) != 1 ||
        PEM_write_PrivateKey(keyFile.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("cannot write the certificate files into " + folder);
    return files;
}

std::unique_ptr<boost::asio::ssl::context> makeServerContext(const TlsFiles& files) {
    auto ctx = std::make_unique<boost::asio::ssl::context>(boost::asio::ssl::context::tls_server);
    ctx->set_options(boost::asio::ssl::context::default_workarounds |
                     boost::asio::ssl::context::no_sslv2 | boost::asio::ssl::context::no_sslv3);
    ctx->use_certificate_chain_file(files.certPath);
    ctx->use_private_key_file(files.keyPath, boost::asio::ssl::context::pem);
    return ctx;
}

}  // namespace dealersim
