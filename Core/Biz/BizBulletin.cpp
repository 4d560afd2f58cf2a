#include "Core/Biz/BizBulletin.h"

#include "Core/Biz/BizRecordFields.h"

using namespace bizfields;
using namespace reply;

BizBulletin::BizBulletin(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2013", "2014") {}

MODList<MODBulletin> BizBulletin::pushData(const platform::Json* children) {
    return recordsOf<MODBulletin>(children, &BizBulletin::recordWith);
}

std::shared_ptr<MODBulletin> BizBulletin::recordWith(const platform::Json& r) {
    auto bulletin = std::make_shared<MODBulletin>();
    bulletin->contentId = int32Value(r, "contentId");
    bulletin->content = textValue(r, "content");
    bulletin->title = textValue(r, "title");
    bulletin->date = textValue(r, "date");
    return bulletin;
}
