#pragma once

#include <cstdint>
#include <string>

// One bulletin of the dealer.
struct MODBulletin {
    int32_t contentId = 0;
    std::string title;
};
