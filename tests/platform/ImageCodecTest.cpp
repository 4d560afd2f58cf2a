#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ImageCodec.h"

namespace image = platform::image;

namespace {

// A JPEG of one colour, made with the library the decoder uses.
std::string jpegBytes(int w, int h, unsigned char r, unsigned char g, unsigned char b) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::string row;
    for (int x = 0; x < w; ++x)
        row += {static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)};
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
