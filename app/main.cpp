// bin/kav-trader: the application.
#include "app/AppDelegate.h"
#include "app/TraderProgram.h"

int main(int argc, char** argv) {
    return kavtrader::run(argc, argv, [] { return std::make_shared<AppDelegate>(); });
}
