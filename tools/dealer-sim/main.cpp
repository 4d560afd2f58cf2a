// bin/dealer-sim: the simulated dealer. See tools/dealer-sim/README.md.
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <cerrno>
#include <csignal>
#include <thread>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <system_error>

#include "tools/dealer-sim/Simulator.h"

int main(int argc, char** argv) {
    std::string error;
    bool help = false;
    auto options = dealersim::parseOptions(argc, argv, &error, &help);
    if (help) {
        std::cout << dealersim::usage();
        return 0;
    }
    if (!options) {
        std::cerr << "dealer-sim: " << error << '\n' << dealersim::usage();
        return 2;
    }
    if (!options->dataDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options->dataDir, ec);
        if (ec) {
            std::cerr << "dealer-sim: cannot use the data folder " << options->dataDir << ": "
                      << ec.message() << '\n';
            return 1;
        }
    }
    boost::asio::io_context io(1);
    try {
        dealersim::Simulator sim(io, *options);
        sim.start(std::cout);
        boost::asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([&](boost::system::error_code, int) { io.stop(); });
        if (options->exitWithStdin) {
            // A blocking read on its own thread: the end of input (or an error)
            // becomes the same SIGTERM a person would send, handled above.
            std::thread([] {
                char byte;
                while (true) {
                    const ssize_t n = read(STDIN_FILENO, &byte, 1);
                    if (n == 0 || (n < 0 && errno != EINTR)) break;
                }
                kill(getpid(), SIGTERM);
            }).detach();
        }
        io.run();
    } catch (const std::system_error& e) {
        std::cerr << "dealer-sim: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "dealer-sim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
