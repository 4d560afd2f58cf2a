#include "app/AppConfig.h"

#include <cstdlib>
#include <optional>

#include "platform/Bundle.h"
#include "platform/Files.h"
#include "platform/Json.h"
#include "platform/Log.h"

namespace appconfig {

namespace {

std::string withoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}

// A text member of the resource; nothing when it is missing or empty, or
// the resource cannot be read (logged with `fallback`, what is used instead).
std::optional<std::string> configured(const char* key, const char* fallback) {
    auto path = platform::bundle::resourcePath(kConfigResource, "json");
    if (!path) return std::nullopt;
    auto text = platform::files::readFile(*path);
    auto json = text ? platform::parseJson(*text) : std::nullopt;
    if (!json || !json->is_object()) {
        platform::log(std::string("AppConfig.json 无法读取，使用默认的") + fallback);
        return std::nullopt;
    }
    auto value = platform::jsonText(*json, key);
    if (!value || value->empty()) return std::nullopt;
    return value;
}

// The environment's address, else the resource's, else the default.
std::string serviceURL(const char* variable, const char* key, const char* fallback,
                       const char* defaultURL) {
    if (const char* env = std::getenv(variable); env && *env) return withoutTrailingSlash(env);
    if (auto url = configured(key, fallback)) return withoutTrailingSlash(*url);
    return defaultURL;
}

}  // namespace

std::string dealerServiceBaseURL() {
    return serviceURL(kDealerServiceVariable, "dealerService", "交易商服务地址",
                      kDefaultDealerService);
}

std::string registerServiceBaseURL() {
    return serviceURL(kRegisterServiceVariable, "registerService", "注册服务地址",
                      kDefaultRegisterService);
}

std::string serviceHotline() {
    return configured("serviceHotline", "服务热线").value_or(kDefaultServiceHotline);
}

}  // namespace appconfig
