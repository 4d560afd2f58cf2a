#pragma once

// Parts the order screens share: reading what the user typed into a number
// field, the back and confirm buttons, the caption cells over the inputs,
// the description of a ticket, and the keyboard shift that keeps the edited
// field above the keyboard bar.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Decimal.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

struct MODHoldBill;

namespace orderkit {

// A number as the user typed it: ASCII digits with at most one decimal
// point, blanks around it ignored. Nothing for an empty text or anything
// else (signs, exponents, letters, a second point), so a typo is never read
// as a smaller number.
std::optional<platform::Decimal> readNumber(std::string_view text);
// True for a text of blanks only.
bool isBlank(std::string_view text);

// The 24 x 24 back button of the order screens: the back icon in grey 160.
std::shared_ptr<platform::ui::UIButton> makeBackButton(long tag);
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
