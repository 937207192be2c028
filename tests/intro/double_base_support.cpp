#include "tests/intro/double_base_support.h"

#include <cstdio>

#include "tests/intro/call_log_support.h"

namespace intro_test {

void LogCall(const std::string& name, const std::string& call) {
    const std::string entry = name + "." + call;
    CallLog::Record(entry);
    if (Script().onCall) {
        Script().onCall(entry);
    }
}

HRESULT ScriptedResult(const std::string& kind, const std::string& method, HRESULT success) {
    auto it = Script().results.find(kind + "." + method);
    return it == Script().results.end() ? success : it->second;
}

HRESULT LoggedResult(const std::string& kind, const std::string& name, const std::string& call,
                     const std::string& method, HRESULT success) {
    LogCall(name, call);
    return ScriptedResult(kind, method, success);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string RectText(const RECT* rect) {
    if (rect == nullptr) {
        return "null";
    }
    return std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
           std::to_string(rect->right) + "," + std::to_string(rect->bottom);
}

}  // namespace intro_test

#include <map>
#include <mutex>

#include "app/app_state.h"

namespace intro_test {
namespace {

struct Names {
    std::mutex mutex;
    std::map<const void*, std::string> names;
};

Names& AllNames() {
    static Names names;
    return names;
}

}  // namespace

void RegisterName(const void* pointer, const std::string& name) {
    std::lock_guard lock(AllNames().mutex);
    AllNames().names[pointer] = name;
}

void ForgetName(const void* pointer) {
    std::lock_guard lock(AllNames().mutex);
    AllNames().names.erase(pointer);
}

std::string NameOf(const void* pointer) {
    if (pointer == nullptr) {
        return "null";
    }
    std::lock_guard lock(AllNames().mutex);
    auto it = AllNames().names.find(pointer);
    return it == AllNames().names.end() ? "other" : it->second;
}

std::string WindowName(HWND window) {
    if (window == nullptr) {
        return "null";
    }
    if (window == GetDesktopWindow()) {
        return "desktop";
    }
    return window == g_app.mainWindow ? "main" : "other";
}

}  // namespace intro_test
