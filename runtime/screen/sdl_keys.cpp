#include "runtime/screen/sdl_keys.h"

namespace vrel::screen {

namespace {

struct KeyPair {
    SDL_Keycode sdl;
    UINT vk;
};

constexpr KeyPair kNamedKeys[] = {
    {SDLK_RETURN, VK_RETURN}, {SDLK_KP_ENTER, VK_RETURN}, {SDLK_ESCAPE, VK_ESCAPE},
    {SDLK_SPACE, VK_SPACE},   {SDLK_TAB, VK_TAB},         {SDLK_BACKSPACE, VK_BACK},
    {SDLK_LEFT, VK_LEFT},     {SDLK_RIGHT, VK_RIGHT},     {SDLK_UP, VK_UP},
    {SDLK_DOWN, VK_DOWN},     {SDLK_LALT, VK_MENU},       {SDLK_RALT, VK_MENU},
    {SDLK_LSHIFT, VK_SHIFT},  {SDLK_RSHIFT, VK_SHIFT},    {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},
};

}  // namespace

UINT VirtualKeyFromSdl(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<UINT>('A' + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<UINT>('0' + (key - SDLK_0));
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return static_cast<UINT>(0x70 + (key - SDLK_F1));  // VK_F1 onwards
    }
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.sdl == key) {
            return pair.vk;
        }
    }
    return 0;
}

}  // namespace vrel::screen
