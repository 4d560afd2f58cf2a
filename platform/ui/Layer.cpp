#include "platform/ui/Layer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Dispatch.h"
#include "platform/MainThread.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/detail/Compositor.h"
#include "platform/ui/detail/LayerSetters.h"
#include "platform/ui/detail/Perspective.h"
#include "platform/ui/detail/TransactionStack.h"

namespace platform::ui {

namespace {

size_t gActiveAnimations = 0;
// Of those, the ones that run for ever (a spinner): never waited for.
size_t gEndlessAnimations = 0;
size_t gLayersDrawn = 0;
size_t gInksMeasured = 0;
size_t gDrawingsRecorded = 0;
// The layer being drawn flat into its own picture for a perspective
// projection: it draws in its bounds coordinates, untransformed.
const CALayer* gDrawingFlat = nullptr;

// The areas a walk of the layers draws: in screen points, and (in a
// frame's walk) in the pixels of the context drawn into, with the box that
// holds them all. The clip lies inside the areas: what they hold, it holds.
struct AreaSet {
    const CGRect* screen = nullptr;
    const CGRect* pixels = nullptr;
    size_t count = 0;
    CGRect bounds = CGRectNull;
};
const AreaSet* gAreas = nullptr;

// CGRectIntersectsRect made inline for the rectangles a walk compares
// (a layer's extent with each area, a few hundred a frame): the same answer,
// without a call and two rectangles standardized and one made for each.
inline bool meets(const CGRect& a, const CGRect& b) {
    if (a.size.width < 0 || a.size.height < 0 || b.size.width < 0 || b.size.height < 0)
        return CGRectIntersectsRect(a, b);
    const double ax1 = a.origin.x + a.size.width, ay1 = a.origin.y + a.size.height;
    const double bx1 = b.origin.x + b.size.width, by1 = b.origin.y + b.size.height;
    return ax1 > a.origin.x && ay1 > a.origin.y && bx1 > b.origin.x && by1 > b.origin.y &&
           ax1 > b.origin.x && bx1 > a.origin.x && ay1 > b.origin.y && by1 > a.origin.y;
}

bool meetsAny(const AreaSet& areas, const CGRect& r) {
    if (!meets(areas.bounds, r)) return false;
    if (areas.count == 1) return true;
    for (size_t i = 0; i < areas.count; ++i)
        if (meets(areas.screen[i], r)) return true;
    return false;
}

// Whether the areas all lie, in the context's pixels, inside the
// layer's bounds less its rounded corners, where it is placed by `placed`
// (so the clip does too): -1 where the pixels are not known or the layer is
// turned. Answered from the areas, without asking cairo for the clip's
// extents (a copy of the clip's box turned back into the layer's space).
int areasInside(const AreaSet* areas, const cairo_matrix_t& placed, const CALayerState& s) {
    if (!areas || !areas->pixels || placed.xy != 0 || placed.yx != 0) return -1;
    const CGRect inside = CGRectInset(s.bounds, s.cornerRadius, s.cornerRadius);
    if (CGRectIsNull(inside) || CGRectIsEmpty(inside)) return 0;
    double x0 = placed.xx * CGRectGetMinX(inside) + placed.x0;
    double x1 = placed.xx * CGRectGetMaxX(inside) + placed.x0;
    double y0 = placed.yy * CGRectGetMinY(inside) + placed.y0;
    double y1 = placed.yy * CGRectGetMaxY(inside) + placed.y0;
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    for (size_t i = 0; i < areas->count; ++i) {
        const CGRect& r = areas->pixels[i];
        if (r.origin.x < x0 || r.origin.y < y0 || CGRectGetMaxX(r) > x1 || CGRectGetMaxY(r) > y1)
            return 0;
    }
    return 1;
}

// The box holding a rectangle of user space in the context's pixels.
CGRect toPixels(const cairo_matrix_t& m, const CGRect& r) {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (int i = 0; i < 4; ++i) {
        double x = i & 1 ? CGRectGetMaxX(r) : r.origin.x;
        double y = i & 2 ? CGRectGetMaxY(r) : r.origin.y;
        cairo_matrix_transform_point(&m, &x, &y);
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

// Properties whose change alters only the look inside the layer's area.
bool changesLookOnly(const char* keyPath) {
    for (const char* k : {"backgroundColor", "cornerRadius", "borderWidth", "borderColor",
                          "strokeStart", "strokeEnd"})
        if (std::strcmp(keyPath, k) == 0) return true;
    return false;
}

bool isFillForwards(const std::string& m) {
    return m == kCAFillModeForwards || m == kCAFillModeBoth;
}
bool isFillBackwards(const std::string& m) {
    return m == kCAFillModeBackwards || m == kCAFillModeBoth;
}

double asDouble(const AnimValue& v, double fallback) {
    if (auto* d = std::get_if<double>(&v)) return *d;
    return fallback;
}

AnimValue getKeyPath(const CALayerState& s, const std::string& path) {
    if (path == "position") return s.position;
    if (path == "position.x") return s.position.x;
    if (path == "position.y") return s.position.y;
    if (path == "bounds") return s.bounds;
    if (path == "bounds.size") return s.bounds.size;
    if (path == "bounds.origin") return s.bounds.origin;
    if (path == "transform") return s.transform;
    if (path == "transform.scale" || path == "transform.scale.x") return s.transform.m11;
    if (path == "transform.scale.y") return s.transform.m22;
    if (path == "transform.translation.x") return s.transform.m41;
    if (path == "transform.translation.y") return s.transform.m42;
    if (path == "transform.rotation" || path == "transform.rotation.z")
        return std::atan2(s.transform.m12, s.transform.m11);
    if (path == "opacity") return s.opacity;
    if (path == "backgroundColor") return s.backgroundColor;
    if (path == "cornerRadius") return s.cornerRadius;
    if (path == "borderWidth") return s.borderWidth;
    if (path == "borderColor") return s.borderColor;
    if (path == "shadowColor") return s.shadowColor;
    if (path == "shadowOpacity") return s.shadowOpacity;
    if (path == "shadowOffset") return s.shadowOffset;
    if (path == "shadowRadius") return s.shadowRadius;
    if (path == "shadowPath") return s.shadowPath;
    if (path == "strokeStart") return s.strokeStart;
    if (path == "strokeEnd") return s.strokeEnd;
    return {};
}

void setKeyPath(CALayerState& s, const std::string& path, const AnimValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return;
    if (path == "position") {
        if (auto* p = std::get_if<CGPoint>(&v)) s.position = *p;
    } else if (path == "position.x") {
        s.position.x = asDouble(v, s.position.x);
    } else if (path == "position.y") {
        s.position.y = asDouble(v, s.position.y);
    } else if (path == "bounds") {
        if (auto* r = std::get_if<CGRect>(&v)) s.bounds = *r;
    } else if (path == "bounds.size") {
        if (auto* z = std::get_if<CGSize>(&v)) s.bounds.size = *z;
    } else if (path == "bounds.origin") {
        if (auto* p = std::get_if<CGPoint>(&v)) s.bounds.origin = *p;
    } else if (path == "transform") {
        if (auto* t = std::get_if<CATransform3D>(&v)) s.transform = *t;
    } else if (path == "transform.scale") {
        double k = asDouble(v, 1);
        auto t = CATransform3DMakeScale(k, k, 1);
        t.m41 = s.transform.m41;
        t.m42 = s.transform.m42;
        s.transform = t;
    } else if (path == "transform.scale.x") {
        s.transform.m11 = asDouble(v, s.transform.m11);
    } else if (path == "transform.scale.y") {
        s.transform.m22 = asDouble(v, s.transform.m22);
    } else if (path == "transform.translation.x") {
        s.transform.m41 = asDouble(v, s.transform.m41);
    } else if (path == "transform.translation.y") {
        s.transform.m42 = asDouble(v, s.transform.m42);
    } else if (path == "transform.rotation" || path == "transform.rotation.z") {
        auto t = CATransform3DMakeRotation(asDouble(v, 0), 0, 0, 1);
        t.m41 = s.transform.m41;
        t.m42 = s.transform.m42;
        s.transform = t;
    } else if (path == "opacity") {
        s.opacity = asDouble(v, s.opacity);
    } else if (path == "backgroundColor") {
        if (auto* c = std::get_if<UIColor>(&v)) s.backgroundColor = *c;
    } else if (path == "cornerRadius") {
        s.cornerRadius = asDouble(v, s.cornerRadius);
    } else if (path == "borderWidth") {
        s.borderWidth = asDouble(v, s.borderWidth);
    } else if (path == "borderColor") {
        if (auto* c = std::get_if<UIColor>(&v)) s.borderColor = *c;
    } else if (path == "shadowColor") {
        if (auto* c = std::get_if<UIColor>(&v)) s.shadowColor = *c;
    } else if (path == "shadowOpacity") {
        s.shadowOpacity = asDouble(v, s.shadowOpacity);
    } else if (path == "shadowOffset") {
        if (auto* z = std::get_if<CGSize>(&v)) s.shadowOffset = *z;
    } else if (path == "shadowRadius") {
        s.shadowRadius = asDouble(v, s.shadowRadius);
    } else if (path == "shadowPath") {
        if (auto* p = std::get_if<CGPathRef>(&v)) s.shadowPath = *p;
    } else if (path == "strokeStart") {
        s.strokeStart = asDouble(v, s.strokeStart);
    } else if (path == "strokeEnd") {
        s.strokeEnd = asDouble(v, s.strokeEnd);
    }
}

// The pixels of the context a rectangle (user space) covers, when it lies
// on whole pixels with its edges along theirs; else null.
CGRect wholePixels(cairo_t* cr, const CGRect& r) {
    if (CGRectIsNull(r)) return r;
    double x[4] = {r.origin.x, CGRectGetMaxX(r), r.origin.x, CGRectGetMaxX(r)};
    double y[4] = {r.origin.y, r.origin.y, CGRectGetMaxY(r), CGRectGetMaxY(r)};
    for (int i = 0; i < 4; ++i) {
        cairo_user_to_device(cr, &x[i], &y[i]);
        if (std::fabs(x[i] - std::round(x[i])) > 1e-6) return CGRectNull;
        if (std::fabs(y[i] - std::round(y[i])) > 1e-6) return CGRectNull;
        x[i] = std::round(x[i]);
        y[i] = std::round(y[i]);
    }
    if (x[0] != x[2] || x[1] != x[3] || y[0] != y[1] || y[2] != y[3]) return CGRectNull;
    return CGRectStandardize(CGRectMake(x[0], y[0], x[1] - x[0], y[2] - y[0]));
}

UIBezierPath roundedBounds(const CGRect& b, double radius) {
    return radius > 0 ? UIBezierPath::bezierPathWithRoundedRect(b, radius)
                      : UIBezierPath::bezierPathWithRect(b);
}

}  // namespace

// An animation this long is one that repeats for ever.
constexpr double kEndlessSeconds = 1e6;

namespace detail::compositor {
size_t& layersDrawn() {
    return gLayersDrawn;
}
size_t inksMeasured() {
    return gInksMeasured;
}
size_t drawingsRecorded() {
    return gDrawingsRecorded;
}
size_t finiteAnimations() {
    return gActiveAnimations - gEndlessAnimations;
}
}  // namespace detail::compositor

namespace animation {
size_t activeCount() {
    return gActiveAnimations;
}
}  // namespace animation

struct CALayer::AnimationRecord {
    std::string key;
    CAAnimationPtr anim;
    double begin = 0;
    platform::Timer endTimer;
    std::shared_ptr<detail::AnimGroup> group;
    bool blocksInteraction = false;
    bool endless = false;
    bool ended = false;
    // Counts the animation out of the running ones (once).
    void retire() {
        if (ended) return;
        ended = true;
        --gActiveAnimations;
        if (endless) --gEndlessAnimations;
    }
};

CGRect CALayerState::frame() const {
    CGRect local{{bounds.origin.x, bounds.origin.y}, bounds.size};
    return CGRectApplyAffineTransform(local, toSuperlayer());
}

CGAffineTransform CALayerState::toSuperlayer() const {
    // Bounds origin to the anchor, then the transform, then to the position.
    auto t =
        CGAffineTransformMakeTranslation(-bounds.origin.x - anchorPoint.x * bounds.size.width,
                                         -bounds.origin.y - anchorPoint.y * bounds.size.height);
    t = CGAffineTransformConcat(t, CATransform3DGetAffineTransform(transform));
    return CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(position.x, position.y));
}

// The recordings of told drawings a layer keeps by their subject: a few, and
// only of subjects someone besides the layer still holds (a picture made
// anew for each showing never comes back, and is let go of when the next
// one is kept).
struct CALayer::KeptDrawings {
    static constexpr size_t kMost = 6;
    struct Drawing {
        std::shared_ptr<const void> subject;
        CGRect place, bounds;
        cairo_surface_t* recording;
    };
    // The oldest first.
    std::vector<Drawing> drawings;

    ~KeptDrawings() {
        for (auto& d : drawings)
            cairo_surface_destroy(d.recording);
    }
    cairo_surface_t* find(const std::shared_ptr<const void>& subject, const CGRect& place,
                          const CGRect& bounds) const {
        for (const auto& d : drawings)
            if (d.subject == subject && CGRectEqualToRect(d.place, place) &&
                CGRectEqualToRect(d.bounds, bounds))
                return d.recording;
        return nullptr;
    }
    void keep(std::shared_ptr<const void> subject, const CGRect& place, const CGRect& bounds,
              cairo_surface_t* recording) {
        if (drawings.size() >= kMost) {
            cairo_surface_destroy(drawings.front().recording);
            drawings.erase(drawings.begin());
        }
        drawings.push_back({std::move(subject), place, bounds, recording});
    }
    void dropUnheld() {
        std::erase_if(drawings, [](Drawing& d) {
            if (d.subject.use_count() > 1) return false;
            cairo_surface_destroy(d.recording);
            return true;
        });
    }
};

CALayer::CALayer() = default;

CALayer::~CALayer() {
    if (registeredAnimating_) detail::compositor::setAnimating(this, false);
    // Where the tree was drawn is drawn again; the sublayers lay inside it.
    if (!superlayer_ && !CGRectIsNull(drawnExtent_)) detail::compositor::addDamage(drawnExtent_);
    for (auto& sub : sublayers_) {
        sub->superlayer_ = nullptr;
        sub->drawnExtent_ = CGRectNull;
    }
    for (auto& rec : animations_) {
        if (rec->ended) continue;
        rec->retire();
        auto stop = rec->anim->didStop;
        auto group = rec->group;
        if (stop || group)
            dispatch::async_main([stop, group] {
                if (stop) stop(false);
                if (group) group->animationStopped(false, true);
            });
    }
    if (contentCache_ && !cacheKept_)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(contentCache_));
}

void CALayer::markPathToRoot() {
    detail::compositor::requestFrame();
    for (CALayer* l = superlayer_; l && !l->descendantDirty_; l = l->superlayer_)
        l->descendantDirty_ = true;
}

void CALayer::invalidateContent() {
    contentDirty_ = true;
    markPathToRoot();
}

void CALayer::invalidateGeometry() {
    // The area last drawn goes at once (later changes may move the layer
    // again); the area it comes to is known at the next frame.
    if (!geometryDirty_) {
        if (!CGRectIsNull(drawnExtent_)) detail::compositor::addDamage(drawnExtent_);
        geometryDirty_ = true;
    }
    markPathToRoot();
}

void CALayer::willChange(const char* keyPath) {
    KAV_ASSERT_MAIN_THREAD();
    if (changesLookOnly(keyPath))
        invalidateContent();
    else
        invalidateGeometry();
    auto& stack = detail::transactionStack();
    if (delegate_ && superlayer_) {
        // A view's layer animates only inside a view animation block, and
        // only once it is part of a tree.
        for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
            if (it->disableActions) return;
            if (!it->viewAnimation) continue;
            auto self = weak_from_this();
            if (self.expired()) return;
            for (auto& cap : it->captures)
                if (cap.keyPath == keyPath && cap.layer.lock().get() == this) return;
            it->captures.push_back({self, keyPath, presentationValueForKeyPath(keyPath)});
            return;
        }
    }
}

// Implicit action of a free-standing layer in a tree: animate from what was
// drawn to the new model value.
void CALayer::implicitAction(const char* keyPath, const AnimValue& from) {
    if (delegate_ || !superlayer_ || CATransaction::disableActions()) return;
    if (weak_from_this().expired()) return;
    AnimValue to = modelValueForKeyPath(keyPath);
    if (to == from) return;
    auto anim = CABasicAnimation::animationWithKeyPath(keyPath);
    anim->fromValue = from;
    anim->toValue = to;
    anim->duration = CATransaction::animationDuration();
    anim->timingFunction = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionDefault);
    addAnimationInternal(anim, keyPath, false);
}

void CALayer::setBounds(const CGRect& b) {
    const bool resized = b.size != model_.bounds.size;
    KAV_LAYER_SET("bounds", bounds, b);
    if (resized && delegate_) needsDisplay_ = true;
}
void CALayer::setPosition(CGPoint p) {
    KAV_LAYER_SET("position", position, p);
}
void CALayer::setAnchorPoint(CGPoint p) {
    KAV_ASSERT_MAIN_THREAD();
    if (model_.anchorPoint == p) return;
    invalidateGeometry();
    model_.anchorPoint = p;
}
void CALayer::setTransform(const CATransform3D& t) {
    KAV_LAYER_SET("transform", transform, t);
}

void CALayer::setFrame(const CGRect& f) {
    // Like the platform: with a non-identity transform the frame sets the
    // position only; the bounds keep their size.
    auto s = CGRectStandardize(f);
    if (CATransform3DIsIdentity(model_.transform)) {
        setBounds(CGRectMake(model_.bounds.origin.x, model_.bounds.origin.y, s.size.width,
                             s.size.height));
    }
    auto local = model_.toSuperlayer();
    // Position so that the transformed bounds' box starts at the frame origin.
    CGRect box = CGRectApplyAffineTransform(model_.bounds, local);
    setPosition({model_.position.x + (s.origin.x - box.origin.x),
                 model_.position.y + (s.origin.y - box.origin.y)});
}

void CALayer::setOpacity(double o) {
    KAV_LAYER_SET("opacity", opacity, o);
}
void CALayer::setHidden(bool h) {
    KAV_ASSERT_MAIN_THREAD();
    if (model_.hidden == h) return;
    invalidateGeometry();
    model_.hidden = h;
}
void CALayer::setBackgroundColor(const UIColor& c) {
    KAV_LAYER_SET("backgroundColor", backgroundColor, c);
}
void CALayer::setCornerRadius(double r) {
    KAV_LAYER_SET("cornerRadius", cornerRadius, r);
}
void CALayer::setBorderWidth(double w) {
    KAV_LAYER_SET("borderWidth", borderWidth, w);
}
void CALayer::setBorderColor(const UIColor& c) {
    KAV_LAYER_SET("borderColor", borderColor, c);
}
void CALayer::setMasksToBounds(bool m) {
    KAV_ASSERT_MAIN_THREAD();
    if (masksToBounds_ == m) return;
    invalidateGeometry();
    masksToBounds_ = m;
}
void CALayer::setShadowColor(const UIColor& c) {
    KAV_LAYER_SET("shadowColor", shadowColor, c);
}
void CALayer::setShadowOpacity(double o) {
    KAV_LAYER_SET("shadowOpacity", shadowOpacity, o);
}
void CALayer::setShadowOffset(CGSize o) {
    KAV_LAYER_SET("shadowOffset", shadowOffset, o);
}
void CALayer::setShadowRadius(double r) {
    KAV_LAYER_SET("shadowRadius", shadowRadius, r);
}
void CALayer::setShadowPath(CGPathRef p) {
    KAV_LAYER_SET("shadowPath", shadowPath, p);
}
void CALayer::setContents(UIImagePtr image) {
    KAV_ASSERT_MAIN_THREAD();
    contents_ = std::move(image);
    invalidateContent();
}

void CALayer::addSublayer(const CALayerPtr& layer) {
    insertSublayerAtIndex(layer, sublayers_.size());
}

void CALayer::insertSublayerAtIndex(const CALayerPtr& layer, size_t index) {
    KAV_ASSERT_MAIN_THREAD();
    if (!layer || layer.get() == this) return;
    CALayerPtr keep = layer;
    if (layer->superlayer_ == this) {
        auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
        size_t old = static_cast<size_t>(it - sublayers_.begin());
        sublayers_.erase(it);
        if (old < index) --index;
    } else {
        layer->removeFromSuperlayer();
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<long>(index), keep);
    keep->superlayer_ = this;
    // Added or moved in the order: drawn again where it now stands.
    keep->invalidateGeometry();
}

void CALayer::insertSublayerBelow(const CALayerPtr& layer, const CALayer* sibling) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(),
                           [&](auto& l) { return l.get() == sibling; });
    insertSublayerAtIndex(
        layer, it == sublayers_.end() ? 0 : static_cast<size_t>(it - sublayers_.begin()));
}

void CALayer::insertSublayerAbove(const CALayerPtr& layer, const CALayer* sibling) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(),
                           [&](auto& l) { return l.get() == sibling; });
    insertSublayerAtIndex(layer, it == sublayers_.end()
                                     ? sublayers_.size()
                                     : static_cast<size_t>(it - sublayers_.begin()) + 1);
}

void CALayer::removeFromSuperlayer() {
    KAV_ASSERT_MAIN_THREAD();
    CALayer* parent = superlayer_;
    if (!parent) return;
    superlayer_ = nullptr;
    auto& subs = parent->sublayers_;
    auto it = std::find_if(subs.begin(), subs.end(), [&](auto& l) { return l.get() == this; });
    // The list may be the last owner (a line taken off through its
    // superlayer's list): the layer is kept until its area is handed on.
    CALayerPtr keep;
    if (it != subs.end()) {
        keep = std::move(*it);
        subs.erase(it);
    }
    if (!CGRectIsNull(drawnExtent_)) detail::compositor::addDamage(drawnExtent_);
    drawnExtent_ = CGRectNull;
    detail::compositor::requestFrame();
}

CGPoint CALayer::convertPointToLayer(CGPoint p, const CALayer* other) const {
    // Up to the root, then down into the other layer.
    const CALayer* l = this;
    while (l) {
        if (l == other) return p;
        p = CGPointApplyAffineTransform(p, l->model_.toSuperlayer());
        l = l->superlayer_;
    }
    if (!other) return p;
    std::vector<const CALayer*> chain;
    for (const CALayer* o = other; o; o = o->superlayer_)
        chain.push_back(o);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = CGPointApplyAffineTransform(p, CGAffineTransformInvert((*it)->model_.toSuperlayer()));
    return p;
}

CGPoint CALayer::convertPointFromLayer(CGPoint p, const CALayer* other) const {
    if (other) return other->convertPointToLayer(p, this);
    std::vector<const CALayer*> chain;
    for (const CALayer* o = this; o; o = o->superlayer_)
        chain.push_back(o);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = CGPointApplyAffineTransform(p, CGAffineTransformInvert((*it)->model_.toSuperlayer()));
    return p;
}

CGRect CALayer::convertRectToLayer(const CGRect& r, const CALayer* other) const {
    if (CGRectIsNull(r)) return r;
    CGPoint pts[4] = {{r.origin.x, r.origin.y},
                      {r.origin.x + r.size.width, r.origin.y},
                      {r.origin.x, r.origin.y + r.size.height},
                      {r.origin.x + r.size.width, r.origin.y + r.size.height}};
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (auto& p : pts) {
        auto q = convertPointToLayer(p, other);
        x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x),
        y1 = std::max(y1, q.y);
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

void CALayer::setNeedsDisplay() {
    KAV_ASSERT_MAIN_THREAD();
    needsDisplay_ = true;
    drawingDirty_ = true;
    markPathToRoot();
}

void CALayer::drawInContext(Canvas&) {}

void CALayer::setDelegate(CALayerDelegate* d) {
    delegate_ = d;
    drawsStraight_ = false;
    needsDisplay_ = d != nullptr;
    pictureRasters_.reset();
    invalidateContent();
}

// ---- animations ---------------------------------------------------------

void CALayer::addAnimation(const CAAnimationPtr& animation, const std::string& key) {
    addAnimationInternal(animation, key, false);
}

void CALayer::addAnimationInternal(const CAAnimationPtr& animation, const std::string& keyIn,
                                   bool blocks) {
    KAV_ASSERT_MAIN_THREAD();
    if (!animation) return;
    auto anim = animation->copy();
    const std::string keyPath = anim->keyPathValue();
    if (auto* basic = dynamic_cast<CABasicAnimation*>(anim.get())) {
        if (std::holds_alternative<std::monostate>(basic->fromValue))
            basic->fromValue = presentationValueForKeyPath(keyPath);
        if (std::holds_alternative<std::monostate>(basic->toValue))
            basic->toValue = modelValueForKeyPath(keyPath);
    }
    if (anim->duration <= 0) anim->duration = CATransaction::animationDuration();
    const double now = platform::clock().now();
    if (anim->beginTime <= 0) anim->beginTime = now;
    std::string key = keyIn.empty() ? "anim-" + std::to_string(nextAnimationKey_++) : keyIn;
    removeAnimationForKey(key);

    auto rec = std::make_unique<AnimationRecord>();
    rec->key = key;
    rec->anim = anim;
    rec->begin = anim->beginTime;
    rec->blocksInteraction = blocks;
    auto& stack = detail::transactionStack();
    if (!stack.empty()) {
        rec->group = stack.back().group;
        ++rec->group->pending;
    }
    const double end = rec->begin + anim->activeDuration();
    std::weak_ptr<CALayer> weak = weak_from_this();
    CAAnimation* id = anim.get();
    rec->endTimer = platform::Timer::schedule(std::max(0.0, end - now), false, [weak, id] {
        auto self = weak.lock();
        if (!self) return;
        auto& list = self->animations_;
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i]->anim.get() != id) continue;
            if (list[i]->anim->removedOnCompletion) {
                self->stopRecord(i, true, true);
            } else {
                auto& r = *list[i];
                r.retire();
                self->invalidateGeometry();
                self->animationsChanged();
                auto stop = r.anim->didStop;
                auto group = r.group;
                r.group.reset();
                if (stop) stop(true);
                if (group) group->animationStopped(true, true);
            }
            return;
        }
    });
    rec->endless = anim->activeDuration() >= kEndlessSeconds;
    ++gActiveAnimations;
    if (rec->endless) ++gEndlessAnimations;
    animations_.push_back(std::move(rec));
    invalidateGeometry();
    animationsChanged();
    if (anim->didStart) {
        auto start = anim->didStart;
        dispatch::async_main(start);
    }
}

void CALayer::stopRecord(size_t index, bool finished, bool fromTimer) {
    std::unique_ptr<AnimationRecord> rec = std::move(animations_[index]);
    animations_.erase(animations_.begin() + static_cast<long>(index));
    rec->endTimer.invalidate();
    invalidateGeometry();
    const bool ended = rec->ended;
    rec->retire();
    animationsChanged();
    if (ended) return;
    auto stop = rec->anim->didStop;
    if (stop) {
        if (fromTimer)
            stop(finished);
        else
            dispatch::async_main([stop, finished] { stop(finished); });
    }
    if (rec->group) rec->group->animationStopped(finished, fromTimer);
}

void CALayer::removeAnimationForKey(const std::string& key) {
    KAV_ASSERT_MAIN_THREAD();
    for (size_t i = 0; i < animations_.size(); ++i) {
        if (animations_[i]->key == key) {
            stopRecord(i, false, false);
            return;
        }
    }
}

void CALayer::removeAllAnimations() {
    while (!animations_.empty())
        stopRecord(animations_.size() - 1, false, false);
}

CAAnimationPtr CALayer::animationForKey(const std::string& key) const {
    for (auto& r : animations_)
        if (r->key == key) return r->anim;
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (auto& r : animations_)
        keys.push_back(r->key);
    return keys;
}

bool CALayer::blocksInteraction() const {
    for (auto& r : animations_)
        if (r->blocksInteraction && !r->ended) return true;
    return false;
}

CALayerState CALayer::presentation() const {
    CALayerState s = model_;
    if (animations_.empty()) return s;
    const double now = platform::clock().now();
    for (auto& r : animations_) {
        const CAAnimation& a = *r->anim;
        const double d = a.duration > 0 ? a.duration : 0.25;
        const double cycle = d * (a.autoreverses ? 2 : 1);
        const double t = now - r->begin;
        double frac;
        if (t < 0) {
            if (!isFillBackwards(a.fillMode)) continue;
            frac = 0;
        } else if (r->ended || t >= a.activeDuration()) {
            if (!isFillForwards(a.fillMode)) continue;
            frac = a.autoreverses ? 0 : 1;
        } else {
            double local = std::fmod(t, cycle);
            frac = (a.autoreverses && local > d) ? (cycle - local) / d : local / d;
        }
        setKeyPath(s, a.keyPathValue(), a.valueAt(a.timingFunction.apply(frac)));
    }
    return s;
}

AnimValue CALayer::modelValueForKeyPath(const std::string& keyPath) const {
    return getKeyPath(model_, keyPath);
}

AnimValue CALayer::presentationValueForKeyPath(const std::string& keyPath) const {
    return getKeyPath(presentation(), keyPath);
}

void CALayer::animationsChanged() {
    const bool animating = std::any_of(animations_.begin(), animations_.end(),
                                       [](const auto& r) { return !r->ended; });
    if (animating == registeredAnimating_) return;
    registeredAnimating_ = animating;
    detail::compositor::setAnimating(this, animating);
}

const CALayerState& CALayer::drawnState(std::optional<CALayerState>& scratch) const {
    if (animations_.empty()) return model_;
    scratch = presentation();
    return *scratch;
}

// ---- screen bookkeeping -------------------------------------------------

namespace {
// The bounds rounded out to whole units of the layer: a drawing is kept
// clipped to them (a recording's extents are whole units, and a drawing put
// down straight is clipped alike), so where the bounds end inside a unit its
// ink may reach that far past them.
CGRect drawingBounds(const CGRect& b) {
    const double x = std::floor(b.origin.x), y = std::floor(b.origin.y);
    return CGRectMake(x, y, std::ceil(CGRectGetMaxX(b)) - x, std::ceil(CGRectGetMaxY(b)) - y);
}
}  // namespace

CGRect CALayer::ownDrawnArea(const CALayerState& s) const {
    // A layer with a drawing, or one to be made, may ink up to the bounds
    // rounded out.
    CGRect area =
        needsDisplay_ || contentCache_ || drawsStraight_ ? drawingBounds(s.bounds) : s.bounds;
    if (s.shadowOpacity > 0 && s.shadowColor.alpha > 0) {
        CGRect shape = s.bounds;
        if (s.shadowPath) {
            // A path's bounds walk all its points: kept for the path last
            // asked about (a container's shadow, walked at every frame of the
            // screen it holds), which a layer's state holds unchangeable.
            if (shadowShapeOf_ != s.shadowPath) {
                shadowShape_ = s.shadowPath->bounds();
                shadowShapeOf_ = s.shadowPath;
            }
            shape = shadowShape_;
        }
        if (!CGRectIsNull(shape)) {
            // The blur spreads up to two radii, and a pixel more.
            const double spread = std::fabs(s.shadowRadius) * 2 + 2;
            shape = CGRectOffset(shape, s.shadowOffset.width, s.shadowOffset.height);
            area = CGRectUnion(area, CGRectInset(shape, -spread, -spread));
        }
    }
    return area;
}

CGRect CALayer::projectedArea(const CALayerState& s,
                              const CGAffineTransform& superlayerToScreen) const {
    const CGRect area = ownDrawnArea(s);
    const CGPoint corners[4] = {area.origin,
                                {CGRectGetMaxX(area), area.origin.y},
                                {area.origin.x, CGRectGetMaxY(area)},
                                {CGRectGetMaxX(area), CGRectGetMaxY(area)}};
    CGRect out = CGRectNull;
    for (const CGPoint& c : corners) {
        CGPoint p;
        // A corner at or behind the eye: the whole screen, to be safe.
        if (!detail::projectLayerPoint(s, c, p)) return CGRectMake(-1e6, -1e6, 2e6, 2e6);
        p = CGPointApplyAffineTransform(p, superlayerToScreen);
        out = CGRectUnion(out, CGRectMake(p.x, p.y, 0, 0));
    }
    // Two points more for the edges of the strips.
    return CGRectInset(out, -2, -2);
}

void CALayer::updateCompositedExtent(const CGAffineTransform& superlayerToScreen,
                                     bool coveredByAncestor, const CGRect& shown) {
    const bool recompute = coveredByAncestor || geometryDirty_;
    if (!recompute && !contentDirty_ && !drawingDirty_ && !descendantDirty_) return;
    // Every change of the geometry marks it: the place kept goes with it.
    if (geometryDirty_) placeKept_ = false;
    const bool damageWhole = geometryDirty_ && !coveredByAncestor;
    const bool lookChanged = contentDirty_;
    const bool drawingChanged = drawingDirty_;
    const bool belowChanged = descendantDirty_;
    contentDirty_ = geometryDirty_ = drawingDirty_ = descendantDirty_ = false;
    // A copy of the state only while it animates: an empty optional of it
    // is cleared whole, a few hundred bytes, on every layer walked.
    std::unique_ptr<CALayerState> presented;
    if (!animations_.empty()) presented = std::make_unique<CALayerState>(presentation());
    const CALayerState& s = presented ? *presented : model_;
    if (s.hidden || s.opacity <= 0.001) {
        // Not drawn. Marks below stay where they are: showing the layer
        // again marks its geometry, which recomputes everything below.
        drawnExtent_ = CGRectNull;
        return;
    }
    // Every sublayer's marks and area are read below, most of them to find
    // nothing changed there (the rows of a board beside the one that did):
    // fetched all at once here, their misses overlap instead of following
    // one another.
    for (const CALayerPtr& sub : sublayers_) {
        __builtin_prefetch(&sub->contentDirty_);
        __builtin_prefetch(reinterpret_cast<const char*>(&sub->drawnExtent_ + 1) - 1);
    }
    // The layer's place in its superlayer, kept from frame to frame while
    // its geometry stays (a row's labels, walked at each of its changes):
    // read beside the marks, not from the state's transform and geometry.
    if (presented) {
        place_ = s.toSuperlayer();
        perspective_ = detail::hasPerspective(s.transform);
        placeKept_ = false;
    } else if (!placeKept_) {
        place_ = model_.toSuperlayer();
        perspective_ = detail::hasPerspective(model_.transform);
        placeKept_ = true;
    }
    const CGAffineTransform toScreen = CGAffineTransformConcat(place_, superlayerToScreen);
    if (perspective_) {
        // Drawn flat with its sublayers into a picture of its own area, then
        // projected: the projected area is all it covers.
        drawnExtent_ = projectedArea(s, superlayerToScreen);
        // A change anywhere below changes the picture, and so all of it on
        // the screen: the sublayers, covered by it, mark nothing themselves.
        if ((lookChanged || drawingChanged || belowChanged) && !recompute)
            detail::compositor::addDamage(drawnExtent_);
        for (size_t i = 0; i < sublayers_.size(); ++i)
            sublayers_[i]->updateCompositedExtent(toScreen, true);
        if (damageWhole) detail::compositor::addDamage(drawnExtent_);
        return;
    }
    const CGRect own = CGRectApplyAffineTransform(ownDrawnArea(s), toScreen);
    if (lookChanged && !recompute) {
        detail::compositor::addDamage(own);
    } else if (drawingChanged && !recompute && CGRectIntersectsRect(own, shown)) {
        // Only the drawing changed (a label's text): what it inked before and
        // what it inks now are drawn again, not the whole layer; the layer's
        // neighbours inside its bounds (a price's low and high under its
        // digits) are left alone. The drawing is made now to know its ink.
        const double pixels =
            detail::compositor::pending().scale *
            std::min(std::hypot(toScreen.a, toScreen.b), std::hypot(toScreen.c, toScreen.d));
        const CGRect before = inkReach(drawingInk_, s.bounds, pixels);
        if (needsDisplay_) recordDrawing(s);
        const CGRect ink = CGRectUnion(before, inkReach(drawingInk_, s.bounds, pixels));
        if (!CGRectIsNull(ink))
            detail::compositor::addDamage(CGRectApplyAffineTransform(ink, toScreen));
    }
    const CGRect shownBelow =
        masksToBounds_ ? CGRectIntersection(shown, CGRectApplyAffineTransform(s.bounds, toScreen))
                       : shown;
    CGRect below = CGRectNull;
    for (size_t i = 0; i < sublayers_.size(); ++i) {
        CALayer* sub = sublayers_[i].get();
        sub->updateCompositedExtent(toScreen, recompute, shownBelow);
        below = CGRectUnion(below, sub->drawnExtent_);
    }
    if (masksToBounds_ && !CGRectIsNull(below))
        below = CGRectIntersection(below, CGRectApplyAffineTransform(s.bounds, toScreen));
    drawnExtent_ = CGRectUnion(own, below);
    if (damageWhole) detail::compositor::addDamage(drawnExtent_);
}

// ---- drawing ------------------------------------------------------------

void CALayer::drawOwnContent(cairo_t*, const CALayerState&) {}

CGRect CALayer::inkReach(const CGRect& ink, const CGRect& bounds, double pixelsPerUnit) {
    if (CGRectIsNull(ink)) return ink;
    // The ink is measured with glyphs placed on whole units of the layer
    // (half a unit off at most), and the screen places them on its own
    // pixels (half a pixel off): that much more holds every pixel a glyph
    // touches. The bounds, rounded out to whole units, clip the drawing. A
    // whisker more for the rounding of sums, less than the screen's areas
    // take as touching a pixel: a reach that ends on a pixel's edge does not
    // take in the pixel beyond.
    const double reach = 0.5 + 0.5 / std::max(pixelsPerUnit, 1e-3) + 1e-5;
    const CGRect r = CGRectIntersection(CGRectInset(ink, -reach, -reach), drawingBounds(bounds));
    return CGRectIsEmpty(r) ? CGRectNull : r;
}

void CALayer::recordDrawing(const CALayerState& state, bool mayDrawStraight) {
    // Told, and recorded only because it is not drawn straight where it lies
    // now (a picture across pixels): its ink is the one told, not measured
    // by replaying the recording once more (an arrow that flips).
    const bool keepsToldInk = !mayDrawStraight && drawsStraight_;
    const CGRect toldInk = drawingInk_;
    if (contentCache_ && !cacheKept_)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(contentCache_));
    contentCache_ = nullptr;
    cacheKept_ = false;
    drawingInk_ = CGRectNull;
    needsDisplay_ = false;
    CGRect told = CGRectNull;
    drawsStraight_ = mayDrawStraight && delegate_ && delegate_->drawingInk(*this, told);
    if (drawsStraight_) {
        toldInk_ = told;
        // Rounded out to whole units, as a recording measures its ink.
        if (!CGRectIsNull(told) && !CGRectIsEmpty(told)) {
            const double x = std::floor(told.origin.x), y = std::floor(told.origin.y);
            drawingInk_ = CGRectMake(x, y, std::ceil(CGRectGetMaxX(told)) - x,
                                     std::ceil(CGRectGetMaxY(told)) - y);
        }
        return;
    }
    // A subject shown before in the same place: its recording is kept.
    std::shared_ptr<const void> subject;
    CGRect place = CGRectNull;
    if (keepsToldInk && !CGRectIsNull(toldInk) && delegate_) {
        subject = delegate_->drawingSubject(*this, place);
        cairo_surface_t* kept =
            subject && keptDrawings_ ? keptDrawings_->find(subject, place, state.bounds) : nullptr;
        if (kept) {
            contentCache_ = kept;
            cacheKept_ = true;
            drawingInk_ = toldInk;
            return;
        }
    }
    cairo_surface_t* rec = makeRecording(state);
    if (keepsToldInk) {
        if (rec && !CGRectIsNull(toldInk)) {
            contentCache_ = rec;
            drawingInk_ = toldInk;
            if (subject) {
                // The subjects let go of meanwhile are let go of here, when
                // another is kept: a flip among kept ones touches no other.
                if (keptDrawings_)
                    keptDrawings_->dropUnheld();
                else
                    keptDrawings_ = std::make_unique<KeptDrawings>();
                keptDrawings_->keep(std::move(subject), place, state.bounds, rec);
                cacheKept_ = true;
            }
        } else if (rec) {
            cairo_surface_destroy(rec);
        }
        return;
    }
    double ix, iy, iw = 0, ih = 0;
    if (rec) {
        ++gInksMeasured;
        cairo_recording_surface_ink_extents(rec, &ix, &iy, &iw, &ih);
    }
    if (rec && iw > 0 && ih > 0) {
        contentCache_ = rec;
        drawingInk_ = CGRectMake(ix, iy, iw, ih);
    } else if (rec) {
        cairo_surface_destroy(rec);
    }
}

cairo_surface_t* CALayer::makeRecording(const CALayerState& state) {
    ++gDrawingsRecorded;
    // The drawing is clipped to the bounds, as a view's backing store is.
    cairo_rectangle_t extents{state.bounds.origin.x, state.bounds.origin.y, state.bounds.size.width,
                              state.bounds.size.height};
    cairo_surface_t* rec = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cairo_t* rcr = cairo_create(rec);
    bool drew;
    {
        Canvas canvas(rcr);
        UIGraphicsPushContext(&canvas);
        if (delegate_) {
            drew = delegate_->drawLayer(*this, canvas);
        } else {
            drawInContext(canvas);
            drew = true;
        }
        UIGraphicsPopContext();
    }
    cairo_destroy(rcr);
    if (drew) return rec;
    cairo_surface_destroy(rec);
    return nullptr;
}

// A told drawing's pixels as its recording, replayed onto the screen, gives
// them at one place within a pixel: replaying draws the recording into a
// picture of its own at whole pixels and puts that down, and these are the
// pixels of that picture. Put down again wherever the layer lands at the same
// place within a pixel, they are what replaying there gives. Kept by subject
// (drawingSubject), which they do not hold: one let go of is never met again.
struct CALayer::PictureRasters {
    struct Entry {
        std::weak_ptr<const void> subject;
        CGRect place;
        CGRect bounds;
        // The context's matrix to its pixels, less the whole pixels of its
        // translation.
        cairo_matrix_t at;
        cairo_surface_t* pixels = nullptr;
    };
    // The last one used last.
    std::vector<Entry> entries;
    PictureRasters() = default;
    PictureRasters(const PictureRasters&) = delete;
    PictureRasters& operator=(const PictureRasters&) = delete;
    ~PictureRasters() {
        for (auto& e : entries)
            cairo_surface_destroy(e.pixels);
    }
};

namespace {
// A millionth of a pixel: far more than the sums of a replay ever miss by,
// far less than anything drawn can show.
constexpr double kReplayNudge = 1e-6;

// Replays a recorded drawing at the context's place. Cairo replays it into
// a picture of its own that starts where the area drawn starts, then puts
// that down: the sums that place the drawing in that picture carry that
// start, and come out a hair (some 1e-14 of a pixel) to either side as it
// lies. A glyph is put on whole pixels, to the nearest: one whose place
// falls on a half pixel exactly (a field's text at 120 points is at 64.5
// pixels at 0.5375 pixels a point) went to one pixel or the next as the
// area began, and a frame's changed area put it a pixel off where the
// screen drawn whole puts it. Moved a millionth of a pixel right and down,
// no place is left on a half pixel, and every area puts it alike.
void replayRecording(cairo_t* cr, cairo_surface_t* recording) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_matrix_t nudged = m;
    nudged.x0 += kReplayNudge;
    nudged.y0 += kReplayNudge;
    cairo_set_matrix(cr, &nudged);
    cairo_set_source_surface(cr, recording, 0, 0);
    cairo_paint(cr);
    cairo_set_matrix(cr, &m);
}

// A board row's arrow shows one of five pictures (up, down, and unchanged in
// three colours).
constexpr size_t kPictureRastersKept = 6;
// Larger pictures are replayed: kept pixels would cost more memory than the
// replay saves.
constexpr double kPictureRasterMaxPixels = 256 * 256;
}  // namespace

bool CALayer::drawKeptPicture(cairo_t* cr, const CALayerState& state,
                              const std::shared_ptr<const void>& subject, const CGRect& place) {
    // The screen's own pixels only: an image whose user space lies on its
    // pixels whole, the layer neither turned nor mirrored, and at or right
    // and below the screen's origin (how replaying places a recording, with
    // the same pixels at every whole pixel, is known for those places).
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return false;
    double dx, dy, ox, oy;
    cairo_surface_get_device_scale(target, &dx, &dy);
    cairo_surface_get_device_offset(target, &ox, &oy);
    if (dx != 1 || dy != 1 || ox != 0 || oy != 0) return false;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || !(m.xx > 0) || !(m.yy > 0) || !(m.x0 >= 0) || !(m.y0 >= 0))
        return false;
    const double wholeX = std::floor(m.x0), wholeY = std::floor(m.y0);
    cairo_matrix_t at = m;
    at.x0 -= wholeX;
    at.y0 -= wholeY;
    const CGRect box = toPixels(at, state.bounds);
    if (!(box.origin.x >= 0 && box.origin.y >= 0)) return false;
    const double w = std::ceil(CGRectGetMaxX(box)), h = std::ceil(CGRectGetMaxY(box));
    if (!(w >= 1 && h >= 1) || w * h > kPictureRasterMaxPixels) return false;
    // Put down whole, inside one rectangle of whole pixels of the clip: cut
    // by it, replaying samples the recording for the part that shows, and
    // its pixels may come a level apart.
    cairo_identity_matrix(cr);
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
    bool whole = false;
    if (clip->status == CAIRO_STATUS_SUCCESS) {
        const double x0 = wholeX + std::floor(box.origin.x), y0 = wholeY + std::floor(box.origin.y);
        const double x1 = wholeX + w, y1 = wholeY + h;
        for (int i = 0; i < clip->num_rectangles && !whole; ++i) {
            const cairo_rectangle_t& r = clip->rectangles[i];
            whole = r.x <= x0 && r.y <= y0 && r.x + r.width >= x1 && r.y + r.height >= y1;
        }
    }
    cairo_rectangle_list_destroy(clip);
    if (!whole) {
        cairo_set_matrix(cr, &m);
        return false;
    }

    if (!pictureRasters_) pictureRasters_ = std::make_unique<PictureRasters>();
    auto& entries = pictureRasters_->entries;
    const auto same = [&](const PictureRasters::Entry& e) {
        return !e.subject.owner_before(subject) && !subject.owner_before(e.subject) &&
               !e.subject.expired() && e.place == place && e.bounds == state.bounds &&
               e.at.xx == at.xx && e.at.yy == at.yy && e.at.x0 == at.x0 && e.at.y0 == at.y0;
    };
    auto it = std::find_if(entries.begin(), entries.end(), same);
    if (it != entries.end()) {
        std::rotate(it, it + 1, entries.end());
    } else {
        // Its recording, kept by its subject as recordDrawing keeps it.
        cairo_surface_t* rec =
            keptDrawings_ ? keptDrawings_->find(subject, place, state.bounds) : nullptr;
        if (!rec && (rec = makeRecording(state))) {
            // Drawn from its told ink, the layer holds none of the kept.
            if (keptDrawings_)
                keptDrawings_->dropUnheld();
            else
                keptDrawings_ = std::make_unique<KeptDrawings>();
            keptDrawings_->keep(subject, place, state.bounds, rec);
        }
        cairo_surface_t* pixels = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(w), static_cast<int>(h));
        if (rec) {
            cairo_t* pc = cairo_create(pixels);
            cairo_set_matrix(pc, &at);
            replayRecording(pc, rec);
            cairo_destroy(pc);
        }
        std::erase_if(entries, [](PictureRasters::Entry& e) {
            if (!e.subject.expired()) return false;
            cairo_surface_destroy(e.pixels);
            return true;
        });
        if (entries.size() >= kPictureRastersKept) {
            cairo_surface_destroy(entries.front().pixels);
            entries.erase(entries.begin());
        }
        entries.push_back({subject, place, state.bounds, at, pixels});
    }
    cairo_set_source_surface(cr, entries.back().pixels, wholeX, wholeY);
    cairo_paint(cr);
    cairo_set_matrix(cr, &m);
    return true;
}

void CALayer::renderContent(cairo_t* cr, const CALayerState& state) {
    if (contents_) {
        Canvas canvas(cr);
        canvas.drawImage(*contents_, state.bounds);
    }
    drawOwnContent(cr, state);
    // Free-standing layers draw only when asked to (setNeedsDisplay).
    if (!delegate_ && !contentCache_ && !needsDisplay_) return;
    if (needsDisplay_) recordDrawing(state);
    // Told, and not drawn straight here: its recording is replayed, or the
    // pixels kept of what it shows are put down.
    CGRect place = CGRectNull;
    std::shared_ptr<const void> subject;
    if (drawsStraight_ && !delegate_->drawsStraightOnto(wholePixels(cr, toldInk_))) {
        subject = delegate_->drawingSubject(*this, place);
        if (!subject) recordDrawing(state, false);
    }
    auto* cache = static_cast<cairo_surface_t*>(contentCache_);
    if (!cache && !drawsStraight_) return;
    // Drawn where it inks only: a price's digits are drawn again beside a
    // neighbour's changed text that lies inside their bounds but not their
    // ink, and replaying the drawing there would change no pixel.
    double ax = 1, ay = 0, bx = 0, by = 1;
    cairo_user_to_device_distance(cr, &ax, &ay);
    cairo_user_to_device_distance(cr, &bx, &by);
    const double pixels = std::min(std::hypot(ax, ay), std::hypot(bx, by));
    const CGRect reach = inkReach(drawingInk_, state.bounds, pixels);
    if (gAreas && gAreas->pixels) {
        // Drawn in a frame's walk: the clip lies inside the areas (its box,
        // which cairo's clip extents give, holds them all and what lies
        // between them); the ink must meet one of them.
        cairo_matrix_t m;
        cairo_get_matrix(cr, &m);
        const CGRect ink = toPixels(m, reach);
        bool meets = false;
        for (size_t i = 0; i < gAreas->count && !meets; ++i)
            meets = platform::ui::meets(ink, gAreas->pixels[i]);
        if (!meets) return;
    } else {
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        if (!CGRectIntersectsRect(reach, CGRectMake(x1, y1, x2 - x1, y2 - y1))) return;
    }
    if (subject) {
        if (drawKeptPicture(cr, state, subject, place)) return;
        recordDrawing(state, false);
        cache = static_cast<cairo_surface_t*>(contentCache_);
        if (!cache) return;
    } else if (drawsStraight_) {
        // Clipped as a recorded drawing is, to the bounds rounded out to
        // whole units, only where the ink may reach past them: the screen
        // puts a glyph on its own pixels, up to half a pixel off its place.
        cairo_save(cr);
        const CGRect clip = drawingBounds(state.bounds);
        const double snap = 0.5 / std::max(pixels, 1e-3) + 0.01;
        if (!CGRectContainsRect(clip, CGRectInset(drawingInk_, -snap, -snap))) {
            cairo_new_path(cr);
            cairo_rectangle(cr, clip.origin.x, clip.origin.y, clip.size.width, clip.size.height);
            cairo_clip(cr);
        }
        Canvas canvas(cr);
        UIGraphicsPushContext(&canvas);
        delegate_->drawLayer(*this, canvas);
        UIGraphicsPopContext();
        cairo_restore(cr);
        return;
    }
    replayRecording(cr, cache);
}

namespace {
// Whether the layer's bounds hold all of what is drawn now (the area being
// drawn again).
bool clipInsideBounds(cairo_t* cr, const CALayerState& s) {
    // The rounded corners are left out; the clip's extents in the layer's
    // space hold the whole clip whatever the transform.
    const CGRect inside = CGRectInset(s.bounds, s.cornerRadius, s.cornerRadius);
    if (CGRectIsNull(inside) || CGRectIsEmpty(inside)) return false;
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    if (x2 <= x1 || y2 <= y1) return false;
    return x1 >= CGRectGetMinX(inside) && y1 >= CGRectGetMinY(inside) &&
           x2 <= CGRectGetMaxX(inside) && y2 <= CGRectGetMaxY(inside);
}
// Whether the layer's bounds hold all of what is drawn now, asked once a
// layer (the shadow, the background and the clip all ask it, at one place
// and under one clip): in a frame's walk the areas' pixels tell, elsewhere
// cairo's clip.
class ClipInside {
  public:
    ClipInside(cairo_t* cr, const CALayerState& s, const cairo_matrix_t& placed)
        : cr_(cr), s_(s), placed_(placed) {}
    bool operator()() {
        if (known_ < 0) known_ = areasInside(gAreas, placed_, s_);
        if (known_ < 0) known_ = clipInsideBounds(cr_, s_) ? 1 : 0;
        return known_ == 1;
    }

  private:
    cairo_t* cr_;
    const CALayerState& s_;
    const cairo_matrix_t& placed_;
    int known_ = -1;
};
// Whether the layer's opaque background covers every pixel of what is drawn
// now, so that its shadow, drawn beneath it, would not show there: the
// drawer's centre keeps its shadow at its edges, and a row changed inside it
// does not blend the shadow again.
bool coversClip(const CALayerState& s, ClipInside& inside) {
    return s.backgroundColor.alpha >= 1.0 && inside();
}
}  // namespace

namespace {
// While an area is drawn from a covering layer: the layers leading to it,
// itself last, and whether it has been reached (all after it is drawn).
const std::vector<const CALayer*>* gCoverChain = nullptr;
bool gCoverReached = false;
}  // namespace

void CALayer::findCovers(const CGRect* areas, std::vector<size_t>& work, size_t from, size_t to,
                         const CGAffineTransform& superlayerToScreen, const CALayer** cover) const {
    // work[from, to) are the areas looked in here; those this layer's area
    // meets are looked in below it, at the end of `work`, taken off again
    // on the way back.
    const size_t mine = work.size();
    for (size_t i = from; i < to; ++i) {
        const size_t k = work[i];
        if (meets(drawnExtent_, areas[k])) work.push_back(k);
    }
    if (work.size() == mine) return;
    std::optional<CALayerState> scratch;
    const CALayerState& s = drawnState(scratch);
    const bool opaque = s.backgroundColor.alpha >= 1.0;
    // A faded layer lets what is under it show, and so does all inside it;
    // a tilted one is not searched. A see-through layer with nothing in it
    // (a label's or a picture's) covers nothing: its place is not worked
    // out.
    if (s.hidden || s.opacity < 0.999 || detail::hasPerspective(s.transform) ||
        (!opaque && !masksToBounds_ && sublayers_.empty())) {
        work.resize(mine);
        return;
    }
    const CGAffineTransform toScreen =
        CGAffineTransformConcat(s.toSuperlayer(), superlayerToScreen);
    // Nor is a turned one.
    if (toScreen.b != 0 || toScreen.c != 0) {
        work.resize(mine);
        return;
    }
    size_t below = mine, end = work.size();
    if (opaque || masksToBounds_) {
        // Rounded corners left out.
        const CGRect inside = CGRectInset(s.bounds, s.cornerRadius, s.cornerRadius);
        const bool hasInside = !CGRectIsNull(inside) && !CGRectIsEmpty(inside);
        const CGRect insideOnScreen =
            hasInside ? CGRectApplyAffineTransform(inside, toScreen) : CGRectNull;
        for (size_t i = mine; i < end; ++i) {
            const size_t k = work[i];
            const bool whole = hasInside && CGRectContainsRect(insideOnScreen, areas[k]);
            if (whole && opaque) cover[k] = this;
            // Clipped to less than the area, no sublayer covers it whole.
            if (masksToBounds_ && whole) work.push_back(k);
        }
        if (masksToBounds_) below = end, end = work.size();
    }
    if (below < end)
        for (const auto& sub : sublayers_)
            sub->findCovers(areas, work, below, end, toScreen, cover);
    work.resize(mine);
}

void CALayer::renderAreas(cairo_t* cr, const std::vector<CALayer*>& roots,
                          const std::vector<CGRect>& areas) {
    // Each area's covering layer, the last in drawing order whose opaque
    // background holds it whole (null: none), found for all areas in one
    // search.
    std::vector<const CALayer*> cover(areas.size(), nullptr);
    // Grown by the areas each layer down a branch meets: room for a deep
    // tree's, made once.
    std::vector<size_t> work;
    work.reserve(areas.size() * 16);
    for (size_t k = 0; k < areas.size(); ++k)
        work.push_back(k);
    for (CALayer* root : roots)
        root->findCovers(areas.data(), work, 0, areas.size(), CGAffineTransformIdentity,
                         cover.data());
    std::vector<const CALayer*> chain;
    // The areas one layer covers (a board's row: its changed prices and
    // arrow) are drawn in one walk: the layers leading to it (`chain`, from
    // its root down) set up its place once, not once an area.
    std::vector<bool> done(areas.size(), false);
    std::vector<CGRect> screen, pixels;
    cairo_matrix_t toContext;
    cairo_get_matrix(cr, &toContext);
    for (size_t k = 0; k < areas.size(); ++k) {
        if (done[k]) continue;
        const CALayer* covering = cover[k];
        screen.clear();
        pixels.clear();
        AreaSet set;
        cairo_save(cr);
        cairo_new_path(cr);
        for (size_t j = k; j < areas.size(); ++j) {
            if (done[j] || cover[j] != covering) continue;
            done[j] = true;
            const CGRect& r = areas[j];
            screen.push_back(r);
            pixels.push_back(toPixels(toContext, r));
            set.bounds = CGRectUnion(set.bounds, r);
            cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        }
        cairo_clip(cr);
        set.screen = screen.data();
        set.pixels = pixels.data();
        set.count = screen.size();
        const AreaSet* outer = gAreas;
        gAreas = &set;
        if (!covering) {
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_paint(cr);
            for (CALayer* root : roots)
                root->renderTree(cr, toContext);
        } else {
            chain.clear();
            for (const CALayer* l = covering; l; l = l->superlayer_)
                chain.push_back(l);
            std::reverse(chain.begin(), chain.end());
            const auto first = std::find(roots.begin(), roots.end(), chain.front());
            gCoverChain = &chain;
            gCoverReached = false;
            for (auto it = first; it != roots.end(); ++it)
                (*it)->renderTree(cr, toContext);
            gCoverChain = nullptr;
        }
        gAreas = outer;
        cairo_restore(cr);
    }
}

namespace {
// The outline of a layer's bounds as a path (the same segments a bezier
// path of the rounded bounds gives, made without building one: most layers
// have square corners).
void outlinePath(cairo_t* cr, const CGRect& bounds, double radius) {
    if (radius > 0) {
        roundedBounds(bounds, radius).apply(cr);
        return;
    }
    const CGRect r = CGRectStandardize(bounds);
    const double x0 = r.origin.x, y0 = r.origin.y;
    const double x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    cairo_new_path(cr);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y0);
    cairo_line_to(cr, x1, y1);
    cairo_line_to(cr, x0, y1);
    cairo_close_path(cr);
}
}  // namespace

void CALayer::render(cairo_t* cr, const CGRect* cull) {
    AreaSet one;
    if (cull) {
        one.screen = cull;
        one.count = 1;
        one.bounds = *cull;
    }
    const AreaSet* outer = gAreas;
    gAreas = cull ? &one : nullptr;
    // The walk leaves the matrix where the last layer drawn put it.
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    renderTree(cr, m);
    cairo_set_matrix(cr, &m);
    gAreas = outer;
}

void CALayer::renderTree(cairo_t* cr, const cairo_matrix_t& outer) {
    if (gAreas && !meetsAny(*gAreas, drawnExtent_)) return;
    // Drawing from a covering layer: what is drawn before it and does not
    // lead to it lies under it; the layers leading to it set up its place
    // and clip without drawing themselves.
    bool drawSelf = true;
    if (gCoverChain && !gCoverReached) {
        const auto& chain = *gCoverChain;
        if (std::find(chain.begin(), chain.end(), this) == chain.end()) return;
        if (chain.back() == this)
            gCoverReached = true;
        else
            drawSelf = false;
    }
    std::optional<CALayerState> scratch;
    const CALayerState& s = drawnState(scratch);
    if (s.hidden || s.opacity <= 0.001) return;
    ++gLayersDrawn;
    if (gDrawingFlat != this && detail::hasPerspective(s.transform)) {
        cairo_set_matrix(cr, &outer);
        detail::renderInPerspective(cr, s, [this](cairo_t* flat) {
            const CALayer* outer = gDrawingFlat;
            gDrawingFlat = this;
            render(flat);
            gDrawingFlat = outer;
        });
        return;
    }
    // The layer's place is set as a matrix, handed down to the sublayers
    // rather than read back from cairo: saving and restoring the whole
    // drawing state (the clip copied each time) cost more than drawing most
    // layers. The matrix is set whole, never multiplied in, so that a
    // layer's place does not depend on which layers were drawn before it (a
    // full frame and a changed area draw it alike). It is set on cairo only
    // by a layer that draws or clips (the layers leading to a covering
    // layer do neither), and not given back after it: each layer sets its
    // own before drawing. Only a layer that clips saves the state.
    cairo_matrix_t placed = outer;
    if (gDrawingFlat != this) {
        const auto m = s.toSuperlayer();
        const cairo_matrix_t local{m.a, m.b, m.c, m.d, m.tx, m.ty};
        cairo_matrix_multiply(&placed, &local, &outer);
        // Flattened to nothing (scaled to zero): nothing shows, and cairo
        // would refuse the matrix and every drawing after it.
        if (placed.xx * placed.yy - placed.xy * placed.yx == 0) return;
    }
    const bool group = s.opacity < 0.999;
    const bool border = s.borderWidth > 0 && !s.borderColor.isClear();
    if (drawSelf || group || masksToBounds_ || border) cairo_set_matrix(cr, &placed);
    if (group) cairo_push_group(cr);

    ClipInside inside(cr, s, placed);
    if (drawSelf && s.shadowOpacity > 0 && s.shadowColor.alpha > 0 && !coversClip(s, inside)) {
        UIColor c = s.shadowColor;
        c.alpha *= s.shadowOpacity;
        if (!shadowCache_) shadowCache_ = std::make_unique<ShadowCache>();
        if (s.shadowPath)
            shadowCache_->draw(cr, *s.shadowPath, s.shadowOffset, s.shadowRadius, c);
        else
            shadowCache_->draw(cr, roundedBounds(s.bounds, s.cornerRadius), s.shadowOffset,
                               s.shadowRadius, c);
    }
    if (drawSelf && !s.backgroundColor.isClear()) {
        UIColorSetCairoSource(cr, s.backgroundColor);
        // An opaque background that covers all that is drawn now (the cell
        // an area is drawn from) sets every pixel of it to its colour, as
        // filling its outline would, without tracing the outline's edges.
        if (coversClip(s, inside)) {
            cairo_paint(cr);
        } else {
            outlinePath(cr, s.bounds, s.cornerRadius);
            cairo_fill(cr);
        }
    }
    // A layer that clips to its bounds, drawn where they hold all that is
    // drawn now (a table's row changed inside it), leaves the clip as it is:
    // clipping to the bounds would change nothing, and costs a copy of the
    // drawing state.
    const bool clips = masksToBounds_ && !inside();
    if (clips) {
        cairo_save(cr);
        outlinePath(cr, s.bounds, s.cornerRadius);
        cairo_clip(cr);
    }
    if (drawSelf) renderContent(cr, s);
    // The sublayers are not moved while they are drawn.
    for (size_t i = 0; i < sublayers_.size(); ++i)
        sublayers_[i]->renderTree(cr, placed);
    if (clips) cairo_restore(cr);
    if (border) {
        // The sublayers left their own places set.
        cairo_set_matrix(cr, &placed);
        auto inset = CGRectInset(s.bounds, s.borderWidth / 2, s.borderWidth / 2);
        if (!CGRectIsNull(inset)) {
            // What the content left set does not shape the border.
            cairo_set_dash(cr, nullptr, 0, 0);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
            cairo_set_miter_limit(cr, 10);
            roundedBounds(inset, std::max(0.0, s.cornerRadius - s.borderWidth / 2)).apply(cr);
            cairo_set_line_width(cr, s.borderWidth);
            UIColorSetCairoSource(cr, s.borderColor);
            cairo_stroke(cr);
        }
    }
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, s.opacity);
    }
}

}  // namespace platform::ui
