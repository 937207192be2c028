#include "runtime/gdi/gdi_service.h"

#include <cstdlib>
#include <utility>

namespace vrel::gdi {

namespace {

struct StockBrush {
    int which;
    bool hollow;
    COLORREF color;
};

constexpr StockBrush kStockBrushes[] = {
    {WHITE_BRUSH, false, RGB(255, 255, 255)}, {LTGRAY_BRUSH, false, RGB(192, 192, 192)},
    {GRAY_BRUSH, false, RGB(128, 128, 128)},  {DKGRAY_BRUSH, false, RGB(64, 64, 64)},
    {BLACK_BRUSH, false, RGB(0, 0, 0)},       {NULL_BRUSH, true, RGB(0, 0, 0)},
};

struct StockFont {
    int which;
    int height;
    int weight;
};

// The platform's system font is a bold 16-pixel cell; its GUI and variable fonts are
// small sans faces. Arial's stand-in is the closest sans we carry.
constexpr StockFont kStockFonts[] = {
    {SYSTEM_FONT, 16, FW_BOLD},
    {DEFAULT_GUI_FONT, -11, FW_NORMAL},
    {ANSI_VAR_FONT, 13, FW_NORMAL},
};
constexpr const char* kStockFace = "Arial";

}  // namespace

GdiService& GdiService::Get() {
    // Never destroyed: see the header.
    static GdiService* const service = new GdiService;
    return *service;
}

GdiService::GdiService() {
    MakeStockObjects();
    std::atexit(&GdiService::ReleaseAtExit);
}

// The service itself outlives exit, but Fontconfig's configuration is given back: its
// memory is the one thing the leak checker cannot follow from a live pointer.
void GdiService::ReleaseAtExit() {
    GdiService& gdi = Get();
    auto lock = gdi.Lock();
    gdi.fonts_.ReleaseMatcher();
}

void GdiService::MakeStockObjects() {
    auto addStock = [this](int which, std::unique_ptr<GdiObject> object) {
        object->stock = true;
        stock_[which] = object.get();
        AddObject(std::move(object));
    };
    for (const StockBrush& b : kStockBrushes) {
        addStock(b.which, std::make_unique<Brush>(b.hollow, ColorRefToXrgb(b.color)));
    }
    for (const StockFont& f : kStockFonts) {
        addStock(f.which,
                 std::make_unique<Font>(FontRequest{f.height, f.weight, false, kStockFace}));
    }
}

DeviceContext* GdiService::FindDc(HDC dc) {
    auto it = dcs_.find(dc);
    return it == dcs_.end() ? nullptr : it->second.get();
}

GdiObject* GdiService::FindObject(HGDIOBJ object) {
    auto it = objects_.find(object);
    return it == objects_.end() || it->second->deleted ? nullptr : it->second.get();
}

Font* GdiService::FindFont(HGDIOBJ object) {
    GdiObject* found = FindObject(object);
    return found != nullptr && found->kind == GdiObject::Kind::Font ? static_cast<Font*>(found)
                                                                    : nullptr;
}

Brush* GdiService::FindBrush(HGDIOBJ object) {
    GdiObject* found = FindObject(object);
    return found != nullptr && found->kind == GdiObject::Kind::Brush ? static_cast<Brush*>(found)
                                                                     : nullptr;
}

GdiObject* GdiService::Stock(int which) {
    return which >= 0 && static_cast<size_t>(which) < stock_.size() ? stock_[which] : nullptr;
}

HDC GdiService::AddDc(std::unique_ptr<DeviceContext> dc) {
    dc->font = static_cast<Font*>(Stock(SYSTEM_FONT));
    dc->brush = static_cast<Brush*>(Stock(WHITE_BRUSH));
    ++dc->font->selections;
    ++dc->brush->selections;
    HDC handle = reinterpret_cast<HDC>(dc.get());
    dcs_.emplace(handle, std::move(dc));
    return handle;
}

bool GdiService::RemoveDc(HDC dc) {
    auto it = dcs_.find(dc);
    if (it == dcs_.end()) {
        return false;
    }
    Unselect(it->second->font);
    Unselect(it->second->brush);
    dcs_.erase(it);
    return true;
}

HGDIOBJ GdiService::AddObject(std::unique_ptr<GdiObject> object) {
    HGDIOBJ handle = AsHandle(object.get());
    objects_.emplace(handle, std::move(object));
    return handle;
}

bool GdiService::DeleteObject(HGDIOBJ handle) {
    GdiObject* object = FindObject(handle);
    if (object == nullptr) {
        return false;
    }
    if (object->stock) {
        return true;
    }
    if (object->selections > 0) {
        object->deleted = true;
    } else {
        objects_.erase(handle);
    }
    return true;
}

HGDIOBJ GdiService::Select(DeviceContext& dc, GdiObject& object) {
    ++object.selections;
    GdiObject* previous = nullptr;
    if (object.kind == GdiObject::Kind::Font) {
        previous = std::exchange(dc.font, static_cast<Font*>(&object));
    } else {
        previous = std::exchange(dc.brush, static_cast<Brush*>(&object));
    }
    HGDIOBJ handle = AsHandle(previous);
    Unselect(previous);
    return handle;
}

void GdiService::Unselect(GdiObject* object) {
    if (--object->selections == 0 && object->deleted) {
        objects_.erase(AsHandle(object));
    }
}

SizedFont* GdiService::Open(Font& font) {
    if (!font.sized && !font.openFailed) {
        font.sized = fonts_.Open(font.request);
        font.openFailed = !font.sized;
    }
    return font.sized.get();
}

size_t GdiService::LiveHandles() const {
    size_t count = dcs_.size();
    for (const auto& [handle, object] : objects_) {
        count += object->stock ? 0 : 1;
    }
    return count;
}

// ---- Views for tests ----

namespace testing {

long GlyphRasterisations() {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return gdi.Fonts().Rasterisations();
}

bool QueryFontMetrics(HGDIOBJ font, FontMetrics* metrics) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    Font* found = gdi.FindFont(font);
    SizedFont* sized = found != nullptr ? gdi.Open(*found) : nullptr;
    if (sized == nullptr || metrics == nullptr) {
        return false;
    }
    *metrics = sized->Metrics();
    return true;
}

std::string QueryFontFile(HGDIOBJ font) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    Font* found = gdi.FindFont(font);
    SizedFont* sized = found != nullptr ? gdi.Open(*found) : nullptr;
    return sized != nullptr ? sized->Location().file : std::string();
}

size_t LiveHandles() {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return gdi.LiveHandles();
}

}  // namespace testing

}  // namespace vrel::gdi
