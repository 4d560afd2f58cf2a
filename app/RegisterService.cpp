#include "app/RegisterService.h"

#include <algorithm>

#include "Core/httpQuery.h"
#include "app/AppConfig.h"
#include "platform/Json.h"

namespace registerservice {

std::string baseURL() {
    return appconfig::registerServiceBaseURL();
}

std::string hotline() {
    return appconfig::serviceHotline();
}

std::string registerURL(const std::string& email, const std::string& password) {
    const std::string e = httpQuery::encodeQueryValue(email);
    return baseURL() + kRegisterPath + "?email=" + e + "&name=" + e +
           "&password=" + httpQuery::encodeQueryValue(password) + "&amount=" + kDemoAmount;
}

std::string resetURL(const std::string& account) {
    return baseURL() + kResetPath + "?login_code=" + httpQuery::encodeQueryValue(account) +
           "&pwd_type=1";
}

std::string withoutSpaces(const std::string& text) {
    std::string out = text;
    std::erase(out, ' ');
    return out;
}

bool parseReply(const std::string& body, Reply& reply) {
    auto json = platform::parseJson(body);
    if (!json || !json->is_object()) return false;
    reply.retCode = platform::jsonInteger(*json, "retCode");
    reply.message = platform::jsonString(*json, "message");
    return true;
}

}  // namespace registerservice
