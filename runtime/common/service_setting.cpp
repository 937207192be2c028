#include "runtime/common/service_setting.h"

#include <cstdlib>
#include <string_view>

namespace vrel {

bool ServiceWanted(const char* variable) {
    const char* setting = std::getenv(variable);
    if (setting != nullptr && std::string_view(setting) == "off") {
        return false;
    }
    if (setting != nullptr && std::string_view(setting) == "on") {
        return true;
    }
    const char* screen = std::getenv("VREL_SCREEN");
    return screen == nullptr || std::string_view(screen) != "none";
}

}  // namespace vrel
