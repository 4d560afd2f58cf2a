#include "platform/ui/TableViewCell.h"

#include <algorithm>

namespace platform::ui {

namespace {

constexpr double kAccessoryRoom = 33;
constexpr double kDeleteWidth = 80;

// The standard accessories: a grey chevron or a check mark in the tint.
class AccessoryMark : public UIView {
  public:
    explicit AccessoryMark(UITableViewCellAccessoryType type)
        : UIView(CGRectMake(0, 0, 15, 15)), type_(type) {
        setUserInteractionEnabled(false);
        setOpaque(false);
    }
    void drawRect(CGRect) override {
        auto* c = UIGraphicsGetCurrentContext();
        if (!c) return;
        c->setLineWidth(2);
        c->setLineCap(CGLineCap::Round);
        c->setLineJoin(CGLineJoin::Round);
        c->beginPath();
        if (type_ == UITableViewCellAccessoryType::Checkmark) {
            c->setStrokeColor(tintColor());
            c->moveToPoint(2, 8);
            c->addLineToPoint(6, 12);
            c->addLineToPoint(13, 3);
        } else {
            c->setStrokeColor(UIColor::grey255(199));
            c->moveToPoint(5, 2);
            c->addLineToPoint(10, 7.5);
            c->addLineToPoint(5, 13);
        }
        c->strokePath();
    }
    std::string debugText() const override {
        return type_ == UITableViewCellAccessoryType::Checkmark ? "✓" : "";
    }

  private:
    UITableViewCellAccessoryType type_;
};

}  // namespace

UITableViewCell::UITableViewCell(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, 44)), reuseIdentifier_(reuseIdentifier), style_(style) {
    UIView::setBackgroundColor(UIColor::whiteColor());
    contentView_ = std::make_shared<UIView>(bounds());
    contentView_->setBackgroundColor(UIColor::clearColor());
    addSubview(contentView_);
}

UILabel* UITableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<UILabel>();
        textLabel_->setFont(UIFont::systemFontOfSize(18));
        textLabel_->setHighlightedTextColor(UIColor::blackColor());
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_.get();
}

UILabel* UITableViewCell::detailTextLabel() {
    if (!detailTextLabel_) {
        detailTextLabel_ = std::make_shared<UILabel>();
        detailTextLabel_->setFont(
            UIFont::systemFontOfSize(style_ == UITableViewCellStyle::Subtitle ? 12 : 17));
        detailTextLabel_->setTextColor(UIColor::grey255(142));
        if (style_ == UITableViewCellStyle::Value1)
            detailTextLabel_->setTextAlignment(NSTextAlignment::Right);
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_.get();
}

UIImageView* UITableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<UIImageView>();
        imageView_->setContentMode(UIViewContentMode::Center);
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_.get();
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType t) {
    if (t == accessoryType_) return;
    accessoryType_ = t;
    if (standardAccessory_) standardAccessory_->removeFromSuperview();
    standardAccessory_.reset();
    if (t != UITableViewCellAccessoryType::None) {
        standardAccessory_ = std::make_shared<AccessoryMark>(t);
        addSubview(standardAccessory_);
    }
    setNeedsLayout();
}

void UITableViewCell::setAccessoryView(UIViewPtr v) {
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(v);
    if (accessoryView_) addSubview(accessoryView_);
    setNeedsLayout();
}

void UITableViewCell::setBackgroundView(UIViewPtr v) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) insertSubviewAtIndex(backgroundView_, 0);
    setNeedsLayout();
}

void UITableViewCell::setBackgroundColor(const UIColor& c) {
    UIView::setBackgroundColor(c);
}

void UITableViewCell::applySelectionLook() {
    const bool show =
        (selected_ || highlighted_) && selectionStyle != UITableViewCellSelectionStyle::None;
    if (show && !highlightView_) {
        highlightView_ =
            selectedBackgroundView ? selectedBackgroundView : std::make_shared<UIView>();
        if (!selectedBackgroundView) highlightView_->setBackgroundColor(UIColor::grey255(217));
        highlightView_->setFrame(bounds());
        insertSubviewBelow(highlightView_, contentView_.get());
    } else if (!show && highlightView_) {
        highlightView_->removeFromSuperview();
        highlightView_.reset();
    }
    if (textLabel_) textLabel_->setHighlighted(show);
}

void UITableViewCell::setSelected(bool s, bool) {
    selected_ = s;
    applySelectionLook();
}

void UITableViewCell::setHighlighted(bool h, bool) {
    highlighted_ = h;
    applySelectionLook();
}

void UITableViewCell::showDeleteButton(const std::string& title, std::function<void()> action) {
    if (!deleteButton_) {
        deleteButton_ = std::make_shared<UIButton>();
        deleteButton_->setBackgroundColor(UIColor::rgb255(255, 59, 48));
        deleteButton_->titleLabel()->setFont(UIFont::systemFontOfSize(17));
        addSubview(deleteButton_);
    }
    deleteButton_->setTitle(title, UIControlStateNormal);
    deleteButton_->removeAllTargets();
    deleteButton_->addTarget([action](UIControl*, UIEvent*) { action(); },
                             UIControlEventTouchUpInside);
    setNeedsLayout();
}

void UITableViewCell::hideDeleteButton() {
    if (!deleteButton_) return;
    deleteButton_->removeFromSuperview();
    deleteButton_.reset();
    setNeedsLayout();
}

void UITableViewCell::layoutSubviews() {
    const CGRect b = bounds();
    const double shift = deleteButton_ ? kDeleteWidth : 0;
    double accessoryRoom = 0;
    UIView* accessory = accessoryView_ ? accessoryView_.get() : standardAccessory_.get();
    if (accessory) {
        CGSize s = accessory->frame().size;
        accessoryRoom = accessoryView_ ? s.width + 15 : kAccessoryRoom;
        accessory->setFrame(CGRectMake(b.size.width - shift - (accessoryView_ ? s.width + 15 : 25),
                                       (b.size.height - s.height) / 2, s.width, s.height));
    }
    contentView_->setFrame(CGRectMake(-shift, 0, b.size.width - accessoryRoom, b.size.height));
    if (backgroundView_) backgroundView_->setFrame(b);
    if (highlightView_) highlightView_->setFrame(b);
    if (deleteButton_)
        deleteButton_->setFrame(
            CGRectMake(b.size.width - kDeleteWidth, 0, kDeleteWidth, b.size.height));
    const CGRect c = contentView_->bounds();
    double x = 15;
    if (imageView_ && imageView_->image()) {
        CGSize s = imageView_->image()->size();
        imageView_->setFrame(CGRectMake(15, (c.size.height - s.height) / 2, s.width, s.height));
        x = 15 + s.width + 15;
    }
    const double w = std::max(0.0, c.size.width - x - 15);
    if (style_ == UITableViewCellStyle::Subtitle && detailTextLabel_ &&
        !detailTextLabel_->text().empty()) {
        if (textLabel_) textLabel_->setFrame(CGRectMake(x, c.size.height / 2 - 21, w, 21));
        detailTextLabel_->setFrame(CGRectMake(x, c.size.height / 2, w, 16));
    } else if (style_ == UITableViewCellStyle::Value1 && detailTextLabel_) {
        if (textLabel_) textLabel_->setFrame(CGRectMake(x, 0, w / 2, c.size.height));
        detailTextLabel_->setFrame(CGRectMake(x + w / 2, 0, w / 2, c.size.height));
    } else {
        if (textLabel_) textLabel_->setFrame(CGRectMake(x, 0, w, c.size.height));
        if (detailTextLabel_) detailTextLabel_->setFrame(CGRectZero);
    }
}

void UITableViewCell::drawRect(CGRect) {
    if (!drawsSeparator || separatorColor.isClear()) return;
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    ctx->setFillColor(separatorColor);
    const CGRect b = bounds();
    ctx->fillRect(CGRectMake(separatorInset.left, b.size.height - 0.5,
                             b.size.width - separatorInset.left - separatorInset.right, 0.5));
}

}  // namespace platform::ui
