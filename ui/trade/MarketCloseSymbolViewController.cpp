#include "ui/trade/MarketCloseSymbolViewController.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIKAVTextField.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewMarketPricePosition.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

constexpr long kBuys = 0;   // "平买": the buys, closed by selling
constexpr long kSells = 1;  // "平卖": the sells, closed by buying
// A disabled confirm button shows faded.
constexpr CGFloat kDisabledAlpha = 0.4;

// The panel's code of a side, and the side of the closing order.
const char* panelCode(long side) {
    return side == kBuys ? "b" : "s";
}
const char* closingSide(long side) {
    return side == kBuys ? "s" : "b";
}

}  // namespace

MarketCloseSymbolViewController::MarketCloseSymbolViewController(
    std::shared_ptr<MODHoldPosition> holdInfo)
    : modHoldPosition_(std::move(holdInfo)) {}

MarketCloseSymbolViewController::~MarketCloseSymbolViewController() = default;

void MarketCloseSymbolViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    sysDB_ = sysdb();
    lastSelect_ = -1;
    makeView();
}

void MarketCloseSymbolViewController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    initListen();
}

void MarketCloseSymbolViewController::viewDidDisappear(bool animated) {
    removeListen();
    BaseViewController::viewDidDisappear(animated);
}

double MarketCloseSymbolViewController::quantityOf(long side) const {
    if (!modHoldPosition_) return 0;
    return side == kBuys ? modHoldPosition_->quantityBuy : modHoldPosition_->quantitySell;
}

void MarketCloseSymbolViewController::makeView() {
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat H = v->bounds().size.height;
    const CGFloat C = W - 2 * kavtheme::kOrderColumnInset;
    const CGFloat x = (W - C) / 2;
    const CGFloat T = orderkit::barsHeight(*this);

    if (modHoldPosition_ && bizSDK())
        modSymbolInfo_ = bizSDK()->getSymbolWith(modHoldPosition_->symbolCode);

    setTitle(std::string("市价平仓") + "-" +
             (modHoldPosition_ ? modHoldPosition_->symbolName : std::string()));
    if (auto* nav = navigationController()) nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    v->setBackgroundColor(kavtheme::screenBackground());

    auto back = orderkit::makeBackButton(kTagBack);
    back->addTarget(weakSelf<MarketCloseSymbolViewController>(),
                    &MarketCloseSymbolViewController::viewPressed, UIControlEventTouchUpInside);
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(back), false);

    auto container = std::make_shared<UIView>(CGRectMake(0, T, W, H - T));
    container->setBackgroundColor(UIColor::clearColor());

    const long initial = quantityOf(kBuys) == 0 ? kSells : kBuys;
    auto side = std::make_shared<UISegmentedControl>(std::vector<std::string>{"平买", "平卖"});
    side->setTag(kTagSide);
    side->setFrame(CGRectMake(x, 15, C, 30));
    side->setTintColor(kavtheme::accent());
    side->setTitleFont(UIFont::systemFontOfSize(16), UIControlStateNormal);
    side->setSelectedSegmentIndex(initial);
    side->addTarget(weakSelf<MarketCloseSymbolViewController>(),
                    &MarketCloseSymbolViewController::viewValueChange, UIControlEventValueChanged);
    container->addSubview(side);

    auto heading = orderkit::makeSectionCaption(
        CGRectMake(x, CGRectGetMaxY(side->frame()) + 15, C, 30), "头寸信息");
    container->addSubview(heading);

    auto summary =
        std::make_shared<UILabel>(CGRectMake(x, CGRectGetMaxY(heading->frame()) + 5, C, 60));
    summary->setTag(kTagSummary);
    summary->setNumberOfLines(2);
    summary->setTextAlignment(NSTextAlignment::Center);
    summary->setFont(UIFont::systemFontOfSize(18));
    summary->setTextColor(kavtheme::dimText());
    summary->setBackgroundColor(UIColor::clearColor());
    summary->layer().setBorderColor(kavtheme::dimText());
    summary->layer().setBorderWidth(1);
    container->addSubview(summary);

    auto panel = std::make_shared<ViewMarketPricePosition>(
        CGRectMake(x, CGRectGetMaxY(summary->frame()) + 15, C, 60), modHoldPosition_,
        modHoldPosition_ && bizSDK() ? bizSDK()->getSymbolWith(modHoldPosition_->symbolCode)
                                     : nullptr,
        panelCode(initial));
    panel->setTag(kTagPricePanel);
    container->addSubview(panel);

    const CGFloat top = CGRectGetMaxY(panel->frame()) + 15;
    auto quantityCaption =
        orderkit::makeCaptionCell(CGRectMake(x, top, C / 2, 30), "平仓数量", kTagQuantityCaption);
    container->addSubview(quantityCaption);
    auto deviationCaption = orderkit::makeCaptionCell(
        CGRectMake(CGRectGetMaxX(quantityCaption->frame()) - 1, top, C / 2, 30), label("偏离点差"),
        kTagDeviationCaption);
    container->addSubview(deviationCaption);

    auto makeField = [this](const CGRect& frame, long tag, const std::string& text) {
        auto field = std::make_shared<UIKAVTextField>(frame, 10);
        field->setTag(tag);
        field->setTextAlignment(NSTextAlignment::Center);
        field->setTextColor(kavtheme::dimText());
        field->delegate = weakSelf<UITextFieldDelegate>();
        field->clearButtonMode = UITextFieldViewMode::Never;
        field->autocorrectionType = 1;  // no
        field->keyboardType = UIKeyboardType::DecimalPad;
        field->layer().setBorderColor(kavtheme::accent());
        field->layer().setBorderWidth(1);
        field->setText(text);
        return field;
    };
    const CGFloat fieldTop = CGRectGetMaxY(quantityCaption->frame()) - 1;
    auto quantity = makeField(CGRectMake(x, fieldTop, C / 2, 30), kTagQuantity, "0");
    container->addSubview(quantity);
    auto deviation =
        makeField(CGRectMake(CGRectGetMaxX(quantity->frame()) - 1, fieldTop, C / 2, 30),
                  kTagDeviation, kDeviation);
    container->addSubview(deviation);

    auto confirm = orderkit::makeConfirmButton(
        CGRectMake(x, container->frame().size.height - 60, C, 50), kTagConfirm);
    confirm->addTarget(weakSelf<MarketCloseSymbolViewController>(),
                       &MarketCloseSymbolViewController::viewPressed, UIControlEventTouchUpInside);
    container->addSubview(confirm);
    v->addSubview(container);

    setPositionInfo();
    keyboardControls_ = KAVKeyboardControls::initWithFields({quantity, deviation});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();
}

void MarketCloseSymbolViewController::setPositionInfo() {
    UIView* v = view();
    auto side = v->viewWithTag<UISegmentedControl>(kTagSide);
    auto summary = v->viewWithTag<UILabel>(kTagSummary);
    auto panel = v->viewWithTag<ViewMarketPricePosition>(kTagPricePanel);
    auto quantity = v->viewWithTag<UITextField>(kTagQuantity);
    auto confirm = v->viewWithTag<UIControl>(kTagConfirm);
    if (!side || !summary || !panel || !quantity || !confirm) return;

    long i = side->selectedSegmentIndex() == kSells ? kSells : kBuys;
    // A side without quantity cannot be shown: the other one is, whole.
    if (quantityOf(i) == 0 && quantityOf(1 - i) != 0) {
        i = 1 - i;
        side->setSelectedSegmentIndex(i);
    }
    const double held = quantityOf(i);
    // Another side shows its whole quantity; an empty side shows that
    // nothing is left, whatever was typed.
    if (lastSelect_ != i || held == 0) quantity->setText(platform::stringf("%0.0f", held));

    const double average = !modHoldPosition_ ? 0
                           : i == kBuys      ? modHoldPosition_->avgBuy
                                             : modHoldPosition_->avgSell;
    summary->setText(platform::stringf(
        " %s %0.0f / 均价 %s", i == kBuys ? "买" : "卖", held,
        sysDB::formatPrice(average, modSymbolInfo_ ? modSymbolInfo_->decimal : 0).c_str()));
    const double profit = !modHoldPosition_ ? 0
                          : i == kBuys      ? modHoldPosition_->dpBuy
                                            : modHoldPosition_->dpSell;
    const double price = !modSymbolInfo_ ? 0
                         : i == kBuys    ? modSymbolInfo_->bid
                                         : modSymbolInfo_->ask;
    panel->updateWithPrice(static_cast<float>(price), static_cast<float>(profit), panelCode(i));
    lastSelect_ = static_cast<int>(i);

    // Nothing left to close on either side: nothing can be sent.
    const bool closable = held != 0;
    confirm->setEnabled(closable);
    confirm->setAlpha(closable ? 1 : kDisabledAlpha);
}

void MarketCloseSymbolViewController::viewPressed(UIControl* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagConfirm:
            marketCloseOut();
            break;
        case kTagBack:
            // Held sideways the button does nothing.
            if (orderkit::isHeldSideways()) return;
            dismissViewControllerAnimated(true);
            break;
        default:
            break;
    }
}

void MarketCloseSymbolViewController::viewValueChange(UIControl* sender) {
    if (sender && sender->tag() == kTagSide) setPositionInfo();
}

void MarketCloseSymbolViewController::initListen() {
    positionListen_ = BroadcastManager::listen(kActionReceiveHoldPositionChange,
                                               weakSelf<MarketCloseSymbolViewController>(),
                                               &MarketCloseSymbolViewController::onReciveBroadcast);
}

void MarketCloseSymbolViewController::removeListen() {
    positionListen_.reset();
}

void MarketCloseSymbolViewController::onReciveBroadcast(const MoMessage& message) {
    const auto* positions = message.objAs<MODList<MODHoldPosition>>();
    if (!positions || !modHoldPosition_) return;
    for (const auto& position : *positions) {
        if (!position || position->symbolCode != modHoldPosition_->symbolCode) continue;
        modHoldPosition_ = position;
        setPositionInfo();
    }
}

MarketCloseSymbolViewController::CloseInputs MarketCloseSymbolViewController::readInputs() const {
    CloseInputs inputs;
    auto* v = const_cast<MarketCloseSymbolViewController*>(this)->view();
    auto side = v->viewWithTag<UISegmentedControl>(kTagSide);
    auto quantityField = v->viewWithTag<UITextField>(kTagQuantity);
    auto deviationField = v->viewWithTag<UITextField>(kTagDeviation);
    if (!side || !quantityField || !deviationField) {
        inputs.refusal = "界面未就绪";
        return inputs;
    }
    const long i = side->selectedSegmentIndex() == kSells ? kSells : kBuys;
    inputs.bsCode = closingSide(i);

    // Whole lots, from the symbol's smallest trade up to what the side holds.
    const int64_t most =
        static_cast<int64_t>(std::floor(std::min<double>(quantityOf(i), INT32_MAX)));
    if (most < 1) {
        inputs.refusal = "该头寸没有可平仓的数量";
        return inputs;
    }
    const int64_t least = std::min<int64_t>(
        std::max<int64_t>(1, modSymbolInfo_ ? modSymbolInfo_->minTradeQuantity : 1), most);
    const auto quantity = orderkit::readNumber(quantityField->text());
    if (!quantity || *quantity != quantity->rounded(0, Decimal::Rounding::Plain) ||
        *quantity < Decimal::fromInteger(least) || *quantity > Decimal::fromInteger(most)) {
        inputs.refusal =
            platform::stringf("平仓数量须为%lld到%lld之间的整数", static_cast<long long>(least),
                              static_cast<long long>(most));
        return inputs;
    }
    inputs.quantity = quantity->toDouble();

    // Whole points: decimals are cut.
    const auto deviation = orderkit::readNumber(deviationField->text());
    if (!deviation) {
        inputs.refusal = label("偏离点差") + "须为不小于0的数字";
        return inputs;
    }
    inputs.pointOffset =
        static_cast<int32_t>(std::min<double>(std::trunc(deviation->toDouble()), INT32_MAX));
    return inputs;
}

void MarketCloseSymbolViewController::marketCloseOut() {
    keyboardControlsDonePressed(keyboardControls_.get());
    const CloseInputs inputs = readInputs();
    if (!inputs.refusal.empty()) {
        KAVAlertView::showAlertWithTitle("交易提示", inputs.refusal, std::string("确定"), nullptr);
        return;
    }
    auto self = sharedSelf<MarketCloseSymbolViewController>();
    orderFlow_.confirm(OrderTexts::forAction(OrderAction::CloseSymbol, sysDB_.get()), sysDB_,
                       [self] { self->marketClose(); });
}

void MarketCloseSymbolViewController::marketClose() {
    auto self = sharedSelf<MarketCloseSymbolViewController>();
    orderFlow_.submit(OrderTexts::forAction(OrderAction::CloseSymbol, sysDB_.get()),
                      [self](KAVDoneBlock ok, KAVFailureBlock fail) {
                          // Read after the confirmation: a push meanwhile may have emptied the
                          // side.
                          const CloseInputs inputs = self->readInputs();
                          if (!inputs.refusal.empty()) {
                              fail("10004", inputs.refusal);
                              return;
                          }
                          if (!self->bizSDK()) {
                              fail(kKAVNotInitialised.code, kKAVNotInitialised.message);
                              return;
                          }
                          self->bizSDK()->marketCloseWithSymbol(
                              self->modHoldPosition_->symbolCode, inputs.quantity, inputs.bsCode,
                              inputs.pointOffset, 0, "", std::move(ok), std::move(fail));
                      },
                      {nullptr, [self] { self->dismissViewControllerAnimated(true); }, nullptr});
}
