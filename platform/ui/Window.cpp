#include "platform/ui/Window.h"

#include <algorithm>

#include "platform/Dispatch.h"
#include "platform/MainThread.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Responder.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/ViewController.h"

namespace platform::ui {

namespace {

std::vector<UIWindow*>& windowRegistry() {
    static std::vector<UIWindow*> all;
    return all;
}
UIWindow* gKeyWindow = nullptr;
UIResponder* gApplication = nullptr;
uint64_t gVisibleOrder = 0;

}  // namespace

// ---- window -------------------------------------------------------------

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {
    setHidden(true);
    windowRegistry().push_back(this);
}

UIWindow::~UIWindow() {
    auto& all = windowRegistry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (gKeyWindow == this) gKeyWindow = nullptr;
    // A finger held on it (an alert closed under the mouse) must not lead
    // the next move or lift into freed memory.
    TouchInput::windowGone(this);
}

void UIWindow::setWindowLevel(UIWindowLevel level) {
    if (level == level_) return;
    level_ = level;
    // Its place among the windows changed: what it covers is drawn again.
    layer().setNeedsComposite();
}

void UIWindow::makeKeyWindow() {
    if (gKeyWindow == this) return;
    UIWindow* old = gKeyWindow;
    gKeyWindow = this;
    if (old) old->resignKeyWindow();
    becomeKeyWindow();
    // Its screen is the one on top now: a root that changed while another
    // window was key (under an alert) is turned as it allows only here.
    UIApplication::sharedApplication().attemptRotationToDeviceOrientation();
}

void UIWindow::makeKeyAndVisible() {
    KAV_ASSERT_MAIN_THREAD();
    order_ = ++gVisibleOrder;
    const bool wasHidden = isHidden();
    setHidden(false);
    // Brought to the front of its level.
    if (!wasHidden) layer().setNeedsComposite();
    makeKeyWindow();
    if (wasHidden) rootAppeared();
}

UIResponder* UIWindow::nextResponder() const {
    return gApplication;
}
void UIWindow::setApplicationResponder(UIResponder* application) {
    gApplication = application;
}

bool UIWindow::isKeyWindow() const {
    return gKeyWindow == this;
}

UIWindow* UIWindow::keyWindow() {
    return gKeyWindow;
}

std::vector<UIWindow*> UIWindow::allWindows() {
    return windowRegistry();
}

std::vector<UIWindow*> UIWindow::visibleWindows() {
    std::vector<UIWindow*> out;
    for (auto* w : windowRegistry())
        if (!w->isHidden()) out.push_back(w);
    // Asked several times a frame, of a few windows: sorted in place, a
    // window moved back only past those that go after it, so that windows
    // alike keep the order they were made in (std::stable_sort would take a
    // buffer and merge for as few).
    const auto after = [](const UIWindow* a, const UIWindow* b) {
        if (a->level_ != b->level_) return a->level_ > b->level_;
        return a->order_ > b->order_;
    };
    for (size_t i = 1; i < out.size(); ++i) {
        UIWindow* w = out[i];
        size_t j = i;
        for (; j > 0 && after(out[j - 1], w); --j) out[j] = out[j - 1];
        out[j] = w;
    }
    return out;
}

// ---- event dispatch -----------------------------------------------------

namespace {

// Delivers the touches of the given phase to the views that own them.
void deliverToViews(const UITouchSet& touches, UITouchPhase phase, UIEvent& event) {
    std::vector<std::pair<UIView*, UITouchSet>> byView;
    for (auto& t : touches) {
        if (t->cancelledForView_) continue;
        UIView* v = t->view();
        if (!v) continue;
        if (phase == UITouchPhase::Began) t->deliveredToView_ = true;
        if (!t->deliveredToView_) continue;
        auto it = std::find_if(byView.begin(), byView.end(), [&](auto& p) { return p.first == v; });
        if (it == byView.end())
            byView.push_back({v, {t}});
        else
            it->second.push_back(t);
    }
    for (auto& [view, set] : byView) {
        // The view may go away while an earlier one handles its touches.
        if (!set.front()->view()) continue;
        auto keep = view->sharedSelf<UIView>();
        switch (phase) {
            case UITouchPhase::Began:
                view->touchesBegan(set, &event);
                break;
            case UITouchPhase::Moved:
                view->touchesMoved(set, &event);
                break;
            case UITouchPhase::Ended:
                view->touchesEnded(set, &event);
                break;
            case UITouchPhase::Cancelled:
                view->touchesCancelled(set, &event);
                break;
            case UITouchPhase::Stationary:
                break;
        }
        if (phase == UITouchPhase::Ended || phase == UITouchPhase::Cancelled)
            for (auto& t : set)
                t->deliveredToView_ = false;
    }
}

std::vector<std::shared_ptr<UIGestureRecognizer>> recognizersOf(const UITouchSet& touches) {
    std::vector<std::shared_ptr<UIGestureRecognizer>> out;
    for (auto& t : touches)
        for (auto& w : t->recognizers_)
            if (auto r = w.lock())
                if (std::find(out.begin(), out.end(), r) == out.end()) out.push_back(r);
    return out;
}

}  // namespace

void UIWindow::sendEvent(UIEvent& event) {
    KAV_ASSERT_MAIN_THREAD();
    auto keep = sharedSelf<UIWindow>();
    if (event.type == UIEventType::Motion) {
        UIResponder* target = UIResponder::currentFirstResponder();
        if (!target) target = this;
        target->motionBegan(event.subtype, &event);
        target = UIResponder::currentFirstResponder() ? UIResponder::currentFirstResponder() : this;
        target->motionEnded(event.subtype, &event);
        return;
    }
    // Touches of this window that changed in this event, by phase.
    for (UITouchPhase phase :
         {UITouchPhase::Began, UITouchPhase::Moved, UITouchPhase::Ended, UITouchPhase::Cancelled}) {
        UITouchSet changed;
        for (auto& t : event.touches)
            if (t->window_ == this && t->phase == phase) changed.push_back(t);
        if (changed.empty()) continue;
        if (phase == UITouchPhase::Began) {
            for (auto& t : changed) {
                UIView* hit = hitTest(t->location_, &event);
                t->rawView_ = hit;
                t->view_ = hit ? hit->sharedSelf<UIView>() : nullptr;
                if (!hit) continue;
                // The recognisers of the view and of its ancestors, deepest first.
                for (UIView* v = hit; v; v = v->superviewRaw()) {
                    for (auto& r : v->gestureRecognizers()) {
                        if (!r->isEnabled() || r->isFinished()) continue;
                        auto d = r->delegate.lock();
                        if (d && !d->gestureRecognizerShouldReceiveTouch(r.get(), t.get()))
                            continue;
                        t->recognizers_.push_back(r);
                    }
                }
            }
        }
        for (auto& r : recognizersOf(changed)) {
            if (!r->isEnabled() || !r->view()) continue;
            // After Began a recogniser only sees the touches it tracks (one
            // that was cancelled and re-enabled waits for new touches).
            UITouchSet mine;
            for (auto& t : changed) {
                bool listed = false;
                for (auto& w : t->recognizers_)
                    if (w.lock() == r) listed = true;
                if (!listed) continue;
                const auto& tracked = r->trackedTouches();
                if (phase != UITouchPhase::Began &&
                    std::find(tracked.begin(), tracked.end(), t) == tracked.end())
                    continue;
                mine.push_back(t);
            }
            if (mine.empty()) continue;
            if (r->state() == UIGestureRecognizerState::Failed ||
                r->state() == UIGestureRecognizerState::Cancelled ||
                (r->state() == UIGestureRecognizerState::Ended && phase != UITouchPhase::Began)) {
                for (auto& t : mine)
                    r->untrack(t.get());
                continue;
            }
            switch (phase) {
                case UITouchPhase::Began:
                    r->touchesBegan(mine, &event);
                    break;
                case UITouchPhase::Moved:
                    r->touchesMoved(mine, &event);
                    break;
                case UITouchPhase::Ended:
                    r->touchesEnded(mine, &event);
                    break;
                case UITouchPhase::Cancelled:
                    r->touchesCancelled(mine, &event);
                    break;
                case UITouchPhase::Stationary:
                    break;
            }
        }
        deliverToViews(changed, phase, event);
        if (phase == UITouchPhase::Ended || phase == UITouchPhase::Cancelled) {
            // A recogniser is ready for a new gesture once all its touches are up.
            for (auto& r : recognizersOf(changed)) {
                bool allUp = true;
                for (auto& t : r->trackedTouches())
                    if (t->phase != UITouchPhase::Ended && t->phase != UITouchPhase::Cancelled)
                        allUp = false;
                if (!allUp) continue;
                if (r->state() != UIGestureRecognizerState::Possible) {
                    r->reset();
                } else {
                    // Still possible (a tap waiting for its next tap): forget
                    // the finished touches only.
                    auto tracked = r->trackedTouches();
                    for (auto& t : tracked)
                        r->untrack(t.get());
                }
            }
        }
    }
}

// ---- root controller ----------------------------------------------------

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
    KAV_ASSERT_MAIN_THREAD();
    if (controller == rootViewController_) return;
    auto old = rootViewController_;
    if (old) {
        // The old screen and what it presents leave the window; the tree is
        // released on the next turn of the run loop, never inside one of its
        // own callbacks that may have asked for the change.
        std::vector<UIViewController*> chain;
        for (UIViewController* c = old.get(); c; c = c->presentedViewController())
            chain.push_back(c);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            UIViewController* c = *it;
            const bool shown = c->isAppearing();
            if (shown) c->beginAppearanceTransition(false, false);
            if (c->isViewLoaded() && c->view()->window() == this) c->view()->removeFromSuperview();
            if (shown) c->endAppearanceTransition();
        }
        dispatch::async_main([old] {});
    }
    rootViewController_ = controller;
    if (controller) {
        UIViewPtr v = controller->viewPtr();
        v->setFrame(bounds());
        v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        addSubview(v);
        if (!isHidden()) {
            controller->beginAppearanceTransition(true, false);
            controller->endAppearanceTransition();
        }
        UIApplication::sharedApplication().attemptRotationToDeviceOrientation();
    }
}

void UIWindow::rootAppeared() {
    if (rootViewController_ && !rootViewController_->isAppearing()) {
        auto root = rootViewController_;
        root->beginAppearanceTransition(true, false);
        root->endAppearanceTransition();
    }
}

}  // namespace platform::ui
