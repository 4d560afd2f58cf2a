#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Byte strings are std::string holding raw bytes.
namespace platform::crypto {

// 20-byte SHA-1 digest.
std::string sha1(std::string_view bytes);

// Base64 (standard alphabet, '=' padding, no line breaks).
std::string base64Encode(std::string_view bytes);
// Strict: any character outside the alphabet, misplaced padding or a length
// that is not a multiple of 4 gives nothing.
std::optional<std::string> base64Decode(std::string_view text);

// Bytes from the system's secure random source.
std::string randomBytes(size_t count);
void randomBytes(void* out, size_t count);

// AES in ECB mode without library padding. One object holds one keyed
// context for each direction and is reused for every message: keying is done
// once, not per message. The key must be 16, 24 or 32 bytes.
class AesEcb {
  public:
    static std::optional<AesEcb> create(std::string_view key);
    AesEcb(AesEcb&&) noexcept;
    AesEcb& operator=(AesEcb&&) noexcept;
    ~AesEcb();

    // Input must be a whole number of 16-byte blocks; nothing otherwise.
    std::optional<std::string> encrypt(std::string_view blocks) const;
    // The plain text comes with kRoomBehind bytes of capacity to spare, so
    // that a reader that reads ahead (the JSON parser) reads it where it lies.
    std::optional<std::string> decrypt(std::string_view blocks) const;
    static constexpr size_t kRoomBehind = 64;

    struct Impl;

  private:
    explicit AesEcb(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::crypto
