// What every double shares: a reference count counted in the runtime's live-object tally,
// logging to the CallLog and the script's failure results.
#pragma once

#include <atomic>
#include <string>
#include <utility>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"
#include "tests/intro/doubles_support.h"

namespace intro_test {

// Logs "<name>.<call>" and runs the script's onCall.
void LogCall(const std::string& name, const std::string& call);
// The scripted result for "<kind>.<method>", or `success`.
HRESULT ScriptedResult(const std::string& kind, const std::string& method, HRESULT success = S_OK);
// Logs the call and answers with the scripted result.
HRESULT LoggedResult(const std::string& kind, const std::string& name, const std::string& call,
                     const std::string& method, HRESULT success = S_OK);
std::string Hex(uint32_t value);
std::string RectText(const RECT* rect);

// One object's identity: its reference count, shared by all the interfaces it shows.
class DoubleObject {
  public:
    DoubleObject() { vrel::com::LiveObjects::Created(); }
    virtual ~DoubleObject() { vrel::com::LiveObjects::Destroyed(); }
    DoubleObject(const DoubleObject&) = delete;
    DoubleObject& operator=(const DoubleObject&) = delete;

    ULONG AddRefObject() { return ++refs_; }
    // Logs "<face>.Release" and destroys the object with its last reference.
    ULONG ReleaseObject(const std::string& face) {
        LogCall(face, "Release");
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // Gives up the reference the object was made with, unlogged: the maker's, not the
    // intro's (a class factory hands out a reference of its own through QueryInterface).
    void DropCreationReference() {
        if (--refs_ == 0) {
            delete this;
        }
    }

  private:
    std::atomic<ULONG> refs_{1};
};

// The methods the intro never calls: each logs its name, so a stray call shows up.
#define VREL_DOUBLE_UNUSED(name, method, ...)                         \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override {          \
        return LoggedResult(name, name, #method, #method, E_NOTIMPL); \
    }

}  // namespace intro_test

namespace intro_test {

// Names the doubles' interface pointers and windows get in the log.
void RegisterName(const void* pointer, const std::string& name);
void ForgetName(const void* pointer);
// "null", the registered name, "desktop", "main" (the intro's window) or "other".
std::string NameOf(const void* pointer);
std::string WindowName(HWND window);

// Paints `rect` of a surface double (what a stream sample does with a decoded frame);
// false when the surface is not a live double.
bool FillSurfaceRect(IDirectDrawSurface* surface, const RECT& rect, uint32_t xrgb);

// The stream's class factory, made by the stream doubles' file.
IClassFactory* NewStreamClassFactory();
IClassFactory* NewDirectDrawClassFactory();
void ResetStreamGenerations();
void ResetSurfaceRecords();

// The class factory a double is registered with: each CreateInstance is logged as
// "<name>.CreateInstance(<iid>)", answers the scripted result and makes a new Double.
template <typename Double>
class LoggedClassFactory final : public IClassFactory {
  public:
    LoggedClassFactory(std::string name, std::string (*iidName)(REFIID))
        : name_(std::move(name)), iidName_(iidName) {
        vrel::com::LiveObjects::Created();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            return E_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            vrel::com::LiveObjects::Destroyed();
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        const HRESULT result =
            LoggedResult(name_, name_, "CreateInstance(" + iidName_(iid) + ")", "CreateInstance");
        if (FAILED(result)) {
            return result;
        }
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        Double* object = new Double();
        const HRESULT query = object->QueryInterface(iid, out);
        object->DropCreationReference();
        return query;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    std::string name_;
    std::string (*iidName_)(REFIID);
    std::atomic<ULONG> refs_{1};
};

}  // namespace intro_test
