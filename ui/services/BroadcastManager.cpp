#include "ui/services/BroadcastManager.h"

void BroadcastManager::postMessage(std::shared_ptr<MoMessage> message, const std::string& action) {
    platform::NotificationCenter::defaultCenter().post(action, std::any(std::move(message)));
}
