#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include "platform/ui/Image.h"
#include "platform/ui/View.h"

namespace platform::ui {

// Shows an image by its content mode (scale to fill by default; aspect fit
// and fill, centre and the edges keep or scale the image accordingly); the
// highlighted image while highlighted. Takes no touches by default.
class UIImageView : public UIView {
  public:
    explicit UIImageView(const CGRect& frame = CGRectZero);
    explicit UIImageView(UIImagePtr image);

    UIImagePtr image() const { return image_; }
    void setImage(UIImagePtr image);
    UIImagePtr highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(UIImagePtr image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h);

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    // The image's rectangle while it lies inside the bounds (a clipped
    // picture is recorded, clipped as it always was); a subclass that draws
    // otherwise tells its ink only if it overrides this too.
    bool drawingInk(CALayer& layer, CGRect& ink) override;
    // Straight only where the image keeps its own pixels.
    bool drawsStraightOnto(const CGRect& pixels) override;
    // The image shown and its place: a view that flips among a few images
    // (the board's arrow) has each recorded once where it is scaled.
    std::shared_ptr<const void> drawingSubject(CALayer& layer, CGRect& place) override;
    // Where the image is drawn inside the bounds for the content mode.
    CGRect imageRect() const;

  private:
    UIImagePtr image_;
    UIImagePtr highlightedImage_;
    bool highlighted_ = false;
};

}  // namespace platform::ui
