#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace platform::ui {

enum class UITableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class UITableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2, Default = 3 };
enum class UITableViewCellAccessoryType {
    None = 0,
    DisclosureIndicator = 1,
    DetailDisclosureButton = 2,
    Checkmark = 3
};
enum class UITableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };
enum class UITableViewCellSeparatorStyle { None = 0, SingleLine = 1 };

// A row of a table: a content view (where the screens put their subviews),
// the standard text and detail labels and image, an accessory at the right,
// and a selection highlight unless the selection style is none.
class UITableViewCell : public UIView {
  public:
    UITableViewCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
    UITableViewCell() : UITableViewCell(UITableViewCellStyle::Default, "") {}

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    UITableViewCellStyle style() const { return style_; }
    UIView* contentView() const { return contentView_.get(); }
    UILabel* textLabel();
    UILabel* detailTextLabel();
    UIImageView* imageView();

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType t);
    UIViewPtr accessoryView() const { return accessoryView_; }
    void setAccessoryView(UIViewPtr v);
    UITableViewCellSelectionStyle selectionStyle = UITableViewCellSelectionStyle::Blue;
    UIViewPtr backgroundView() const { return backgroundView_; }
    void setBackgroundView(UIViewPtr v);
    UIViewPtr selectedBackgroundView;
    UIEdgeInsets separatorInset{0, 15, 0, 0};

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelected(selected, false); }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated);
    virtual void prepareForReuse() {}
    bool showingDeleteConfirmation() const { return deleteButton_ != nullptr; }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void setBackgroundColor(const UIColor& color) override;

    // Internal (the table).
    void showDeleteButton(const std::string& title, std::function<void()> action);
    void hideDeleteButton();
    UIColor separatorColor = UIColor::clearColor();
    bool drawsSeparator = false;

  private:
    void applySelectionLook();

    std::string reuseIdentifier_;
    UITableViewCellStyle style_;
    UIViewPtr contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryType::None;
    UIViewPtr accessoryView_;
    UIViewPtr standardAccessory_;
    UIViewPtr backgroundView_;
    UIViewPtr highlightView_;
    std::shared_ptr<UIButton> deleteButton_;
    bool selected_ = false;
    bool highlighted_ = false;
};

using UITableViewCellPtr = std::shared_ptr<UITableViewCell>;

}  // namespace platform::ui
