#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

namespace platform::ui {

// What a controller shows in a navigation bar.
class UINavigationItem {
  public:
    std::string title;
    UIViewPtr titleView;
    UIBarButtonItemPtr leftBarButtonItem;
    UIBarButtonItemPtr rightBarButtonItem;
    UIBarButtonItemPtr backBarButtonItem;
    bool hidesBackButton = false;

    // The navigation bar redraws when the item changes through these.
    void setTitle(const std::string& t);
    void setTitleView(UIViewPtr v);
    void setLeftBarButtonItem(UIBarButtonItemPtr item, bool animated = false);
    void setRightBarButtonItem(UIBarButtonItemPtr item, bool animated = false);
    void setHidesBackButton(bool hides, bool animated = false);
    std::function<void()> changed;  // set by the bar showing the item
};

}  // namespace platform::ui
