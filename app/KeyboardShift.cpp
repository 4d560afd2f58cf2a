#include "app/KeyboardShift.h"

#include <cmath>

#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIViewAdditions.h"

using namespace platform::ui;

namespace keyboardshift {

void shiftForField(UIView& view, CGFloat fieldBottom) {
    const CGFloat target = view.frame().size.height / 2 - kavtheme::kKeyboardBarHeight;
    const CGFloat lowerEdge = fieldBottom + view.frame().origin.y;
    if (std::fabs(lowerEdge - target) < 0.01) return;
    const CGFloat top = view.frame().origin.y + (target - lowerEdge);
    auto moved = view.sharedSelf<UIView>();
    UIView::animateWithDuration(kavtheme::kKeyboardShiftDuration,
                                [moved, top] { UIViewAdditions::setTop(*moved, top); });
}

void shiftBack(UIView& view) {
    if (view.frame().origin.y == 0) return;
    auto moved = view.sharedSelf<UIView>();
    UIView::animateWithDuration(kavtheme::kKeyboardShiftDuration,
                                [moved] { UIViewAdditions::setTop(*moved, 0); });
}

}  // namespace keyboardshift
