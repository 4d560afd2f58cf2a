#include "Core/WSPushMessage.h"

#include "Core/Funs.h"

bool notifyDelegate(const std::shared_ptr<WSPushMessage>& delegate, std::string_view method,
                    WSPushRule rule, const std::function<void(WSPushMessage&)>& call) {
    if (!delegate) {
        if (rule.logWhenNoDelegate) Funs::log(std::string(method) + " 回调函数未定义");
        return false;
    }
    // A receiver may call back into the service object, which may notify it
    // again: keep the outer call's flag apart from the inner one's.
    const bool outer = delegate->lacking_;
    delegate->lacking_ = false;
    call(*delegate);
    const bool implemented = !delegate->lacking_;
    delegate->lacking_ = outer;
    if (!implemented && rule.logWhenLacking) Funs::log(std::string(method) + " 回调函数未定义");
    return implemented;
}
