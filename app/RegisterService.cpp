#include "app/RegisterService.h"

#include <algorithm>
#include <cmath>

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

namespace {

// A return code is a whole number, or its text. Anything else (none, null,
// a word, a fraction) would read as 0, and a reply that says nothing of how
// it went must not pass for a success.
bool isWholeNumber(const platform::Json& code) {
    if (code.is_number_integer() || code.is_number_unsigned()) return true;
    if (code.is_number_float()) {
        const double v = code.get<double>();
        return std::isfinite(v) && v == std::trunc(v);
    }
    if (!code.is_string()) return false;
    const std::string& text = code.get_ref<const std::string&>();
    const size_t digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    return text.size() > digits &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool parseReply(const std::string& body, Reply& reply) {
    auto json = platform::parseJson(body);
    if (!json || !json->is_object()) return false;
    const platform::Json* code = platform::jsonMember(*json, "retCode");
    if (!code || !isWholeNumber(*code)) return false;
    reply.retCode = platform::jsonInteger(code);
    reply.message = platform::jsonString(*json, "message");
    return true;
}

}  // namespace registerservice
