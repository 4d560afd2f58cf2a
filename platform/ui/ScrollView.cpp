#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/RefreshControl.h"

namespace platform::ui {

namespace {

constexpr double kSpringBack = 0.3;
constexpr double kGlideTime = 0.35;
constexpr double kDirectionSlop = 10;

// Half speed past the ends.
double rubber(double v, double lo, double hi) {
    if (v < lo) return lo - (lo - v) / 2;
    if (v > hi) return hi + (v - hi) / 2;
    return v;
}

}  // namespace

// A pan that begins only along a direction its scroll view can move.
class UIScrollView::ScrollPan : public UIPanGestureRecognizer {
  public:
    explicit ScrollPan(UIScrollView* owner) : owner_(owner) {}
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override {
        if (state() == UIGestureRecognizerState::Possible) {
            CGPoint t = translationInView(nullptr);
            if (std::hypot(t.x, t.y) >= kDirectionSlop) {
                const bool horizontal = std::fabs(t.x) > std::fabs(t.y);
                if ((horizontal && !owner_->canScrollHorizontally()) ||
                    (!horizontal && !owner_->canScrollVertically())) {
                    setState(UIGestureRecognizerState::Failed);
                    return;
                }
            }
        }
        UIPanGestureRecognizer::touchesMoved(touches, event);
    }
    // A finger coming down stops a glide, before the views under it hear
    // of the touch.
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override {
        if (touches_.empty() && !touches.empty()) owner_->fingerDown(touches.front());
        UIPanGestureRecognizer::touchesBegan(touches, event);
    }
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesEnded(touches, event);
        owner_->fingerUp();
    }
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesCancelled(touches, event);
        owner_->fingerUp();
    }
    // Also after a drag it gave up on (sideways in a list).
    void reset() override {
        UIPanGestureRecognizer::reset();
        owner_->fingerUp();
    }

  private:
    UIScrollView* owner_;
};

UIScrollView::UIScrollView(const CGRect& frame) : UIView(frame) {
    setClipsToBounds(true);
    pan_ = std::make_shared<ScrollPan>(this);
    pan_->maximumNumberOfTouches = 1;
    UIScrollView* self = this;
    pan_->addTarget([self](UIGestureRecognizer& g) {
        self->handlePan(static_cast<UIPanGestureRecognizer&>(g));
    });
    addGestureRecognizer(pan_);
}

void UIScrollView::setContentSize(CGSize size) {
    if (size == contentSize_) return;
    contentSize_ = size;
    setNeedsLayout();
}

void UIScrollView::setContentInset(UIEdgeInsets inset) {
    contentInset_ = inset;
    setNeedsLayout();
}

void UIScrollView::setScrollEnabled(bool e) {
    scrollEnabled_ = e;
    pan_->setEnabled(e);
}

CGPoint UIScrollView::minimumContentOffset() const {
    return {-contentInset_.left, -contentInset_.top};
}

CGPoint UIScrollView::maximumContentOffset() const {
    const CGSize b = bounds().size;
    return {std::max(-contentInset_.left, contentSize_.width + contentInset_.right - b.width),
            std::max(-contentInset_.top, contentSize_.height + contentInset_.bottom - b.height)};
}

bool UIScrollView::canScrollHorizontally() const {
    return scrollEnabled_ && (alwaysBounceHorizontal || contentSize_.width > bounds().size.width);
}

bool UIScrollView::canScrollVertically() const {
    return scrollEnabled_ &&
           (alwaysBounceVertical ||
            contentSize_.height + contentInset_.top + contentInset_.bottom > bounds().size.height);
}

CGPoint UIScrollView::clamp(CGPoint p) const {
    CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
    return {std::clamp(p.x, lo.x, hi.x), std::clamp(p.y, lo.y, hi.y)};
}

void UIScrollView::setContentOffset(CGPoint offset) {
    // Put somewhere else while it glides (a reload, a scroll in code): the
    // glide ends, instead of going on to where it was headed and the content
    // jumping to this offset when it ends.
    if (decelerating_ && !gliding_) stopGlide();
    CGRect b = bounds();
    if (b.origin == offset) return;
    b.origin = offset;
    setBounds(b);
    setNeedsLayout();
    didScroll();
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    UIView::animateWithDuration(
        kSpringBack, 0, UIViewAnimationOptionAllowUserInteraction,
        [this, offset] { setContentOffset(offset); },
        [weak = weakSelf<UIScrollView>()](bool) {
            if (auto self = weak.lock())
                if (auto d = self->delegate.lock())
                    d->scrollViewDidEndScrollingAnimation(self.get());
        });
}

void UIScrollView::scrollRectToVisible(const CGRect& rect, bool animated) {
    CGRect b = bounds();
    CGPoint o = b.origin;
    if (rect.origin.y < o.y) o.y = rect.origin.y;
    if (CGRectGetMaxY(rect) > o.y + b.size.height) o.y = CGRectGetMaxY(rect) - b.size.height;
    if (rect.origin.x < o.x) o.x = rect.origin.x;
    if (CGRectGetMaxX(rect) > o.x + b.size.width) o.x = CGRectGetMaxX(rect) - b.size.width;
    setContentOffset(clamp(o), animated);
}

void UIScrollView::didScroll() {
    if (auto d = delegate.lock()) d->scrollViewDidScroll(this);
}

void UIScrollView::didEndDragging() {
    for (auto& sub : subviews())
        if (auto* refresh = dynamic_cast<UIRefreshControl*>(sub.get()))
            refresh->scrollViewDidEndDragging(this);
}

void UIScrollView::stopGlide() {
    if (!decelerating_) return;
    // The content stops where it shows, not where the glide would have
    // ended (the model offset).
    const CGPoint shown = layer().presentation().bounds.origin;
    layer().removeAnimationForKey("bounds");
    decelerating_ = false;
    setContentOffset(shown);
}

void UIScrollView::fingerDown(const std::shared_ptr<UITouch>& touch) {
    if (!decelerating_) return;
    // What the finger lands on is what it sees.
    glideStopper_ = touch;
    stopGlide();
}

void UIScrollView::fingerUp() {
    // A finger that stopped the content past an end and lifted without
    // dragging: it springs back (a drag's own end does that itself).
    if (dragging_ || decelerating_) return;
    const CGPoint at = contentOffset(), in = clamp(at);
    if (in != at) glideTo(in);
}

bool UIScrollView::touchStoppedGlide(const UITouch* touch) const {
    return touch && glideStopper_.lock().get() == touch;
}

void UIScrollView::glideTo(CGPoint target) {
    decelerating_ = true;
    gliding_ = true;
    UIView::animateWithDuration(
        kGlideTime, 0, UIViewAnimationOptionCurveEaseOut | UIViewAnimationOptionAllowUserInteraction,
        [this, target] { setContentOffset(target); },
        [weak = weakSelf<UIScrollView>()](bool finished) {
            auto self = weak.lock();
            // One stopped early (a finger, an offset set meanwhile) has
            // ended already, and a new glide may run.
            if (!self || !finished) return;
            self->decelerating_ = false;
            if (auto d = self->delegate.lock()) d->scrollViewDidEndDecelerating(self.get());
        });
    gliding_ = false;
}

void UIScrollView::handlePan(UIPanGestureRecognizer& pan) {
    auto keep = sharedSelf<UIScrollView>();
    switch (pan.state()) {
        case UIGestureRecognizerState::Began:
            layer().removeAllAnimations();
            dragging_ = true;
            decelerating_ = false;
            dragStart_ = contentOffset();
            if (auto d = delegate.lock()) d->scrollViewWillBeginDragging(this);
            [[fallthrough]];
        case UIGestureRecognizerState::Changed: {
            CGPoint t = pan.translationInView(this->superviewRaw());
            CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
            CGPoint want{canScrollHorizontally() ? dragStart_.x - t.x : contentOffset().x,
                         canScrollVertically() ? dragStart_.y - t.y : contentOffset().y};
            if (bounces) {
                want.x = rubber(want.x, lo.x, hi.x);
                want.y = rubber(want.y, lo.y, hi.y);
            } else {
                want = clamp(want);
            }
            setContentOffset(want);
            break;
        }
        case UIGestureRecognizerState::Ended:
        case UIGestureRecognizerState::Cancelled: {
            dragging_ = false;
            didEndDragging();
            CGPoint v = pan.velocityInView(this->superviewRaw());
            CGPoint target = contentOffset();
            if (canScrollHorizontally()) target.x -= v.x * kGlideTime / 2;
            if (canScrollVertically()) target.y -= v.y * kGlideTime / 2;
            target = clamp(target);
            const bool moves = target != contentOffset();
            if (auto d = delegate.lock()) d->scrollViewDidEndDragging(this, moves);
            if (moves) glideTo(target);
            break;
        }
        default:
            break;
    }
}

}  // namespace platform::ui
