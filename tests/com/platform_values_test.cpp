// The platform's GUIDs and DirectDraw result codes, checked against mingw-w64's headers so
// that a mistyped digit cannot go unnoticed.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
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

// Finds `DEFINE_GUID(name, ...)` or `__CRT_UUID_DECL(name, ...)` and builds the GUID.
bool FindGuid(const std::string& text, const std::string& name, GUID* out) {
    std::regex pattern("(DEFINE_GUID|__CRT_UUID_DECL)\\(\\s*" + name + "\\s*,([^)]*)\\)");
    std::smatch match;
    if (!std::regex_search(text, match, pattern)) {
        return false;
    }
    std::stringstream fields(match[2].str());
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
        std::smatch match;
        std::regex pattern(std::string("#define\\s+") + c.name + "\\s+MAKE_DDHRESULT\\(\\s*(\\d+)");
        ASSERT_TRUE(std::regex_search(text, match, pattern)) << c.name;
        const auto code = static_cast<HRESULT>(0x88760000u + std::stoul(match[1].str()));
        EXPECT_EQ(c.ours, code) << c.name;
    }
}

}  // namespace
}  // namespace vrel::test
