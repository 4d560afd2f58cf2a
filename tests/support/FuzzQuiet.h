#pragma once
// For fuzz targets: the log goes nowhere, set once for the whole run. A
// hostile input is logged on most of its paths, and writing those lines
// would be most of a run's time.
#include <string>

#include "platform/Log.h"

namespace kavtest {

inline void quietLogForFuzzing() {
    static const bool quiet = [] {
        platform::setLogSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
}

}  // namespace kavtest
