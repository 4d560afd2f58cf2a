#pragma once

// The symbol query (request "2009", reply "2010"): the dealer's tradable
// symbols with their trading rules and last quote.

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"

class BizSymbolInfo : public IBizOf<MODList<MODSymbolInfo>> {
  public:
    // Without a channel only pushData serves (the symbol push).
    explicit BizSymbolInfo(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new record per element, in order. An element that is not an object
    // or has no symbol code is skipped (and logged): a symbol is found by its
    // code everywhere, so one without it is of no use.
    MODList<MODSymbolInfo> pushData(const platform::Json* children) override;

    // One element of the reply; null when it is skipped.
    static std::shared_ptr<MODSymbolInfo> parseSymbol(const platform::Json& element);
};
