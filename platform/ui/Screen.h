#pragma once

#include <string>

#include "platform/ui/Geometry.h"

namespace platform::ui {

enum class UIDeviceOrientation;

// The device's screen: 320 x 568 points in portrait unless configured, drawn
// at `scale` pixels per point (1 headless, 2 in the desktop window).
class UIScreen {
  public:
    static UIScreen& mainScreen();
    // Portrait bounds, origin (0, 0).
    CGRect bounds() const { return bounds_; }
    void setBounds(CGSize portraitSize) { bounds_ = {{0, 0}, portraitSize}; }
    CGFloat scale() const { return scale_; }
    void setScale(CGFloat s) { scale_ = s > 0 ? s : 1; }
    // The interface orientation the screen shows (set by the application
    // when it turns): the drawn screen is 568 x 320 in landscape.
    UIDeviceOrientation interfaceOrientation() const;
    void setInterfaceOrientation(UIDeviceOrientation o);

  private:
    CGRect bounds_{{0, 0}, {320, 568}};
    CGFloat scale_ = 1;
    int orientation_ = 1;
};

enum class UIDeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6,
};

inline UIDeviceOrientation UIScreen::interfaceOrientation() const {
    return static_cast<UIDeviceOrientation>(orientation_);
}
inline void UIScreen::setInterfaceOrientation(UIDeviceOrientation o) {
    orientation_ = static_cast<int>(o);
}

// Interface orientations use the same numbers (the screens compare the device
// orientation with 3 and 4).
using UIInterfaceOrientation = UIDeviceOrientation;

inline bool UIDeviceOrientationIsLandscape(UIDeviceOrientation o) {
    return o == UIDeviceOrientation::LandscapeLeft || o == UIDeviceOrientation::LandscapeRight;
}
inline bool UIInterfaceOrientationIsLandscape(UIInterfaceOrientation o) {
    return UIDeviceOrientationIsLandscape(o);
}

// Bit set of supported interface orientations.
enum UIInterfaceOrientationMask : unsigned {
    UIInterfaceOrientationMaskPortrait = 1u << 1,
    UIInterfaceOrientationMaskPortraitUpsideDown = 1u << 2,
    UIInterfaceOrientationMaskLandscapeLeft = 1u << 4,
    UIInterfaceOrientationMaskLandscapeRight = 1u << 3,
    UIInterfaceOrientationMaskLandscape = (1u << 3) | (1u << 4),
    UIInterfaceOrientationMaskAll = (1u << 1) | (1u << 2) | (1u << 3) | (1u << 4),
    UIInterfaceOrientationMaskAllButUpsideDown = (1u << 1) | (1u << 3) | (1u << 4),
};

inline constexpr const char* UIDeviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

class UIDevice {
  public:
    static UIDevice& currentDevice();
    UIDeviceOrientation orientation() const { return orientation_; }
    // Changes the orientation and posts UIDeviceOrientationDidChangeNotification
    // (the application turns its windows' screens in answer).
    void setOrientation(UIDeviceOrientation o);
    std::string systemVersion() const { return "7.0"; }
    std::string model() const { return "iPhone"; }
    std::string systemName() const { return "iPhone OS"; }
    // The keyboard click: silent here.
    void playInputClick() const {}

  private:
    UIDeviceOrientation orientation_ = UIDeviceOrientation::Portrait;
};

}  // namespace platform::ui
