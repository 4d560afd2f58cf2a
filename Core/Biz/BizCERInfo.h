#pragma once

// The exchange-rate query (request "2029", reply "2030").

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODCERInfo.h"
#include "Core/WSPushMessage.h"

class BizCERInfo : public IBizOf<MODList<MODCERInfo>> {
  public:
    // Without a channel only pushData serves (the exchange-rate push).
    explicit BizCERInfo(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new record per element, in order; elements that are not objects
    // are skipped.
    MODList<MODCERInfo> pushData(const platform::Json* children) override;

    // The cache key of a pair: "<base>_<counter>".
    static std::string keyOf(const std::string& base, const std::string& counter);
    // The same key written into `key`, which keeps its room from one to the next.
    static void keyInto(std::string& key, const std::string& base, const std::string& counter);
};
