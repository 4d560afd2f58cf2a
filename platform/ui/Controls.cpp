#include "platform/ui/Controls.h"

#include <algorithm>
#include <cmath>

namespace platform::ui {

namespace {
constexpr double kThumb = 28;
const char* const kSpin = "spin";
}  // namespace

// ---- switch -------------------------------------------------------------

UISwitch::UISwitch(const CGRect& frame)
    : UIControl(CGRectMake(frame.origin.x, frame.origin.y, 51, 31)) {
    setOpaque(false);
}

void UISwitch::setOn(bool on, bool) {
    if (on == on_) return;
    on_ = on;
    setNeedsDisplay();
}

void UISwitch::endTrackingWithTouch(UITouch* touch, UIEvent* event) {
    if (!CGRectContainsPoint(CGRectInset(bounds(), -20, -20), touch->locationInView(this))) return;
    setOn(!on_, true);
    sendActionsForControlEvents(UIControlEventValueChanged, event);
}

void UISwitch::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = CGRectMake(0.5, 0.5, 50, 30);
    auto track = UIBezierPath::bezierPathWithRoundedRect(b, 15);
    c->setFillColor(on_ ? onTintColor.value_or(UIColor::rgb255(76, 217, 100))
                        : UIColor::whiteColor());
    c->fillPath(track);
    c->setStrokeColor(on_ ? onTintColor.value_or(UIColor::rgb255(76, 217, 100))
                          : tintColor().colorWithAlphaComponent(0.4));
    c->strokePath(track);
    const double x = on_ ? 21 : 1;
    c->setShadowWithColor({0, 1}, 2, UIColor::colorWithWhite(0, 0.3));
    c->setFillColor(thumbTintColor.value_or(UIColor::whiteColor()));
    c->fillEllipseInRect(CGRectMake(x, 1, 29, 29));
    c->clearShadow();
    if (!isEnabled()) {
        c->setFillColor(UIColor::colorWithWhite(1, 0.5));
        c->fillPath(track);
    }
}

// ---- slider -------------------------------------------------------------

UISlider::UISlider(const CGRect& frame) : UIControl(frame) {
    setOpaque(false);
}

void UISlider::setValue(float v, bool) {
    v = std::clamp(v, min_, max_);
    if (v == value_) return;
    value_ = v;
    setNeedsDisplay();
}

void UISlider::setMinimumValue(float v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    setValue(value_);
}

void UISlider::setMaximumValue(float v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    setValue(value_);
}

float UISlider::valueForPoint(CGPoint p) const {
    const double room = bounds().size.width - kThumb;
    if (room <= 0 || max_ <= min_) return min_;
    const double f = std::clamp((p.x - kThumb / 2) / room, 0.0, 1.0);
    return static_cast<float>(min_ + f * (max_ - min_));
}

void UISlider::track(UITouch* touch) {
    const float v = valueForPoint(touch->locationInView(this));
    if (v == value_) return;
    setValue(v);
    changedWhileTracking_ = true;
    if (continuous) sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISlider::beginTrackingWithTouch(UITouch* touch, UIEvent*) {
    changedWhileTracking_ = false;
    track(touch);
    return true;
}

bool UISlider::continueTrackingWithTouch(UITouch* touch, UIEvent*) {
    track(touch);
    return true;
}

void UISlider::endTrackingWithTouch(UITouch* touch, UIEvent*) {
    track(touch);
    if (!continuous && changedWhileTracking_)
        sendActionsForControlEvents(UIControlEventValueChanged);
}

void UISlider::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = bounds();
    const double cy = b.size.height / 2;
    const double f = max_ > min_ ? (value_ - min_) / (max_ - min_) : 0;
    const double x = kThumb / 2 + f * (b.size.width - kThumb);
    c->setFillColor(minimumTrackTintColor.value_or(tintColor()));
    c->fillPath(UIBezierPath::bezierPathWithRoundedRect(CGRectMake(2, cy - 1, x - 2, 2), 1));
    c->setFillColor(maximumTrackTintColor.value_or(UIColor::grey255(183)));
    c->fillPath(
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(x, cy - 1, b.size.width - 2 - x, 2), 1));
    c->setShadowWithColor({0, 1}, 2, UIColor::colorWithWhite(0, 0.3));
    c->setFillColor(thumbTintColor.value_or(UIColor::whiteColor()));
    c->fillEllipseInRect(CGRectMake(x - kThumb / 2, cy - kThumb / 2, kThumb, kThumb));
    c->clearShadow();
}

// ---- segmented control --------------------------------------------------

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

// ---- activity indicator -------------------------------------------------

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : style_(style) {
    setOpaque(false);
    setUserInteractionEnabled(false);
    const CGSize s = sizeThatFits({});
    setFrame({{0, 0}, s});
    setHidden(true);
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle s) {
    style_ = s;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setColor(std::optional<UIColor> c) {
    color = c;
    setNeedsDisplay();
}

CGSize UIActivityIndicatorView::sizeThatFits(CGSize) const {
    return style_ == UIActivityIndicatorViewStyle::WhiteLarge ? CGSize{37, 37} : CGSize{20, 20};
}

void UIActivityIndicatorView::startAnimating() {
    if (animating_) return;
    animating_ = true;
    setHidden(false);
    auto spin = CABasicAnimation::animationWithKeyPath("transform.rotation");
    spin->fromValue = 0.0;
    spin->toValue = 2 * M_PI;
    spin->duration = 1.0;
    spin->repeatCount = 1e9;
    layer().addAnimation(spin, kSpin);
}

void UIActivityIndicatorView::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    layer().removeAnimationForKey(kSpin);
    if (hidesWhenStopped) setHidden(true);
}

void UIActivityIndicatorView::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = bounds();
    const CGPoint center{CGRectGetMidX(b), CGRectGetMidY(b)};
    const double r = std::min(b.size.width, b.size.height) / 2;
    UIColor col =
        color.value_or(style_ == UIActivityIndicatorViewStyle::Gray ? UIColor::grayColor()
                                                                    : UIColor::whiteColor());
    c->setLineWidth(r / 5);
    c->setLineCap(CGLineCap::Round);
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        c->setStrokeColor(col.colorWithAlphaComponent(col.alpha * (0.25 + 0.75 * i / 11)));
        c->beginPath();
        c->moveToPoint(center.x + r * 0.5 * std::cos(a), center.y + r * 0.5 * std::sin(a));
        c->addLineToPoint(center.x + r * 0.9 * std::cos(a), center.y + r * 0.9 * std::sin(a));
        c->strokePath();
    }
}

}  // namespace platform::ui
