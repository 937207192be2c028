// Helpers for the runtime's own COM objects: a thread-safe reference count and a
// QueryInterface that answers from a table of (IID, interface pointer) pairs.
#pragma once

#include <atomic>
#include <initializer_list>
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
HRESULT QueryFromTable(std::initializer_list<InterfaceEntry> table, REFIID iid, void** out);

// A reference count that starts at 1 (the creator's reference).
class RefCount {
  public:
    ULONG Add() { return ++count_; }
    ULONG Drop() { return --count_; }
    ULONG Value() const { return count_.load(); }

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
