#pragma once

#include <string>

// One dealer the user has added: what the dealer-definition service told
// about it, whether it is the selected one, and when it was added. Records
// live in a StoreContext (std::shared_ptr, one object per stored row); a
// screen changes the fields directly and the context's save writes what
// differs from the stored values.
class EtyDealer {
  public:
    std::string dealerIcon;
    std::string dealerKey;  // unique in the store: a lookup refuses a key already stored
    std::string dealerLogo;
    std::string dealerName;
    std::string hostDemo;  // login address of the demo trading system
    std::string hostReal;  // login address of the real trading system
    bool isSelected = false;
    double lastTime = 0;  // when the record was added, seconds since 1970

    bool operator==(const EtyDealer&) const = default;
};
