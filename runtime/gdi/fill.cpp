// Rectangle fills with a brush.
#include "runtime/gdi/gdi_service.h"
#include "runtime/gdi/raster.h"

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    vrel::gdi::GdiService& gdi = vrel::gdi::GdiService::Get();
    auto lock = gdi.Lock();
    vrel::gdi::DeviceContext* context = gdi.FindDc(dc);
    vrel::gdi::Brush* found = gdi.FindBrush(brush);
    if (context == nullptr || found == nullptr || rect == nullptr) {
        return 0;
    }
    if (found->hollow) {
        return 1;  // the null brush paints nothing, successfully
    }
    const int64_t x = context->origin.x;
    const int64_t y = context->origin.y;
    const RECT box = vrel::gdi::ClipBox(x + rect->left, y + rect->top, x + rect->right,
                                        y + rect->bottom, context->clip);
    vrel::gdi::FillClipped(context->target, box, found->xrgb);
    return 1;
}
