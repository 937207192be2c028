// The COM runtime: per-thread initialisation, class lookup and the registry of replacements.
#include <gtest/gtest.h>

#include <thread>

#include "platform/ddraw.h"
#include "runtime/com/unknown.h"

namespace vrel::test {
namespace {

constexpr CLSID kUnknownClass = {
    0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34}};

// A trivial object and its factory, counting what is alive.
struct Counted : IUnknown {
    static inline int alive = 0;
    com::RefCount refs;
    Counted() { ++alive; }
    virtual ~Counted() { --alive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return com::QueryFromTable({{&IID_IUnknown, this}}, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = refs.Drop();
        if (left == 0) {
            delete this;
        }
        return left;
    }
};

struct CountedFactory : IClassFactory {
    static inline int alive = 0;
    com::RefCount refs;
    int made = 0;
    CountedFactory() { ++alive; }
    virtual ~CountedFactory() { --alive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return com::QueryFromTable({{&IID_IClassFactory, this}}, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = refs.Drop();
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        ++made;
        auto* object = new Counted;
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

HRESULT CreateOnFreshThread(REFCLSID clsid) {
    HRESULT hr = S_OK;
    std::thread([&] {
        void* out = nullptr;
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out);
    }).join();
    return hr;
}

TEST(ComTest, CreateFailsUntilInitialisedAndAfterBalancedUninitialise) {
    std::thread([] {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDirectDrawFactory, &out),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(out, nullptr) << "the out pointer is cleared on failure";
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
        EXPECT_EQ(
            CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            REGDB_E_CLASSNOTREG)
            << "still initialised once";
        CoUninitialize();
        CoUninitialize();  // one too many does no harm
        EXPECT_EQ(
            CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK) << "the count went back to zero";
        CoUninitialize();
    }).join();
}

TEST(ComTest, InitialisationIsPerThread) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CreateOnFreshThread(kUnknownClass), CO_E_NOTINITIALIZED);
    CoUninitialize();
}

TEST(ComTest, BuiltInClassAnswersArgumentErrors) {
    long liveBefore = com::LiveObjects::Count();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    void* out = nullptr;
    auto* outer = new Counted;
    struct Case {
        IUnknown* outer;
        const IID* iid;
        DWORD context;
        HRESULT expected;
    };
    const Case cases[] = {
        {nullptr, &IID_IDirectDrawClipper, CLSCTX_INPROC_SERVER, E_NOINTERFACE},
        {outer, &IID_IDirectDrawFactory, CLSCTX_INPROC_SERVER, CLASS_E_NOAGGREGATION},
        {nullptr, &IID_IDirectDrawFactory, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, c.outer, c.context, *c.iid, &out),
                  c.expected);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDirectDrawFactory, nullptr),
              E_POINTER);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDirectDrawFactory, &out),
              S_OK);
    static_cast<IUnknown*>(out)->Release();
    outer->Release();
    CoUninitialize();
    EXPECT_EQ(com::LiveObjects::Count(), liveBefore);
}

TEST(ComTest, RegisteredClassReplacesBuiltInAndIsRevokedCleanly) {
    auto* factory = new CountedFactory;
    DWORD cookie = 0;
    // No CoInitialize needed to register.
    ASSERT_EQ(CoRegisterClassObject(CLSID_DirectDrawFactory, factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    factory->Release();  // the registry keeps its own reference
    EXPECT_EQ(CountedFactory::alive, 1);

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();  // registrations outlive CoUninitialize
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    void* out = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               &out),
              S_OK);
    EXPECT_EQ(factory->made, 1) << "the double made it, not the built-in class";
    EXPECT_EQ(Counted::alive, 1);
    static_cast<IUnknown*>(out)->Release();
    EXPECT_EQ(Counted::alive, 0);

    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(CountedFactory::alive, 0) << "revoking gave back the registry's reference";
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
}

TEST(ComTest, RegistrationRefusesBadArguments) {
    DWORD cookie = 0;
    auto* notAFactory = new Counted;
    EXPECT_EQ(CoRegisterClassObject(kUnknownClass, nullptr, 0, 0, &cookie), E_INVALIDARG);
    EXPECT_EQ(CoRegisterClassObject(kUnknownClass, notAFactory, 0, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(CoRegisterClassObject(kUnknownClass, notAFactory, 0, 0, &cookie), E_NOINTERFACE);
    notAFactory->Release();
    EXPECT_EQ(CoRevokeClassObject(0xFFFFFFFF), CO_E_OBJNOTREG);
}

TEST(ComTest, QueryFromTableAnswersKnownInterfacesOnly) {
    auto* object = new Counted;
    void* out = nullptr;
    EXPECT_EQ(com::QueryFromTable({{&IID_IUnknown, object}}, IID_IDirectDraw, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(com::QueryFromTable({{&IID_IClassFactory, object}}, IID_IUnknown, &out), S_OK)
        << "IUnknown answers with the first entry";
    EXPECT_EQ(out, object);
    EXPECT_EQ(object->refs.Value(), 2u);
    object->Release();
    object->Release();
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_EQ(com::QueryFromTable({}, IID_IUnknown, nullptr), E_POINTER);
}

}  // namespace
}  // namespace vrel::test
