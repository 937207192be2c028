#include "runtime/kernel/codepage.h"

#include <array>

namespace vrel::kernel {

namespace {

// 0x80..0x9F are where Windows-1252 differs from Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char32_t kReplacement = 0xFFFD;

// Length of the sequence a lead byte starts, 0 for a byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Overlong forms, surrogates and values past U+10FFFF are malformed.
bool IsValidScalar(char32_t cp, size_t length) {
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    return cp >= kMinimum[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

}  // namespace

char16_t Windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return static_cast<char16_t>(byte);
}

char32_t DecodeUtf8(const unsigned char* text, size_t length, size_t* used) {
    *used = 1;
    const size_t need = SequenceLength(text[0]);
    if (need == 1) {
        return text[0];
    }
    if (need == 0) {
        return kReplacement;
    }
    char32_t cp = text[0] & (0x7F >> need);
    size_t taken = 1;
    while (taken < need && taken < length && IsContinuation(text[taken])) {
        cp = (cp << 6) | (text[taken] & 0x3F);
        ++taken;
    }
    // A broken sequence gives one replacement and resumes at the first byte that did
    // not belong to it.
    *used = taken;
    return taken == need && IsValidScalar(cp, need) ? cp : kReplacement;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char byte : text) {
        const char16_t c = Windows1252ToUnicode(static_cast<unsigned char>(byte));
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace vrel::kernel
