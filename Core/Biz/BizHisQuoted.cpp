#include "Core/Biz/BizHisQuoted.h"

#include <vector>

#include "Core/Biz/BizRecordFields.h"
#include "platform/Strings.h"

using platform::Json;

namespace {

constexpr size_t kRowFields = 6;

std::vector<std::string_view> splitRow(std::string_view row) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = row.find(',', start);
        fields.push_back(row.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return fields;
}

}  // namespace

BizHisQuoted::BizHisQuoted(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2023", "2024") {}

void BizHisQuoted::getQuotedWithSID(const std::string& sid, const std::string& uid,
                                    const std::string& symbolCode, int32_t barCount, int32_t period,
                                    int64_t lastTime, SuccessBlock onSuccess,
                                    KAVFailureBlock onFailure) {
    symbolCode_ = symbolCode;
    KAVPackage package = makePackage(requestCode());
    // The history service reads plain text; the channel sends it so.
    package.setEncrypt("0");
    Json condition = Json::object();
    condition["symbolCode"] = symbolCode;
    condition["barCount"] = platform::stringf("%i", barCount);
    condition["period"] = platform::stringf("%i", period);
    condition["time"] =
        lastTime != 0 ? platform::stringf("%lli", static_cast<long long>(lastTime)) : std::string();
    package.addValue(sid, "sid");
    package.addValue(uid, "uid");
    package.addValue("4", "action");
    package.addValue(Json::array({std::move(condition)}), "parames");
    webSocket::SuccessBlock onReply;
    if (onSuccess) {
        auto self = std::static_pointer_cast<BizHisQuoted>(shared_from_this());
        onReply = [self, onSuccess = std::move(onSuccess)](const KAVPackage& reply) {
            onSuccess(self->pushData(reply.getValue("children")));
        };
    }
    send(package, std::move(onReply), std::move(onFailure));
}

MODList<MODSymbolInfo> BizHisQuoted::pushData(const Json* children) {
    MODList<MODSymbolInfo> bars;
    bizfields::forEachChild(children, [&](const Json& child) {
        const auto row = platform::jsonText(child, "row");
        if (!row) return;
        const auto fields = splitRow(*row);
        // The server sends six or more fields; a shorter row is not a bar.
        if (fields.size() < kRowFields) return;
        auto bar = std::make_shared<MODSymbolInfo>();
        bar->symbolCode = symbolCode_;
        bar->quotedTime = platform::leadingInteger(fields[0]);
        bar->priceOpen = platform::leadingDouble(fields[2]);
        bar->priceHighest = platform::leadingDouble(fields[3]);
        bar->priceLowest = platform::leadingDouble(fields[4]);
        bar->priceClose = platform::leadingDouble(fields[5]);
        bars.push_back(std::move(bar));
    });
    return bars;
}
