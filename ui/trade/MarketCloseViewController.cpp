#include "ui/trade/MarketCloseViewController.h"

#include <algorithm>
#include <cmath>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SegmentedControl.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIKAVTextField.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/ModifyHoldBillViewController.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewMarketPrice.h"

using namespace platform::ui;
using platform::Decimal;

MarketCloseViewController::MarketCloseViewController(std::shared_ptr<MODHoldBill> holdInfo)
    : modHoldBill_(std::move(holdInfo)) {}

MarketCloseViewController::~MarketCloseViewController() = default;

void MarketCloseViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    sysDB_ = sysdb();
    makeView();
}

void MarketCloseViewController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    initListen();
}

void MarketCloseViewController::viewDidDisappear(bool animated) {
    removeListen();
    BaseViewController::viewDidDisappear(animated);
}

std::string MarketCloseViewController::priceText(double price) const {
    return sysDB::formatPrice(price, modSymbolInfo_ ? modSymbolInfo_->decimal : 0);
}

void MarketCloseViewController::makeView() {
    UIView* v = view();
    const CGFloat W = v->bounds().size.width;
    const CGFloat H = v->bounds().size.height;
    const CGFloat w = W - 2 * kavtheme::kOrderColumnInset;
    const CGFloat x = (W - w) / 2;
    const CGFloat T = orderkit::barsHeight(*this);

    if (modHoldBill_ && bizSDK())
        modSymbolInfo_ = bizSDK()->getSymbolWith(modHoldBill_->symbolCode);

    setTitle(label("市价平仓") + "-" + (modHoldBill_ ? modHoldBill_->symbolName : std::string()));
    if (auto* nav = navigationController()) nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    v->setBackgroundColor(kavtheme::screenBackground());

    auto back = orderkit::makeBackButton(kTagBack);
    back->addTarget(weakSelf<MarketCloseViewController>(), &MarketCloseViewController::viewPressed,
                    UIControlEventTouchUpInside);
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(back), false);

    auto container = std::make_shared<UIView>(CGRectMake(0, T, W, H - T));
    container->setBackgroundColor(UIColor::clearColor());
    v->addSubview(container);
    automaticallyAdjustsScrollViewInsets = false;
    auto scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, W, H - T));
    scroll->setTag(kTagScroll);
    scroll->setContentSize(CGSizeMake(-1, container->frame().size.height));
    container->addSubview(scroll);

    auto segment = std::make_shared<UISegmentedControl>(
        std::vector<std::string>{label("市价平仓"), "修改单据"});
    segment->setTag(kTagSegment);
    segment->setFrame(CGRectMake(x, 15, w, 30));
    segment->setTintColor(kavtheme::accent());
    segment->setTitleFont(UIFont::systemFontOfSize(16), UIControlStateNormal);
    segment->setSelectedSegmentIndex(0);
    segment->addTarget(weakSelf<MarketCloseViewController>(),
                       &MarketCloseViewController::viewValueChange, UIControlEventValueChanged);
    scroll->addSubview(segment);

    auto caption = orderkit::makeSectionCaption(
        CGRectMake(x, CGRectGetMaxY(segment->frame()) + 15, w, 30), "单据信息");
    scroll->addSubview(caption);

    auto description = orderkit::makeTicketDescription(
        CGRectMake(x, CGRectGetMaxY(caption->frame()) + 5, w, 70),
        modHoldBill_
            ? orderkit::ticketDescription(*modHoldBill_, priceText(modHoldBill_->priceHold))
            : std::string());
    scroll->addSubview(description);

    auto panel = std::make_shared<ViewMarketPrice>(
        CGRectMake(x, CGRectGetMaxY(description->frame()) + 15, w, 60), modHoldBill_,
        modSymbolInfo_, sysdb());
    panel->setTag(kTagPricePanel);
    scroll->addSubview(panel);

    const CGFloat top = CGRectGetMaxY(panel->frame()) + 15;
    auto quantityCaption = orderkit::makeCaptionCell(CGRectMake(x, top, w / 2, 30),
                                                     label("平仓数量"), kTagQuantityCaption);
    scroll->addSubview(quantityCaption);
    auto deviationCaption = orderkit::makeCaptionCell(
        CGRectMake(CGRectGetMaxX(quantityCaption->frame()) - 1, top, w / 2, 30), label("偏离点差"),
        kTagDeviationCaption);
    scroll->addSubview(deviationCaption);

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
    const CGFloat fieldTop = CGRectGetMaxY(deviationCaption->frame()) - 1;
    auto quantity = makeField(
        CGRectMake(x, fieldTop, w / 2, 30), kTagQuantity,
        modHoldBill_ ? KAStringUtils::notRounding(
                           lsconvert::decimal(static_cast<double>(modHoldBill_->quantityHold)), 0)
                     : std::string());
    scroll->addSubview(quantity);
    const std::string pointMove =
        sysDB_ ? sysDB_->valueWithTag(settingTag::pointMove, "5") : std::string("5");
    auto deviation =
        makeField(CGRectMake(CGRectGetMaxX(quantity->frame()) - 1, fieldTop, w / 2, 30),
                  kTagDeviation, platform::stringf("%d", std::atoi(pointMove.c_str())));
    scroll->addSubview(deviation);

    keyboardControls_ = KAVKeyboardControls::initWithFields({quantity, deviation});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();

    auto limitLabel = [&](CGFloat left, const std::string& caption, double price) {
        auto l = std::make_shared<UILabel>(
            CGRectMake(left, CGRectGetMaxY(deviation->frame()) + 15, w / 2, 30));
        l->setTextAlignment(NSTextAlignment::Left);
        l->setFont(UIFont::systemFontOfSize(16));
        l->setTextColor(kavtheme::dimText());
        l->setBackgroundColor(UIColor::clearColor());
        l->setText(caption + " : " + priceText(price));
        scroll->addSubview(l);
    };
    limitLabel(x, "止盈", modHoldBill_ ? modHoldBill_->priceTakeProfit : 0);
    limitLabel(W / 2, "止损", modHoldBill_ ? modHoldBill_->priceStopLose : 0);

    auto confirm = orderkit::makeConfirmButton(
        CGRectMake(x, container->frame().size.height - 60, w, 50), kTagConfirm);
    confirm->addTarget(weakSelf<MarketCloseViewController>(),
                       &MarketCloseViewController::viewPressed, UIControlEventTouchUpInside);
    scroll->addSubview(confirm);
}

void MarketCloseViewController::viewPressed(UIControl* sender) {
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

void MarketCloseViewController::viewValueChange(UIControl* sender) {
    auto* segment = dynamic_cast<UISegmentedControl*>(sender);
    if (!segment || segment->tag() != kTagSegment || segment->selectedSegmentIndex() != 1) return;
    // Coming back shows the close again.
    segment->setSelectedSegmentIndex(0);
    if (auto* nav = navigationController())
        nav->pushViewController(std::make_shared<ModifyHoldBillViewController>(modHoldBill_), true);
}

void MarketCloseViewController::initListen() {
    holdListen_ = BroadcastManager::listen(kActionReceiveHoldBillChange,
                                           weakSelf<MarketCloseViewController>(),
                                           &MarketCloseViewController::onReciveBroadcast);
}

void MarketCloseViewController::removeListen() {
    holdListen_.reset();
}

void MarketCloseViewController::onReciveBroadcast(const MoMessage& message) {
    const auto* holdBills = message.objAs<MODList<MODHoldBill>>();
    if (!holdBills || !modHoldBill_) return;
    auto panel = view()->viewWithTag<ViewMarketPrice>(kTagPricePanel);
    if (!panel) return;
    for (const auto& bill : *holdBills)
        if (bill && bill->orderCode == modHoldBill_->orderCode)
            panel->updateWithPrice(static_cast<float>(bill->markPrice),
                                   static_cast<float>(bill->dynProfit));
}

MarketCloseViewController::CloseInputs MarketCloseViewController::readInputs() const {
    CloseInputs inputs;
    auto* v = const_cast<MarketCloseViewController*>(this)->view();
    auto quantityField = v->viewWithTag<UITextField>(kTagQuantity);
    auto deviationField = v->viewWithTag<UITextField>(kTagDeviation);
    if (!quantityField || !deviationField) {
        inputs.refusal = "界面未就绪";
        return inputs;
    }

    // Whole lots, from the symbol's smallest trade up to what the ticket holds.
    const int64_t most =
        modHoldBill_ ? static_cast<int64_t>(std::floor(modHoldBill_->quantityHold)) : INT32_MAX;
    int64_t least = std::max<int64_t>(1, modSymbolInfo_ ? modSymbolInfo_->minTradeQuantity : 1);
    if (most >= 1) least = std::min(least, most);  // the whole ticket may always go
    const auto quantity = orderkit::readNumber(quantityField->text());
    if (most < 1) {
        inputs.refusal = "该单据没有可平仓的整数数量";
        return inputs;
    }
    if (!quantity || *quantity != quantity->rounded(0, Decimal::Rounding::Plain) ||
        *quantity < Decimal::fromInteger(least) || *quantity > Decimal::fromInteger(most)) {
        inputs.refusal =
            platform::stringf("%s须为%lld到%lld之间的整数", label("平仓数量").c_str(),
                              static_cast<long long>(least), static_cast<long long>(most));
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

void MarketCloseViewController::marketCloseOut() {
    keyboardControlsDonePressed(keyboardControls_.get());
    const CloseInputs inputs = readInputs();
    if (!inputs.refusal.empty()) {
        KAVAlertView::showAlertWithTitle("交易提示", inputs.refusal, std::string("确定"), nullptr);
        return;
    }
    auto self = sharedSelf<MarketCloseViewController>();
    orderFlow_.confirm(OrderTexts::forAction(OrderAction::CloseTicket, sysDB_.get()), sysDB_,
                       [self] { self->marketClose(); });
}

void MarketCloseViewController::marketClose() {
    auto self = sharedSelf<MarketCloseViewController>();
    orderFlow_.submit(OrderTexts::forAction(OrderAction::CloseTicket, sysDB_.get()),
                      [self](KAVDoneBlock ok, KAVFailureBlock fail) {
                          // Read after the confirmation; they cannot have changed under the
                          // alert, but a refusal here still sends nothing.
                          const CloseInputs inputs = self->readInputs();
                          if (!inputs.refusal.empty()) {
                              fail("10004", inputs.refusal);
                              return;
                          }
                          if (!self->bizSDK()) {
                              fail(kKAVNotInitialised.code, kKAVNotInitialised.message);
                              return;
                          }
                          self->bizSDK()->marketCloseWithOrder(self->modHoldBill_, inputs.quantity,
                                                               inputs.pointOffset, 0, kMemo,
                                                               std::move(ok), std::move(fail));
                      },
                      {nullptr, [self] { self->dismissViewControllerAnimated(true); }, nullptr});
}
