#include "ui/toolkit/KAVAlertViewStack.h"

#include <algorithm>

#include "platform/MainThread.h"
#include "ui/toolkit/KAVAlertView.h"

KAVAlertViewStack& KAVAlertViewStack::sharedInstance() {
    KAV_ASSERT_MAIN_THREAD();
    static KAVAlertViewStack* stack = new KAVAlertViewStack;  // lives for the whole process
    return *stack;
}

void KAVAlertViewStack::push(const std::shared_ptr<KAVAlertView>& alert) {
    // One that was dismissed (or is fading out) has nothing left to show;
    // kept on the stack it would stay there for ever, and the main window
    // would never take the keys back.
    if (!alert || !alert->alertWindow()) return;
    const auto it = std::find(alertViews_.begin(), alertViews_.end(), alert);
    if (it != alertViews_.end()) {
        if (!alert->isVisible()) return;
        // Shown again while up: it moves to the top instead of being
        // stacked twice.
        alertViews_.erase(it);
    }
    alertViews_.push_back(alert);
    alert->showInternal();
    // A copy: hiding must not see the list change under it.
    const auto shown = alertViews_;
    for (const auto& other : shown)
        if (other != alert) other->hide();
}

void KAVAlertViewStack::pop(const KAVAlertView* alert) {
    auto it = std::find_if(alertViews_.begin(), alertViews_.end(),
                           [alert](const auto& a) { return a.get() == alert; });
    if (it == alertViews_.end()) return;
    const bool wasOnTop = it + 1 == alertViews_.end();
    auto keep = *it;  // the alert may be finishing its own dismissal
    alertViews_.erase(it);
    // Only the alert that was on screen gives its place back; one dismissed
    // while covered leaves the top as it is. The place goes to the newest
    // alert still up: one that is fading out itself never comes back.
    if (!wasOnTop) return;
    for (auto below = alertViews_.rbegin(); below != alertViews_.rend(); ++below)
        if ((*below)->isVisible()) {
            (*below)->showInternal();
            return;
        }
}
