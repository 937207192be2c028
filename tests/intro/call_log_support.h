// What the intro did, in order: every call the DirectDraw and stream doubles received and
// every message box that opened, one line each ("dd.SetDisplayMode(640,480,32)",
// "stream1.Release", "box[Error] getdc failed").
#pragma once

#include <string>
#include <vector>

namespace intro_test {

class CallLog {
  public:
    static void Record(std::string entry);
    static void Clear();
    static std::vector<std::string> Entries();
    // How many entries are exactly `entry`.
    static int Count(const std::string& entry);
    // Entries from `from` (an index) on.
    static std::vector<std::string> Since(size_t from);
    static size_t Size();
};

// Lines side by side for a failure message: expected on the left, actual on the right.
std::string CompareLines(const std::vector<std::string>& expected,
                         const std::vector<std::string>& actual);

}  // namespace intro_test
