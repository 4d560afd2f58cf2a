#include "platform/ui/Keyboard.h"

#include <algorithm>
#include <any>
#include <cmath>
#include <map>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Toolbar.h"

namespace platform::ui {

namespace {

constexpr double kPortraitKeys = 216;
constexpr double kLandscapeKeys = 162;
constexpr UIWindowLevel kKeyboardLevel = UIWindowLevelStatusBar - 1;

double keysHeight() {
    return UIInterfaceOrientationIsLandscape(UIScreen::mainScreen().interfaceOrientation())
               ? kLandscapeKeys
               : kPortraitKeys;
}

UIKeyboardType keysFor(UIResponder* r) {
    if (auto* field = dynamic_cast<UITextField*>(r)) {
        switch (field->keyboardType) {
            case UIKeyboardType::DecimalPad:
                return UIKeyboardType::DecimalPad;
            case UIKeyboardType::NumberPad:
            case UIKeyboardType::PhonePad:
                return UIKeyboardType::NumberPad;
            default:
                return UIKeyboardType::Default;
        }
    }
    return UIKeyboardType::Default;
}

// One key: types its text into the first responder.
bool darkFor(UIResponder* r) {
    auto* field = dynamic_cast<UITextField*>(r);
    return field && field->keyboardAppearance == UIKeyboardAppearance::Dark;
}

std::shared_ptr<UIButton> makeKey(const std::string& title, const std::string& input, bool dark) {
    auto key = std::make_shared<UIButton>();
    key->setTitle(title, UIControlStateNormal);
    key->setTitleColor(dark ? UIColor::whiteColor() : UIColor::blackColor(), UIControlStateNormal);
    key->titleLabel()->setFont(UIFont::systemFontOfSize(title.size() > 3 ? 15 : 22));
    key->setBackgroundColor(dark ? UIColor::grey255(90) : UIColor::whiteColor());
    key->layer().setCornerRadius(4);
    key->addTarget(
        [input](UIControl*, UIEvent*) {
            UIResponder* r = UIResponder::currentFirstResponder();
            if (!r || !r->acceptsTextInput()) return;
            if (input == "\b")
                r->deleteBackward();
            else
                r->insertText(input);
        },
        UIControlEventTouchUpInside);
    return key;
}

}  // namespace

UIKeyboard& UIKeyboard::shared() {
    static UIKeyboard* keyboard = new UIKeyboard;  // lives for the whole process
    return *keyboard;
}

void UIKeyboard::install() {
    static bool done = false;
    if (done) return;
    done = true;
    UIResponder::setFirstResponderObserver(
        [](UIResponder*, UIResponder* to) { shared().responderChanged(to); });
    // A keyboard up while the interface turns stands where the old screen's
    // bottom was, as wide as its old width, unless it follows the turn.
    shared().turnObserver_ = NotificationCenter::defaultCenter().addObserver(
        UIApplicationDidChangeStatusBarOrientationNotification,
        [](const Notification&) { shared().screenTurned(); });
}

void UIKeyboard::screenTurned() {
    if (!visible_ || !window_ || !keys_) return;
    const CGSize screen = UIScreenRenderer::screenSize();
    const CGRect before = window_->frame();
    keys_->removeFromSuperview();
    buildKeys(type_, dark_);
    window_->addSubview(keys_);
    const double accessoryHeight = accessory_ ? accessory_->frame().size.height : 0;
    if (accessory_) accessory_->setFrame(CGRectMake(0, 0, screen.width, accessoryHeight));
    keys_->setFrame(CGRectMake(0, accessoryHeight, screen.width, keysHeight()));
    const CGRect end = frame();
    // Told as a keyboard shown again, so that whoever keeps a field above it
    // moves that field for the new frame.
    post(UIKeyboardWillShowNotification, before, end);
    window_->setFrame(end);
    didTimer_ = platform::Timer::schedule(kAnimationDuration, false, [this, before, end] {
        post(UIKeyboardDidShowNotification, before, end);
    });
}

CGRect UIKeyboard::frame() const {
    const CGSize screen = UIScreenRenderer::screenSize();
    const double accessory = accessory_ ? accessory_->frame().size.height : 0;
    const double h = keysHeight() + accessory;
    return CGRectMake(0, screen.height - (visible_ ? h : 0), screen.width, h);
}

void UIKeyboard::post(const char* name, CGRect begin, CGRect end) {
    Notification n;
    n.name = name;
    n.userInfo[UIKeyboardFrameBeginUserInfoKey] = begin;
    n.userInfo[UIKeyboardFrameEndUserInfoKey] = end;
    n.userInfo[UIKeyboardAnimationDurationUserInfoKey] = kAnimationDuration;
    n.userInfo[UIKeyboardAnimationCurveUserInfoKey] = 7;
    NotificationCenter::defaultCenter().post(n);
}

void UIKeyboard::responderChanged(UIResponder* to) {
    if (to && to->acceptsTextInput())
        show(to);
    else if (visible_)
        hide();
}

void UIKeyboard::buildKeys(UIKeyboardType type, bool dark) {
    type_ = type;
    dark_ = dark;
    const CGSize screen = UIScreenRenderer::screenSize();
    keys_ = std::make_shared<UIView>(CGRectMake(0, 0, screen.width, keysHeight()));
    keys_->setBackgroundColor(dark ? UIColor::grey255(40) : UIColor::rgb255(209, 213, 219));
    std::vector<std::vector<std::pair<std::string, std::string>>> rows;
    if (type == UIKeyboardType::Default) {
        auto letters = [](const char* s) {
            std::vector<std::pair<std::string, std::string>> row;
            for (const char* p = s; *p; ++p)
                row.push_back({std::string(1, *p), std::string(1, *p)});
            return row;
        };
        rows = {letters("1234567890"),
                letters("qwertyuiop"),
                letters("asdfghjkl"),
                letters("zxcvbnm.@"),
                {{"space", " "}, {"←", "\b"}, {"return", "\n"}}};
    } else {
        const std::string dot = type == UIKeyboardType::DecimalPad ? "." : "";
        rows = {{{"1", "1"}, {"2", "2"}, {"3", "3"}},
                {{"4", "4"}, {"5", "5"}, {"6", "6"}},
                {{"7", "7"}, {"8", "8"}, {"9", "9"}},
                {{dot, dot}, {"0", "0"}, {"←", "\b"}}};
    }
    const double gap = 5;
    const double rowHeight = (keysHeight() - gap) / rows.size();
    for (size_t r = 0; r < rows.size(); ++r) {
        const double w = (screen.width - gap) / rows[r].size();
        for (size_t k = 0; k < rows[r].size(); ++k) {
            if (rows[r][k].second.empty()) continue;
            auto key = makeKey(rows[r][k].first, rows[r][k].second, dark);
            key->setFrame(CGRectMake(gap + k * w, gap + r * rowHeight, w - gap, rowHeight - gap));
            keys_->addSubview(key);
        }
    }
}

void UIKeyboard::show(UIResponder* responder) {
    const CGSize screen = UIScreenRenderer::screenSize();
    if (!window_) {
        window_ = std::make_shared<UIWindow>(CGRectMake(0, screen.height, screen.width, 0));
        window_->setWindowLevel(kKeyboardLevel);
    }
    const CGRect before = frame();
    const bool wasVisible = visible_;
    UIViewPtr accessory = responder->inputAccessoryView();
    const UIKeyboardType type = keysFor(responder);
    const bool dark = darkFor(responder);
    if (wasVisible && accessory == accessory_ && type == type_ && dark == dark_)
        return;  // nothing changes
    if (!keys_ || type != type_ || dark != dark_ || keys_->bounds().size.width != screen.width) {
        if (keys_) keys_->removeFromSuperview();
        buildKeys(type, dark);
        window_->addSubview(keys_);
    }
    if (accessory_ && accessory_ != accessory) accessory_->removeFromSuperview();
    accessory_ = accessory;
    const double accessoryHeight = accessory_ ? accessory_->frame().size.height : 0;
    if (accessory_) {
        accessory_->setFrame(CGRectMake(0, 0, screen.width, accessoryHeight));
        window_->addSubview(accessory_);
    }
    keys_->setFrame(CGRectMake(0, accessoryHeight, screen.width, keysHeight()));
    visible_ = true;
    const CGRect end = frame();
    const CGRect begin = wasVisible ? before : CGRectOffset(end, 0, end.size.height);
    post(UIKeyboardWillShowNotification, begin, end);
    window_->setFrame(begin);
    window_->setHidden(false);
    UIView::animateWithDuration(
        kAnimationDuration, 0, UIViewAnimationOptionCurveEaseOut,
        [w = window_, end] { w->setFrame(end); }, nullptr);
    didTimer_ = platform::Timer::schedule(kAnimationDuration, false, [this, begin, end] {
        post(UIKeyboardDidShowNotification, begin, end);
    });
}

void UIKeyboard::hide() {
    const CGRect begin = frame();
    visible_ = false;
    const CGRect end = CGRectOffset(begin, 0, begin.size.height);
    post(UIKeyboardWillHideNotification, begin, end);
    UIView::animateWithDuration(
        kAnimationDuration, 0, UIViewAnimationOptionCurveEaseIn,
        [w = window_, end] { w->setFrame(end); }, nullptr);
    didTimer_ = platform::Timer::schedule(kAnimationDuration, false, [this, begin, end] {
        if (!visible_ && window_) window_->setHidden(true);
        if (accessory_ && !visible_) {
            accessory_->removeFromSuperview();
            accessory_.reset();
        }
        post(UIKeyboardDidHideNotification, begin, end);
    });
}

}  // namespace platform::ui

namespace platform::ui {

bool UIKeyboard::keysCanType(const std::string& text) const {
    if (!visible_ || type_ == UIKeyboardType::Default) return true;
    return std::all_of(text.begin(), text.end(), [this](char c) {
        return (c >= '0' && c <= '9') || (c == '.' && type_ == UIKeyboardType::DecimalPad);
    });
}

namespace {

// The previous or next arrow of a keyboard bar under `view`.
UIBarButtonItem* arrowIn(UIView* view, UIBarButtonSystemItem which) {
    if (!view) return nullptr;
    if (auto* bar = dynamic_cast<UIToolbar*>(view))
        for (const auto& item : bar->items())
            if (item && item->systemItem == which) return item.get();
    for (const auto& sub : view->subviews())
        if (auto* found = arrowIn(sub.get(), which)) return found;
    return nullptr;
}

// The Done of a keyboard bar under `view`: the bar's item of the done style.
UIBarButtonItem* doneIn(UIView* view) {
    if (!view) return nullptr;
    if (auto* bar = dynamic_cast<UIToolbar*>(view))
        for (const auto& item : bar->items())
            if (item && (item->style == UIBarButtonItemStyle::Done ||
                         item->systemItem == UIBarButtonSystemItem::Done))
                return item.get();
    for (const auto& sub : view->subviews())
        if (auto* found = doneIn(sub.get())) return found;
    return nullptr;
}

void collectFields(UIView* view, std::vector<UITextField*>& out) {
    if (view->isHidden() || view->alpha() <= 0.01) return;
    if (auto* field = dynamic_cast<UITextField*>(view)) {
        if (field->isEnabled() && field->isUserInteractionEnabled()) out.push_back(field);
        return;
    }
    for (const auto& sub : view->subviews())
        collectFields(sub.get(), out);
}

// Whether any of `field` shows in `window`: inside the window and inside
// every superview that clips it. A panel slid off the screen (a form moved
// away to uncover a list) or a row scrolled out of sight keeps its fields,
// which no one can see to type into.
bool showsInWindow(const UITextField* field, const UIWindow* window) {
    CGRect shown = CGRectIntersection(field->convertRectToView(field->bounds(), window),
                                      window->bounds());
    for (const UIView* v = field->superviewRaw(); v && v != window && !CGRectIsEmpty(shown);
         v = v->superviewRaw())
        if (v->clipsToBounds())
            shown = CGRectIntersection(shown, v->convertRectToView(v->bounds(), window));
    return !CGRectIsEmpty(shown);
}

}  // namespace

bool UIKeyboard::tabToField(bool forward) {
    UIResponder* r = UIResponder::currentFirstResponder();
    if (!r || !r->acceptsTextInput()) return false;
    // The field's bar decides where its arrows lead (a disabled arrow leads
    // nowhere).
    if (UIBarButtonItem* arrow = arrowIn(r->inputAccessoryView().get(),
                                         forward ? UIBarButtonSystemItem::NextArrow
                                                 : UIBarButtonSystemItem::PreviousArrow)) {
        if (!arrow->isEnabled()) return false;
        arrow->sendAction();
        return true;
    }
    auto* view = dynamic_cast<UIView*>(r);
    UIWindow* window = view ? view->window() : nullptr;
    if (!window) return false;
    std::vector<UITextField*> fields;
    collectFields(window, fields);
    // Reading order: by rows from the top, left to right within a row, among
    // the fields that show (and the one being edited, to start from).
    std::vector<std::pair<CGPoint, UITextField*>> placed;
    for (auto* f : fields)
        if (f == view || showsInWindow(f, window))
            placed.push_back({f->convertRectToView(f->bounds(), window).origin, f});
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
        if (std::fabs(a.first.y - b.first.y) > 1) return a.first.y < b.first.y;
        return a.first.x < b.first.x;
    });
    auto at = std::find_if(placed.begin(), placed.end(),
                           [view](const auto& p) { return p.second == view; });
    if (at == placed.end()) return false;
    if (forward) {
        if (++at == placed.end()) return false;
    } else {
        if (at == placed.begin()) return false;
        --at;
    }
    return at->second->becomeFirstResponder();
}

bool UIKeyboard::endEditing() {
    UIResponder* r = UIResponder::currentFirstResponder();
    if (!r || !r->acceptsTextInput()) return false;
    // A field with a keyboard bar ends as its Done ends it: the form behind
    // it decides what follows (a login form moves back into place).
    if (UIBarButtonItem* done = doneIn(r->inputAccessoryView().get());
        done && done->isEnabled()) {
        done->sendAction();
        return true;
    }
    return r->resignFirstResponder();
}

}  // namespace platform::ui
