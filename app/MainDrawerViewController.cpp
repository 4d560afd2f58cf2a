#include "app/MainDrawerViewController.h"

#include "app/AccountCenterViewController.h"
#include "app/MenuViewController.h"
#include "app/UIAccountInfo.h"
#include "app/UIBulletin.h"
#include "ui/trade/CloseOutViewController.h"
#include "ui/trade/HoldDetailViewController.h"
#include "ui/trade/HoldPositionViewController.h"
#include "ui/trade/LimitOpenViewController.h"
#include "ui/trade/QuotationViewController.h"

using namespace platform::ui;

namespace {

// A new screen of the type.
std::shared_ptr<BaseViewController> makeCenterScreen(CenterScreenType type) {
    switch (type) {
        case CenterScreenType::Quotation:
            return std::make_shared<QuotationViewController>();
        case CenterScreenType::HoldDetail:
            return std::make_shared<HoldDetailViewController>();
        case CenterScreenType::LimitOpen:
            return std::make_shared<LimitOpenViewController>();
        case CenterScreenType::HoldPosition:
            return std::make_shared<HoldPositionViewController>();
        case CenterScreenType::CloseOut:
            return std::make_shared<CloseOutViewController>();
        case CenterScreenType::AccountInfo:
            return std::make_shared<UIAccountInfo>();
        case CenterScreenType::Bulletin:
            return std::make_shared<UIBulletin>();
    }
    return nullptr;  // not reached: every type is named above
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

    auto& board = stackOf(CenterScreenType::Quotation);
    board = makeCenterStack(CenterScreenType::Quotation);
    currentNavigationControllerType = centerScreenNumber(CenterScreenType::Quotation);

    setLeftDrawerViewController(left);
    setRightDrawerViewController(right);
    setCenterViewController(board);

    setMaximumLeftDrawerWidth(kDrawerWidth);
    setMaximumRightDrawerWidth(kDrawerWidth);
    setOpenDrawerGestureModeMask(kOpenGestures);
    setCloseDrawerGestureModeMask(kCloseGestures);
}

std::shared_ptr<BaseNavigationController> MainDrawerViewController::makeCenterStack(
    CenterScreenType type) {
    auto screen = makeCenterScreen(type);
    if (!screen) return nullptr;
    screen->setContext(context_);
    screen->setDelegate(weakSelf<BaseViewControllerDelegate>());
    screen->setupLeftMenuButton();
    screen->setupRightMenuButton();
    return std::make_shared<BaseNavigationController>(screen);
}

std::shared_ptr<BaseNavigationController>& MainDrawerViewController::stackOf(
    CenterScreenType type) {
    return stacks_[static_cast<size_t>(centerScreenNumber(type))];
}

std::shared_ptr<BaseNavigationController> MainDrawerViewController::navigationControllerForType(
    int32_t type) const {
    const auto known = centerScreenTypeFromNumber(type);
    return known ? stacks_[static_cast<size_t>(centerScreenNumber(*known))] : nullptr;
}

void MainDrawerViewController::onCallNavigationControllerWithType(int32_t type, const std::any&) {
    if (type == currentNavigationControllerType) closeDrawerAnimated(true, nullptr);
    // A number beyond the seven types shows nothing, but is still the type
    // last asked for.
    if (const auto known = centerScreenTypeFromNumber(type)) {
        auto& stack = stackOf(*known);
        if (!stack) stack = makeCenterStack(*known);
        if (stack) setCenterViewControllerWithCloseAnimation(stack, true, nullptr);
    }
    currentNavigationControllerType = type;
}

void MainDrawerViewController::onCallToggleDrawerSide(int32_t side) {
    // A number that names no side has no drawer to toggle.
    if (const auto known = drawerSideFromNumber(side)) toggleDrawerSide(*known, true, nullptr);
}

void MainDrawerViewController::pushViewWith(long value) {
    if (menuViewController_) menuViewController_->pushViewWith(value);
}
