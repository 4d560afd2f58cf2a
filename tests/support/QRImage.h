#pragma once

// QR code pictures for tests of the camera and the scanner, made with
// libqrencode: a code alone, or codes placed on a larger scene.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ImageCodec.h"

namespace kavtest {

struct QRPlacement {
    std::string text;
    int x = 0;  // top-left corner of the code's quiet zone, in pixels
    int y = 0;
    int moduleSize = 6;  // pixels per module
};

// A white picture of the given size with each code drawn in black at its
// place, with a quiet zone of four modules. Throws when a text cannot be
// encoded or a code does not fit.
platform::image::Bitmap qrScene(int width, int height, const std::vector<QRPlacement>& codes);
// The PNG of one code on its own (quiet zone included).
std::string qrPNG(const std::string& text, int moduleSize = 6);
// Writes PNG bytes to the file (throws on failure).
void writePNG(const std::filesystem::path& path, const platform::image::Bitmap& bitmap);
void writeQRPNG(const std::filesystem::path& path, const std::string& text, int moduleSize = 6);
// A plain picture of one colour (0xRRGGBB), for frames with no code.
platform::image::Bitmap plainPicture(int width, int height, uint32_t rgb);

}  // namespace kavtest
