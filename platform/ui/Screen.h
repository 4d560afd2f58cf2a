#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include "platform/ui/Geometry.h"
#include "platform/ui/Orientation.h"

namespace platform::ui {

// The device's screen: 320 x 568 points in portrait unless configured, drawn
// at `scale` pixels per point: 1 headless; in the desktop window, the whole
// number of pixels a point it draws at, rounded up (pictures made at the
// screen's scale are as sharp as the window shows them).
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
    UIDeviceOrientation interfaceOrientation() const { return orientation_; }
    void setInterfaceOrientation(UIDeviceOrientation o) { orientation_ = o; }

  private:
    CGRect bounds_{{0, 0}, {320, 568}};
    CGFloat scale_ = 1;
    UIDeviceOrientation orientation_ = UIDeviceOrientation::Portrait;
};

}  // namespace platform::ui
