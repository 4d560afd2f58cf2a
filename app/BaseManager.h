#pragma once

#include <memory>

class DealerStore;

// Base of the managers of locally stored data: they are handed the store,
// which the application delegate owns. The store is held weakly: the
// delegate owns (through its window and screens) the managers, and a
// manager must not outlive the application's store. A manager whose store
// is gone answers nothing.
class BaseManager {
  public:
    explicit BaseManager(const std::shared_ptr<DealerStore>& store) : store_(store) {}
    explicit BaseManager(std::weak_ptr<DealerStore> store) : store_(std::move(store)) {}
    virtual ~BaseManager() = default;

    std::shared_ptr<DealerStore> dealerStore() const { return store_.lock(); }

  private:
    std::weak_ptr<DealerStore> store_;
};
