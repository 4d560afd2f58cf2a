#include "Core/WSPushMessage.h"

#include "Core/Funs.h"

void WSPushDispatch::noDelegate(std::string_view method, WSPushRule rule) {
    if (rule.logWhenNoDelegate) Funs::log(std::string(method) + " 回调函数未定义");
}

void WSPushDispatch::lacking(std::string_view method, WSPushRule rule) {
    if (rule.logWhenLacking) Funs::log(std::string(method) + " 回调函数未定义");
}

bool notifyDelegate(const std::shared_ptr<WSPushMessage>& delegate, std::string_view method,
                    WSPushRule rule, const std::function<void(WSPushMessage&)>& call) {
    // A receiver may call back into the service object, which may notify it
    // again: the outer call's flag is kept apart from the inner one's.
    return notifyDelegateNow(delegate.get(), method, rule, call);
}
