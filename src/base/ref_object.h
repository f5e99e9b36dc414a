// Reference-counted base of shared objects and the intrusive owning pointer.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

namespace viv {

// Created with a count of 1. The release that brings the count to 0 calls the
// release hook (where an object drops what it owns, while it is still whole) and
// then destroys the object.
class TRefObject {
 public:
  TRefObject() = default;
  TRefObject(const TRefObject&) = delete;
  TRefObject& operator=(const TRefObject&) = delete;

  void AddRef() const noexcept { fRefCount.fetch_add(1, std::memory_order_relaxed); }
  void Release() const noexcept {
    if (fRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      auto* self = const_cast<TRefObject*>(this);
      self->Cleanup();
      delete self;
    }
  }
  int RefCount() const noexcept { return fRefCount.load(std::memory_order_relaxed); }

 protected:
  virtual ~TRefObject() = default;
  // The release hook.
  virtual void Cleanup() {}

 private:
  mutable std::atomic<int> fRefCount{1};
};

// Intrusive owning pointer. Adopt() takes over the reference a creator handed
// out; copying adds a reference.
template <class T>
class TRef {
 public:
  TRef() noexcept = default;
  TRef(std::nullptr_t) noexcept {}
  // Shares: adds a reference to an object someone else owns.
  explicit TRef(T* object) noexcept : fObject(object) {
    if (fObject) fObject->AddRef();
  }
  TRef(const TRef& other) noexcept : TRef(other.fObject) {}
  TRef(TRef&& other) noexcept : fObject(std::exchange(other.fObject, nullptr)) {}
  template <class U>
  TRef(const TRef<U>& other) noexcept : TRef(static_cast<T*>(other.Get())) {}
  template <class U>
  TRef(TRef<U>&& other) noexcept : fObject(other.Detach()) {}
  ~TRef() {
    if (fObject) fObject->Release();
  }

  TRef& operator=(TRef other) noexcept {
    std::swap(fObject, other.fObject);
    return *this;
  }

  static TRef Adopt(T* object) noexcept {
    TRef r;
    r.fObject = object;
    return r;
  }
  T* Detach() noexcept { return std::exchange(fObject, nullptr); }
  void Reset() noexcept { TRef().Swap(*this); }
  void Swap(TRef& other) noexcept { std::swap(fObject, other.fObject); }

  T* Get() const noexcept { return fObject; }
  T* operator->() const noexcept { return fObject; }
  T& operator*() const noexcept { return *fObject; }
  explicit operator bool() const noexcept { return fObject != nullptr; }

  friend bool operator==(const TRef& a, const TRef& b) noexcept { return a.fObject == b.fObject; }
  friend bool operator==(const TRef& a, std::nullptr_t) noexcept { return a.fObject == nullptr; }

 private:
  T* fObject = nullptr;
};

// The one place objects are allocated: the new object's first reference goes
// straight into the returned pointer.
template <class T, class... Args>
TRef<T> MakeRef(Args&&... args) {
  return TRef<T>::Adopt(new T(std::forward<Args>(args)...));
}

// Downcast that keeps the reference when the object has the wanted class.
template <class T, class U>
TRef<T> DynamicRefCast(const TRef<U>& r) {
  return TRef<T>(dynamic_cast<T*>(r.Get()));
}

}  // namespace viv
