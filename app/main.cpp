// bin/kav-trader: the application.
#include "app/AppDelegate.h"
#include "app/TraderProgram.h"

// Libraries whose caches look lost to the leak checker at exit though they
// are held for the whole run: fontconfig keeps its font data behind encoded
// offsets the checker cannot follow, and the session bus connection SDL
// opens with its video system keeps a buffer. Read only by sanitised builds.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    return kavtrader::run(argc, argv, [] { return std::make_shared<AppDelegate>(); });
}
