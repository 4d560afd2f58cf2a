#include "platform/ui/Display.h"

#include "platform/Log.h"

namespace platform::ui {

namespace {
UIDisplayFactory& factory() {
    static UIDisplayFactory registered;
    return registered;
}
}  // namespace

void UIDisplayRegisterBackend(UIDisplayFactory f) {
    factory() = std::move(f);
}

bool UIDisplayBackendAvailable() {
    return static_cast<bool>(factory());
}

std::unique_ptr<UIDisplay> UIDisplayOpen(CGFloat scale) {
    if (!factory()) {
        platform::log("UI: no display in this program; running headless");
        return nullptr;
    }
    return factory()(scale);
}

}  // namespace platform::ui
