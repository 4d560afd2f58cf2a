#include "platform/ui/Driver.h"

#include <cmath>
#include <sstream>

#include "platform/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Device.h"
#include "platform/ui/Event.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/Responder.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Text.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/detail/Compositor.h"

namespace platform::ui {

namespace {

std::vector<UIView*> roots(UIView* root) {
    if (root) return {root};
    auto windows = UIWindow::visibleWindows();
    std::vector<UIView*> out(windows.rbegin(), windows.rend());
    return out;
}

void visit(UIView* v, const std::function<void(UIView*)>& f) {
    f(v);
    auto subs = v->subviews();
    for (auto& s : subs)
        visit(s.get(), f);
}

UIView* findTag(UIView* v, long tag) {
    if (v->tag() == tag) return v;
    // Front-most first, so the view a finger would reach wins.
    auto& subs = v->subviews();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        if (auto* hit = findTag(it->get(), tag)) return hit;
    return nullptr;
}

CGPoint toScreen(const UIView* v, CGPoint local) {
    CGPoint w = v->convertPointToView(local, nullptr);
    if (auto* win = v->window())
        return CGPointApplyAffineTransform(w, win->layer().model().toSuperlayer());
    return w;
}

// The screen point in the view's bounds.
CGPoint fromScreen(const UIView* v, CGPoint p) {
    if (auto* win = v->window())
        p = CGPointApplyAffineTransform(
            p, CGAffineTransformInvert(win->layer().model().toSuperlayer()));
    return v->convertPointFromView(p, nullptr);
}

constexpr int kFinger = 1;
constexpr int kSecondFinger = 2;

}  // namespace

void UIDriver::forEachView(UIView* root, const std::function<void(UIView*)>& f) {
    for (auto* r : roots(root))
        visit(r, f);
}

UIView* UIDriver::findViewWithTag(long tag, UIView* root) {
    for (auto* r : roots(root))
        if (auto* v = findTag(r, tag)) return v;
    return nullptr;
}

bool UIDriver::isVisible(const UIView* view) {
    if (!view) return false;
    for (const UIView* v = view; v; v = v->superviewRaw())
        if (v->isHidden() || v->alpha() < 0.01) return false;
    return view->window() != nullptr;
}

std::vector<UIDriver::ShownText> UIDriver::shownTexts(const UIView* view) {
    std::vector<ShownText> out;
    if (!view) return out;
    if (auto* segments = dynamic_cast<const UISegmentedControl*>(view)) {
        for (long i = 0; i < segments->numberOfSegments(); ++i)
            if (auto title = segments->titleForSegmentAtIndex(i); !title.empty())
                out.push_back({std::move(title), segments->rectForSegmentAtIndex(i)});
        return out;
    }
    if (auto text = view->debugText(); !text.empty()) out.push_back({std::move(text), view->bounds()});
    return out;
}

std::vector<UIView*> UIDriver::viewsWithText(const std::string& text, UIView* root) {
    std::vector<UIView*> out;
    forEachView(root, [&](UIView* v) {
        for (auto& shown : shownTexts(v))
            if (shown.text == text && isVisible(v)) {
                out.push_back(v);
                break;
            }
    });
    return out;
}

UIView* UIDriver::viewWithText(const std::string& text, UIView* root) {
    auto all = viewsWithText(text, root);
    return all.empty() ? nullptr : all.back();
}

std::vector<UIView*> UIDriver::viewsOfClass(const std::string& name, UIView* root) {
    std::vector<UIView*> out;
    forEachView(root, [&](UIView* v) {
        if (v->className() == name) out.push_back(v);
    });
    return out;
}

CGPoint UIDriver::screenCenterOf(const UIView* view) {
    CGRect b = view->bounds();
    return toScreen(view, {CGRectGetMidX(b), CGRectGetMidY(b)});
}

CGPoint UIDriver::screenPointOf(const UIView* view, CGPoint local) {
    return toScreen(view, local);
}

UIView* UIDriver::viewTouchedAt(CGPoint p) {
    UIEvent event;
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const CGPoint local = CGPointApplyAffineTransform(
            p, CGAffineTransformInvert((*it)->layer().model().toSuperlayer()));
        if (UIView* hit = (*it)->hitTest(local, &event)) return hit;
    }
    return nullptr;
}

std::string UIDriver::whyNotReached(CGPoint p, const UIView* view) {
    std::ostringstream why;
    const auto at = [&] { why << " at (" << p.x << ", " << p.y << ")"; };
    // The screen as the interface is turned: held sideways it is wide and low.
    const CGSize screen = UIScreenRenderer::screenSize();
    if (!CGRectContainsPoint(CGRectMake(0, 0, screen.width, screen.height), p)) {
        why << "off screen";
        at();
        return why.str();
    }
    if (!view) return {};
    UIView* hit = viewTouchedAt(p);
    // A view inside the target takes its touches (a button's label), and a
    // view that takes none hands them to the view around it (a cell's label).
    if (hit && (hit == view || hit->isDescendantOfView(view))) return {};
    if (hit && view->isDescendantOfView(hit)) {
        // But only where the view shows: not where a view between them that
        // clips (a scrolled list) has cut it off, and the touch meant for it
        // would reach the screen around the list.
        for (const UIView* v = view->superviewRaw(); v && v != hit; v = v->superviewRaw())
            if (v->clipsToBounds() && !CGRectContainsPoint(v->bounds(), fromScreen(v, p))) {
                why << "clipped by " << v->className() << " tag=" << v->tag();
                at();
                return why.str();
            }
        return {};
    }
    if (!hit) {
        why << "nothing takes the touch";
    } else {
        why << "covered by " << hit->className() << " tag=" << hit->tag();
    }
    at();
    return why.str();
}

bool UIDriver::isSettled() {
    return detail::compositor::finiteAnimations() == 0;
}

bool UIDriver::isLoading() {
    bool turning = false;
    forEachView(nullptr, [&](UIView* v) {
        if (turning) return;
        auto* spinner = dynamic_cast<UIActivityIndicatorView*>(v);
        turning = spinner && spinner->isAnimating() && isVisible(spinner);
    });
    return turning;
}

void UIDriver::drain() {
    RunLoop::main().drain();
}

void UIDriver::advance(double seconds) {
    auto& loop = RunLoop::main();
    if (loop.virtualClock()) {
        loop.advance(seconds);
    } else {
        loop.runUntil([] { return false; }, seconds);
    }
}

void UIDriver::tap(const UIView* view) {
    if (!view) return;
    UIScreenRenderer::layoutWindows();
    tapAt(screenCenterOf(view));
}

void UIDriver::tapAt(CGPoint p) {
    UIScreenRenderer::layoutWindows();
    TouchInput::touchDown(kFinger, p);
    drain();
    TouchInput::touchUp(kFinger, p);
    drain();
}

void UIDriver::drag(CGPoint from, CGPoint to, double duration, int steps) {
    UIScreenRenderer::layoutWindows();
    steps = std::max(1, steps);
    TouchInput::touchDown(kFinger, from);
    drain();
    for (int i = 1; i <= steps; ++i) {
        advance(duration / steps);
        double f = static_cast<double>(i) / steps;
        TouchInput::touchMove(kFinger,
                              {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f});
        drain();
    }
    TouchInput::touchUp(kFinger, to);
    drain();
}

void UIDriver::pinch(CGPoint c, double from, double to, double duration, int steps) {
    UIScreenRenderer::layoutWindows();
    steps = std::max(1, steps);
    auto at = [&](double d, int side) { return CGPoint{c.x + side * d / 2, c.y}; };
    TouchInput::touches({{kFinger, UITouchPhase::Began, at(from, -1)},
                         {kSecondFinger, UITouchPhase::Began, at(from, 1)}});
    drain();
    for (int i = 1; i <= steps; ++i) {
        advance(duration / steps);
        double d = from + (to - from) * i / steps;
        TouchInput::touches({{kFinger, UITouchPhase::Moved, at(d, -1)},
                             {kSecondFinger, UITouchPhase::Moved, at(d, 1)}});
        drain();
    }
    TouchInput::touches({{kFinger, UITouchPhase::Ended, at(to, -1)},
                         {kSecondFinger, UITouchPhase::Ended, at(to, 1)}});
    drain();
}

void UIDriver::longPress(CGPoint p, double duration) {
    UIScreenRenderer::layoutWindows();
    TouchInput::touchDown(kFinger, p);
    drain();
    advance(duration);
    TouchInput::touchUp(kFinger, p);
    drain();
}

void UIDriver::typeText(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        size_t len = 1;
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        std::string ch = text.substr(i, len);
        i += len;
        UIResponder* r = UIResponder::currentFirstResponder();
        if (!r || !r->acceptsTextInput()) continue;
        if (ch == "\b")
            r->deleteBackward();
        else
            r->insertText(ch);
        drain();
    }
}

void UIDriver::shake() {
    TouchInput::shake();
    drain();
}

void UIDriver::rotate(UIDeviceOrientation o) {
    UIDevice::currentDevice().setOrientation(o);
    drain();
}

std::vector<accessibility::PostedNotification> UIDriver::accessibilityNotifications() {
    return accessibility::postedNotifications();
}

std::vector<std::string> UIDriver::announcements() {
    std::vector<std::string> out;
    for (auto& n : accessibility::postedNotifications())
        if (n.notification == UIAccessibilityAnnouncementNotification) out.push_back(n.argument);
    return out;
}

void UIDriver::clearAccessibilityNotifications() {
    accessibility::clearPostedNotifications();
}

namespace {

// A shown text in double quotes as a script writes it (\" and \\), its line
// breaks as \n and \r: a text of several lines (a dealer's bulletin) stays on
// its view's line, and none of its lines passes for a line of the output.
void writeQuoted(std::ostream& out, std::string_view text) {
    out << '"';
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out << '\\' << c;
        else if (c == '\n')
            out << "\\n";
        else if (c == '\r')
            out << "\\r";
        else
            out << c;
    }
    out << '"';
}

}  // namespace

std::string UIDriver::dumpViewTree(UIView* root) {
    std::ostringstream out;
    std::function<void(UIView*, int)> dump = [&](UIView* v, int depth) {
        out << std::string(static_cast<size_t>(depth) * 2, ' ') << v->className();
        if (v->tag()) out << " tag=" << v->tag();
        out << " frame=" << NSStringFromCGRect(v->frame());
        if (auto t = v->debugText(); !t.empty()) {
            out << " text=";
            writeQuoted(out, t);
        }
        if (auto* segments = dynamic_cast<UISegmentedControl*>(v)) {
            out << " segments=[";
            for (long i = 0; i < segments->numberOfSegments(); ++i) {
                if (i) out << ", ";
                writeQuoted(out, segments->titleForSegmentAtIndex(i));
            }
            out << "] selected=" << segments->selectedSegmentIndex();
        }
        if (auto* control = dynamic_cast<UIControl*>(v)) {
            if (auto* onOff = dynamic_cast<UISwitch*>(control)) out << (onOff->isOn() ? " on" : " off");
            if (!control->isEnabled()) out << " disabled";
        }
        if (v->isHidden()) out << " hidden";
        out << "\n";
        for (auto& s : v->subviews())
            dump(s.get(), depth + 1);
    };
    for (auto* r : roots(root))
        dump(r, 0);
    return out.str();
}

UIImagePtr UIDriver::renderImage(CGFloat scale, UIWindow* window) {
    return window ? UIScreenRenderer::renderWindow(*window, scale)
                  : UIScreenRenderer::renderScreen(scale);
}

bool UIDriver::renderPNG(const std::filesystem::path& path, CGFloat scale, UIWindow* window) {
    return UIImageWritePNG(renderImage(scale, window), path);
}

}  // namespace platform::ui
