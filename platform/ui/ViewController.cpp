#include "platform/ui/ViewController.h"

#include <algorithm>

#include "platform/Dispatch.h"
#include "platform/MainThread.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"

namespace platform::ui {

namespace {
constexpr double kModalDuration = 0.35;

// Runs a modal transition: animated, the end callbacks and then the
// completion after the slide; otherwise the callbacks at once and the
// completion later on the run loop.
void runTransition(bool animated, unsigned curve, std::function<void()> move,
                   std::function<void(bool)> finish, std::function<void()> completion) {
    if (animated) {
        UIView::animateWithDuration(kModalDuration, 0, curve, std::move(move),
                                    [finish, completion](bool f) {
                                        finish(f);
                                        if (completion) completion();
                                    });
    } else {
        finish(true);
        if (completion) dispatch::async_main(completion);
    }
}
}  // namespace

UIViewController::UIViewController() = default;

UIViewController::~UIViewController() {
    for (auto& c : children_)
        c->parent_ = nullptr;
    if (presented_) presented_->presenting_ = nullptr;
    if (view_ && view_->viewDelegate() == this) view_->setViewDelegate(nullptr);
}

UIView* UIViewController::view() {
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        if (!view_) view_ = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
        view_->setViewDelegate(this);
        loadingView_ = false;
        viewDidLoad();
    }
    return view_.get();
}

UIViewPtr UIViewController::viewPtr() {
    view();
    return view_;
}

void UIViewController::setView(UIViewPtr v) {
    if (view_ && view_->viewDelegate() == this) view_->setViewDelegate(nullptr);
    view_ = std::move(v);
    if (view_) view_->setViewDelegate(this);
}

void UIViewController::setEdgesForExtendedLayout(unsigned edges) {
    if (edges == edgesForExtendedLayout_) return;
    edgesForExtendedLayout_ = edges;
    // A screen usually sets it while its view loads, before its container
    // places it; a later change moves the view that is already placed.
    auto* nav = dynamic_cast<UINavigationController*>(parent_);
    if (nav && isViewLoaded() && nav->isViewLoaded() && view_->superviewRaw() == nav->view())
        nav->placeChild(this);
}

void UIViewController::loadView() {
    auto v = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
    v->setBackgroundColor(UIColor::clearColor());
    setView(v);
}

void UIViewController::setTitle(const std::string& t) {
    title_ = t;
    navigationItem_.setTitle(t);
}

UINavigationController* UIViewController::navigationController() const {
    for (UIViewController* p = parent_; p; p = p->parent_)
        if (auto* nav = dynamic_cast<UINavigationController*>(p)) return nav;
    return nullptr;
}

void UIViewController::addChildViewController(const UIViewControllerPtr& child) {
    KAV_ASSERT_MAIN_THREAD();
    if (!child || child.get() == this || child->parent_ == this) return;
    if (child->parent_) child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = this;
}

void UIViewController::removeFromParentViewController() {
    KAV_ASSERT_MAIN_THREAD();
    UIViewController* p = parent_;
    if (!p) return;
    auto keep = sharedSelf<UIViewController>();
    auto& list = p->children_;
    auto it = std::find_if(list.begin(), list.end(), [&](auto& c) { return c.get() == this; });
    UIViewControllerPtr self;
    if (it != list.end()) {
        self = *it;
        list.erase(it);
    }
    parent_ = nullptr;
    didMoveToParentViewController(nullptr);
}

bool UIViewController::isAppearing() const {
    return appearance_ == Appearance::Appearing || appearance_ == Appearance::Appeared;
}

void UIViewController::forwardAppearance(bool begin, bool appearing, bool animated) {
    if (managesChildAppearance()) {
        forwardManagedAppearance(begin, appearing, animated);
        return;
    }
    if (!shouldAutomaticallyForwardAppearanceMethods() || !view_) return;
    auto children = children_;
    for (auto& c : children) {
        if (!c->view_ || !c->view_->isDescendantOfView(view_.get())) continue;
        if (begin)
            c->beginAppearanceTransition(appearing, animated);
        else
            c->endAppearanceTransition();
    }
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated) {
    if (appearing && isAppearing()) return;
    if (!appearing && !isAppearing()) return;
    auto keep = sharedSelf<UIViewController>();
    appearanceAnimated_ = animated;
    appearance_ = appearing ? Appearance::Appearing : Appearance::Disappearing;
    if (appearing) {
        view();
        viewWillAppear(animated);
    } else {
        viewWillDisappear(animated);
    }
    forwardAppearance(true, appearing, animated);
}

void UIViewController::endAppearanceTransition() {
    auto keep = sharedSelf<UIViewController>();
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(appearanceAnimated_);
        forwardAppearance(false, true, appearanceAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(appearanceAnimated_);
        forwardAppearance(false, false, appearanceAnimated_);
    }
}

void UIViewController::viewMovedToWindow(UIWindow* window) {
    // A child view put into (or taken out of) a shown container appears (or
    // disappears) with it, unless the container runs this itself.
    if (!parent_ || !parent_->shouldAutomaticallyForwardAppearanceMethods() ||
        parent_->managesChildAppearance())
        return;
    if (window && parent_->isAppearing()) {
        beginAppearanceTransition(true, false);
        if (parent_->appearance_ == Appearance::Appeared) endAppearanceTransition();
    } else if (!window && isAppearing()) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
}

UIResponder* UIViewController::nextResponder() const {
    if (view_ && view_->superviewRaw()) return view_->superviewRaw();
    if (presenting_) return presenting_;
    if (parent_) return parent_;
    return nullptr;
}

UIInterfaceOrientation UIViewController::interfaceOrientation() const {
    return UIApplication::sharedApplication().statusBarOrientation();
}

void UIViewController::willRotateToInterfaceOrientation(UIInterfaceOrientation o, double d) {
    if (!shouldAutomaticallyForwardRotationMethods()) return;
    for (auto& c : std::vector<UIViewControllerPtr>(children_))
        if (c->isAppearing()) c->willRotateToInterfaceOrientation(o, d);
}

void UIViewController::willAnimateRotationToInterfaceOrientation(UIInterfaceOrientation o,
                                                                 double d) {
    if (!shouldAutomaticallyForwardRotationMethods()) return;
    for (auto& c : std::vector<UIViewControllerPtr>(children_))
        if (c->isAppearing()) c->willAnimateRotationToInterfaceOrientation(o, d);
}

void UIViewController::didRotateFromInterfaceOrientation(UIInterfaceOrientation from) {
    if (!shouldAutomaticallyForwardRotationMethods()) return;
    for (auto& c : std::vector<UIViewControllerPtr>(children_))
        if (c->isAppearing()) c->didRotateFromInterfaceOrientation(from);
}

UIViewController* UIViewController::topPresented() {
    UIViewController* top = this;
    while (top->presented_)
        top = top->presented_.get();
    return top;
}

// ---- modal presentation -------------------------------------------------

void UIViewController::presentViewController(const UIViewControllerPtr& controller, bool animated,
                                             std::function<void()> completion) {
    KAV_ASSERT_MAIN_THREAD();
    if (!controller || controller->presenting_ || controller->parent_) return;
    // Presentations start from the root of this controller's tree, and stack
    // on whatever that root already presents.
    UIViewController* root = this;
    while (root->parent_)
        root = root->parent_;
    UIViewController* presenter = root->topPresented();
    if (presenter->beingPresented_ || presenter->beingDismissed_)
        return;  // one transition at a time
    UIWindow* window = presenter->view_ ? presenter->view_->window() : nullptr;
    if (!window) return;

    auto keepPresenter = presenter->sharedSelf<UIViewController>();
    presenter->presented_ = controller;
    controller->presenting_ = presenter;
    controller->beingPresented_ = true;
    UIViewPtr view = controller->viewPtr();
    const CGRect full = window->bounds();
    view->setFrame(full);
    // It covers the window also after the interface has turned.
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    if (animated) view->setFrame(CGRectOffset(full, 0, full.size.height));
    presenter->beginAppearanceTransition(false, animated);
    window->addSubview(view);
    controller->beginAppearanceTransition(true, animated);
    // Callbacks of the end of the transition; the completion always runs
    // later on the run loop.
    auto finish = [keepPresenter, controller, full](bool) {
        // The covered screen leaves the window, as a full-screen
        // presentation does.
        controller->beingPresented_ = false;
        if (keepPresenter->view_ && keepPresenter->presented_ == controller)
            keepPresenter->view_->removeFromSuperview();
        keepPresenter->endAppearanceTransition();
        controller->endAppearanceTransition();
        // The window as it is now: the interface may have turned during
        // the slide.
        UIView* shown = controller->viewPtr().get();
        shown->setFrame(shown->window() ? shown->window()->bounds() : full);
    };
    runTransition(
        animated, UIViewAnimationOptionCurveEaseOut, [view, full] { view->setFrame(full); }, finish,
        completion);
}

void UIViewController::dismissViewControllerAnimated(bool animated,
                                                     std::function<void()> completion) {
    KAV_ASSERT_MAIN_THREAD();
    // What to dismiss: what this controller (or its root) presents, else the
    // presented screen this controller belongs to.
    UIViewController* root = this;
    while (root->parent_)
        root = root->parent_;
    UIViewController* presenter = nullptr;
    if (root->presented_)
        presenter = root;
    else if (root->presenting_)
        presenter = root->presenting_;
    if (!presenter || !presenter->presented_) {
        if (completion) dispatch::async_main(completion);
        return;
    }
    UIViewControllerPtr dismissed = presenter->presented_;
    if (dismissed->beingPresented_ || dismissed->beingDismissed_) return;
    UIWindow* window = dismissed->view_ ? dismissed->view_->window() : nullptr;
    auto keepPresenter = presenter->sharedSelf<UIViewController>();

    // Anything the dismissed screen presents goes with it, at once.
    std::vector<UIViewControllerPtr> above;
    for (auto p = dismissed->presented_; p; p = p->presented_)
        above.push_back(p);
    for (auto it = above.rbegin(); it != above.rend(); ++it) {
        (*it)->beginAppearanceTransition(false, false);
        if ((*it)->view_) (*it)->view_->removeFromSuperview();
        (*it)->endAppearanceTransition();
        if ((*it)->presenting_) (*it)->presenting_->presented_.reset();
        (*it)->presenting_ = nullptr;
    }

    dismissed->beingDismissed_ = true;
    dismissed->beginAppearanceTransition(false, animated);
    if (window && presenter->view_) {
        presenter->view_->setFrame(window->bounds());
        window->insertSubviewBelow(presenter->view_, dismissed->view_.get());
    }
    presenter->beginAppearanceTransition(true, animated);
    auto finish = [keepPresenter, dismissed](bool) {
        if (dismissed->view_) dismissed->view_->removeFromSuperview();
        dismissed->beingDismissed_ = false;
        dismissed->endAppearanceTransition();
        keepPresenter->endAppearanceTransition();
        if (keepPresenter->presented_ == dismissed) keepPresenter->presented_.reset();
        dismissed->presenting_ = nullptr;
        UIApplication::sharedApplication().attemptRotationToDeviceOrientation();
    };
    UIViewPtr view = dismissed->view_;
    const CGRect off =
        window ? CGRectOffset(window->bounds(), 0, window->bounds().size.height) : CGRectZero;
    runTransition(
        animated && window, UIViewAnimationOptionCurveEaseIn, [view, off] { view->setFrame(off); },
        finish, completion);
}

}  // namespace platform::ui
