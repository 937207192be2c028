// The DirectDrawEx factory and the DirectDraw object as COM objects: identity across
// interfaces, reference counts, refused arguments and teardown in any order.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>

#include "runtime/com/unknown.h"
#include "tests/ddraw/ddraw_fixture.h"

namespace vrel::ddraw::testing {
namespace {

using FactoryTest = DirectDrawTest;

IUnknown* IdentityOf(IUnknown* object) {
    IUnknown* identity = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    if (identity != nullptr) {
        identity->Release();
    }
    return identity;
}

TEST_F(FactoryTest, DirectDrawAndDirectDraw3AreOneObject) {
    OpenDirectDraw();
    ASSERT_TRUE(dd && dd3);
    EXPECT_NE(static_cast<void*>(dd.Get()), static_cast<void*>(dd3.Get()))
        << "two interfaces, two vtables";
    EXPECT_EQ(IdentityOf(dd.Get()), IdentityOf(dd3.Get())) << "one identity";

    // Every way round answers with the same pointers.
    IDirectDraw* back = nullptr;
    ASSERT_EQ(dd3->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, dd.Get());
    IDirectDraw3* again = nullptr;
    ASSERT_EQ(back->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, dd3.Get());
    again->Release();
    back->Release();
}

TEST_F(FactoryTest, OneReferenceCountServesBothInterfaces) {
    OpenDirectDraw();
    // The fixture holds one reference through each interface.
    EXPECT_EQ(dd->AddRef(), 3u);
    EXPECT_EQ(dd3->AddRef(), 4u);
    EXPECT_EQ(dd->Release(), 3u);
    EXPECT_EQ(dd3->Release(), 2u);
    EXPECT_EQ(factory->AddRef(), 2u);
    EXPECT_EQ(factory->Release(), 1u);
}

TEST_F(FactoryTest, UnknownInterfacesAreRefused) {
    OpenDirectDraw();
    const IID* refused[] = {&IID_IDirectDrawSurface, &IID_IDirectDrawClipper,
                            &IID_IDirectDrawFactory, &IID_IClassFactory};
    for (const IID* iid : refused) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(dd->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(IID_IDirectDraw, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dd->QueryInterface(IID_IDirectDraw3, nullptr), E_POINTER);
}

TEST_F(FactoryTest, CoCreateInstanceAnswersOnlyTheFactoryInterface) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDirectDraw, &out),
              E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               &out),
              S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 0u);
}

TEST_F(FactoryTest, CreateDirectDrawRefusesBadArguments) {
    OpenDirectDraw();
    GUID device{};
    IUnknown* outer = dd.Get();
    struct Case {
        const char* name;
        GUID* device;
        DWORD level;
        DWORD reserved;
        IUnknown* outer;
        HRESULT expected;
    };
    const Case cases[] = {
        {"a device GUID", &device, DDSCL_NORMAL, 0, nullptr, DDERR_INVALIDPARAMS},
        {"no cooperative level", nullptr, 0, 0, nullptr, DDERR_INVALIDPARAMS},
        {"full screen, not exclusive", nullptr, DDSCL_FULLSCREEN, 0, nullptr, DDERR_INVALIDPARAMS},
        {"normal and exclusive", nullptr, DDSCL_NORMAL | DDSCL_EXCLUSIVE, 0, nullptr,
         DDERR_INVALIDPARAMS},
        {"reserved not zero", nullptr, DDSCL_NORMAL, 7, nullptr, DDERR_INVALIDPARAMS},
        {"an outer object", nullptr, DDSCL_NORMAL, 0, outer, CLASS_E_NOAGGREGATION},
    };
    for (const Case& c : cases) {
        IDirectDraw* out = reinterpret_cast<IDirectDraw*>(1);
        HRESULT hr =
            factory->CreateDirectDraw(c.device, nullptr, c.level, c.reserved, c.outer, &out);
        EXPECT_EQ(hr, c.expected) << c.name << ": " << ResultName(hr);
        EXPECT_EQ(out, nullptr) << c.name;
    }
    EXPECT_EQ(factory->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, nullptr, nullptr),
              DDERR_INVALIDPARAMS);
    IDirectDraw* exclusive = nullptr;
    EXPECT_EQ(factory->CreateDirectDraw(nullptr, nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE, 0,
                                        nullptr, &exclusive),
              DD_OK);
    ASSERT_NE(exclusive, nullptr);
    EXPECT_EQ(exclusive->Release(), 0u);
}

// Methods the intro never calls exist in their slots and say so; calling them through
// each interface reaches the right slot (a wrong slot would not answer E_NOTIMPL here).
TEST_F(FactoryTest, MethodsOutsideTheIntroAnswerNotImplemented) {
    OpenDirectDraw();
    DWORD value = 0;
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(dd->Compact(), E_NOTIMPL);
    EXPECT_EQ(dd->GetMonitorFrequency(&value), E_NOTIMPL);
    EXPECT_EQ(dd->WaitForVerticalBlank(0, nullptr), E_NOTIMPL);
    EXPECT_EQ(dd3->GetAvailableVidMem(nullptr, &value, &value), E_NOTIMPL);
    EXPECT_EQ(dd3->GetSurfaceFromDC(nullptr, &surface), E_NOTIMPL);
    EXPECT_EQ(dd3->WaitForVerticalBlank(0, nullptr), E_NOTIMPL);
    EXPECT_EQ(factory->DirectDrawEnumerate(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(dd3->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd3->SetCooperativeLevel(nullptr, 0), DDERR_INVALIDPARAMS);
}

// The objects the intro holds, released in every possible order.
TEST_F(FactoryTest, TeardownInAnyOrderReleasesEverything) {
    const long before = com::LiveObjects::Count();
    std::array<int, 6> order;
    std::iota(order.begin(), order.end(), 0);
    int permutations = 0;
    do {
        OpenDirectDraw();
        ComPtr<IDirectDrawSurface> primary = MakePrimary();
        ComPtr<IDirectDrawSurface> offscreen = MakeOffscreen(8, 8);
        ComPtr<IDirectDrawClipper> clipper = MakeClipper(nullptr);
        ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
        ASSERT_EQ(com::LiveObjects::Count(), before + 5);  // factory, dd, 2 surfaces, clipper
        IUnknown* held[6] = {factory.Detach(), primary.Detach(), offscreen.Detach(),
                             clipper.Detach(), dd3.Detach(),     dd.Detach()};
        for (int index : order) {
            held[index]->Release();
        }
        ASSERT_EQ(com::LiveObjects::Count(), before)
            << "order " << order[0] << order[1] << order[2] << order[3] << order[4] << order[5];
        ++permutations;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(permutations, 720);
}

// The intro's own order; each last reference really is the last.
TEST_F(FactoryTest, IntroTeardownOrderEndsEachObject) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    ComPtr<IDirectDrawSurface> offscreen = MakeOffscreen(64, 48);
    ComPtr<IDirectDrawClipper> clipper = MakeClipper(nullptr);
    ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
    EXPECT_EQ(factory.Detach()->Release(), 0u);
    EXPECT_EQ(primary.Detach()->Release(), 0u);
    EXPECT_EQ(offscreen.Detach()->Release(), 0u);
    EXPECT_EQ(clipper.Detach()->Release(), 0u) << "the primary gave its clipper back";
    EXPECT_EQ(dd3.Detach()->Release(), 1u);
    EXPECT_EQ(dd.Detach()->Release(), 0u);
}

}  // namespace
}  // namespace vrel::ddraw::testing
