#include "runtime/mmstream/wide_text.h"

namespace vrel::mmstream {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string Utf16ToUtf8(LPCWSTR text) {
    std::string out;
    for (const char16_t* p = text; *p != 0; ++p) {
        char32_t c = *p;
        if (IsHighSurrogate(*p) && IsLowSurrogate(p[1])) {
            c = 0x10000 + ((static_cast<char32_t>(*p) - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (IsHighSurrogate(*p) || IsLowSurrogate(*p)) {
            c = kReplacement;
        }
        AppendUtf8(c, &out);
    }
    return out;
}

}  // namespace vrel::mmstream
