#include "platform/ui/NavigationController.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/ScrollView.h"

namespace platform::ui {

namespace {
constexpr double kBarHeight = 44;
constexpr double kPushDuration = 0.35;
constexpr double kItemMargin = 8;

// Draws an image item's picture as a template: its opaque shape in the tint.
class TemplateImageView : public UIView {
  public:
    TemplateImageView(UIImagePtr image, UIColor tint) : image_(std::move(image)), tint_(tint) {
        setUserInteractionEnabled(false);
        setOpaque(false);
    }
    void drawRect(CGRect) override {
        auto* ctx = UIGraphicsGetCurrentContext();
        if (!ctx || !image_) return;
        CGSize s = image_->size();
        CGRect r = CGRectMake((bounds().size.width - s.width) / 2,
                              (bounds().size.height - s.height) / 2, s.width, s.height);
        UIGraphicsBeginImageContextWithOptions(s, false, 0);
        auto* tmp = UIGraphicsGetCurrentContext();
        tmp->setFillColor(tint_);
        tmp->fillRect({{0, 0}, s});
        tmp->setBlendMode(CGBlendMode::DestinationIn);
        tmp->drawImage(*image_, {{0, 0}, s});
        auto tinted = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        ctx->drawImage(*tinted, r);
    }

  private:
    UIImagePtr image_;
    UIColor tint_;
};

}  // namespace

// ---- navigation bar -----------------------------------------------------

UINavigationBar::UINavigationBar(const CGRect& frame) : UIView(frame) {
    setOpaque(false);
    title_ = std::make_shared<UILabel>();
    title_->setTextAlignment(NSTextAlignment::Center);
    title_->setFont(UIFont::boldSystemFontOfSize(17));
    addSubview(title_);
}

void UINavigationBar::setBarStyle(UIBarStyle s) {
    barStyle_ = s;
    rebuild();
    setNeedsDisplay();
}

void UINavigationBar::setBarTintColor(std::optional<UIColor> c) {
    barTintColor_ = c;
    setNeedsDisplay();
}

UIColor UINavigationBar::backgroundColorForStyle() const {
    if (barTintColor_) return *barTintColor_;
    return barStyle_ == UIBarStyle::Default ? UIColor::rgb255(247, 247, 247, 0.96)
                                            : UIColor::grey255(10, 0.94);
}

UIViewPtr UINavigationBar::makeItemView(const UIBarButtonItemPtr& item, UIColor tint, bool bold) {
    if (!item) return nullptr;
    if (item->customView) return item->customView;
    if (item->tintColor) tint = *item->tintColor;
    auto button = std::make_shared<UIButton>();
    std::weak_ptr<UIBarButtonItem> weak = item;
    button->addTarget(
        [weak](UIControl*, UIEvent*) {
            if (auto it = weak.lock()) it->sendAction();
        },
        UIControlEventTouchUpInside);
    button->setEnabled(item->isEnabled());
    CGSize size{0, kBarHeight};
    if (item->image) {
        auto picture = std::make_shared<TemplateImageView>(
            item->image, item->isEnabled() ? tint : tint.colorWithAlphaComponent(0.35));
        size.width = std::max(item->image->size().width, 30.0);
        button->setFrame({{0, 0}, size});
        picture->setFrame({{0, 0}, size});
        picture->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleHeight);
        button->addSubview(picture);
    } else {
        button->setTitle(item->displayTitle(), UIControlStateNormal);
        button->setTitleColor(tint, UIControlStateNormal);
        button->setTitleColor(tint.colorWithAlphaComponent(0.3), UIControlStateHighlighted);
        button->setTitleColor(tint.colorWithAlphaComponent(0.35), UIControlStateDisabled);
        button->titleLabel()->setFont(bold || item->style == UIBarButtonItemStyle::Done
                                          ? UIFont::boldSystemFontOfSize(17)
                                          : UIFont::systemFontOfSize(17));
        size.width = button->sizeThatFits({0, 0}).width + 8;
    }
    if (item->width > 0) size.width = item->width;
    button->setFrame({{0, 0}, size});
    return button;
}

void UINavigationBar::showItem(UINavigationItem* item, UINavigationItem* back,
                               const std::string& backTitle, std::function<void()> backAction) {
    if (item_ && item_ != item) item_->changed = nullptr;
    item_ = item;
    back_ = back;
    backTitle_ = backTitle;
    backAction_ = std::move(backAction);
    // Items outlive bars (a popped screen keeps its item): only a live bar
    // rebuilds.
    std::weak_ptr<UINavigationBar> weak = weakSelf<UINavigationBar>();
    if (item_)
        item_->changed = [weak] {
            if (auto bar = weak.lock()) bar->rebuild();
        };
    rebuild();
}

void UINavigationBar::rebuild() {
    if (left_) left_->removeFromSuperview();
    if (right_) right_->removeFromSuperview();
    if (titleView_) titleView_->removeFromSuperview();
    left_.reset();
    right_.reset();
    titleView_.reset();
    const UIColor tint = tintColor();
    title_->setTextColor(titleColor ? *titleColor
                                    : (barStyle_ == UIBarStyle::Default ? UIColor::blackColor()
                                                                        : UIColor::whiteColor()));
    if (titleFont) title_->setFont(*titleFont);
    if (!item_) {
        title_->setText("");
        return;
    }
    title_->setText(item_->title);
    if (item_->titleView) {
        titleView_ = item_->titleView;
        addSubview(titleView_);
    }
    title_->setHidden(titleView_ != nullptr);
    if (item_->leftBarButtonItem) {
        left_ = makeItemView(item_->leftBarButtonItem, tint, false);
    } else if (back_ && !item_->hidesBackButton) {
        auto back = UIBarButtonItem::itemWithTitle(
            "‹ " + (backTitle_.empty() ? std::string("Back") : backTitle_),
            UIBarButtonItemStyle::Plain, [action = backAction_](UIBarButtonItem*) {
                if (action) action();
            });
        item_->backBarButtonItem = back;
        left_ = makeItemView(back, tint, false);
    }
    if (item_->rightBarButtonItem) right_ = makeItemView(item_->rightBarButtonItem, tint, false);
    for (auto* it : {item_->leftBarButtonItem.get(), item_->rightBarButtonItem.get()})
        if (it)
            it->changed = [weak = weakSelf<UINavigationBar>()] {
                if (auto bar = weak.lock()) bar->rebuild();
            };
    if (left_) addSubview(left_);
    if (right_) addSubview(right_);
    setNeedsLayout();
}

void UINavigationBar::layoutSubviews() {
    const CGRect b = bounds();
    double leftEdge = kItemMargin, rightEdge = b.size.width - kItemMargin;
    if (left_) {
        CGRect f = left_->frame();
        left_->setFrame(CGRectMake(kItemMargin, (b.size.height - f.size.height) / 2, f.size.width,
                                   f.size.height));
        leftEdge = kItemMargin + f.size.width + kItemMargin;
    }
    if (right_) {
        CGRect f = right_->frame();
        right_->setFrame(CGRectMake(b.size.width - kItemMargin - f.size.width,
                                    (b.size.height - f.size.height) / 2, f.size.width,
                                    f.size.height));
        rightEdge = b.size.width - kItemMargin - f.size.width - kItemMargin;
    }
    // The title is centred on the bar when it fits between the items.
    const double room =
        std::max(0.0, std::min(b.size.width / 2 - leftEdge, rightEdge - b.size.width / 2));
    if (titleView_) {
        CGRect f = titleView_->frame();
        titleView_->setCenter({b.size.width / 2, b.size.height / 2});
        (void)f;
    } else {
        CGSize t = title_->sizeThatFits({0, 0});
        const double w = std::min(t.width, 2 * room);
        title_->setFrame(
            CGRectMake(b.size.width / 2 - w / 2, (b.size.height - t.height) / 2, w, t.height));
    }
}

void UINavigationBar::drawRect(CGRect) {
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    ctx->setFillColor(backgroundColorForStyle());
    ctx->fillRect(bounds());
    ctx->setFillColor(UIColor::colorWithWhite(barStyle_ == UIBarStyle::Default ? 0.7 : 0.2, 1));
    ctx->fillRect(CGRectMake(0, bounds().size.height - 0.5, bounds().size.width, 0.5));
}

// ---- navigation controller ----------------------------------------------

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
    bar_->setFrame(CGRectMake(0, status, b.size.width, kBarHeight));
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

void UINavigationController::placeChild(UIViewController* c) {
    UIView* v = c->view();
    v->setFrame(view()->bounds());
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    if (v->superviewRaw() != view()) view()->insertSubviewBelow(c->viewPtr(), barBackdrop_.get());
    // Room for the bars at the top of a scrolling screen.
    if (c->automaticallyAdjustsScrollViewInsets) {
        UIScrollView* scroll = dynamic_cast<UIScrollView*>(v);
        if (!scroll && !v->subviews().empty())
            scroll = dynamic_cast<UIScrollView*>(v->subviews().front().get());
        if (scroll) {
            UIEdgeInsets in = scroll->contentInset();
            in.top = barHidden_ ? kStatusBarHeight : kStatusBarHeight + kBarHeight;
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
        if (keepPrev && keepPrev->isViewLoaded() && keepPrev != keepTop)
            keepPrev->view()->removeFromSuperview();
        if (shown && keepPrev) keepPrev->endAppearanceTransition();
        if (shown && keepTop) keepTop->endAppearanceTransition();
        if (keepTop) keepTop->view()->setFrame(view()->bounds());
        if (after) after();
    };
    if (animated && shown && previous && top && previous != top) {
        transitioning_ = true;
        const double w = view()->bounds().size.width;
        UIView* incoming = top->view();
        UIView* outgoing = previous->view();
        if (!pushing) view()->insertSubviewBelow(top->viewPtr(), outgoing);
        CGRect b = view()->bounds();
        incoming->setFrame(CGRectOffset(b, pushing ? w : -w / 3, 0));
        UIView::animateWithDuration(
            kPushDuration, 0, UIViewAnimationOptionCurveEaseOut,
            [incoming, outgoing, b, w, pushing] {
                incoming->setFrame(b);
                outgoing->setFrame(CGRectOffset(b, pushing ? -w / 3 : w, 0));
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
        if (auto c = weak.lock()) c->didMoveToParentViewController(this);
    });
}

UIViewControllerPtr UINavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return nullptr;
    UIViewControllerPtr popped = stack_.back();
    stack_.pop_back();
    popped->willMoveToParentViewController(nullptr);
    showTop(popped.get(), animated && !transitioning_, false,
            [popped] { popped->removeFromParentViewController(); });
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
    showTop(previous.get(), animated && !transitioning_, false,
            [previous] { previous->removeFromParentViewController(); });
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
