#include "platform/camera/QRDecoder.h"

#include <zbar.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/Strings.h"

namespace platform::camera {

// The decoder's C interface lives in a namespace of its own under C++.
using namespace ::zbar;

namespace {

// Luminance of a premultiplied ARGB pixel laid over white, so a transparent
// background reads as paper rather than as black ink.
uint8_t luminance(uint32_t argb) {
    const double a = ((argb >> 24) & 0xFF) / 255.0;
    const double r = ((argb >> 16) & 0xFF) + 255.0 * (1 - a);
    const double g = ((argb >> 8) & 0xFF) + 255.0 * (1 - a);
    const double b = (argb & 0xFF) + 255.0 * (1 - a);
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return static_cast<uint8_t>(std::clamp(std::lround(y), 0L, 255L));
}

struct ScannerDeleter {
    void operator()(zbar_image_scanner_t* s) const { zbar_image_scanner_destroy(s); }
};
struct ImageDeleter {
    void operator()(zbar_image_t* i) const {
        // The grey plane belongs to the caller's vector, not to the image.
        zbar_image_set_data(i, nullptr, 0, nullptr);
        zbar_image_destroy(i);
    }
};

}  // namespace

std::vector<DecodedCode> decodeQRCodes(const platform::image::Bitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() != static_cast<size_t>(bitmap.width) * bitmap.height)
        return {};
    return decodeQRCodes(reinterpret_cast<const unsigned char*>(bitmap.pixels.data()), bitmap.width,
                         bitmap.height, static_cast<size_t>(bitmap.width) * sizeof(uint32_t));
}

std::vector<DecodedCode> decodeQRCodes(const unsigned char* pixels, int width, int height,
                                       size_t stride) {
    std::vector<DecodedCode> codes;
    if (!pixels || width <= 0 || height <= 0 || stride < static_cast<size_t>(width) * 4)
        return codes;

    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        std::transform(row, row + width, grey.begin() + static_cast<ptrdiff_t>(y) * width,
                       luminance);
    }

    std::unique_ptr<zbar_image_scanner_t, ScannerDeleter> scanner(zbar_image_scanner_create());
    if (!scanner) return codes;
    // Only QR codes: bar codes would only slow the scan down and could be
    // misread out of a photograph's texture.
    zbar_image_scanner_set_config(scanner.get(), ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    // The bytes as the code holds them: left to itself the decoder guesses a
    // legacy character set for UTF-8 text without a marker and garbles it.
    zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);

    std::unique_ptr<zbar_image_t, ImageDeleter> image(zbar_image_create());
    if (!image) return codes;
    zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image.get(), static_cast<unsigned>(width), static_cast<unsigned>(height));
    zbar_image_set_data(image.get(), grey.data(), grey.size(), nullptr);
    if (zbar_scan_image(scanner.get(), image.get()) <= 0) return codes;

    for (const zbar_symbol_t* symbol = zbar_image_first_symbol(image.get()); symbol;
         symbol = zbar_symbol_next(symbol)) {
        if (zbar_symbol_get_type(symbol) != ZBAR_QRCODE) continue;
        DecodedCode code;
        std::string bytes(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
        if (platform::isValidUtf8(bytes)) code.text = std::move(bytes);
        const unsigned points = zbar_symbol_get_loc_size(symbol);
        double minX = width, minY = height, maxX = 0, maxY = 0;
        for (unsigned i = 0; i < points; ++i) {
            const double x = zbar_symbol_get_loc_x(symbol, i);
            const double y = zbar_symbol_get_loc_y(symbol, i);
            code.corners.push_back({x, y});
            minX = std::min(minX, x), minY = std::min(minY, y);
            maxX = std::max(maxX, x), maxY = std::max(maxY, y);
        }
        if (points > 0) code.bounds = {{minX, minY}, {maxX - minX, maxY - minY}};
        codes.push_back(std::move(code));
    }
    std::stable_sort(codes.begin(), codes.end(), [](const DecodedCode& a, const DecodedCode& b) {
        // Codes whose tops lie within a few pixels stand on one line.
        const double dy = a.bounds.origin.y - b.bounds.origin.y;
        if (std::abs(dy) > 8) return dy < 0;
        return a.bounds.origin.x < b.bounds.origin.x;
    });
    return codes;
}

}  // namespace platform::camera
