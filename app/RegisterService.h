#pragma once

#include <string>

// The demo-registration and password-reset requests of the dealer "kavdemo"
// and their answers.
namespace registerservice {

inline constexpr const char* kRegisterPath = "/account/demo/xregister/kavdemo";
inline constexpr const char* kResetPath = "/account/demo/xreset_pwd/kavdemo";
// Every demo account starts with this balance.
inline constexpr const char* kDemoAmount = "1000000";

// The server's base address (appconfig::registerServiceBaseURL).
std::string baseURL();
// The hot-line number shown and dialled by the registration panel.
std::string hotline();

// The registration request for the e-mail (also sent as the name) and the
// password; every value percent-encoded.
std::string registerURL(const std::string& email, const std::string& password);
// The password-reset request for the account.
std::string resetURL(const std::string& account);

// The text with every blank (U+0020) removed, as the forms send their values.
std::string withoutSpaces(const std::string& text);

// The outcome of a reply of either service: nothing when the body is not a
// JSON object or its "retCode" is no whole number (or its text), else the
// "retCode" (0 is success) and the "message".
struct Reply {
    long long retCode = 0;
    std::string message;
};
bool parseReply(const std::string& body, Reply& reply);

}  // namespace registerservice
