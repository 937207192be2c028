// The platform's wide (UTF-16) strings as the UTF-8 that FFmpeg and Linux take.
#pragma once

#include <string>

#include "platform/win32.h"

namespace vrel::mmstream {

// Converts a null-terminated UTF-16 string; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(LPCWSTR text);

}  // namespace vrel::mmstream
