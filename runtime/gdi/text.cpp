// Text output and measurement with the context's font.
#include <algorithm>
#include <cstdint>

#include "runtime/common/rect.h"
#include "runtime/gdi/gdi_service.h"
#include "runtime/gdi/raster.h"

namespace {

using vrel::gdi::DeviceContext;
using vrel::gdi::GdiService;
using vrel::gdi::SizedFont;

const unsigned char* AsBytes(LPCSTR text) {
    return reinterpret_cast<const unsigned char*>(text);
}

int64_t MeasureWidth(SizedFont& font, const unsigned char* text, int length) {
    int64_t width = 0;
    for (int i = 0; i < length; ++i) {
        width += font.GlyphFor(text[i]).advance;
    }
    return width;
}

// The font to draw with, after checking the arguments every text call shares.
SizedFont* FontForText(GdiService& gdi, DeviceContext* dc, LPCSTR text, int length) {
    if (dc == nullptr || text == nullptr || length < 0) {
        return nullptr;
    }
    return gdi.Open(*dc->font);
}

// Ink is kept inside the cell GetTextExtentPoint32A reports: a final overhang (the 'f'
// of "doof") would otherwise spill a pixel past it, and callers erase what they measured.
// `cell` is the visible part of the text's cell; (left, top) its unclipped corner.
void DrawGlyphs(const DeviceContext& dc, SizedFont& font, int64_t left, int64_t top,
                const RECT& cell, const unsigned char* text, int length) {
    const uint32_t xrgb = vrel::ColorRefToXrgb(dc.textColor);
    const int64_t baseline = top + font.Metrics().ascent;
    int64_t pen = left;
    for (int i = 0; i < length; ++i) {
        const vrel::gdi::Glyph& glyph = font.GlyphFor(text[i]);
        if (glyph.width > 0) {
            vrel::gdi::BlendCoverage(dc.target, cell, pen + glyph.left, baseline - glyph.top,
                                     {font.Coverage(glyph), glyph.width, glyph.height}, xrgb);
        }
        pen += glyph.advance;
    }
}

}  // namespace

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    DeviceContext* context = gdi.FindDc(dc);
    SizedFont* font = FontForText(gdi, context, text, length);
    if (font == nullptr) {
        return FALSE;
    }
    const int64_t left = int64_t{context->origin.x} + x;
    const int64_t top = int64_t{context->origin.y} + y;
    const int64_t right = left + MeasureWidth(*font, AsBytes(text), length);
    const RECT cell =
        vrel::gdi::ClipBox(left, top, right, top + font->Metrics().CellHeight(), context->clip);
    if (vrel::IsEmptyRect(cell)) {
        return TRUE;
    }
    if (context->bkMode == OPAQUE) {
        vrel::gdi::FillClipped(context->target, cell, vrel::ColorRefToXrgb(context->bkColor));
    }
    DrawGlyphs(*context, *font, left, top, cell, AsBytes(text), length);
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    SizedFont* font = FontForText(gdi, gdi.FindDc(dc), text, length);
    if (font == nullptr || size == nullptr) {
        return FALSE;
    }
    const int64_t width = MeasureWidth(*font, AsBytes(text), length);
    size->cx = static_cast<LONG>(std::min<int64_t>(width, INT32_MAX));
    size->cy = font->Metrics().CellHeight();
    return TRUE;
}
