#include "Core/Biz/BizBulletin.h"

#include "Core/Biz/BizRecordFields.h"

using namespace bizfields;

BizBulletin::BizBulletin(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2013", "2014") {}

MODList<MODBulletin> BizBulletin::pushData(const platform::Json* children) {
    return recordsOf<MODBulletin>(children, &BizBulletin::recordWith);
}

std::shared_ptr<MODBulletin> BizBulletin::recordWith(const platform::Json& r) {
    auto bulletin = std::make_shared<MODBulletin>();
    bulletin->contentId = int32Of(r, "contentId");
    bulletin->content = textOf(r, "content");
    bulletin->title = textOf(r, "title");
    bulletin->date = textOf(r, "date");
    return bulletin;
}
