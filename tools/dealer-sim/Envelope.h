#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dealersim {

// Standard Base64 without line breaks.
std::string base64Encode(std::string_view bytes);
// Strict: characters outside the alphabet, misplaced padding or a length that
// is not a multiple of four give nothing.
std::optional<std::string> base64Decode(std::string_view text);

// The package envelope of the enciphered services: PKCS#7 padding, AES in ECB
// mode, Base64. The key string is zero-filled or cut to the AES key size its
// length selects (up to 16 bytes: AES-128, up to 24: AES-192, else AES-256),
// as the client prepares it. The IV string is kept only to be reported: ECB
// uses none.
class Envelope {
  public:
    Envelope(std::string key, std::string iv);

    const std::string& key() const { return key_; }
    const std::string& iv() const { return iv_; }

    // With badPadding the last byte of the padding is wrong (0), so that a
    // strict reader refuses what is otherwise a well-formed envelope.
    std::string seal(std::string_view plain, bool badPadding = false) const;
    // The plain text, or nothing with the reason in `error`.
    std::optional<std::string> open(std::string_view sealed, std::string* error = nullptr) const;

  private:
    std::string key_;
    std::string iv_;
    std::string preparedKey_;
};

}  // namespace dealersim
