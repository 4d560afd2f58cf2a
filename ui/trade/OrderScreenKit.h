#pragma once

// Parts the order screens share: reading what the user typed into a number
// field, the screen's look and its back and confirm buttons, the caption
// cells over the inputs, the description of a ticket, the close screens'
// quantity and deviation, the last check before an order goes out, and the
// keyboard shift that keeps the edited field above the keyboard bar.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Core/KAVTypes.h"
#include "Core/WSPushMessage.h"
#include "platform/Decimal.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

class KAVBizSDK;
class NumberInputView;
class NumberInputViewDelegate;
class ViewMarketPrice;
class sysDB;
struct MODHoldBill;
struct MODSymbolInfo;

namespace orderkit {

// A number as the user typed it: ASCII digits with at most one decimal
// point, blanks around it ignored. Nothing for an empty text or anything
// else (signs, exponents, letters, a second point), so a typo is never read
// as a smaller number.
std::optional<platform::Decimal> readNumber(std::string_view text);
// True for a text of blanks only.
bool isBlank(std::string_view text);
// A price as typed, rounded to the symbol's `decimals` places as the order
// carries it. Nothing when it is no number, is not above zero once rounded,
// or lies beyond any market: above kMaxPlausiblePrice, or with more digits
// at these decimals than a double holds exactly (15), where the price sent
// would not be the one typed.
inline constexpr int64_t kMaxPlausiblePrice = 1'000'000'000;
std::optional<double> readPrice(std::string_view text, int decimals);
// A stop-loss or take-profit price as typed: an empty field (or a typed 0)
// means none (0); anything else that readPrice does not take is refused,
// saying so under the caption. False, with the refusal, when refused.
bool readOptionalPrice(std::string_view text, int decimals, const std::string& caption,
                       double& price, std::string& refusal);

// Taps sent to a method of the screen, which the control does not keep alive.
template <typename Screen, typename Sender>
platform::ui::UIControl::Action tapsTo(Screen& screen, void (Screen::*method)(Sender*)) {
    return [weak = screen.template weakSelf<Screen>(), method](platform::ui::UIControl* sender,
                                                               platform::ui::UIEvent*) {
        if (auto self = weak.lock()) ((*self).*method)(sender);
    };
}

// The direct subview of `parent` with the tag. The input widgets and the
// price button reuse small tags inside themselves, so a screen looks its
// own views up among the direct subviews of their parent.
template <typename T = platform::ui::UIView>
T* childWithTag(const platform::ui::UIView* parent, long tag) {
    if (!parent) return nullptr;
    for (const auto& sub : parent->subviews())
        if (sub->tag() == tag) return dynamic_cast<T*>(sub.get());
    return nullptr;
}

// The order screens' look: the black navigation bar over the dark ground.
void dressScreen(platform::ui::UIViewController& screen);
// The 24 x 24 back button of the order screens (the back icon in grey 160)
// as the screen's left bar button; its taps go to `pressed`.
std::shared_ptr<platform::ui::UIButton> addBackButton(platform::ui::UIViewController& screen,
                                                      long tag,
                                                      platform::ui::UIControl::Action pressed);
// The symbol picker's title button of the market and limit orders, 200 x
// 30, white 18-point type beside the caret, as the screen's title view; its
// taps go to `pressed`.
std::shared_ptr<platform::ui::UIButton> addPickerTitle(platform::ui::UIViewController& screen,
                                                       long tag,
                                                       platform::ui::UIControl::Action pressed);
// The blue caret of the buttons that open the symbol picker, at the scale.
platform::ui::UIImagePtr pickerCaret(float scale);
// The symbols' names in their order, for a picker column.
std::vector<std::string> symbolNames(const MODList<MODSymbolInfo>& symbols);

// A whole-number input of the order screens with "-" and "+" at its ends
// (the input's own step tags, their taps sent to it), on the inputs' ground
// in an accent frame, placed in `frame`.
std::shared_ptr<NumberInputView> makeStepInput(const platform::ui::CGRect& frame, long tag,
                                               const platform::Decimal& value,
                                               const platform::Decimal& maxValue,
                                               const platform::Decimal& minValue,
                                               std::weak_ptr<NumberInputViewDelegate> delegate);
// Puts it in `frame`: the field between the two 30-point buttons.
void placeStepInput(NumberInputView& input, const platform::ui::CGRect& frame);

// The green confirm button ("确认") along the bottom of an order screen.
std::shared_ptr<platform::ui::UIButton> makeConfirmButton(const platform::ui::CGRect& frame,
                                                          long tag);
// A caption cell over an input: grey 240 on grey 60 in an accent frame.
std::shared_ptr<platform::ui::UIButton> makeCaptionCell(const platform::ui::CGRect& frame,
                                                        const std::string& title, long tag);
// The section caption ("单据信息") of the ticket screens.
std::shared_ptr<platform::ui::UILabel> makeSectionCaption(const platform::ui::CGRect& frame,
                                                          const std::string& text);
// The ticket in three lines: opening time; "#" and the ticket number; the
// side, the held quantity and the holding price written by `price`.
std::string ticketDescription(const MODHoldBill& ticket, const std::string& price);
// The bordered three-line label that shows it.
std::shared_ptr<platform::ui::UILabel> makeTicketDescription(const platform::ui::CGRect& frame,
                                                             const std::string& text);
// What the ticket screens show of their ticket, one under the other from
// `top` in a column `width` wide: the section caption, the description (the
// holding price in the symbol's decimals) and the price panel with the
// tag; the panel.
std::shared_ptr<ViewMarketPrice> addTicketSummary(
    platform::ui::UIView& into, platform::ui::CGFloat x, platform::ui::CGFloat top,
    platform::ui::CGFloat width, const std::shared_ptr<MODHoldBill>& ticket,
    const std::shared_ptr<MODSymbolInfo>& symbol, const std::shared_ptr<sysDB>& labels,
    long panelTag);

// The close screens' inputs: the caption cells of the quantity and the
// deviation side by side, the two fields under them, in a row `width` wide
// from (x, top). Neighbours overlap by a point, so their borders make one
// line. The fields type on the decimal pad and report to `delegate`.
inline constexpr long kTagCloseQuantityCaption = 1007;
inline constexpr long kTagCloseDeviationCaption = 1005;
inline constexpr long kTagCloseQuantity = 2003;
inline constexpr long kTagCloseDeviation = 2002;
struct CloseFields {
    std::shared_ptr<platform::ui::UITextField> quantity;
    std::shared_ptr<platform::ui::UITextField> deviation;
};
CloseFields addCloseFields(platform::ui::UIView& into, platform::ui::CGFloat x,
                           platform::ui::CGFloat top, platform::ui::CGFloat width,
                           const std::string& quantityCaption, const std::string& deviationCaption,
                           const std::string& quantity, const std::string& deviation,
                           std::weak_ptr<platform::ui::UITextFieldDelegate> delegate);

// What the close fields say, or why it cannot be sent: a whole number of
// lots from the symbol's smallest trade (at least 1, and at most `most`) up
// to `most`, all there is to close; the deviation in whole points (decimals
// are cut). `nothingToClose` is the refusal when `most` is below one lot.
// The whole lots of a held quantity as a close may take them: 0 for
// nothing, a negative or an unreadable quantity, and at most INT32_MAX (a
// quantity beyond every lot count cannot be read into a whole number).
int64_t wholeLots(double held);

struct CloseInputs {
    double quantity = 0;
    int32_t pointOffset = 0;
    std::string refusal;  // empty when the inputs can be sent
};
CloseInputs readCloseInputs(const platform::ui::UITextField* quantity,
                            const platform::ui::UITextField* deviation, int64_t most,
                            int64_t minTradeQuantity, const std::string& quantityCaption,
                            const std::string& deviationCaption, const std::string& nothingToClose);

// The refusal of a quantity the symbol does not allow to open: a whole
// number of lots from its minimum (at least 1) to its maximum; empty when
// allowed. The market and the limit order ask it alike.
inline constexpr const char* kQuantityRefused = "交易数量须为%d到%d之间的整数";
std::string quantityRefusal(const platform::Decimal& quantity, const MODSymbolInfo& symbol);

// The deviation an order screen starts with: the stored default (setting
// pointMove) when it reads as a whole number of points, else 5, the
// setting's own default; a text typed before the editor took numbers only
// ("abc") must not become a deviation of 0 on every order.
inline constexpr int32_t kDefaultPointMove = 5;
int32_t defaultDeviation(const sysDB* store);

// The ticket a close or change screen offers is gone once a push said it
// closed in full (`closedByPush`) or the service holds it no longer: the
// screen then refuses with kTicketClosed and sends nothing, where the dealer
// would only answer that it knows no such ticket. No ticket at all is not
// "gone" (the service refuses that itself).
inline constexpr const char* kTicketClosed = "该单据已平仓";
bool ticketIsGone(const MODHoldBill* ticket, bool closedByPush, const KAVBizSDK* service);

// The inputs as read before the confirmation: a refusal is shown in an
// alert under `title` (its one button "确定") and stops the order there.
// True when refused.
bool refusedWithAlert(const std::string& title, const std::string& refusal);

// The inputs read once more after the confirmation: when they cannot be
// sent ("10004" with the refusal), or the screen has no trading service,
// the order fails and nothing is sent. True when it failed.
bool failsBeforeSending(const std::string& refusal, const KAVBizSDK* service,
                        const KAVFailureBlock& fail);

// Whether the device is held sideways: the back buttons do nothing then.
bool isHeldSideways();
// Height of the status bar and the navigation bar above a screen's content.
platform::ui::CGFloat barsHeight(platform::ui::UIViewController& screen);

// Moves the screen's view (over 0.2 s) so that the field's lower edge
// stands on the line half the view's height less the keyboard bar's height;
// nothing when it stands there already.
void shiftViewForField(platform::ui::UIView* screenView, const platform::ui::UIView* field);
// Moves the view back to the top over 0.2 s when it is moved.
void unshiftView(platform::ui::UIView* screenView);

}  // namespace orderkit
