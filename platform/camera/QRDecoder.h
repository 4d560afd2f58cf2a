#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/ImageCodec.h"
#include "platform/ui/Geometry.h"

namespace platform::camera {

// One QR code found in a picture.
struct DecodedCode {
    // The code's text; nothing when its bytes are not valid UTF-8.
    std::optional<std::string> text;
    // The corners the decoder located, in pixels of the picture, and the
    // rectangle around them.
    std::vector<platform::ui::CGPoint> corners;
    platform::ui::CGRect bounds{};
};

// Finds the QR codes in a picture (thread-safe: each call uses its own
// decoder state). Codes come ordered as a reader's eye meets them: by the
// top edge, then from left to right, so "the first code" is the same on
// every run.
std::vector<DecodedCode> decodeQRCodes(const platform::image::Bitmap& bitmap);
// The same over rows of premultiplied ARGB pixels in native byte order (a
// Cairo image's layout), `stride` bytes apart, read in place.
std::vector<DecodedCode> decodeQRCodes(const unsigned char* pixels, int width, int height,
                                       size_t stride);

}  // namespace platform::camera
