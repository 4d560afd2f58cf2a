#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace platform::ui {

UISegmentedControl::UISegmentedControl(const std::vector<std::string>& items)
    : UIControl(CGRectMake(0, 0, 70.0 * std::max<size_t>(1, items.size()), 29)),
      titles_(items),
      enabled_(items.size(), true) {
    setOpaque(false);
}

void UISegmentedControl::setSelectedSegmentIndex(long index) {
    if (index < UISegmentedControlNoSegment || index >= numberOfSegments()) return;
    selected_ = index;
    setNeedsDisplay();
}

std::string UISegmentedControl::titleForSegmentAtIndex(long i) const {
    return i >= 0 && i < numberOfSegments() ? titles_[static_cast<size_t>(i)] : std::string();
}

CGRect UISegmentedControl::rectForSegmentAtIndex(long i) const {
    if (i < 0 || i >= numberOfSegments()) return CGRectZero;
    const CGRect b = bounds();
    const double w = b.size.width / static_cast<double>(titles_.size());
    return CGRectMake(b.origin.x + static_cast<double>(i) * w, b.origin.y, w, b.size.height);
}

void UISegmentedControl::setTitle(const std::string& t, long i) {
    if (i < 0 || i >= numberOfSegments()) return;
    titles_[static_cast<size_t>(i)] = t;
    setNeedsDisplay();
}

void UISegmentedControl::insertSegmentWithTitle(const std::string& t, long index, bool) {
    index = std::clamp(index, 0L, numberOfSegments());
    titles_.insert(titles_.begin() + index, t);
    enabled_.insert(enabled_.begin() + index, true);
    if (selected_ >= index) ++selected_;
    setNeedsDisplay();
}

void UISegmentedControl::removeAllSegments() {
    titles_.clear();
    enabled_.clear();
    selected_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
}

void UISegmentedControl::setEnabled(bool e, long segment) {
    if (segment < 0 || segment >= numberOfSegments()) return;
    enabled_[static_cast<size_t>(segment)] = e;
    setNeedsDisplay();
}

bool UISegmentedControl::isEnabledForSegmentAtIndex(long segment) const {
    return segment >= 0 && segment < numberOfSegments() && enabled_[static_cast<size_t>(segment)];
}

void UISegmentedControl::setTitleFont(const UIFont& f, unsigned state) {
    fonts_[state] = f;
    setNeedsDisplay();
}

UIFont UISegmentedControl::titleFont(unsigned state) const {
    if (auto it = fonts_.find(state); it != fonts_.end()) return it->second;
    if (auto it = fonts_.find(UIControlStateNormal); it != fonts_.end()) return it->second;
    return UIFont::systemFontOfSize(13);
}

long UISegmentedControl::segmentAt(CGPoint p) const {
    if (titles_.empty() || !CGRectContainsPoint(bounds(), p)) return UISegmentedControlNoSegment;
    const double w = bounds().size.width / titles_.size();
    return std::min(numberOfSegments() - 1, static_cast<long>(p.x / w));
}

void UISegmentedControl::endTrackingWithTouch(UITouch* touch, UIEvent* event) {
    const long s = segmentAt(touch->locationInView(this));
    if (s == UISegmentedControlNoSegment || !isEnabledForSegmentAtIndex(s)) return;
    if (momentary) {
        selected_ = s;
        sendActionsForControlEvents(UIControlEventValueChanged, event);
        selected_ = UISegmentedControlNoSegment;
        setNeedsDisplay();
        return;
    }
    if (s == selected_) return;
    selected_ = s;
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventValueChanged, event);
}

std::string UISegmentedControl::debugText() const {
    return titleForSegmentAtIndex(selected_);
}

void UISegmentedControl::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c || titles_.empty()) return;
    const CGRect b = CGRectInset(bounds(), 0.5, 0.5);
    const UIColor tint = tintColor();
    const double w = b.size.width / titles_.size();
    auto outline = UIBezierPath::bezierPathWithRoundedRect(b, 4);
    c->saveGState();
    c->clipToPath(outline);
    if (selected_ >= 0) {
        c->setFillColor(tint);
        c->fillRect(CGRectMake(b.origin.x + selected_ * w, b.origin.y, w, b.size.height));
    }
    c->restoreGState();
    c->setStrokeColor(tint);
    c->setLineWidth(1);
    c->strokePath(outline);
    for (size_t i = 1; i < titles_.size(); ++i)
        c->strokeLineSegments(
            {{b.origin.x + i * w, b.origin.y}, {b.origin.x + i * w, CGRectGetMaxY(b)}});
    for (size_t i = 0; i < titles_.size(); ++i) {
        const bool sel = static_cast<long>(i) == selected_;
        TextStyle s;
        s.font = titleFont(sel ? UIControlStateSelected : UIControlStateNormal);
        s.color = sel ? UIColor::whiteColor() : tint;
        if (!enabled_[i] || !isEnabled()) s.color.alpha *= 0.4;
        s.alignment = NSTextAlignment::Center;
        s.numberOfLines = 1;
        s.centerVertically = true;
        c->drawText(titles_[i],
                    CGRectMake(b.origin.x + i * w + 2, b.origin.y, w - 4, b.size.height), s);
    }
}

}  // namespace platform::ui
