#include "ui/trade/HoldOrderScreen.h"

#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/OrderScreenKit.h"

using namespace platform::ui;

HoldOrderScreen::HoldOrderScreen(OrderAction action, long confirmTag)
    : action_(action), confirmTag_(confirmTag) {}

void HoldOrderScreen::viewDidLoad() {
    BaseViewController::viewDidLoad();
    sysDB_ = sysdb();
    makeView();
}

void HoldOrderScreen::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    initListen();
}

void HoldOrderScreen::viewDidDisappear(bool animated) {
    removeListen();
    BaseViewController::viewDidDisappear(animated);
}

void HoldOrderScreen::viewPressed(UIControl* sender) {
    if (!sender) return;
    if (sender->tag() == confirmTag_) {
        confirmPressed();
    } else if (sender->tag() == kTagBack) {
        // Held sideways the button does nothing.
        if (orderkit::isHeldSideways()) return;
        goBack();
    }
}

HoldOrderScreen::Measures HoldOrderScreen::measures() {
    const CGRect bounds = view()->bounds();
    const CGFloat w = bounds.size.width - 2 * kavtheme::kOrderColumnInset;
    return {bounds.size.width, bounds.size.height, w, (bounds.size.width - w) / 2,
            orderkit::barsHeight(*this)};
}

void HoldOrderScreen::dressScreen(const std::string& title) {
    setTitle(title);
    orderkit::dressScreen(*this);
    orderkit::addBackButton(*this, kTagBack,
                            orderkit::tapsTo(*this, &HoldOrderScreen::viewPressed));
}

std::shared_ptr<UIButton> HoldOrderScreen::makeConfirmButton(const CGRect& frame) {
    auto confirm = orderkit::makeConfirmButton(frame, confirmTag_);
    confirm->addTarget(weakSelf<HoldOrderScreen>(), &HoldOrderScreen::viewPressed,
                       UIControlEventTouchUpInside);
    return confirm;
}

void HoldOrderScreen::goBack() {
    dismissViewControllerAnimated(true);
}

void HoldOrderScreen::confirmOrder(const std::string& alertTitle,
                                   const std::function<std::string()>& refusal,
                                   OrderFlow::Step submit) {
    keyboardControlsDonePressed(keyboardControls_.get());
    if (orderkit::refusedWithAlert(alertTitle, refusal())) return;
    orderFlow_.confirm(OrderTexts::forAction(action_, sysDB_.get()), sysDB_, std::move(submit));
}

void HoldOrderScreen::submitOrder(OrderFlow::Operation operation) {
    auto self = sharedSelf<HoldOrderScreen>();
    orderFlow_.submit(OrderTexts::forAction(action_, sysDB_.get()), std::move(operation),
                      {nullptr, [self] { self->dismissViewControllerAnimated(true); }, nullptr});
}
