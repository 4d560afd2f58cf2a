#include "ui/trade/PricePanelKit.h"

#include "platform/Strings.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/TriangleView.h"

using namespace platform::ui;

namespace pricepanel {

void addBlueHalf(UIView& panel) {
    const CGSize size = panel.frame().size;
    auto blue = std::make_shared<UIView>(CGRectMake(0, 0, size.width / 2, size.height));
    blue->setBackgroundColor(kavtheme::accent());
    panel.addSubview(blue);
}

std::shared_ptr<UILabel> addProfitHalf(UIView& panel) {
    const CGFloat W = panel.frame().size.width;
    const CGFloat H = panel.frame().size.height;
    auto half = std::make_shared<UIView>(CGRectMake(W / 2 - 30, 0, W / 2 + 29, H));
    half->setBackgroundColor(kavtheme::panelBackground());
    panel.addSubview(half);
    const CGRect p = half->frame();

    auto caption = std::make_shared<UILabel>(CGRectMake(p.origin.x, 0, p.size.width, 30));
    caption->setText("浮动盈亏");
    caption->setTextAlignment(NSTextAlignment::Center);
    caption->setTextColor(kavtheme::primaryText());
    caption->setBackgroundColor(kavtheme::inputBackground());
    panel.addSubview(caption);

    auto profit = std::make_shared<UILabel>(CGRectMake(p.origin.x, H - 30, p.size.width, 30));
    profit->setTextAlignment(NSTextAlignment::Center);
    profit->setFont(UIFont::systemFontOfSize(22));
    profit->setBackgroundColor(UIColor::clearColor());
    panel.addSubview(profit);
    return profit;
}

std::shared_ptr<UILabel> addCaption(UIView& panel, CGFloat width) {
    auto caption = std::make_shared<UILabel>(CGRectMake(7, 4, width, 22));
    caption->setTextColor(UIColor::blackColor());
    caption->setBackgroundColor(UIColor::clearColor());
    panel.addSubview(caption);
    return caption;
}

std::shared_ptr<UILabel> addPrice(UIView& panel) {
    const CGSize size = panel.frame().size;
    auto price =
        std::make_shared<UILabel>(CGRectMake(5, size.height - 40, size.width / 2 - 30, 40));
    price->setTextColor(UIColor::blackColor());
    price->setBackgroundColor(UIColor::clearColor());
    panel.addSubview(price);
    return price;
}

void addEdges(UIView& panel) {
    const CGFloat W = panel.frame().size.width;
    const CGFloat H = panel.frame().size.height;
    auto wedge = std::make_shared<TriangleView>(CGRectMake(W / 2 - 30, 0, 20, H));
    wedge->setColor(kavtheme::accent());
    panel.addSubview(wedge);

    auto border = std::make_shared<UIView>(CGRectMake(0, 0, W - 1, H));
    border->setBackgroundColor(UIColor::clearColor());
    border->layer().setBorderColor(kavtheme::accent());
    border->layer().setBorderWidth(1);
    border->setUserInteractionEnabled(false);
    panel.addSubview(border);
}

void showProfit(UILabel& label, double profit) {
    label.setTextColor(profit > 0 ? kavtheme::rise() : kavtheme::fall());
    label.setText(platform::stringf("%0.2f", profit));
}

}  // namespace pricepanel
