#include "ui/trade/TradeListViewController.h"

namespace tradelist {

using namespace platform::ui;

std::string loadFailureText(const std::string& message, bool keptRows) {
    std::string text = "刷新失败：" + (message.empty() ? std::string("未知原因") : message);
    // Only rows on the screen can be the earlier data.
    if (keptRows) text += "，显示的是之前的数据";
    return text;
}

std::shared_ptr<UILabel> makeNoticeLabel(const CGRect& bounds) {
    auto notice = std::make_shared<UILabel>(
        CGRectMake(0, bounds.size.height - kNoticeHeight, bounds.size.width, kNoticeHeight));
    notice->setTag(kTagNotice);
    notice->setBackgroundColor(kavtheme::inputBackground());
    notice->setTextColor(kavtheme::secondaryText());
    notice->setFont(UIFont::systemFontOfSize(12));
    notice->setTextAlignment(NSTextAlignment::Center);
    notice->setAdjustsFontSizeToFitWidth(true);
    notice->setMinimumScaleFactor(0.7);
    notice->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                UIViewAutoresizingFlexibleTopMargin);
    notice->setHidden(true);
    return notice;
}

void presentFromRoot(UIViewController& list, const std::function<UIViewControllerPtr()>& make) {
    UIViewController* root = &list;
    while (root->parentViewController())
        root = root->parentViewController();
    if (root->presentedViewController()) return;
    list.presentViewController(make(), true);
}

}  // namespace tradelist
