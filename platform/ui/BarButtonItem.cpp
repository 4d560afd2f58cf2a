#include "platform/ui/BarButtonItem.h"

#include "platform/ui/Bundle.h"
#include "platform/ui/View.h"

namespace platform::ui {

UIBarButtonItemPtr UIBarButtonItem::itemWithTitle(const std::string& title,
                                                  UIBarButtonItemStyle style, Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->title = title;
    item->style = style;
    item->action = std::move(action);
    return item;
}

UIBarButtonItemPtr UIBarButtonItem::itemWithImage(UIImagePtr image, UIBarButtonItemStyle style,
                                                  Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->image = std::move(image);
    item->style = style;
    item->action = std::move(action);
    return item;
}

UIBarButtonItemPtr UIBarButtonItem::itemWithCustomView(std::shared_ptr<UIView> view) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->customView = std::move(view);
    return item;
}

UIBarButtonItemPtr UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem system,
                                                       Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->systemItem = system;
    item->action = std::move(action);
    if (system == UIBarButtonSystemItem::Done) item->style = UIBarButtonItemStyle::Done;
    return item;
}

std::string UIBarButtonItem::displayTitle() const {
    if (!title.empty() || !systemItem) return title;
    auto& bundle = NSBundle::mainBundle();
    switch (*systemItem) {
        case UIBarButtonSystemItem::Done:
            return bundle.localizedStringForKey("Done");
        case UIBarButtonSystemItem::Cancel:
            return bundle.localizedStringForKey("Cancel");
        case UIBarButtonSystemItem::Edit:
            return bundle.localizedStringForKey("Edit");
        case UIBarButtonSystemItem::Save:
            return bundle.localizedStringForKey("Save");
        case UIBarButtonSystemItem::Add:
            return "+";
        case UIBarButtonSystemItem::PreviousArrow:
            return "‹";
        case UIBarButtonSystemItem::NextArrow:
            return "›";
        default:
            return {};
    }
}

void UIBarButtonItem::setEnabled(bool e) {
    if (e == enabled_) return;
    enabled_ = e;
    if (changed) changed();
}

void UIBarButtonItem::setTitle(const std::string& t) {
    title = t;
    if (changed) changed();
}

void UIBarButtonItem::setImage(UIImagePtr i) {
    image = std::move(i);
    if (changed) changed();
}

void UIBarButtonItem::setTintColor(std::optional<UIColor> c) {
    tintColor = c;
    if (changed) changed();
}

void UIBarButtonItem::setCustomView(std::shared_ptr<UIView> v) {
    customView = std::move(v);
    if (changed) changed();
}

void UIBarButtonItem::sendAction() {
    if (!enabled_ || !action) return;
    auto keep = shared_from_this();
    auto a = action;
    a(this);
}

}  // namespace platform::ui
