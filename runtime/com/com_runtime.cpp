#include "runtime/com/com_runtime.h"

#include <mutex>
#include <vector>

#include "runtime/com/unknown.h"

namespace vrel::com {
namespace {

thread_local int t_initCount = 0;

struct Registration {
    DWORD cookie;
    CLSID clsid;
    IClassFactory* factory;  // one reference, given back on revoke
};

// Process-wide, independent of any thread's CoInitialize, so tests can register doubles
// without initialising COM themselves.
class Registry {
  public:
    static Registry& Get() {
        static Registry registry;
        return registry;
    }

    DWORD Add(REFCLSID clsid, IClassFactory* factory) {
        std::lock_guard lock(mutex_);
        DWORD cookie = ++lastCookie_;
        entries_.push_back({cookie, clsid, factory});
        return cookie;
    }

    IClassFactory* Take(DWORD cookie) {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->cookie == cookie) {
                IClassFactory* factory = it->factory;
                entries_.erase(it);
                return factory;
            }
        }
        return nullptr;
    }

    // The newest registration for the class wins; returns it with a new reference.
    IClassFactory* Find(REFCLSID clsid) {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
            if (it->clsid == clsid) {
                it->factory->AddRef();
                return it->factory;
            }
        }
        return nullptr;
    }

  private:
    std::mutex mutex_;
    std::vector<Registration> entries_;
    DWORD lastCookie_ = 0;
};

}  // namespace

int InitCountOnThisThread() {
    return t_initCount;
}

}  // namespace vrel::com

using vrel::com::Registry;

HRESULT WINAPI CoInitialize(LPVOID /*reserved*/) {
    return vrel::com::t_initCount++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize() {
    if (vrel::com::t_initCount > 0) {
        --vrel::com::t_initCount;
    }
}

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                LPVOID* object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (vrel::com::t_initCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    if (IClassFactory* factory = Registry::Get().Find(clsid)) {
        HRESULT hr = factory->CreateInstance(outer, iid, object);
        factory->Release();
        return hr;
    }
    vrel::com::BuiltinCreator create = vrel::com::FindBuiltinClass(clsid);
    if (create == nullptr) {
        return REGDB_E_CLASSNOTREG;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return create(iid, object);
}

HRESULT WINAPI CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN factory, DWORD /*context*/,
                                     DWORD /*flags*/, LPDWORD cookie) {
    if (factory == nullptr || cookie == nullptr) {
        return E_INVALIDARG;
    }
    void* classFactory = nullptr;
    if (FAILED(factory->QueryInterface(IID_IClassFactory, &classFactory))) {
        return E_NOINTERFACE;
    }
    *cookie = Registry::Get().Add(clsid, static_cast<IClassFactory*>(classFactory));
    return S_OK;
}

HRESULT WINAPI CoRevokeClassObject(DWORD cookie) {
    IClassFactory* factory = Registry::Get().Take(cookie);
    if (factory == nullptr) {
        return CO_E_OBJNOTREG;
    }
    factory->Release();
    return S_OK;
}
