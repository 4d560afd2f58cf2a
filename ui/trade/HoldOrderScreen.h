#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "ui/trade/OrderFieldsScreen.h"
#include "ui/trade/OrderFlow.h"

class sysDB;

// An order screen on what the account holds: the close of a ticket, the
// close of a net position, the change of a ticket's stop-loss and
// take-profit. They share their back and confirm steps: the back button
// does nothing while the device is held sideways; the confirm button ends
// the editing, reads the inputs (a refusal is shown and nothing more
// happens), then takes the order road of the screen's action, whose
// success closes the screen's navigation controller. Each listens to the
// pushes of what it shows while it is visible.
class HoldOrderScreen : public OrderFieldsScreen {
  public:
    static constexpr long kTagBack = 1000;

    // The base screen's, the settings store, then the view.
    void viewDidLoad() override;
    // Listens while visible.
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // The back button and the confirm button.
    void viewPressed(platform::ui::UIControl* sender);

  protected:
    HoldOrderScreen(OrderAction action, long confirmTag);

    virtual void makeView() = 0;
    virtual void initListen() = 0;
    virtual void removeListen() = 0;
    // What the view is laid out by: its width W and height H, the column of
    // the inputs (width w from the left edge x), and the bars' height T.
    struct Measures {
        platform::ui::CGFloat W, H, w, x, T;
    };
    Measures measures();
    // The title, the order screens' look and the back button.
    void dressScreen(const std::string& title);
    // The confirm button in `frame`.
    std::shared_ptr<platform::ui::UIButton> makeConfirmButton(const platform::ui::CGRect& frame);

    // The screen's confirm step (it calls confirmOrder).
    virtual void confirmPressed() = 0;
    // Where the back button leaves to: the screen's navigation controller
    // closes (a change pushed over the close goes back to it instead).
    virtual void goBack();

    // The confirm step: editing ends; `refusal` reads the inputs, and a
    // refusal is shown under `alertTitle` and stops the order; otherwise the
    // road's confirmation, whose "确定" (or a one-tap order) runs `submit`.
    void confirmOrder(const std::string& alertTitle, const std::function<std::string()>& refusal,
                      OrderFlow::Step submit);
    // The submit step: the operation on the road; once its success alert has
    // closed, the screen's navigation controller closes.
    void submitOrder(OrderFlow::Operation operation);

    std::shared_ptr<sysDB> sysDB_;

  private:
    OrderAction action_;
    long confirmTag_;
    OrderFlow orderFlow_;
};
