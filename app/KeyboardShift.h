#pragma once

#include "platform/ui/View.h"

// The forms' answer to the keyboard: the view moves so that the field being
// edited stands just above the keyboard bar, and back when editing is done.
namespace keyboardshift {

// Moves `view` over 0.2 s so that a field whose lower edge lies
// `fieldBottom` points below the view's top stands at half the view's height
// less the keyboard bar's height. Nothing when it stands there already.
void shiftForField(platform::ui::UIView& view, platform::ui::CGFloat fieldBottom);
// Moves `view` back to the top (0) over 0.2 s when it is elsewhere.
void shiftBack(platform::ui::UIView& view);

}  // namespace keyboardshift
