#include "ui/toolkit/AppDelegateServices.h"

#include "platform/ui/Application.h"

std::shared_ptr<AppDelegateServices> AppDelegateServices::shared() {
    return std::dynamic_pointer_cast<AppDelegateServices>(
        platform::ui::UIApplication::sharedApplication().delegate());
}
