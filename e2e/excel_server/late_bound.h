// The IUnknown and type-information part of an IDispatch object that
// clients bind to late, by name: the server's objects have no type library.
#pragma once

#include "win/com.h"

namespace e2e {

class LateBound : public IDispatch {
 public:
  LateBound() = default;
  LateBound(const LateBound&) = delete;
  LateBound& operator=(const LateBound&) = delete;
  virtual ~LateBound() = default;

  // IUnknown and IDispatch, and `extra` when not null (an interface that
  // only this process knows, to recognise its own objects).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IDispatch && (extra_ == nullptr || iid != *extra_)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT /*index*/, LCID /*locale*/, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }

 protected:
  explicit LateBound(const IID* extra) : extra_(extra) {}

 private:
  const IID* extra_ = nullptr;
  long references_ = 1;
};

}  // namespace e2e
