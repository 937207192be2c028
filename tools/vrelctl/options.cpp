#include "tools/vrelctl/options.h"

#include <charconv>

namespace vrelctl {
namespace {

bool ParsePositive(const std::string& text, long max, long* value) {
    long parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || parsed < 1 ||
        parsed > max) {
        return false;
    }
    *value = parsed;
    return true;
}

// The value of "--name value" or "--name=value"; advances i past it.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string* value) {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
        *value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        return false;
    }
    *value = args[++i];
    return true;
}

bool IsOption(const std::string& arg, const std::string& name) {
    return arg == name || arg.starts_with(name + "=");
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        long number = 0;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--send") {
            options->send = true;
        } else if (IsOption(arg, "--pid")) {
            if (!TakeValue(args, i, "--pid", &value) || !ParsePositive(value, 1L << 30, &number)) {
                *error = "--pid needs a process id";
                return false;
            }
            options->pid = number;
        } else if (IsOption(arg, "--timeout")) {
            if (!TakeValue(args, i, "--timeout", &value) || !ParsePositive(value, 60, &number)) {
                *error = "--timeout needs a number of seconds from 1 to 60";
                return false;
            }
            options->timeoutMs = static_cast<int>(number * 1000);
        } else if (arg.starts_with("--")) {
            *error = "unknown option " + arg;
            return false;
        } else {
            options->words.push_back(arg);
        }
    }
    return true;
}

}  // namespace vrelctl
