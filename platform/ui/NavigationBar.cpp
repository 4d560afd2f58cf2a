#include "platform/ui/NavigationBar.h"

#include <algorithm>

#include "platform/ui/Button.h"
#include "platform/ui/Image.h"

namespace platform::ui {

namespace {

constexpr double kItemMargin = 8;

// Draws an image item's picture as a template: its opaque shape in the tint.
class TemplateImageView : public UIView {
  public:
    TemplateImageView(UIImagePtr image, UIColor tint) : image_(std::move(image)), tint_(tint) {
        setUserInteractionEnabled(false);
        setOpaque(false);
    }
    void drawRect(CGRect) override {
        auto* ctx = UIGraphicsGetCurrentContext();
        if (!ctx || !image_) return;
        CGSize s = image_->size();
        CGRect r = CGRectMake((bounds().size.width - s.width) / 2,
                              (bounds().size.height - s.height) / 2, s.width, s.height);
        UIGraphicsBeginImageContextWithOptions(s, false, 0);
        auto* tmp = UIGraphicsGetCurrentContext();
        tmp->setFillColor(tint_);
        tmp->fillRect({{0, 0}, s});
        tmp->setBlendMode(CGBlendMode::DestinationIn);
        tmp->drawImage(*image_, {{0, 0}, s});
        auto tinted = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        ctx->drawImage(*tinted, r);
    }

  private:
    UIImagePtr image_;
    UIColor tint_;
};

// The keyboard bar's previous (left) or next (right) chevron: a template
// image of 12 x 20 points, drawn once.
UIImagePtr chevron(bool next) {
    static UIImagePtr images[2];
    UIImagePtr& image = images[next ? 1 : 0];
    if (image) return image;
    const CGSize size{12, 20};
    UIGraphicsBeginImageContextWithOptions(size, false, 2);
    auto* c = UIGraphicsGetCurrentContext();
    c->setStrokeColor(UIColor::blackColor());
    c->setLineWidth(2.5);
    c->setLineCap(CGLineCap::Round);
    c->setLineJoin(CGLineJoin::Round);
    c->beginPath();
    const double tip = next ? 10 : 2, back = next ? 2 : 10;
    c->moveToPoint(back, 2);
    c->addLineToPoint(tip, 10);
    c->addLineToPoint(back, 18);
    c->strokePath();
    image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

}  // namespace

UINavigationBar::UINavigationBar(const CGRect& frame) : UIView(frame) {
    setOpaque(false);
    title_ = std::make_shared<UILabel>();
    title_->setTextAlignment(NSTextAlignment::Center);
    title_->setFont(UIFont::boldSystemFontOfSize(17));
    addSubview(title_);
}

void UINavigationBar::setBarStyle(UIBarStyle s) {
    barStyle_ = s;
    rebuild();
    setNeedsDisplay();
}

void UINavigationBar::setBarTintColor(std::optional<UIColor> c) {
    barTintColor_ = c;
    setNeedsDisplay();
}

UIColor UINavigationBar::backgroundColorForStyle() const {
    if (barTintColor_) return *barTintColor_;
    return barStyle_ == UIBarStyle::Default ? UIColor::rgb255(247, 247, 247, 0.96)
                                            : UIColor::grey255(10, 0.94);
}

UIViewPtr UINavigationBar::makeItemView(const UIBarButtonItemPtr& item, UIColor tint, bool bold) {
    if (!item) return nullptr;
    if (item->customView) return item->customView;
    if (item->tintColor) tint = *item->tintColor;
    auto button = std::make_shared<UIButton>();
    std::weak_ptr<UIBarButtonItem> weak = item;
    button->addTarget(
        [weak](UIControl*, UIEvent*) {
            if (auto it = weak.lock()) it->sendAction();
        },
        UIControlEventTouchUpInside);
    button->setEnabled(item->isEnabled());
    CGSize size{0, UINavigationBar::kHeight};
    const bool arrow = !item->image && (item->systemItem == UIBarButtonSystemItem::PreviousArrow ||
                                        item->systemItem == UIBarButtonSystemItem::NextArrow);
    if (arrow) {
        // Chevrons, not text glyphs: clear at any size, and a disabled one
        // stays readable on a dark bar.
        auto picture = std::make_shared<TemplateImageView>(
            chevron(item->systemItem == UIBarButtonSystemItem::NextArrow),
            item->isEnabled() ? tint : UIColor::grey255(142));
        size.width = 30;
        // The button takes its size first: the picture, sized to it, would
        // otherwise grow with it again and show its chevron off centre.
        button->setFrame({{0, 0}, size});
        picture->setFrame({{0, 0}, size});
        picture->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleHeight);
        button->addSubview(picture);
        button->setAccessibilityLabel(item->displayTitle());
    } else if (item->image) {
        auto picture = std::make_shared<TemplateImageView>(
            item->image, item->isEnabled() ? tint : tint.colorWithAlphaComponent(0.35));
        size.width = std::max(item->image->size().width, 30.0);
        button->setFrame({{0, 0}, size});
        picture->setFrame({{0, 0}, size});
        picture->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleHeight);
        button->addSubview(picture);
    } else {
        button->setTitle(item->displayTitle(), UIControlStateNormal);
        button->setTitleColor(tint, UIControlStateNormal);
        button->setTitleColor(tint.colorWithAlphaComponent(0.3), UIControlStateHighlighted);
        button->setTitleColor(tint.colorWithAlphaComponent(0.35), UIControlStateDisabled);
        button->titleLabel()->setFont(bold || item->style == UIBarButtonItemStyle::Done
                                          ? UIFont::boldSystemFontOfSize(17)
                                          : UIFont::systemFontOfSize(17));
        size.width = button->sizeThatFits({0, 0}).width + 8;
    }
    if (item->width > 0) size.width = item->width;
    button->setFrame({{0, 0}, size});
    return button;
}

void UINavigationBar::showItem(UINavigationItem* item, UINavigationItem* back,
                               const std::string& backTitle, std::function<void()> backAction) {
    if (item_ && item_ != item) item_->changed = nullptr;
    item_ = item;
    back_ = back;
    backTitle_ = backTitle;
    backAction_ = std::move(backAction);
    // Items outlive bars (a popped screen keeps its item): only a live bar
    // rebuilds.
    std::weak_ptr<UINavigationBar> weak = weakSelf<UINavigationBar>();
    if (item_)
        item_->changed = [weak] {
            if (auto bar = weak.lock()) bar->rebuild();
        };
    rebuild();
}

void UINavigationBar::rebuild() {
    if (left_) left_->removeFromSuperview();
    if (right_) right_->removeFromSuperview();
    if (titleView_) titleView_->removeFromSuperview();
    left_.reset();
    right_.reset();
    titleView_.reset();
    const UIColor tint = tintColor();
    title_->setTextColor(titleColor ? *titleColor
                                    : (barStyle_ == UIBarStyle::Default ? UIColor::blackColor()
                                                                        : UIColor::whiteColor()));
    if (titleFont) title_->setFont(*titleFont);
    if (!item_) {
        title_->setText("");
        return;
    }
    title_->setText(item_->title);
    if (item_->titleView) {
        titleView_ = item_->titleView;
        addSubview(titleView_);
    }
    title_->setHidden(titleView_ != nullptr);
    if (item_->leftBarButtonItem) {
        left_ = makeItemView(item_->leftBarButtonItem, tint, false);
    } else if (back_ && !item_->hidesBackButton) {
        auto back = UIBarButtonItem::itemWithTitle(
            "‹ " + (backTitle_.empty() ? std::string("Back") : backTitle_),
            UIBarButtonItemStyle::Plain, [action = backAction_](UIBarButtonItem*) {
                if (action) action();
            });
        item_->backBarButtonItem = back;
        left_ = makeItemView(back, tint, false);
    }
    if (item_->rightBarButtonItem) right_ = makeItemView(item_->rightBarButtonItem, tint, false);
    for (auto* it : {item_->leftBarButtonItem.get(), item_->rightBarButtonItem.get()})
        if (it)
            it->changed = [weak = weakSelf<UINavigationBar>()] {
                if (auto bar = weak.lock()) bar->rebuild();
            };
    if (left_) addSubview(left_);
    if (right_) addSubview(right_);
    setNeedsLayout();
}

void UINavigationBar::layoutSubviews() {
    const CGRect b = bounds();
    double leftEdge = kItemMargin, rightEdge = b.size.width - kItemMargin;
    if (left_) {
        CGRect f = left_->frame();
        left_->setFrame(CGRectMake(kItemMargin, (b.size.height - f.size.height) / 2, f.size.width,
                                   f.size.height));
        leftEdge = kItemMargin + f.size.width + kItemMargin;
    }
    if (right_) {
        CGRect f = right_->frame();
        right_->setFrame(CGRectMake(b.size.width - kItemMargin - f.size.width,
                                    (b.size.height - f.size.height) / 2, f.size.width,
                                    f.size.height));
        rightEdge = b.size.width - kItemMargin - f.size.width - kItemMargin;
    }
    // The title is centred on the bar when it fits between the items.
    const double room =
        std::max(0.0, std::min(b.size.width / 2 - leftEdge, rightEdge - b.size.width / 2));
    if (titleView_) {
        CGRect f = titleView_->frame();
        titleView_->setCenter({b.size.width / 2, b.size.height / 2});
        (void)f;
    } else {
        CGSize t = title_->sizeThatFits({0, 0});
        const double w = std::min(t.width, 2 * room);
        title_->setFrame(
            CGRectMake(b.size.width / 2 - w / 2, (b.size.height - t.height) / 2, w, t.height));
    }
}

void UINavigationBar::drawRect(CGRect) {
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    ctx->setFillColor(backgroundColorForStyle());
    ctx->fillRect(bounds());
    ctx->setFillColor(UIColor::colorWithWhite(barStyle_ == UIBarStyle::Default ? 0.7 : 0.2, 1));
    ctx->fillRect(CGRectMake(0, bounds().size.height - 0.5, bounds().size.width, 0.5));
}

}  // namespace platform::ui
