#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <array>
#include <stdexcept>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KAV_BASE64_AVX2 1
#endif

namespace platform::crypto {

std::string sha1(std::string_view bytes) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decoding tables, one per place in a group of four characters: each gives
// the character's six bits already shifted to their place in the group's 24
// bits, so a group is four loads and three ORs. A character outside the
// alphabet (the padding included) sets bit 31, which no valid group has.
constexpr uint32_t kInvalid = 0x80000000u;

constexpr std::array<uint32_t, 256> makeDecodeTable(int shift) {
    std::array<uint32_t, 256> table{};
    for (auto& v : table)
        v = kInvalid;
    for (uint32_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i << shift;
    return table;
}
constexpr auto kDecode0 = makeDecodeTable(18);
constexpr auto kDecode1 = makeDecodeTable(12);
constexpr auto kDecode2 = makeDecodeTable(6);
constexpr auto kDecode3 = makeDecodeTable(0);

int sixBits(char c) {
    const uint32_t v = kDecode3[static_cast<unsigned char>(c)];
    return v == kInvalid ? -1 : static_cast<int>(v);
}

#ifdef KAV_BASE64_AVX2
// Whole blocks of 32 characters into 24 bytes each, 32 characters at a
// time, while 32 bytes may be stored at `out` (each store runs 8 bytes
// past its block). The characters are checked by two nibble tables whose
// entries share a bit only for a character outside the alphabet, and
// mapped to their six bits by an offset chosen by the high nibble ('/'
// shares its nibble with '+' and gets the next entry). Returns the
// characters done; false in `valid` when one of them was bad.
__attribute__((target("avx2"))) size_t decodeBlocksAvx2(const unsigned char* in, size_t length,
                                                        unsigned char* out, size_t room,
                                                        bool& valid) {
    const __m256i lowCheck =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i highCheck =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i offsets =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i slash = _mm256_set1_epi8('/');
    // Four six-bit values into one 24-bit number per 32 bits, then its
    // three bytes high first, then the two lanes' twelve bytes together.
    const __m256i pairs = _mm256_set1_epi32(0x01400140);
    const __m256i quads = _mm256_set1_epi32(0x00011000);
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    __m256i bad = _mm256_setzero_si256();
    size_t done = 0;
    while (length - done >= 32 && room >= 32) {
        const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
        const __m256i low = _mm256_and_si256(chars, nibble);
        bad = _mm256_or_si256(bad, _mm256_and_si256(_mm256_shuffle_epi8(lowCheck, low),
                                                    _mm256_shuffle_epi8(highCheck, high)));
        const __m256i offset =
            _mm256_shuffle_epi8(offsets, _mm256_add_epi8(_mm256_cmpeq_epi8(chars, slash), high));
        const __m256i values = _mm256_add_epi8(chars, offset);
        const __m256i merged = _mm256_madd_epi16(_mm256_maddubs_epi16(values, pairs), quads);
        const __m256i bytes =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(merged, order), lanes);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
        out += 24;
        room -= 24;
        done += 32;
    }
    valid = _mm256_testz_si256(bad, bad);
    return done;
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out((bytes.size() + 2) / 3 * 4, '\0');
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    char* o = out.data();
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        o[0] = kAlphabet[(v >> 18) & 63];
        o[1] = kAlphabet[(v >> 12) & 63];
        o[2] = kAlphabet[(v >> 6) & 63];
        o[3] = kAlphabet[v & 63];
        o += 4;
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const uint32_t v = (p[i] << 16) | (rest == 2 ? p[i + 1] << 8 : 0);
        o[0] = kAlphabet[(v >> 18) & 63];
        o[1] = kAlphabet[(v >> 12) & 63];
        o[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        o[3] = '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return std::string();
    std::string out(text.size() / 4 * 3, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    // Every group but the last: padding there is as invalid as any other
    // character outside the alphabet.
    const size_t whole = text.size() - 4;
    uint32_t bad = 0;
    size_t i = 0;
#ifdef KAV_BASE64_AVX2
    if (haveAvx2()) {
        bool valid = true;
        i = decodeBlocksAvx2(in, whole, o, out.size(), valid);
        if (!valid) return std::nullopt;
        o += i / 4 * 3;
    }
#endif
    for (; i < whole; i += 4) {
        const uint32_t n =
            kDecode0[in[i]] | kDecode1[in[i + 1]] | kDecode2[in[i + 2]] | kDecode3[in[i + 3]];
        bad |= n;
        o[0] = static_cast<unsigned char>(n >> 16);
        o[1] = static_cast<unsigned char>(n >> 8);
        o[2] = static_cast<unsigned char>(n);
        o += 3;
    }
    if (bad & kInvalid) return std::nullopt;
    // The last group: padding only at its end, at most two.
    const char* last = text.data() + whole;
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
        if (last[k] == '=') {
            if (k < 2) return std::nullopt;
            ++pad;
            v[k] = 0;
            continue;
        }
        if (pad > 0) return std::nullopt;
        v[k] = sixBits(last[k]);
        if (v[k] < 0) return std::nullopt;
    }
    // Bits that padding says are unused must be zero (canonical form).
    if (pad == 1 && (v[2] & 0x3)) return std::nullopt;
    if (pad == 2 && (v[1] & 0xF)) return std::nullopt;
    const uint32_t n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
    o[0] = static_cast<unsigned char>(n >> 16);
    if (pad < 2) o[1] = static_cast<unsigned char>(n >> 8);
    if (pad < 1) o[2] = static_cast<unsigned char>(n);
    if (pad > 0) out.erase(out.size() - static_cast<size_t>(pad));
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
std::optional<std::string> run(EVP_CIPHER_CTX* ctx, bool encrypt, std::string_view in,
                               size_t room = 0) {
    if (in.size() % 16 != 0) return std::nullopt;
    if (EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, nullptr, encrypt ? 1 : 0) != 1) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(in.size() + 16 + room);
    out.resize(in.size() + 16);
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
    return run(impl_->dec, false, blocks, kRoomBehind);
}

}  // namespace platform::crypto
