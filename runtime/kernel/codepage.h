// The 8-bit code pages the runtime understands, shared by the kernel string helpers and by
// GDI text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace vrel::kernel {

constexpr UINT kCodePageWindows1252 = 1252;
constexpr UINT kCodePageUtf8 = 65001;

// The character a Windows-1252 byte stands for. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as
// the platform's converter does.
char16_t Windows1252ToUnicode(unsigned char byte);

// Windows-1252 text as UTF-8, for libraries that take nothing else (window titles).
std::string Windows1252ToUtf8(std::string_view text);

// Decodes one UTF-8 sequence from text[0..length); stores how many bytes it used (at least
// one) and returns the code point, or U+FFFD for a malformed or truncated sequence.
char32_t DecodeUtf8(const unsigned char* text, size_t length, size_t* used);

}  // namespace vrel::kernel
