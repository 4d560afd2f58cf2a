#include "platform/ui/Device.h"

#include "platform/NotificationCenter.h"

namespace platform::ui {

UIDevice& UIDevice::currentDevice() {
    static UIDevice device;
    return device;
}

void UIDevice::setOrientation(UIDeviceOrientation o) {
    if (o == orientation_) return;
    orientation_ = o;
    NotificationCenter::defaultCenter().post(UIDeviceOrientationDidChangeNotification);
}
}  // namespace platform::ui
