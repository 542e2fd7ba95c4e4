// Owners of COM resources: an interface pointer, a BSTR, a VARIANT, a
// SAFEARRAY, a block of VARIANT arguments, an EXCEPINFO's texts. Each
// resource is owned from the moment it exists; nothing outside these types
// calls Release, SysFreeString, VariantClear or SafeArrayDestroy.
#pragma once

// oleauto.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

namespace win {

// An owned interface pointer (one reference).
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a new reference of `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Adopts a pointer whose reference the caller hands over.
  static ComPtr Attach(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }
  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  // For out parameters: releases what is held and gives the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }
  [[nodiscard]] T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // QueryInterface; empty when the interface is not supported.
  template <class U>
  [[nodiscard]] ComPtr<U> As() const {
    ComPtr<U> result;
    if (p_ != nullptr) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.Put()));
    return result;
  }

 private:
  T* p_ = nullptr;
};

// An owned BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text, UINT length) : s_(SysAllocStringLen(text, length)) {}
  Bstr(const Bstr& other) : s_(other.s_ ? SysAllocStringLen(other.s_, SysStringLen(other.s_)) : nullptr) {}
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr other) noexcept {
    std::swap(s_, other.s_);
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }
  static Bstr Attach(BSTR s) {
    Bstr result;
    result.s_ = s;
    return result;
  }
  BSTR* Put() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  BSTR Detach() { return std::exchange(s_, nullptr); }
  [[nodiscard]] BSTR Get() const { return s_; }
  [[nodiscard]] UINT Length() const { return SysStringLen(s_); }

 private:
  BSTR s_ = nullptr;
};

// An owned VARIANT, cleared when it goes.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&v_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  UniqueVariant(UniqueVariant&& other) noexcept : UniqueVariant() { std::swap(v_, other.v_); }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    std::swap(v_, other.v_);
    return *this;
  }
  ~UniqueVariant() { VariantClear(&v_); }

  // Clears what is held and gives the slot, for out parameters.
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  [[nodiscard]] const VARIANT& Get() const { return v_; }
  VARIANT& Get() { return v_; }
  // Hands the content over; this becomes empty.
  VARIANT Release() {
    VARIANT result = v_;
    VariantInit(&v_);
    return result;
  }

 private:
  VARIANT v_;
};

// An owned SAFEARRAY, destroyed (with its elements) when it goes.
class SafeArray {
 public:
  SafeArray() = default;
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SafeArray(SafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
  SafeArray& operator=(SafeArray&& other) noexcept {
    std::swap(a_, other.a_);
    return *this;
  }
  ~SafeArray() {
    if (a_ != nullptr) SafeArrayDestroy(a_);
  }
  static SafeArray Attach(SAFEARRAY* a) {
    SafeArray result;
    result.a_ = a;
    return result;
  }
  // Hands the array over, as a VARIANT takes it.
  SAFEARRAY* Detach() { return std::exchange(a_, nullptr); }
  [[nodiscard]] SAFEARRAY* Get() const { return a_; }

 private:
  SAFEARRAY* a_ = nullptr;
};

// Owned VARIANTs in one block, as DISPPARAMS takes its arguments; each is
// cleared when the block goes.
class VariantArray {
 public:
  explicit VariantArray(std::size_t count) : v_(count) {
    for (VARIANT& v : v_) VariantInit(&v);
  }
  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;
  ~VariantArray() {
    for (VARIANT& v : v_) VariantClear(&v);
  }
  // Takes over the content of `value`, which becomes empty.
  void Set(std::size_t index, UniqueVariant value) {
    VariantClear(&v_[index]);
    v_[index] = value.Release();
  }
  [[nodiscard]] VARIANT* Data() { return v_.empty() ? nullptr : v_.data(); }
  [[nodiscard]] std::size_t Size() const { return v_.size(); }

 private:
  std::vector<VARIANT> v_;
};

// An EXCEPINFO whose texts are freed when it goes; a reader that takes a
// text over sets its field to null.
class ExcepInfo {
 public:
  ExcepInfo() = default;
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
  ~ExcepInfo() {
    SysFreeString(e_.bstrSource);
    SysFreeString(e_.bstrDescription);
    SysFreeString(e_.bstrHelpFile);
  }
  EXCEPINFO* Get() { return &e_; }

 private:
  EXCEPINFO e_{};
};

// IUnknown of a heap object that implements the one interface
// `Interface`: a new object holds one reference, the last Release deletes
// it.
template <class Interface>
class SingleInterface : public Interface {
 public:
  SingleInterface(const SingleInterface&) = delete;
  SingleInterface& operator=(const SingleInterface&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != __uuidof(Interface)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  SingleInterface() = default;
  virtual ~SingleInterface() = default;

 private:
  std::atomic<ULONG> references_{1};
};

// Holds COM initialised on this thread for its lifetime.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  [[nodiscard]] HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace win
