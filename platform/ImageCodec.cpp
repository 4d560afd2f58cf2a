#include "platform/ImageCodec.h"

#include <jpeglib.h>
#include <png.h>

// After jpeglib.h, which it needs.
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace platform::image {

namespace {

// Pictures from the network are capped: no dealer logo is this large, and a
// forged header must not make the decoder ask for gigabytes.
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

bool isPng(std::string_view b) {
    return b.size() >= 8 && std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
}

bool isJpeg(std::string_view b) {
    return b.size() >= 3 && static_cast<unsigned char>(b[0]) == 0xFF &&
           static_cast<unsigned char>(b[1]) == 0xD8 && static_cast<unsigned char>(b[2]) == 0xFF;
}

bool sizeAllowed(uint64_t w, uint64_t h) {
    return w > 0 && h > 0 && w * h <= kMaxPixels;
}

uint32_t premultiplied(unsigned r, unsigned g, unsigned b, unsigned a) {
    auto mul = [a](unsigned c) { return (c * a + 127) / 255; };
    return (uint32_t(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

std::optional<Bitmap> decodePng(std::string_view bytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return std::nullopt;
    if (!sizeAllowed(image.width, image.height)) {
        png_image_free(&image);
        return std::nullopt;
    }
    const bool opaque = !(image.format & PNG_FORMAT_FLAG_ALPHA);
    image.format = PNG_FORMAT_RGBA;
    // A 16-bit picture that says nothing of its gamma is sRGB, as every
    // 8-bit one is and as other viewers take it; the library would take it
    // for linear light and show it washed out (mid-grey 0x8080 as 0xBA).
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    Bitmap out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.opaque = opaque;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const unsigned char* p = &rgba[i * 4];
        out.pixels[i] = premultiplied(p[0], p[1], p[2], p[3]);
    }
    return out;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool cutShort = false;
};

void jpegFail(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(err->jump, 1);
}

// Warnings are not printed. The decoder only warns when the data ends early
// (it fills the rest in grey): a picture cut short is no picture here.
void jpegWarning(j_common_ptr info, int level) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    if (level < 0 && err->mgr.msg_code == JWRN_JPEG_EOF) err->cutShort = true;
}

// Decodes into `out`; false on any error. Kept free of objects with
// destructors between setjmp and the jumps, as longjmp requires.
bool decodeJpegInto(std::string_view bytes, Bitmap& out) {
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegWarning;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (!sizeAllowed(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // The library makes no RGB of ink (CMYK, or Adobe's YCCK, which it
    // turns into CMYK): that is done here.
    const bool ink = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    // Adobe's programs store ink inverted (255 is no ink) and mark their
    // files; a file without the mark holds plain ink.
    const bool inverted = info.saw_Adobe_marker;
    info.out_color_space = ink ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.opaque = true;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    const int step = ink ? 4 : 3;
    // Row memory from the decoder's own pool: freed with it, also on a jump.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(out.width) * step, 1);
    const unsigned char* row = rows[0];
    // What is left of a colour under its ink and the black.
    auto left = [inverted](unsigned c, unsigned k) {
        if (!inverted) {
            c = 255 - c;
            k = 255 - k;
        }
        return (c * k + 127) / 255;
    };
    while (info.output_scanline < info.output_height) {
        const size_t y = info.output_scanline;
        jpeg_read_scanlines(&info, rows, 1);
        uint32_t* dst = out.pixels.data() + y * out.width;
        if (ink) {
            for (int x = 0; x < out.width; ++x) {
                const unsigned char* p = row + x * 4;
                dst[x] = 0xFF000000u | (left(p[0], p[3]) << 16) | (left(p[1], p[3]) << 8) |
                         left(p[2], p[3]);
            }
            continue;
        }
        for (int x = 0; x < out.width; ++x)
            dst[x] = 0xFF000000u | (uint32_t(row[x * 3]) << 16) | (uint32_t(row[x * 3 + 1]) << 8) |
                     row[x * 3 + 2];
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return !err.cutShort;
}

}  // namespace

std::optional<Bitmap> decode(std::string_view bytes) {
    if (isPng(bytes)) return decodePng(bytes);
    if (isJpeg(bytes)) {
        Bitmap out;
        if (decodeJpegInto(bytes, out)) return out;
    }
    return std::nullopt;
}

bool isImage(std::string_view bytes) {
    return decode(bytes).has_value();
}

std::string encodePNG(const Bitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() != static_cast<size_t>(bitmap.width) * bitmap.height)
        return {};
    // PNG keeps straight (not premultiplied) colour.
    std::vector<unsigned char> rgba(bitmap.pixels.size() * 4);
    for (size_t i = 0; i < bitmap.pixels.size(); ++i) {
        const uint32_t px = bitmap.pixels[i];
        const unsigned a = px >> 24;
        auto straight = [a](unsigned c) { return a ? std::min(255u, (c * 255 + a / 2) / a) : 0u; };
        rgba[i * 4] = static_cast<unsigned char>(straight((px >> 16) & 0xFF));
        rgba[i * 4 + 1] = static_cast<unsigned char>(straight((px >> 8) & 0xFF));
        rgba[i * 4 + 2] = static_cast<unsigned char>(straight(px & 0xFF));
        rgba[i * 4 + 3] = static_cast<unsigned char>(a);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bitmap.width);
    image.height = static_cast<png_uint_32>(bitmap.height);
    image.format = bitmap.opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    if (bitmap.opaque) {
        // Drop the alpha bytes in place.
        for (size_t i = 0; i < bitmap.pixels.size(); ++i)
            std::memmove(&rgba[i * 3], &rgba[i * 4], 3);
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

}  // namespace platform::image
