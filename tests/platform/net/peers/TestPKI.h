#pragma once

#include <string>

namespace kavtest {

// Certificates made once per test process with OpenSSL, written as PEM files
// to a temporary folder. Every leaf but the other host's is valid for
// "localhost" and 127.0.0.1.
struct TestPKI {
    std::string caCert;    // the test CA
    std::string leafCert;  // leaf signed by the test CA
    std::string leafKey;
    std::string leafChain;    // leaf, then the test CA
    std::string rogueCaCert;  // an unrelated CA
    std::string
        rogueLeafChain;  // leaf signed by the rogue CA, the rogue CA, then the test CA appended
    std::string rogueLeafKey;
    std::string expiredChain;  // leaf signed by the test CA whose validity has ended, then the CA
    std::string expiredKey;
    std::string otherHostChain;  // leaf for "quotes.example.com" only, signed by the test CA
    std::string otherHostKey;

    static const TestPKI& get();
};

}  // namespace kavtest
