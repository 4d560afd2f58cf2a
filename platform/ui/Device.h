#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <string>

#include "platform/ui/Orientation.h"

namespace platform::ui {

inline constexpr const char* UIDeviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

// The device: its orientation and the texts it reports about itself.
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
