#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct Notification {
    std::string name;
    std::any object;
    std::map<std::string, std::any> userInfo;
};

class NotificationCenter;

// Keeps one observer registered; destroying the token (or reset()) removes it,
// so an observer can never be called after its owner is gone.
class ObserverToken {
  public:
    ObserverToken() = default;
    ObserverToken(ObserverToken&&) noexcept = default;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ~ObserverToken();
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;

    void reset();
    bool isActive() const;

    struct Entry;

  private:
    friend class NotificationCenter;
    std::shared_ptr<Entry> entry_;
    std::weak_ptr<void> center_;
};

// Named notices. Delivery is synchronous on the posting thread, in order of
// registration; observers may be added or removed while a notice is being
// delivered (one removed before its turn is not called; one added is called
// from the next post on).
class NotificationCenter {
  public:
    static NotificationCenter& defaultCenter();
    NotificationCenter();
    ~NotificationCenter();

    [[nodiscard]] ObserverToken addObserver(const std::string& name,
                                            std::function<void(const Notification&)> block);
    void post(const Notification& notification);
    void post(const std::string& name, std::any object = {});
    size_t observerCount(const std::string& name) const;

    struct Table;

  private:
    std::shared_ptr<Table> table_;
};

}  // namespace platform
