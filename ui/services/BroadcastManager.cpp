#include "ui/services/BroadcastManager.h"

#include <cxxabi.h>

#include <cstdlib>

#include "platform/Log.h"

namespace {

// A type as the source names it, for a log line a developer reads.
std::string readableName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    return name;
}

}  // namespace

void MoMessage::logWrongPayload(const std::type_info& expected) const {
    const std::string carried = obj.has_value() ? readableName(obj.type()) : "nothing";
    platform::log("Event bus error: " + (action.empty() ? std::string("a message") : action) +
                  " carried " + carried + " where " + readableName(expected) +
                  " was expected; the reader skips it");
}

void MoMessage::logForeignNotice(const std::string& name, const std::type_info& carried) {
    platform::log("Event bus error: " + name + " carried " + readableName(carried) +
                  " where a message was expected; the reader skips it");
}

void BroadcastManager::postMessage(std::shared_ptr<MoMessage> message, const std::string& action) {
    if (message) message->action = action;
    platform::NotificationCenter::defaultCenter().post(action, std::any(std::move(message)));
}
