#include "ui/trade/LimitOpenCell.h"

#include "Core/CalculateUtils.h"
#include "platform/Strings.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/TradeCellKit.h"

using namespace platform::ui;

std::string LSLimitOpen::limitTypeString() const {
    switch (limitType) {
        case 1:
        case 3:
            return "止限单";
        case 2:
        case 4:
            return "停损单";
        default:
            return platform::stringf("%u", limitType);
    }
}

LimitOpenCell::LimitOpenCell(UITableViewCellStyle style, const std::string& reuseIdentifier,
                             const ScreenContext& context)
    : BaseTableViewCell(style, reuseIdentifier, context) {}

LimitOpenCell::~LimitOpenCell() = default;

void LimitOpenCell::makeViews() {
    using cellkit::makeLabel;
    UIView* content = contentView();
    const UIColor back = kavtheme::panelBackground();
    symbolNameLabel_ = makeLabel(16, kavtheme::primaryText(), NSTextAlignment::Left, back);
    quantityOrderLabel_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    openDateLabel_ = makeLabel(14, kavtheme::primaryText(), NSTextAlignment::Right, back);
    markPriceLabel_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    priceTakeProfit_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    orderPriceLabel_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    priceStopLoseLabel_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    limitTypeLabel_ = makeLabel(20, kavtheme::dimText(), NSTextAlignment::Right, back);
    for (const auto& l : {symbolNameLabel_, quantityOrderLabel_, openDateLabel_, markPriceLabel_,
                          priceTakeProfit_, orderPriceLabel_, priceStopLoseLabel_, limitTypeLabel_})
        content->addSubview(l);
    expandImageView_ = std::make_shared<UIImageView>(cellkit::expandIcon());
    content->addSubview(expandImageView_);

    expandView_ = std::make_shared<UIView>();
    expandView_->setBackgroundColor(UIColor::blackColor());
    expandView_->setHidden(true);
    cancleButton_ = std::make_shared<UIButton>(CGRectMake(10, 10, 80, 30));
    cancleButton_->setTitle("撤单", UIControlStateNormal);
    cancleButton_->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
    cancleButton_->setBackgroundColor(kavtheme::accent());
    cancleButton_->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    cancleButton_->addTarget(weakSelf<LimitOpenCell>(), &LimitOpenCell::viewPressed,
                             UIControlEventTouchUpInside);
    expandView_->addSubview(cancleButton_);
    content->addSubview(expandView_);

    separatorView_ = cellkit::makeSeparator();
    content->addSubview(separatorView_);
    setNeedsLayout();
}

void LimitOpenCell::displayCellWithLSLimitOpen(const LSLimitOpen& order,
                                               const MODSymbolInfo* symbol) {
    if (!symbolNameLabel_) makeViews();
    order_ = order;
    setBackgroundColor(kavtheme::panelBackground());
    contentView()->setBackgroundColor(kavtheme::panelBackground());

    auto price = [symbol](const platform::Decimal& value) { return cellkit::price(value, symbol); };
    symbolNameLabel_->setText(order.symbolName);
    // A buy however the dealer spells it, as the service marks it.
    quantityOrderLabel_->setText(
        std::string(CalculateUtils::isBuyCode(order.bsCode) ? "买" : "卖") + " " +
        KAStringUtils::notRounding(order.quantityOrder, 0));
    openDateLabel_->setText(lsconvert::dateText(order.openDate, "MM-dd HH:mm:ss"));
    markPriceLabel_->setText("最新：" + price(order.markPrice));
    priceTakeProfit_->setText(
        order.priceTakeProfit.isZero() ? std::string() : "止盈：" + price(order.priceTakeProfit));
    orderPriceLabel_->setText("挂单：" + price(order.orderPrice));
    priceStopLoseLabel_->setText(
        order.priceStopLose.isZero() ? std::string() : "止损：" + price(order.priceStopLose));
    limitTypeLabel_->setText(order.limitTypeString());
    setNeedsLayout();
}

void LimitOpenCell::layoutSubviews() {
    BaseTableViewCell::layoutSubviews();
    if (!symbolNameLabel_) return;
    const CGFloat W = bounds().size.width;
    symbolNameLabel_->setFrame(CGRectMake(10, 0, W / 2 - 25, 25));
    const CGRect name = symbolNameLabel_->frame();
    quantityOrderLabel_->setFrame(CGRectMake(CGRectGetMaxX(name), name.origin.y, 60, 20));
    openDateLabel_->setFrame(
        CGRectMake(CGRectGetMaxX(quantityOrderLabel_->frame()), name.origin.y, W / 2 - 55, 20));
    markPriceLabel_->setFrame(CGRectMake(name.origin.x, CGRectGetMaxY(name) + 2, W / 3, 16));
    const CGRect mark = markPriceLabel_->frame();
    priceTakeProfit_->setFrame(CGRectMake(CGRectGetMaxX(mark), mark.origin.y, W / 3, 16));
    orderPriceLabel_->setFrame(CGRectMake(mark.origin.x, CGRectGetMaxY(mark) + 2, W / 3, 16));
    const CGRect orderPrice = orderPriceLabel_->frame();
    priceStopLoseLabel_->setFrame(
        CGRectMake(CGRectGetMaxX(orderPrice), orderPrice.origin.y, W / 3, 16));
    const CGRect takeProfit = priceTakeProfit_->frame();
    limitTypeLabel_->setFrame(
        CGRectMake(CGRectGetMaxX(takeProfit), takeProfit.origin.y + 5, W / 3 - 40, 24));
    const CGRect kind = limitTypeLabel_->frame();
    const bool open = order_.isExpanded;
    cellkit::placeExpandIcon(*expandImageView_,
                             CGRectMake(CGRectGetMaxX(kind) + 10, kind.origin.y, 16, 16), open);
    expandView_->setHidden(!open);
    if (open) expandView_->setFrame(CGRectMake(0, CGRectGetMaxY(orderPrice) + 10, W, 50));
    separatorView_->setFrame(CGRectMake(0, (open ? kExpandedRowHeight : kRowHeight) - 0.5, W,
                                        kavtheme::kSeparatorHeight));
}

void LimitOpenCell::viewPressed(UIControl*) {
    // Only the open row shows the button. A finger that came down on it
    // lifts on the cell the table last gave it, which may show another
    // order by then (a row went while the finger was down): that
    // order is not the one the finger chose.
    if (!order_.isExpanded) return;
    if (auto d = delegate.lock()) d->onCancelLimitOpenWith(order_);
}
