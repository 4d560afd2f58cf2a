#include "ui/toolkit/CellItem.h"

#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

CellItem::CellItem(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier) {}

void CellItem::showItemWithLabel(const std::string& label, const std::string& Value,
                                 CGFloat LabelWidth) {
    if (!background_) {
        const CGRect b = bounds();
        const UIColor ink = UIColor::grey255(20);
        background_ = std::make_shared<UIView>(CGRectMake(0, 0, LabelWidth, b.size.height));
        background_->setBackgroundColor(kavtheme::primaryText());
        contentView()->addSubview(background_);
        cellLabel_ = std::make_shared<UILabel>(CGRectMake(10, 0, LabelWidth - 10, b.size.height));
        cellLabel_->setTextColor(ink);
        cellLabel_->setTextAlignment(NSTextAlignment::Left);
        cellLabel_->setBackgroundColor(UIColor::clearColor());
        contentView()->addSubview(cellLabel_);
        cellValue_ =
            std::make_shared<UILabel>(CGRectMake(CGRectGetMaxX(cellLabel_->frame()) + 10, 0,
                                                 b.size.width - LabelWidth - 20, b.size.height));
        cellValue_->setTextColor(ink);
        cellValue_->setTextAlignment(NSTextAlignment::Right);
        cellValue_->setBackgroundColor(UIColor::clearColor());
        contentView()->addSubview(cellValue_);
    }
    cellLabel_->setText(label);
    cellValue_->setText(Value);
}
