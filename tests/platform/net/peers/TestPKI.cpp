#include "tests/platform/net/peers/TestPKI.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kavtest {

namespace {

EVP_PKEY* newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) throw std::runtime_error("test PKI: key generation failed");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) throw std::runtime_error("test PKI: bad extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

// A certificate for `key`, signed by `issuerKey` (self-signed when issuer is null).
X509* makeCert(const char* commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, bool ca,
               long serial, long notBeforeDays = -1, long notAfterDays = 365,
               const char* altNames = "DNS:localhost,IP:127.0.0.1") {
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), notBeforeDays * 86400L);
    X509_gmtime_adj(X509_getm_notAfter(cert), notAfterDays * 86400L);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : name);
    X509* issuerCert = issuer ? issuer : cert;
    addExtension(cert, issuerCert, NID_subject_key_identifier, "hash");
    addExtension(cert, issuerCert, NID_authority_key_identifier, "keyid:always");
    if (ca) {
        addExtension(cert, issuerCert, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert, issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert, issuerCert, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert, issuerCert, NID_subject_alt_name, altNames);
        addExtension(cert, issuerCert, NID_ext_key_usage, "serverAuth");
    }
    if (!X509_sign(cert, issuerKey ? issuerKey : key, EVP_sha256()))
        throw std::runtime_error("test PKI: sign failed");
    return cert;
}

void writePEM(const std::string& path, std::initializer_list<X509*> certs,
              EVP_PKEY* key = nullptr) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) throw std::runtime_error("test PKI: cannot write " + path);
    for (X509* c : certs)
        PEM_write_X509(f, c);
    if (key) PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
}

TestPKI generate() {
    std::string dirTemplate = (std::filesystem::temp_directory_path() / "kavpki-XXXXXX").string();
    if (!mkdtemp(dirTemplate.data())) throw std::runtime_error("test PKI: mkdtemp failed");
    const std::string dir = dirTemplate + "/";

    EVP_PKEY* caKey = newKey();
    X509* ca = makeCert("KAV Test CA", caKey, nullptr, nullptr, true, 1);
    EVP_PKEY* leafKey = newKey();
    X509* leaf = makeCert("localhost", leafKey, ca, caKey, false, 2);
    EVP_PKEY* rogueCaKey = newKey();
    X509* rogueCa = makeCert("KAV Rogue CA", rogueCaKey, nullptr, nullptr, true, 3);
    EVP_PKEY* rogueLeafKey = newKey();
    X509* rogueLeaf = makeCert("localhost", rogueLeafKey, rogueCa, rogueCaKey, false, 4);
    EVP_PKEY* expiredKey = newKey();
    X509* expired = makeCert("localhost", expiredKey, ca, caKey, false, 5, -30, -1);
    EVP_PKEY* otherHostKey = newKey();
    X509* otherHost = makeCert("quotes.example.com", otherHostKey, ca, caKey, false, 6, -1, 365,
                               "DNS:quotes.example.com");

    TestPKI pki;
    pki.caCert = dir + "ca.pem";
    pki.leafCert = dir + "leaf.pem";
    pki.leafKey = dir + "leaf.key";
    pki.leafChain = dir + "leaf-chain.pem";
    pki.rogueCaCert = dir + "rogue-ca.pem";
    pki.rogueLeafChain = dir + "rogue-chain.pem";
    pki.rogueLeafKey = dir + "rogue.key";
    pki.expiredChain = dir + "expired-chain.pem";
    pki.expiredKey = dir + "expired.key";
    pki.otherHostChain = dir + "other-host-chain.pem";
    pki.otherHostKey = dir + "other-host.key";
    writePEM(pki.caCert, {ca});
    writePEM(pki.leafCert, {leaf});
    writePEM(pki.leafKey, {}, leafKey);
    writePEM(pki.leafChain, {leaf, ca});
    writePEM(pki.rogueCaCert, {rogueCa});
    writePEM(pki.rogueLeafChain, {rogueLeaf, rogueCa, ca});
    writePEM(pki.rogueLeafKey, {}, rogueLeafKey);
    writePEM(pki.expiredChain, {expired, ca});
    writePEM(pki.expiredKey, {}, expiredKey);
    writePEM(pki.otherHostChain, {otherHost, ca});
    writePEM(pki.otherHostKey, {}, otherHostKey);

    for (X509* c : {ca, leaf, rogueCa, rogueLeaf, expired, otherHost})
        X509_free(c);
    for (EVP_PKEY* k : {caKey, leafKey, rogueCaKey, rogueLeafKey, expiredKey, otherHostKey})
        EVP_PKEY_free(k);
    return pki;
}

}  // namespace

const TestPKI& TestPKI::get() {
    // The folder goes when the process ends.
    static const struct Holder {
        TestPKI pki = generate();
        ~Holder() {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::path(pki.caCert).parent_path(), ec);
        }
    } holder;
    return holder.pki;
}

}  // namespace kavtest
