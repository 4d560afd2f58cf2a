#pragma once

// The account query (request "2001", reply "2002") and the risk assessment
// of an account.

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODUserAccount.h"
#include "Core/WSPushMessage.h"

class BizUserAccount : public IBizOf<MODList<MODUserAccount>> {
  public:
    // Without a channel only pushData serves (the account push).
    explicit BizUserAccount(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new, assessed record per element, in order; elements that are not
    // objects are skipped. The net value is the remaining margin (no floating
    // profit yet), the free margin what is left of it after frozen and used
    // margin, and the ratio is recomputed for the risk types "1" and "2".
    MODList<MODUserAccount> pushData(const platform::Json* children) override;

    static std::shared_ptr<MODUserAccount> parseAccount(const platform::Json& element);

    // Sets riskLevel and riskPercent from risk, riskType and the warning and
    // cut lines.
    static void assessRisk(MODUserAccount& account);
};
