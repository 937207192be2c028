// Any bytes as the movie's path (up to the first newline) and a URI a bus client sends (the
// rest): nothing may crash; an accepted URI is a file URI within the length limit naming an
// absolute path; percent-decoding never yields a byte an escape may not carry; and the path
// written out with every byte escaped is accepted whenever it can name a file at all.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/bus/mpris_rules.h"

namespace {

namespace bus = vrel::bus;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string FullyEscaped(std::string_view path) {
    std::string uri = "file://";
    char escape[4];
    for (char c : path) {
        if (c == '/') {
            uri += c;
            continue;
        }
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
        uri += escape;
    }
    return uri;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t newline = all.find('\n');
    const std::string_view path = all.substr(0, newline);
    const std::string_view uri = newline == std::string_view::npos ? "" : all.substr(newline + 1);
    if (bus::UriNamesFile(uri, path)) {
        Require(uri.size() <= bus::kMaxUriBytes && path.starts_with('/'));
    }
    if (auto decoded = bus::PercentDecoded(uri)) {
        Require(decoded->size() <= uri.size());
    }
    const std::string escaped = FullyEscaped(path);
    const bool nameable = path.starts_with('/') && path.find('\0') == std::string_view::npos &&
                          escaped.size() <= bus::kMaxUriBytes;
    Require(bus::UriNamesFile(escaped, path) == nameable);
    return 0;
}
