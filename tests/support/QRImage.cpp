#include "tests/support/QRImage.h"

#include <qrencode.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace kavtest {

namespace {

constexpr int kQuietModules = 4;

struct CodeDeleter {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

std::unique_ptr<QRcode, CodeDeleter> encode(const std::string& text) {
    // 8-bit mode keeps the bytes as given (UTF-8 included).
    std::unique_ptr<QRcode, CodeDeleter> code(
        QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M));
    if (!code) throw std::runtime_error("QR code cannot hold: " + text);
    return code;
}

int sideOf(const QRcode& code, int moduleSize) {
    return (code.width + 2 * kQuietModules) * moduleSize;
}

}  // namespace

platform::image::Bitmap plainPicture(int width, int height, uint32_t rgb) {
    platform::image::Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.assign(static_cast<size_t>(width) * height, 0xFF000000u | rgb);
    return bitmap;
}

platform::image::Bitmap qrScene(int width, int height, const std::vector<QRPlacement>& codes) {
    auto bitmap = plainPicture(width, height, 0xFFFFFF);
    for (const auto& placement : codes) {
        auto code = encode(placement.text);
        const int side = sideOf(*code, placement.moduleSize);
        if (placement.x < 0 || placement.y < 0 || placement.x + side > width ||
            placement.y + side > height)
            throw std::runtime_error("QR code does not fit the picture");
        for (int my = 0; my < code->width; ++my) {
            for (int mx = 0; mx < code->width; ++mx) {
                if (!(code->data[my * code->width + mx] & 1)) continue;
                const int left = placement.x + (mx + kQuietModules) * placement.moduleSize;
                const int top = placement.y + (my + kQuietModules) * placement.moduleSize;
                for (int y = top; y < top + placement.moduleSize; ++y)
                    for (int x = left; x < left + placement.moduleSize; ++x)
                        bitmap.pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u;
            }
        }
    }
    return bitmap;
}

std::string qrPNG(const std::string& text, int moduleSize) {
    auto code = encode(text);
    const int side = sideOf(*code, moduleSize);
    return platform::image::encodePNG(qrScene(side, side, {{text, 0, 0, moduleSize}}));
}

void writePNG(const std::filesystem::path& path, const platform::image::Bitmap& bitmap) {
    const std::string bytes = platform::image::encodePNG(bitmap);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (bytes.empty() || !out) throw std::runtime_error("cannot write " + path.string());
}

void writeQRPNG(const std::filesystem::path& path, const std::string& text, int moduleSize) {
    const std::string bytes = qrPNG(text, moduleSize);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace kavtest
