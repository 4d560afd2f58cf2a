#include "app/SettingsScreen.h"

#include "app/AccountScreenKit.h"
#include "platform/ui/NavigationController.h"

using namespace platform::ui;

void SettingsScreen::viewDidLoad() {
    BaseViewController::viewDidLoad();
    makeView();
}

void SettingsScreen::makeView() {
    accountkit::dressSettingsScreen(*this);
    setupLeftMenuButton();
    setupRightMenuButton();

    _list = accountkit::addSettingsTable(*view(), weakSelf<UITableViewDataSource>(),
                                         weakSelf<UITableViewDelegate>());
    makeCell();
}

void SettingsScreen::viewDidLayoutSubviews() {
    _list->setFrame(accountkit::belowBars(*view()));
}

void SettingsScreen::setupLeftMenuButton() {
    accountkit::setupBackButton(*this, kTagBack, [weak = weakSelf<SettingsScreen>()](UIControl* s) {
        if (auto self = weak.lock()) self->buttonPressed(s);
    });
}

void SettingsScreen::buttonPressed(UIControl* sender) {
    if (!sender || sender->tag() != kTagBack) return;
    if (accountkit::isDeviceLandscape()) return;
    if (auto* nav = navigationController()) nav->popToRootViewControllerAnimated(true);
}
