#pragma once

#include <memory>

class KAVBizSDK;
class sysDB;

// What a session's screens use: its trading service object and its settings
// store. Whoever makes a screen hands it the context it was handed itself
// (the drawer its centre screens, a list the order screen it opens), so a
// screen talks to the session it belongs to and to no other.
struct ScreenContext {
    // Null once the session can no longer trade (a forced re-login).
    std::shared_ptr<KAVBizSDK> bizSDK;
    std::shared_ptr<sysDB> sysdb;
};
