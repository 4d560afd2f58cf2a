#pragma once

#include <deque>
#include <memory>
#include <string>

#include "ui/services/MsgCenter.h"

// Posted (no object) after each line the log ring keeps.
inline constexpr const char* kNoticeLogAdded = "sys_1005";

// The most recent log lines, newest first, at most 50.
class sysLog {
  public:
    static constexpr size_t kCapacity = 50;

    // Writes the text to the system log and keeps "HH:mm:ss & <text>".
    void wLog(const std::string& text);
    const std::deque<std::string>& logs() const { return logs_; }

    // The named-notice subscription, as MsgCenter offers it.
    template <typename T, typename Method>
    requires std::is_member_function_pointer_v<Method>
    void on(const std::string& name, Method callBack, const std::shared_ptr<T>& target) {
        MsgCenter::on(name, callBack, target);
    }
    void removeCallBack(const std::string& name, const void* target) {
        MsgCenter::removeCallBack(name, target);
    }

  private:
    std::deque<std::string> logs_;
};
