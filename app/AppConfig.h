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

}  // namespace appconfig
