#include "app/AppConfig.h"

#include <cstdlib>

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

}  // namespace

std::string dealerServiceBaseURL() {
    if (const char* env = std::getenv(kDealerServiceVariable); env && *env)
        return withoutTrailingSlash(env);
    if (auto path = platform::bundle::resourcePath(kConfigResource, "json")) {
        auto text = platform::files::readFile(*path);
        auto json = text ? platform::parseJson(*text) : std::nullopt;
        if (json && json->is_object()) {
            if (auto url = platform::jsonText(*json, "dealerService"); url && !url->empty())
                return withoutTrailingSlash(*url);
        } else {
            platform::log("AppConfig.json 无法读取，使用默认的交易商服务地址");
        }
    }
    return kDefaultDealerService;
}

}  // namespace appconfig
