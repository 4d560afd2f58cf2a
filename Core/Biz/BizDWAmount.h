#pragma once

// A deposit to or a withdrawal from a trading account (event "2035").

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODDWAmount.h"
#include "Core/WSPushMessage.h"

class BizDWAmount : public IBizOf<MODList<MODDWAmount>> {
  public:
    explicit BizDWAmount(const std::shared_ptr<webSocket>& ws);

    // Sends the movement as the one child of an action "1" request of
    // `eventCode`. The success block runs for retCode "0"; any failure
    // (the server's retCode, "10002", "10003", "sys_1006") reaches the
    // failure block unchanged. Either block may be empty.
    void makeOrderWithSID(const std::string& sid, const std::string& uid, const MODDWAmount& order,
                          const std::string& eventCode, KAVDoneBlock onSuccess,
                          KAVFailureBlock onFailure);

    // The movements of a list, in list order (empty for no list); elements
    // that are not objects are passed over.
    MODList<MODDWAmount> pushData(const platform::Json* children) override;
};
