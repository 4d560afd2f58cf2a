#include "platform/ui/Toolbar.h"
#include "platform/ui/NavigationBar.h"

#include <algorithm>

namespace platform::ui {

namespace {
constexpr double kSideMargin = 8;
constexpr double kItemGap = 8;
}  // namespace

UIToolbar::UIToolbar(const CGRect& frame) : UIView(frame) {
    setOpaque(false);
}

void UIToolbar::setItems(const std::vector<UIBarButtonItemPtr>& items, bool) {
    for (auto& item : items_)
        if (item) item->changed = nullptr;
    items_ = items;
    for (auto& item : items_)
        if (item)
            item->changed = [weak = weakSelf<UIToolbar>()] {
                if (auto bar = weak.lock()) bar->rebuild();
            };
    rebuild();
}

void UIToolbar::setBarStyle(UIBarStyle s) {
    barStyle_ = s;
    rebuild();
    setNeedsDisplay();
}

void UIToolbar::setBarTintColor(std::optional<UIColor> c) {
    barTintColor_ = c;
    setNeedsDisplay();
}

UIView* UIToolbar::viewForItem(const UIBarButtonItem* item) const {
    for (size_t i = 0; i < items_.size() && i < views_.size(); ++i)
        if (items_[i].get() == item) return views_[i].get();
    return nullptr;
}

void UIToolbar::rebuild() {
    for (auto& v : views_)
        if (v) v->removeFromSuperview();
    views_.clear();
    const UIColor tint = tintColor();
    for (auto& item : items_) {
        UIViewPtr v =
            item && !item->isSpace() ? UINavigationBar::makeItemView(item, tint, false) : nullptr;
        if (v) addSubview(v);
        views_.push_back(v);
    }
    setNeedsLayout();
}

void UIToolbar::layoutSubviews() {
    const CGRect b = bounds();
    double fixed = 0;
    int flexible = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        if (!item) continue;
        if (item->systemItem == UIBarButtonSystemItem::FlexibleSpace)
            ++flexible;
        else if (item->systemItem == UIBarButtonSystemItem::FixedSpace)
            fixed += item->width;
        else if (views_[i])
            fixed += views_[i]->frame().size.width + kItemGap;
    }
    // No gap after the last item: it ends at the margin.
    const bool anyView =
        std::any_of(views_.begin(), views_.end(), [](auto& v) { return v != nullptr; });
    const double spare =
        std::max(0.0, b.size.width - 2 * kSideMargin - fixed + (anyView ? kItemGap : 0));
    double x = kSideMargin;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        if (!item) continue;
        if (item->systemItem == UIBarButtonSystemItem::FlexibleSpace) {
            x += flexible ? spare / flexible : 0;
        } else if (item->systemItem == UIBarButtonSystemItem::FixedSpace) {
            x += item->width;
        } else if (views_[i]) {
            CGSize s = views_[i]->frame().size;
            views_[i]->setFrame(CGRectMake(x, (b.size.height - s.height) / 2, s.width, s.height));
            x += s.width + kItemGap;
        }
    }
}

void UIToolbar::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    UIColor bg = barTintColor_.value_or(barStyle_ == UIBarStyle::Default
                                            ? UIColor::rgb255(247, 247, 247, 0.96)
                                            : UIColor::grey255(10, 0.94));
    c->setFillColor(bg);
    c->fillRect(bounds());
    c->setFillColor(UIColor::colorWithWhite(barStyle_ == UIBarStyle::Default ? 0.7 : 0.2, 1));
    c->fillRect(CGRectMake(0, 0, bounds().size.width, 0.5));
}

}  // namespace platform::ui
