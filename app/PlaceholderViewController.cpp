#include "app/PlaceholderViewController.h"

#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

void PlaceholderViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    setTitle(title_);
    if (auto* nav = navigationController()) nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    view()->setBackgroundColor(kavtheme::screenBackground());
    auto notice = std::make_shared<UILabel>();
    notice->setTag(kTagNotice);
    notice->setText(kNotice);
    notice->setTextColor(kavtheme::dimText());
    notice->setTextAlignment(NSTextAlignment::Center);
    view()->addSubview(notice);
}

void PlaceholderViewController::viewDidLayoutSubviews() {
    const CGRect bounds = view()->bounds();
    if (auto notice = view()->viewWithTag(kTagNotice))
        notice->setFrame(CGRectMake(0, bounds.size.height / 2 - 15, bounds.size.width, 30));
}
