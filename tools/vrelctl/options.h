// vrelctl's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vrelctl {

struct Options {
    bool help = false;
    bool send = false;               // wait for the window procedure's result
    std::optional<long> pid;         // which intro, when several run
    int timeoutMs = 5000;            // how long --send waits
    std::vector<std::string> words;  // the command and its arguments
};

// False with the reason in *error for an unknown option or a bad value.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

}  // namespace vrelctl
