#include "platform/ui/NavigationController.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"

namespace platform::ui {

namespace {
constexpr double kPushDuration = 0.35;

}  // namespace

class UINavigationController::ContainerView : public UIView {
  public:
    explicit ContainerView(UINavigationController* owner)
        : UIView(UIScreen::mainScreen().bounds()), owner_(owner) {}
    void layoutSubviews() override {
        if (owner_) owner_->layoutBar();
    }
    UINavigationController* owner_;
};

UINavigationController::UINavigationController(UIViewControllerPtr root) {
    if (root) {
        stack_.push_back(root);
        addChildViewController(root);
        root->didMoveToParentViewController(this);
    }
}

UIViewController* UINavigationController::visibleViewController() const {
    UIViewController* top = topViewController();
    if (presentedViewController()) return presentedViewController();
    return top;
}

void UINavigationController::loadView() {
    auto container = std::make_shared<ContainerView>(this);
    container->setBackgroundColor(UIColor::whiteColor());
    barBackdrop_ = std::make_shared<UIView>();
    bar_ = std::make_shared<UINavigationBar>();
    container->addSubview(barBackdrop_);
    container->addSubview(bar_);
    setView(container);
    if (UIViewController* top = topViewController()) placeChild(top);
    updateBar();
}

UINavigationBar* UINavigationController::navigationBar() {
    view();
    return bar_.get();
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    if (isViewLoaded()) {
        updateBar();
        if (UIViewController* top = topViewController()) placeChild(top);
    }
}

void UINavigationController::layoutBar() {
    if (!bar_) return;
    const CGRect b = view()->bounds();
    const double status =
        UIApplication::sharedApplication().isStatusBarHidden() ? 0 : kStatusBarHeight;
    bar_->setFrame(CGRectMake(0, status, b.size.width, UINavigationBar::kHeight));
    barBackdrop_->setFrame(CGRectMake(0, 0, b.size.width, status));
    barBackdrop_->setBackgroundColor(
        bar_->barStyle() == UIBarStyle::Default && !bar_->barTintColor()
            ? UIColor::rgb255(247, 247, 247, 0.96)
            : bar_->barTintColor().value_or(UIColor::grey255(10, 0.94)));
    bar_->setHidden(barHidden_);
    barBackdrop_->setHidden(barHidden_);
    auto& subs = view()->subviews();
    if (subs.size() < 2 || subs[subs.size() - 2] != barBackdrop_ || subs.back() != bar_) {
        view()->bringSubviewToFront(barBackdrop_.get());
        view()->bringSubviewToFront(bar_.get());
    }
}

void UINavigationController::updateBar() {
    if (!bar_) return;
    layoutBar();
    UIViewController* top = topViewController();
    UIViewController* below = stack_.size() > 1 ? stack_[stack_.size() - 2].get() : nullptr;
    std::weak_ptr<UINavigationController> weak = weakSelf<UINavigationController>();
    bar_->showItem(top ? &top->navigationItem() : nullptr,
                   below ? &below->navigationItem() : nullptr, below ? below->title() : "", [weak] {
                       if (auto self = weak.lock()) self->popViewControllerAnimated(true);
                   });
}

double UINavigationController::barsHeight() const {
    const double status =
        UIApplication::sharedApplication().isStatusBarHidden() ? 0 : kStatusBarHeight;
    return barHidden_ ? status : status + UINavigationBar::kHeight;
}

CGRect UINavigationController::frameForChild(UIViewController* c) {
    CGRect frame = view()->bounds();
    // A screen that does not extend under the bars starts below them.
    if (!(c->edgesForExtendedLayout() & UIRectEdgeTop)) {
        const double top = std::min(barsHeight(), frame.size.height);
        frame.origin.y += top;
        frame.size.height -= top;
    }
    return frame;
}

void UINavigationController::placeChild(UIViewController* c) {
    UIView* v = c->view();
    const bool underBars = c->edgesForExtendedLayout() & UIRectEdgeTop;
    v->setFrame(frameForChild(c));
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    if (v->superviewRaw() != view()) view()->insertSubviewBelow(c->viewPtr(), barBackdrop_.get());
    // Room for the bars at the top of a scrolling screen that lies under them.
    if (underBars && c->automaticallyAdjustsScrollViewInsets) {
        UIScrollView* scroll = dynamic_cast<UIScrollView*>(v);
        if (!scroll && !v->subviews().empty())
            scroll = dynamic_cast<UIScrollView*>(v->subviews().front().get());
        if (scroll) {
            UIEdgeInsets in = scroll->contentInset();
            in.top = barsHeight();
            scroll->setContentInset(in);
            scroll->setContentOffset({scroll->contentOffset().x, -in.top});
        }
    }
}

void UINavigationController::forwardManagedAppearance(bool begin, bool appearing, bool animated) {
    UIViewController* top = topViewController();
    if (!top) return;
    auto keep = top->sharedSelf<UIViewController>();
    if (begin)
        top->beginAppearanceTransition(appearing, animated);
    else
        top->endAppearanceTransition();
}

void UINavigationController::showTop(UIViewController* previous, bool animated, bool pushing,
                                     std::function<void()> after) {
    UIViewController* top = topViewController();
    auto keepPrev = previous ? previous->sharedSelf<UIViewController>() : nullptr;
    auto keepTop = top ? top->sharedSelf<UIViewController>() : nullptr;
    if (!isViewLoaded()) {
        if (after) after();
        return;
    }
    const bool shown = isAppearing();
    if (shown && previous) previous->beginAppearanceTransition(false, animated && shown);
    if (top) placeChild(top);
    if (shown && top) top->beginAppearanceTransition(true, animated && shown);
    updateBar();
    // The transition keeps the navigation controller alive until it ends.
    auto self = sharedSelf<UINavigationController>();
    auto finish = [this, self, keepPrev, keepTop, shown, after](bool) {
        transitioning_ = false;
        // A pop or push while the slide ran may have made the screen that
        // slid out the top again: its view stays.
        if (keepPrev && keepPrev->isViewLoaded() && keepPrev != keepTop &&
            keepPrev.get() != topViewController())
            keepPrev->view()->removeFromSuperview();
        if (shown && keepPrev) keepPrev->endAppearanceTransition();
        if (shown && keepTop) keepTop->endAppearanceTransition();
        if (keepTop) keepTop->view()->setFrame(frameForChild(keepTop.get()));
        if (after) after();
    };
    if (animated && shown && previous && top && previous != top) {
        transitioning_ = true;
        const double w = view()->bounds().size.width;
        UIView* incoming = top->view();
        UIView* outgoing = previous->view();
        if (!pushing) view()->insertSubviewBelow(top->viewPtr(), outgoing);
        const CGRect in = frameForChild(top), out = outgoing->frame();
        incoming->setFrame(CGRectOffset(in, pushing ? w : -w / 3, 0));
        UIView::animateWithDuration(
            kPushDuration, 0, UIViewAnimationOptionCurveEaseOut,
            [incoming, outgoing, in, out, w, pushing] {
                incoming->setFrame(in);
                outgoing->setFrame(CGRectOffset(out, pushing ? -w / 3 : w, 0));
            },
            finish);
    } else {
        finish(true);
    }
}

void UINavigationController::pushViewController(const UIViewControllerPtr& controller,
                                                bool animated) {
    if (!controller || std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) return;
    UIViewController* previous = topViewController();
    stack_.push_back(controller);
    addChildViewController(controller);
    std::weak_ptr<UIViewController> weak = controller;
    showTop(previous, animated && !transitioning_, true, [this, weak] {
        // Not when it was popped again while it slid in.
        if (auto c = weak.lock(); c && c->parentViewController() == this)
            c->didMoveToParentViewController(this);
    });
}

UIViewControllerPtr UINavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return nullptr;
    UIViewControllerPtr popped = stack_.back();
    stack_.pop_back();
    popped->willMoveToParentViewController(nullptr);
    showTop(popped.get(), animated && !transitioning_, false, [this, popped] {
        // Pushed back while it slid out: it stays a child of the stack.
        if (std::find(stack_.begin(), stack_.end(), popped) == stack_.end())
            popped->removeFromParentViewController();
    });
    UIApplication::sharedApplication().attemptRotationToDeviceOrientation();
    return popped;
}

std::vector<UIViewControllerPtr> UINavigationController::popToViewController(
    UIViewController* target, bool animated) {
    auto it =
        std::find_if(stack_.begin(), stack_.end(), [&](auto& c) { return c.get() == target; });
    if (it == stack_.end() || it + 1 == stack_.end()) return {};
    std::vector<UIViewControllerPtr> popped(it + 1, stack_.end());
    UIViewControllerPtr previous = stack_.back();
    stack_.erase(it + 1, stack_.end());
    for (auto& c : popped)
        c->willMoveToParentViewController(nullptr);
    // Screens between the two were not shown: they just leave.
    for (auto& c : popped)
        if (c != previous) c->removeFromParentViewController();
    showTop(previous.get(), animated && !transitioning_, false, [this, previous] {
        if (std::find(stack_.begin(), stack_.end(), previous) == stack_.end())
            previous->removeFromParentViewController();
    });
    UIApplication::sharedApplication().attemptRotationToDeviceOrientation();
    return popped;
}

std::vector<UIViewControllerPtr> UINavigationController::popToRootViewControllerAnimated(
    bool animated) {
    if (stack_.empty()) return {};
    return popToViewController(stack_.front().get(), animated);
}

void UINavigationController::setViewControllers(const std::vector<UIViewControllerPtr>& controllers,
                                                bool animated) {
    UIViewControllerPtr previous = stack_.empty() ? nullptr : stack_.back();
    for (auto& c : stack_)
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end() &&
            c != previous)
            c->removeFromParentViewController();
    stack_ = controllers;
    for (auto& c : stack_)
        if (c->parentViewController() != this) {
            addChildViewController(c);
            c->didMoveToParentViewController(this);
        }
    if (previous.get() == topViewController()) {
        updateBar();
        return;
    }
    const bool gone = std::find(stack_.begin(), stack_.end(), previous) == stack_.end();
    showTop(previous.get(), animated && !transitioning_, true, [previous, gone] {
        if (previous && gone) previous->removeFromParentViewController();
    });
}

}  // namespace platform::ui
