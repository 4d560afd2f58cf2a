#include "platform/ui/TouchInput.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/MainThread.h"
#include "platform/RunLoop.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace platform::ui {

namespace {

struct ActiveTouch {
    UITouchPtr touch;
};
// Never destroyed: a window that outlives it (one kept until the program
// ends) still asks it for its touches when it goes.
std::map<int, ActiveTouch>& activeTouches() {
    static auto* touches = new std::map<int, ActiveTouch>;
    return *touches;
}

}  // namespace

namespace {

CGPoint screenToWindow(const UIWindow* w, CGPoint p) {
    return CGPointApplyAffineTransform(p,
                                       CGAffineTransformInvert(w->layer().model().toSuperlayer()));
}

// The front-most visible window whose hit test finds a view.
UIWindow* windowForPoint(CGPoint p, UIEvent& event) {
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if ((*it)->hitTest(screenToWindow(*it, p), &event)) return *it;
    return nullptr;
}

void dispatchChanges(const std::vector<TouchInput::Change>& changes) {
    auto& active = activeTouches();
    UIEvent event;
    event.type = UIEventType::Touches;
    event.timestamp = platform::clock().now();
    std::set<UIWindow*> windows;
    std::vector<int> finished;
    for (auto& c : changes) {
        auto it = active.find(c.id);
        if (c.phase == UITouchPhase::Began) {
            if (it != active.end()) continue;  // already down
            auto t = std::make_shared<UITouch>();
            t->phase = UITouchPhase::Began;
            t->timestamp = event.timestamp;
            t->window_ = windowForPoint(c.point, event);
            CGPoint local = t->window_ ? screenToWindow(t->window_, c.point) : c.point;
            t->location_ = t->previous_ = local;
            active[c.id] = {t};
            if (t->window_) windows.insert(t->window_);
            continue;
        }
        if (it == active.end()) continue;
        auto& t = it->second.touch;
        t->phase = c.phase;
        t->timestamp = event.timestamp;
        t->previous_ = t->location_;
        if (c.phase != UITouchPhase::Cancelled && t->window_)
            t->location_ = screenToWindow(t->window_, c.point);
        if (t->window_) windows.insert(t->window_);
        if (c.phase == UITouchPhase::Ended || c.phase == UITouchPhase::Cancelled)
            finished.push_back(c.id);
    }
    for (auto& [id, a] : active) {
        if (std::find_if(changes.begin(), changes.end(), [&, id = id](auto& c) { return c.id == id; }) ==
            changes.end())
            a.touch->phase = UITouchPhase::Stationary;
        event.touches.push_back(a.touch);
    }
    // Windows may be released while handling: keep them for the dispatch.
    std::vector<std::shared_ptr<UIWindow>> keep;
    for (auto* w : windows)
        if (auto sp = w->sharedSelf<UIWindow>()) keep.push_back(sp);
    for (auto& w : keep)
        w->sendEvent(event);
    for (int id : finished)
        active.erase(id);
}

}  // namespace

void TouchInput::touches(const std::vector<Change>& changes) {
    KAV_ASSERT_MAIN_THREAD();
    dispatchChanges(changes);
}
void TouchInput::touchDown(int id, CGPoint p) {
    KAV_ASSERT_MAIN_THREAD();
    dispatchChanges({{id, UITouchPhase::Began, p}});
}
void TouchInput::touchMove(int id, CGPoint p) {
    KAV_ASSERT_MAIN_THREAD();
    dispatchChanges({{id, UITouchPhase::Moved, p}});
}
void TouchInput::touchUp(int id, CGPoint p) {
    KAV_ASSERT_MAIN_THREAD();
    dispatchChanges({{id, UITouchPhase::Ended, p}});
}
void TouchInput::touchCancel(int id) {
    KAV_ASSERT_MAIN_THREAD();
    dispatchChanges({{id, UITouchPhase::Cancelled, {}}});
}
size_t TouchInput::activeTouchCount() {
    return activeTouches().size();
}

void TouchInput::windowGone(const UIWindow* window) {
    for (auto& [id, a] : activeTouches())
        if (a.touch->window_ == window) a.touch->window_ = nullptr;
}

void TouchInput::shake() {
    KAV_ASSERT_MAIN_THREAD();
    UIWindow* key = UIWindow::keyWindow();
    if (!key) return;
    UIEvent event;
    event.type = UIEventType::Motion;
    event.subtype = UIEventSubtype::MotionShake;
    event.timestamp = platform::clock().now();
    key->sendEvent(event);
}

}  // namespace platform::ui
