// The kernel's string helpers: code page conversion and lstrlenA.
#include <cstring>

#include "platform/win32.h"
#include "runtime/kernel/codepage.h"

namespace {

using vrel::kernel::kCodePageUtf8;
using vrel::kernel::kCodePageWindows1252;

// Code pages that mean Windows-1252 here: the ANSI page, the thread's ANSI page (3) and
// 1252 by number.
bool IsWindows1252(UINT codePage) {
    constexpr UINT kThreadAnsiCodePage = 3;
    return codePage == CP_ACP || codePage == kThreadAnsiCodePage ||
           codePage == kCodePageWindows1252;
}

// Receives UTF-16 units: counts them, and stores them while room is left.
class WideSink {
  public:
    WideSink(LPWSTR out, int capacity) : out_(out), capacity_(out ? capacity : 0) {}

    void Put(char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            PutUnit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            PutUnit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
        PutUnit(static_cast<char16_t>(cp));
    }
    int Count() const { return count_; }
    bool Overflowed() const { return overflowed_; }

  private:
    void PutUnit(char16_t unit) {
        if (out_ != nullptr) {
            if (count_ >= capacity_) {
                overflowed_ = true;
                return;
            }
            out_[count_] = unit;
        }
        ++count_;
    }

    LPWSTR out_;
    int capacity_;
    int count_ = 0;
    bool overflowed_ = false;
};

void Widen1252(const unsigned char* text, size_t length, WideSink* sink) {
    for (size_t i = 0; i < length && !sink->Overflowed(); ++i) {
        sink->Put(vrel::kernel::Windows1252ToUnicode(text[i]));
    }
}

void WidenUtf8(const unsigned char* text, size_t length, WideSink* sink) {
    size_t i = 0;
    while (i < length && !sink->Overflowed()) {
        size_t used = 1;
        sink->Put(vrel::kernel::DecodeUtf8(text + i, length - i, &used));
        i += used;
    }
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD /*flags*/, LPCSTR text, int length, LPWSTR wide,
                               int wideLength) {
    const bool utf8 = codePage == kCodePageUtf8;
    if (text == nullptr || length == 0 || length < -1 || wideLength < 0 ||
        (wide == nullptr && wideLength > 0) || (!utf8 && !IsWindows1252(codePage))) {
        return 0;
    }
    // Length -1 converts the terminator too; wideLength 0 only measures.
    const size_t bytes = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    WideSink sink(wideLength == 0 ? nullptr : wide, wideLength);
    const auto* data = reinterpret_cast<const unsigned char*>(text);
    if (utf8) {
        WidenUtf8(data, bytes, &sink);
    } else {
        Widen1252(data, bytes, &sink);
    }
    return sink.Overflowed() ? 0 : sink.Count();
}

int WINAPI lstrlenA(LPCSTR text) {
    return text == nullptr ? 0 : static_cast<int>(std::strlen(text));
}
