#pragma once

#include <string>

// Told the code of the symbol the user picked on another order screen (the
// limit-order screen tells the market-order screen that pushed it).
class SymbolSelectDelegate {
  public:
    virtual ~SymbolSelectDelegate() = default;
    virtual void onSymbolSelect(const std::string& symbolCode) = 0;
};
