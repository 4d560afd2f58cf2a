#pragma once

#include <string>

// Addresses the application is configured with rather than built with.
namespace appconfig {

// The resource (bundle root) that holds the defaults: "AppConfig.json".
inline constexpr const char* kConfigResource = "AppConfig";
// Environment variable that points the application at another
// dealer-definition service (the simulated dealer prints it on its "dealer"
// line).
inline constexpr const char* kDealerServiceVariable = "KAV_DEALER_SERVICE";
// Used when neither the environment nor the resource names one.
inline constexpr const char* kDefaultDealerService = "http://localhost:8080/dealer";

// The dealer-definition service's base address, without a trailing "/":
// $KAV_DEALER_SERVICE, else "dealerService" of the resource, else the
// built-in default. Read afresh on every call.
std::string dealerServiceBaseURL();

// The same for the demo-registration and password-reset server of the
// dealer "kavdemo": $KAV_REGISTER_SERVICE (the simulated dealer's "register"
// line), else "registerService" of the resource, else the default.
inline constexpr const char* kRegisterServiceVariable = "KAV_REGISTER_SERVICE";
inline constexpr const char* kDefaultRegisterService = "http://localhost:30001";
std::string registerServiceBaseURL();

// The service hot-line shown and dialled by the registration form:
// "serviceHotline" of the resource, else the default.
inline constexpr const char* kDefaultServiceHotline = "400-800-0000";
std::string serviceHotline();

}  // namespace appconfig
