// The GDI service's state: the handle tables of device contexts and objects, the stock
// objects and the fonts, behind one lock. Handles are the addresses of our own objects,
// looked up in the tables before use, so an unknown handle is never dereferenced.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/win32.h"
#include "runtime/common/pixel_buffer.h"
#include "runtime/gdi/font_cache.h"

namespace vrel::gdi {

struct GdiObject {
    enum class Kind { Font, Brush };
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;

    const Kind kind;
    bool stock = false;
    // Deleted while selected: the handle is dead, the object lives until deselected.
    bool deleted = false;
    int selections = 0;
};

struct Brush final : GdiObject {
    Brush(bool isHollow, uint32_t colour)
        : GdiObject(Kind::Brush), hollow(isHollow), xrgb(colour) {}
    const bool hollow;  // NULL_BRUSH: paints nothing
    const uint32_t xrgb;
};

struct Font final : GdiObject {
    explicit Font(FontRequest r) : GdiObject(Kind::Font), request(std::move(r)) {}
    const FontRequest request;
    std::unique_ptr<SizedFont> sized;  // opened on first use
    bool openFailed = false;
};

struct DeviceContext {
    PixelBuffer target;
    POINT origin{};
    RECT clip{};  // target coordinates, inside the target
    Font* font = nullptr;
    Brush* brush = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
};

class GdiService {
  public:
    // The one service, made on first use and kept to the end of the process, so other
    // services may still release their contexts while they shut down.
    static GdiService& Get();

    [[nodiscard]] std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

    // Everything below expects the caller to hold Lock().
    DeviceContext* FindDc(HDC dc);
    // A live object (not deleted) of any kind, or of the given kind; null otherwise.
    GdiObject* FindObject(HGDIOBJ object);
    Font* FindFont(HGDIOBJ object);
    Brush* FindBrush(HGDIOBJ object);
    GdiObject* Stock(int which);

    HDC AddDc(std::unique_ptr<DeviceContext> dc);
    // Deselects its objects (freeing deleted ones) and forgets the context.
    bool RemoveDc(HDC dc);
    HGDIOBJ AddObject(std::unique_ptr<GdiObject> object);
    // Stock objects stay; a selected object is retired and freed when deselected.
    bool DeleteObject(HGDIOBJ object);
    // Puts the object in the context's slot for its kind; returns what was there.
    HGDIOBJ Select(DeviceContext& dc, GdiObject& object);

    // The font's face at its size, opened now if needed; null when no face loads.
    SizedFont* Open(Font& font);
    FontLibrary& Fonts() { return fonts_; }
    size_t LiveHandles() const;

  private:
    GdiService();
    static void ReleaseAtExit();
    void MakeStockObjects();
    void Unselect(GdiObject* object);

    std::mutex mutex_;
    FontLibrary fonts_;  // declared first: outlives every font below
    std::unordered_map<const void*, std::unique_ptr<GdiObject>> objects_;
    std::unordered_map<const void*, std::unique_ptr<DeviceContext>> dcs_;
    std::array<GdiObject*, DEFAULT_GUI_FONT + 1> stock_{};
};

inline HGDIOBJ AsHandle(GdiObject* object) {
    return reinterpret_cast<HGDIOBJ>(object);
}

}  // namespace vrel::gdi
