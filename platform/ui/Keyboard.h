#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <string>

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/ui/Responder.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

namespace platform::ui {

inline constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
// userInfo keys: CGRect frames in screen points, double seconds, int curve.
inline constexpr const char* UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* UIKeyboardAnimationDurationUserInfoKey =
    "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr const char* UIKeyboardAnimationCurveUserInfoKey =
    "UIKeyboardAnimationCurveUserInfoKey";

// The simulated on-screen keyboard. It follows the first responder: a
// responder that takes text brings it up (with that responder's input
// accessory view on top), and it goes when no such responder is left. Each
// change posts the will/did show or hide notifications with the keyboard's
// begin and end frames (the accessory included) and its 0.25 s animation.
// Keys are buttons that type into the first responder: a decimal pad (digits,
// "." and delete), a number pad, or a default keyboard (letters, digits,
// space, delete and return); dark for fields with the dark appearance.
class UIKeyboard {
  public:
    static UIKeyboard& shared();

    bool isVisible() const { return visible_; }
    // Keys (216 points portrait, 162 landscape) plus the accessory view.
    CGRect frame() const;
    UIKeyboardType type() const { return type_; }
    UIWindow* window() const { return window_.get(); }
    static constexpr double kAnimationDuration = 0.25;

    // Starts following the first responder (done once by the layer itself).
    static void install();

    // A desktop keyboard standing in for this one.
    // Whether the keys shown now could type `text`: a pad types digits (the
    // decimal pad a point too), so letters never reach a number field.
    bool keysCanType(const std::string& text) const;
    // Tab: editing moves to the next (or previous) field the way the arrows
    // of the field's keyboard bar move it when it has such a bar, else to the
    // next enabled text field of its window in reading order. False when no
    // field takes text or there is nowhere to go.
    static bool tabToField(bool forward);
    // Escape: editing ends as the field's keyboard bar's Done ends it where
    // it has one, else the first responder resigns.
    static bool endEditing();

  private:
    UIKeyboard() = default;
    void responderChanged(UIResponder* to);
    void show(UIResponder* responder);
    void hide();
    // Lays a shown keyboard out again for the turned screen.
    void screenTurned();
    void buildKeys(UIKeyboardType type, bool dark);
    void post(const char* name, CGRect begin, CGRect end);

    std::shared_ptr<UIWindow> window_;
    UIViewPtr keys_;
    UIViewPtr accessory_;
    UIKeyboardType type_ = UIKeyboardType::Default;
    bool visible_ = false;
    bool dark_ = false;
    platform::Timer didTimer_;
    platform::ObserverToken turnObserver_;
};

}  // namespace platform::ui
