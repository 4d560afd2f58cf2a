#include "platform/ui/Event.h"

namespace platform::ui {

UITouchSet UIEvent::touchesForView(const UIView* v) const {
    UITouchSet out;
    for (auto& t : touches)
        if (t->view() == v) out.push_back(t);
    return out;
}

}  // namespace platform::ui
