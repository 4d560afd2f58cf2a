#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/AppContext.h"
#include "app/DealerStore.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "ui/toolkit/PushBusRelay.h"

class KAVBizSDK;
class KAVSound;
class sysDB;

// The application delegate: starts the application on the login screen,
// owns the session's trading service object and settings store and the local
// dealer store, and once a login has succeeded acts as the service object's
// delegate: record pushes go out on the event bus, a reconnecting channel
// shows a banner, a session that cannot go on ends with an alert and a fresh
// login screen, and a logout returns to the login screen. A shake jumps to
// the screen the shake setting names. Its screens are handed what they use
// (AppContext) from the login screen on. Main thread only; lives in a
// std::shared_ptr (the application holds it).
class AppDelegate : public platform::ui::UIApplicationDelegate,
                    public SessionHost,
                    public PushBusRelay {
  public:
    static constexpr const char* kStoreFileName = DealerStore::kStoreFileName;
    // The reconnect banner's view in the window.
    static constexpr long kTagConnectMsg = 10001;
    static constexpr const char* kConnectMsg = "网络重连中......";
    static constexpr const char* kMsgConnectFailed = "网络连接失败，请稍后再试";
    static constexpr const char* kMsgTradeDisconnected = "交易服务已断开，请重新登录";
    static constexpr const char* kMsgSameUser = "您的账户已在别处登录";
    static constexpr const char* kMsgLoggingOut = "正在注销……";
    static constexpr double kLogoutDelay = 1.0;

    AppDelegate();
    ~AppDelegate() override;

    // ---- application ----
    // The window over the screen, white, with a login screen; key and visible.
    bool applicationDidFinishLaunchingWithOptions(
        platform::ui::UIApplication& application,
        const std::map<std::string, std::string>& options) override;
    // Saves the local store. (Going to the background or the foreground
    // changes nothing: the session and its channels stay as they are.)
    void applicationWillTerminate(platform::ui::UIApplication& application) override;
    // The shake action.
    void motionBegan(platform::ui::UIEventSubtype motion, platform::ui::UIEvent* event) override;

    // ---- session ----
    // The session's trading service object; null between a forced re-login
    // and the next login screen.
    std::shared_ptr<KAVBizSDK> bizSDK() const { return bizSDK_; }
    void setBizSDK(std::shared_ptr<KAVBizSDK> sdk) { bizSDK_ = std::move(sdk); }
    // The session's settings store.
    std::shared_ptr<sysDB> sysdb() const { return sysdb_; }
    // What the screens of the current session are handed.
    AppContext appContext();

    // A new session (service object, settings store, shake sound) and a new
    // login screen as the root; the banner goes.
    void loadLoginView();
    // The session objects, replacing the previous ones.
    void initSDK();
    // Observer of "sys_4008": the service object's request time-out and the
    // screen-lock switch follow the settings.
    void onSettingChange();
    // The application delegate becomes / stops being the service object's
    // delegate.
    void startListeners() override;
    void stopListeners() override;
    void showConnectMsg();
    void hideConnectMsg();
    // Ends the session: the service object is stopped and dropped, an alert
    // "提示" shows the message, and its closing loads a fresh login screen.
    void reLoginWith(const std::string& message) override;
    // Makes the controller the window's root on the next turn of the main run
    // loop, so that a screen asking for its own replacement is never torn
    // down inside its own callback; the last one asked for wins.
    void replaceRootViewController(
        std::shared_ptr<platform::ui::UIViewController> controller) override;

    // ---- WSPushMessage (the record pushes go on the bus: PushBusRelay) ----
    void onNetworkStatus(int32_t status) override;
    void onLogout() override;
    void onSameUserLogin() override;
    void onTerminal() override;
    void onLoginSuccess() override;
    void onLoginFailure(int32_t code) override;
    void onMessagePush(int32_t code, const std::any& model) override;

    // ---- local store (made on first use and kept; see DealerStore) ----
    const std::shared_ptr<DealerStore>& dealerStore() const { return dealerStore_; }
    std::shared_ptr<StoreContext> managedObjectContext();
    const StoreModel& managedObjectModel() const;
    std::shared_ptr<SQLiteStore> persistentStoreCoordinator();
    std::filesystem::path applicationDocumentsDirectory() const;
    bool saveContext();

  private:
    // Stops the service object (no channel, timer or re-login of it goes on,
    // and it reports to no one) and releases it on the next turn of the main
    // run loop, never inside one of its own callbacks.
    void retireSDK();

    std::shared_ptr<KAVBizSDK> bizSDK_;
    std::shared_ptr<sysDB> sysdb_;
    std::unique_ptr<KAVSound> shakeSound_;
    bool observingSettings_ = false;
    // A re-login alert is up: a second reason to end the same session adds
    // no second alert.
    bool reLoginPending_ = false;
    std::shared_ptr<platform::ui::UIViewController> pendingRoot_;

    const std::shared_ptr<DealerStore> dealerStore_ = std::make_shared<DealerStore>();
};
