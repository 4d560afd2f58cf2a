#include "app/MainDrawerViewController.h"

#include "app/AccountCenterViewController.h"
#include "app/MenuViewController.h"
#include "app/PlaceholderViewController.h"
#include "app/UIAccountInfo.h"
#include "app/UIBulletin.h"
#include "ui/services/sysDB.h"
#include "ui/trade/CloseOutViewController.h"
#include "ui/trade/HoldDetailViewController.h"
#include "ui/trade/HoldPositionViewController.h"
#include "ui/trade/LimitOpenViewController.h"
#include "ui/trade/QuotationViewController.h"

using namespace platform::ui;

namespace {

// The screen of a type the menu offers. Screens this build does not have
// yet stand in as a placeholder under the menu's caption.
std::shared_ptr<BaseViewController> makeCenterScreen(int32_t type, const sysDB* labels) {
    switch (type) {
        case 0:
            return std::make_shared<QuotationViewController>();
        case 1:
            return std::make_shared<HoldDetailViewController>();
        case 2:
            return std::make_shared<LimitOpenViewController>();
        case 3:
            return std::make_shared<HoldPositionViewController>();
        case 4:
            return std::make_shared<CloseOutViewController>();
        case 5:
            return std::make_shared<UIAccountInfo>();
        case 6:
            return std::make_shared<UIBulletin>();
        default:
            break;
    }
    for (const auto& row : MenuViewController::kRows)
        if (row.type == type)
            return std::make_shared<PlaceholderViewController>(
                labels ? labels->getLabelWithKey(row.title, row.title) : row.title);
    return nullptr;
}

}  // namespace

MainDrawerViewController::MainDrawerViewController(AppContext context)
    : context_(std::move(context)) {}

void MainDrawerViewController::viewDidLoad() {
    KAVDrawerController::viewDidLoad();
    initData();
    makeView();
}

void MainDrawerViewController::makeView() {
    auto self = weakSelf<BaseViewControllerDelegate>();

    menuViewController_ = std::make_shared<MenuViewController>();
    menuViewController_->setContext(context_);
    menuViewController_->setDelegate(self);
    auto left = std::make_shared<BaseNavigationController>(menuViewController_);

    // The account centre reports nothing to the drawer.
    auto right = std::make_shared<BaseNavigationController>(
        std::make_shared<AccountCenterViewController>(context_));

    stacks_[0] = makeCenterStack(0);
    currentNavigationControllerType = 0;

    setLeftDrawerViewController(left);
    setRightDrawerViewController(right);
    setCenterViewController(stacks_[0]);

    setMaximumLeftDrawerWidth(kDrawerWidth);
    setMaximumRightDrawerWidth(kDrawerWidth);
    setOpenDrawerGestureModeMask(kOpenGestures);
    setCloseDrawerGestureModeMask(kCloseGestures);
}

std::shared_ptr<BaseNavigationController> MainDrawerViewController::makeCenterStack(int32_t type) {
    auto screen = makeCenterScreen(type, context_.sysdb.get());
    if (!screen) return nullptr;
    screen->setContext(context_);
    screen->setDelegate(weakSelf<BaseViewControllerDelegate>());
    screen->setupLeftMenuButton();
    screen->setupRightMenuButton();
    return std::make_shared<BaseNavigationController>(screen);
}

std::shared_ptr<BaseNavigationController> MainDrawerViewController::navigationControllerForType(
    int32_t type) const {
    if (type < 0 || type >= kScreenTypes) return nullptr;
    return stacks_[static_cast<size_t>(type)];
}

void MainDrawerViewController::onCallNavigationControllerWithType(int32_t type, const std::any&) {
    if (type == currentNavigationControllerType) closeDrawerAnimated(true, nullptr);
    if (type >= 0 && type < kScreenTypes) {
        auto& stack = stacks_[static_cast<size_t>(type)];
        if (!stack) stack = makeCenterStack(type);
        if (stack) setCenterViewControllerWithCloseAnimation(stack, true, nullptr);
    }
    currentNavigationControllerType = type;
}

void MainDrawerViewController::onCallToggleDrawerSide(int32_t side) {
    toggleDrawerSide(static_cast<DrawerSide>(side), true, nullptr);
}

void MainDrawerViewController::pushViewWith(long value) {
    if (menuViewController_) menuViewController_->pushViewWith(value);
}
