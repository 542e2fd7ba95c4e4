#include "win/server.h"

#include <ocidl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "R58267.h"
#include "framework/listes.h"
#include "module/module.h"
#include "win/boundary.h"
#include "win/busy.h"
#include "win/dispatch.h"
#include "win/excel_binding.h"
#include "win/platform.h"
#include "win/text.h"

namespace win {
namespace {

HMODULE gModule = nullptr;
// Live objects plus class-factory locks: the DLL may unload at zero.
std::atomic<long> gReferences{0};

// IUnknown, IDispatch over the type information of `Interface`, and
// ISupportErrorInfo, for a dual interface implemented by `Derived`.
template <class Interface>
class DualObject : public Interface, public ISupportErrorInfo {
 public:
  DualObject(const DualObject&) = delete;
  DualObject& operator=(const DualObject&) = delete;

  // ---- IUnknown ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_ISupportErrorInfo) {
      *object = static_cast<ISupportErrorInfo*>(this);
    } else if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface) || IsAlso(iid)) {
      *object = static_cast<Interface*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // ---- IDispatch ----
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = typeInfo_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID /*locale*/, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!typeInfo_) return E_NOTIMPL;
    *info = ComPtr<ITypeInfo>(typeInfo_).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID /*locale*/,
                                          DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (!typeInfo_) return E_NOTIMPL;
    return DispGetIDsOfNames(typeInfo_.Get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID /*locale*/, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!typeInfo_) return E_NOTIMPL;
    return InvokeTyped(static_cast<Interface*>(this), typeInfo_.Get(), member, flags, params, result,
                       exception, argumentError);
  }

  // ---- ISupportErrorInfo ----
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(Interface) ? S_OK : S_FALSE;
  }

 protected:
  DualObject() : typeInfo_(LoadTypeInfo(gModule, __uuidof(Interface))) { ++gReferences; }
  virtual ~DualObject() { --gReferences; }
  // Further interfaces answered by the same vtable.
  virtual bool IsAlso(REFIID /*iid*/) const { return false; }

  // Runs a member's body at the boundary, errors reported for `Interface`.
  // The object holds a reference on itself meanwhile: a member that pumps
  // messages may see the host release its last one (a form unloaded), and
  // must not go on in freed memory.
  template <class Body>
  HRESULT Member(Body&& body) noexcept {
    AddRef();
    const HRESULT result = Boundary(__uuidof(Interface), std::forward<Body>(body));
    Release();
    return result;
  }

 private:
  std::atomic<long> references_{1};
  ComPtr<ITypeInfo> typeInfo_;
};

void RequirePointer(const void* pointer) {
  if (pointer == nullptr)
    vb::Raise(static_cast<long>(E_POINTER), "Invalid pointer", std::string(vb::kRuntimeSource));
}

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The host's complementary-information list over the exercise's list.
class ComplementObject final : public DualObject<::ComplementInfo> {
 public:
  explicit ComplementObject(std::shared_ptr<r58267::ComplementInfo> list) : list_(std::move(list)) {}

  HRESULT STDMETHODCALLTYPE add(BSTR soChaine, VARIANT /*unused*/) override {
    return Member([&] { list_->add(FromBstr(soChaine)); });
  }
  // Every [out] is set before the work: a failing member leaves it empty.
  HRESULT STDMETHODCALLTYPE count(LONG* result) override {
    return Member([&] {
      RequirePointer(result);
      *result = 0;
      *result = list_->count();
    });
  }
  HRESULT STDMETHODCALLTYPE item(LONG index, BSTR* result) override {
    return Member([&] {
      RequirePointer(result);
      *result = nullptr;
      *result = ToBstr(list_->item(index)).Detach();
    });
  }

 private:
  std::shared_ptr<r58267::ComplementInfo> list_;
};

// The host's in/out Application and window handle: read on the way in,
// written back on the way out whether the member succeeded or failed, as a
// VB ByRef argument is.
class InOutExcel {
 public:
  InOutExcel(IDispatch** application, LONG* handle) : applicationSlot_(application), handleSlot_(handle) {
    RequirePointer(application);
    RequirePointer(handle);
    application_ = ApplicationFromDispatch(*application);
    handle_ = static_cast<api::Hwnd>(*handle);
  }
  InOutExcel(const InOutExcel&) = delete;
  InOutExcel& operator=(const InOutExcel&) = delete;
  ~InOutExcel() {
    *handleSlot_ = handle_;
    ComPtr<IDispatch> dispatch;
    try {
      dispatch = DispatchOfApplication(application_);
    } catch (...) {
      return;  // only an Application of another binding, which cannot reach here
    }
    const auto previous = ComPtr<IDispatch>::Attach(*applicationSlot_);
    *applicationSlot_ = dispatch.Detach();
  }
  std::shared_ptr<excel::Application>& Application() { return application_; }
  api::Hwnd& Handle() { return handle_; }

 private:
  IDispatch** applicationSlot_;
  LONG* handleSlot_;
  std::shared_ptr<excel::Application> application_;
  api::Hwnd handle_ = 0;
};

// The object the host creates: AbstractModule over the core's Module. It
// names its class "Module" (IProvideClassInfo) to clients that ask, as VB's
// own objects do.
class ModuleObject final : public DualObject<::AbstractModule>, public IProvideClassInfo {
 public:
  ModuleObject() : module_(std::make_shared<Win32Platform>()) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object != nullptr && iid == IID_IProvideClassInfo) {
      *object = static_cast<IProvideClassInfo*>(this);
      AddRef();
      return S_OK;
    }
    return DualObject::QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DualObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DualObject::Release(); }
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = LoadTypeInfo(gModule, CLSID_Module).Detach();
    return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_BravoNuance(VARIANT_BOOL* result) override {
    return Member([&] {
      RequirePointer(result);
      *result = VARIANT_FALSE;
      *result = ToVariantBool(module_.BravoNuance());
    });
  }
  HRESULT STDMETHODCALLTYPE get_Complement(::ComplementInfo** result) override {
    return Member([&] {
      RequirePointer(result);
      *result = nullptr;
      std::shared_ptr<r58267::ComplementInfo> list = module_.Complement();
      if (!list) return;  // Nothing, as the exercise holds it before any check
      *result = new ComplementObject(std::move(list));
    });
  }
  HRESULT STDMETHODCALLTYPE get_CauseErreur(BSTR* result) override {
    return Member([&] {
      RequirePointer(result);
      *result = nullptr;
      *result = ToBstr(module_.CauseErreur()).Detach();
    });
  }
  HRESULT STDMETHODCALLTYPE get_ErreurGenerale(VARIANT_BOOL* result) override {
    return Member([&] {
      RequirePointer(result);
      *result = VARIANT_FALSE;
      *result = ToVariantBool(module_.ErreurGenerale());
    });
  }
  HRESULT STDMETHODCALLTYPE Fermer() override {
    return Work([&] { module_.Fermer(); });
  }
  HRESULT STDMETHODCALLTYPE InitQuestion(LONG ilQuestion, BSTR isPathDossier, IDispatch** ioApplication,
                                         LONG* ioHandleLogiciel, BSTR isPathModele) override {
    return Work([&] {
      InOutExcel excel(ioApplication, ioHandleLogiciel);
      std::optional<std::string> modele;
      if (isPathModele != nullptr) modele = FromBstr(isPathModele);
      module_.InitQuestion(ilQuestion, FromBstr(isPathDossier), excel.Application(), excel.Handle(), modele);
    });
  }
  HRESULT STDMETHODCALLTYPE Quitter(IDispatch** ioApplication, LONG* ioHandleLogiciel) override {
    return Work([&] {
      InOutExcel excel(ioApplication, ioHandleLogiciel);
      module_.Quitter(excel.Application(), excel.Handle());
    });
  }
  HRESULT STDMETHODCALLTYPE TestePoint() override {
    return Work([&] { module_.TestePoint(); });
  }

 protected:
  // The class interface _Module has no members of its own: it is answered
  // by the same vtable, so that a late-binding client that holds the
  // object's default interface reaches AbstractModule's members.
  bool IsAlso(REFIID iid) const override { return iid == IID__Module; }

 private:
  // A member that works with Excel: its conversions follow the user's
  // regional settings as they stand when it starts, as VB's would, and it
  // waits a bounded time for a busy Excel.
  template <class Body>
  HRESULT Work(Body&& body) noexcept {
    return Member([&] {
      vb::SetCurrentLocale(UserLocale());
      const BusyScope busy;
      body();
    });
  }

  r58267::Module module_;
};

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // The factory is static: its own references keep the DLL loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++gReferences); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--gReferences); }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    HRESULT answer = S_OK;
    const HRESULT created = Boundary(IID_IClassFactory, [&] {
      const auto module = ComPtr<::AbstractModule>::Attach(new ModuleObject());
      answer = module->QueryInterface(iid, object);
    });
    return FAILED(created) ? created : answer;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++gReferences;
    } else {
      --gReferences;
    }
    return S_OK;
  }
};

ClassFactory gFactory;

}  // namespace

void SetServerModule(HMODULE module) { gModule = module; }
HMODULE ServerModule() { return gModule; }
long ServerReferences() noexcept { return gReferences; }

HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (classId != CLSID_Module) return CLASS_E_CLASSNOTAVAILABLE;
  return gFactory.QueryInterface(iid, object);
}

HRESULT CanUnloadNow() noexcept { return gReferences == 0 ? S_OK : S_FALSE; }

}  // namespace win
