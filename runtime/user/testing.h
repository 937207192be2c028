// Hooks for tests that drive the intro in-process. Not used by the intro itself.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

namespace vrel::user::testing {

struct MessageBoxInfo {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Called on the message loop's thread once a box is open (drawn, its owner deactivated).
// A non-zero result (IDOK, IDYES, IDNO) answers the box as soon as no message is waiting;
// 0 leaves it open for a later answer (AnswerMessageBox, the keyboard, the mouse).
// Without a hook, a box with no screen is answered with its default button.
using MessageBoxHook = std::function<int(const MessageBoxInfo&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Back to a clean desktop: every window destroyed without messages, classes unregistered,
// the queue emptied, a pending quit cleared, the hook removed.
void ResetWindowing();

}  // namespace vrel::user::testing
