#include "platform/ui/View.h"

#include <cxxabi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <typeinfo>

#include "platform/MainThread.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/detail/Compositor.h"
#include "platform/ui/detail/TransactionStack.h"

namespace platform::ui {
namespace {
bool gAnimationsEnabled = true;
}  // namespace

UIView::UIView(const CGRect& frame) : layer_(CALayer::layer()) {
    layer_->setDelegate(this);
    layer_->setFrame(frame);
}

UIView::~UIView() {
    for (auto& r : gestureRecognizers_)
        r->attach(nullptr);
    for (auto& sub : subviews_)
        sub->superview_ = nullptr;
    layer_->setDelegate(nullptr);
    layer_->removeFromSuperlayer();
}

std::string UIView::className() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    if (auto pos = name.rfind("::"); pos != std::string::npos) name = name.substr(pos + 2);
    return name;
}

void UIView::setFrame(const CGRect& frame) {
    KAV_ASSERT_MAIN_THREAD();
    CGSize old = bounds().size;
    layer_->setFrame(frame);
    if (bounds().size != old) boundsSizeChanged(old);
}

void UIView::setBounds(const CGRect& b) {
    KAV_ASSERT_MAIN_THREAD();
    CGSize old = bounds().size;
    layer_->setBounds(b);
    if (bounds().size != old) boundsSizeChanged(old);
}

void UIView::setCenter(CGPoint c) {
    KAV_ASSERT_MAIN_THREAD();
    layer_->setPosition(c);
}

void UIView::setTransform(const CGAffineTransform& t) {
    KAV_ASSERT_MAIN_THREAD();
    layer_->setAffineTransform(t);
}

void UIView::setAlpha(CGFloat a) {
    KAV_ASSERT_MAIN_THREAD();
    layer_->setOpacity(std::clamp(a, 0.0, 1.0));
}

void UIView::setHidden(bool h) {
    KAV_ASSERT_MAIN_THREAD();
    layer_->setHidden(h);
}

void UIView::setBackgroundColor(const UIColor& c) {
    KAV_ASSERT_MAIN_THREAD();
    layer_->setBackgroundColor(c);
}

void UIView::setContentMode(UIViewContentMode m) {
    contentMode_ = m;
    setNeedsDisplay();
}

UIColor UIView::tintColor() const {
    if (tintAdjustmentMode() == UIViewTintAdjustmentMode::Dimmed)
        return UIColor::colorWithWhite(0.5, 1);
    for (const UIView* v = this; v; v = v->superview_)
        if (v->tintColor_) return *v->tintColor_;
    return UIColor::systemTintColor();
}

void UIView::setTintColor(std::optional<UIColor> c) {
    KAV_ASSERT_MAIN_THREAD();
    tintColor_ = c;
    std::function<void(UIView*)> notify = [&](UIView* v) {
        v->tintColorDidChange();
        v->setNeedsDisplay();
        for (auto& s : v->subviews_)
            if (!s->tintColor_) notify(s.get());
    };
    notify(this);
}

UIViewTintAdjustmentMode UIView::tintAdjustmentMode() const {
    for (const UIView* v = this; v; v = v->superview_)
        if (v->tintAdjustmentMode_ != UIViewTintAdjustmentMode::Automatic)
            return v->tintAdjustmentMode_;
    return UIViewTintAdjustmentMode::Normal;
}

void UIView::setTintAdjustmentMode(UIViewTintAdjustmentMode m) {
    KAV_ASSERT_MAIN_THREAD();
    tintAdjustmentMode_ = m;
    // The mode reaches every view under this one, also those with a tint of
    // their own: they are dimmed too, and must be drawn bright again.
    std::function<void(UIView*)> notify = [&](UIView* v) {
        v->tintColorDidChange();
        v->setNeedsDisplay();
        for (auto& s : v->subviews_)
            notify(s.get());
    };
    notify(this);
}

UIView* UIView::findViewWithTag(long tag) const {
    if (tag_ == tag) return const_cast<UIView*>(this);
    for (auto& s : subviews_)
        if (auto* v = s->findViewWithTag(tag)) return v;
    return nullptr;
}

UIViewPtr UIView::superview() const {
    if (!superview_) return nullptr;
    return superview_->sharedSelf<UIView>();
}

UIWindow* UIView::window() const {
    const UIView* v = this;
    while (v->superview_)
        v = v->superview_;
    return dynamic_cast<UIWindow*>(const_cast<UIView*>(v));
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v; v = v->superview_)
        if (v == view) return true;
    return false;
}

void UIView::notifyWillMoveToWindow(UIWindow* w) {
    willMoveToWindow(w);
    for (auto& s : std::vector<UIViewPtr>(subviews_))
        s->notifyWillMoveToWindow(w);
}

void UIView::notifyDidMoveToWindow() {
    didMoveToWindow();
    if (auto* controller = dynamic_cast<UIViewController*>(viewDelegate_))
        controller->viewMovedToWindow(window());
    for (auto& s : std::vector<UIViewPtr>(subviews_))
        s->notifyDidMoveToWindow();
}

void UIView::detachFromSuperview() {
    UIView* parent = superview_;
    if (!parent) return;
    auto& subs = parent->subviews_;
    auto it = std::find_if(subs.begin(), subs.end(), [&](auto& v) { return v.get() == this; });
    UIViewPtr keep;
    if (it != subs.end()) {
        keep = *it;
        subs.erase(it);
    }
    if (parent->layoutChild_ == this) parent->layoutChild_ = nullptr;
    superview_ = nullptr;
    layer_->removeFromSuperlayer();
}

void UIView::insertSubviewAtIndex(const UIViewPtr& view, size_t index) {
    KAV_ASSERT_MAIN_THREAD();
    if (!view || view.get() == this || isDescendantOfView(view.get())) return;
    UIViewPtr keep = view;
    UIWindow* oldWindow = view->window();
    UIWindow* newWindow = window();
    if (view->superview_ == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        size_t old = static_cast<size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (old < index) --index;
    } else {
        view->willMoveToSuperview(this);
        if (oldWindow != newWindow) view->notifyWillMoveToWindow(newWindow);
        if (view->superview_) {
            view->superview_->willRemoveSubview(view.get());
            view->detachFromSuperview();
        }
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<long>(index), keep);
    const bool moved = keep->superview_ == this;
    keep->superview_ = this;
    // Keep the layer order in step with the subview order, above any
    // free-standing layers added before.
    if (index + 1 < subviews_.size())
        layer_->insertSublayerBelow(keep->layer_, subviews_[index + 1]->layer_.get());
    else
        layer_->addSublayer(keep->layer_);
    if (!moved) {
        didAddSubview(keep.get());
        keep->didMoveToSuperview();
        if (oldWindow != newWindow) keep->notifyDidMoveToWindow();
    }
    setNeedsLayout();
    keep->setNeedsLayout();
}

void UIView::addSubview(const UIViewPtr& view) {
    KAV_ASSERT_MAIN_THREAD();
    insertSubviewAtIndex(view, subviews_.size());
}

void UIView::insertSubviewBelow(const UIViewPtr& view, const UIView* sibling) {
    KAV_ASSERT_MAIN_THREAD();
    auto it = std::find_if(subviews_.begin(), subviews_.end(),
                           [&](auto& v) { return v.get() == sibling; });
    insertSubviewAtIndex(view, it == subviews_.end() ? subviews_.size()
                                                     : static_cast<size_t>(it - subviews_.begin()));
}

void UIView::insertSubviewAbove(const UIViewPtr& view, const UIView* sibling) {
    KAV_ASSERT_MAIN_THREAD();
    auto it = std::find_if(subviews_.begin(), subviews_.end(),
                           [&](auto& v) { return v.get() == sibling; });
    insertSubviewAtIndex(view, it == subviews_.end()
                                   ? subviews_.size()
                                   : static_cast<size_t>(it - subviews_.begin()) + 1);
}

void UIView::bringSubviewToFront(const UIView* view) {
    KAV_ASSERT_MAIN_THREAD();
    auto it =
        std::find_if(subviews_.begin(), subviews_.end(), [&](auto& v) { return v.get() == view; });
    if (it == subviews_.end()) return;
    UIViewPtr keep = *it;
    subviews_.erase(it);
    subviews_.push_back(keep);
    layer_->addSublayer(keep->layer_);
}

void UIView::sendSubviewToBack(const UIView* view) {
    KAV_ASSERT_MAIN_THREAD();
    auto it =
        std::find_if(subviews_.begin(), subviews_.end(), [&](auto& v) { return v.get() == view; });
    if (it == subviews_.end()) return;
    UIViewPtr keep = *it;
    subviews_.erase(it);
    subviews_.insert(subviews_.begin(), keep);
    layer_->insertSublayerAtIndex(keep->layer_, 0);
}

void UIView::exchangeSubviewAtIndex(size_t a, size_t b) {
    KAV_ASSERT_MAIN_THREAD();
    if (a >= subviews_.size() || b >= subviews_.size() || a == b) return;
    if (a > b) std::swap(a, b);
    UIViewPtr va = subviews_[a], vb = subviews_[b];
    std::swap(subviews_[a], subviews_[b]);
    layer_->insertSublayerBelow(vb->layer_, va->layer_.get());
    if (b + 1 < subviews_.size())
        layer_->insertSublayerBelow(va->layer_, subviews_[b + 1]->layer_.get());
    else
        layer_->addSublayer(va->layer_);
}

void UIView::removeFromSuperview() {
    KAV_ASSERT_MAIN_THREAD();
    if (!superview_) return;
    auto keep = sharedSelf<UIView>();
    UIWindow* oldWindow = window();
    if (auto* fr = UIResponder::currentFirstResponder()) {
        if (auto* frView = dynamic_cast<UIView*>(fr); frView && frView->isDescendantOfView(this))
            frView->resignFirstResponder();
    }
    superview_->willRemoveSubview(this);
    willMoveToSuperview(nullptr);
    if (oldWindow) notifyWillMoveToWindow(nullptr);
    detachFromSuperview();
    didMoveToSuperview();
    if (oldWindow) notifyDidMoveToWindow();
}

CGPoint UIView::convertPointToView(CGPoint p, const UIView* view) const {
    if (!view) {
        // Window coordinates: the root of this view's tree.
        const UIView* root = this;
        while (root->superview_)
            root = root->superview_;
        return layer_->convertPointToLayer(p, root->layer_.get());
    }
    return layer_->convertPointToLayer(p, view->layer_.get());
}

CGPoint UIView::convertPointFromView(CGPoint p, const UIView* view) const {
    if (!view) {
        const UIView* root = this;
        while (root->superview_)
            root = root->superview_;
        return root->layer_->convertPointToLayer(p, layer_.get());
    }
    return view->layer_->convertPointToLayer(p, layer_.get());
}

CGRect UIView::convertRectToView(const CGRect& r, const UIView* view) const {
    const UIView* target = view;
    if (!target) {
        target = this;
        while (target->superview_)
            target = target->superview_;
    }
    return layer_->convertRectToLayer(r, target->layer_.get());
}

CGRect UIView::convertRectFromView(const CGRect& r, const UIView* view) const {
    const UIView* source = view;
    if (!source) {
        source = this;
        while (source->superview_)
            source = source->superview_;
    }
    return source->layer_->convertRectToLayer(r, layer_.get());
}

void UIView::boundsSizeChanged(CGSize oldSize) {
    setNeedsLayout();
    if (autoresizesSubviews_) resizeSubviews(oldSize);
    setNeedsDisplay();
}

void UIView::resizeSubviews(CGSize oldSize) {
    const CGSize size = bounds().size;
    const double dw = size.width - oldSize.width, dh = size.height - oldSize.height;
    // Spreads a change over the flexible parts in proportion to their sizes
    // (evenly when they are all zero).
    auto spread = [](double delta, bool f0, double s0, bool f1, double s1, bool f2, double s2,
                     double out[3]) {
        out[0] = out[1] = out[2] = 0;
        const double total = (f0 ? s0 : 0) + (f1 ? s1 : 0) + (f2 ? s2 : 0);
        const int n = int(f0) + int(f1) + int(f2);
        if (n == 0) return;
        bool flex[3] = {f0, f1, f2};
        double sizes[3] = {s0, s1, s2};
        for (int i = 0; i < 3; ++i)
            if (flex[i]) out[i] = total > 0 ? delta * sizes[i] / total : delta / n;
    };
    for (auto& sub : subviews_) {
        const unsigned m = sub->autoresizingMask_;
        if (m == UIViewAutoresizingNone) continue;
        CGRect f = sub->frame();
        double h[3], v[3];
        spread(dw, m & UIViewAutoresizingFlexibleLeftMargin, f.origin.x,
               m & UIViewAutoresizingFlexibleWidth, f.size.width,
               m & UIViewAutoresizingFlexibleRightMargin, oldSize.width - f.origin.x - f.size.width,
               h);
        spread(dh, m & UIViewAutoresizingFlexibleTopMargin, f.origin.y,
               m & UIViewAutoresizingFlexibleHeight, f.size.height,
               m & UIViewAutoresizingFlexibleBottomMargin,
               oldSize.height - f.origin.y - f.size.height, v);
        f.origin.x += h[0];
        f.size.width = std::max(0.0, f.size.width + h[1]);
        f.origin.y += v[0];
        f.size.height = std::max(0.0, f.size.height + v[1]);
        sub->setFrame(f);
    }
}

void UIView::setNeedsLayout() {
    KAV_ASSERT_MAIN_THREAD();
    needsLayout_ = true;
    // The layout pass walks down only where something asked for layout.
    UIView* child = this;
    for (UIView* v = superview_; v; child = v, v = v->superview_) {
        if (v->subtreeNeedsLayout_) {
            // Asked below a second subview: the pass looks at them all.
            if (v->layoutChild_ != child) v->layoutChild_ = nullptr;
            break;
        }
        v->subtreeNeedsLayout_ = true;
        v->layoutChild_ = child;
    }
    detail::compositor::requestLayout();
}

namespace detail::compositor {
size_t& layoutVisits() {
    static size_t visits = 0;
    return visits;
}
}  // namespace detail::compositor

void UIView::layoutIfNeeded() {
    KAV_ASSERT_MAIN_THREAD();
    ++detail::compositor::layoutVisits();
    if (needsLayout_) {
        needsLayout_ = false;
        // A controller's view lays out through its controller, which places
        // its subviews from the bounds of the moment.
        auto* controller = dynamic_cast<UIViewController*>(viewDelegate_);
        if (controller) controller->viewWillLayoutSubviews();
        layoutSubviews();
        if (controller) controller->viewDidLayoutSubviews();
    }
    if (!subtreeNeedsLayout_) return;
    subtreeNeedsLayout_ = false;
    UIView* only = layoutChild_;
    layoutChild_ = nullptr;
    // Only a subview that asked, or one below which something asked, has
    // anything to do. When one alone did (a quote's frame walks down a path
    // of views to one table), the pass goes straight to it: its siblings,
    // cold memory at that moment, are not looked at.
    size_t from = 0;
    if (only) {
        const auto at = std::find_if(subviews_.begin(), subviews_.end(),
                                     [only](const UIViewPtr& v) { return v.get() == only; });
        if (at != subviews_.end()) {
            const size_t index = static_cast<size_t>(at - subviews_.begin());
            const UIViewPtr keep = *at;
            keep->layoutIfNeeded();
            // Its layout asked for none of its siblings' (nor its own again).
            if (!subtreeNeedsLayout_) return;
            // It did: the subviews after it are walked in this pass, as
            // they would have been in a walk of them all; those before it
            // wait for the next.
            if (index < subviews_.size() && subviews_[index] == keep) from = index + 1;
        }
    }
    // The subviews are walked as a copy: a layout may change them.
    for (auto& sub :
         std::vector<UIViewPtr>(subviews_.begin() + static_cast<long>(from), subviews_.end()))
        sub->layoutIfNeeded();
}

CGSize UIView::sizeThatFits(CGSize) const {
    return bounds().size;
}

void UIView::sizeToFit() {
    CGSize s = sizeThatFits(bounds().size);
    CGRect f = frame();
    setFrame(CGRectMake(f.origin.x, f.origin.y, s.width, s.height));
}

void UIView::setNeedsDisplay() {
    KAV_ASSERT_MAIN_THREAD();
    layer_->setNeedsDisplay();
}

bool UIView::drawLayer(CALayer&, Canvas&) {
    drawRect(bounds());
    return true;
}

UIView* UIView::hitTest(CGPoint point, UIEvent* event) {
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01 || layer_->blocksInteraction())
        return nullptr;
    // Scaled to nothing it shows nothing; the point brought into its space
    // by a transform that has no inverse would be its centre, whatever was
    // touched.
    const CATransform3D& t = layer_->model().transform;
    if (t.m11 * t.m22 - t.m12 * t.m21 == 0) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        UIView* sub = it->get();
        CGPoint local = CGPointApplyAffineTransform(
            point, CGAffineTransformInvert(sub->layer_->model().toSuperlayer()));
        if (UIView* hit = sub->hitTest(local, event)) return hit;
    }
    return this;
}

bool UIView::pointInside(CGPoint point, UIEvent*) const {
    return CGRectContainsPoint(bounds(), point);
}

void UIView::addGestureRecognizer(const UIGestureRecognizerPtr& r) {
    KAV_ASSERT_MAIN_THREAD();
    if (!r) return;
    if (r->view() && r->view() != this) r->view()->removeGestureRecognizer(r.get());
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), r) !=
        gestureRecognizers_.end())
        return;
    gestureRecognizers_.push_back(r);
    r->attach(this);
}

void UIView::removeGestureRecognizer(const UIGestureRecognizer* r) {
    KAV_ASSERT_MAIN_THREAD();
    auto it = std::find_if(gestureRecognizers_.begin(), gestureRecognizers_.end(),
                           [&](auto& g) { return g.get() == r; });
    if (it == gestureRecognizers_.end()) return;
    (*it)->attach(nullptr);
    gestureRecognizers_.erase(it);
}

bool UIView::endEditing(bool force) {
    auto* fr = UIResponder::currentFirstResponder();
    auto* v = dynamic_cast<UIView*>(fr);
    if (!v || !v->isDescendantOfView(this)) return true;
    if (v->resignFirstResponder()) return true;
    if (force) {
        // Forced: the responder goes whatever it answers.
        dropFirstResponder();
        return true;
    }
    return false;
}

UIResponder* UIView::nextResponder() const {
    if (viewDelegate_) return viewDelegate_;
    return superview_;
}

void UIView::animateWithDuration(double duration, std::function<void()> animations,
                                 std::function<void(bool)> completion) {
    animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, unsigned options,
                                 std::function<void()> animations,
                                 std::function<void(bool)> completion) {
    detail::TransactionFrame frame;
    frame.viewAnimation = true;
    frame.viewDuration = gAnimationsEnabled ? std::max(0.0, duration) : 0;
    frame.viewDelay = gAnimationsEnabled ? std::max(0.0, delay) : 0;
    switch (options & (3u << 16)) {
        case UIViewAnimationOptionCurveEaseIn:
            frame.viewTiming =
                CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn);
            break;
        case UIViewAnimationOptionCurveEaseOut:
            frame.viewTiming =
                CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut);
            break;
        case UIViewAnimationOptionCurveLinear:
            frame.viewTiming = CAMediaTimingFunction{};
            break;
        default:
            frame.viewTiming =
                CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);
    }
    frame.allowInteraction = options & UIViewAnimationOptionAllowUserInteraction;
    if (completion) frame.group->done = std::move(completion);
    detail::pushFrame(std::move(frame));
    if (animations) animations();
    if (options & UIViewAnimationOptionLayoutSubviews) {
        // Lay out the animated views now so their subviews move with them.
        auto captures = detail::transactionStack().back().captures;
        for (auto& cap : captures)
            if (auto layer = cap.layer.lock())
                if (auto* view = dynamic_cast<UIView*>(layer->delegate())) view->layoutIfNeeded();
    }
    detail::popFrame();
}

void UIView::setAnimationsEnabled(bool enabled) {
    gAnimationsEnabled = enabled;
}
bool UIView::areAnimationsEnabled() {
    return gAnimationsEnabled;
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
    bool was = gAnimationsEnabled;
    gAnimationsEnabled = false;
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    actions();
    CATransaction::commit();
    gAnimationsEnabled = was;
}

}  // namespace platform::ui
