#include "platform/ui/Image.h"

#include <cairo.h>
#include <cstring>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <vector>

#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Screen.h"

namespace platform::ui {

namespace {

std::map<std::string, UIImagePtr>& imageCache() {
    static std::map<std::string, UIImagePtr> cache;
    return cache;
}

// A Cairo image surface holding the decoded pixels (the same word layout).
cairo_surface_t* surfaceFromBitmap(const platform::image::Bitmap& bitmap) {
    cairo_surface_t* s = cairo_image_surface_create(
        bitmap.opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride,
                    bitmap.pixels.data() + static_cast<size_t>(y) * bitmap.width,
                    static_cast<size_t>(bitmap.width) * 4);
    cairo_surface_mark_dirty(s);
    return s;
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
    : surface_(cairo_surface_reference(surface)),
      scale_(scale > 0 ? scale : 1),
      pixelWidth_(surface ? cairo_image_surface_get_width(surface) : 0),
      pixelHeight_(surface ? cairo_image_surface_get_height(surface) : 0) {}

UIImage::~UIImage() {
    cairo_surface_destroy(surface_);
}

CGSize UIImage::size() const {
    return {pixelWidth_ / scale_, pixelHeight_ / scale_};
}

UIImagePtr UIImage::imageWithData(std::string_view bytes, CGFloat scale) {
    auto bitmap = platform::image::decode(bytes);
    if (!bitmap) return nullptr;
    cairo_surface_t* s = surfaceFromBitmap(*bitmap);
    if (!s) return nullptr;
    auto img = std::make_shared<UIImage>(s, scale);
    cairo_surface_destroy(s);
    return img;
}

UIImagePtr UIImage::imageWithContentsOfFile(const std::filesystem::path& path) {
    // Regular files only: a named pipe where a cached logo should be would
    // wait for a writer for ever, on the main thread.
    auto bytes = platform::files::readRegularFile(path);
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

std::string UIImagePNGRepresentation(const UIImagePtr& image) {
    if (!image) return {};
    cairo_surface_t* surface = image->surface();
    cairo_surface_flush(surface);
    const auto format = cairo_image_surface_get_format(surface);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) {
        // Other formats (masks) go through a colour copy first.
        cairo_surface_t* copy = copySurface(surface);
        auto bytes = UIImagePNGRepresentation(std::make_shared<UIImage>(copy, image->scale()));
        cairo_surface_destroy(copy);
        return bytes;
    }
    platform::image::Bitmap bitmap;
    bitmap.width = image->pixelWidth();
    bitmap.height = image->pixelHeight();
    bitmap.opaque = format == CAIRO_FORMAT_RGB24;
    bitmap.pixels.resize(static_cast<size_t>(bitmap.width) * bitmap.height);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < bitmap.height; ++y) {
        uint32_t* dst = bitmap.pixels.data() + static_cast<size_t>(y) * bitmap.width;
        std::memcpy(dst, data + static_cast<size_t>(y) * stride,
                    static_cast<size_t>(bitmap.width) * 4);
        // The unused byte of an opaque surface is undefined: make it full.
        if (bitmap.opaque)
            for (int x = 0; x < bitmap.width; ++x)
                dst[x] |= 0xFF000000u;
    }
    return platform::image::encodePNG(bitmap);
}

bool UIImageWritePNG(const UIImagePtr& image, const std::filesystem::path& path) {
    auto bytes = UIImagePNGRepresentation(image);
    if (bytes.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // A small picture sits in the stream's buffer until the close, which is
    // where a full disk shows.
    out.close();
    return !out.fail();
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
