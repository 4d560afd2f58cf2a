#include "ui/toolkit/CellBulletin.h"

#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace {

std::shared_ptr<UILabel> makeLabel(int grey, CGFloat fontSize) {
    auto label = std::make_shared<UILabel>();
    label->setTextColor(UIColor::grey255(grey));
    label->setBackgroundColor(UIColor::clearColor());
    label->setFont(UIFont::systemFontOfSize(fontSize));
    return label;
}

}  // namespace

CellBulletin::CellBulletin(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier) {
    setBackgroundColor(UIColor::clearColor());
}

void CellBulletin::showCellWithMod(const MODBulletin& mod) {
    if (!box_) {
        box_ = std::make_shared<UIView>();
        box_->setBackgroundColor(UIColor::whiteColor());
        box_->layer().setCornerRadius(5);
        box_->layer().setBorderWidth(1);
        box_->layer().setBorderColor(UIColor::grey255(220));
        addSubview(box_);
    }
    if (!title_) {
        title_ = makeLabel(10, 16);
        title_->setNumberOfLines(0);
        box_->addSubview(title_);
    }
    if (!txtdetail_) {
        txtdetail_ = makeLabel(120, 12);
        txtdetail_->setNumberOfLines(0);
        box_->addSubview(txtdetail_);
    }
    if (!split_) {
        split_ = std::make_shared<UIView>();
        split_->setBackgroundColor(UIColor::grey255(220));
        box_->addSubview(split_);
    }
    if (!date_) {
        date_ = makeLabel(180, 12);
        date_->setTextAlignment(NSTextAlignment::Left);
        box_->addSubview(date_);
    }
    if (!publish_) {
        publish_ = makeLabel(180, 12);
        publish_->setTextAlignment(NSTextAlignment::Right);
        box_->addSubview(publish_);
    }
    if (!imgDetail_) {
        imgDetail_ = std::make_shared<UIImageView>(
            UIImageTintColor::imageWithTintColor(UIColor::grey255(180), "detail_Icon"));
        box_->addSubview(imgDetail_);
    }
    applyFrames();

    title_->setText(mod.title);
    txtdetail_->setText(mod.content);
    date_->setText(mod.date);
    publish_->setText(mod.publish);
}

void CellBulletin::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    applyFrames();
}

void CellBulletin::applyFrames() {
    if (!box_) return;  // nothing shown yet
    const CGFloat W = bounds().size.width;
    box_->setFrame(CGRectMake(10, 10, W - 20, 100));
    const CGRect card = box_->bounds();
    title_->setFrame(CGRectMake(10, 10, card.size.width - 20, card.size.height - 60));
    txtdetail_->setFrame(CGRectMake(10, CGRectGetMaxY(title_->frame()), card.size.width - 20, 20));
    split_->setFrame(CGRectMake(10, card.size.height - 30, card.size.width - 20, 1));
    const CGRect rule = split_->frame();
    date_->setFrame(CGRectMake(rule.origin.x, rule.origin.y, rule.size.width, 25));
    publish_->setFrame(CGRectMake(rule.origin.x, rule.origin.y, rule.size.width - 18, 25));
    imgDetail_->setFrame(
        CGRectMake(CGRectGetMaxX(publish_->frame()) + 5, rule.origin.y + 5, 16, 16));
}
