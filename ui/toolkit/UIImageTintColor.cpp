#include "ui/toolkit/UIImageTintColor.h"

#include "platform/ui/Canvas.h"

using namespace platform::ui;

UIImagePtr UIImageTintColor::imageWithTintColor(const UIColor& tintColor,
                                                const std::string& imageName) {
    UIImagePtr icon = UIImage::imageNamed(imageName);
    if (!icon) return nullptr;
    const CGRect bounds{{0, 0}, icon->size()};
    UIGraphicsBeginImageContextWithOptions(bounds.size, false, 0);
    Canvas* ctx = UIGraphicsGetCurrentContext();
    ctx->setFillColor(tintColor);
    ctx->fillRect(bounds);
    // The colour survives only where the icon covers it.
    ctx->setBlendMode(CGBlendMode::DestinationIn);
    ctx->drawImage(*icon, bounds, 1.0);
    UIImagePtr tinted = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return tinted;
}
