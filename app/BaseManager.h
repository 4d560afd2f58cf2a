#pragma once

#include <memory>

class AppDelegate;

// Base of the managers of locally stored data: they reach the store through
// the application delegate, which owns it. The delegate is held weakly: it
// owns (through its window and screens) the managers, and a manager must not
// keep it alive in a cycle. A manager whose delegate is gone answers nothing.
class BaseManager {
  public:
    explicit BaseManager(const std::shared_ptr<AppDelegate>& appDelegate)
        : appDelegate_(appDelegate) {}
    virtual ~BaseManager() = default;

    std::shared_ptr<AppDelegate> appDelegate() const { return appDelegate_.lock(); }

  private:
    std::weak_ptr<AppDelegate> appDelegate_;
};
