// GDI objects: stock objects, fonts and brushes, and their deletion.
#include <memory>
#include <string>

#include "runtime/gdi/gdi_service.h"

using vrel::gdi::GdiService;

HGDIOBJ WINAPI GetStockObject(int which) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return vrel::gdi::AsHandle(gdi.Stock(which));
}

// Width, escapement, orientation, underline, strike-out and the precision, quality and
// pitch hints do not change how this runtime draws; the face, height, weight and italic do.
HFONT WINAPI CreateFontA(int height, int /*width*/, int /*escapement*/, int /*orientation*/,
                         int weight, DWORD italic, DWORD /*underline*/, DWORD /*strikeOut*/,
                         DWORD /*charSet*/, DWORD /*outPrecision*/, DWORD /*clipPrecision*/,
                         DWORD /*quality*/, DWORD /*pitchAndFamily*/, LPCSTR faceName) {
    vrel::gdi::FontRequest request{height, weight, italic != 0,
                                   faceName != nullptr ? std::string(faceName) : std::string()};
    auto font = std::make_unique<vrel::gdi::Font>(std::move(request));
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    // Opened now so that the face lookup (and its fallback) happens once, here.
    if (gdi.Open(*font) == nullptr) {
        return nullptr;
    }
    return gdi.AddObject(std::move(font));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    auto brush = std::make_unique<vrel::gdi::Brush>(false, vrel::ColorRefToXrgb(color));
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return gdi.AddObject(std::move(brush));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return gdi.DeleteObject(object) ? TRUE : FALSE;
}
