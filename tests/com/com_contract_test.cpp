// COM as a program sees it: references, CoInitialize per thread, and making objects by class.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "platform/ddraw.h"
#include "platform/mmstream.h"
#include "runtime/com/unknown.h"

namespace vrel::test {
namespace {

constexpr CLSID kNoClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

struct Plain final : com::Object<Plain, IUnknown> {
    std::array<com::InterfaceEntry, 1> Interfaces() { return {{{&IID_IUnknown, this}}}; }
};

// A class factory of Plain objects, to register in a built-in class's place.
struct Factory final : com::Object<Factory, IClassFactory> {
    int made = 0;
    std::array<com::InterfaceEntry, 1> Interfaces() { return {{{&IID_IClassFactory, this}}}; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
        ++made;
        return com::ComPtr<Plain>(new Plain)->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// GCC's sanitizer builds see a delete on every Release's path, not the count that prevents it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
TEST(ComTest, QueryInterfaceHandsOutItsInterfacesAddingAReferenceAndTheLastReleaseDeletes) {
    const long live = com::LiveObjects::Count();
    auto* factory = new Factory;
    // asked for, the result, the pointer handed out
    const std::tuple<IID, HRESULT, void*> cases[] = {
        {IID_IClassFactory, S_OK, static_cast<IClassFactory*>(factory)},
        {IID_IUnknown, S_OK, static_cast<IUnknown*>(factory)},  // its first interface
        {IID_IDirectDraw, E_NOINTERFACE, nullptr},
    };
    for (const auto& [iid, hr, pointer] : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->QueryInterface(iid, &out), hr);
        EXPECT_EQ(out, pointer);
    }
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(factory->AddRef(), 4u) << "one reference each success, and the creator's";
    EXPECT_EQ(factory->Release() + factory->Release() + factory->Release(), 3u + 2u + 1u);
    EXPECT_EQ(com::LiveObjects::Count(), live + 1);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(com::LiveObjects::Count(), live) << "the last release deleted it";
}
#pragma GCC diagnostic pop

TEST(ComTest, CoInitializeCountsPerThreadAndCreatingNeedsIt) {
    std::thread([] {
        void* out = reinterpret_cast<void*>(1);
        const auto create = [&] {
            return CoCreateInstance(kNoClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out);
        };
        EXPECT_EQ(create(), CO_E_NOTINITIALIZED);
        EXPECT_EQ(out, nullptr) << "cleared on failure";
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        std::thread([&] { EXPECT_EQ(create(), CO_E_NOTINITIALIZED); }).join();  // its own count
        CoUninitialize();
        EXPECT_EQ(create(), REGDB_E_CLASSNOTREG) << "still initialised once";
        CoUninitialize();
        CoUninitialize();  // one too many does no harm
        EXPECT_EQ(create(), CO_E_NOTINITIALIZED);
    }).join();
}

TEST(ComTest, CoCreateInstanceMakesTheBuiltInClassesOrOneRegisteredInTheirPlace) {
    const long live = com::LiveObjects::Count();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    com::ComPtr<Plain> outer(new Plain);
    // the class, an outer object, where, the interface asked for, and the result
    const std::tuple<CLSID, IUnknown*, DWORD, IID, HRESULT> cases[] = {
        {CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectDrawFactory, S_OK},
        {CLSID_AMMultiMediaStream, nullptr, CLSCTX_ALL, IID_IAMMultiMediaStream, S_OK},
        {CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectDrawClipper,
         E_NOINTERFACE},
        {CLSID_DirectDrawFactory, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
         CLASS_E_NOAGGREGATION},
        {CLSID_DirectDrawFactory, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG},
    };
    for (const auto& [clsid, aggregate, context, iid, hr] : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(clsid, aggregate, context, iid, &out), hr);
        com::ComPtr<IUnknown> made(static_cast<IUnknown*>(out));
        EXPECT_EQ(made.Get() != nullptr, hr == S_OK);
    }
    outer.Reset();
    auto* factory = new Factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_DirectDrawFactory, factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    com::ComPtr<IUnknown> made;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(made.Put())),
              S_OK);
    made.Reset();
    CoUninitialize();
    EXPECT_EQ(factory->made, 1);
    EXPECT_EQ(factory->Release(), 1u) << "the registry holds a reference of its own";
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    EXPECT_EQ(com::LiveObjects::Count(), live) << "all made released, the registry's reference too";
}

}  // namespace
}  // namespace vrel::test
