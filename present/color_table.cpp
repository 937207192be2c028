#include "present/color_table.h"

#include "app/app_state.h"

namespace {

constexpr int RAMP_LENGTH = 32;
constexpr BYTE FULL = 248;

}  // namespace

void BuildColorTable() {
    for (int i = 0; i < RAMP_LENGTH; ++i) {
        const BYTE up = static_cast<BYTE>(8 * i);
        const BYTE down = static_cast<BYTE>(FULL - 8 * i);
        g_app.colorTable[i] = RGB(0, up, FULL);                      // blue -> cyan
        g_app.colorTable[RAMP_LENGTH + i] = RGB(0, FULL, down);      // cyan -> green
        g_app.colorTable[2 * RAMP_LENGTH + i] = RGB(up, FULL, 0);    // green -> yellow
        g_app.colorTable[3 * RAMP_LENGTH + i] = RGB(FULL, down, 0);  // yellow -> red
        g_app.colorTable[4 * RAMP_LENGTH + i] = RGB(FULL, 0, up);    // red -> magenta
        g_app.colorTable[5 * RAMP_LENGTH + i] = RGB(down, 0, FULL);  // magenta -> blue
    }
}
