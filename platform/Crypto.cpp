#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <array>
#include <stdexcept>

namespace platform::crypto {

std::string sha1(std::string_view bytes) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr auto kDecode = makeDecodeTable();

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest == 1) {
        const uint32_t v = p[i] << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const uint32_t v = (p[i] << 16) | (p[i + 1] << 8);
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
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=') {
                // Padding only in the last group, only at its end, at most two.
                if (!last || k < 2) return std::nullopt;
                ++pad;
                v[k] = 0;
                continue;
            }
            if (pad > 0) return std::nullopt;
            v[k] = kDecode[static_cast<unsigned char>(c)];
            if (v[k] < 0) return std::nullopt;
        }
        const uint32_t n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out += static_cast<char>((n >> 16) & 0xFF);
        if (pad < 2) out += static_cast<char>((n >> 8) & 0xFF);
        if (pad < 1) out += static_cast<char>(n & 0xFF);
        // Bits that padding says are unused must be zero (canonical form).
        if (pad == 1 && (v[2] & 0x3)) return std::nullopt;
        if (pad == 2 && (v[1] & 0xF)) return std::nullopt;
    }
    return out;
}

void randomBytes(void* out, size_t count) {
    if (count == 0) return;
    if (RAND_bytes(static_cast<unsigned char*>(out), static_cast<int>(count)) != 1) {
        // Without a working random source no key or mask may be made.
        throw std::runtime_error("secure random source failed");
    }
}

std::string randomBytes(size_t count) {
    std::string out(count, '\0');
    randomBytes(out.data(), count);
    return out;
}

struct AesEcb::Impl {
    EVP_CIPHER_CTX* enc = nullptr;
    EVP_CIPHER_CTX* dec = nullptr;
    ~Impl() {
        EVP_CIPHER_CTX_free(enc);
        EVP_CIPHER_CTX_free(dec);
    }
};

namespace {

const EVP_CIPHER* cipherFor(size_t keyLength) {
    switch (keyLength) {
        case 16:
            return EVP_aes_128_ecb();
        case 24:
            return EVP_aes_192_ecb();
        case 32:
            return EVP_aes_256_ecb();
        default:
            return nullptr;
    }
}

// Runs one message through a keyed context: re-initialising with null cipher
// and key keeps the expanded key schedule and only resets the state.
std::optional<std::string> run(EVP_CIPHER_CTX* ctx, bool encrypt, std::string_view in) {
    if (in.size() % 16 != 0) return std::nullopt;
    if (EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, nullptr, encrypt ? 1 : 0) != 1) {
        return std::nullopt;
    }
    std::string out(in.size() + 16, '\0');
    int written = 0;
    if (EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &written,
                         reinterpret_cast<const unsigned char*>(in.data()),
                         static_cast<int>(in.size())) != 1) {
        return std::nullopt;
    }
    int final = 0;
    if (EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + written, &final) !=
        1) {
        return std::nullopt;
    }
    out.resize(static_cast<size_t>(written + final));
    return out;
}

}  // namespace

std::optional<AesEcb> AesEcb::create(std::string_view key) {
    const EVP_CIPHER* cipher = cipherFor(key.size());
    if (!cipher) return std::nullopt;
    auto impl = std::make_unique<Impl>();
    impl->enc = EVP_CIPHER_CTX_new();
    impl->dec = EVP_CIPHER_CTX_new();
    if (!impl->enc || !impl->dec) return std::nullopt;
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    if (EVP_EncryptInit_ex(impl->enc, cipher, nullptr, k, nullptr) != 1 ||
        EVP_DecryptInit_ex(impl->dec, cipher, nullptr, k, nullptr) != 1) {
        return std::nullopt;
    }
    EVP_CIPHER_CTX_set_padding(impl->enc, 0);
    EVP_CIPHER_CTX_set_padding(impl->dec, 0);
    return AesEcb(std::move(impl));
}

AesEcb::AesEcb(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AesEcb::AesEcb(AesEcb&&) noexcept = default;
AesEcb& AesEcb::operator=(AesEcb&&) noexcept = default;
AesEcb::~AesEcb() = default;

std::optional<std::string> AesEcb::encrypt(std::string_view blocks) const {
    return run(impl_->enc, true, blocks);
}

std::optional<std::string> AesEcb::decrypt(std::string_view blocks) const {
    return run(impl_->dec, false, blocks);
}

}  // namespace platform::crypto
