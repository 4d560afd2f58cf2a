#include "platform/ui/NavigationItem.h"

namespace platform::ui {

void UINavigationItem::setTitle(const std::string& t) {
    title = t;
    if (changed) changed();
}
void UINavigationItem::setTitleView(UIViewPtr v) {
    titleView = std::move(v);
    if (changed) changed();
}
void UINavigationItem::setLeftBarButtonItem(UIBarButtonItemPtr item, bool) {
    leftBarButtonItem = std::move(item);
    if (changed) changed();
}
void UINavigationItem::setRightBarButtonItem(UIBarButtonItemPtr item, bool) {
    rightBarButtonItem = std::move(item);
    if (changed) changed();
}
void UINavigationItem::setHidesBackButton(bool hides, bool) {
    hidesBackButton = hides;
    if (changed) changed();
}

}  // namespace platform::ui
