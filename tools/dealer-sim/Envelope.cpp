#include "tools/dealer-sim/Envelope.h"

#include <openssl/evp.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace dealersim {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int alphabetIndex(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

const EVP_CIPHER* cipherFor(size_t keyLength) {
    if (keyLength == 16) return EVP_aes_128_ecb();
    if (keyLength == 24) return EVP_aes_192_ecb();
    return EVP_aes_256_ecb();
}

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

// Runs the cipher over whole blocks without library padding.
std::optional<std::string> runCipher(const std::string& key, std::string_view in, bool encrypt) {
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx) return std::nullopt;
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
    if (EVP_CipherInit_ex(ctx.get(), cipherFor(key.size()), nullptr, keyBytes, nullptr,
                          encrypt ? 1 : 0) != 1)
        return std::nullopt;
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    std::string out(in.size() + 16, '\0');
    int written = 0;
    int finalWritten = 0;
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_CipherUpdate(ctx.get(), outBytes, &written,
                         reinterpret_cast<const unsigned char*>(in.data()),
                         static_cast<int>(in.size())) != 1)
        return std::nullopt;
    if (EVP_CipherFinal_ex(ctx.get(), outBytes + written, &finalWritten) != 1) return std::nullopt;
    out.resize(static_cast<size_t>(written + finalWritten));
    return out;
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v =
            (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        uint32_t v = uint8_t(bytes[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::array<int, 4> v{};
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=') {
                // Padding only at the end of the last quantum, and never in its first two places.
                if (!last || k < 2) return std::nullopt;
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0) return std::nullopt;
            v[k] = alphabetIndex(c);
            if (v[k] < 0) return std::nullopt;
        }
        const uint32_t n = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) |
                           uint32_t(v[3]);
        out += char((n >> 16) & 0xFF);
        if (padding < 2) out += char((n >> 8) & 0xFF);
        if (padding < 1) out += char(n & 0xFF);
    }
    return out;
}

Envelope::Envelope(std::string key, std::string iv) : key_(std::move(key)), iv_(std::move(iv)) {
    size_t size = key_.size() <= 16 ? 16 : key_.size() <= 24 ? 24 : 32;
    preparedKey_ = key_.substr(0, size);
    preparedKey_.resize(size, '\0');
}

std::string Envelope::seal(std::string_view plain, bool badPadding) const {
    const size_t pad = 16 - plain.size() % 16;
    std::string padded(plain);
    padded.append(pad, char(pad));
    if (badPadding) padded.back() = '\0';
    auto sealed = runCipher(preparedKey_, padded, true);
    if (!sealed) throw std::runtime_error("AES encryption failed");
    return base64Encode(*sealed);
}

std::optional<std::string> Envelope::open(std::string_view sealed, std::string* error) const {
    auto fail = [&](const char* why) -> std::optional<std::string> {
        if (error) *error = why;
        return std::nullopt;
    };
    auto bytes = base64Decode(sealed);
    if (!bytes) return fail("not Base64");
    if (bytes->empty() || bytes->size() % 16 != 0)
        return fail("cipher text is not a whole number of blocks");
    auto plain = runCipher(preparedKey_, *bytes, false);
    if (!plain) return fail("AES decryption failed");
    const auto pad = static_cast<unsigned char>(plain->back());
    if (pad < 1 || pad > 16) return fail("bad padding");
    for (size_t i = plain->size() - pad; i < plain->size(); ++i)
        if (static_cast<unsigned char>((*plain)[i]) != pad) return fail("bad padding");
    plain->resize(plain->size() - pad);
    return plain;
}

}  // namespace dealersim
