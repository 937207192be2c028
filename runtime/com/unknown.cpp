#include "runtime/com/unknown.h"

namespace vrel::com {

namespace {
std::atomic<long> g_live{0};
}

HRESULT QueryFromTable(std::span<const InterfaceEntry> table, REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (table.size() == 0) {
        return E_NOINTERFACE;
    }
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown) {
        found = table.begin()->object;
    }
    for (const InterfaceEntry& e : table) {
        if (found == nullptr && *e.iid == iid) {
            found = e.object;
        }
    }
    if (found == nullptr) {
        return E_NOINTERFACE;
    }
    found->AddRef();
    *out = found;
    return S_OK;
}

void LiveObjects::Created() {
    ++g_live;
}
void LiveObjects::Destroyed() {
    --g_live;
}
long LiveObjects::Count() {
    return g_live.load();
}

}  // namespace vrel::com
