#pragma once

#include <string>

// What a login reply tells: the session id and the addresses of the other
// services (login request), or the token of the service just logged in to
// (proxy login). Fields the reply did not carry stay empty.
struct MODLoginInfo {
    std::string hisQuoted;       // history quote service
    std::string tradeproxy;      // trading service
    std::string quotedproxy;     // quote service (JSON packages)
    std::string quotedproxycmp;  // compressed quote service; preferred when known
    std::string newsService;     // never sent
    std::string messageProxy;    // message service
    std::string sid;             // session id
    std::string token;           // token of a proxy login
};
