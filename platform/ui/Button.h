#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <map>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace platform::ui {

enum class UIButtonType {
    Custom = 0,
    System = 1,
    DetailDisclosure = 2,
    InfoLight = 3,
    InfoDark = 4,
    ContactAdd = 5
};

class UIButton;
using UIButtonPtr = std::shared_ptr<UIButton>;

// A control with a title, a title colour, an image and a background image per
// state (normal, highlighted, selected, disabled and their combinations; a
// state without its own value falls back to normal). The background image
// fills the bounds; image and title sit side by side in the middle, moved by
// the content, image and title insets.
class UIButton : public UIControl {
  public:
    static UIButtonPtr buttonWithType(UIButtonType type);
    explicit UIButton(const CGRect& frame = CGRectZero);

    UIButtonType buttonType() const { return type_; }

    void setTitle(const std::string& title, unsigned state);
    std::string titleForState(unsigned state) const;
    std::string currentTitle() const { return titleForState(state()); }
    void setTitleColor(const UIColor& color, unsigned state);
    UIColor titleColorForState(unsigned state) const;
    UIColor currentTitleColor() const { return titleColorForState(state()); }
    void setImage(UIImagePtr image, unsigned state);
    UIImagePtr imageForState(unsigned state) const;
    UIImagePtr currentImage() const { return imageForState(state()); }
    void setBackgroundImage(UIImagePtr image, unsigned state);
    UIImagePtr backgroundImageForState(unsigned state) const;
    UIImagePtr currentBackgroundImage() const { return backgroundImageForState(state()); }

    UILabel* titleLabel();
    UIImageView* imageView();

    UIEdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(UIEdgeInsets i);
    UIEdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(UIEdgeInsets i);
    UIEdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(UIEdgeInsets i);
    bool adjustsImageWhenHighlighted = true;
    bool showsTouchWhenHighlighted = false;

    void layoutSubviews() override;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    std::string debugText() const override { return currentTitle(); }
    void tintColorDidChange() override;

  private:
    template <typename T>
    static const T* lookup(const std::map<unsigned, T>& table, unsigned state);
    void refresh();
    void updateContent();

    UIButtonType type_ = UIButtonType::Custom;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, UIColor> titleColors_;
    std::map<unsigned, UIImagePtr> images_;
    std::map<unsigned, UIImagePtr> backgrounds_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UIEdgeInsets contentInsets_{};
    UIEdgeInsets titleInsets_{};
    UIEdgeInsets imageInsets_{};
    UIImagePtr lastBackground_;
};

}  // namespace platform::ui
