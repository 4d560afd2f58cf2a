#include "ui/toolkit/TriangleView.h"

#include "platform/ui/Canvas.h"

using namespace platform::ui;

TriangleView::TriangleView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    setNeedsDisplay();
}

void TriangleView::setColor(const UIColor& color) {
    if (markColor_ == color) return;
    markColor_ = color;
    setNeedsDisplay();
}

void TriangleView::drawRect(CGRect) {
    Canvas* c = UIGraphicsGetCurrentContext();
    if (!c || !markColor_) return;
    const CGFloat w = bounds().size.width;
    c->beginPath();
    c->moveToPoint(0, 0);
    c->addLineToPoint(w, 1.5 * w);
    c->addLineToPoint(0, 3 * w);
    c->closePath();
    c->setFillColor(*markColor_);
    c->setRGBStrokeColor(markColor_->red, markColor_->green, markColor_->blue, markColor_->alpha);
    c->setLineWidth(1);
    c->drawPath(CGPathDrawingMode::FillStroke);
}
