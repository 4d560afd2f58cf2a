#pragma once

#include <string>

// The demo-registration server of the dealer "kavdemo" and the service
// hot-line, which the application is configured with rather than built with.
namespace registerservice {

// Environment variable that points the application at another registration
// server (the simulated dealer prints it on its "register" line).
inline constexpr const char* kRegisterServiceVariable = "KAV_REGISTER_SERVICE";
inline constexpr const char* kDefaultRegisterService = "http://localhost:30001";
inline constexpr const char* kDefaultHotline = "400-800-0000";

inline constexpr const char* kRegisterPath = "/account/demo/xregister/kavdemo";
inline constexpr const char* kResetPath = "/account/demo/xreset_pwd/kavdemo";
// Every demo account starts with this balance.
inline constexpr const char* kDemoAmount = "1000000";

// The server's base address without a trailing "/": $KAV_REGISTER_SERVICE,
// else "registerService" of the AppConfig resource, else the default. Read
// afresh on every call.
std::string baseURL();
// The hot-line number shown and dialled by the registration panel:
// "serviceHotline" of the AppConfig resource, else the default.
std::string hotline();

// The registration request for the e-mail (also sent as the name) and the
// password; every value percent-encoded.
std::string registerURL(const std::string& email, const std::string& password);
// The password-reset request for the account.
std::string resetURL(const std::string& account);

// The text with every blank (U+0020) removed, as the forms send their values.
std::string withoutSpaces(const std::string& text);

// The outcome of a reply of either service: nothing when the body is not a
// JSON object, else the "retCode" (0 is success) and the "message".
struct Reply {
    long long retCode = 0;
    std::string message;
};
bool parseReply(const std::string& body, Reply& reply);

}  // namespace registerservice
