#pragma once

#include <memory>
#include <string>

#include "ui/services/Listeners.h"

// Subscribes a target to a named notice (such as "sys_4008", settings
// loaded). The target is held weakly, and a target has at most one
// subscription per notice: subscribing again replaces it, so a handler
// registered at every start-up of a session still runs once per notice.
class MsgCenter {
  public:
    // `callBack`: a method of T taking the notification (or nothing); nothing
    // is registered for a null one.
    template <typename T, typename Method>
    requires std::is_member_function_pointer_v<Method>
    static void on(const std::string& name, Method callBack, const std::shared_ptr<T>& target) {
        listeners::add(target, name, callBack);
    }
    // Nothing when the call-back is empty.
    static void on(const std::string& name, listeners::Block callBack,
                   const std::weak_ptr<const void>& target) {
        listeners::add(target, name, std::move(callBack));
    }
    static void removeCallBack(const std::string& name, const void* target) {
        listeners::remove(target, name);
    }
};
