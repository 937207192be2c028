#include "tests/intro/call_log_support.h"

#include <algorithm>
#include <mutex>

namespace intro_test {
namespace {

struct LogState {
    std::mutex mutex;
    std::vector<std::string> entries;
};

LogState& State() {
    static LogState state;
    return state;
}

}  // namespace

void CallLog::Record(std::string entry) {
    std::lock_guard lock(State().mutex);
    State().entries.push_back(std::move(entry));
}

void CallLog::Clear() {
    std::lock_guard lock(State().mutex);
    State().entries.clear();
}

std::vector<std::string> CallLog::Entries() {
    std::lock_guard lock(State().mutex);
    return State().entries;
}

int CallLog::Count(const std::string& entry) {
    std::lock_guard lock(State().mutex);
    return static_cast<int>(std::count(State().entries.begin(), State().entries.end(), entry));
}

std::vector<std::string> CallLog::Since(size_t from) {
    std::lock_guard lock(State().mutex);
    const auto& all = State().entries;
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
}

size_t CallLog::Size() {
    std::lock_guard lock(State().mutex);
    return State().entries.size();
}

std::string CompareLines(const std::vector<std::string>& expected,
                         const std::vector<std::string>& actual) {
    std::string out = "\n  expected | actual\n";
    const size_t rows = std::max(expected.size(), actual.size());
    for (size_t i = 0; i < rows; ++i) {
        const std::string& e = i < expected.size() ? expected[i] : std::string("-");
        const std::string& a = i < actual.size() ? actual[i] : std::string("-");
        out += (e == a ? "    " : " >> ") + e +
               std::string(e.size() < 48 ? 48 - e.size() : 1, ' ') + "| " + a + "\n";
    }
    return out;
}

}  // namespace intro_test
