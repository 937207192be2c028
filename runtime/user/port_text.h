// The message port's text: words and "quoted strings" split out of a line, quoting that
// reads back exactly, 32-bit integers as a 32-bit program writes them, and ASCII case.
// Pure functions over bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vrel::user::port {

struct Token {
    std::string text;
    bool quoted = false;
};

struct TokenizeResult {
    std::vector<Token> tokens;  // empty when failed
    bool failed = false;
    bool badByte = false;  // failed on a NUL or control byte rather than on syntax
    std::string detail;    // why it failed
};

// Splits at spaces and tabs. A quoted string may hold \" \\ \n \t \r and \xHH (never
// \x00) escapes and must be followed by a blank or the end; a bare word holds no quote and
// no control byte.
TokenizeResult Tokenize(std::string_view line);

// A quoted string that Tokenize reads back as `text`: quotes, backslashes and control bytes
// escaped, everything else as it is.
std::string Quote(std::string_view text);

// Decimal from -2147483648 to 4294967295, or 0x hex up to 0xFFFFFFFF, as its 32-bit pattern;
// nullopt when malformed or out of range.
std::optional<uint32_t> ParseInteger32(std::string_view text);

bool IsControlByte(unsigned char c);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace vrel::user::port
