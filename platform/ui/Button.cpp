#include "platform/ui/Button.h"

#include <algorithm>
#include <cmath>

namespace platform::ui {

UIButtonPtr UIButton::buttonWithType(UIButtonType type) {
    auto b = std::make_shared<UIButton>();
    b->type_ = type;
    b->refresh();
    return b;
}

UIButton::UIButton(const CGRect& frame) : UIControl(frame) {
    setOpaque(false);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::systemFontOfSize(15));
    titleLabel_->setTextAlignment(NSTextAlignment::Center);
    imageView_ = std::make_shared<UIImageView>();
    imageView_->setContentMode(UIViewContentMode::Center);
    addSubview(imageView_);
    addSubview(titleLabel_);
    refresh();
}

template <typename T>
const T* UIButton::lookup(const std::map<unsigned, T>& table, unsigned state) {
    if (auto it = table.find(state); it != table.end()) return &it->second;
    // Combined states fall back to their single parts, then to normal.
    for (unsigned part :
         {UIControlStateDisabled, UIControlStateSelected, UIControlStateHighlighted})
        if (state & part)
            if (auto it = table.find(part); it != table.end()) return &it->second;
    if (auto it = table.find(UIControlStateNormal); it != table.end()) return &it->second;
    return nullptr;
}

void UIButton::setTitle(const std::string& t, unsigned state) {
    titles_[state] = t;
    refresh();
}
std::string UIButton::titleForState(unsigned state) const {
    const auto* t = lookup(titles_, state);
    return t ? *t : std::string();
}

void UIButton::setTitleColor(const UIColor& c, unsigned state) {
    titleColors_[state] = c;
    refresh();
}
UIColor UIButton::titleColorForState(unsigned state) const {
    if (const auto* c = lookup(titleColors_, state)) return *c;
    if (type_ == UIButtonType::System) {
        UIColor tint = tintColor();
        if (state & UIControlStateHighlighted) tint.alpha *= 0.2;
        if (state & UIControlStateDisabled) return UIColor::colorWithWhite(0.5, 0.5);
        return tint;
    }
    return UIColor::whiteColor();
}

void UIButton::setImage(UIImagePtr i, unsigned state) {
    images_[state] = std::move(i);
    refresh();
}
UIImagePtr UIButton::imageForState(unsigned state) const {
    const auto* i = lookup(images_, state);
    return i ? *i : nullptr;
}

void UIButton::setBackgroundImage(UIImagePtr i, unsigned state) {
    backgrounds_[state] = std::move(i);
    setNeedsDisplay();
}
UIImagePtr UIButton::backgroundImageForState(unsigned state) const {
    const auto* i = lookup(backgrounds_, state);
    return i ? *i : nullptr;
}

UILabel* UIButton::titleLabel() {
    return titleLabel_.get();
}
UIImageView* UIButton::imageView() {
    return imageView_.get();
}

void UIButton::setContentEdgeInsets(UIEdgeInsets i) {
    contentInsets_ = i;
    setNeedsLayout();
}
void UIButton::setTitleEdgeInsets(UIEdgeInsets i) {
    titleInsets_ = i;
    setNeedsLayout();
}
void UIButton::setImageEdgeInsets(UIEdgeInsets i) {
    imageInsets_ = i;
    setNeedsLayout();
}

void UIButton::tintColorDidChange() {
    refresh();
}

void UIButton::refresh() {
    updateContent();
    setNeedsLayout();
    setNeedsDisplay();
}

void UIButton::updateContent() {
    const unsigned s = state();
    titleLabel_->setText(titleForState(s));
    titleLabel_->setTextColor(titleColorForState(s));
    titleLabel_->setHidden(titleLabel_->text().empty());
    imageView_->setImage(imageForState(s));
    imageView_->setHidden(!imageView_->image());
    imageView_->setAlpha(adjustsImageWhenHighlighted && (s & UIControlStateHighlighted) ? 0.6 : 1);
    if (lastBackground_ != currentBackgroundImage()) {
        lastBackground_ = currentBackgroundImage();
        setNeedsDisplay();
    }
}

void UIButton::layoutSubviews() {
    updateContent();
    const CGRect content = UIEdgeInsetsInsetRect(bounds(), contentInsets_);
    const CGSize image = imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    CGSize title = titleLabel_->text().empty() ? CGSizeZero : titleLabel_->sizeThatFits({0, 0});
    CGRect titleArea = UIEdgeInsetsInsetRect(
        CGRectMake(content.origin.x + image.width, content.origin.y,
                   std::max(0.0, content.size.width - image.width), content.size.height),
        titleInsets_);
    title.width = std::min(title.width, std::max(0.0, titleArea.size.width));
    title.height = std::min(title.height, std::max(0.0, titleArea.size.height));
    const double total = image.width + title.width;
    double x = content.origin.x + (content.size.width - total) / 2;
    if (contentHorizontalAlignment == UIControlContentHorizontalAlignment::Left)
        x = content.origin.x;
    if (contentHorizontalAlignment == UIControlContentHorizontalAlignment::Right)
        x = content.origin.x + content.size.width - total;
    const double cy = CGRectGetMidY(content);
    imageView_->setFrame(UIEdgeInsetsInsetRect(
        CGRectMake(x, cy - image.height / 2, image.width, image.height), imageInsets_));
    const double titleX = std::max(titleArea.origin.x,
                                   x + image.width + (titleInsets_.left - titleInsets_.right) / 2);
    const double titleY = CGRectGetMidY(titleArea) - title.height / 2;
    titleLabel_->setFrame(CGRectMake(std::round(titleX * 2) / 2, std::round(titleY * 2) / 2,
                                     title.width, title.height));
}

CGSize UIButton::sizeThatFits(CGSize) const {
    CGSize title = titleLabel_->text().empty() ? CGSizeZero : titleLabel_->sizeThatFits({0, 0});
    CGSize image = imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    double w = title.width + image.width + contentInsets_.left + contentInsets_.right;
    double h = std::max(title.height, image.height) + contentInsets_.top + contentInsets_.bottom;
    if (auto bg = currentBackgroundImage()) {
        w = std::max(w, bg->size().width);
        h = std::max(h, bg->size().height);
    }
    return {std::ceil(w), std::ceil(h)};
}

void UIButton::drawRect(CGRect) {
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    if (auto bg = currentBackgroundImage()) ctx->drawImage(*bg, bounds());
    if (showsTouchWhenHighlighted && isHighlighted()) {
        ctx->setFillColor(UIColor::colorWithWhite(1, 0.3));
        ctx->fillEllipseInRect(
            CGRectInset(bounds(), bounds().size.width / 4, bounds().size.height / 4));
    }
}

}  // namespace platform::ui
