#include "ui/toolkit/BaseViewController.h"

#include "platform/ui/Image.h"
#include "ui/toolkit/KAVDrawerBarButtonItem.h"
#include "ui/toolkit/KAVDrawerCenterContainerView.h"

using namespace platform::ui;

namespace {
constexpr int32_t kLeftSide = drawerSideNumber(DrawerSide::Left);
constexpr int32_t kRightSide = drawerSideNumber(DrawerSide::Right);
}  // namespace

BaseViewController::BaseViewController() = default;

BaseViewController::BaseViewController(const ScreenContext& context) {
    setContext(context);
}

void BaseViewController::setContext(const ScreenContext& context) {
    bizSDK_ = context.bizSDK;
    sysdb_ = context.sysdb;
}

void BaseViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
}

void BaseViewController::setupLeftMenuButton() {
    auto weak = weakSelf<BaseViewController>();
    auto item = std::make_shared<KAVDrawerBarButtonItem>(
        [weak](UIBarButtonItem* sender) {
            if (auto self = weak.lock()) self->leftDrawerButtonPress(sender);
        },
        UIImage::imageNamed("nav_menuicon"));
    item->setTintColor(UIColor::whiteColor());
    navigationItem().setLeftBarButtonItem(item, true);
}

void BaseViewController::setupRightMenuButton() {
    auto weak = weakSelf<BaseViewController>();
    auto item = std::make_shared<KAVDrawerBarButtonItem>(
        [weak](UIBarButtonItem* sender) {
            if (auto self = weak.lock()) self->rightDrawerButtonPress(sender);
        },
        UIImage::imageNamed("nav_usericon"));
    item->setTintColor(UIColor::whiteColor());
    navigationItem().setRightBarButtonItem(item, true);
}

void BaseViewController::leftDrawerButtonPress(UIBarButtonItem*) {
    if (auto d = delegate()) d->onCallToggleDrawerSide(kLeftSide);
}

void BaseViewController::rightDrawerButtonPress(UIBarButtonItem*) {
    if (auto d = delegate()) d->onCallToggleDrawerSide(kRightSide);
}
