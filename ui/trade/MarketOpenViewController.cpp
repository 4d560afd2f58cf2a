#include "ui/trade/MarketOpenViewController.h"

#include <algorithm>
#include <cmath>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "ui/chart/KAVChartLoader.h"
#include "ui/chart/KAVChartView.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIViewAdditions.h"
#include "ui/trade/LimitOpenTradeViewController.h"
#include "ui/trade/OrderScreenKit.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

constexpr const char* kMarketCaption = "市价建仓";
constexpr const char* kLimitTabCaption = "限价建仓";
constexpr const char* kTradeAlertTitle = "交易提示";
constexpr const char* kTradeAlertButton = "确定";
constexpr CGFloat kInputHeight = 30;
constexpr long kTagSeparator = 1010;  // the line under the order-type control

std::string label(const std::shared_ptr<sysDB>& labels, const std::string& caption) {
    return labels ? labels->getLabelWithKey(caption, caption) : caption;
}

// The input widgets and the price button reuse small tags inside
// themselves: the screen's views are looked up among their parent's direct
// subviews.
using orderkit::childWithTag;

long toolBarTagForPeriod(ChartPeriod period) {
    switch (period) {
        case ChartPeriod::M1:
            return KAVChartView::kTagPeriodM1;
        case ChartPeriod::M5:
            return KAVChartView::kTagPeriodM5;
        case ChartPeriod::M30:
            return KAVChartView::kTagPeriodM30;
        case ChartPeriod::D1:
            return KAVChartView::kTagPeriodD1;
    }
    return 0;  // not reached: every period is named above
}

long indexForPeriod(ChartPeriod period) {
    switch (period) {
        case ChartPeriod::M1:
            return 0;
        case ChartPeriod::M5:
            return 1;
        case ChartPeriod::M30:
            return 2;
        case ChartPeriod::D1:
            return 3;
    }
    return UISegmentedControlNoSegment;  // not reached
}

}  // namespace

MarketOpenViewController::MarketOpenViewController(std::shared_ptr<MODSymbolInfo> symbolInfo)
    : _modSymbolInfo(std::move(symbolInfo)) {}

MarketOpenViewController::~MarketOpenViewController() = default;

// ---- periods and checks -----------------------------------------------------

int32_t MarketOpenViewController::periodForToolBarTag(int tag) {
    switch (tag) {
        case KAVChartView::kTagPeriodM1:
            return kPeriodM1;
        case KAVChartView::kTagPeriodM5:
            return kPeriodM5;
        case KAVChartView::kTagPeriodM30:
            return kPeriodM30;
        case KAVChartView::kTagPeriodD1:
            return kPeriodD1;
        default:
            return 0;
    }
}

int32_t MarketOpenViewController::periodForIndex(long index) {
    static constexpr int32_t kPeriods[] = {kPeriodM1, kPeriodM5, kPeriodM30, kPeriodD1};
    return index >= 0 && index < 4 ? kPeriods[index] : 0;
}

UIImagePtr MarketOpenViewController::scaleImage(const UIImagePtr& image, float scale) {
    return sysDB::scaleImage(image, scale);
}

// ---- life -------------------------------------------------------------------

void MarketOpenViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    initData();
    makeView();
}

void MarketOpenViewController::initData() {
    if (_modSymbolInfo || !bizSDK()) return;
    const auto symbols = bizSDK()->getSymbolsWith(-1);
    if (!symbols.empty()) _modSymbolInfo = symbols.front();
}

void MarketOpenViewController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    // Also on the way back from the limit-order screen, whose symbol may
    // have become current.
    if (auto symbol = refreshedSymbol())
        resetSymbolInfoWith(symbol);
    else
        alertSymbolMissing(!_modSymbolInfo);
    initListen();
}

void MarketOpenViewController::viewDidDisappear(bool animated) {
    removeListen();
    BaseViewController::viewDidDisappear(animated);
}

void MarketOpenViewController::initListen() {
    quoteListen_ =
        BroadcastManager::listen(kActionReceiveTradeQuotation, weakSelf<MarketOpenViewController>(),
                                 &MarketOpenViewController::onReciveBroadcast);
}

void MarketOpenViewController::removeListen() {
    quoteListen_.reset();
}

void MarketOpenViewController::onReciveBroadcast(const MoMessage& message) {
    if (const auto* symbols = message.objAs<MODList<MODSymbolInfo>>())
        updateQuotaWithMods(*symbols);
}

// ---- the view ---------------------------------------------------------------

void MarketOpenViewController::makeView() {
    orderkit::dressScreen(*this);
    const auto weak = weakSelf<MarketOpenViewController>();
    auto pressed = [weak](UIControl* sender, UIEvent*) {
        if (auto self = weak.lock()) self->viewPressed(sender);
    };
    auto changed = [weak](UIControl* sender, UIEvent*) {
        if (auto self = weak.lock()) self->viewValueChange(sender);
    };

    // Title: the order kind and the symbol; a tap opens the picker.
    orderkit::addPickerTitle(*this, kTagTitle, pressed);

    orderkit::addBackButton(*this, kTagBack, pressed);

    makeOrderPanel(changed);
    makeChartPanel(pressed, changed);

    setTitles();
    setPicker();
    loadChartWithPeriodType(kPeriodM1);
}

// The order panel: the order type, the price button, the quantity and the
// deviation.
void MarketOpenViewController::makeOrderPanel(const UIControl::Action& changed) {
    auto panel = std::make_shared<UIView>();
    panel->setTag(kTagOrderPanel);
    panel->setBackgroundColor(kavtheme::screenBackground());
    view()->addSubview(panel);

    auto orderType = std::make_shared<UISegmentedControl>(
        std::vector<std::string>{label(sysdb(), kMarketCaption), label(sysdb(), kLimitTabCaption)});
    orderType->setTag(kTagOrderType);
    orderType->setTintColor(kavtheme::accent());
    orderType->setTitleFont(UIFont::systemFontOfSize(16));
    orderType->setSelectedSegmentIndex(0);
    orderType->addTarget(changed, UIControlEventValueChanged);
    panel->addSubview(orderType);

    auto line = std::make_shared<UIView>();
    line->setTag(kTagSeparator);
    line->setBackgroundColor(UIColor::grayColor());
    panel->addSubview(line);

    auto price = std::make_shared<ViewBuySellButton>(CGRectMake(0, 0, 320, 90), _modSymbolInfo,
                                                     ViewBuySellButton::kStyleWithSpread);
    price->setTag(kTagPriceButton);
    price->delegate = weakSelf<ViewBuySellDelegate>();
    panel->addSubview(price);

    addOrderInputs(*panel);
}

// The quantity and deviation rows with their captions, from the settings'
// defaults within the symbol's bounds, and the keyboard bar over both.
void MarketOpenViewController::addOrderInputs(UIView& panel) {
    const MODSymbolInfo* symbol = _modSymbolInfo.get();
    panel.addSubview(orderkit::makeCaptionCell(CGRectZero, "交易数量", kTagQuantityCaption));
    panel.addSubview(
        orderkit::makeCaptionCell(CGRectZero, label(sysdb(), "偏离点差"), kTagDeviationCaption));

    const auto settings = sysdb() ? sysdb()->setting() : nullptr;
    const Decimal quantity =
        Decimal::parse(platform::stringf("%f", settings ? settings->orderQuantity : 1.0f))
            .value_or(Decimal::fromInteger(1));
    const Decimal deviation = Decimal::fromInteger(orderkit::defaultDeviation(sysdb().get()));
    // Placed in the layout pass.
    const CGRect inputFrame = CGRectMake(0, 0, 140, kInputHeight);
    auto quantityIn = orderkit::makeStepInput(
        inputFrame, kTagQuantity, quantity, Decimal::fromInteger(symbol ? symbol->quantityMax : 0),
        Decimal::fromInteger(symbol ? symbol->minTradeQuantity : 0),
        weakSelf<NumberInputViewDelegate>());
    auto deviationIn =
        orderkit::makeStepInput(inputFrame, kTagDeviation, deviation,
                                Decimal::fromInteger(symbol ? symbol->maxPointOffset : 0),
                                Decimal(), weakSelf<NumberInputViewDelegate>());
    panel.addSubview(quantityIn);
    panel.addSubview(deviationIn);
    _keyboardControls =
        KAVKeyboardControls::initWithFields({quantityIn->textField(), deviationIn->textField()});
    _keyboardControls->delegate = weakSelf<KAVKeyboardControlsDelegate>();
}

// The chart panel: the chart with its loader, the landscape period control
// and symbol button.
void MarketOpenViewController::makeChartPanel(const UIControl::Action& pressed,
                                              const UIControl::Action& changed) {
    const MODSymbolInfo* symbol = _modSymbolInfo.get();
    auto chartPanel = std::make_shared<UIView>();
    chartPanel->setTag(kTagChartPanel);
    chartPanel->setBackgroundColor(kavtheme::screenBackground());
    view()->addSubview(chartPanel);

    auto chart = std::make_shared<KAVChartView>(
        CGRectMake(0, 0, 320, UIScreen::mainScreen().bounds().size.height - 284));
    chart->setTag(kTagChart);
    chart->setBackgroundColor(kavtheme::screenBackground());
    chart->setDecimal(symbol ? symbol->decimal : 0);
    chart->setPeriodSelectDelegate(weakSelf<PeriodSelectDelegate>());
    chartPanel->addSubview(chart);
    chartLoader_ = std::make_shared<KAVChartLoader>(bizSDK(), chart);

    auto periods = std::make_shared<UISegmentedControl>(
        std::vector<std::string>{"1分钟", "5分钟", "30分钟", "日线"});
    periods->setTag(kTagPeriodControl);
    periods->setTintColor(kavtheme::accent());
    // Over the chart's captions: its own ground keeps the titles readable.
    periods->setBackgroundColor(kavtheme::screenBackground());
    periods->setTitleFont(UIFont::systemFontOfSize(16));
    periods->setSelectedSegmentIndex(0);
    periods->setHidden(true);
    periods->addTarget(changed, UIControlEventValueChanged);
    chartPanel->addSubview(periods);

    auto symbolButton = std::make_shared<UIButton>(CGRectMake(0, 0, 150, 15));
    symbolButton->setTag(kTagSymbolButton);
    symbolButton->titleLabel()->setFont(UIFont::systemFontOfSize(12));
    symbolButton->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    symbolButton->setImage(orderkit::pickerCaret(0.5f), UIControlStateNormal);
    symbolButton->setHidden(true);
    symbolButton->addTarget(pressed, UIControlEventTouchUpInside);
    chartPanel->addSubview(symbolButton);
}

void MarketOpenViewController::setPicker() {
    _arraySymbols = bizSDK() ? bizSDK()->getSymbolsWith(-1) : MODList<MODSymbolInfo>();
    const CGRect bounds = view()->bounds();
    _picker = std::make_shared<UIKAVPickerActionSheet>(
        UIKAVPickerActionSheet::DataSource{orderkit::symbolNames(_arraySymbols)},
        CGRectMake(0, bounds.size.height, bounds.size.width, kPickerHeight));
    _picker->delegate = weakSelf<UIKAVPickerActionSheetDelegate>();
    view()->addSubview(_picker);
}

void MarketOpenViewController::viewDidLayoutSubviews() {
    BaseViewController::viewDidLayoutSubviews();
    UIView* panel = orderPanel();
    UIView* chartArea = chartPanel();
    KAVChartView* chart = chartView();
    if (!panel || !chartArea || !chart) return;
    const CGSize size = view()->bounds().size;

    if (landscape_) {
        const CGFloat longSide = std::max(size.width, size.height);
        const CGFloat shortSide = std::min(size.width, size.height);
        chartArea->setFrame(CGRectMake(0, 0, longSide, shortSide));
        CGFloat clear = 0;  // the symbol button starts right of the period control
        if (auto* periods = periodControl()) {
            periods->setFrame(CGRectMake(10, 5, 240, 30));
            clear = CGRectGetMaxX(periods->frame()) + 4;
        }
        if (auto* button = symbolButton()) {
            // Centred, as wide as its title needs, and never over the period
            // control: a finger on "日线" must reach the control.
            const CGFloat width = std::min<CGFloat>(150, button->sizeThatFits({}).width + 4);
            button->setFrame(CGRectMake(std::max((longSide - width) / 2, clear), 12, width, 15));
        }
        // Below the row of the period control and the symbol button, so that
        // neither covers the captions in the chart's head.
        chart->setFrame(
            CGRectMake(0, kLandscapeChartTop, longSide, shortSide - kLandscapeChartTop));
        return;
    }

    const CGFloat w = size.width;
    const CGFloat top = orderkit::barsHeight(*this);
    panel->setFrame(CGRectMake(0, top, w, kOrderPanelHeight));
    CGFloat y = 10;
    if (auto* c = childWithTag(panel, kTagOrderType)) c->setFrame(CGRectMake(10, y, w - 20, 30));
    y += 30 + 10;
    if (auto* line = childWithTag(panel, kTagSeparator)) line->setFrame(CGRectMake(0, y, w, 0.5));
    y += 0.5;
    if (auto* price = priceButton()) price->setFrame(CGRectMake(0, y, w, 90));
    y += 90 + 10;
    const CGFloat half = (w - 40) / 2;
    // Neighbours overlap by a point, so their borders make one line.
    if (auto* c = childWithTag(panel, kTagQuantityCaption))
        c->setFrame(CGRectMake(20, y, half, 30));
    if (auto* c = childWithTag(panel, kTagDeviationCaption))
        c->setFrame(CGRectMake(20 + half - 1, y, half, 30));
    y += 30 - 1;
    for (NumberInputView* input : {quantityInput(), deviationInput()}) {
        if (!input) continue;
        const CGFloat x = input == quantityInput() ? 20 : 20 + half - 1;
        orderkit::placeStepInput(*input, CGRectMake(x, y, half, kInputHeight));
    }

    const CGFloat chartTop = top + kOrderPanelHeight;
    chartArea->setFrame(CGRectMake(0, chartTop, w, std::max<CGFloat>(0, size.height - chartTop)));
    chart->setFrame(chartArea->bounds());
}

// ---- views by tag -------------------------------------------------------------

UIView* MarketOpenViewController::orderPanel() const {
    return childWithTag(const_cast<MarketOpenViewController*>(this)->view(), kTagOrderPanel);
}

UIView* MarketOpenViewController::chartPanel() const {
    return childWithTag(const_cast<MarketOpenViewController*>(this)->view(), kTagChartPanel);
}

KAVChartView* MarketOpenViewController::chartView() const {
    return childWithTag<KAVChartView>(chartPanel(), kTagChart);
}

ViewBuySellButton* MarketOpenViewController::priceButton() const {
    return childWithTag<ViewBuySellButton>(orderPanel(), kTagPriceButton);
}

NumberInputView* MarketOpenViewController::quantityInput() const {
    return childWithTag<NumberInputView>(orderPanel(), kTagQuantity);
}

NumberInputView* MarketOpenViewController::deviationInput() const {
    return childWithTag<NumberInputView>(orderPanel(), kTagDeviation);
}

UISegmentedControl* MarketOpenViewController::periodControl() const {
    return childWithTag<UISegmentedControl>(chartPanel(), kTagPeriodControl);
}

UIButton* MarketOpenViewController::symbolButton() const {
    return childWithTag<UIButton>(chartPanel(), kTagSymbolButton);
}

UIButton* MarketOpenViewController::titleButton() {
    return dynamic_cast<UIButton*>(navigationItem().titleView.get());
}

// ---- the symbol ---------------------------------------------------------------

std::shared_ptr<MODSymbolInfo> MarketOpenViewController::refreshedSymbol() {
    if (!_modSymbolInfo || !bizSDK()) return nullptr;
    auto current = bizSDK()->getSymbolWith(_modSymbolInfo->symbolCode);
    if (current) _modSymbolInfo = current;
    return current;
}

void MarketOpenViewController::alertSymbolMissing(bool close) {
    platform::log(std::string("市价建仓：商品不存在 ") +
                  (_modSymbolInfo ? _modSymbolInfo->symbolCode : std::string()));
    auto weak = weakSelf<MarketOpenViewController>();
    KAVAlertView::showAlertWithTitle(kTradeAlertTitle, kSymbolMissing,
                                     std::string(kTradeAlertButton), [weak, close](bool, long) {
                                         auto self = weak.lock();
                                         if (self && close)
                                             self->dismissViewControllerAnimated(true);
                                     });
}

void MarketOpenViewController::resetSymbolInfoWith(std::shared_ptr<MODSymbolInfo> symbol) {
    if (!symbol) {
        alertSymbolMissing(false);
        return;
    }
    _modSymbolInfo = std::move(symbol);
    if (KAVChartView* chart = chartView()) {
        chart->setDecimal(_modSymbolInfo->decimal);
        chart->setChartSelectDelegate(weakSelf<ChartSelectDelegate>());
        chart->setBackgroundColor(kavtheme::screenBackground());
    }
    updateQuotaWithMods(MODList<MODSymbolInfo>{_modSymbolInfo});
    applyBounds(*_modSymbolInfo);
    loadChartWithPeriodType(kPeriodM1);
    setTitles();
}

void MarketOpenViewController::applyBounds(const MODSymbolInfo& symbol) {
    if (NumberInputView* quantity = quantityInput()) {
        // The maximum first: a value above it comes down, then one below the
        // minimum goes up.
        quantity->setMaxValue(Decimal::fromInteger(symbol.quantityMax));
        quantity->setMinValue(Decimal::fromInteger(symbol.minTradeQuantity));
    }
    if (NumberInputView* deviation = deviationInput())
        deviation->setMaxValue(Decimal::fromInteger(symbol.maxPointOffset));
}

void MarketOpenViewController::setTitles() {
    const std::string name = _modSymbolInfo ? _modSymbolInfo->symbolName : std::string();
    if (UIButton* title = titleButton())
        title->setTitle(label(sysdb(), kMarketCaption) + "-" + name, UIControlStateNormal);
    if (UIButton* button = symbolButton()) button->setTitle(name, UIControlStateNormal);
}

void MarketOpenViewController::updateQuotaWithMods(const MODList<MODSymbolInfo>& symbols) {
    if (!_modSymbolInfo) return;
    for (const auto& symbol : symbols) {
        if (!symbol || symbol->symbolCode != _modSymbolInfo->symbolCode) continue;
        // A record the service made anew (after it loaded its symbols again)
        // replaces the one held, so an order takes the latest prices.
        _modSymbolInfo = symbol;
        if (ViewBuySellButton* price = priceButton()) price->updateWithMODSymbolInfo(symbol);
        return;
    }
}

void MarketOpenViewController::didSelectRow(int row, int inComponent, const std::string&) {
    if (inComponent != 0) return;
    if (row < 0 || static_cast<size_t>(row) >= _arraySymbols.size() || !_arraySymbols[row]) return;
    const auto& chosen = _arraySymbols[static_cast<size_t>(row)];
    // The picker's list was taken when the screen was made; the service may
    // have replaced or dropped the record since.
    auto symbol = bizSDK() ? bizSDK()->getSymbolWith(chosen->symbolCode) : nullptr;
    resetSymbolInfoWith(std::move(symbol));
}

void MarketOpenViewController::onSymbolSelect(const std::string& symbolCode) {
    auto symbol = bizSDK() ? bizSDK()->getSymbolWith(symbolCode) : nullptr;
    if (!symbol) {
        alertSymbolMissing(false);
        return;
    }
    // Shown when this screen appears again.
    _modSymbolInfo = std::move(symbol);
}

// ---- the chart ----------------------------------------------------------------

void MarketOpenViewController::loadChartWithPeriodType(int32_t period) {
    // A code that names no period loads nothing.
    const std::optional<ChartPeriod> known = chartPeriodFromCode(period);
    if (!known || !chartLoader_) return;
    showPeriod(known);
    auto weak = weakSelf<MarketOpenViewController>();
    chartLoader_->loadChartWithPeriodType(_modSymbolInfo, period, [weak](bool) {
        auto self = weak.lock();
        if (!self) return;
        // Drawn: the chart holds the bars of this period. Failed: it kept
        // what it showed, and the controls go back to that.
        KAVChartView* chart = self->chartView();
        const int32_t drawn = chart && chart->period() ? chart->period() : kPeriodM1;
        self->showPeriod(chartPeriodFromCode(drawn));
    });
}

void MarketOpenViewController::showPeriod(std::optional<ChartPeriod> period) {
    if (KAVChartView* chart = chartView())
        chart->selectPeriodButton(period ? toolBarTagForPeriod(*period) : 0);
    if (UISegmentedControl* periods = periodControl())
        periods->setSelectedSegmentIndex(period ? indexForPeriod(*period)
                                                : UISegmentedControlNoSegment);
}

void MarketOpenViewController::onPeriodTypeSelect(int tag) {
    loadChartWithPeriodType(periodForToolBarTag(tag));
}

void MarketOpenViewController::onChartTypeSelect(int chartType) {
    if (UISegmentedControl* periods = periodControl())
        periods->setHidden(!landscape_ || chartType == MODChartConfig::kChartLine);
    // The minute line is drawn from 1-minute bars: from the day bars of a
    // K-line period it would be an empty grid. Unless those are the bars
    // held and the ones asked for, they are loaded, as a turn does.
    if (chartType != MODChartConfig::kChartLine) return;
    KAVChartView* chart = chartView();
    const bool held = chart && chart->period() == kPeriodM1;
    const bool asked = !chartLoader_ || chartLoader_->period() == kPeriodM1;
    if (!held || !asked) loadChartWithPeriodType(kPeriodM1);
}

// ---- buttons ------------------------------------------------------------------

void MarketOpenViewController::viewPressed(UIView* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagBack:
            // Held sideways the chart fills the screen; the button does nothing then.
            if (orderkit::isHeldSideways()) return;
            dismissViewControllerAnimated(true);
            break;
        case kTagTitle:
        case kTagSymbolButton: {
            if (!_picker) return;
            if (_modSymbolInfo) {
                const auto it =
                    std::find_if(_arraySymbols.begin(), _arraySymbols.end(), [this](const auto& s) {
                        return s && s->symbolCode == _modSymbolInfo->symbolCode;
                    });
                if (it != _arraySymbols.end())
                    _picker->selectRow(it - _arraySymbols.begin(), 0, true);
            }
            _picker->display();
            break;
        }
        default:
            break;
    }
}

void MarketOpenViewController::viewValueChange(UIView* sender) {
    auto* control = dynamic_cast<UISegmentedControl*>(sender);
    if (!control) return;
    if (_picker) _picker->dismiss();
    switch (control->tag()) {
        case kTagOrderType: {
            if (control->selectedSegmentIndex() != 1) return;
            control->setSelectedSegmentIndex(0);
            auto* nav = navigationController();
            if (!nav) return;
            auto limit = std::make_shared<LimitOpenTradeViewController>(_modSymbolInfo);
            limit->setContext(context());
            limit->setSymbolSelectDelegate(weakSelf<SymbolSelectDelegate>());
            nav->pushViewController(limit, true);
            break;
        }
        case kTagPeriodControl:
            loadChartWithPeriodType(periodForIndex(control->selectedSegmentIndex()));
            break;
        default:
            break;
    }
}

// ---- the order ----------------------------------------------------------------

void MarketOpenViewController::onBuySellButtonPressed(UIView* sender) {
    // What is being typed counts: editing ends first.
    keyboardControlsDonePressed(_keyboardControls.get());
    const bool buy = sender && sender->tag() == ViewBuySellButton::kTagBuy;
    marketOpenWithBuyOrSell(buy ? BuySell::Buy : BuySell::Sell);
}

void MarketOpenViewController::marketOpenWithBuyOrSell(BuySell buyOrSell) {
    if (_picker) _picker->dismiss();
    auto symbol = refreshedSymbol();
    if (!symbol) {
        alertSymbolMissing(false);
        return;
    }
    NumberInputView* quantity = quantityInput();
    const std::string refusal = quantityRefusal(quantity ? quantity->value() : Decimal(), *symbol);
    if (orderkit::refusedWithAlert(kTradeAlertTitle, refusal)) return;
    auto self = sharedSelf<MarketOpenViewController>();
    orderFlow_.confirm(OrderTexts::forAction(OrderAction::MarketOpen, sysdb().get()), sysdb(),
                       [self, buyOrSell] { self->makeOrder(buyOrSell); });
}

void MarketOpenViewController::makeOrder(BuySell buyOrSell) {
    auto self = sharedSelf<MarketOpenViewController>();
    orderFlow_.submit(
        OrderTexts::forAction(OrderAction::MarketOpen, sysdb().get()),
        [self, buyOrSell](KAVDoneBlock ok, KAVFailureBlock fail) {
            const auto& sdk = self->bizSDK();
            if (!sdk) {
                fail(kKAVNotInitialised.code, kKAVNotInitialised.message);
                return;
            }
            // Read now, after the confirmation: the price of this moment.
            const auto symbol = self->refreshedSymbol();
            const std::string code = symbol                 ? symbol->symbolCode
                                     : self->_modSymbolInfo ? self->_modSymbolInfo->symbolCode
                                                            : std::string();
            const bool buy = buyOrSell == BuySell::Buy;
            const double price = symbol ? (buy ? symbol->ask : symbol->bid) : 0;
            NumberInputView* quantityIn = self->quantityInput();
            NumberInputView* deviationIn = self->deviationInput();
            const double quantity = quantityIn ? std::trunc(quantityIn->value().toDouble()) : 0;
            const auto offset =
                static_cast<int32_t>(deviationIn ? std::trunc(deviationIn->value().toDouble()) : 0);
            // An unknown symbol is refused by the service at once.
            sdk->marketOpenWithSymbol(code, quantity, bsCodeFor(buyOrSell), price, offset, 0, 0, "",
                                      std::move(ok), std::move(fail));
        },
        {nullptr, [self] { self->dismissViewControllerAnimated(true); }, nullptr});
}

// ---- keyboard and rotation -------------------------------------------------------

void MarketOpenViewController::liftForKeyboard() {
    // The whole order panel stays above the keyboard bar, whichever field is edited.
    orderkit::shiftViewForField(view(), orderPanel());
}

void MarketOpenViewController::textFieldDidBeginEditing(UITextField* textField) {
    if (_picker) _picker->dismiss();
    if (_keyboardControls) _keyboardControls->setActiveField(textField);
    liftForKeyboard();
}

void MarketOpenViewController::keyboardControls(KAVKeyboardControls*, UIView*, int32_t) {
    liftForKeyboard();
}

void MarketOpenViewController::keyboardControlsDonePressed(KAVKeyboardControls*) {
    view()->endEditing(true);
    orderkit::unshiftView(view());
}

void MarketOpenViewController::willRotateToInterfaceOrientation(UIInterfaceOrientation o,
                                                                double duration) {
    BaseViewController::willRotateToInterfaceOrientation(o, duration);
    for (NumberInputView* input : {quantityInput(), deviationInput()})
        if (input) input->textField()->resignFirstResponder();
    if (_picker) _picker->dismiss();
    if (o != UIInterfaceOrientation::Portrait && !UIInterfaceOrientationIsLandscape(o)) return;

    landscape_ = UIInterfaceOrientationIsLandscape(o);
    // The keyboard's lift does not outlive the turn.
    UIViewAdditions::setTop(*view(), 0);
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(landscape_);
    if (UIView* panel = orderPanel()) panel->setHidden(landscape_);
    KAVChartView* chart = chartView();
    if (UISegmentedControl* periods = periodControl())
        periods->setHidden(!landscape_ || (chart && chart->isChartLine()));
    if (UIButton* button = symbolButton()) {
        button->setHidden(!landscape_);
        if (landscape_) {
            setTitles();
            if (UIView* area = chartPanel()) area->bringSubviewToFront(button);
        }
    }
    if (chart) chart->setToolBar(landscape_ ? ChartViewType::Landscape : ChartViewType::Portrait);
    view()->setNeedsLayout();
    loadChartWithPeriodType(kPeriodM1);
}
