#include "ui/toolkit/KAVDrawerBarButtonItem.h"

#include <cmath>
#include <mutex>

#include "platform/ui/Canvas.h"

using namespace platform::ui;

namespace {
constexpr CGFloat kImageSide = 26;
constexpr CGFloat kBarWidth = 16;
constexpr CGFloat kBarHeight = 1;
}  // namespace

KAVDrawerBarButtonItem::KAVDrawerBarButtonItem(Action action) {
    image = drawerButtonItemImage();
    style = UIBarButtonItemStyle::Plain;
    this->action = std::move(action);
}

KAVDrawerBarButtonItem::KAVDrawerBarButtonItem(Action action, UIImagePtr image)
    : KAVDrawerBarButtonItem(std::move(action)) {
    this->image = std::move(image);
}

UIImagePtr KAVDrawerBarButtonItem::drawerButtonItemImage() {
    static UIImagePtr shared;
    static std::once_flag once;
    std::call_once(once, [] {
        UIGraphicsBeginImageContextWithOptions({kImageSide, kImageSide}, false, 0);
        Canvas* ctx = UIGraphicsGetCurrentContext();
        ctx->setFillColor(UIColor::whiteColor());
        const CGFloat x = std::floor((kImageSide - kBarWidth) * 0.5 + 0.5);
        for (CGFloat share : {0.72, 0.48, 0.24}) {
            const CGFloat y = std::floor((kImageSide - kBarHeight) * share + 0.5);
            ctx->fillRect(CGRectMake(x, y, kBarWidth, kBarHeight));
        }
        shared = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
    });
    return shared;
}

void KAVDrawerBarButtonItem::touchUpInside(UIBarButtonItem* sender) {
    if (action) action(sender);
}

std::optional<UIColor> KAVDrawerBarButtonItem::menuButtonColorForState(unsigned state) const {
    return buttonView_ ? buttonView_->menuButtonColorForState(state) : std::nullopt;
}

void KAVDrawerBarButtonItem::setMenuButtonColor(const UIColor& color, unsigned state) {
    if (buttonView_) buttonView_->setMenuButtonColor(color, state);
}

std::optional<UIColor> KAVDrawerBarButtonItem::shadowColorForState(unsigned state) const {
    return buttonView_ ? buttonView_->shadowColorForState(state) : std::nullopt;
}

void KAVDrawerBarButtonItem::setShadowColor(const UIColor& color, unsigned state) {
    if (buttonView_) buttonView_->setShadowColor(color, state);
}

void KAVDrawerBarButtonItem::setTintColor(std::optional<UIColor> color) {
    UIBarButtonItem::setTintColor(color);
    if (buttonView_) buttonView_->setTintColor(color);
}
