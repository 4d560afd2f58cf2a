#include "ui/trade/OrderScreenKit.h"

#include <algorithm>
#include <cmath>

#include "Core/CalculateUtils.h"
#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/NumberInputView.h"
#include "ui/toolkit/UIImageTintColor.h"
#include "ui/toolkit/UIKAVTextField.h"
#include "ui/trade/ViewMarketPrice.h"

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

void dressScreen(UIViewController& screen) {
    if (auto* nav = screen.navigationController())
        nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    screen.view()->setBackgroundColor(kavtheme::screenBackground());
}

std::optional<double> readPrice(std::string_view text, int decimals) {
    const auto number = readNumber(text);
    if (!number) return std::nullopt;
    using platform::Decimal;
    decimals = std::clamp(decimals, 0, 10);
    const Decimal price = number->rounded(decimals, Decimal::Rounding::Plain);
    if (price.sign() <= 0 || price > Decimal::fromInteger(kMaxPlausiblePrice)) return std::nullopt;
    const auto exact = Decimal::parse("1e" + std::to_string(15 - decimals));
    if (!exact || !(price < *exact)) return std::nullopt;
    return price.toDouble();
}

bool readOptionalPrice(std::string_view text, int decimals, const std::string& caption,
                       double& price, std::string& refusal) {
    const auto number = readNumber(text);
    if (isBlank(text) || (number && number->isZero())) {
        price = 0;
        return true;
    }
    const auto read = readPrice(text, decimals);
    if (!read) {
        refusal = caption + "须为数字，不填表示不设";
        return false;
    }
    price = *read;
    return true;
}

std::shared_ptr<UIButton> addBackButton(UIViewController& screen, long tag,
                                        UIControl::Action pressed) {
    auto back = std::make_shared<UIButton>(CGRectMake(0, 0, 24, 24));
    back->setTag(tag);
    back->titleLabel()->setFont(UIFont::systemFontOfSize(14));
    back->setBackgroundImage(
        UIImageTintColor::imageWithTintColor(kavtheme::dimText(), "nav_backicon"),
        UIControlStateNormal);
    back->addTarget(std::move(pressed), UIControlEventTouchUpInside);
    screen.navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(back), false);
    return back;
}

std::shared_ptr<UIButton> addPickerTitle(UIViewController& screen, long tag,
                                         UIControl::Action pressed) {
    auto title = std::make_shared<UIButton>(CGRectMake(0, 0, 200, 30));
    title->setTag(tag);
    title->titleLabel()->setFont(UIFont::systemFontOfSize(18));
    title->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    const auto icon = pickerCaret(0.8f);
    title->setImage(icon, UIControlStateNormal);
    title->setImage(icon, UIControlStateSelected);
    title->addTarget(std::move(pressed), UIControlEventTouchUpInside);
    screen.navigationItem().setTitleView(title);
    return title;
}

UIImagePtr pickerCaret(float scale) {
    return sysDB::scaleImage(
        UIImageTintColor::imageWithTintColor(UIColor::rgb255(20, 124, 255), "nav_detail"), scale);
}

std::vector<std::string> symbolNames(const MODList<MODSymbolInfo>& symbols) {
    std::vector<std::string> names;
    names.reserve(symbols.size());
    for (const auto& symbol : symbols)
        names.push_back(symbol ? symbol->symbolName : std::string());
    return names;
}

namespace {
constexpr CGFloat kStepButtonWidth = 30;
}  // namespace

std::shared_ptr<NumberInputView> makeStepInput(const CGRect& frame, long tag,
                                               const platform::Decimal& value,
                                               const platform::Decimal& maxValue,
                                               const platform::Decimal& minValue,
                                               std::weak_ptr<NumberInputViewDelegate> delegate) {
    auto input = std::make_shared<NumberInputView>(frame, value, std::nullopt, maxValue, minValue);
    input->setTag(tag);
    input->setBackgroundColor(kavtheme::inputBackground());
    input->layer().setBorderWidth(1);
    input->layer().setBorderColor(kavtheme::accent());
    std::weak_ptr<NumberInputView> weakInput = input;
    for (const auto& [stepTag, title] : {std::pair{NumberInputView::kTagStepDown, "-"},
                                         std::pair{NumberInputView::kTagStepUp, "+"}}) {
        auto step = std::make_shared<UIButton>();
        step->setTag(stepTag);
        step->setTitle(title, UIControlStateNormal);
        step->setTitleColor(kavtheme::primaryText(), UIControlStateNormal);
        step->titleLabel()->setFont(UIFont::systemFontOfSize(20));
        step->addTarget(
            [weakInput](UIControl* sender, UIEvent*) {
                if (auto in = weakInput.lock()) in->viewPressed(sender);
            },
            UIControlEventTouchUpInside);
        input->addSubview(step);
    }
    input->delegate = std::move(delegate);
    placeStepInput(*input, frame);
    return input;
}

void placeStepInput(NumberInputView& input, const CGRect& frame) {
    const CGFloat w = frame.size.width;
    const CGFloat h = frame.size.height;
    input.setFrame(frame);
    input.textField()->setFrame(CGRectMake(kStepButtonWidth, 0, w - 2 * kStepButtonWidth, h));
    if (auto* down = childWithTag(&input, NumberInputView::kTagStepDown))
        down->setFrame(CGRectMake(0, 0, kStepButtonWidth, h));
    if (auto* up = childWithTag(&input, NumberInputView::kTagStepUp))
        up->setFrame(CGRectMake(w - kStepButtonWidth, 0, kStepButtonWidth, h));
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
                             ticket.orderCode.c_str(),
                             CalculateUtils::isBuyCode(ticket.bsCode) ? "买" : "卖",
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

std::shared_ptr<ViewMarketPrice> addTicketSummary(UIView& into, CGFloat x, CGFloat top,
                                                  CGFloat width,
                                                  const std::shared_ptr<MODHoldBill>& ticket,
                                                  const std::shared_ptr<MODSymbolInfo>& symbol,
                                                  const std::shared_ptr<sysDB>& labels,
                                                  long panelTag) {
    auto caption = makeSectionCaption(CGRectMake(x, top, width, 30), "单据信息");
    into.addSubview(caption);
    auto description = makeTicketDescription(
        CGRectMake(x, CGRectGetMaxY(caption->frame()) + 5, width, 70),
        ticket ? ticketDescription(
                     *ticket, sysDB::formatPrice(ticket->priceHold, symbol ? symbol->decimal : 0))
               : std::string());
    into.addSubview(description);
    auto panel = std::make_shared<ViewMarketPrice>(
        CGRectMake(x, CGRectGetMaxY(description->frame()) + 15, width, 60), ticket, symbol, labels);
    panel->setTag(panelTag);
    into.addSubview(panel);
    return panel;
}

CloseFields addCloseFields(UIView& into, CGFloat x, CGFloat top, CGFloat width,
                           const std::string& quantityCaption, const std::string& deviationCaption,
                           const std::string& quantity, const std::string& deviation,
                           std::weak_ptr<UITextFieldDelegate> delegate) {
    auto quantityCell = makeCaptionCell(CGRectMake(x, top, width / 2, 30), quantityCaption,
                                        kTagCloseQuantityCaption);
    into.addSubview(quantityCell);
    auto deviationCell =
        makeCaptionCell(CGRectMake(CGRectGetMaxX(quantityCell->frame()) - 1, top, width / 2, 30),
                        deviationCaption, kTagCloseDeviationCaption);
    into.addSubview(deviationCell);

    auto makeField = [&delegate](const CGRect& frame, long tag, const std::string& text) {
        auto field = std::make_shared<UIKAVTextField>(frame, 10);
        field->setTag(tag);
        field->setTextAlignment(NSTextAlignment::Center);
        field->setTextColor(kavtheme::dimText());
        field->delegate = delegate;
        field->clearButtonMode = UITextFieldViewMode::Never;
        field->autocorrectionType = 1;  // no
        field->keyboardType = UIKeyboardType::DecimalPad;
        field->layer().setBorderColor(kavtheme::accent());
        field->layer().setBorderWidth(1);
        field->setText(text);
        return field;
    };
    const CGFloat fieldTop = CGRectGetMaxY(quantityCell->frame()) - 1;
    CloseFields fields;
    fields.quantity =
        makeField(CGRectMake(x, fieldTop, width / 2, 30), kTagCloseQuantity, quantity);
    into.addSubview(fields.quantity);
    fields.deviation =
        makeField(CGRectMake(CGRectGetMaxX(fields.quantity->frame()) - 1, fieldTop, width / 2, 30),
                  kTagCloseDeviation, deviation);
    into.addSubview(fields.deviation);
    return fields;
}

int64_t wholeLots(double held) {
    const double whole = std::floor(held);
    if (!(whole >= 1)) return 0;
    return static_cast<int64_t>(std::min<double>(whole, INT32_MAX));
}

CloseInputs readCloseInputs(const UITextField* quantityField, const UITextField* deviationField,
                            int64_t most, int64_t minTradeQuantity,
                            const std::string& quantityCaption, const std::string& deviationCaption,
                            const std::string& nothingToClose) {
    CloseInputs inputs;
    if (!quantityField || !deviationField) {
        inputs.refusal = "界面未就绪";
        return inputs;
    }
    if (most < 1) {
        inputs.refusal = nothingToClose;
        return inputs;
    }
    // The whole of what is there may always go, even below the smallest trade.
    const int64_t least = std::min<int64_t>(std::max<int64_t>(1, minTradeQuantity), most);
    const auto quantity = readNumber(quantityField->text());
    if (!quantity || *quantity != quantity->rounded(0, platform::Decimal::Rounding::Plain) ||
        *quantity < platform::Decimal::fromInteger(least) ||
        *quantity > platform::Decimal::fromInteger(most)) {
        inputs.refusal =
            platform::stringf("%s须为%lld到%lld之间的整数", quantityCaption.c_str(),
                              static_cast<long long>(least), static_cast<long long>(most));
        return inputs;
    }
    inputs.quantity = quantity->toDouble();

    const auto deviation = readNumber(deviationField->text());
    if (!deviation) {
        inputs.refusal = deviationCaption + "须为不小于0的数字";
        return inputs;
    }
    inputs.pointOffset =
        static_cast<int32_t>(std::min<double>(std::trunc(deviation->toDouble()), INT32_MAX));
    return inputs;
}

std::string quantityRefusal(const platform::Decimal& quantity, const MODSymbolInfo& symbol) {
    using platform::Decimal;
    const int32_t lowest = std::max<int32_t>(symbol.minTradeQuantity, 1);
    const int32_t highest = symbol.quantityMax;
    const bool whole =
        !quantity.isNaN() && quantity == quantity.rounded(0, Decimal::Rounding::Plain);
    if (whole && quantity >= Decimal::fromInteger(lowest) &&
        quantity <= Decimal::fromInteger(highest))
        return std::string();
    return platform::stringf(kQuantityRefused, lowest, highest);
}

int32_t defaultDeviation(const sysDB* store) {
    if (!store) return kDefaultPointMove;
    const auto number = readNumber(store->valueWithTag(settingTag::pointMove, "5"));
    if (!number || *number != number->rounded(0, platform::Decimal::Rounding::Plain) ||
        *number > platform::Decimal::fromInteger(INT32_MAX))
        return kDefaultPointMove;
    return static_cast<int32_t>(number->toDouble());
}

bool ticketIsGone(const MODHoldBill* ticket, bool closedByPush, const KAVBizSDK* service) {
    if (!ticket) return false;
    return closedByPush || (service && !service->getHoldBillWith(ticket->orderCode));
}

bool refusedWithAlert(const std::string& title, const std::string& refusal) {
    if (refusal.empty()) return false;
    KAVAlertView::showAlertWithTitle(title, refusal, std::string("确定"), nullptr);
    return true;
}

bool failsBeforeSending(const std::string& refusal, const KAVBizSDK* service,
                        const KAVFailureBlock& fail) {
    if (!refusal.empty()) {
        fail("10004", refusal);
        return true;
    }
    if (!service) {
        fail(kKAVNotInitialised.code, kKAVNotInitialised.message);
        return true;
    }
    return false;
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
