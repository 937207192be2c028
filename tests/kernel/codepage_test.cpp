// Code-page conversions: Windows-1252 (the ANSI page) and UTF-8 to UTF-16 with
// MultiByteToWideChar's size and terminator rules, and 1252 text as UTF-8 (window titles).
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"
#include "runtime/kernel/codepage.h"

namespace {

constexpr UINT kUtf8 = vrel::kernel::kCodePageUtf8;
constexpr char kPair[] = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
constexpr bool kNull = true;                  // a null pointer for the buffer

TEST(CodePage, MultiByteToWideChar) {
    struct Row {
        const char* name;
        UINT codePage;
        const char* text;
        int length;
        int capacity;
        int expected;
        std::u16string buffer;  // six units afterwards, when the call succeeds; '#' untouched
        bool nullBuffer = false;
    };
    const Row rows[] = {
        {"1252 letters in 0x80-0x9F", CP_ACP, "\x80\x82\x8A\x99\x9F", 5, 6, 5, u"€\u201AŠ™Ÿ#"},
        {"1252 undefined bytes are C1", 1252, "\x81\x8D\x8F\x90\x9D", 5, 6, 5,
         u"\x81\x8D\x8F\x90\x9D#"},
        {"1252 from 0xA0 is Latin-1", 3, "\xA0\xC4\xDF\xFF", 4, 6, 4, u"\xA0Äßÿ##"},
        {"-1 converts the terminator", CP_ACP, "\x80\xFC", -1, 6, 3, {u"€ü\0###", 6}},
        {"explicit length excludes it", CP_ACP, "abc", 3, 3, 3, u"abc###"},
        {"utf-8 of one to four bytes", kUtf8, "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80", 10, 6, 5,
         u"aü€\xD83D\xDE00#"},
        {"invalid bytes: U+FFFD each", kUtf8, "\xFF\x80\xC0\xAF", 4, 6, 4,
         u"\uFFFD\uFFFD\uFFFD\uFFFD##"},
        {"truncated: resumes at the next byte", kUtf8, "\xE2\x82z\xE2\x82", 5, 6, 3,
         u"\uFFFDz\uFFFD###"},
        {"truncated before a lead byte", kUtf8, "\xE2\x82\xC3\xBC", 4, 6, 2, u"\uFFFDü####"},
        {"surrogate, past U+10FFFF", kUtf8, "\xED\xA0\x80\xF4\x90\x80\x80", 7, 6, 2,
         u"\uFFFD\uFFFD####"},
        {"capacity 0 measures only", kUtf8, kPair, 4, 0, 2, u"######"},
        {"a null buffer measures", CP_ACP, "", -1, 0, 1, u"######", kNull},
        {"a null buffer with a size", CP_ACP, "abc", 3, 4, 0, u"", kNull},
        {"one short for the terminator", CP_ACP, "abc", -1, 3, 0, u""},
        {"half a surrogate pair fits", kUtf8, kPair, 4, 1, 0, u""},
        {"length 0", CP_ACP, "abc", 0, 4, 0, u""},
        {"length below -1", CP_ACP, "abc", -2, 4, 0, u""},
        {"negative capacity", CP_ACP, "abc", 3, -1, 0, u""},
        {"null text", CP_ACP, nullptr, 3, 4, 0, u""},
        {"code page 437", 437, "abc", 3, 4, 0, u""},
    };
    for (const Row& r : rows) {
        std::u16string buffer(6, u'#');
        LPWSTR out = r.nullBuffer ? nullptr : buffer.data();
        EXPECT_EQ(MultiByteToWideChar(r.codePage, 0, r.text, r.length, out, r.capacity), r.expected)
            << r.name;
        if (r.expected > 0) {
            EXPECT_EQ(buffer, r.buffer) << r.name;
        }
        if (r.expected > 0 && r.length > 0 && r.codePage != kUtf8) {
            const std::string utf8 = vrel::kernel::Windows1252ToUtf8({r.text, size_t(r.length)});
            std::u16string again(6, u'#');
            MultiByteToWideChar(kUtf8, 0, utf8.data(), int(utf8.size()), again.data(), 6);
            EXPECT_EQ(again, r.buffer) << r.name << ", as UTF-8";
        }
    }
    EXPECT_EQ(lstrlenA("\xFC\x80z"), 3);
    EXPECT_EQ(lstrlenA(nullptr), 0);
}

}  // namespace
