#pragma once

#include <memory>
#include <string>

#include "Core/WSPushMessage.h"
#include "app/DealerManager.h"
#include "app/EtyDealer.h"
#include "ui/toolkit/BaseViewController.h"

class sysDB;

namespace platform::ui {
class UIControl;
}

// The root screen while no session is open: it logs in to the selected
// dealer with an account and a password, and while it is shown it is the
// service object's delegate. On a first start, with no dealer stored, it
// looks up the built-in dealer itself.
class LoginViewController : public BaseViewController, public WSPushMessage {
  public:
    static constexpr long kTagHeader = 5000;
    static constexpr long kTagAccentLine = 5001;
    static constexpr long kTagDealerName = 6002;
    static constexpr long kTagForm = 4001;
    static constexpr long kTagAccount = 7001;
    static constexpr long kTagPassword = 7002;
    static constexpr long kTagLogin = 1002;
    // The dealer a first start looks up.
    static constexpr const char* kBuiltInDealerKey = "KAVFX";
    static constexpr double kFirstStartDelay = 0.6;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    void initData();
    void makeView();
    void buttonPressed(platform::ui::UIControl* sender);
    void login();
    bool checkInput();
    // Ends a login that cannot go on, staying on this screen.
    void loginFailWith(const std::string& message);

    // WSPushMessage: only the network status.
    void onNetworkStatus(int32_t status) override;

    const std::shared_ptr<EtyDealer>& currentDealer() const { return currentDealer_; }

  private:
    // The settings store, taken from the base class when the view loads.
    std::shared_ptr<sysDB> sysDB_;
    std::unique_ptr<DealerManager> dealerManager_;
    std::shared_ptr<EtyDealer> currentDealer_;
    bool viewMade_ = false;
};
