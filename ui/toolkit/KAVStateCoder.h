#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/ui/ViewController.h"

// A keyed record of a screen's restorable state: controllers and integers
// under text keys. A key not written reads as null or 0.
class KAVStateCoder {
  public:
    void encodeObject(const platform::ui::UIViewControllerPtr& controller, const std::string& key) {
        objects_[key] = controller;
    }
    platform::ui::UIViewControllerPtr decodeObjectForKey(const std::string& key) const {
        const auto it = objects_.find(key);
        return it == objects_.end() ? nullptr : it->second;
    }
    void encodeInteger(int64_t value, const std::string& key) { integers_[key] = value; }
    int64_t decodeIntegerForKey(const std::string& key) const {
        const auto it = integers_.find(key);
        return it == integers_.end() ? 0 : it->second;
    }
    bool containsValueForKey(const std::string& key) const {
        return objects_.count(key) > 0 || integers_.count(key) > 0;
    }

  private:
    std::map<std::string, platform::ui::UIViewControllerPtr> objects_;
    std::map<std::string, int64_t> integers_;
};
