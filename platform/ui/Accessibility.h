#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Accessibility notifications. Nothing reads the screen aloud on this
// platform: every posted notification is kept (the most recent ones) so that
// the headless driver and the tests can see what a screen announced.

#include <cstdint>
#include <string>
#include <vector>

namespace platform::ui {

using UIAccessibilityNotifications = uint32_t;
// The screen changed a lot (an overlay came or went).
inline constexpr UIAccessibilityNotifications UIAccessibilityScreenChangedNotification = 1000;
// Part of the screen changed.
inline constexpr UIAccessibilityNotifications UIAccessibilityLayoutChangedNotification = 1001;
// A text to be read out (the argument).
inline constexpr UIAccessibilityNotifications UIAccessibilityAnnouncementNotification = 1008;

// Posts a notification; `argument` is the announced text (empty for none).
void UIAccessibilityPostNotification(UIAccessibilityNotifications notification,
                                     const std::string& argument = {});

namespace accessibility {
struct PostedNotification {
    UIAccessibilityNotifications notification = 0;
    std::string argument;
    double time = 0;  // on the main run loop's clock

    bool operator==(const PostedNotification&) const = default;
};
// The notifications posted, oldest first (at most the last 256).
const std::vector<PostedNotification>& postedNotifications();
void clearPostedNotifications();
}  // namespace accessibility

}  // namespace platform::ui
