#pragma once

// PNG and JPEG decoding and PNG encoding, below every layer that handles
// pictures: the request classes check that a download is a picture, the UI
// layer turns the pixels into images.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::image {

// Pixels as 32-bit words 0xAARRGGBB with the colour premultiplied by alpha,
// row after row with no padding (the layout of a Cairo ARGB32 surface and of
// an SDL ARGB8888 texture).
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    // Every pixel has full alpha (a JPEG, or a PNG without transparency).
    bool opaque = true;
};

// PNG or JPEG bytes (told apart by their signature). Nothing when the bytes
// are neither or do not decode whole (cut short, corrupt, absurdly large).
std::optional<Bitmap> decode(std::string_view bytes);

// True when the bytes decode as a PNG or JPEG picture.
bool isImage(std::string_view bytes);

// PNG bytes of the bitmap; empty when it has no pixels or they do not match
// its size.
std::string encodePNG(const Bitmap& bitmap);

}  // namespace platform::image
