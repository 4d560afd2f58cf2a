#include "platform/ui/Animation.h"

#include <algorithm>
#include <cmath>

#include "platform/Dispatch.h"
#include "platform/ui/Layer.h"
#include "platform/ui/detail/TransactionStack.h"

namespace platform::ui {

namespace {

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

CGPathRef lerpPath(const CGPathRef& a, const CGPathRef& b, double t) {
    if (!a || !b) return t < 0.5 ? a : b;
    const auto& ea = a->elements();
    const auto& eb = b->elements();
    if (ea.size() != eb.size()) return t < 0.5 ? a : b;
    UIBezierPath out;
    for (size_t i = 0; i < ea.size(); ++i) {
        if (ea[i].op != eb[i].op) return t < 0.5 ? a : b;
        CGPoint p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = {lerp(ea[i].p[k].x, eb[i].p[k].x, t), lerp(ea[i].p[k].y, eb[i].p[k].y, t)};
        switch (ea[i].op) {
            case UIBezierPath::Op::Move:
                out.moveToPoint(p[0]);
                break;
            case UIBezierPath::Op::Line:
                out.addLineToPoint(p[0]);
                break;
            case UIBezierPath::Op::Curve:
                out.addCurveToPoint(p[2], p[0], p[1]);
                break;
            case UIBezierPath::Op::Close:
                out.closePath();
                break;
        }
    }
    return std::make_shared<UIBezierPath>(out);
}

}  // namespace

AnimValue interpolate(const AnimValue& a, const AnimValue& b, double t) {
    if (a.index() != b.index()) return t < 1 && b.index() == 0 ? a : b;
    return std::visit(
        [&](const auto& va) -> AnimValue {
            using T = std::decay_t<decltype(va)>;
            const auto& vb = std::get<T>(b);
            if constexpr (std::is_same_v<T, std::monostate>) {
                return va;
            } else if constexpr (std::is_same_v<T, double>) {
                return lerp(va, vb, t);
            } else if constexpr (std::is_same_v<T, CGPoint>) {
                return CGPoint{lerp(va.x, vb.x, t), lerp(va.y, vb.y, t)};
            } else if constexpr (std::is_same_v<T, CGSize>) {
                return CGSize{lerp(va.width, vb.width, t), lerp(va.height, vb.height, t)};
            } else if constexpr (std::is_same_v<T, CGRect>) {
                return CGRectMake(
                    lerp(va.origin.x, vb.origin.x, t), lerp(va.origin.y, vb.origin.y, t),
                    lerp(va.size.width, vb.size.width, t), lerp(va.size.height, vb.size.height, t));
            } else if constexpr (std::is_same_v<T, CATransform3D>) {
                CATransform3D r;
                const CGFloat* pa = &va.m11;
                const CGFloat* pb = &vb.m11;
                CGFloat* pr = &r.m11;
                for (int i = 0; i < 16; ++i)
                    pr[i] = lerp(pa[i], pb[i], t);
                return r;
            } else if constexpr (std::is_same_v<T, UIColor>) {
                return UIColorLerp(va, vb, t);
            } else {
                return lerpPath(va, vb, t);
            }
        },
        a);
}

CAMediaTimingFunction CAMediaTimingFunction::functionWithName(const std::string& name) {
    if (name == kCAMediaTimingFunctionEaseIn) return {0.42, 0, 1, 1};
    if (name == kCAMediaTimingFunctionEaseOut) return {0, 0, 0.58, 1};
    if (name == kCAMediaTimingFunctionEaseInEaseOut) return {0.42, 0, 0.58, 1};
    if (name == kCAMediaTimingFunctionDefault) return {0.25, 0.1, 0.25, 1};
    return {0, 0, 1, 1};
}

double CAMediaTimingFunction::apply(double t) const {
    t = std::clamp(t, 0.0, 1.0);
    if (c1x == 0 && c1y == 0 && c2x == 1 && c2y == 1) return t;
    // Solve x(u) = t for the curve parameter, then return y(u).
    auto bez = [](double p1, double p2, double u) {
        double v = 1 - u;
        return 3 * v * v * u * p1 + 3 * v * u * u * p2 + u * u * u;
    };
    double lo = 0, hi = 1, u = t;
    for (int i = 0; i < 40; ++i) {
        u = (lo + hi) / 2;
        if (bez(c1x, c2x, u) < t)
            lo = u;
        else
            hi = u;
    }
    return bez(c1y, c2y, u);
}

double CAAnimation::activeDuration() const {
    double d = duration > 0 ? duration : 0.25;
    double cycle = d * (autoreverses ? 2 : 1);
    return cycle * std::max(1.0, repeatCount);
}

std::shared_ptr<CABasicAnimation> CABasicAnimation::animationWithKeyPath(
    const std::string& keyPath) {
    auto a = std::make_shared<CABasicAnimation>();
    a->keyPath = keyPath;
    return a;
}

AnimValue CABasicAnimation::valueAt(double progress) const {
    return interpolate(fromValue, toValue, progress);
}

std::shared_ptr<CAKeyframeAnimation> CAKeyframeAnimation::animationWithKeyPath(
    const std::string& keyPath) {
    auto a = std::make_shared<CAKeyframeAnimation>();
    a->keyPath = keyPath;
    return a;
}

AnimValue CAKeyframeAnimation::valueAt(double progress) const {
    if (values.empty()) return {};
    if (values.size() == 1) return values[0];
    const size_t n = values.size();
    auto timeOf = [&](size_t i) {
        return keyTimes.size() == n ? keyTimes[i]
                                    : static_cast<double>(i) / static_cast<double>(n - 1);
    };
    if (progress <= timeOf(0)) return values[0];
    for (size_t i = 1; i < n; ++i) {
        double t0 = timeOf(i - 1), t1 = timeOf(i);
        if (progress <= t1) {
            double f = t1 > t0 ? (progress - t0) / (t1 - t0) : 1;
            return interpolate(values[i - 1], values[i], f);
        }
    }
    return values.back();
}

}  // namespace platform::ui
