// Splits a byte stream into lines of bounded length: what a port connection reads arrives in
// any chunks, and a line that grows past the limit is reported once and skipped up to its
// newline, so one oversized request costs one error and nothing else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vrel::port {

struct LineEvent {
    bool tooLong = false;
    std::string line;  // without its newline; empty when tooLong
};

class LineReader {
  public:
    // `maxLineBytes` counts the newline: a line of maxLineBytes - 1 bytes is the longest.
    explicit LineReader(size_t maxLineBytes) : maxLineBytes_(maxLineBytes) {}

    // Appends every line completed by `bytes` to *events, in order.
    void Feed(std::string_view bytes, std::vector<LineEvent>* events);

    // Bytes held for a line not yet complete (never more than maxLineBytes - 1).
    size_t Pending() const { return pending_.size(); }

  private:
    size_t maxLineBytes_;
    std::string pending_;
    bool skipping_ = false;  // inside a line already reported as too long
};

}  // namespace vrel::port
