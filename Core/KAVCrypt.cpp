#include "Core/KAVCrypt.h"

#include <stdexcept>

#include "platform/Strings.h"

namespace {

constexpr size_t kBlock = 16;

platform::crypto::AesEcb makeAes(std::string_view key) {
    auto aes = platform::crypto::AesEcb::create(KAVCrypt::prepareKey(KAVCrypt::kAES, key));
    // A prepared AES key is always 16, 24 or 32 bytes long.
    if (!aes) throw std::runtime_error("AES key refused");
    return std::move(*aes);
}

}  // namespace

std::string KAVCrypt::prepareKey(int algorithm, std::string_view key) {
    size_t size = key.size();
    switch (algorithm) {
        case kAES:
            size = size <= 16 ? 16 : (size <= 24 ? 24 : 32);
            break;
        case kDES:
            size = 8;
            break;
        case k3DES:
            size = 24;
            break;
        case kCAST:
            size = size < 5 ? 5 : (size > 16 ? 16 : size);
            break;
        case kRC4:
            size = size > 512 ? 512 : size;
            break;
        default:
            break;
    }
    std::string prepared(key.substr(0, size));
    prepared.resize(size, '\0');
    return prepared;
}

// The IV is kept by no cipher: ECB uses none.
KAVCrypt::KAVCrypt(std::string_view key, std::string_view /*iv*/) : aes_(makeAes(key)) {}

std::string KAVCrypt::pad(std::string_view bytes) {
    const size_t p = kBlock - bytes.size() % kBlock;
    std::string padded(bytes);
    padded.append(p, static_cast<char>(p));
    return padded;
}

std::optional<std::string> KAVCrypt::unpad(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    const size_t p = static_cast<unsigned char>(bytes.back());
    if (p < 1 || p > kBlock || p > bytes.size()) return std::nullopt;
    for (size_t i = bytes.size() - p; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) != p) return std::nullopt;
    }
    return std::string(bytes.substr(0, bytes.size() - p));
}

std::string KAVCrypt::encrypt(std::string_view text) const {
    // Padded input is whole blocks, which the cipher always takes.
    const auto cipher = aes_.encrypt(pad(text));
    return cipher ? platform::crypto::base64Encode(*cipher) : std::string();
}

std::optional<std::string> KAVCrypt::decrypt(std::string_view base64) const {
    const auto cipher = platform::crypto::base64Decode(base64);
    if (!cipher || cipher->empty() || cipher->size() % kBlock != 0) return std::nullopt;
    auto plain = aes_.decrypt(*cipher);
    if (!plain) return std::nullopt;
    // The padding is checked as unpad checks it and cut off in place.
    const size_t p = plain->empty() ? 0 : static_cast<unsigned char>(plain->back());
    if (p < 1 || p > kBlock || p > plain->size()) return std::nullopt;
    for (size_t i = plain->size() - p; i < plain->size(); ++i) {
        if (static_cast<unsigned char>((*plain)[i]) != p) return std::nullopt;
    }
    plain->resize(plain->size() - p);
    if (!platform::isValidUtf8(*plain)) return std::nullopt;
    return plain;
}

std::string KAVCrypt::encrypt(std::string_view text, std::string_view key, std::string_view iv) {
    return KAVCrypt(key, iv).encrypt(text);
}

std::optional<std::string> KAVCrypt::decrypt(std::string_view base64, std::string_view key,
                                             std::string_view iv) {
    return KAVCrypt(key, iv).decrypt(base64);
}
