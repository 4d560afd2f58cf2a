#include "ui/trade/CloseOutCell.h"

#include "Core/CalculateUtils.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/TradeCellKit.h"

using namespace platform::ui;

namespace {

constexpr double kDetailHeight = 90;
constexpr double kLineHeight = 20;

}  // namespace

CloseOutCell::CloseOutCell(UITableViewCellStyle style, const std::string& reuseIdentifier,
                           const ScreenContext& context)
    : BaseTableViewCell(style, reuseIdentifier, context) {}

CloseOutCell::~CloseOutCell() = default;

std::string CloseOutCell::label(const std::string& caption) const {
    return sysdb() ? sysdb()->getLabelWithKey(caption, caption) : caption;
}

void CloseOutCell::makeViews() {
    using cellkit::makeLabel;
    UIView* content = contentView();
    const UIColor back = kavtheme::panelBackground();
    lblSymbolName_ = makeLabel(16, kavtheme::primaryText(), NSTextAlignment::Left, back);
    lblCloseTime_ = makeLabel(14, kavtheme::primaryText(), NSTextAlignment::Right, back);
    lblHoldPrice_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    lblClosePrice_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Left, back);
    lblQuantity_ = makeLabel(20, kavtheme::dimText(), NSTextAlignment::Left, back);
    lblProfit_ = makeLabel(20, kavtheme::flat(), NSTextAlignment::Right, back);
    for (const auto& l :
         {lblSymbolName_, lblCloseTime_, lblHoldPrice_, lblClosePrice_, lblQuantity_, lblProfit_})
        content->addSubview(l);
    imgExpand_ = std::make_shared<UIImageView>(cellkit::expandIcon());
    content->addSubview(imgExpand_);

    detailView_ = std::make_shared<UIView>();
    detailView_->setBackgroundColor(UIColor::blackColor());
    detailView_->setHidden(true);
    for (size_t i = 0; i < detail_.size(); ++i) {
        const bool title = i % 2 == 0;
        detail_[i] = makeLabel(14, title ? kavtheme::dimText() : UIColor::whiteColor(),
                               title ? NSTextAlignment::Right : NSTextAlignment::Left,
                               UIColor::blackColor());
        // The first line has one pair only.
        if (i == 2 || i == 3) continue;
        detailView_->addSubview(detail_[i]);
    }
    // Titles with the dealer's captions, made once.
    detailLabel(0, 0)->setText(label("建仓") + "时间：");
    detailLabel(1, 0)->setText(label("建仓") + "方向：");
    detailLabel(1, 2)->setText(label("平仓") + "方向：");
    detailLabel(2, 0)->setText("手续费：");
    detailLabel(2, 2)->setText("手续费：");
    detailLabel(3, 0)->setText(label("建仓") + "价：");
    detailLabel(3, 2)->setText("累计盈亏：");
    content->addSubview(detailView_);

    separator_ = cellkit::makeSeparator();
    content->addSubview(separator_);
}

void CloseOutCell::displayCellWithLSCloseOut(const LSCloseOut& closeOut,
                                             const MODSymbolInfo* symbol) {
    if (!lblSymbolName_) makeViews();
    isExpanded_ = closeOut.isExpanded;
    setBackgroundColor(kavtheme::panelBackground());
    contentView()->setBackgroundColor(kavtheme::panelBackground());

    auto price = [symbol](const platform::Decimal& value) { return cellkit::price(value, symbol); };
    auto amount = [](const platform::Decimal& value) {
        return sysDB::formatPrice(value.toDouble(), 2);
    };
    const std::string closed = label("平仓");
    lblSymbolName_->setText(symbol ? symbol->symbolName : std::string());
    lblCloseTime_->setText(closed + "时间：" +
                           lsconvert::dateText(closeOut.closeDate, "MM-dd HH:mm:ss"));
    lblHoldPrice_->setText(label("持仓") + "：" + price(closeOut.priceHold));
    lblClosePrice_->setText(closed + "：" + price(closeOut.priceClose));
    lblQuantity_->setText("数量 " + KAStringUtils::notRounding(closeOut.quantityClose, 1));
    lblProfit_->setText(closeOut.profitClose.toString());
    lblProfit_->setTextColor(cellkit::colourForSign(closeOut.profitClose));

    // bsCode is the closing side: "b" (or "B", as its profit reads it)
    // bought back a sell.
    const bool closedByBuying = CalculateUtils::isBuyCode(closeOut.bsCode);
    detailLabel(0, 1)->setText(lsconvert::dateText(closeOut.openDate, "yyyy-MM-dd HH:mm:ss"));
    detailLabel(1, 1)->setText(closedByBuying ? "卖出" : "买入");
    detailLabel(1, 3)->setText(closedByBuying ? "买入" : "卖出");
    detailLabel(2, 1)->setText(amount(closeOut.chargeOpen));
    detailLabel(2, 3)->setText(amount(closeOut.chargeClose));
    // A price, with the symbol's decimals like the prices above it.
    detailLabel(3, 1)->setText(price(closeOut.priceOpen));
    detailLabel(3, 3)->setText(amount(closeOut.profitCloseTotal));
    const int sign = closeOut.profitCloseTotal.isNaN() ? 0 : closeOut.profitCloseTotal.sign();
    detailLabel(3, 3)->setTextColor(sign > 0   ? kavtheme::rise()
                                    : sign < 0 ? kavtheme::fall()
                                               : UIColor::whiteColor());
    setNeedsLayout();
}

void CloseOutCell::layoutSubviews() {
    BaseTableViewCell::layoutSubviews();
    if (!lblSymbolName_) return;
    const CGFloat W = bounds().size.width;
    lblSymbolName_->setFrame(CGRectMake(10, 5, W / 2 - 25, 20));
    const CGRect name = lblSymbolName_->frame();
    lblCloseTime_->setFrame(CGRectMake(CGRectGetMaxX(name), name.origin.y, W / 2 + 10, 20));
    lblHoldPrice_->setFrame(CGRectMake(10, CGRectGetMaxY(name) + 2, W / 3, 20));
    const CGRect hold = lblHoldPrice_->frame();
    lblClosePrice_->setFrame(CGRectMake(10, CGRectGetMaxY(hold) + 2, W / 3, 20));
    lblQuantity_->setFrame(CGRectMake(CGRectGetMaxX(hold), 30, W / 3 - 20, 35));
    lblProfit_->setFrame(CGRectMake(CGRectGetMaxX(lblQuantity_->frame()), 30, W / 3 - 30, 35));
    const CGRect profit = lblProfit_->frame();
    cellkit::placeExpandIcon(*imgExpand_,
                             CGRectMake(CGRectGetMaxX(profit) + 7, profit.origin.y + 10, 16, 16),
                             isExpanded_);

    detailView_->setHidden(!isExpanded_);
    if (isExpanded_) {
        detailView_->setFrame(
            CGRectMake(0, CGRectGetMaxY(lblClosePrice_->frame()), W, kDetailHeight));
        const CGFloat E = W;
        for (int l = 0; l < 4; ++l)
            for (int c = 0; c < 4; ++c)
                detailLabel(l, c)->setFrame(
                    CGRectMake(c * E / 4, 5 + l * kLineHeight, E / 4, kLineHeight));
        // The opening time takes the rest of its line.
        detailLabel(0, 1)->setFrame(CGRectMake(E / 4, 5, 3 * E / 4, kLineHeight));
    }
    separator_->setFrame(CGRectMake(0, (isExpanded_ ? kExpandedRowHeight : kRowHeight) - 0.5, W,
                                    kavtheme::kSeparatorHeight));
}
