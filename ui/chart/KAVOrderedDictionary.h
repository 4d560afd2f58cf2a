#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Records by key, enumerated in the order the keys were first set. The
// chart draws its series in this order, so whoever builds a configuration
// decides what is painted over what.
template <typename T>
class KAVOrderedDictionary {
  public:
    using Entry = std::pair<std::string, std::shared_ptr<T>>;

    // Replaces the record of a key in place, or appends a new key.
    void setObject(std::shared_ptr<T> object, const std::string& key) {
        auto it = find(key);
        if (it != entries_.end()) {
            it->second = std::move(object);
        } else {
            entries_.emplace_back(key, std::move(object));
        }
    }
    std::shared_ptr<T> objectForKey(const std::string& key) const {
        auto it = find(key);
        return it != entries_.end() ? it->second : nullptr;
    }
    void removeObjectForKey(const std::string& key) {
        auto it = find(key);
        if (it != entries_.end()) entries_.erase(it);
    }
    size_t count() const { return entries_.size(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    auto find(const std::string& key) const {
        return std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& e) { return e.first == key; });
    }
    auto find(const std::string& key) {
        return std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& e) { return e.first == key; });
    }
    std::vector<Entry> entries_;
};
