#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

namespace platform::ui {

class UIView;
class UIBarButtonItem;
using UIBarButtonItemPtr = std::shared_ptr<UIBarButtonItem>;

enum class UIBarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

// System items by the platform's numbers; 105 and 106 are the previous and
// next arrows of a keyboard bar.
enum class UIBarButtonSystemItem {
    Done = 0,
    Cancel = 1,
    Edit = 2,
    Save = 3,
    Add = 4,
    FlexibleSpace = 5,
    FixedSpace = 6,
    PreviousArrow = 105,
    NextArrow = 106,
};

// A button of a navigation bar or a toolbar: a title, an image (drawn as a
// template in the tint colour), a custom view, or a space. The bar makes the
// view that shows it.
class UIBarButtonItem : public std::enable_shared_from_this<UIBarButtonItem> {
  public:
    using Action = std::function<void(UIBarButtonItem* sender)>;

    static UIBarButtonItemPtr itemWithTitle(const std::string& title, UIBarButtonItemStyle style,
                                            Action action);
    static UIBarButtonItemPtr itemWithImage(UIImagePtr image, UIBarButtonItemStyle style,
                                            Action action);
    static UIBarButtonItemPtr itemWithCustomView(std::shared_ptr<UIView> view);
    static UIBarButtonItemPtr itemWithSystemItem(UIBarButtonSystemItem item,
                                                 Action action = nullptr);

    std::string title;
    UIImagePtr image;
    UIBarButtonItemStyle style = UIBarButtonItemStyle::Plain;
    std::optional<UIBarButtonSystemItem> systemItem;
    std::shared_ptr<UIView> customView;
    double width = 0;  // fixed spaces; 0 means natural width
    std::optional<UIColor> tintColor;
    long tag = 0;
    Action action;

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    void setTitle(const std::string& t);
    void setImage(UIImagePtr i);
    void setTintColor(std::optional<UIColor> c);
    void setCustomView(std::shared_ptr<UIView> v);
    // Runs the action as a tap on the item would.
    void sendAction();

    bool isSpace() const {
        return systemItem == UIBarButtonSystemItem::FlexibleSpace ||
               systemItem == UIBarButtonSystemItem::FixedSpace;
    }
    // The text a system item shows.
    std::string displayTitle() const;

    std::function<void()> changed;  // set by the bar showing the item

  private:
    bool enabled_ = true;
};

}  // namespace platform::ui
