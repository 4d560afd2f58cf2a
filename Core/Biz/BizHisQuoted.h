#pragma once

// The history query (event "2023", reply "2024", history-quote channel): a
// series of price bars of one symbol. A bar is a MODSymbolInfo carrying the
// symbol code, the bar's time and its open, high, low and close.

#include <cstdint>
#include <memory>
#include <string>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"

class BizHisQuoted : public IBizOf<MODList<MODSymbolInfo>> {
  public:
    explicit BizHisQuoted(const std::shared_ptr<webSocket>& ws = nullptr);

    // The symbol of the request, stamped on every bar of its reply.
    const std::string& symbolCode() const { return symbolCode_; }
    void setSymbolCode(std::string code) { symbolCode_ = std::move(code); }

    // Sends the request: conditions symbolCode, barCount, period and time
    // (empty for a last time of 0). The success block gets the bars; without
    // one the reply is not read.
    void getQuotedWithSID(const std::string& sid, const std::string& uid,
                          const std::string& symbolCode, int32_t barCount, int32_t period,
                          int64_t lastTime, SuccessBlock onSuccess, KAVFailureBlock onFailure);

    // One bar per element with a "row" of at least six comma-separated
    // fields (time, -, open, high, low, close); other elements are passed over.
    MODList<MODSymbolInfo> pushData(const platform::Json* children) override;

  private:
    std::string symbolCode_;
};
