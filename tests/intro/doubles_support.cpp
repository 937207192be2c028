#include "tests/intro/doubles_support.h"

#include "tests/intro/double_base_support.h"

namespace intro_test {
namespace {

DWORD g_directDrawCookie = 0;
DWORD g_streamCookie = 0;

DWORD Register(REFCLSID clsid, IClassFactory* factory) {
    DWORD cookie = 0;
    CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    factory->Release();  // the registry keeps its own reference
    return cookie;
}

}  // namespace

DoubleScript& Script() {
    static DoubleScript script;
    return script;
}

void ResetScript() {
    Script() = DoubleScript{};
    ResetStreamGenerations();
    ResetSurfaceRecords();
}

void RegisterDoubles() {
    g_directDrawCookie = Register(CLSID_DirectDrawFactory, NewDirectDrawClassFactory());
    g_streamCookie = Register(CLSID_AMMultiMediaStream, NewStreamClassFactory());
}

void UnregisterDoubles() {
    CoRevokeClassObject(g_directDrawCookie);
    CoRevokeClassObject(g_streamCookie);
    g_directDrawCookie = 0;
    g_streamCookie = 0;
}

}  // namespace intro_test
