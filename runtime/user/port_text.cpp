#include "runtime/user/port_text.h"

#include <charconv>
#include <cstdio>

namespace vrel::user::port {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Reject(TokenizeResult& result, bool badByte, const char* detail) {
    result.failed = true;
    result.badByte = badByte;
    result.detail = detail;
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

bool IsControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// ---- tokens ----------------------------------------------------------------------------

namespace {

// One escape after a backslash at s[i]; advances i past it. False with the error set.
bool ReadEscape(std::string_view s, size_t& i, std::string& out, TokenizeResult& result) {
    if (i + 1 >= s.size()) {
        return Reject(result, false, "a backslash ends the line");
    }
    const char e = s[i + 1];
    const std::string_view simple = "\"\\ntr";
    const std::string_view meaning = "\"\\\n\t\r";
    if (size_t k = simple.find(e); k != std::string_view::npos) {
        out += meaning[k];
        i += 2;
        return true;
    }
    if (e == 'x' && i + 3 < s.size() && HexValue(s[i + 2]) >= 0 && HexValue(s[i + 3]) >= 0) {
        const int value = HexValue(s[i + 2]) * 16 + HexValue(s[i + 3]);
        if (value == 0) {
            return Reject(result, true, "an escaped NUL");
        }
        out += static_cast<char>(value);
        i += 4;
        return true;
    }
    return Reject(result, false, "unknown escape");
}

// A quoted token starting at s[i] == '"'; advances i past the closing quote.
bool ReadQuoted(std::string_view s, size_t& i, TokenizeResult& result) {
    Token token{{}, true};
    ++i;
    for (;;) {
        if (i >= s.size()) {
            return Reject(result, false, "unterminated quoted string");
        }
        const char c = s[i];
        if (c == '"') {
            ++i;
            break;
        }
        if (c == '\\') {
            if (!ReadEscape(s, i, token.text, result)) {
                return false;
            }
            continue;
        }
        if (IsControlByte(static_cast<unsigned char>(c)) && c != '\t') {
            return Reject(result, true, "a control byte in a quoted string");
        }
        token.text += c;
        ++i;
    }
    if (i < s.size() && !IsBlank(s[i])) {
        return Reject(result, false, "text right after a closing quote");
    }
    result.tokens.push_back(std::move(token));
    return true;
}

bool ReadBare(std::string_view s, size_t& i, TokenizeResult& result) {
    Token token;
    while (i < s.size() && !IsBlank(s[i])) {
        const char c = s[i];
        if (IsControlByte(static_cast<unsigned char>(c))) {
            return Reject(result, true, c == '\0' ? "a NUL byte" : "a control byte");
        }
        if (c == '"') {
            return Reject(result, false, "a quote inside a word");
        }
        token.text += c;
        ++i;
    }
    result.tokens.push_back(std::move(token));
    return true;
}

}  // namespace

TokenizeResult Tokenize(std::string_view line) {
    TokenizeResult result;
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const bool ok = line[i] == '"' ? ReadQuoted(line, i, result) : ReadBare(line, i, result);
        if (!ok) {
            result.tokens.clear();
            return result;
        }
    }
    return result;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (IsControlByte(byte)) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// ---- numbers ---------------------------------------------------------------------------

std::optional<uint32_t> ParseInteger32(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    int base = 10;
    if (!negative && digits.size() > 2 && digits[0] == '0' && LowerAscii(digits[1]) == 'x') {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    const uint64_t limit = negative ? uint64_t{0x80000000} : uint64_t{0xFFFFFFFF};
    if (value > limit) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(negative ? (~value + 1) : value);
}

}  // namespace vrel::user::port
