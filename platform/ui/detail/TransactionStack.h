#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Internal bookkeeping shared by layers, transactions and view animation
// blocks. Not for use outside platform/ui.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Animation.h"

namespace platform::ui {
class CALayer;
}

namespace platform::ui::detail {

// The animations started together (one transaction or one view animation
// block) and the completion that waits for all of them.
struct AnimGroup {
    int pending = 0;
    bool interrupted = false;
    bool committed = false;
    std::function<void(bool finished)> done;

    void animationStopped(bool finished, bool fromTimer);
    // No more animations will join; completes now (posted) when none is left.
    void commit();
};

struct Capture {
    std::weak_ptr<CALayer> layer;
    std::string keyPath;
    AnimValue from;
};

struct TransactionFrame {
    bool disableActions = false;
    std::optional<double> duration;
    std::optional<CAMediaTimingFunction> timing;
    std::function<void()> completion;
    std::shared_ptr<AnimGroup> group = std::make_shared<AnimGroup>();

    // View animation blocks.
    bool viewAnimation = false;
    double viewDuration = 0;
    double viewDelay = 0;
    CAMediaTimingFunction viewTiming;
    bool allowInteraction = false;
    std::vector<Capture> captures;
};

std::vector<TransactionFrame>& transactionStack();
void pushFrame(TransactionFrame frame);
// Pops the top frame: turns the captures of a view animation block into
// animations, then commits the group.
void popFrame();

}  // namespace platform::ui::detail
