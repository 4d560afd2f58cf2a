#include "ui/trade/MarketCloseViewController.h"

#include <algorithm>
#include <cmath>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SegmentedControl.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/ModifyHoldBillViewController.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewMarketPrice.h"

using namespace platform::ui;
using platform::Decimal;

MarketCloseViewController::MarketCloseViewController(std::shared_ptr<MODHoldBill> holdInfo)
    : HoldOrderScreen(OrderAction::CloseTicket, kTagConfirm), modHoldBill_(std::move(holdInfo)) {}

MarketCloseViewController::~MarketCloseViewController() = default;

std::string MarketCloseViewController::priceText(double price) const {
    return sysDB::formatPrice(price, modSymbolInfo_ ? modSymbolInfo_->decimal : 0);
}

void MarketCloseViewController::makeView() {
    UIView* v = view();
    const auto [W, H, w, x, T] = measures();

    if (modHoldBill_ && bizSDK())
        modSymbolInfo_ = bizSDK()->getSymbolWith(modHoldBill_->symbolCode);

    dressScreen(label("市价平仓") + "-" +
                (modHoldBill_ ? modHoldBill_->symbolName : std::string()));

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

    auto panel = orderkit::addTicketSummary(*scroll, x, CGRectGetMaxY(segment->frame()) + 15, w,
                                            modHoldBill_, modSymbolInfo_, sysdb(), kTagPricePanel);

    const auto fields = orderkit::addCloseFields(
        *scroll, x, CGRectGetMaxY(panel->frame()) + 15, w, label("平仓数量"), label("偏离点差"),
        modHoldBill_ ? KAStringUtils::notRounding(
                           lsconvert::decimal(static_cast<double>(modHoldBill_->quantityHold)), 0)
                     : std::string(),
        platform::stringf("%d", orderkit::defaultDeviation(sysDB_.get())),
        weakSelf<UITextFieldDelegate>());
    keyboardControls_ = KAVKeyboardControls::initWithFields({fields.quantity, fields.deviation});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();

    auto limitLabel = [&, w = w](CGFloat left, const std::string& caption, double price) {
        auto l = std::make_shared<UILabel>(
            CGRectMake(left, CGRectGetMaxY(fields.deviation->frame()) + 15, w / 2, 30));
        l->setTextAlignment(NSTextAlignment::Left);
        l->setFont(UIFont::systemFontOfSize(16));
        l->setTextColor(kavtheme::dimText());
        l->setBackgroundColor(UIColor::clearColor());
        l->setText(caption + " : " + priceText(price));
        scroll->addSubview(l);
    };
    limitLabel(x, "止盈", modHoldBill_ ? modHoldBill_->priceTakeProfit : 0);
    limitLabel(W / 2, "止损", modHoldBill_ ? modHoldBill_->priceStopLose : 0);

    scroll->addSubview(
        makeConfirmButton(CGRectMake(x, container->frame().size.height - 60, w, 50)));
}

void MarketCloseViewController::viewValueChange(UIControl* sender) {
    auto* segment = dynamic_cast<UISegmentedControl*>(sender);
    if (!segment || segment->tag() != kTagSegment || segment->selectedSegmentIndex() != 1) return;
    // Coming back shows the close again.
    segment->setSelectedSegmentIndex(0);
    auto* nav = navigationController();
    if (!nav) return;
    // The stops the ticket has now: a change sends both again.
    auto screen = std::make_shared<ModifyHoldBillViewController>(currentTicket());
    screen->setContext(context());
    nav->pushViewController(screen, true);
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
        if (bill && bill->orderCode == modHoldBill_->orderCode) {
            if (bill->quantityHold == 0) ticketClosed_ = true;
            panel->updateWithPrice(static_cast<float>(bill->markPrice),
                                   static_cast<float>(bill->dynProfitPrice));
        }
}

std::shared_ptr<MODHoldBill> MarketCloseViewController::currentTicket() const {
    if (!modHoldBill_ || !bizSDK()) return modHoldBill_;
    auto held = bizSDK()->getHoldBillWith(modHoldBill_->orderCode);
    return held ? held : modHoldBill_;
}

orderkit::CloseInputs MarketCloseViewController::readInputs() const {
    auto* v = const_cast<MarketCloseViewController*>(this)->view();
    if (orderkit::ticketIsGone(modHoldBill_.get(), ticketClosed_, bizSDK().get()))
        return {0, 0, orderkit::kTicketClosed};
    // Whole lots, from the symbol's smallest trade up to what the ticket
    // holds now.
    const auto ticket = currentTicket();
    return orderkit::readCloseInputs(v->viewWithTag<UITextField>(kTagQuantity).get(),
                                     v->viewWithTag<UITextField>(kTagDeviation).get(),
                                     ticket ? orderkit::wholeLots(ticket->quantityHold) : INT32_MAX,
                                     modSymbolInfo_ ? modSymbolInfo_->minTradeQuantity : 1,
                                     label("平仓数量"), label("偏离点差"),
                                     "该单据没有可平仓的整数数量");
}

void MarketCloseViewController::marketCloseOut() {
    auto self = sharedSelf<MarketCloseViewController>();
    confirmOrder(
        "交易提示", [this] { return readInputs().refusal; }, [self] { self->marketClose(); });
}

void MarketCloseViewController::marketClose() {
    auto self = sharedSelf<MarketCloseViewController>();
    submitOrder([self](KAVDoneBlock ok, KAVFailureBlock fail) {
        // Read after the confirmation; they cannot have changed under the
        // alert, but a refusal here still sends nothing.
        const orderkit::CloseInputs inputs = self->readInputs();
        if (orderkit::failsBeforeSending(inputs.refusal, self->bizSDK().get(), fail)) return;
        self->bizSDK()->marketCloseWithOrder(self->currentTicket(), inputs.quantity,
                                             inputs.pointOffset, 0, kMemo, std::move(ok),
                                             std::move(fail));
    });
}
