#pragma once

#include <string>

// One dealer of the dealer directory: where its trading systems and web
// service are, and the names of its logo and icon images.
struct MODDealer {
    // True when the dealer runs a demo trading system (hostDemo not empty).
    bool hasDemo = false;
    // Selection flag of a list; never stored.
    bool isSelected = false;
    std::string dealerKey;
    std::string dealerName;
    std::string webService;
    std::string hostDemo;
    std::string hostReal;
    std::string dealerLogo;
    std::string dealerIcon;
};
