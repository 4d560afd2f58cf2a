#include "app/AccountScreenKit.h"

#include <cmath>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace accountkit {

std::shared_ptr<UIButton> setupBackButton(UIViewController& screen, long tag,
                                          std::function<void(UIControl*)> action) {
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, kBackButtonSize, kBackButtonSize));
    button->setTag(tag);
    button->titleLabel()->setFont(UIFont::systemFontOfSize(14));
    button->setBackgroundImage(
        UIImageTintColor::imageWithTintColor(UIColor::grey255(160), "nav_backicon"),
        UIControlStateNormal);
    button->addTarget([action = std::move(action)](UIControl* sender, UIEvent*) { action(sender); },
                      UIControlEventTouchUpInside);
    UINavigationItem& item = screen.navigationItem();
    if (item.leftBarButtonItem) {
        item.leftBarButtonItem->setCustomView(button);
    } else {
        item.setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(button));
    }
    return button;
}

bool isDeviceLandscape() {
    return UIDeviceOrientationIsLandscape(UIDevice::currentDevice().orientation());
}

std::string localized(const std::string& text) {
    return NSBundle::mainBundle().localizedStringForKey(text, "", "");
}

void useBlackNavigationBar(UIViewController& screen) {
    if (auto* nav = screen.navigationController())
        nav->navigationBar()->setBarStyle(UIBarStyle::Black);
}

CGRect belowBars(const UIView& view) {
    const CGRect b = view.bounds();
    return CGRectMake(0, kBarsHeight, b.size.width, b.size.height - kBarsHeight);
}

std::string unsignedZero(std::string text) {
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.%", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string moneyText(double value) {
    if (!std::isfinite(value)) return "--";
    return unsignedZero(sysDB::formatPrice(value, 2));
}

bool showsAsZero(double value) {
    return std::isfinite(value) && moneyText(value) == "0.00";
}

void dressSettingsScreen(UIViewController& screen) {
    screen.automaticallyAdjustsScrollViewInsets = false;
    useBlackNavigationBar(screen);
    screen.view()->setBackgroundColor(kavtheme::panelBackground());
}

std::shared_ptr<UITableView> addSettingsTable(UIView& parent,
                                              std::weak_ptr<UITableViewDataSource> source,
                                              std::weak_ptr<UITableViewDelegate> delegate) {
    auto table = std::make_shared<UITableView>(CGRectZero, UITableViewStyle::Grouped);
    table->setBackgroundColor(kavtheme::screenBackground());
    table->setSeparatorColor(kavtheme::inputBackground());
    table->separatorInset = UIEdgeInsetsZero;
    table->setDataSource(std::move(source));
    table->setDelegate(std::move(delegate));
    parent.addSubview(table);
    return table;
}

}  // namespace accountkit
