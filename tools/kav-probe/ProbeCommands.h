#pragma once

// The probe's commands: one table; a new command is one more entry.

#include <functional>
#include <string>
#include <vector>

namespace kavprobe {

class Probe;

struct Command {
    const char* name;
    // Shown in the usage line after the name ("SECONDS"); empty for none.
    const char* arguments;
    size_t argumentCount;
    // Why the arguments cannot be used, or empty when they can.
    std::function<std::string(const std::vector<std::string>& args)> check;
    // Starts the command; it ends through probe.succeed() or probe.fail().
    std::function<void(Probe& probe, const std::vector<std::string>& args)> run;
    // Whether the probe's --timeout bounds it (not for commands that wait on purpose).
    bool bounded = true;
};

const std::vector<Command>& commands();
// A positive number of seconds (up to a million), or -1.
double secondsValue(const std::string& text);
const Command* findCommand(const std::string& name);

}  // namespace kavprobe
