#include "ui/trade/MarketOpenViewController.h"

#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

MarketOpenViewController::MarketOpenViewController(std::shared_ptr<MODSymbolInfo> symbolInfo)
    : _modSymbolInfo(std::move(symbolInfo)) {}

void MarketOpenViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    if (!_modSymbolInfo && bizSDK() && !bizSDK()->symbolInfos().empty())
        _modSymbolInfo = bizSDK()->symbolInfos().front();
    view()->setBackgroundColor(kavtheme::screenBackground());
    if (auto* nav = navigationController()) nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    if (_modSymbolInfo) setTitle(_modSymbolInfo->symbolName);

    auto back = std::make_shared<UIButton>(CGRectMake(0, 0, 24, 24));
    back->setTag(kTagBack);
    back->setImage(UIImageTintColor::imageWithTintColor(kavtheme::dimText(), "nav_backicon"),
                   UIControlStateNormal);
    auto weak = weakSelf<MarketOpenViewController>();
    back->addTarget(
        [weak](UIControl* sender, UIEvent*) {
            if (auto self = weak.lock()) self->viewPressed(sender);
        },
        UIControlEventTouchUpInside);
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(back), false);
}

void MarketOpenViewController::viewPressed(UIView* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagBack:
            // Held sideways the chart fills the screen; the button does nothing then.
            if (UIDeviceOrientationIsLandscape(UIDevice::currentDevice().orientation())) return;
            dismissViewControllerAnimated(true);
            break;
        default:
            break;
    }
}
