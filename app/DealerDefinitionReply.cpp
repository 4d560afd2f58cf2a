// The reading of a dealer-definition reply, apart from the store, so that the
// fuzz target of the reply builds without the application around it.
#include "app/DealerManager.h"
#include "platform/Json.h"

DealerManager::DefinitionReply DealerManager::readDefinitionReply(const std::string& body) {
    DefinitionReply out;
    const auto unreadable = [&out] {
        out.code = "1";
        out.message = kReplyUnreadable;
        return out;
    };
    const auto reply = platform::parseJson(body);
    // A reply that is not an object, or whose "data" is not one, cannot
    // describe a dealer: it counts as unreadable.
    if (!reply || !reply->is_object()) return unreadable();
    if (platform::jsonInteger(*reply, "retCode") != 0) {
        out.code = platform::jsonString(*reply, "retCode");
        out.message = platform::jsonString(*reply, "message");
        return out;
    }
    const platform::Json* data = platform::jsonMember(*reply, "data");
    if (!data || !data->is_object()) return unreadable();
    EtyDealer dealer;
    dealer.dealerKey = platform::jsonString(*data, "dealerKey");
    // A dealer is known by its key: without one it could never be told
    // apart, selected or given its label file.
    if (dealer.dealerKey.empty()) return unreadable();
    dealer.dealerIcon = platform::jsonString(*data, "dealerIcon");
    dealer.dealerLogo = platform::jsonString(*data, "dealerLogo");
    dealer.dealerName = platform::jsonString(*data, "dealerName");
    dealer.hostDemo = platform::jsonString(*data, "hostDemo");
    dealer.hostReal = platform::jsonString(*data, "hostReal");
    out.dealer = std::move(dealer);
    return out;
}
