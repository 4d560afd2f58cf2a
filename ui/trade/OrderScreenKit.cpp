#include "ui/trade/OrderScreenKit.h"

#include <algorithm>
#include <cmath>

#include "Core/Model/MODHoldBill.h"
#include "platform/Strings.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace orderkit {

namespace {

bool isBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlankChar(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankChar(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<platform::Decimal> readNumber(std::string_view text) {
    text = trimmed(text);
    bool digit = false;
    int points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (!digit || points > 1) return std::nullopt;
    auto number = platform::Decimal::parse(text);
    if (!number || number->isNaN()) return std::nullopt;
    return number;
}

bool isBlank(std::string_view text) {
    return trimmed(text).empty();
}

std::shared_ptr<UIButton> makeBackButton(long tag) {
    auto back = std::make_shared<UIButton>(CGRectMake(0, 0, 24, 24));
    back->setTag(tag);
    back->titleLabel()->setFont(UIFont::systemFontOfSize(14));
    back->setBackgroundImage(
        UIImageTintColor::imageWithTintColor(kavtheme::dimText(), "nav_backicon"),
        UIControlStateNormal);
    return back;
}

std::shared_ptr<UIButton> makeConfirmButton(const CGRect& frame, long tag) {
    auto button = std::make_shared<UIButton>(frame);
    button->setTag(tag);
    button->setTitle("确认", UIControlStateNormal);
    button->setTitleColor(UIColor::grey255(220), UIControlStateNormal);
    button->setBackgroundColor(kavtheme::confirmButton());
    button->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    return button;
}

std::shared_ptr<UIButton> makeCaptionCell(const CGRect& frame, const std::string& title, long tag) {
    auto cell = std::make_shared<UIButton>(frame);
    cell->setTag(tag);
    cell->setTitle(title, UIControlStateNormal);
    cell->setTitleColor(kavtheme::primaryText(), UIControlStateNormal);
    cell->contentHorizontalAlignment = UIControlContentHorizontalAlignment::Center;
    cell->setBackgroundColor(kavtheme::inputBackground());
    cell->layer().setBorderColor(kavtheme::accent());
    cell->layer().setBorderWidth(1);
    // A caption only: it takes no touch of its own.
    cell->setUserInteractionEnabled(false);
    return cell;
}

std::shared_ptr<UILabel> makeSectionCaption(const CGRect& frame, const std::string& text) {
    auto caption = std::make_shared<UILabel>(frame);
    caption->setText(text);
    caption->setTextAlignment(NSTextAlignment::Left);
    caption->setFont(UIFont::systemFontOfSize(18));
    caption->setTextColor(kavtheme::primaryText());
    caption->setBackgroundColor(UIColor::clearColor());
    return caption;
}

std::string ticketDescription(const MODHoldBill& ticket, const std::string& price) {
    return platform::stringf("%s\n#%s\n %s%0.0f / %s", ticket.openDate.c_str(),
                             ticket.orderCode.c_str(), ticket.bsCode == "b" ? "买" : "卖",
                             static_cast<double>(ticket.quantityHold), price.c_str());
}

std::shared_ptr<UILabel> makeTicketDescription(const CGRect& frame, const std::string& text) {
    auto label = std::make_shared<UILabel>(frame);
    label->setNumberOfLines(3);
    label->setTextAlignment(NSTextAlignment::Center);
    label->setFont(UIFont::systemFontOfSize(18));
    label->setTextColor(kavtheme::dimText());
    label->setBackgroundColor(UIColor::clearColor());
    label->layer().setBorderColor(kavtheme::dimText());
    label->layer().setBorderWidth(1);
    label->setText(text);
    return label;
}

bool isHeldSideways() {
    return UIDeviceOrientationIsLandscape(UIDevice::currentDevice().orientation());
}

CGFloat barsHeight(UIViewController& screen) {
    CGFloat height = UIApplication::sharedApplication().statusBarFrame().size.height;
    // The bar's own height: its frame is set only in the first layout pass.
    if (auto* nav = screen.navigationController())
        if (!nav->isNavigationBarHidden()) height += UINavigationBar::kHeight;
    return height;
}

void shiftViewForField(UIView* screenView, const UIView* field) {
    if (!screenView || !field || !field->superviewRaw()) return;
    // The field's lower edge in the view's own coordinates, whatever holds it.
    const CGRect inView = field->convertRectToView(field->bounds(), screenView);
    const CGFloat line = screenView->frame().size.height / 2 - kavtheme::kKeyboardBarHeight;
    // A field above the line needs no move; the view never drops below its place.
    const CGFloat top = std::min<CGFloat>(0, line - CGRectGetMaxY(inView));
    CGRect frame = screenView->frame();
    if (std::fabs(frame.origin.y - top) < 0.01) return;
    frame.origin.y = top;
    std::weak_ptr<UIView> weak = screenView->sharedSelf<UIView>();
    UIView::animateWithDuration(kavtheme::kKeyboardShiftDuration, [weak, frame] {
        if (auto v = weak.lock()) v->setFrame(frame);
    });
}

void unshiftView(UIView* screenView) {
    if (!screenView || screenView->frame().origin.y == 0) return;
    CGRect frame = screenView->frame();
    frame.origin.y = 0;
    std::weak_ptr<UIView> weak = screenView->sharedSelf<UIView>();
    UIView::animateWithDuration(kavtheme::kKeyboardShiftDuration, [weak, frame] {
        if (auto v = weak.lock()) v->setFrame(frame);
    });
}

}  // namespace orderkit
