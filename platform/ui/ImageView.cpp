#include "platform/ui/ImageView.h"

#include <algorithm>
#include <typeinfo>

namespace platform::ui {

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

UIImageView::UIImageView(UIImagePtr image) : UIImageView(CGRectMake(0, 0, 0, 0)) {
    if (image) setFrame({{0, 0}, image->size()});
    setImage(std::move(image));
}

void UIImageView::setImage(UIImagePtr image) {
    if (image == image_) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlightedImage(UIImagePtr image) {
    highlightedImage_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlighted(bool h) {
    if (h == highlighted_) return;
    highlighted_ = h;
    setNeedsDisplay();
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSizeZero;
}

CGRect UIImageView::imageRect() const {
    const UIImagePtr& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    const CGRect b = bounds();
    if (!img) return CGRectZero;
    const CGSize s = img->size();
    if (s.width <= 0 || s.height <= 0) return CGRectZero;
    const double sx = b.size.width / s.width, sy = b.size.height / s.height;
    auto centred = [&](double w, double h) {
        return CGRectMake(b.origin.x + (b.size.width - w) / 2, b.origin.y + (b.size.height - h) / 2,
                          w, h);
    };
    switch (contentMode()) {
        case UIViewContentMode::ScaleAspectFit: {
            double k = std::min(sx, sy);
            return centred(s.width * k, s.height * k);
        }
        case UIViewContentMode::ScaleAspectFill: {
            double k = std::max(sx, sy);
            return centred(s.width * k, s.height * k);
        }
        case UIViewContentMode::Center:
            return centred(s.width, s.height);
        case UIViewContentMode::Top:
            return CGRectMake((b.size.width - s.width) / 2, 0, s.width, s.height);
        case UIViewContentMode::Bottom:
            return CGRectMake((b.size.width - s.width) / 2, b.size.height - s.height, s.width,
                              s.height);
        case UIViewContentMode::Left:
            return CGRectMake(0, (b.size.height - s.height) / 2, s.width, s.height);
        case UIViewContentMode::Right:
            return CGRectMake(b.size.width - s.width, (b.size.height - s.height) / 2, s.width,
                              s.height);
        case UIViewContentMode::TopLeft:
            return CGRectMake(0, 0, s.width, s.height);
        case UIViewContentMode::TopRight:
            return CGRectMake(b.size.width - s.width, 0, s.width, s.height);
        case UIViewContentMode::BottomLeft:
            return CGRectMake(0, b.size.height - s.height, s.width, s.height);
        case UIViewContentMode::BottomRight:
            return CGRectMake(b.size.width - s.width, b.size.height - s.height, s.width, s.height);
        default:
            return b;
    }
}

void UIImageView::drawRect(CGRect) {
    const UIImagePtr& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!img || !ctx) return;
    ctx->drawImage(*img, imageRect());
}

bool UIImageView::drawingInk(CALayer&, CGRect& ink) {
    if (typeid(*this) != typeid(UIImageView)) return false;
    const UIImagePtr& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    const CGSize s = img ? img->size() : CGSizeZero;
    const CGRect r = imageRect();
    // Nothing drawn where drawImage draws nothing.
    ink = s.width <= 0 || s.height <= 0 || r.size.width <= 0 || r.size.height <= 0 ? CGRectNull : r;
    return CGRectIsNull(ink) || CGRectContainsRect(bounds(), ink);
}

std::shared_ptr<const void> UIImageView::drawingSubject(CALayer&, CGRect& place) {
    // A subclass may draw otherwise.
    if (typeid(*this) != typeid(UIImageView)) return nullptr;
    const UIImagePtr& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!img) return nullptr;
    place = imageRect();
    return img;
}

bool UIImageView::drawsStraightOnto(const CGRect& pixels) {
    const UIImagePtr& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!img || CGRectIsNull(pixels)) return false;
    const CGSize s = img->size();
    return pixels.size.width == s.width * img->scale() &&
           pixels.size.height == s.height * img->scale();
}

}  // namespace platform::ui
