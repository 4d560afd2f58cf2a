#include "ui/toolkit/UIViewAdditions.h"

#include "platform/ui/ScrollView.h"

using namespace platform::ui;

CGFloat UIViewAdditions::left(const UIView& view) {
    return view.frame().origin.x;
}
void UIViewAdditions::setLeft(UIView& view, CGFloat x) {
    CGRect f = view.frame();
    f.origin.x = x;
    view.setFrame(f);
}
CGFloat UIViewAdditions::top(const UIView& view) {
    return view.frame().origin.y;
}
void UIViewAdditions::setTop(UIView& view, CGFloat y) {
    CGRect f = view.frame();
    f.origin.y = y;
    view.setFrame(f);
}
CGFloat UIViewAdditions::right(const UIView& view) {
    return view.frame().origin.x + view.frame().size.width;
}
void UIViewAdditions::setRight(UIView& view, CGFloat right) {
    CGRect f = view.frame();
    f.origin.x = right - f.size.width;
    view.setFrame(f);
}
CGFloat UIViewAdditions::bottom(const UIView& view) {
    return view.frame().origin.y + view.frame().size.height;
}
void UIViewAdditions::setBottom(UIView& view, CGFloat bottom) {
    CGRect f = view.frame();
    f.origin.y = bottom - f.size.height;
    view.setFrame(f);
}
CGFloat UIViewAdditions::centerX(const UIView& view) {
    return view.center().x;
}
void UIViewAdditions::setCenterX(UIView& view, CGFloat x) {
    view.setCenter({x, view.center().y});
}
CGFloat UIViewAdditions::centerY(const UIView& view) {
    return view.center().y;
}
void UIViewAdditions::setCenterY(UIView& view, CGFloat y) {
    view.setCenter({view.center().x, y});
}
CGFloat UIViewAdditions::width(const UIView& view) {
    return view.frame().size.width;
}
void UIViewAdditions::setWidth(UIView& view, CGFloat width) {
    CGRect f = view.frame();
    f.size.width = width;
    view.setFrame(f);
}
CGFloat UIViewAdditions::height(const UIView& view) {
    return view.frame().size.height;
}
void UIViewAdditions::setHeight(UIView& view, CGFloat height) {
    CGRect f = view.frame();
    f.size.height = height;
    view.setFrame(f);
}
CGPoint UIViewAdditions::origin(const UIView& view) {
    return view.frame().origin;
}
void UIViewAdditions::setOrigin(UIView& view, CGPoint origin) {
    CGRect f = view.frame();
    f.origin = origin;
    view.setFrame(f);
}
CGSize UIViewAdditions::size(const UIView& view) {
    return view.frame().size;
}
void UIViewAdditions::setSize(UIView& view, CGSize size) {
    CGRect f = view.frame();
    f.size = size;
    view.setFrame(f);
}

CGFloat UIViewAdditions::viewScreenX(const UIView& view) {
    CGFloat x = 0;
    for (const UIView* v = &view; v; v = v->superviewRaw())
        x += left(*v);
    return x;
}
CGFloat UIViewAdditions::viewScreenY(const UIView& view) {
    CGFloat y = 0;
    for (const UIView* v = &view; v; v = v->superviewRaw())
        y += top(*v);
    return y;
}
CGFloat UIViewAdditions::screenViewX(const UIView& view) {
    CGFloat x = 0;
    for (const UIView* v = &view; v; v = v->superviewRaw()) {
        x += left(*v);
        if (const auto* scroll = dynamic_cast<const UIScrollView*>(v))
            x -= scroll->contentOffset().x;
    }
    return x;
}
CGFloat UIViewAdditions::screenViewY(const UIView& view) {
    CGFloat y = 0;
    for (const UIView* v = &view; v; v = v->superviewRaw()) {
        y += top(*v);
        if (const auto* scroll = dynamic_cast<const UIScrollView*>(v))
            y -= scroll->contentOffset().y;
    }
    return y;
}
CGRect UIViewAdditions::screenFrame(const UIView& view) {
    return CGRectMake(screenViewX(view), screenViewY(view), width(view), height(view));
}

void UIViewAdditions::removeAllSubviews(UIView& view) {
    while (!view.subviews().empty()) {
        // The superview's list holds the last reference: keep the view alive
        // until it has left.
        UIViewPtr last = view.subviews().back();
        last->removeFromSuperview();
    }
}
