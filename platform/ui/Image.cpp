#include "platform/ui/Image.h"

#include <cairo.h>
#include <jpeglib.h>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "platform/ui/Bundle.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Screen.h"

namespace platform::ui {

namespace {

std::map<std::string, UIImagePtr>& imageCache() {
    static std::map<std::string, UIImagePtr> cache;
    return cache;
}

struct PngReader {
    std::string_view bytes;
    size_t pos = 0;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    auto* r = static_cast<PngReader*>(closure);
    if (r->pos + length > r->bytes.size()) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, r->bytes.data() + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decodePng(std::string_view bytes) {
    PngReader reader{bytes};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(err->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

cairo_surface_t* decodeJpeg(std::string_view bytes) {
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegSilence;
    cairo_surface_t* surface = nullptr;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        if (surface) cairo_surface_destroy(surface);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int w = static_cast<int>(info.output_width), h = static_cast<int>(info.output_height);
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* dst = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    // Row memory from the decoder's own pool: freed with it, also on a jump.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(w) * 3, 1);
    const unsigned char* row = rows[0];
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        jpeg_read_scanlines(&info, rows, 1);
        auto* out = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x)
            out[x] = 0xFF000000u | (uint32_t(row[x * 3]) << 16) | (uint32_t(row[x * 3 + 1]) << 8) |
                     row[x * 3 + 2];
    }
    cairo_surface_mark_dirty(surface);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return surface;
}

std::optional<std::string> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Copies a surface into a new ARGB image surface.
cairo_surface_t* copySurface(cairo_surface_t* src) {
    const int w = cairo_image_surface_get_width(src), h = cairo_image_surface_get_height(src);
    cairo_surface_t* dst = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(dst);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return dst;
}

struct ImageContext {
    cairo_surface_t* surface;
    cairo_t* cr;
    Canvas* canvas;
    CGFloat scale;
};

std::vector<ImageContext>& imageContexts() {
    static std::vector<ImageContext> stack;
    return stack;
}

}  // namespace

void clearImageCache() {
    imageCache().clear();
}

UIImage::UIImage(cairo_surface_t* surface, CGFloat scale)
    : surface_(cairo_surface_reference(surface)), scale_(scale > 0 ? scale : 1) {}

UIImage::~UIImage() {
    cairo_surface_destroy(surface_);
}

int UIImage::pixelWidth() const {
    return cairo_image_surface_get_width(surface_);
}
int UIImage::pixelHeight() const {
    return cairo_image_surface_get_height(surface_);
}

CGSize UIImage::size() const {
    return {pixelWidth() / scale_, pixelHeight() / scale_};
}

UIImagePtr UIImage::imageWithData(std::string_view bytes, CGFloat scale) {
    cairo_surface_t* s = nullptr;
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        s = decodePng(bytes);
    else if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
             static_cast<unsigned char>(bytes[1]) == 0xD8)
        s = decodeJpeg(bytes);
    if (!s) return nullptr;
    auto img = std::make_shared<UIImage>(s, scale);
    cairo_surface_destroy(s);
    return img;
}

UIImagePtr UIImage::imageWithContentsOfFile(const std::filesystem::path& path) {
    auto bytes = readAll(path);
    if (!bytes) return nullptr;
    const auto stem = path.stem().string();
    const CGFloat scale = stem.size() > 3 && stem.compare(stem.size() - 3, 3, "@2x") == 0 ? 2 : 1;
    return imageWithData(*bytes, scale);
}

UIImagePtr UIImage::imageNamed(const std::string& name) {
    if (name.empty()) return nullptr;
    auto& cache = imageCache();
    if (auto it = cache.find(name); it != cache.end()) return it->second;
    auto& bundle = NSBundle::mainBundle();
    UIImagePtr img;
    if (std::filesystem::path(name).has_extension()) {
        if (auto p = bundle.pathForResource(name, "")) img = imageWithContentsOfFile(*p);
    } else {
        for (const char* candidate : {"@2x.png", ".png", ".jpg", ".jpeg"}) {
            if (auto p = bundle.pathForResource(name + candidate, "")) {
                img = imageWithContentsOfFile(*p);
                if (img) break;
            }
        }
    }
    if (img) cache[name] = img;
    return img;
}

UIImagePtr UIImage::resizableImageWithCapInsets(UIEdgeInsets insets,
                                                UIImageResizingMode mode) const {
    auto img = std::make_shared<UIImage>(surface_, scale_);
    img->capInsets_ = insets;
    img->resizingMode_ = mode;
    img->resizable_ = true;
    return img;
}

void UIImage::drawInRect(const CGRect& rect) const {
    if (auto* ctx = UIGraphicsGetCurrentContext()) ctx->drawImage(*this, rect);
}

void UIImage::drawAtPoint(CGPoint p) const {
    drawInRect({p, size()});
}

UIColor UIImage::pixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return UIColor::clearColor();
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const auto format = cairo_image_surface_get_format(surface_);
    if (format == CAIRO_FORMAT_A8)
        return {0, 0, 0, data[static_cast<size_t>(y) * stride + x] / 255.0};
    uint32_t px = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
    double a = format == CAIRO_FORMAT_RGB24 ? 1.0 : ((px >> 24) & 0xFF) / 255.0;
    if (a <= 0) return UIColor::clearColor();
    auto comp = [&](int shift) { return std::min(1.0, ((px >> shift) & 0xFF) / 255.0 / a); };
    return {comp(16), comp(8), comp(0), a};
}

namespace {
cairo_status_t writePng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}
}  // namespace

std::string UIImagePNGRepresentation(const UIImagePtr& image) {
    std::string out;
    if (!image) return out;
    if (cairo_surface_write_to_png_stream(image->surface(), writePng, &out) != CAIRO_STATUS_SUCCESS)
        out.clear();
    return out;
}

bool UIImageWritePNG(const UIImagePtr& image, const std::filesystem::path& path) {
    auto bytes = UIImagePNGRepresentation(image);
    if (bytes.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale) {
    if (scale <= 0) scale = UIScreen::mainScreen().scale();
    const int w = std::max(1, static_cast<int>(std::ceil(size.width * scale - 1e-9)));
    const int h = std::max(1, static_cast<int>(std::ceil(size.height * scale - 1e-9)));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    if (opaque) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
    }
    cairo_scale(cr, scale, scale);
    auto* canvas = new Canvas(cr);
    imageContexts().push_back({s, cr, canvas, scale});
    UIGraphicsPushContext(canvas);
}

void UIGraphicsBeginImageContext(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
}

UIImagePtr UIGraphicsGetImageFromCurrentImageContext() {
    auto& stack = imageContexts();
    if (stack.empty()) return nullptr;
    auto& top = stack.back();
    cairo_surface_flush(top.surface);
    cairo_surface_t* copy = copySurface(top.surface);
    auto img = std::make_shared<UIImage>(copy, top.scale);
    cairo_surface_destroy(copy);
    return img;
}

void UIGraphicsEndImageContext() {
    auto& stack = imageContexts();
    if (stack.empty()) return;
    auto top = stack.back();
    stack.pop_back();
    UIGraphicsPopContext();
    delete top.canvas;
    cairo_destroy(top.cr);
    cairo_surface_destroy(top.surface);
}

}  // namespace platform::ui
