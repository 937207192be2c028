// The platform's GUIDs and DirectDraw result codes, checked against mingw-w64's headers so
// that a mistyped digit cannot go unnoticed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/mmstream.h"

namespace vrel::test {
namespace {

const char kHeaders[] = "/usr/share/mingw-w64/include/";

std::string ReadHeader(const std::string& name) {
    std::ifstream in(kHeaders + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text between the parentheses of `macro(name, ...)`, or "" when not found.
std::string MacroArguments(const std::string& text, const std::string& macro,
                           const std::string& name) {
    for (size_t at = text.find(macro + "("); at != std::string::npos;
         at = text.find(macro + "(", at + 1)) {
        size_t open = at + macro.size() + 1;
        size_t close = text.find(')', open);
        std::string args = text.substr(open, close - open);
        size_t first = args.find_first_not_of(" \t");
        if (first != std::string::npos && args.compare(first, name.size(), name) == 0 &&
            args.find_first_not_of(" \t", first + name.size()) == args.find(',', first)) {
            return args.substr(args.find(',', first) + 1);
        }
    }
    return "";
}

// Finds `DEFINE_GUID(name, ...)` or `__CRT_UUID_DECL(name, ...)` and builds the GUID.
bool FindGuid(const std::string& text, const std::string& name, GUID* out) {
    std::string args = MacroArguments(text, "DEFINE_GUID", name);
    if (args.empty()) {
        args = MacroArguments(text, "__CRT_UUID_DECL", name);
    }
    std::stringstream fields(args);
    std::string field;
    unsigned long long v[11];
    int n = 0;
    while (std::getline(fields, field, ',') && n < 11) {
        v[n++] = std::stoull(field, nullptr, 0);
    }
    if (n != 11) {
        return false;
    }
    *out = GUID{
        static_cast<uint32_t>(v[0]), static_cast<uint16_t>(v[1]), static_cast<uint16_t>(v[2]), {}};
    for (int i = 0; i < 8; ++i) {
        out->Data4[i] = static_cast<uint8_t>(v[3 + i]);
    }
    return true;
}

// The code n of `#define name MAKE_DDHRESULT( n )`, or -1.
long DirectDrawCode(const std::string& text, const std::string& name) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string define, defined, value;
        words >> define >> defined;
        std::getline(words, value);
        size_t macro = value.find("MAKE_DDHRESULT(");
        if (define == "#define" && defined == name && macro != std::string::npos) {
            return std::stol(value.substr(macro + 15));
        }
    }
    return -1;
}

std::string Hex(const GUID& g) {
    char text[64];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

TEST(PlatformValuesTest, GuidsMatchTheMingwHeaders) {
    if (ReadHeader("ddraw.h").empty()) {
        GTEST_SKIP() << "mingw-w64-common is not installed";
    }
    struct Case {
        const char* header;
        const char* name;
        const GUID& ours;
    };
    const Case cases[] = {
        {"ddraw.h", "IID_IDirectDraw", IID_IDirectDraw},
        {"ddraw.h", "IID_IDirectDraw3", IID_IDirectDraw3},
        {"ddraw.h", "IID_IDirectDrawSurface", IID_IDirectDrawSurface},
        {"ddraw.h", "IID_IDirectDrawClipper", IID_IDirectDrawClipper},
        {"ddraw.h", "IID_IDirectDrawPalette", IID_IDirectDrawPalette},
        {"amstream.h", "CLSID_AMMultiMediaStream", CLSID_AMMultiMediaStream},
        {"amstream.h", "IAMMultiMediaStream", IID_IAMMultiMediaStream},
        {"mmstream.h", "IMultiMediaStream", IID_IMultiMediaStream},
        {"mmstream.h", "IMediaStream", IID_IMediaStream},
        {"mmstream.h", "IStreamSample", IID_IStreamSample},
        {"mmstream.h", "MSPID_PrimaryVideo", MSPID_PrimaryVideo},
        {"mmstream.h", "MSPID_PrimaryAudio", MSPID_PrimaryAudio},
        {"ddstream.h", "IDirectDrawMediaStream", IID_IDirectDrawMediaStream},
        {"ddstream.h", "IDirectDrawStreamSample", IID_IDirectDrawStreamSample},
    };
    for (const Case& c : cases) {
        GUID theirs{};
        ASSERT_TRUE(FindGuid(ReadHeader(c.header), c.name, &theirs)) << c.name;
        EXPECT_EQ(Hex(c.ours), Hex(theirs)) << c.name;
    }
}

TEST(PlatformValuesTest, DirectDrawResultCodesMatchTheMingwHeaders) {
    const std::string text = ReadHeader("ddraw.h");
    if (text.empty()) {
        GTEST_SKIP() << "mingw-w64-common is not installed";
    }
    struct Case {
        const char* name;
        HRESULT ours;
    };
    const Case cases[] = {
        {"DDERR_INVALIDCAPS", DDERR_INVALIDCAPS},
        {"DDERR_INVALIDMODE", DDERR_INVALIDMODE},
        {"DDERR_INVALIDOBJECT", DDERR_INVALIDOBJECT},
        {"DDERR_INVALIDPIXELFORMAT", DDERR_INVALIDPIXELFORMAT},
        {"DDERR_INVALIDRECT", DDERR_INVALIDRECT},
        {"DDERR_NOCLIPLIST", DDERR_NOCLIPLIST},
        {"DDERR_SURFACEBUSY", DDERR_SURFACEBUSY},
        {"DDERR_SURFACELOST", DDERR_SURFACELOST},
        {"DDERR_PRIMARYSURFACEALREADYEXISTS", DDERR_PRIMARYSURFACEALREADYEXISTS},
        {"DDERR_CLIPPERISUSINGHWND", DDERR_CLIPPERISUSINGHWND},
        {"DDERR_NOCLIPPERATTACHED", DDERR_NOCLIPPERATTACHED},
        {"DDERR_NOHWND", DDERR_NOHWND},
        {"DDERR_HWNDALREADYSET", DDERR_HWNDALREADYSET},
        {"DDERR_NOTLOCKED", DDERR_NOTLOCKED},
        {"DDERR_CANTCREATEDC", DDERR_CANTCREATEDC},
        {"DDERR_NODC", DDERR_NODC},
        {"DDERR_UNSUPPORTEDMODE", DDERR_UNSUPPORTEDMODE},
        {"DDERR_DCALREADYCREATED", DDERR_DCALREADYCREATED},
    };
    for (const Case& c : cases) {
        long n = DirectDrawCode(text, c.name);
        ASSERT_GE(n, 0) << c.name;
        EXPECT_EQ(c.ours, static_cast<HRESULT>(0x88760000u + static_cast<uint32_t>(n))) << c.name;
    }
}

}  // namespace
}  // namespace vrel::test
