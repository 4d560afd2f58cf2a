#include "platform/ui/Window.h"

#include <cairo.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/NotificationCenter.h"
#include "platform/ui/Gesture.h"
#include "platform/ui/Screen.h"

namespace platform::ui {

namespace {

std::vector<UIWindow*>& windowRegistry() {
    static std::vector<UIWindow*> all;
    return all;
}
UIWindow* gKeyWindow = nullptr;
UIResponder* gApplication = nullptr;
uint64_t gVisibleOrder = 0;

struct ActiveTouch {
    UITouchPtr touch;
};
std::map<int, ActiveTouch>& activeTouches() {
    static std::map<int, ActiveTouch> touches;
    return touches;
}

}  // namespace

UIScreen& UIScreen::mainScreen() {
    static UIScreen screen;
    return screen;
}

UIDevice& UIDevice::currentDevice() {
    static UIDevice device;
    return device;
}

void UIDevice::setOrientation(UIDeviceOrientation o) {
    if (o == orientation_) return;
    orientation_ = o;
    NotificationCenter::defaultCenter().post(UIDeviceOrientationDidChangeNotification);
}

// ---- window -------------------------------------------------------------

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {
    setHidden(true);
    windowRegistry().push_back(this);
}

UIWindow::~UIWindow() {
    auto& all = windowRegistry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (gKeyWindow == this) gKeyWindow = nullptr;
}

void UIWindow::setWindowLevel(UIWindowLevel level) {
    level_ = level;
    render::markDirty();
}

void UIWindow::makeKeyWindow() {
    if (gKeyWindow == this) return;
    UIWindow* old = gKeyWindow;
    gKeyWindow = this;
    if (old) old->resignKeyWindow();
    becomeKeyWindow();
}

void UIWindow::makeKeyAndVisible() {
    order_ = ++gVisibleOrder;
    const bool wasHidden = isHidden();
    setHidden(false);
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
    std::stable_sort(out.begin(), out.end(), [](UIWindow* a, UIWindow* b) {
        if (a->level_ != b->level_) return a->level_ < b->level_;
        return a->order_ < b->order_;
    });
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

// ---- input --------------------------------------------------------------

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
        if (std::find_if(changes.begin(), changes.end(), [&](auto& c) { return c.id == id; }) ==
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
    dispatchChanges(changes);
}
void TouchInput::touchDown(int id, CGPoint p) {
    dispatchChanges({{id, UITouchPhase::Began, p}});
}
void TouchInput::touchMove(int id, CGPoint p) {
    dispatchChanges({{id, UITouchPhase::Moved, p}});
}
void TouchInput::touchUp(int id, CGPoint p) {
    dispatchChanges({{id, UITouchPhase::Ended, p}});
}
void TouchInput::touchCancel(int id) {
    dispatchChanges({{id, UITouchPhase::Cancelled, {}}});
}
size_t TouchInput::activeTouchCount() {
    return activeTouches().size();
}

void TouchInput::shake() {
    UIWindow* key = UIWindow::keyWindow();
    if (!key) return;
    UIEvent event;
    event.type = UIEventType::Motion;
    event.subtype = UIEventSubtype::MotionShake;
    event.timestamp = platform::clock().now();
    key->sendEvent(event);
}

// ---- screen -------------------------------------------------------------

CGSize UIScreenRenderer::screenSize() {
    CGSize s = UIScreen::mainScreen().bounds().size;
    if (UIDeviceOrientationIsLandscape(UIScreen::mainScreen().interfaceOrientation()))
        std::swap(s.width, s.height);
    return s;
}

void UIScreenRenderer::layoutWindows() {
    for (auto* w : UIWindow::visibleWindows())
        w->layoutIfNeeded();
}

bool UIScreenRenderer::needsFrame() {
    return render::isDirty() || animation::activeCount() > 0;
}

void UIScreenRenderer::drawScreen(cairo_t* cr, CGSize size) {
    layoutWindows();
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_fill(cr);
    for (auto* w : UIWindow::visibleWindows())
        w->layer().render(cr);
    cairo_restore(cr);
    render::clearDirty();
}

namespace {
UIImagePtr renderTo(CGSize size, CGFloat scale, const std::function<void(cairo_t*)>& draw) {
    const int w = std::max(1, static_cast<int>(std::lround(size.width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(size.height * scale)));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, scale, scale);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    auto img = std::make_shared<UIImage>(s, scale);
    cairo_surface_destroy(s);
    return img;
}
}  // namespace

UIImagePtr UIScreenRenderer::renderScreen(CGFloat scale) {
    CGSize size = screenSize();
    return renderTo(size, scale, [&](cairo_t* cr) { drawScreen(cr, size); });
}

UIImagePtr UIScreenRenderer::renderWindow(UIWindow& window, CGFloat scale) {
    window.layoutIfNeeded();
    CGSize size = window.bounds().size;
    return renderTo(size, scale, [&](cairo_t* cr) {
        // Draw the window at the origin, whatever its position on the screen.
        auto s = window.layer().presentation();
        cairo_translate(cr, -(s.position.x - s.anchorPoint.x * s.bounds.size.width),
                        -(s.position.y - s.anchorPoint.y * s.bounds.size.height));
        const bool wasHidden = window.isHidden();
        if (wasHidden) window.layer().setHidden(false);
        window.layer().render(cr);
        if (wasHidden) window.layer().setHidden(true);
    });
}

}  // namespace platform::ui
