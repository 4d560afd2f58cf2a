#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Core-Animation-style animations. Animations never change a layer's model
// values: they only change what is drawn (the presentation) between their
// begin and end times on the main run loop's clock, so tests step them with
// the virtual clock. Their end is a run-loop timer; an animation that is
// removed early (replaced under its key, removeAnimationForKey,
// removeAllAnimations, its layer gone) reports finished = NO, always later
// on the run loop, never inside the call that removed it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Path.h"

namespace platform::ui {

// A value an animation can carry.
using AnimValue = std::variant<std::monostate, double, CGPoint, CGSize, CGRect, CATransform3D,
                               UIColor, CGPathRef>;

AnimValue interpolate(const AnimValue& a, const AnimValue& b, double t);

inline constexpr const char* kCAMediaTimingFunctionLinear = "linear";
inline constexpr const char* kCAMediaTimingFunctionEaseIn = "easeIn";
inline constexpr const char* kCAMediaTimingFunctionEaseOut = "easeOut";
inline constexpr const char* kCAMediaTimingFunctionEaseInEaseOut = "easeInEaseOut";
inline constexpr const char* kCAMediaTimingFunctionDefault = "default";

// A cubic timing curve from (0, 0) to (1, 1).
struct CAMediaTimingFunction {
    double c1x = 0, c1y = 0, c2x = 1, c2y = 1;
    static CAMediaTimingFunction functionWithName(const std::string& name);
    static CAMediaTimingFunction functionWithControlPoints(double c1x, double c1y, double c2x,
                                                           double c2y) {
        return {c1x, c1y, c2x, c2y};
    }
    // Progress (0..1) at time fraction t (0..1).
    double apply(double t) const;
    bool operator==(const CAMediaTimingFunction&) const = default;
};

inline constexpr const char* kCAFillModeRemoved = "removed";
inline constexpr const char* kCAFillModeForwards = "forwards";
inline constexpr const char* kCAFillModeBackwards = "backwards";
inline constexpr const char* kCAFillModeBoth = "both";

class CAAnimation;
using CAAnimationPtr = std::shared_ptr<CAAnimation>;

class CAAnimation {
  public:
    virtual ~CAAnimation() = default;

    // Seconds; 0 means the transaction's duration (0.25 by default).
    double duration = 0;
    // Absolute time on the run loop's clock; 0 means "when added".
    double beginTime = 0;
    double repeatCount = 0;  // 0 means once
    bool autoreverses = false;
    bool removedOnCompletion = true;
    std::string fillMode = kCAFillModeRemoved;
    CAMediaTimingFunction timingFunction;  // linear

    // The delegate's callbacks (animationDidStart:, animationDidStop:finished:).
    std::function<void()> didStart;
    std::function<void(bool finished)> didStop;

    // The value at `progress` (0..1, timing already applied); empty when the
    // animation does not drive `keyPath`.
    virtual AnimValue valueAt(double progress) const = 0;
    virtual std::string keyPathValue() const = 0;
    // Copies the animation (adding one animation to two layers copies it).
    virtual CAAnimationPtr copy() const = 0;

    // Total active time: duration x repeats x (2 when autoreversing).
    double activeDuration() const;
};

class CABasicAnimation : public CAAnimation {
  public:
    static std::shared_ptr<CABasicAnimation> animationWithKeyPath(const std::string& keyPath);
    std::string keyPath;
    AnimValue fromValue;  // empty: the presentation value when added
    AnimValue toValue;    // empty: the model value
    AnimValue valueAt(double progress) const override;
    std::string keyPathValue() const override { return keyPath; }
    CAAnimationPtr copy() const override { return std::make_shared<CABasicAnimation>(*this); }
};

class CAKeyframeAnimation : public CAAnimation {
  public:
    static std::shared_ptr<CAKeyframeAnimation> animationWithKeyPath(const std::string& keyPath);
    std::string keyPath;
    std::vector<AnimValue> values;
    // Fractions (0..1) of the duration for each value; empty means evenly spaced.
    std::vector<double> keyTimes;
    AnimValue valueAt(double progress) const override;
    std::string keyPathValue() const override { return keyPath; }
    CAAnimationPtr copy() const override { return std::make_shared<CAKeyframeAnimation>(*this); }
};

namespace animation {
// Number of animations running now (not counting ones held after their end).
size_t activeCount();
}  // namespace animation

}  // namespace platform::ui
