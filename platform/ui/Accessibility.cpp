#include "platform/ui/Accessibility.h"

#include "platform/Clock.h"

namespace platform::ui {

namespace {
constexpr size_t kKept = 256;

std::vector<accessibility::PostedNotification>& posted() {
    static std::vector<accessibility::PostedNotification> list;
    return list;
}
}  // namespace

void UIAccessibilityPostNotification(UIAccessibilityNotifications notification,
                                     const std::string& argument) {
    auto& list = posted();
    // A long session must not grow without end: the oldest go first.
    if (list.size() >= kKept) list.erase(list.begin(), list.begin() + kKept / 2);
    list.push_back({notification, argument, platform::clock().now()});
}

namespace accessibility {
const std::vector<PostedNotification>& postedNotifications() {
    return posted();
}
void clearPostedNotifications() {
    posted().clear();
}
}  // namespace accessibility

}  // namespace platform::ui
