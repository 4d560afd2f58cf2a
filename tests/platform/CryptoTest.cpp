#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <set>
#include <string>

#include "platform/Crypto.h"

using namespace platform::crypto;

namespace {

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string unhex(std::string_view text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        out += static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
    }
    return out;
}

TEST(Aes, KnownVectorsForEachKeySize) {
    const std::string plain = unhex("00112233445566778899aabbccddeeff");
    struct Case {
        const char* key;
        const char* cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& c : cases) {
        auto aes = AesEcb::create(unhex(c.key));
        ASSERT_TRUE(aes);
        EXPECT_EQ(hex(*aes->encrypt(plain)), c.cipher);
        EXPECT_EQ(*aes->decrypt(unhex(c.cipher)), plain);
    }
}

TEST(Aes, ReusedContextRoundTripsManyMessagesOfEveryBlockCount) {
    auto aes = AesEcb::create("0123456789abcdef");
    ASSERT_TRUE(aes);
    for (size_t blocks = 0; blocks < 40; ++blocks) {
        std::string text(blocks * 16, '\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char>(i * 7 + blocks);
        auto enc = aes->encrypt(text);
        ASSERT_TRUE(enc);
        EXPECT_EQ(enc->size(), text.size());
        EXPECT_EQ(*aes->decrypt(*enc), text);
    }
}

TEST(Aes, RefusesBadKeysAndPartialBlocks) {
    EXPECT_FALSE(AesEcb::create(""));
    EXPECT_FALSE(AesEcb::create("short"));
    EXPECT_FALSE(AesEcb::create(std::string(17, 'k')));
    auto aes = AesEcb::create(std::string(16, 'k'));
    ASSERT_TRUE(aes);
    EXPECT_FALSE(aes->encrypt("fifteen bytes!!"));
    EXPECT_FALSE(aes->decrypt(std::string(17, 'x')));
}

TEST(Base64, EncodesRfcVectors) {
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64Encode(std::string("\xff\xfe\x00", 3)), "//4A");
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(*base64Decode(base64Encode(all)), all);
}

TEST(Base64, RejectsAnythingNotStrictlyCanonical) {
    for (const char* bad : {"Zg=", "Zg", "Z===", "Zg==Zg==", "Zm9v\n", "Zm 9v", "Zm9*",
                            "=Zg=", "Zh==", "Zm9=v", "Zm-_"}) {
        EXPECT_FALSE(base64Decode(bad)) << bad;
    }
    EXPECT_EQ(*base64Decode("Zm9vYg=="), "foob");
}

TEST(Sha1, DigestsAndTheHandshakeAcceptValue) {
    EXPECT_EQ(hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(base64Encode(sha1("dGhlIHNhbXBsZSBub25jZQ==258EAFA5-E914-47DA-95CA-C5AB0DC85B11")),
              "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(Random, GivesFreshBytes) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        auto bytes = randomBytes(16);
        EXPECT_EQ(bytes.size(), 16u);
        seen.insert(bytes);
    }
    EXPECT_EQ(seen.size(), 50u);
}

}  // namespace

// The decoder reads whole groups by table; OpenSSL's own coder is the
// reference for every length, and a bad character is caught wherever it
// stands, the last group's padding rules included.
TEST(Base64, AgreesWithOpenSSLAndCatchesABadCharacterAnywhere) {
    for (size_t n = 0; n <= 400; ++n) {
        const std::string bytes = platform::crypto::randomBytes(n);
        std::string reference(4 * ((n + 2) / 3) + 1, '\0');
        const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(reference.data()),
                                           reinterpret_cast<const unsigned char*>(bytes.data()),
                                           static_cast<int>(n));
        reference.resize(static_cast<size_t>(length));
        EXPECT_EQ(base64Encode(bytes), reference) << n;
        EXPECT_EQ(base64Decode(reference), bytes) << n;
    }
    // Long enough for several blocks of 32 characters and a tail.
    const std::string good = base64Encode(platform::crypto::randomBytes(120));
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t at = 0; at < good.size(); ++at) {
        for (int c = 0; c < 256; ++c) {
            if (alphabet.find(static_cast<char>(c)) != std::string::npos) continue;
            // Padding may end the last group; whether it fits is the rule above.
            if (c == '=' && at + 2 >= good.size()) continue;
            std::string bad = good;
            bad[at] = static_cast<char>(c);
            ASSERT_FALSE(base64Decode(bad)) << "byte " << c << " at " << at;
        }
    }
}

// Every character of the alphabet at every place of a block of 32
// characters and of the groups after it: OpenSSL's decoder of the same text
// is the reference.
TEST(Base64, DecodesEveryCharacterAtEveryPlace) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t shift = 0; shift < alphabet.size(); ++shift) {
        // 96 characters: three blocks of 32, the alphabet rotated by one
        // more place each time.
        std::string text;
        for (size_t k = 0; k < 96; ++k)
            text += alphabet[(shift + k) % alphabet.size()];
        std::string reference(text.size() / 4 * 3, '\0');
        ASSERT_EQ(EVP_DecodeBlock(reinterpret_cast<unsigned char*>(reference.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size())),
                  static_cast<int>(reference.size()));
        const auto decoded = base64Decode(text);
        ASSERT_TRUE(decoded) << shift;
        EXPECT_EQ(*decoded, reference) << shift;
    }
}
