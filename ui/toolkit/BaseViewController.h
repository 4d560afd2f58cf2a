#pragma once

#include <memory>

#include "platform/ui/ViewController.h"
#include "ui/toolkit/BaseViewControllerDelegate.h"
#include "ui/toolkit/ScreenContext.h"

// The base of every screen: it holds the session's trading service object
// and settings store it is handed (ScreenContext) by whoever makes it, and
// hands them on to the screens it makes. It makes the navigation-bar buttons that open the side
// drawers and reports their taps to its delegate (the screen that holds it in the drawer). Screens
// never rotate unless they say so.
class BaseViewController : public platform::ui::UIViewController {
  public:
    BaseViewController();
    explicit BaseViewController(const ScreenContext& context);

    // Subclasses call it first in their own viewDidLoad.
    void viewDidLoad() override;
    bool shouldAutorotate() const override { return false; }

    // The menu button at the left ("nav_menuicon", toggles side 1) and the
    // user button at the right ("nav_usericon", toggles side 2), in white.
    // A screen may put its own button at the right instead.
    void setupLeftMenuButton();
    virtual void setupRightMenuButton();
    void leftDrawerButtonPress(platform::ui::UIBarButtonItem* sender);
    void rightDrawerButtonPress(platform::ui::UIBarButtonItem* sender);

    // What this screen was handed, to hand on to the screens it makes. It is
    // set before the view loads (in the constructor or just after it).
    ScreenContext context() const { return {bizSDK_, sysdb_}; }
    void setContext(const ScreenContext& context);
    const std::shared_ptr<sysDB>& sysdb() const { return sysdb_; }
    void setSysdb(std::shared_ptr<sysDB> store) { sysdb_ = std::move(store); }
    const std::shared_ptr<KAVBizSDK>& bizSDK() const { return bizSDK_; }
    void setBizSDK(std::shared_ptr<KAVBizSDK> sdk) { bizSDK_ = std::move(sdk); }
    // Not owned: whoever puts the screen into the drawer sets it.
    std::shared_ptr<BaseViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<BaseViewControllerDelegate> d) { delegate_ = std::move(d); }

  private:
    std::shared_ptr<sysDB> sysdb_;
    std::shared_ptr<KAVBizSDK> bizSDK_;
    std::weak_ptr<BaseViewControllerDelegate> delegate_;
};
