#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace platform::ui {

enum class UIImageResizingMode { Tile = 0, Stretch = 1 };

class UIImage;
using UIImagePtr = std::shared_ptr<UIImage>;

// A bitmap image: pixels (premultiplied ARGB) and the scale that maps them to
// points. Immutable once made; the operations return new images.
class UIImage {
  public:
    // Takes a reference to the surface (an image surface of any format).
    UIImage(cairo_surface_t* surface, CGFloat scale);
    ~UIImage();
    UIImage(const UIImage&) = delete;
    UIImage& operator=(const UIImage&) = delete;

    // A bundle image by name ("nav_backicon", "Sounds/..." not images): looked
    // up in the resource bundle as <name>@2x.png (scale 2), <name>.png, then
    // <name>.jpg, <name>.jpeg; a name with an extension is taken as given.
    // Null when nothing matches. Results are cached by name.
    static UIImagePtr imageNamed(const std::string& name);
    // PNG or JPEG file; null when missing or not decodable.
    static UIImagePtr imageWithContentsOfFile(const std::filesystem::path& path);
    // PNG or JPEG bytes; null when not decodable.
    static UIImagePtr imageWithData(std::string_view bytes, CGFloat scale = 1);

    // Size in points.
    CGSize size() const;
    CGFloat scale() const { return scale_; }
    int pixelWidth() const { return pixelWidth_; }
    int pixelHeight() const { return pixelHeight_; }
    cairo_surface_t* surface() const { return surface_; }

    // Stretchable images: the cap insets (points) keep their size and the
    // middle stretches when the image is drawn larger (tile mode stretches too).
    UIImagePtr resizableImageWithCapInsets(
        UIEdgeInsets insets, UIImageResizingMode mode = UIImageResizingMode::Stretch) const;
    UIEdgeInsets capInsets() const { return capInsets_; }
    UIImageResizingMode resizingMode() const { return resizingMode_; }
    bool isResizable() const { return resizable_; }

    // Draws in the current graphics context.
    void drawInRect(const CGRect& rect) const;
    void drawAtPoint(CGPoint point) const;

    // The colour of one pixel (pixel coordinates, not premultiplied); clear
    // outside the image. For checks of rendered output.
    UIColor pixelAt(int x, int y) const;

  private:
    cairo_surface_t* surface_;
    CGFloat scale_;
    // The surface's size, kept: an image view tells its ink from it at every
    // frame its image is drawn, and asking cairo reads the surface's own
    // memory, long out of the processor's caches by then.
    int pixelWidth_;
    int pixelHeight_;
    UIEdgeInsets capInsets_{};
    UIImageResizingMode resizingMode_ = UIImageResizingMode::Stretch;
    bool resizable_ = false;
};

// PNG bytes of the image (empty on failure).
std::string UIImagePNGRepresentation(const UIImagePtr& image);
bool UIImageWritePNG(const UIImagePtr& image, const std::filesystem::path& path);

// Offscreen drawing: begins a context of `size` points (scale 0 means the main
// screen's scale), made current for UIGraphicsGetCurrentContext(); contexts
// nest.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
void UIGraphicsBeginImageContext(CGSize size);
UIImagePtr UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

}  // namespace platform::ui
