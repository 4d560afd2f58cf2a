#include "ui/trade/LimitOpenTradeViewController.h"

#include <algorithm>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/BuySell.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewLimitPrice.h"
#include "ui/trade/ViewLimitPriceInput.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

constexpr const char* kLimitCaption = "限价建仓";
constexpr const char* kAlertTitle = "下单提示";
constexpr const char* kAlertButton = "确定";
// The input widgets reuse the screen's tags inside themselves (1000, 1005,
// 2000): its views are looked up among the view's direct subviews.
using orderkit::childWithTag;

}  // namespace

LimitOpenTradeViewController::LimitOpenTradeViewController(
    std::shared_ptr<MODSymbolInfo> symbolInfo, bool isModel)
    : modSymbolInfo_(std::move(symbolInfo)), isModel_(isModel) {}

LimitOpenTradeViewController::~LimitOpenTradeViewController() = default;

// ---- life -------------------------------------------------------------------

void LimitOpenTradeViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    initData();
    makeView();
}

void LimitOpenTradeViewController::initData() {
    if (modSymbolInfo_ || !bizSDK()) return;
    const auto symbols = bizSDK()->getSymbolsWith(-1);
    if (!symbols.empty()) modSymbolInfo_ = symbols.front();
}

void LimitOpenTradeViewController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    // The service makes new records when it loads its symbols again.
    if (modSymbolInfo_ && bizSDK())
        if (auto current = bizSDK()->getSymbolWith(modSymbolInfo_->symbolCode))
            updateQuotaWithMods(MODList<MODSymbolInfo>{current});
    initListen();
}

void LimitOpenTradeViewController::viewDidDisappear(bool animated) {
    removeListen();
    BaseViewController::viewDidDisappear(animated);
}

void LimitOpenTradeViewController::initListen() {
    quoteListen_ = BroadcastManager::listen(kActionReceiveTradeQuotation,
                                            weakSelf<LimitOpenTradeViewController>(),
                                            &LimitOpenTradeViewController::onReciveBroadcast);
}

void LimitOpenTradeViewController::removeListen() {
    quoteListen_.reset();
}

void LimitOpenTradeViewController::onReciveBroadcast(const MoMessage& message) {
    if (const auto* symbols = message.objAs<MODList<MODSymbolInfo>>())
        updateQuotaWithMods(*symbols);
}

std::vector<std::string> LimitOpenTradeViewController::getPickerSymbols() const {
    return bizSDK() ? orderkit::symbolNames(bizSDK()->getSymbolsWith(-1))
                    : std::vector<std::string>();
}

// ---- the view ---------------------------------------------------------------

void LimitOpenTradeViewController::makeView() {
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat H = v->bounds().size.height;
    const CGFloat D = W - 2 * kavtheme::kOrderColumnInset;
    const CGFloat x = kavtheme::kOrderColumnInset;
    orderkit::dressScreen(*this);
    const auto weak = weakSelf<LimitOpenTradeViewController>();
    auto pressed = [weak](UIControl* sender, UIEvent*) {
        if (auto self = weak.lock()) self->viewPressed(sender);
    };

    // Title: the order kind and the symbol; a tap opens the picker.
    orderkit::addPickerTitle(*this, kTagTitle, pressed);
    setTitle();

    orderkit::addBackButton(*this, kTagBack, pressed);

    addSideAndQuantity(pressed);
    addPriceInputs();
    resetOrderPrice();

    auto submit = orderkit::makeConfirmButton(CGRectMake(x, H - 60, D, 50), kTagSubmit);
    submit->setTitle("提交", UIControlStateNormal);
    submit->addTarget(pressed, UIControlEventTouchUpInside);
    v->addSubview(submit);

    keyboardControls_ = KAVKeyboardControls::initWithFields(
        {quantityInput()->textField(), priceInput(kTagOrderPrice)->textField(),
         priceInput(kTagTakeProfit)->textField(), priceInput(kTagStopLose)->textField()});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();

    arraySymbols_ = bizSDK() ? bizSDK()->getSymbolsWith(-1) : MODList<MODSymbolInfo>();
    arrayBS_ = {kBuy, kSell};
    picker_ = std::make_shared<UIKAVPickerActionSheet>(
        UIKAVPickerActionSheet::DataSource{arrayBS_, getPickerSymbols()},
        CGRectMake(0, H, W, kPickerHeight));
    picker_->delegate = weakSelf<UIKAVPickerActionSheetDelegate>();
    picker_->setTag(kTagPicker);
    v->addSubview(picker_);
}

void LimitOpenTradeViewController::addSideAndQuantity(const UIControl::Action& pressed) {
    UIView* v = view();
    const CGFloat D = v->bounds().size.width - 2 * kavtheme::kOrderColumnInset;
    const CGFloat x = kavtheme::kOrderColumnInset;
    const CGFloat T = orderkit::barsHeight(*this);
    // Side and quantity under their captions; neighbours overlap by a point,
    // so their borders make one line.
    auto sideCaption =
        orderkit::makeCaptionCell(CGRectMake(x, T + 10, D / 2, 30), "买卖方向", kTagSideCaption);
    v->addSubview(sideCaption);
    auto quantityCaption = orderkit::makeCaptionCell(
        CGRectMake(CGRectGetMaxX(sideCaption->frame()) - 1, T + 10, D / 2, 30), "交易数量",
        kTagQuantityCaption);
    v->addSubview(quantityCaption);
    const CGFloat rowTop = CGRectGetMaxY(quantityCaption->frame()) - 1;
    auto side = std::make_shared<UIButton>(CGRectMake(x, rowTop, D / 2, 30));
    side->setTag(kTagSide);
    side->setTitle(kBuy, UIControlStateNormal);
    side->setTitleColor(kavtheme::dimText(), UIControlStateNormal);
    side->setBackgroundColor(UIColor::clearColor());
    side->layer().setBorderColor(kavtheme::accent());
    side->layer().setBorderWidth(1);
    side->addTarget(pressed, UIControlEventTouchUpInside);
    v->addSubview(side);
    const MODSymbolInfo* symbol = modSymbolInfo_.get();
    auto quantity = orderkit::makeStepInput(
        CGRectMake(quantityCaption->frame().origin.x, rowTop, D / 2, 30), kTagQuantity,
        Decimal::fromInteger(1), Decimal::fromInteger(symbol ? symbol->quantityMax : 0),
        Decimal::fromInteger(symbol ? symbol->minTradeQuantity : 0),
        weakSelf<NumberInputViewDelegate>());
    v->addSubview(quantity);
}

// Under the side: the symbol's price band, the order price, and the
// take-profit and stop-loss prices side by side.
void LimitOpenTradeViewController::addPriceInputs() {
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat D = W - 2 * kavtheme::kOrderColumnInset;
    const CGFloat x = kavtheme::kOrderColumnInset;
    const UIButton* side = sideButton();
    auto band = std::make_shared<ViewLimitPrice>(
        CGRectMake(x, CGRectGetMaxY(side->frame()) + 10, D, 60), modSymbolInfo_);
    band->setTag(kTagBand);
    band->setLimitLabel(label("止限"));
    band->setStopLabel(label("停损"));
    v->addSubview(band);

    auto orderPrice = makePriceInput(CGRectMake(x, CGRectGetMaxY(band->frame()) + 5, D, 60),
                                     modSymbolInfo_.get(), "挂单价", kTagOrderPrice, 0, D / 2);
    orderPrice->limitPriceChangeDelegate = weakSelf<LimitPriceChangeDelegate>();
    v->addSubview(orderPrice);
    const CGFloat stopTop = CGRectGetMaxY(orderPrice->frame()) + 5;
    auto takeProfit = makePriceInput(CGRectMake(x, stopTop, D / 2 - 10, 90), modSymbolInfo_.get(),
                                     "止盈价", kTagTakeProfit, 2, D / 2 - 10);
    v->addSubview(takeProfit);
    auto stopLose = makePriceInput(CGRectMake(W / 2 + 9, stopTop, D / 2 - 10, 90),
                                   modSymbolInfo_.get(), "止损价", kTagStopLose, 2, D / 2 - 10);
    v->addSubview(stopLose);
}

// ---- views by tag -------------------------------------------------------------

UIButton* LimitOpenTradeViewController::titleButton() {
    return dynamic_cast<UIButton*>(navigationItem().titleView.get());
}

UIButton* LimitOpenTradeViewController::sideButton() const {
    return childWithTag<UIButton>(const_cast<LimitOpenTradeViewController*>(this)->view(),
                                  kTagSide);
}

NumberInputView* LimitOpenTradeViewController::quantityInput() const {
    return childWithTag<NumberInputView>(const_cast<LimitOpenTradeViewController*>(this)->view(),
                                         kTagQuantity);
}

ViewLimitPrice* LimitOpenTradeViewController::band() const {
    return childWithTag<ViewLimitPrice>(const_cast<LimitOpenTradeViewController*>(this)->view(),
                                        kTagBand);
}

ViewLimitPriceInput* LimitOpenTradeViewController::priceInput(long tag) const {
    return childWithTag<ViewLimitPriceInput>(
        const_cast<LimitOpenTradeViewController*>(this)->view(), tag);
}

UIButton* LimitOpenTradeViewController::submitButton() const {
    return childWithTag<UIButton>(const_cast<LimitOpenTradeViewController*>(this)->view(),
                                  kTagSubmit);
}

std::string LimitOpenTradeViewController::bsCode() const {
    const UIButton* side = sideButton();
    const bool buy = side && side->titleForState(UIControlStateNormal) == kBuy;
    return bsCodeFor(buy ? BuySell::Buy : BuySell::Sell);
}

// ---- the symbol and the side ---------------------------------------------------

void LimitOpenTradeViewController::setTitle() {
    if (UIButton* title = titleButton())
        title->setTitle(label(kLimitCaption) + "-" +
                            (modSymbolInfo_ ? modSymbolInfo_->symbolName : std::string()),
                        UIControlStateNormal);
}

void LimitOpenTradeViewController::showSymbol() {
    if (!modSymbolInfo_) return;
    if (ViewLimitPrice* b = band()) b->updateWithGoodsInfo(modSymbolInfo_, bsCode());
    // Prices and their steps in the new symbol's decimals.
    for (long tag : {kTagOrderPrice, kTagTakeProfit, kTagStopLose})
        if (ViewLimitPriceInput* input = priceInput(tag))
            input->setDecimal(modSymbolInfo_->decimal);
    if (NumberInputView* quantity = quantityInput()) {
        // The maximum first: a value above it comes down, then one below the
        // minimum goes up.
        quantity->setMaxValue(Decimal::fromInteger(modSymbolInfo_->quantityMax));
        quantity->setMinValue(Decimal::fromInteger(modSymbolInfo_->minTradeQuantity));
    }
}

void LimitOpenTradeViewController::resetOrderPrice() {
    ViewLimitPriceInput* input = priceInput(kTagOrderPrice);
    if (!input || !modSymbolInfo_) return;
    const double price = bsCode() == "b" ? modSymbolInfo_->ask : modSymbolInfo_->bid;
    input->textField()->setText(KAStringUtils::notRounding(
        lsconvert::price(price, modSymbolInfo_->decimal), modSymbolInfo_->decimal));
    // An emptied field steps from the market too.
    input->setOrderPrice(static_cast<float>(price));
}

void LimitOpenTradeViewController::alertSymbolMissing() {
    platform::log(std::string("限价建仓：商品不存在 ") +
                  (modSymbolInfo_ ? modSymbolInfo_->symbolCode : std::string()));
    KAVAlertView::showAlertWithTitle(kAlertTitle, kSymbolMissing, std::string(kAlertButton),
                                     nullptr);
}

void LimitOpenTradeViewController::updateQuotaWithMods(const MODList<MODSymbolInfo>& symbols) {
    if (!modSymbolInfo_) return;
    for (const auto& symbol : symbols) {
        if (!symbol || symbol->symbolCode != modSymbolInfo_->symbolCode) continue;
        // A record the service made anew replaces the one held.
        modSymbolInfo_ = symbol;
        // The band only: the order price is the user's.
        if (ViewLimitPrice* b = band()) b->updateWithGoodsInfo(modSymbolInfo_, bsCode());
        return;
    }
}

void LimitOpenTradeViewController::didSelectRow(int row, int inComponent, const std::string&) {
    if (inComponent == 0) {
        if (row < 0 || static_cast<size_t>(row) >= arrayBS_.size()) return;
        if (UIButton* side = sideButton())
            side->setTitle(arrayBS_[static_cast<size_t>(row)], UIControlStateNormal);
        if (modSymbolInfo_)
            if (ViewLimitPrice* b = band()) b->updateWithGoodsInfo(modSymbolInfo_, bsCode());
    } else {
        if (row < 0 || static_cast<size_t>(row) >= arraySymbols_.size() || !arraySymbols_[row])
            return;
        // The picker's list was taken when the screen was made; the service
        // may have replaced or dropped the record since.
        auto symbol =
            bizSDK() ? bizSDK()->getSymbolWith(arraySymbols_[static_cast<size_t>(row)]->symbolCode)
                     : nullptr;
        if (!symbol) {
            alertSymbolMissing();
            return;
        }
        modSymbolInfo_ = std::move(symbol);
        showSymbol();
        setTitle();
        if (auto d = symbolSelectDelegate()) d->onSymbolSelect(modSymbolInfo_->symbolCode);
    }
    resetOrderPrice();
    if (ViewLimitPriceInput* input = priceInput(kTagOrderPrice))
        if (const auto price = orderkit::readNumber(input->textField()->text()))
            limitPriceChange(static_cast<float>(price->toDouble()));
}

void LimitOpenTradeViewController::limitPriceChange(float price) {
    if (!modSymbolInfo_) return;
    showLimitBounds(modSymbolInfo_->symbolCode, price, bsCode(), priceInput(kTagStopLose),
                    priceInput(kTagTakeProfit));
}

// ---- buttons ------------------------------------------------------------------

void LimitOpenTradeViewController::viewPressed(UIView* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagBack:
            // Held sideways the button does nothing.
            if (orderkit::isHeldSideways()) return;
            closeScreen();
            break;
        case kTagSubmit:
            limitOpen();
            break;
        case kTagSide:
        case kTagTitle: {
            if (!picker_) return;
            keyboardControlsDonePressed(keyboardControls_.get());
            const UIButton* side = sideButton();
            const std::string caption = side ? side->titleForState(UIControlStateNormal) : kBuy;
            const auto bs = std::find(arrayBS_.begin(), arrayBS_.end(), caption);
            if (bs != arrayBS_.end()) picker_->selectRow(bs - arrayBS_.begin(), 0, true);
            if (modSymbolInfo_) {
                const auto it =
                    std::find_if(arraySymbols_.begin(), arraySymbols_.end(), [this](const auto& s) {
                        return s && s->symbolCode == modSymbolInfo_->symbolCode;
                    });
                if (it != arraySymbols_.end())
                    picker_->selectRow(it - arraySymbols_.begin(), 1, true);
            }
            picker_->display();
            break;
        }
        default:
            break;
    }
}

void LimitOpenTradeViewController::closeScreen() {
    auto* nav = navigationController();
    if (!nav) return;
    if (isModel_)
        nav->dismissViewControllerAnimated(true);
    else
        nav->popViewControllerAnimated(true);
}

// ---- the order ----------------------------------------------------------------

LimitOpenTradeViewController::OrderInputs LimitOpenTradeViewController::readInputs() {
    OrderInputs inputs;
    // The record the service holds now, by the code.
    auto symbol =
        modSymbolInfo_ && bizSDK() ? bizSDK()->getSymbolWith(modSymbolInfo_->symbolCode) : nullptr;
    if (!symbol) {
        inputs.refusal = kSymbolMissing;
        return inputs;
    }
    modSymbolInfo_ = symbol;
    inputs.symbolCode = symbol->symbolCode;
    inputs.bsCode = bsCode();

    NumberInputView* quantity = quantityInput();
    ViewLimitPriceInput* orderPrice = priceInput(kTagOrderPrice);
    ViewLimitPriceInput* takeProfit = priceInput(kTagTakeProfit);
    ViewLimitPriceInput* stopLose = priceInput(kTagStopLose);
    if (!quantity || !orderPrice || !takeProfit || !stopLose) {
        inputs.refusal = "界面未就绪";
        return inputs;
    }
    inputs.refusal = orderkit::quantityRefusal(quantity->value(), *symbol);
    if (!inputs.refusal.empty()) return inputs;
    inputs.quantity = quantity->value().toDouble();

    // The order price is a price: above zero at the symbol's decimals, as
    // it is sent, and within a market's range.
    const auto price = orderkit::readPrice(orderPrice->textField()->text(), symbol->decimal);
    if (!price) {
        inputs.refusal = "挂单价须为大于0的数字";
        return inputs;
    }
    inputs.orderPrice = *price;

    // An empty field means none (0); anything but a price is refused.
    if (orderkit::readOptionalPrice(takeProfit->textField()->text(), symbol->decimal, "止盈价",
                                    inputs.takeProfit, inputs.refusal))
        orderkit::readOptionalPrice(stopLose->textField()->text(), symbol->decimal, "止损价",
                                    inputs.stopLose, inputs.refusal);
    return inputs;
}

void LimitOpenTradeViewController::limitOpen() {
    keyboardControlsDonePressed(keyboardControls_.get());
    if (picker_) picker_->dismiss();
    const OrderInputs inputs = readInputs();
    if (orderkit::refusedWithAlert(kAlertTitle, inputs.refusal)) return;
    auto self = sharedSelf<LimitOpenTradeViewController>();
    const OrderTexts texts = OrderTexts::forAction(OrderAction::LimitOpen, sysdb().get());
    orderFlow_.confirm(texts, sysdb(), [self, texts] {
        self->orderFlow_.submit(texts,
                                [self](KAVDoneBlock ok, KAVFailureBlock fail) {
                                    // Read after the confirmation.
                                    const OrderInputs inputs = self->readInputs();
                                    if (!inputs.refusal.empty()) {
                                        fail("10004", inputs.refusal);
                                        return;
                                    }
                                    self->bizSDK()->limitOpenWithSymbol(
                                        inputs.symbolCode, inputs.quantity, inputs.bsCode,
                                        inputs.orderPrice, inputs.stopLose, inputs.takeProfit, "1",
                                        "", std::move(ok), std::move(fail));
                                },
                                {nullptr, [self] { self->closeScreen(); }, nullptr});
    });
}

// ---- keyboard -----------------------------------------------------------------

void LimitOpenTradeViewController::textFieldDidBeginEditing(UITextField* textField) {
    if (picker_) picker_->dismiss();
    OrderFieldsScreen::textFieldDidBeginEditing(textField);
}

void LimitOpenTradeViewController::textFieldDidEndEditing(UITextField* textField) {
    // Hints for the price the user typed, not for the one stepped before.
    ViewLimitPriceInput* orderPrice = priceInput(kTagOrderPrice);
    if (!orderPrice || textField != orderPrice->textField().get()) return;
    const auto price = orderkit::readNumber(textField->text());
    if (price && price->sign() > 0) limitPriceChange(static_cast<float>(price->toDouble()));
}
