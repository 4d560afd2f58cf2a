#include "app/RegisterService.h"

#include <algorithm>
#include <cstdlib>

#include "Core/httpQuery.h"
#include "platform/Bundle.h"
#include "platform/Files.h"
#include "platform/Json.h"

namespace registerservice {

namespace {

std::string withoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}

// A text member of the AppConfig resource, or "".
std::string configured(const char* key) {
    auto path = platform::bundle::resourcePath("AppConfig", "json");
    if (!path) return "";
    auto text = platform::files::readFile(*path);
    auto json = text ? platform::parseJson(*text) : std::nullopt;
    if (!json || !json->is_object()) return "";
    return platform::jsonString(*json, key);
}

}  // namespace

std::string baseURL() {
    if (const char* env = std::getenv(kRegisterServiceVariable); env && *env)
        return withoutTrailingSlash(env);
    if (auto url = configured("registerService"); !url.empty()) return withoutTrailingSlash(url);
    return kDefaultRegisterService;
}

std::string hotline() {
    auto number = configured("serviceHotline");
    return number.empty() ? kDefaultHotline : number;
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
