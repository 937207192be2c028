// The port's text pieces on any bytes: tokens, quoting, 32-bit integers and reply lines.
// Quoting any token must give it back unchanged; integers must agree with a plain reading.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/port/protocol.h"

namespace {

namespace port = vrel::port;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A slow, obvious reading of the same integers, to compare against.
std::optional<uint32_t> Reference(std::string_view text) {
    bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    unsigned base = 10;
    if (!negative && digits.size() > 2 && digits[0] == '0' &&
        (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    unsigned __int128 value = 0;
    for (char c : digits) {
        unsigned d = 0;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Require(port::ParseInteger32(text) == Reference(text));

    const port::TokenizeResult split = port::Tokenize(text);
    for (const port::Token& token : split.tokens) {
        const port::TokenizeResult back = port::Tokenize(port::Quote(token.text));
        Require(!back.failed && back.tokens.size() == 1 && back.tokens[0].text == token.text &&
                back.tokens[0].quoted);
    }
    const std::string quoted = port::Quote(text);
    if (text.find('\0') == std::string_view::npos) {
        const port::TokenizeResult whole = port::Tokenize(quoted);
        Require(!whole.failed && whole.tokens.size() == 1 && whole.tokens[0].text == text);
    }
    (void)port::ParseReplyLine(text);
    (void)port::ParseGreeting(text);
    return 0;
}
