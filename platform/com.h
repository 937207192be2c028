// COM: GUIDs, IUnknown, class factories and the COM runtime calls.
#pragma once

#include <cstring>

#include "win32.h"

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
    return !IsEqualGUID(a, b);
}

constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FB);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_ALL = 0x17;
constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Every COM object: reference counted; the last Release destroys it. No virtual destructor,
// so the vtable holds exactly the platform's slots in the platform's order.
struct IUnknown {
    // S_OK and one new reference in *object, or E_NOINTERFACE (and *object = null).
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;  // returns the count left
};
using LPUNKNOWN = IUnknown*;

// Makes instances of one class; what CoRegisterClassObject registers.
struct IClassFactory : IUnknown {
    // CLASS_E_NOAGGREGATION when outer is not null; the interface asked for, or its error.
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                                     void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;
};

// Per thread and counted: S_OK the first time on a thread, S_FALSE after that.
HRESULT WINAPI CoInitialize(LPVOID reserved);
// Balances one successful CoInitialize on this thread; does nothing when none is left.
void WINAPI CoUninitialize();
// CO_E_NOTINITIALIZED on a thread without COM, REGDB_E_CLASSNOTREG for an unknown class,
// CLASS_E_NOAGGREGATION for an outer object, E_NOINTERFACE, E_POINTER for a null out.
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                LPVOID* object);
// Puts a factory in front of any built-in class of that id, process-wide; needs no
// CoInitialize and outlives CoUninitialize. The cookie identifies it for revoking.
HRESULT WINAPI CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN factory, DWORD context, DWORD flags,
                                     LPDWORD cookie);
// CO_E_OBJNOTREG for an unknown cookie.
HRESULT WINAPI CoRevokeClassObject(DWORD cookie);
