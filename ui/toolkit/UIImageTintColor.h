#pragma once

#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

// Recoloured icons.
class UIImageTintColor {
  public:
    // The bundle image of that name in one colour: the colour wherever the
    // icon is opaque (its own alpha kept), transparent elsewhere; at the
    // screen's scale, the icon's size. Null when there is no such image.
    static platform::ui::UIImagePtr imageWithTintColor(const platform::ui::UIColor& tintColor,
                                                       const std::string& imageName);
};
