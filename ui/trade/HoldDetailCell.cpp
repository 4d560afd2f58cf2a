#include "ui/trade/HoldDetailCell.h"

#include "Core/CalculateUtils.h"
#include "platform/ui/Text.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/LSConvert.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

std::shared_ptr<UILabel> cellLabel(CGFloat size, const UIColor& colour, NSTextAlignment alignment) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::systemFontOfSize(size));
    label->setTextColor(colour);
    label->setBackgroundColor(kavtheme::panelBackground());
    label->setTextAlignment(alignment);
    return label;
}

}  // namespace

HoldDetailCell::HoldDetailCell(UITableViewCellStyle style, const std::string& reuseIdentifier,
                               const ScreenContext& context)
    : BaseTableViewCell(style, reuseIdentifier, context) {}

HoldDetailCell::~HoldDetailCell() = default;

std::string HoldDetailCell::label(const std::string& caption) const {
    return sysdb() ? sysdb()->getLabelWithKey(caption, caption) : caption;
}

void HoldDetailCell::makeViews() {
    UIView* content = contentView();
    lblSymbolName_ = cellLabel(16, kavtheme::primaryText(), NSTextAlignment::Left);
    lblDirection_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblOpenTime_ = cellLabel(14, kavtheme::primaryText(), NSTextAlignment::Right);
    lblLatest_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblHold_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblTakeProfit_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblStopLose_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblFees_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblDynProfit_ = cellLabel(20, kavtheme::flat(), NSTextAlignment::Right);
    lblOpenPrice_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblInterest_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Left);
    lblTotal_ = cellLabel(14, kavtheme::dimText(), NSTextAlignment::Right);
    // Long figures shrink rather than lose their last digits.
    for (UILabel* l :
         {lblSymbolName_.get(), lblOpenTime_.get(), lblLatest_.get(), lblHold_.get(),
          lblTakeProfit_.get(), lblStopLose_.get(), lblFees_.get(), lblDynProfit_.get(),
          lblOpenPrice_.get(), lblInterest_.get(), lblTotal_.get()}) {
        l->setAdjustsFontSizeToFitWidth(true);
        l->setMinimumScaleFactor(0.6);
    }
    // Back to front as they overlap: the fees and the profit share a column.
    for (const auto& l :
         {lblSymbolName_, lblDirection_, lblOpenTime_, lblLatest_, lblTakeProfit_, lblFees_,
          lblHold_, lblStopLose_, lblOpenPrice_, lblInterest_, lblTotal_, lblDynProfit_})
        content->addSubview(l);
    separator_ = std::make_shared<UIView>();
    separator_->setBackgroundColor(kavtheme::separator());
    content->addSubview(separator_);
    setNeedsLayout();
}

void HoldDetailCell::displayCellWithLSHoldDetail(const LSHoldDetail& detail,
                                                 const MODSymbolInfo* symbol) {
    if (!lblSymbolName_) makeViews();
    setBackgroundColor(kavtheme::panelBackground());
    contentView()->setBackgroundColor(kavtheme::panelBackground());

    // Prices with the symbol's decimals; a symbol the service does not know
    // leaves each price its own.
    auto price = [symbol](const Decimal& value) {
        return symbol ? KAStringUtils::notRounding(value, symbol->decimal) : value.toString();
    };
    lblSymbolName_->setText(symbol ? symbol->symbolName : detail.symbolName);
    // A buy however the dealer spells it, as the service marks and counts it.
    lblDirection_->setText(std::string(CalculateUtils::isBuyCode(detail.bsCode) ? "买" : "卖") +
                           " " + KAStringUtils::notRounding(detail.quantityHold, 0));
    lblOpenTime_->setText(lsconvert::dateText(detail.openDate, "MM-dd HH:mm:ss"));
    lblLatest_->setText("最新：" + price(detail.closeoutPrice));
    lblHold_->setText(label("持仓") + "：" + price(detail.priceHold));
    lblTakeProfit_->setText(
        detail.priceTakeProfit.isZero() ? std::string() : "止盈：" + price(detail.priceTakeProfit));
    lblStopLose_->setText(detail.priceStopLose.isZero() ? std::string()
                                                        : "止损：" + price(detail.priceStopLose));
    lblFees_->setText("手续：" + KAStringUtils::notRounding(detail.chargeOpen, 2));
    lblDynProfit_->setText(detail.dynProfit.toString());
    lblDynProfit_->setTextColor(kavtheme::forSign(detail.dynProfit.toDouble()));
    lblOpenPrice_->setText(label("建仓") + "：" + price(detail.priceOpen));
    lblInterest_->setText(label("递延") + "：" +
                          KAStringUtils::notRounding(detail.chargeInterest, 2));
    lblTotal_->setText("总盈：" + KAStringUtils::notRounding(detail.dynProfitTotal, 2));
}

void HoldDetailCell::layoutSubviews() {
    BaseTableViewCell::layoutSubviews();
    if (!lblSymbolName_) return;
    const CGFloat W = bounds().size.width;
    const CGFloat T = W / 3;
    lblSymbolName_->setFrame(CGRectMake(10, 0, W / 2 - 25, 25));
    lblDirection_->setFrame(CGRectMake(CGRectGetMaxX(lblSymbolName_->frame()), 0, 60, 20));
    lblOpenTime_->setFrame(CGRectMake(CGRectGetMaxX(lblDirection_->frame()), 0, W / 2 - 55, 20));
    lblLatest_->setFrame(CGRectMake(10, CGRectGetMaxY(lblSymbolName_->frame()) + 2, T, 16));
    const CGRect latest = lblLatest_->frame();
    lblTakeProfit_->setFrame(CGRectMake(CGRectGetMaxX(latest), latest.origin.y, T, 16));
    const CGRect tp = lblTakeProfit_->frame();
    lblFees_->setFrame(CGRectMake(CGRectGetMaxX(tp) - 13, tp.origin.y, T, 16));
    lblDynProfit_->setFrame(CGRectMake(CGRectGetMaxX(tp), tp.origin.y + 14, T - 20, 24));
    lblHold_->setFrame(CGRectMake(10, CGRectGetMaxY(latest) + 2, T, 16));
    const CGRect hold = lblHold_->frame();
    lblStopLose_->setFrame(CGRectMake(CGRectGetMaxX(hold), hold.origin.y, T, 16));
    lblOpenPrice_->setFrame(CGRectMake(10, CGRectGetMaxY(hold) + 2, T - 10, 16));
    const CGRect open = lblOpenPrice_->frame();
    lblInterest_->setFrame(CGRectMake(CGRectGetMaxX(open), open.origin.y, T - 20, 16));
    lblTotal_->setFrame(
        CGRectMake(CGRectGetMaxX(lblInterest_->frame()), open.origin.y, T + 10, 16));
    separator_->setFrame(CGRectMake(0, kRowHeight - 1, W, kavtheme::kSeparatorHeight));
}
