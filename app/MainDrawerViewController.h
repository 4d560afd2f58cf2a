#pragma once

#include <any>
#include <array>
#include <cstdint>
#include <memory>

#include "app/AppContext.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/BaseViewControllerDelegate.h"
#include "ui/toolkit/KAVDrawerController.h"

class MenuViewController;

// The root screen of a logged-in session: the function menu in the left
// drawer, the account centre in the right one, and in the centre one of
// seven screens chosen by its type (0 quotation board, 1 open tickets,
// 2 pending orders, 3 net positions, 4 closed tickets, 5 account
// information, 6 bulletins). A centre screen is made the first time it is
// asked for, in a navigation stack of its own, and kept for the session, so
// it keeps its stack and state while another one is shown. The centre
// screens' bar buttons and the menu report here; the application's shake
// action reaches the menu through here. It is handed the session the login
// opened and hands it on to every screen it makes.
class MainDrawerViewController : public KAVDrawerController, public BaseViewControllerDelegate {
  public:
    explicit MainDrawerViewController(AppContext context);

    static constexpr int32_t kScreenTypes = kCenterScreenTypes;
    static constexpr CGFloat kDrawerWidth = 260;
    // Every opening gesture: pans on the bar, on the centre, from the edge,
    // and the custom test.
    static constexpr int32_t kOpenGestures = OpenGesturePanNavigationBar |
                                             OpenGesturePanCenterView | OpenGestureBezelPan |
                                             OpenGestureCustom;
    // Every closing gesture.
    static constexpr int32_t kCloseGestures = CloseGestureModeAll;

    void viewDidLoad() override;
    bool shouldAutorotate() const override { return false; }
    // Its screens are laid out upright only: the market order put away
    // while held sideways (its result answered, the device turned while the
    // order was on its way) brings them back upright, not sideways for good.
    unsigned supportedInterfaceOrientations() const override {
        return platform::ui::UIInterfaceOrientationMaskPortrait;
    }

    void initData() {}
    // The menu, the account centre and the quotation board, in their stacks.
    void makeView();

    // ---- BaseViewControllerDelegate ----
    // Shows the centre screen of the type (made on first use), closing an
    // open drawer; asking for the screen already shown only closes the
    // drawer. A type beyond the seven shows nothing.
    void onCallNavigationControllerWithType(int32_t type, const std::any& userInfo) override;
    // Opens the drawer of the side (1 left, 2 right), or closes it when open.
    void onCallToggleDrawerSide(int32_t side) override;

    // The shake action's value, handed to the menu.
    void pushViewWith(long value);

    // The stack of the screen type, null until it is first asked for (and
    // for a type beyond the seven).
    std::shared_ptr<BaseNavigationController> navigationControllerForType(int32_t type) const;
    // The screen type last asked for.
    int32_t currentNavigationControllerType = 0;
    const std::shared_ptr<MenuViewController>& menuViewController() const {
        return menuViewController_;
    }

  private:
    // A new centre screen of the type, with the drawer as its delegate and
    // its two drawer buttons, in a new stack.
    std::shared_ptr<BaseNavigationController> makeCenterStack(CenterScreenType type);
    std::shared_ptr<BaseNavigationController>& stackOf(CenterScreenType type);

    // By screen type: the quotation board (made in makeView), the open
    // tickets, the pending orders, the net positions, the closed tickets,
    // the account information and the bulletins.
    std::array<std::shared_ptr<BaseNavigationController>, kScreenTypes> stacks_;
    AppContext context_;
    std::shared_ptr<MenuViewController> menuViewController_;
};
