#include "ui/trade/ViewBuySellButton.h"

#include "platform/ui/Button.h"
#include "platform/ui/Text.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/LSConvert.h"

using namespace platform::ui;

namespace {

constexpr CGFloat kFontSize = 22;
constexpr CGFloat kStripHeight = 5;
constexpr CGFloat kSpreadBoxSide = 40;
const UIColor kPressed = UIColor::grey255(150);

std::shared_ptr<UILabel> priceLabel() {
    auto label = std::make_shared<UILabel>();
    label->setTextAlignment(NSTextAlignment::Center);
    label->setFont(UIFont::systemFontOfSize(kFontSize));
    label->setTextColor(kavtheme::primaryText());
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

std::shared_ptr<UILabel> sideLabel(const std::string& text, const UIColor& colour) {
    auto label = std::make_shared<UILabel>();
    label->setText(text);
    label->setFont(UIFont::systemFontOfSize(kFontSize));
    label->setTextColor(colour);
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

// The price as the screens print it: the record's number written with six
// decimals (or the symbol's, when more), then rounded to the symbol's places.
std::string priceText(double price, int decimals) {
    return KAStringUtils::notRounding(lsconvert::price(price, decimals), decimals);
}

UIColor moveColour(int32_t upOrDown) {
    if (upOrDown >= 1) return kavtheme::rise();
    if (upOrDown == 0) return kavtheme::flat();
    return kavtheme::fall();
}

}  // namespace

ViewBuySellButton::ViewBuySellButton(const CGRect& frame, std::shared_ptr<MODSymbolInfo> symbol,
                                     int style)
    : UIView(frame), _modSymbolInfo(std::move(symbol)), _viewSyle(style) {
    makeView();
    updateWithMODSymbolInfo(_modSymbolInfo);
}

void ViewBuySellButton::makeView() {
    // Shows through the one-point gap between the halves.
    setBackgroundColor(kavtheme::accent());

    auto sell = std::make_shared<UIView>();
    sell->setTag(kTagLeftHalf);
    sell->setBackgroundColor(kavtheme::panelBackground());
    sell->addSubview(sideLabel("卖", kavtheme::accent()));
    addSubview(sell);
    auto buy = std::make_shared<UIView>();
    buy->setTag(kTagRightHalf);
    buy->setBackgroundColor(kavtheme::panelBackground());
    buy->addSubview(sideLabel("买", kavtheme::rise()));
    addSubview(buy);

    if (_viewSyle == kStyleWithSpread) {
        _point = std::make_shared<UILabel>();
        _point->setTextAlignment(NSTextAlignment::Center);
        _point->setFont(UIFont::systemFontOfSize(kFontSize));
        _point->setTextColor(kavtheme::dimText());
        _point->setBackgroundColor(kavtheme::panelBackground());
        _point->layer().setBorderWidth(1);
        _point->layer().setBorderColor(kavtheme::accent());
        addSubview(_point);
    } else {
        setBackgroundColor(kavtheme::accent());
    }

    _lblBid = priceLabel();
    addSubview(_lblBid);
    _lblAsk = priceLabel();
    addSubview(_lblAsk);
    _upOrDown = std::make_shared<UIView>();
    addSubview(_upOrDown);

    const auto weak = weakSelf<ViewBuySellButton>();
    for (long tag : {kTagSell, kTagBuy}) {
        auto button = std::make_shared<UIButton>();
        button->setTag(tag);
        button->setBackgroundColor(UIColor::clearColor());
        button->addTarget(
            [weak](UIControl* sender, UIEvent*) {
                if (auto self = weak.lock()) self->viewTouchDown(sender);
            },
            UIControlEventTouchDown);
        button->addTarget(
            [weak](UIControl* sender, UIEvent*) {
                if (auto self = weak.lock()) self->onButtonClick(sender);
            },
            UIControlEventTouchUpInside);
        button->addTarget(
            [weak](UIControl* sender, UIEvent*) {
                if (auto self = weak.lock()) self->onTouchAbandoned(sender);
            },
            UIControlEventTouchUpOutside | UIControlEventTouchCancel);
        addSubview(button);
    }
}

void ViewBuySellButton::layoutSubviews() {
    UIView::layoutSubviews();
    const CGFloat w = bounds().size.width;
    const CGFloat h = bounds().size.height;
    const CGRect left = CGRectMake(0, 0, w / 2, h);
    const CGRect right = CGRectMake(w / 2 + 1, 0, w / 2, h);
    for (const auto& sub : subviews()) {
        switch (sub->tag()) {
            case kTagLeftHalf:
                sub->setFrame(left);
                if (!sub->subviews().empty())
                    sub->subviews().front()->setFrame(CGRectMake(20, 5, 24, 24));
                break;
            case kTagRightHalf:
                sub->setFrame(right);
                // In the half's own coordinates: 45 from the button's right edge.
                if (!sub->subviews().empty())
                    sub->subviews().front()->setFrame(
                        CGRectMake(w - 45 - right.origin.x, 5, 24, 24));
                break;
            case kTagSell:
                sub->setFrame(left);
                break;
            case kTagBuy:
                sub->setFrame(right);
                break;
            default:
                break;
        }
    }
    if (_point)
        _point->setFrame(
            CGRectMake(w / 2 - kSpreadBoxSide / 2, h - 43, kSpreadBoxSide, kSpreadBoxSide));
    _lblBid->setFrame(CGRectMake(0, h - 50, w / 2, 30));
    _lblAsk->setFrame(CGRectMake(w / 2, h - 50, w / 2, 30));
    _upOrDown->setFrame(CGRectMake(0, h - kStripHeight, w, kStripHeight));
}

void ViewBuySellButton::updateWithMODSymbolInfo(std::shared_ptr<MODSymbolInfo> symbol) {
    if (symbol != _modSymbolInfo) _modSymbolInfo = std::move(symbol);
    const MODSymbolInfo* s = _modSymbolInfo.get();
    _lblBid->setText(s ? priceText(s->bid, s->decimal) : std::string());
    _lblAsk->setText(s ? priceText(s->ask, s->decimal) : std::string());
    // The spread follows the record too: a new symbol brings its own.
    if (_point) _point->setText(s ? std::to_string(s->spread) : std::string());
    _upOrDown->setBackgroundColor(moveColour(s ? s->upOrDown : 0));
}

UIView* ViewBuySellButton::halfOf(const UIView* sender) {
    if (!sender) return nullptr;
    const long half = sender->tag() == kTagBuy ? kTagRightHalf : kTagLeftHalf;
    for (const auto& sub : subviews())
        if (sub->tag() == half) return sub.get();
    return nullptr;
}

void ViewBuySellButton::viewTouchDown(UIView* sender) {
    if (UIView* half = halfOf(sender)) half->setBackgroundColor(kPressed);
}

void ViewBuySellButton::onTouchAbandoned(UIView* sender) {
    if (UIView* half = halfOf(sender)) half->setBackgroundColor(kavtheme::panelBackground());
}

void ViewBuySellButton::onButtonClick(UIView* sender) {
    if (UIView* half = halfOf(sender)) half->setBackgroundColor(kavtheme::panelBackground());
    // The delegate may close the screen that holds this view.
    auto keep = sharedSelf<ViewBuySellButton>();
    if (auto d = delegate.lock()) d->onBuySellButtonPressed(sender);
}
