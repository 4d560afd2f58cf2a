#include "ui/trade/ModifyHoldBillViewController.h"

#include "Core/Model/MODLimitPrice.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewLimitPriceInput.h"
#include "ui/trade/ViewMarketPrice.h"

using namespace platform::ui;

ModifyHoldBillViewController::ModifyHoldBillViewController(std::shared_ptr<MODHoldBill> holdInfo)
    : HoldOrderScreen(OrderAction::ModifyHoldBill, kTagConfirm),
      modHoldBill_(std::move(holdInfo)) {}

ModifyHoldBillViewController::~ModifyHoldBillViewController() = default;

void ModifyHoldBillViewController::initListen() {
    holdListen_ = BroadcastManager::listen(kActionReceiveHoldBillChange,
                                           weakSelf<ModifyHoldBillViewController>(),
                                           &ModifyHoldBillViewController::onReciveBroadcast);
}

void ModifyHoldBillViewController::removeListen() {
    holdListen_.reset();
}

void ModifyHoldBillViewController::makeView() {
    UIView* v = view();
    const auto [W, H, w, x, T] = measures();

    if (modHoldBill_ && bizSDK())
        modSymbolInfo_ = bizSDK()->getSymbolWith(modHoldBill_->symbolCode);
    const int decimal = modSymbolInfo_ ? modSymbolInfo_->decimal : 0;

    dressScreen(std::string(kTitle) + "-" +
                (modHoldBill_ ? modHoldBill_->symbolName : std::string()));

    auto container = std::make_shared<UIView>(CGRectMake(0, T, W, H - T));
    container->setBackgroundColor(UIColor::clearColor());

    auto panel = orderkit::addTicketSummary(*container, x, 15, w, modHoldBill_, modSymbolInfo_,
                                            sysdb(), kTagPricePanel);

    auto makeInput = [&, w = w](const CGRect& frame, const std::string& title, long tag, double price) {
        auto input = makePriceInput(frame, modSymbolInfo_.get(), title, tag, 2, w / 2 - 10);
        if (!sysDB::isZero(price)) input->textField()->setText(sysDB::formatPrice(price, decimal));
        container->addSubview(input);
        return input;
    };
    const CGFloat inputTop = CGRectGetMaxY(panel->frame()) + 5;
    auto takeProfit = makeInput(CGRectMake(x, inputTop, w / 2 - 10, 90), "止盈价", kTagTakeProfit,
                                modHoldBill_ ? modHoldBill_->priceTakeProfit : 0);
    auto stopLose = makeInput(CGRectMake(W / 2 + 9, inputTop, w / 2 - 10, 90), "止损价",
                              kTagStopLose, modHoldBill_ ? modHoldBill_->priceStopLose : 0);

    container->addSubview(
        makeConfirmButton(CGRectMake(x, container->frame().size.height - 60, w, 50)));
    v->addSubview(container);

    keyboardControls_ =
        KAVKeyboardControls::initWithFields({takeProfit->textField(), stopLose->textField()});
    keyboardControls_->delegate = weakSelf<KAVKeyboardControlsDelegate>();

    if (modHoldBill_) limitPriceChange(static_cast<float>(modHoldBill_->markPrice));
}

void ModifyHoldBillViewController::limitPriceChange(float price) {
    if (!modHoldBill_ || !modSymbolInfo_) return;
    showLimitBounds(modSymbolInfo_->symbolCode, price, modHoldBill_->bsCode,
                    view()->viewWithTag<ViewLimitPriceInput>(kTagStopLose).get(),
                    view()->viewWithTag<ViewLimitPriceInput>(kTagTakeProfit).get());
}

void ModifyHoldBillViewController::goBack() {
    if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
}

void ModifyHoldBillViewController::onReciveBroadcast(const MoMessage& message) {
    const auto* holdBills = message.objAs<MODList<MODHoldBill>>();
    if (!holdBills || !modHoldBill_) return;
    for (const auto& bill : *holdBills) {
        if (!bill || bill->orderCode != modHoldBill_->orderCode) continue;
        if (bill->quantityHold == 0) ticketClosed_ = true;
        limitPriceChange(static_cast<float>(bill->markPrice));
        if (auto panel = view()->viewWithTag<ViewMarketPrice>(kTagPricePanel))
            panel->updateWithPrice(static_cast<float>(bill->markPrice),
                                   static_cast<float>(bill->dynProfitPrice));
    }
}

ModifyHoldBillViewController::Prices ModifyHoldBillViewController::readPrices() const {
    Prices prices;
    if (orderkit::ticketIsGone(modHoldBill_.get(), ticketClosed_, bizSDK().get())) {
        prices.refusal = orderkit::kTicketClosed;
        return prices;
    }
    auto* v = const_cast<ModifyHoldBillViewController*>(this)->view();
    // An empty field means none (0); anything but a number is refused.
    auto read = [&](long tag, const char* caption, double& out) {
        auto input = v->viewWithTag<ViewLimitPriceInput>(tag);
        if (!input || !input->textField()) return false;
        return orderkit::readOptionalPrice(input->textField()->text(),
                                           modSymbolInfo_ ? modSymbolInfo_->decimal : 10, caption,
                                           out, prices.refusal);
    };
    if (read(kTagTakeProfit, "止盈价", prices.takeProfit) &&
        read(kTagStopLose, "止损价", prices.stopLose))
        return prices;
    if (prices.refusal.empty()) prices.refusal = "界面未就绪";
    return prices;
}

void ModifyHoldBillViewController::modifyHoldBill() {
    auto self = sharedSelf<ModifyHoldBillViewController>();
    confirmOrder(
        "下单提示", [this] { return readPrices().refusal; }, [self] { self->makeOrder(); });
}

void ModifyHoldBillViewController::makeOrder() {
    auto self = sharedSelf<ModifyHoldBillViewController>();
    // A success closes the navigation controller, and with it the close screen.
    submitOrder([self](KAVDoneBlock ok, KAVFailureBlock fail) {
        const Prices prices = self->readPrices();
        if (orderkit::failsBeforeSending(prices.refusal, self->bizSDK().get(), fail)) return;
        const auto& bill = self->modHoldBill_;
        self->bizSDK()->modifyOrderWithSymbol(
            bill ? bill->symbolCode : std::string(), prices.stopLose, prices.takeProfit,
            bill ? bill->orderCode : std::string(), "", std::move(ok), std::move(fail));
    });
}
