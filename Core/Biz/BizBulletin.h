#pragma once

// The bulletin query (event "2013", reply "2014", message channel) and the
// bulletin parser, which the bulletin push uses too.

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODBulletin.h"
#include "Core/WSPushMessage.h"

class BizBulletin : public IBizOf<MODList<MODBulletin>> {
  public:
    explicit BizBulletin(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new bulletin per record of the list, in order.
    MODList<MODBulletin> pushData(const platform::Json* children) override;
    static std::shared_ptr<MODBulletin> recordWith(const platform::Json& record);
};
