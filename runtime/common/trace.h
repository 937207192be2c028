// Timing trace for benchmarks: with VREL_TRACE=<file> set, the runtime writes one line per
// event, "<event> <microseconds on CLOCK_MONOTONIC>" (plus an optional value). Without the
// setting every call is a single branch.
#pragma once

#include <cstdint>

namespace vrel {

bool TraceEnabled();
void Trace(const char* event, int64_t value = 0);

}  // namespace vrel
