// Any bytes a client may send: split into lines as a connection reads them (in chunks the
// input chooses), each line parsed as a request. Nothing may crash, every accepted request
// must lie inside the allow-list, and what is accepted must read back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/port/lines.h"
#include "runtime/port/protocol.h"

namespace {

using vrel::port::ParseRequest;
using vrel::port::Request;
using vrel::port::Verb;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckAllowed(const Request& r) {
    switch (r.verb) {
        case Verb::List:
            break;
        case Verb::Answer:
            Require(r.answer == IDOK || r.answer == IDYES || r.answer == IDNO);
            break;
        case Verb::Send:
            Require(r.timeoutMs >= 1 && r.timeoutMs <= vrel::port::kMaxSendTimeoutMs);
            [[fallthrough]];
        case Verb::Post:
            Require(r.message == WM_COMMAND || r.message == WM_CLOSE);
            Require(r.message != WM_CLOSE || (r.wParam == 0 && r.lParam == 0));
            break;
    }
}

void CheckLine(const std::string& line) {
    Require(line.size() < vrel::port::kMaxRequestBytes);
    auto parsed = ParseRequest(line);
    if (!parsed.request) {
        Require(!parsed.detail.empty());
        const std::string reply = vrel::port::ErrorLine(parsed.error, parsed.detail);
        Require(reply.find('\n') == std::string::npos && reply.find('\0') == std::string::npos);
        return;
    }
    CheckAllowed(*parsed.request);
    const std::string again = vrel::port::FormatRequest(*parsed.request);
    if (again.size() < vrel::port::kMaxRequestBytes) {
        auto back = ParseRequest(again);
        Require(back.request.has_value() && *back.request == *parsed.request);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t chunk = 1 + data[0] % 64;  // how the bytes arrive
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    vrel::port::LineReader reader(vrel::port::kMaxRequestBytes);
    std::vector<vrel::port::LineEvent> events;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        reader.Feed(bytes.substr(at, chunk), &events);
        Require(reader.Pending() < vrel::port::kMaxRequestBytes);
    }
    for (const auto& event : events) {
        if (!event.tooLong) {
            CheckLine(event.line);
        }
    }
    // The whole input as one line, as the parser may also be called.
    (void)ParseRequest(bytes);
    return 0;
}
