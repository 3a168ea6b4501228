// IUnknown, the root of every COM interface, and ComPtr, the counted reference to one.
//
// An interface is an abstract class whose methods answer HRESULTs. An object that
// implements several interfaces derives from each; its QueryInterface hands out the
// matching base pointer after one AddRef. The rules callers rely on:
//   * QueryInterface for IID_IUnknown always gives the same pointer for one object
//     (its identity), whatever interface it is asked through;
//   * a successful QueryInterface has added one reference, a failed one sets the out
//     pointer to null and answers E_NOINTERFACE (E_POINTER for a null out pointer);
//   * Release answers the count left; the object frees itself when it reaches 0.
// Each interface names its id with a static Uuid(), which ComPtr and ComObject use.
#pragma once

#include <atomic>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/ole/Guid.h"
#include "platform/ole/OleErrors.h"

inline constexpr IID IID_IUnknown = MakeGuid("{00000000-0000-0000-C000-000000000046}");

struct IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IUnknown; }
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  // Interfaces are released, never deleted through.
  ~IUnknown() = default;
};

// A counted reference to an interface. Copies add a reference; the destructor
// releases it. Attach/Detach move a reference in and out without counting.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference to p (AddRef).
  ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(T* p) noexcept {
    ComPtr(p).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Releases the reference held, if any.
  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Takes over a reference the caller owns (no AddRef).
  void Attach(T* p) noexcept {
    Reset();
    p_ = p;
  }
  // Gives the reference to the caller (no Release).
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  // For out parameters: releases the reference held and answers where to put a new one.
  T** ReleaseAndGetAddressOf() noexcept {
    Reset();
    return &p_;
  }
  T** GetAddressOf() noexcept { return &p_; }
  void** ReleaseAndGetVoidAddress() noexcept { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

  // QueryInterface for U into `out`; answers its result.
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    if (out == nullptr) return E_POINTER;
    if (p_ == nullptr) {
      out->Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(U::Uuid(), out->ReleaseAndGetVoidAddress());
  }
  // QueryInterface for U; null when the object does not offer it.
  template <class U>
  ComPtr<U> As() const noexcept {
    ComPtr<U> out;
    As(&out);
    return out;
  }
  // Hands a new reference to an out parameter.
  HRESULT CopyTo(T** out) const noexcept {
    if (out == nullptr) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }
  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Whether a and b are the same object: their IUnknown pointers are equal.
bool IsSameObject(IUnknown* a, IUnknown* b);

namespace ole_detail {

template <class Iface, class Self>
bool OfferInterface(Self* self, REFIID riid, void** object) {
  if (riid != Iface::Uuid()) return false;
  *object = static_cast<Iface*>(self);
  return true;
}

}  // namespace ole_detail

// A reference-counted object implementing the interfaces Ifaces (the first one also
// gives its IUnknown identity). QueryInterface answers IID_IUnknown and each
// interface's Uuid(); a derived class adds more (a base interface reached through
// one of them, say) by overriding QueryInterfaceExtra. The count starts at 0: the
// creator takes the first reference, usually through a ComPtr. The object deletes
// itself when the count drops to 0. Counting is atomic.
template <class... Ifaces>
class ComObject : public Ifaces... {
  using First = std::tuple_element_t<0, std::tuple<Ifaces...>>;

 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!(ole_detail::OfferInterface<Ifaces>(this, riid, object) || ...)) {
      *object = QueryInterfaceExtra(riid);
      if (*object == nullptr) return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // The object's identity, without counting.
  IUnknown* Identity() noexcept { return static_cast<IUnknown*>(static_cast<First*>(this)); }
  ULONG RefCount() const noexcept { return refs_.load(std::memory_order_relaxed); }

 protected:
  virtual ~ComObject() = default;
  // Further interfaces: the pointer to hand out (not yet counted), or null.
  virtual void* QueryInterfaceExtra(REFIID /*riid*/) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{0};
};

// Makes a ComObject-derived object and takes the first reference.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}
