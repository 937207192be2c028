// Helpers for the runtime's own COM objects: the base every one of them is made on (a
// thread-safe reference count and a QueryInterface that answers from a table of (IID,
// interface pointer) pairs), and a smart pointer.
#pragma once

#include <atomic>
#include <initializer_list>
#include <span>
#include <utility>

#include "platform/com.h"

namespace vrel::com {

// One entry of an object's interface table.
struct InterfaceEntry {
    const IID* iid;
    IUnknown* object;
};

// Looks iid up in the table (IID_IUnknown answers with the first entry); on success AddRefs
// and stores the pointer.
HRESULT QueryFromTable(std::span<const InterfaceEntry> table, REFIID iid, void** out);
inline HRESULT QueryFromTable(std::initializer_list<InterfaceEntry> table, REFIID iid, void** out) {
    return QueryFromTable(std::span(table.begin(), table.size()), iid, out);
}

// A reference count that starts at 1 (the creator's reference).
class RefCount {
  public:
    ULONG Add() { return ++count_; }
    ULONG Drop() { return --count_; }
    ULONG Value() const { return count_.load(); }
    // A new reference unless the count already reached zero (the object is being destroyed).
    bool TryAdd() {
        ULONG count = count_.load();
        while (count != 0) {
            if (count_.compare_exchange_weak(count, count + 1)) {
                return true;
            }
        }
        return false;
    }

  private:
    std::atomic<ULONG> count_{1};
};

// Counts live runtime COM objects so tests can check that everything was released.
class LiveObjects {
  public:
    static void Created();
    static void Destroyed();
    static long Count();
};

// The base of a runtime COM class `Derived` implementing `Faces`: IUnknown for all of them,
// counted among the live objects, deleted when the last reference goes. `Derived` lists what
// QueryInterface answers in `Interfaces()` (an array of InterfaceEntry, IUnknown answering
// with the first) and makes this base a friend when its destructor is private.
template <typename Derived, typename... Faces>
class Object : public Faces... {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) final {
        const auto table = static_cast<Derived*>(this)->Interfaces();
        return QueryFromTable(std::span<const InterfaceEntry>(table), iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() final { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() final {
        const ULONG left = refs_.Drop();
        if (left == 0) {
            delete static_cast<Derived*>(this);
        }
        return left;
    }

  protected:
    Object() { LiveObjects::Created(); }
    ~Object() { LiveObjects::Destroyed(); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    bool TryAddRef() { return refs_.TryAdd(); }

  private:
    RefCount refs_;
};

// Releases the pointer (if any) when it goes out of scope; owns one reference.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : p_(adopted) {}
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) {
            p_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &p_;
    }
    T* Detach() { return std::exchange(p_, nullptr); }

  private:
    T* p_ = nullptr;
};

}  // namespace vrel::com
