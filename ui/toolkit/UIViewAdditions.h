#pragma once

#include "platform/ui/View.h"

// Frame accessors of a view by edge, centre and size, its position on the
// screen, and a sweep of its subviews. Setters keep what they do not name
// (setLeft keeps the size, setWidth keeps the origin, setCenterX keeps y).
class UIViewAdditions {
  public:
    using UIView = platform::ui::UIView;
    using CGFloat = platform::ui::CGFloat;

    static CGFloat left(const UIView& view);
    static void setLeft(UIView& view, CGFloat x);
    static CGFloat top(const UIView& view);
    static void setTop(UIView& view, CGFloat y);
    // The right edge; setting it moves the view so that it ends there.
    static CGFloat right(const UIView& view);
    static void setRight(UIView& view, CGFloat right);
    static CGFloat bottom(const UIView& view);
    static void setBottom(UIView& view, CGFloat bottom);
    static CGFloat centerX(const UIView& view);
    static void setCenterX(UIView& view, CGFloat x);
    static CGFloat centerY(const UIView& view);
    static void setCenterY(UIView& view, CGFloat y);
    static CGFloat width(const UIView& view);
    static void setWidth(UIView& view, CGFloat width);
    static CGFloat height(const UIView& view);
    static void setHeight(UIView& view, CGFloat height);
    static platform::ui::CGPoint origin(const UIView& view);
    static void setOrigin(UIView& view, platform::ui::CGPoint origin);
    static platform::ui::CGSize size(const UIView& view);
    static void setSize(UIView& view, platform::ui::CGSize size);

    // Sums of `left` (`top`) over the view and all its superviews.
    static CGFloat viewScreenX(const UIView& view);
    static CGFloat viewScreenY(const UIView& view);
    // The same, less the content offset of every scroll view of the chain
    // (the view itself included): where the view shows on the screen.
    static CGFloat screenViewX(const UIView& view);
    static CGFloat screenViewY(const UIView& view);
    // (screenViewX, screenViewY, width, height).
    static platform::ui::CGRect screenFrame(const UIView& view);

    // Removes the last subview until none is left.
    static void removeAllSubviews(UIView& view);
};
