#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Event.h"

namespace platform::ui {

class UIView;
using UIViewPtr = std::shared_ptr<UIView>;

// Something that takes part in the responder chain: views, view controllers,
// the application and its delegate. Touches and motion events that a
// responder does not handle go to its next responder.
//
// Objects with identity live in std::shared_ptr. weakSelf<T>() gives a weak
// reference to the object for delegates and targets, also from inside a
// constructor (where shared_from_this is not yet available): such an early
// reference still expires when the object is destroyed, but locking it does
// not keep the object alive.
class UIResponder : public std::enable_shared_from_this<UIResponder> {
  public:
    UIResponder();
    virtual ~UIResponder();
    UIResponder(const UIResponder&) = delete;
    UIResponder& operator=(const UIResponder&) = delete;

    template <typename T>
    std::weak_ptr<T> weakSelf() {
        T* self = dynamic_cast<T*>(this);
        if (!self) return {};
        if (auto owned = weak_from_this().lock()) return std::shared_ptr<T>(owned, self);
        return std::shared_ptr<T>(alive_, self);
    }
    template <typename T>
    std::shared_ptr<T> sharedSelf() {
        T* self = dynamic_cast<T*>(this);
        auto owned = weak_from_this().lock();
        return self && owned ? std::shared_ptr<T>(owned, self) : nullptr;
    }

    virtual UIResponder* nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool canResignFirstResponder() const { return true; }
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static UIResponder* currentFirstResponder();

    // Default: passed to the next responder.
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
    virtual void motionBegan(UIEventSubtype motion, UIEvent* event);
    virtual void motionEnded(UIEventSubtype motion, UIEvent* event);
    virtual void motionCancelled(UIEventSubtype motion, UIEvent* event);

    // Text input of a first responder (the keyboard calls these).
    virtual bool acceptsTextInput() const { return false; }
    virtual bool hasText() const { return false; }
    virtual void insertText(const std::string&) {}
    virtual void deleteBackward() {}
    // The bar shown above the keyboard while this responder is first.
    virtual UIViewPtr inputAccessoryView() const { return nullptr; }

    // Called whenever the first responder changes (the keyboard follows it).
    static void setFirstResponderObserver(
        std::function<void(UIResponder* from, UIResponder* to)> observer);

  protected:
    // The first responder goes whatever it answers (a forced endEditing).
    static void dropFirstResponder();

  private:
    std::shared_ptr<char> alive_;
};

}  // namespace platform::ui
