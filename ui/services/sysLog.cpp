#include "ui/services/sysLog.h"

#include "platform/Dates.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

void sysLog::wLog(const std::string& text) {
    platform::log(text);
    logs_.push_front(platform::dates::now("HH:mm:ss") + " & " + text);
    while (logs_.size() > kCapacity)
        logs_.pop_back();
    platform::NotificationCenter::defaultCenter().post(kNoticeLogAdded);
}
