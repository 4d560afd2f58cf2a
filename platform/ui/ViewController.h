#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/NavigationItem.h"
#include "platform/ui/Orientation.h"
#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

namespace platform::ui {

class UIViewController;
class UINavigationController;
using UIViewControllerPtr = std::shared_ptr<UIViewController>;

enum class UIStatusBarStyle { Default = 0, LightContent = 1 };

// Edges of a rectangle, as a bit set.
enum UIRectEdge : unsigned {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1u << 0,
    UIRectEdgeLeft = 1u << 1,
    UIRectEdgeBottom = 1u << 2,
    UIRectEdgeRight = 1u << 3,
    UIRectEdgeAll = 0xFu,
};

// A screen: owns its view (made on first use, then viewDidLoad), gets the
// appearance callbacks when its view goes on or off the screen (also when a
// presented or pushed screen covers or uncovers it), holds child controllers,
// presents others modally and answers the rotation questions.
//
// Appearance order for a transition from A to B: A.viewWillDisappear,
// B.viewWillAppear, (animation), A.viewDidDisappear, B.viewDidAppear.
class UIViewController : public UIResponder {
  public:
    UIViewController();
    ~UIViewController() override;

    // The view, loaded on first access (loadView, then viewDidLoad).
    UIView* view();
    UIViewPtr viewPtr();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(UIViewPtr view);
    // Makes the view; the default is a plain view the size of the screen.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    virtual void didReceiveMemoryWarning() {}

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    UINavigationItem& navigationItem() { return navigationItem_; }
    // The nearest navigation controller above this one.
    UINavigationController* navigationController() const;

    // Containment.
    UIViewController* parentViewController() const { return parent_; }
    const std::vector<UIViewControllerPtr>& childViewControllers() const { return children_; }
    void addChildViewController(const UIViewControllerPtr& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(UIViewController* parent) { (void)parent; }
    virtual void didMoveToParentViewController(UIViewController* parent) { (void)parent; }
    virtual bool shouldAutomaticallyForwardAppearanceMethods() const { return true; }
    virtual bool shouldAutomaticallyForwardRotationMethods() const { return true; }
    // Starts or ends an appearance change by hand (containers that forward
    // themselves). Repeated calls for the state already reached do nothing.
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    // True from viewWillAppear to viewWillDisappear.
    bool isAppearing() const;
    bool isVisible() const { return appearance_ == Appearance::Appeared; }

    // Modal presentation: the presented screen covers the window (sliding up
    // when animated); the completion runs later on the run loop.
    void presentViewController(const UIViewControllerPtr& controller, bool animated,
                               std::function<void()> completion = nullptr);
    // Dismisses what this controller presents, or the presented screen this
    // controller belongs to.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = nullptr);
    UIViewController* presentedViewController() const { return presented_.get(); }
    UIViewController* presentingViewController() const { return presenting_; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }

    // Rotation.
    virtual bool shouldAutorotate() const { return true; }
    virtual bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation o) const {
        return o != UIInterfaceOrientation::PortraitUpsideDown;
    }
    virtual unsigned supportedInterfaceOrientations() const {
        return UIInterfaceOrientationMaskAllButUpsideDown;
    }
    UIInterfaceOrientation interfaceOrientation() const;
    // Default: forwarded to the children (when forwarding rotation).
    virtual void willRotateToInterfaceOrientation(UIInterfaceOrientation o, double duration);
    virtual void willAnimateRotationToInterfaceOrientation(UIInterfaceOrientation o,
                                                           double duration);
    virtual void didRotateFromInterfaceOrientation(UIInterfaceOrientation from);

    // Status bar (kept; the simulated status bar is 20 points, always drawn).
    virtual bool prefersStatusBarHidden() const { return false; }
    virtual UIStatusBarStyle preferredStatusBarStyle() const { return UIStatusBarStyle::Default; }
    virtual UIViewController* childViewControllerForStatusBarStyle() const { return nullptr; }
    virtual UIViewController* childViewControllerForStatusBarHidden() const { return nullptr; }
    void setNeedsStatusBarAppearanceUpdate() {}
    // The edges along which the view lies under the bars of its container.
    // In a navigation controller: with the top edge (the default) the view
    // starts at the top of the screen, under the status bar and the
    // navigation bar; without it the view starts below them. Changing it
    // places a shown view again.
    unsigned edgesForExtendedLayout() const { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(unsigned edges);
    // With a scroll view as the view (or its first subview) lying under the
    // bars of a navigation controller, its top inset leaves room for them.
    bool automaticallyAdjustsScrollViewInsets = true;

    UIResponder* nextResponder() const override;

    // Internal: a view of this controller moved into or out of a window.
    void viewMovedToWindow(UIWindow* window);
    // Containers that run their children's appearance themselves.
    virtual bool managesChildAppearance() const { return false; }

  protected:
    // Containers that manage their children's appearance forward it here.
    virtual void forwardManagedAppearance(bool begin, bool appearing, bool animated) {
        (void)begin, (void)appearing, (void)animated;
    }
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    Appearance appearance() const { return appearance_; }

  private:
    friend class UIWindow;
    friend class UINavigationController;
    void forwardAppearance(bool begin, bool appearing, bool animated);
    // The controller whose view covers the window at the top of this one's
    // presentation chain.
    UIViewController* topPresented();

    UIViewPtr view_;
    std::string title_;
    UINavigationItem navigationItem_;
    UIViewController* parent_ = nullptr;
    std::vector<UIViewControllerPtr> children_;
    UIViewControllerPtr presented_;
    UIViewController* presenting_ = nullptr;
    Appearance appearance_ = Appearance::Disappeared;
    bool appearanceAnimated_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool loadingView_ = false;
    unsigned edgesForExtendedLayout_ = UIRectEdgeAll;
};

}  // namespace platform::ui
