#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::net {

// One X.509 certificate, held as its DER bytes.
class Certificate {
  public:
    // Nothing when the bytes are not a certificate.
    static std::optional<Certificate> fromDER(std::string der);
    // Every certificate of a PEM text / file, in order.
    static std::vector<Certificate> allFromPEM(std::string_view pem);
    static std::vector<Certificate> loadPEMFile(const std::string& path);

    const std::string& der() const { return der_; }
    bool operator==(const Certificate& other) const { return der_ == other.der_; }

  private:
    explicit Certificate(std::string der) : der_(std::move(der)) {}
    std::string der_;
};

// Adds the certificates of a PEM file to the roots that every TLS connection
// of the process trusts besides the system's own (for a private test CA).
// Returns false when the file holds no certificate.
bool addTrustedCAFile(const std::string& path);

struct TlsSettings {
    // Sent as the server name (unless it is an IP address) and checked
    // against the server's certificate.
    std::string peerName;
    // When not empty, these replace the trusted roots: the server's own
    // certificate must lead up to one of them through the chain it sends.
    std::vector<Certificate> pinnedCertificates;
};

// Errors of the TLS layer (domain kTlsErrorDomain).
inline constexpr const char* kTlsErrorDomain = "TlsErrorDomain";
enum TlsErrorCode : long {
    kTlsHandshakeFailed = 1,            // the handshake failed for another reason
    kTlsCertificateRejected = 2,        // the chain did not verify
    kTlsPinnedCertificateNotFound = 3,  // pinned mode: no pinned certificate vouches for the server
    kTlsConnectionFailed = 4,           // a TLS error after the handshake
    kTlsHostNameMismatch = 5,           // the certificate is not for the host asked for
};

// Other stream error domains: the system call's errno, and the resolver's code.
inline constexpr const char* kPosixErrorDomain = "PosixErrorDomain";
inline constexpr const char* kResolverErrorDomain = "ResolverErrorDomain";

}  // namespace platform::net
