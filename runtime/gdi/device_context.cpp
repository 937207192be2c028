// Device contexts and their state: creation, selection, colours and background mode.
#include <memory>
#include <utility>

#include "runtime/common/rect.h"
#include "runtime/gdi/gdi_runtime.h"
#include "runtime/gdi/gdi_service.h"

namespace vrel::gdi {

HDC CreateDeviceContext(const PixelBuffer& target, POINT origin, RECT clip) {
    if (target.Empty() || target.pitch < target.width) {
        return nullptr;
    }
    auto dc = std::make_unique<DeviceContext>();
    dc->target = target;
    dc->origin = origin;
    dc->clip = IntersectRects(clip, target.Bounds());
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return gdi.AddDc(std::move(dc));
}

bool DeleteDeviceContext(HDC dc) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    return gdi.RemoveDc(dc);
}

}  // namespace vrel::gdi

using vrel::gdi::GdiService;

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    vrel::gdi::DeviceContext* context = gdi.FindDc(dc);
    vrel::gdi::GdiObject* found = gdi.FindObject(object);
    if (context == nullptr || found == nullptr) {
        return nullptr;
    }
    return gdi.Select(*context, *found);
}

int WINAPI SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) {
        return 0;
    }
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    vrel::gdi::DeviceContext* context = gdi.FindDc(dc);
    if (context == nullptr) {
        return 0;
    }
    return std::exchange(context->bkMode, mode);
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
    GdiService& gdi = GdiService::Get();
    auto lock = gdi.Lock();
    vrel::gdi::DeviceContext* context = gdi.FindDc(dc);
    if (context == nullptr) {
        return CLR_INVALID;
    }
    return std::exchange(context->textColor, color);
}
