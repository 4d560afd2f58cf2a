#include "platform/ui/Touch.h"

#include "platform/ui/View.h"

namespace platform::ui {

UIView* UITouch::view() const {
    return view_.expired() ? nullptr : rawView_;
}

CGPoint UITouch::locationInView(const UIView* v) const {
    return v ? v->convertPointFromView(location_, nullptr) : location_;
}

CGPoint UITouch::previousLocationInView(const UIView* v) const {
    return v ? v->convertPointFromView(previous_, nullptr) : previous_;
}

}  // namespace platform::ui
