#include "ui/trade/MarketCloseSymbolViewController.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewMarketPricePosition.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

constexpr long kBuys = 0;   // "平买": the buys, closed by selling
constexpr long kSells = 1;  // "平卖": the sells, closed by buying
// The refusal of a side with no whole lot left.
constexpr const char* kNothingToClose = "该头寸没有可平仓的数量";
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
    : HoldOrderScreen(OrderAction::CloseSymbol, kTagConfirm),
      modHoldPosition_(std::move(holdInfo)) {}

MarketCloseSymbolViewController::~MarketCloseSymbolViewController() = default;

double MarketCloseSymbolViewController::quantityOf(long side) const {
    if (!modHoldPosition_) return 0;
    return side == kBuys ? modHoldPosition_->quantityBuy : modHoldPosition_->quantitySell;
}

void MarketCloseSymbolViewController::makeView() {
    UIView* v = view();
    const auto [W, H, C, x, T] = measures();

    if (modHoldPosition_ && bizSDK())
        modSymbolInfo_ = bizSDK()->getSymbolWith(modHoldPosition_->symbolCode);

    dressScreen(std::string("市价平仓") + "-" +
                (modHoldPosition_ ? modHoldPosition_->symbolName : std::string()));

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

    const auto fields = orderkit::addCloseFields(*container, x, CGRectGetMaxY(panel->frame()) + 15,
                                                 C, "平仓数量", label("偏离点差"), "0", kDeviation,
                                                 weakSelf<UITextFieldDelegate>());

    container->addSubview(
        makeConfirmButton(CGRectMake(x, container->frame().size.height - 60, C, 50)));
    v->addSubview(container);

    setPositionInfo();
    keyboardControls_ = KAVKeyboardControls::initWithFields({fields.quantity, fields.deviation});
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
    // The service's record of the symbol now: after it loaded its symbols
    // again (a new login) the quotes move its new record, not the one held.
    if (modHoldPosition_ && bizSDK())
        if (auto current = bizSDK()->getSymbolWith(modHoldPosition_->symbolCode);
            current && current != modSymbolInfo_) {
            modSymbolInfo_ = current;
            panel->setSymbolInfo(std::move(current));
        }

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
    // In the account currency, as the account shows its floating profit.
    const double profit = !modHoldPosition_ ? 0
                          : i == kBuys      ? modHoldPosition_->dppBuy
                                            : modHoldPosition_->dppSell;
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
    auto* v = const_cast<MarketCloseSymbolViewController*>(this)->view();
    auto side = v->viewWithTag<UISegmentedControl>(kTagSide);
    if (!side) {
        CloseInputs inputs;
        inputs.refusal = "界面未就绪";
        return inputs;
    }
    const long i = side->selectedSegmentIndex() == kSells ? kSells : kBuys;
    // Whole lots, from the symbol's smallest trade up to what the side holds.
    return {orderkit::readCloseInputs(v->viewWithTag<UITextField>(kTagQuantity).get(),
                                      v->viewWithTag<UITextField>(kTagDeviation).get(),
                                      orderkit::wholeLots(quantityOf(i)),
                                      modSymbolInfo_ ? modSymbolInfo_->minTradeQuantity : 1,
                                      "平仓数量", label("偏离点差"), kNothingToClose),
            closingSide(i)};
}

void MarketCloseSymbolViewController::marketCloseOut() {
    auto self = sharedSelf<MarketCloseSymbolViewController>();
    confirmedBsCode_ = readInputs().bsCode;
    confirmOrder(
        "交易提示", [this] { return readInputs().refusal; }, [self] { self->marketClose(); });
}

void MarketCloseSymbolViewController::marketClose() {
    auto self = sharedSelf<MarketCloseSymbolViewController>();
    submitOrder([self](KAVDoneBlock ok, KAVFailureBlock fail) {
        // Read after the confirmation: a push meanwhile may have emptied the
        // side.
        CloseInputs inputs = self->readInputs();
        // A push that emptied the side under the confirmation moved the
        // screen to the other side, which the user did not ask to close.
        const std::string confirmed = std::exchange(self->confirmedBsCode_, std::string());
        if (inputs.refusal.empty() && !confirmed.empty() && inputs.bsCode != confirmed)
            inputs.refusal = kNothingToClose;
        if (orderkit::failsBeforeSending(inputs.refusal, self->bizSDK().get(), fail)) return;
        self->bizSDK()->marketCloseWithSymbol(self->modHoldPosition_->symbolCode, inputs.quantity,
                                              inputs.bsCode, inputs.pointOffset, 0, "",
                                              std::move(ok), std::move(fail));
    });
}
