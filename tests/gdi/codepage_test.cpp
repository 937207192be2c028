// The kernel string helpers: Windows-1252 and UTF-8 to UTF-16 (and 1252 to UTF-8), size and
// terminator rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/kernel/codepage.h"

namespace {

std::u16string Widen(UINT codePage, const std::string& bytes) {
    std::u16string out(bytes.size() * 2 + 2, u'\0');
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      out.data(), static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string Hex(const std::u16string& s) {
    std::string out;
    char buffer[8];
    for (char16_t c : s) {
        std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(c));
        out += buffer;
    }
    return out;
}

TEST(Windows1252, BytesMapToTheirCharacters) {
    struct Case {
        unsigned char byte;
        char16_t expected;
    };
    const Case cases[] = {
        {0x41, u'A'},   {0x00, 0x0000}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081},
        {0x82, 0x201A}, {0x83, 0x0192}, {0x85, 0x2026}, {0x8A, 0x0160}, {0x8C, 0x0152},
        {0x8D, 0x008D}, {0x8E, 0x017D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018},
        {0x93, 0x201C}, {0x96, 0x2013}, {0x97, 0x2014}, {0x99, 0x2122}, {0x9C, 0x0153},
        {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xC4, 0x00C4}, {0xDF, 0x00DF},
        {0xFC, 0x00FC}, {0xFF, 0x00FF},
    };
    for (UINT codePage : {CP_ACP, vrel::kernel::kCodePageWindows1252}) {
        for (const Case& c : cases) {
            const std::string in(1, static_cast<char>(c.byte));
            EXPECT_EQ(Hex(Widen(codePage, in)), Hex(std::u16string(1, c.expected)))
                << "byte 0x" << std::hex << int{c.byte} << " code page " << std::dec << codePage;
        }
    }
    for (const Case& c : cases) {  // the same characters as UTF-8 (window titles)
        const std::string utf8 = vrel::kernel::Windows1252ToUtf8(std::string(1, char(c.byte)));
        size_t used = 0;
        const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
        EXPECT_EQ(vrel::kernel::DecodeUtf8(bytes, utf8.size(), &used), c.expected) << int{c.byte};
        EXPECT_EQ(used, utf8.size()) << int{c.byte};
    }
}

TEST(Windows1252, EverythingOutsideTheC1RangeIsLatin1) {
    for (int b = 0; b < 256; ++b) {
        const char16_t mapped = vrel::kernel::Windows1252ToUnicode(static_cast<unsigned char>(b));
        if (b < 0x80 || b > 0x9F) {
            EXPECT_EQ(mapped, static_cast<char16_t>(b)) << "byte " << b;
        } else {
            EXPECT_TRUE(mapped >= 0x0080) << "byte " << b;
        }
    }
}

TEST(MultiByteToWideChar, SizeAndTerminatorRules) {
    struct Case {
        const char* name;
        UINT codePage;
        const char* text;
        int length;
        int wideLength;  // -99: pass a null buffer with length 0
        int expected;
    };
    const Case cases[] = {
        {"-1 counts the terminator", CP_ACP, "abc", -1, 0, 4},
        {"explicit length excludes it", CP_ACP, "abc", 3, 0, 3},
        {"part of the string", CP_ACP, "abc", 2, 0, 2},
        {"empty string with -1", CP_ACP, "", -1, 0, 1},
        {"exact fit with terminator", CP_ACP, "abc", -1, 4, 4},
        {"one short for the terminator", CP_ACP, "abc", -1, 3, 0},
        {"exact fit without terminator", CP_ACP, "abc", 3, 3, 3},
        {"buffer too small", CP_ACP, "abcdef", 6, 2, 0},
        {"null buffer measures", CP_ACP, "abc", -1, -99, 4},
        {"length 0 is an error", CP_ACP, "abc", 0, 0, 0},
        {"length below -1", CP_ACP, "abc", -2, 0, 0},
        {"negative buffer size", CP_ACP, "abc", 3, -1, 0},
        {"null text", CP_ACP, nullptr, 3, 0, 0},
        {"unknown code page", 437, "abc", 3, 0, 0},
        {"utf-8 two bytes, one unit", vrel::kernel::kCodePageUtf8, "\xC3\xBC", 2, 0, 1},
        {"utf-8 beyond the BMP, two units", vrel::kernel::kCodePageUtf8, "\xF0\x9F\x98\x80", 4, 0,
         2},
    };
    for (const Case& c : cases) {
        std::vector<char16_t> buffer(16, u'#');
        LPWSTR out = c.wideLength == -99 || c.wideLength == 0 ? nullptr : buffer.data();
        const int wideLength = c.wideLength == -99 ? 0 : c.wideLength;
        if (c.wideLength == 0) {
            out = buffer.data();  // a buffer with size 0 is only measured, never written
        }
        EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.text, c.length, out, wideLength), c.expected)
            << c.name;
        if (c.wideLength == 0) {
            EXPECT_EQ(buffer[0], u'#') << c.name << ": measuring must not write";
        }
    }
}

TEST(MultiByteToWideChar, WritesTheTerminatorWhenCountingIt) {
    char16_t buffer[5] = {u'#', u'#', u'#', u'#', u'#'};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0,
                                  "\x80\xFC"
                                  "a",
                                  -1, buffer, 5),
              4);
    EXPECT_EQ(Hex(std::u16string(buffer, 5)), "20AC 00FC 0061 0000 0023 ");
}

TEST(MultiByteToWideChar, Utf8Sequences) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string expected;
    };
    const Case cases[] = {
        {"ascii", "Ok", u"Ok"},
        {"two-byte", "\xC3\xBC", u"\u00FC"},
        {"three-byte", "\xE2\x82\xAC", u"\u20AC"},
        {"four-byte as a surrogate pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"invalid lead byte",
         "a\xFF"
         "b",
         u"a\uFFFDb"},
        {"truncated at the end", "a\xE2\x82", u"a\uFFFD"},
        {"truncated before ascii",
         "\xE2\x82"
         "z",
         u"\uFFFDz"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
        {"stray continuation", "\x80", u"\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(Widen(vrel::kernel::kCodePageUtf8, c.bytes)), Hex(c.expected)) << c.name;
    }
}

TEST(LstrlenA, CountsBytesAndAcceptsNull) {
    struct Case {
        const char* text;
        int expected;
    };
    for (const Case& c : {Case{nullptr, 0}, Case{"", 0}, Case{"abc", 3}, Case{"\xFC\x80", 2},
                          Case{"Kestrum ist doof", 16}}) {
        EXPECT_EQ(lstrlenA(c.text), c.expected) << (c.text ? c.text : "(null)");
    }
}

}  // namespace
