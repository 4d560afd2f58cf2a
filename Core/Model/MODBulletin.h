#pragma once

#include <cstdint>
#include <string>

// One bulletin of the dealer. The server sends no level, publisher or read
// mark; those stay empty.
struct MODBulletin {
    std::string content;
    int32_t contentId = 0;
    std::string date;  // as the server sends it
    std::string level;
    std::string publish;
    std::string readFlag;
    std::string title;
};
