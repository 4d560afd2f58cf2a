#pragma once

#include <memory>
#include <string>

#include <boost/asio/ssl/context.hpp>

namespace dealersim {

struct TlsFiles {
    std::string certPath;  // PEM
    std::string keyPath;   // PEM
};

// Makes a self-signed certificate for 127.0.0.1 and localhost (EC P-256,
// valid for a year) and writes it and its key as PEM files into `folder`.
// Throws std::runtime_error on failure.
TlsFiles generateSelfSigned(const std::string& folder);

// A server context holding the certificate and key of the files.
std::unique_ptr<boost::asio::ssl::context> makeServerContext(const TlsFiles& files);

}  // namespace dealersim
