#include "platform/ui/Application.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/Dispatch.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Device.h"
#include "platform/ui/Display.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace platform::ui {

namespace {

unsigned maskOf(UIInterfaceOrientation o) {
    switch (o) {
        case UIInterfaceOrientation::Portrait:
            return UIInterfaceOrientationMaskPortrait;
        case UIInterfaceOrientation::PortraitUpsideDown:
            return UIInterfaceOrientationMaskPortraitUpsideDown;
        case UIInterfaceOrientation::LandscapeLeft:
            return UIInterfaceOrientationMaskLandscapeLeft;
        case UIInterfaceOrientation::LandscapeRight:
            return UIInterfaceOrientationMaskLandscapeRight;
        default:
            return 0;
    }
}

// The controller whose screen is on top of the key window.
UIViewController* topController() {
    UIWindow* key = UIWindow::keyWindow();
    if (!key) {
        for (auto* w : UIWindow::visibleWindows())
            if (w->rootViewController()) key = w;
    }
    if (!key || !key->rootViewController()) return nullptr;
    UIViewController* top = key->rootViewController().get();
    // A screen on its way out (its dismissal sliding) is no longer the one
    // on top: turned now, it would leave the screen under it turned.
    while (top->presentedViewController() && !top->presentedViewController()->isBeingDismissed())
        top = top->presentedViewController();
    return top;
}

}  // namespace

UIApplication::UIApplication() {
    UIWindow::setApplicationResponder(this);
    orientationObserver_ = NotificationCenter::defaultCenter().addObserver(
        UIDeviceOrientationDidChangeNotification,
        [this](const Notification&) { attemptRotationToDeviceOrientation(); });
}

UIApplication& UIApplication::sharedApplication() {
    static UIApplication* app = new UIApplication;  // lives for the whole process
    return *app;
}

void UIApplication::setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) {
    delegate_ = std::move(delegate);
}

std::vector<UIWindow*> UIApplication::windows() const {
    auto all = UIWindow::allWindows();
    auto visible = UIWindow::visibleWindows();
    // Visible windows in screen order, hidden ones before them.
    std::vector<UIWindow*> out;
    for (auto* w : all)
        if (std::find(visible.begin(), visible.end(), w) == visible.end()) out.push_back(w);
    out.insert(out.end(), visible.begin(), visible.end());
    return out;
}

UIWindow* UIApplication::keyWindow() const {
    return UIWindow::keyWindow();
}

bool UIApplication::openURL(const std::string& url) {
    if (url.empty()) return false;
    openedURLs_.push_back(url);
    if (urlOpener_) urlOpener_(url);
    return true;
}

CGRect UIApplication::statusBarFrame() const {
    if (statusBarHidden_) return CGRectZero;
    return CGRectMake(0, 0, UIScreenRenderer::screenSize().width, kStatusBarHeight);
}

UIResponder* UIApplication::nextResponder() const {
    return delegate_.get();
}

void UIApplication::attemptRotationToDeviceOrientation() {
    UIViewController* top = topController();
    if (!top) return;
    const UIInterfaceOrientation device = UIDevice::currentDevice().orientation();
    const unsigned supported = top->supportedInterfaceOrientations();
    if (maskOf(device) && device != orientation_ && top->shouldAutorotate() &&
        (supported & maskOf(device)) && top->shouldAutorotateToInterfaceOrientation(device)) {
        rotateTo(device);
    } else if (!(supported & maskOf(orientation_)) &&
               orientation_ != UIInterfaceOrientation::Portrait) {
        rotateTo(UIInterfaceOrientation::Portrait);
    }
}

void UIApplication::rotateTo(UIInterfaceOrientation o) {
    const UIInterfaceOrientation from = orientation_;
    if (o == from) return;
    UIViewController* top = topController();
    auto keep = top ? top->sharedSelf<UIViewController>() : nullptr;
    if (top) top->willRotateToInterfaceOrientation(o, kRotationDuration);
    orientation_ = o;
    UIScreen::mainScreen().setInterfaceOrientation(o);
    const CGSize size = UIScreenRenderer::screenSize();
    for (auto* w : UIWindow::allWindows()) {
        // Full-screen windows turn with the interface.
        CGRect f = w->frame();
        if ((f.size.width == size.height && f.size.height == size.width) || f.size == size)
            w->setFrame(CGRectMake(0, 0, size.width, size.height));
    }
    if (top) top->willAnimateRotationToInterfaceOrientation(o, kRotationDuration);
    UIScreenRenderer::layoutWindows();
    if (top) top->didRotateFromInterfaceOrientation(from);
    NotificationCenter::defaultCenter().post(
        UIApplicationDidChangeStatusBarOrientationNotification);
}

void UIApplication::launch(std::shared_ptr<UIApplicationDelegate> delegate,
                           const std::map<std::string, std::string>& options) {
    delegate_ = std::move(delegate);
    state_ = UIApplicationState::Active;
    if (delegate_) {
        delegate_->applicationDidFinishLaunchingWithOptions(*this, options);
        delegate_->applicationDidBecomeActive(*this);
    }
}

void UIApplication::enterBackground() {
    if (state_ == UIApplicationState::Background) return;
    if (delegate_) delegate_->applicationWillResignActive(*this);
    state_ = UIApplicationState::Background;
    if (delegate_) delegate_->applicationDidEnterBackground(*this);
    // An application in the background may be ended without another word:
    // the settings it holds unsaved are written now.
    UserDefaults::synchronizeStandard();
}

void UIApplication::enterForeground() {
    if (state_ != UIApplicationState::Background) return;
    if (delegate_) delegate_->applicationWillEnterForeground(*this);
    state_ = UIApplicationState::Active;
    if (delegate_) delegate_->applicationDidBecomeActive(*this);
}

void UIApplication::terminate() {
    if (delegate_) delegate_->applicationWillTerminate(*this);
    UserDefaults::synchronizeStandard();
}

void UIApplication::resetForTesting() {
    delegate_.reset();
    idleTimerDisabled_ = false;
    statusBarHidden_ = false;
    openedURLs_.clear();
    orientation_ = UIInterfaceOrientation::Portrait;
    UIScreen::mainScreen().setInterfaceOrientation(orientation_);
    state_ = UIApplicationState::Active;
}

int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate) {
    bool wantWindow = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--window") == 0) wantWindow = true;
    if (const char* env = std::getenv("KAV_WINDOW"); env && std::strcmp(env, "1") == 0)
        wantWindow = true;
    auto& loop = RunLoop::main();
    loop.adoptCurrentThread();
    // The window comes from the display back end linked into the program,
    // when there is one and a desktop to show it on.
    std::unique_ptr<UIDisplay> display;
    if (wantWindow) display = UIDisplayOpen(2);
    auto& app = UIApplication::sharedApplication();
    app.launch(makeDelegate ? makeDelegate() : std::make_shared<UIApplicationDelegate>());
    if (display)
        display->run();
    else
        loop.run();
    app.terminate();
    return 0;
}

}  // namespace platform::ui
