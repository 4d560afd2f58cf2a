#include "ui/trade/LimitOpenTradeViewController.h"

#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/OrderScreenKit.h"

using namespace platform::ui;

LimitOpenTradeViewController::LimitOpenTradeViewController(
    std::shared_ptr<MODSymbolInfo> symbolInfo, bool isModel)
    : modSymbolInfo_(std::move(symbolInfo)), isModel_(isModel) {}

void LimitOpenTradeViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    if (!modSymbolInfo_ && bizSDK()) {
        const auto symbols = bizSDK()->getSymbolsWith(-1);
        if (!symbols.empty()) modSymbolInfo_ = symbols.front();
    }
    view()->setBackgroundColor(kavtheme::screenBackground());
    if (auto* nav = navigationController()) nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    const std::string caption =
        sysdb() ? sysdb()->getLabelWithKey("限价建仓", "限价建仓") : std::string("限价建仓");
    setTitle(caption + "-" + (modSymbolInfo_ ? modSymbolInfo_->symbolName : std::string()));

    auto back = orderkit::makeBackButton(kTagBack);
    auto weak = weakSelf<LimitOpenTradeViewController>();
    back->addTarget(
        [weak](UIControl* sender, UIEvent*) {
            if (auto self = weak.lock()) self->viewPressed(sender);
        },
        UIControlEventTouchUpInside);
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(back), false);
}

void LimitOpenTradeViewController::viewPressed(UIView* sender) {
    if (!sender || sender->tag() != kTagBack) return;
    if (orderkit::isHeldSideways()) return;
    if (isModel_) {
        if (auto* nav = navigationController()) nav->dismissViewControllerAnimated(true);
    } else if (auto* nav = navigationController()) {
        nav->popViewControllerAnimated(true);
    }
}
