#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <string>

#include "platform/ui/Control.h"

namespace platform::ui {

class UIScrollView;

// Pull to refresh: added as a subview of a scroll view (a table), it sits
// above the content; pulling the content down by more than 60 points and
// letting go starts refreshing (a value-changed event), which keeps the
// control in view until endRefreshing.
class UIRefreshControl : public UIControl {
  public:
    UIRefreshControl();

    bool isRefreshing() const { return refreshing_; }
    void beginRefreshing();
    void endRefreshing();
    // The platform's attributed title, as plain text.
    const std::string& attributedTitle() const { return title_; }
    void setAttributedTitle(const std::string& title);

    void didMoveToSuperview() override;
    void drawRect(CGRect rect) override;
    std::string debugText() const override { return title_; }

    // Called by the scroll view when a drag ends.
    void scrollViewDidEndDragging(UIScrollView* scroll);

    static constexpr double kHeight = 60;

  private:
    bool refreshing_ = false;
    std::string title_;
};

}  // namespace platform::ui
