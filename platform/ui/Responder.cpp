#include "platform/ui/Responder.h"

namespace platform::ui {

namespace {
UIResponder* gFirstResponder = nullptr;
std::function<void(UIResponder*, UIResponder*)>& firstResponderObserver() {
    static std::function<void(UIResponder*, UIResponder*)> observer;
    return observer;
}
void changeFirstResponder(UIResponder* to) {
    UIResponder* from = gFirstResponder;
    gFirstResponder = to;
    if (auto& obs = firstResponderObserver()) obs(from, to);
}
}  // namespace

UIResponder::UIResponder() : alive_(std::make_shared<char>(0)) {}

UIResponder::~UIResponder() {
    if (gFirstResponder == this) changeFirstResponder(nullptr);
}

void UIResponder::setFirstResponderObserver(
    std::function<void(UIResponder*, UIResponder*)> observer) {
    firstResponderObserver() = std::move(observer);
}

UIResponder* UIResponder::currentFirstResponder() {
    return gFirstResponder;
}

bool UIResponder::isFirstResponder() const {
    return gFirstResponder == this;
}

bool UIResponder::becomeFirstResponder() {
    if (gFirstResponder == this) return true;
    if (!canBecomeFirstResponder()) return false;
    if (gFirstResponder && !gFirstResponder->resignFirstResponder()) return false;
    changeFirstResponder(this);
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (gFirstResponder != this) return true;
    if (!canResignFirstResponder()) return false;
    changeFirstResponder(nullptr);
    return true;
}

void UIResponder::touchesBegan(const UITouchSet& t, UIEvent* e) {
    if (auto* n = nextResponder()) n->touchesBegan(t, e);
}
void UIResponder::touchesMoved(const UITouchSet& t, UIEvent* e) {
    if (auto* n = nextResponder()) n->touchesMoved(t, e);
}
void UIResponder::touchesEnded(const UITouchSet& t, UIEvent* e) {
    if (auto* n = nextResponder()) n->touchesEnded(t, e);
}
void UIResponder::touchesCancelled(const UITouchSet& t, UIEvent* e) {
    if (auto* n = nextResponder()) n->touchesCancelled(t, e);
}
void UIResponder::motionBegan(UIEventSubtype m, UIEvent* e) {
    if (auto* n = nextResponder()) n->motionBegan(m, e);
}
void UIResponder::motionEnded(UIEventSubtype m, UIEvent* e) {
    if (auto* n = nextResponder()) n->motionEnded(m, e);
}
void UIResponder::motionCancelled(UIEventSubtype m, UIEvent* e) {
    if (auto* n = nextResponder()) n->motionCancelled(m, e);
}

void UIResponder::dropFirstResponder() {
    changeFirstResponder(nullptr);
}

}  // namespace platform::ui
