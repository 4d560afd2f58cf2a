#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ImageCodec.h"

namespace image = platform::image;

namespace {

// A JPEG of w x h pixels each `pixel` (its components as the library takes
// them in `input`), stored as `stored`, made with the library the decoder
// uses; with Adobe's mark when asked.
std::string jpegOf(int w, int h, J_COLOR_SPACE input, J_COLOR_SPACE stored, bool adobe,
                   const std::string& pixel) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = static_cast<int>(pixel.size());
    info.in_color_space = input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    info.write_Adobe_marker = adobe;
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::string row;
    for (int x = 0; x < w; ++x)
        row += pixel;
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row.data())};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

// A JPEG of one colour.
std::string jpegBytes(int w, int h, unsigned char r, unsigned char g, unsigned char b) {
    return jpegOf(w, h, JCS_RGB, JCS_YCbCr, false,
                  {static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)});
}

// A JPEG of one colour given as ink (cyan, magenta, yellow, black, 255
// is full ink), stored as `space` (CMYK or YCCK). With Adobe's mark the ink
// is stored inverted, as Adobe's programs write it.
std::string inkJpegBytes(J_COLOR_SPACE space, bool adobe, std::array<unsigned char, 4> ink) {
    std::string pixel;
    for (unsigned char c : ink)
        pixel += static_cast<char>(adobe ? 255 - c : c);
    return jpegOf(16, 16, JCS_CMYK, space, adobe, pixel);
}

// A 2 x 2 PNG of 16 bits a channel, every sample `value` (alpha `alpha`
// when the colour type has it), with an sRGB or a gAMA chunk when asked.
std::string png16Bytes(int colorType, unsigned value, unsigned alpha, const char* colourChunk) {
    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    png_set_IHDR(png, info, 2, 2, 16, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (colourChunk == std::string("sRGB")) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (colourChunk == std::string("linear")) png_set_gAMA(png, info, 1.0);
    png_write_info(png, info);
    const int channels = png_get_channels(png, info);
    const bool hasAlpha = colorType & PNG_COLOR_MASK_ALPHA;
    std::vector<png_byte> row;
    for (int x = 0; x < 2; ++x)
        for (int c = 0; c < channels; ++c) {
            const unsigned v = hasAlpha && c == channels - 1 ? alpha : value;
            row.push_back(static_cast<png_byte>(v >> 8));
            row.push_back(static_cast<png_byte>(v & 0xFF));
        }
    png_bytep rows[2] = {row.data(), row.data()};
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

uint32_t crc32(const std::string& data) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        c ^= byte;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

int channel(uint32_t px, int shift) {
    return static_cast<int>((px >> shift) & 0xFF);
}

TEST(ImageCodec, PngKeepsPixelsAndTransparencyThroughARoundTrip) {
    image::Bitmap in;
    in.width = 3;
    in.height = 2;
    in.opaque = false;
    // Premultiplied: half-transparent red is 0x80800000.
    in.pixels = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80800000u, 0x00000000u, 0xFF123456u};
    const std::string png = image::encodePNG(in);
    ASSERT_FALSE(png.empty());
    auto out = image::decode(png);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width, 3);
    EXPECT_EQ(out->height, 2);
    EXPECT_FALSE(out->opaque);
    ASSERT_EQ(out->pixels.size(), in.pixels.size());
    for (size_t i = 0; i < in.pixels.size(); ++i)
        for (int shift : {24, 16, 8, 0})
            EXPECT_NEAR(channel(out->pixels[i], shift), channel(in.pixels[i], shift), 1) << i;

    in.opaque = true;
    in.pixels = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u, 0xFFD0E0F0u, 0xFF000000u};
    out = image::decode(image::encodePNG(in));
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->opaque);
    EXPECT_EQ(out->pixels, in.pixels);

    // A bitmap whose pixels do not match its size is refused.
    in.pixels.pop_back();
    EXPECT_TRUE(image::encodePNG(in).empty());
}

TEST(ImageCodec, JpegDecodesOpaque) {
    const std::string jpeg = jpegBytes(16, 8, 200, 100, 50);
    auto out = image::decode(jpeg);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width, 16);
    EXPECT_EQ(out->height, 8);
    EXPECT_TRUE(out->opaque);
    const uint32_t px = out->pixels[5 * 16 + 7];
    EXPECT_EQ(channel(px, 24), 255);
    EXPECT_NEAR(channel(px, 16), 200, 3);
    EXPECT_NEAR(channel(px, 8), 100, 3);
    EXPECT_NEAR(channel(px, 0), 50, 3);
    EXPECT_TRUE(image::isImage(jpeg));
}

TEST(ImageCodec, SixteenBitPngsShowTheColoursTheyHold) {
    // Mid-grey 0x8080 is 0x80 in eight bits, with or without an sRGB chunk;
    // only a picture that says it is linear light is brightened.
    for (int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_GRAY_ALPHA,
                     PNG_COLOR_TYPE_RGB_ALPHA})
        for (const char* chunk : {"", "sRGB", "linear"}) {
            auto out = image::decode(png16Bytes(type, 0x8080, 0xFFFF, chunk));
            ASSERT_TRUE(out) << type << chunk;
            const int expected = std::string(chunk) == "linear" ? 0xBA : 0x80;
            EXPECT_EQ(out->opaque, !(type & PNG_COLOR_MASK_ALPHA)) << type << chunk;
            for (int shift : {16, 8, 0})
                EXPECT_NEAR(channel(out->pixels[3], shift), expected, 1) << type << chunk;
            EXPECT_EQ(channel(out->pixels[3], 24), 255);
        }
    // Half transparent: premultiplied, half of 0x80.
    auto half = image::decode(png16Bytes(PNG_COLOR_TYPE_RGB_ALPHA, 0x8080, 0x8080, ""));
    ASSERT_TRUE(half);
    EXPECT_NEAR(channel(half->pixels[0], 24), 0x80, 1);
    EXPECT_NEAR(channel(half->pixels[0], 16), 0x40, 1);
}

TEST(ImageCodec, InkJpegsDecodeToTheirColours) {
    // Red is magenta and yellow ink; dark blue cyan, magenta and some black.
    const std::array<unsigned char, 4> red{0, 255, 255, 0}, navy{255, 255, 0, 128};
    for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK})
        for (bool adobe : {true, false}) {
            if (space == JCS_YCCK && !adobe) continue;  // YCCK is Adobe's alone
            auto out = image::decode(inkJpegBytes(space, adobe, red));
            ASSERT_TRUE(out) << space << adobe;
            EXPECT_EQ(out->width, 16);
            EXPECT_TRUE(out->opaque);
            const uint32_t px = out->pixels[8 * 16 + 8];
            EXPECT_EQ(channel(px, 24), 255);
            EXPECT_NEAR(channel(px, 16), 255, 4) << space << adobe;
            EXPECT_NEAR(channel(px, 8), 0, 4) << space << adobe;
            EXPECT_NEAR(channel(px, 0), 0, 4) << space << adobe;

            out = image::decode(inkJpegBytes(space, adobe, navy));
            ASSERT_TRUE(out);
            EXPECT_NEAR(channel(out->pixels[8 * 16 + 8], 16), 0, 4) << space << adobe;
            EXPECT_NEAR(channel(out->pixels[8 * 16 + 8], 8), 0, 4) << space << adobe;
            EXPECT_NEAR(channel(out->pixels[8 * 16 + 8], 0), 127, 4) << space << adobe;
        }
    // Cut short, an ink picture is no picture either.
    const std::string ink = inkJpegBytes(JCS_CMYK, true, red);
    EXPECT_FALSE(image::isImage(ink.substr(0, ink.size() - 40)));
}

TEST(ImageCodec, WhatIsNoWholePictureIsRefused) {
    image::Bitmap one;
    one.width = one.height = 40;
    one.pixels.assign(1600, 0xFF336699u);
    const std::string png = image::encodePNG(one);
    const std::string jpeg = jpegBytes(64, 64, 10, 20, 30);
    // An error page served in place of a logo, an empty body, cut downloads.
    EXPECT_FALSE(image::isImage("<html><body>502 Bad Gateway</body></html>"));
    EXPECT_FALSE(image::isImage(""));
    EXPECT_FALSE(image::isImage(png.substr(0, png.size() / 2)));
    EXPECT_FALSE(image::isImage(jpeg.substr(0, jpeg.size() / 2)));
    EXPECT_FALSE(image::isImage(png.substr(0, 8)));
    EXPECT_TRUE(image::isImage(png));

    // A header that claims 100000 x 100000 pixels is refused before any
    // memory is asked for.
    std::string forged = png;
    const size_t ihdr = 8 + 4;  // signature, chunk length
    ASSERT_EQ(forged.substr(ihdr, 4), "IHDR");
    for (size_t at : {ihdr + 4, ihdr + 8}) {
        forged[at] = 0;
        forged[at + 1] = 0x01;
        forged[at + 2] = static_cast<char>(0x86);
        forged[at + 3] = static_cast<char>(0xA0);
    }
    const uint32_t crc = crc32(forged.substr(ihdr, 4 + 13));
    for (int k = 0; k < 4; ++k)
        forged[ihdr + 17 + k] = static_cast<char>((crc >> (24 - 8 * k)) & 0xFF);
    EXPECT_FALSE(image::decode(forged));
}

}  // namespace
