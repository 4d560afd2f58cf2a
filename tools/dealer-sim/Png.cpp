#include "tools/dealer-sim/Png.h"

#include <algorithm>
#include <array>

namespace dealersim {
namespace {

uint32_t crc32(const std::string& bytes, size_t from) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        c = table[(c ^ uint8_t(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put32(std::string& out, uint32_t v) {
    out += char(v >> 24);
    out += char(v >> 16);
    out += char(v >> 8);
    out += char(v);
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out += type;
    out += data;
    put32(out, crc32(out, start));
}

}  // namespace

std::string makePng(int width, int height, uint32_t rgb) {
    std::string raw;
    const uint8_t r = rgb >> 16, g = rgb >> 8, b = rgb;
    for (int y = 0; y < height; ++y) {
        raw += char(0);  // filter: none
        const bool band = y >= height / 3 && y < height * 2 / 3;
        for (int x = 0; x < width; ++x) {
            raw += char(band ? 255 - (255 - r) / 3 : r);
            raw += char(band ? 255 - (255 - g) / 3 : g);
            raw += char(band ? 255 - (255 - b) / 3 : b);
        }
    }
    std::string z;
    z += char(0x78);
    z += char(0x01);
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z += char(last ? 1 : 0);
        z += char(n & 0xFF);
        z += char(n >> 8);
        z += char(~n & 0xFF);
        z += char((~n >> 8) & 0xFF);
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, s = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        s = (s + a) % 65521;
    }
    put32(z, (s << 16) | a);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    put32(ihdr, static_cast<uint32_t>(width));
    put32(ihdr, static_cast<uint32_t>(height));
    ihdr += char(8);  // bit depth
    ihdr += char(2);  // colour type: RGB
    ihdr += char(0);
    ihdr += char(0);
    ihdr += char(0);
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", std::string());
    return png;
}

}  // namespace dealersim
