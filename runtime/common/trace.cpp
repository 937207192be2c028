#include "runtime/common/trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace vrel {

namespace {

struct TraceFile {
    std::mutex mutex;
    std::FILE* file = nullptr;

    TraceFile() {
        if (const char* path = std::getenv("VREL_TRACE"); path != nullptr && *path != '\0') {
            file = std::fopen(path, "w");
        }
    }
    ~TraceFile() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

TraceFile& File() {
    static TraceFile trace;
    return trace;
}

int64_t NowMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

}  // namespace

bool TraceEnabled() {
    return File().file != nullptr;
}

void Trace(const char* event, int64_t value) {
    TraceFile& trace = File();
    if (trace.file == nullptr) {
        return;
    }
    std::lock_guard lock(trace.mutex);
    std::fprintf(trace.file, "%s %lld %lld\n", event, static_cast<long long>(NowMicroseconds()),
                 static_cast<long long>(value));
    std::fflush(trace.file);
}

}  // namespace vrel
