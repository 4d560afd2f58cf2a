#include "ui/toolkit/UIKAVKBAccessorView.h"

using namespace platform::ui;

UIKAVKBAccessorView::UIKAVKBAccessorView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::rgb255(20, 20, 20, 0.9));
    button_ = std::make_shared<UIButton>(
        CGRectMake(frame.size.width - kButtonWidth, 0, kButtonWidth, kButtonHeight));
    button_->setTag(0);
    button_->setTitle("关闭", UIControlStateNormal);
    button_->setTitleColor(UIColor::rgb255(20, 124, 255), UIControlStateNormal);
    button_->addTarget(weakSelf<UIKAVKBAccessorView>(), &UIKAVKBAccessorView::onButtonClick,
                       UIControlEventAllTouchEvents);
    addSubview(button_);
}

void UIKAVKBAccessorView::onButtonClick(UIControl* sender) {
    auto d = delegate.lock();
    if (!d) return;
    d->onToolBarPressed(dynamic_cast<UIButton*>(sender));
}
