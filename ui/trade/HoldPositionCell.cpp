#include "ui/trade/HoldPositionCell.h"

#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/TradeCellKit.h"

using namespace platform::ui;

namespace {

constexpr double kPanelHeight = 130;
constexpr double kGridRowHeight = 20;

}  // namespace

HoldPositionCell::HoldPositionCell(UITableViewCellStyle style, const std::string& reuseIdentifier,
                                   const ScreenContext& context)
    : BaseTableViewCell(style, reuseIdentifier, context) {}

HoldPositionCell::~HoldPositionCell() = default;

std::string HoldPositionCell::label(const std::string& caption) const {
    return sysdb() ? sysdb()->getLabelWithKey(caption, caption) : caption;
}

void HoldPositionCell::makeViews() {
    using cellkit::makeLabel;
    UIView* content = contentView();
    const UIColor back = kavtheme::panelBackground();
    lblSymbolName_ = makeLabel(16, kavtheme::primaryText(), NSTextAlignment::Left, back);
    lblNetCaption_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Center, back);
    lblDirection_ = makeLabel(20, kavtheme::dimText(), NSTextAlignment::Center, back);
    lblNetQuantity_ = makeLabel(20, kavtheme::dimText(), NSTextAlignment::Center, back);
    // The caption line is 14 high: both captions in 14, so neither is cut.
    lblProfitCaption_ = makeLabel(14, kavtheme::dimText(), NSTextAlignment::Right, back);
    lblNetProfit_ = makeLabel(20, kavtheme::flat(), NSTextAlignment::Center, back);
    for (const auto& l : {lblSymbolName_, lblDirection_, lblNetCaption_, lblNetQuantity_,
                          lblProfitCaption_, lblNetProfit_})
        content->addSubview(l);
    imgExpand_ = std::make_shared<UIImageView>(cellkit::expandIcon());
    content->addSubview(imgExpand_);

    expandView_ = std::make_shared<UIView>();
    expandView_->setBackgroundColor(UIColor::blackColor());
    expandView_->setHidden(true);
    for (size_t i = 0; i < grid_.size(); ++i) {
        const bool title = i % 2 == 0;
        grid_[i] = makeLabel(14, title ? UIColor::whiteColor() : kavtheme::dimText(),
                             title ? NSTextAlignment::Right : NSTextAlignment::Left,
                             UIColor::blackColor());
        expandView_->addSubview(grid_[i]);
    }
    static const char* const kTitles[] = {"买价：", "卖价：", "买均价：", "卖均价：",
                                          "买量：", "卖量：", "买盈亏：", "卖盈亏："};
    for (size_t r = 0; r < 4; ++r) {
        grid_[r * 4]->setText(kTitles[r * 2]);
        grid_[r * 4 + 2]->setText(kTitles[r * 2 + 1]);
    }
    btnClose_ = std::make_shared<UIButton>();
    btnClose_->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
    btnClose_->setBackgroundColor(kavtheme::accent());
    btnClose_->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    btnClose_->addTarget(weakSelf<HoldPositionCell>(), &HoldPositionCell::viewPressed,
                         UIControlEventTouchUpInside);
    expandView_->addSubview(btnClose_);
    content->addSubview(expandView_);

    separator_ = cellkit::makeSeparator();
    content->addSubview(separator_);
    setNeedsLayout();
}

void HoldPositionCell::displayCellWithLSHoldPosition(const LSHoldPosition& position,
                                                     const MODSymbolInfo* symbol) {
    if (!lblSymbolName_) makeViews();
    position_ = position;
    setBackgroundColor(kavtheme::panelBackground());
    contentView()->setBackgroundColor(kavtheme::panelBackground());

    auto price = [symbol](const platform::Decimal& value) { return cellkit::price(value, symbol); };
    lblSymbolName_->setText(position.symbolName);
    lblNetCaption_->setText(label("净头寸"));
    const int net = position.positionPrice.isNaN() ? 0 : position.positionPrice.sign();
    lblDirection_->setText(net > 0 ? "买" : net < 0 ? "卖" : "");
    lblNetQuantity_->setText(price(position.positionPrice));
    lblProfitCaption_->setText("净盈亏");
    lblNetProfit_->setText(position.dynProfit.toString());
    lblNetProfit_->setTextColor(cellkit::colourForSign(position.dynProfit));

    gridLabel(0, 1)->setText(price(position.ask));
    gridLabel(0, 3)->setText(price(position.bid));
    gridLabel(1, 1)->setText(price(position.avgBuy));
    gridLabel(1, 3)->setText(price(position.avgSell));
    gridLabel(2, 1)->setText(position.quantityBuy.toString());
    gridLabel(2, 3)->setText(position.quantitySell.toString());
    gridLabel(3, 1)->setText(position.dpBuy.toString());
    gridLabel(3, 1)->setTextColor(cellkit::colourForSign(position.dpBuy));
    gridLabel(3, 3)->setText(position.dpSell.toString());
    gridLabel(3, 3)->setTextColor(cellkit::colourForSign(position.dpSell));
    btnClose_->setTitle(label("平仓"), UIControlStateNormal);
    setNeedsLayout();
}

void HoldPositionCell::layoutSubviews() {
    BaseTableViewCell::layoutSubviews();
    if (!lblSymbolName_) return;
    const CGFloat W = bounds().size.width;
    lblSymbolName_->setFrame(CGRectMake(10, 25, W / 2 - 25, 18));
    const CGRect name = lblSymbolName_->frame();
    lblDirection_->setFrame(CGRectMake(CGRectGetMaxX(name), name.origin.y, 20, 20));
    lblNetCaption_->setFrame(CGRectMake(CGRectGetMaxX(lblDirection_->frame()), 10, W / 3 - 50, 14));
    const CGRect caption = lblNetCaption_->frame();
    lblNetQuantity_->setFrame(
        CGRectMake(caption.origin.x, CGRectGetMaxY(caption) + 2, W / 3 - 50, 20));
    lblProfitCaption_->setFrame(
        CGRectMake(CGRectGetMaxX(caption), caption.origin.y, W / 3 - 20, 14));
    const CGRect profitCaption = lblProfitCaption_->frame();
    // Narrow enough for the arrow after it to stay inside the row.
    lblNetProfit_->setFrame(
        CGRectMake(profitCaption.origin.x, CGRectGetMaxY(profitCaption) + 2, W / 3 - 30, 20));
    const CGRect profit = lblNetProfit_->frame();
    const bool open = position_.isExpanded;
    cellkit::placeExpandIcon(*imgExpand_,
                             CGRectMake(CGRectGetMaxX(profit), profit.origin.y, 16, 16), open);

    expandView_->setHidden(!open);
    if (open) {
        expandView_->setFrame(
            CGRectMake(0, CGRectGetMaxY(lblNetQuantity_->frame()) + 10, W, kPanelHeight));
        const CGFloat P = W;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                gridLabel(r, c)->setFrame(
                    CGRectMake(c * P / 4, 5 + r * kGridRowHeight, P / 4, kGridRowHeight));
        btnClose_->setFrame(CGRectMake(10, 5 + 4 * kGridRowHeight + 5, 80, 30));
    }
    separator_->setFrame(CGRectMake(0, (open ? kExpandedRowHeight : kRowHeight) - 0.5, W,
                                    kavtheme::kSeparatorHeight));
}

void HoldPositionCell::viewPressed(UIControl*) {
    // Only the open row shows the button. A finger that came down on it
    // lifts on the cell the table last gave it, which may show another
    // position by then (a row went while the finger was down): that
    // position is not the one the finger chose.
    if (!position_.isExpanded) return;
    if (auto d = delegate.lock()) d->onCloseOutWithLSHoldPosition(position_);
}
