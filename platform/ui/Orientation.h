#pragma once

// Plain values, safe on any thread. Everything else of the UI layer belongs to
// the main thread (platform/MainThread.h).

// Device and interface orientations and the masks of supported ones.

namespace platform::ui {

enum class UIDeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6,
};

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

}  // namespace platform::ui
