#include "platform/ui/RefreshControl.h"

#include <cmath>

#include "platform/ui/ScrollView.h"

namespace platform::ui {

UIRefreshControl::UIRefreshControl() : UIControl(CGRectMake(0, -kHeight, 320, kHeight)) {
    setOpaque(false);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
}

void UIRefreshControl::didMoveToSuperview() {
    if (auto* s = superviewRaw())
        setFrame(CGRectMake(0, -kHeight, s->bounds().size.width, kHeight));
}

void UIRefreshControl::setAttributedTitle(const std::string& t) {
    title_ = t;
    setNeedsDisplay();
}

void UIRefreshControl::beginRefreshing() {
    if (refreshing_) return;
    refreshing_ = true;
    if (auto* scroll = dynamic_cast<UIScrollView*>(superviewRaw())) {
        UIEdgeInsets in = scroll->contentInset();
        in.top += kHeight;
        scroll->setContentInset(in);
    }
    setNeedsDisplay();
}

void UIRefreshControl::endRefreshing() {
    if (!refreshing_) return;
    refreshing_ = false;
    if (auto* scroll = dynamic_cast<UIScrollView*>(superviewRaw())) {
        UIEdgeInsets in = scroll->contentInset();
        in.top -= kHeight;
        scroll->setContentInset(in);
        if (scroll->contentOffset().y < -in.top)
            scroll->setContentOffset({scroll->contentOffset().x, -in.top}, true);
    }
    setNeedsDisplay();
}

void UIRefreshControl::scrollViewDidEndDragging(UIScrollView* scroll) {
    if (refreshing_ || !isEnabled()) return;
    if (scroll->contentOffset().y > -scroll->contentInset().top - kHeight) return;
    beginRefreshing();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UIRefreshControl::drawRect(CGRect) {
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const CGRect b = bounds();
    // A ring of ticks, as the platform's spinner; the title under it.
    const CGPoint c{b.size.width / 2, 18};
    ctx->setStrokeColor(tintColor());
    ctx->setLineWidth(2);
    ctx->setLineCap(CGLineCap::Round);
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        ctx->setAlpha(refreshing_ ? 0.3 + 0.7 * i / 11 : 0.6);
        ctx->beginPath();
        ctx->moveToPoint(c.x + 5 * std::cos(a), c.y + 5 * std::sin(a));
        ctx->addLineToPoint(c.x + 9 * std::cos(a), c.y + 9 * std::sin(a));
        ctx->strokePath();
    }
    ctx->setAlpha(1);
    if (!title_.empty()) {
        TextStyle s;
        s.font = UIFont::systemFontOfSize(12);
        s.color = tintColor();
        s.alignment = NSTextAlignment::Center;
        s.numberOfLines = 1;
        ctx->drawText(title_, CGRectMake(0, 32, b.size.width, 18), s);
    }
}

}  // namespace platform::ui
