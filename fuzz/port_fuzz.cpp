// Any bytes a client may send. Split into lines as a connection reads them (in chunks the
// first byte chooses), each line parsed as a request: nothing may crash, every accepted
// request lies inside the allow-list and reads back as itself. The same bytes as one piece
// of text: quoting any token gives it back unchanged, and integers agree with a plain reading.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/port/lines.h"
#include "runtime/port/protocol.h"

namespace {

namespace port = vrel::port;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckAllowed(const port::Request& r) {
    switch (r.verb) {
        case port::Verb::List:
            break;
        case port::Verb::Answer:
            Require(r.answer == IDOK || r.answer == IDYES || r.answer == IDNO);
            break;
        case port::Verb::Send:
            Require(r.timeoutMs >= 1 && r.timeoutMs <= port::kMaxSendTimeoutMs);
            [[fallthrough]];
        case port::Verb::Post:
            Require(r.message == WM_COMMAND || r.message == WM_CLOSE);
            Require(r.message != WM_CLOSE || (r.wParam == 0 && r.lParam == 0));
            break;
    }
}

void CheckLine(const std::string& line) {
    Require(line.size() < port::kMaxRequestBytes);
    auto parsed = port::ParseRequest(line);
    if (!parsed.request) {
        Require(!parsed.detail.empty());
        const std::string reply = port::ErrorLine(parsed.error, parsed.detail);
        Require(reply.find('\n') == std::string::npos && reply.find('\0') == std::string::npos);
        return;
    }
    CheckAllowed(*parsed.request);
    const std::string again = port::FormatRequest(*parsed.request);
    if (again.size() < port::kMaxRequestBytes) {
        auto back = port::ParseRequest(again);
        Require(back.request.has_value() && *back.request == *parsed.request);
    }
}

void CheckLines(std::string_view bytes, size_t chunk) {
    port::LineReader reader(port::kMaxRequestBytes);
    std::vector<port::LineEvent> events;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        reader.Feed(bytes.substr(at, chunk), &events);
        Require(reader.Pending() < port::kMaxRequestBytes);
    }
    for (const auto& event : events) {
        if (!event.tooLong) {
            CheckLine(event.line);
        }
    }
    (void)port::ParseRequest(bytes);  // the whole input as one line, as callers may also pass
}

// A slow, obvious reading of the same integers, to compare against.
std::optional<uint32_t> Reference(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    unsigned base = 10;
    if (!negative && digits.size() > 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x') {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    unsigned __int128 value = 0;
    for (char c : digits) {
        const char lower = static_cast<char>(c | 0x20);
        unsigned d = 0;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (base == 16 && lower >= 'a' && lower <= 'f') {
            d = static_cast<unsigned>(lower - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + d;
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    if (negative && value > 0x80000000u) {
        return std::nullopt;
    }
    const auto v = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - v) : v;
}

void CheckText(std::string_view text) {
    Require(port::ParseInteger32(text) == Reference(text));
    for (const port::Token& token : port::Tokenize(text).tokens) {
        const port::TokenizeResult back = port::Tokenize(port::Quote(token.text));
        Require(!back.failed && back.tokens.size() == 1 && back.tokens[0].text == token.text &&
                back.tokens[0].quoted);
    }
    if (text.find('\0') == std::string_view::npos) {
        const port::TokenizeResult whole = port::Tokenize(port::Quote(text));
        Require(!whole.failed && whole.tokens.size() == 1 && whole.tokens[0].text == text);
    }
    (void)port::ParseReplyLine(text);
    (void)port::ParseGreeting(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckText(text);
    if (size > 0) {
        CheckLines(text.substr(1), 1 + data[0] % 64);  // the first byte: how the bytes arrive
    }
    return 0;
}
