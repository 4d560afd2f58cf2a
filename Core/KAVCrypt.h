#pragma once

// The envelope of the login, trading and message services: the package text
// as UTF-8, padded to whole 16-byte blocks (PKCS#7, done here), enciphered
// with AES in ECB mode, then Base64 without line breaks.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Crypto.h"

class KAVCrypt {
  public:
    // The package key and IV shared with the dealer's services (16 ASCII
    // characters each; the IV has no effect in ECB mode).
    static constexpr const char* kPackageKey = "KAVTrader2015Key";
    static constexpr const char* kPackageIV = "0102030405060708";

    // Cipher numbers of the key-size rule.
    enum Algorithm { kAES = 0, kDES = 1, k3DES = 2, kCAST = 3, kRC4 = 4 };
    // The key brought to a size the cipher accepts, zero-filled or cut:
    // AES up to 16 bytes 16, 17 to 24 bytes 24, more 32; DES 8; triple DES
    // 24; CAST 5 to 16; RC4 at most 512; others unchanged.
    static std::string prepareKey(int algorithm, std::string_view key);

    // One keyed cipher, kept for as long as the key stays the same.
    explicit KAVCrypt(std::string_view key, std::string_view iv = kPackageIV);
    KAVCrypt(KAVCrypt&&) noexcept = default;
    KAVCrypt& operator=(KAVCrypt&&) noexcept = default;

    // Base64 of the enciphered, padded text.
    std::string encrypt(std::string_view text) const;
    // The plain text, or nothing when the text is not Base64, not whole
    // blocks, badly padded or not UTF-8 once deciphered.
    std::optional<std::string> decrypt(std::string_view base64) const;

    // One-off forms that key a cipher for a single text.
    static std::string encrypt(std::string_view text, std::string_view key, std::string_view iv);
    static std::optional<std::string> decrypt(std::string_view base64, std::string_view key,
                                              std::string_view iv);

    // p = 16 - (n mod 16) bytes of value p appended, so 1 to 16.
    static std::string pad(std::string_view bytes);
    // The padding removed, or nothing when it is not 1 to 16 equal bytes of
    // that value within the data.
    static std::optional<std::string> unpad(std::string_view bytes);

  private:
    platform::crypto::AesEcb aes_;
};
