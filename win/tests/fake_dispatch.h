// A scripted automation object for the binding's tests: DISPIDs come from
// one name list shared by every fake of a test; each GetIDsOfNames and
// Invoke is recorded; each member answers as the test tells it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/vb.h"
#include "win/com.h"
#include "win/text.h"
#include "win/variant.h"

namespace win::testing {

// The error number a call raises; 0 when it succeeds.
inline long ErrorOf(const std::function<void()>& call) {
  try {
    call();
    return 0;
  } catch (const vb::Error& error) {
    return error.number;
  }
}

inline std::string Describe(IDispatch* object) {
  return "Object " + std::to_string(reinterpret_cast<std::uintptr_t>(object));
}

// A value as a short text: "Long 5", "Array(1) {Double 0.08}", "Missing" …
inline std::string Describe(const vb::Variant& value) {
  switch (value.Type()) {
    case vb::VarType::Empty:
    case vb::VarType::Null:
      return vb::TypeName(value);
    case vb::VarType::Date:
      return "Date " + vb::NumberText(value.AsDouble());
    case vb::VarType::Error:
      return IsMissingArgument(value) ? "Missing" : "Error " + std::to_string(value.AsErrorCode());
    case vb::VarType::Object: {
      const auto* object = dynamic_cast<const ComObject*>(value.AsObject().get());
      return value.AsObject() ? Describe(object != nullptr ? object->Dispatch() : nullptr) : "Nothing";
    }
    case vb::VarType::Array: {
      std::string text = "Array(" + std::to_string(value.LBound()) + ") {";
      for (const auto& item : value.Items()) text += (text.back() == '{' ? "" : ", ") + Describe(item);
      return text + "}";
    }
    default:
      return vb::TypeName(value) + " " + vb::CStr(value);
  }
}

struct Invocation {
  std::string member;
  WORD flags = 0;
  LCID locale = 0;
  std::vector<vb::Variant> arguments;        // positional, first first; a put's value last
  std::vector<DISPID> namedIds;              // as passed
  std::map<std::string, vb::Variant> named;  // named arguments by name
  bool resultWanted = false;
};

struct CallLog {
  std::vector<std::string> names;                 // DISPID n is names[n - 1]
  std::vector<std::vector<std::string>> lookups;  // the names of each GetIDsOfNames
  std::vector<LCID> lookupLocales;
  std::vector<Invocation> invocations;

  DISPID IdOf(const std::string& name) {
    auto found = std::ranges::find(names, name);
    if (found == names.end()) found = names.insert(found, name);
    return static_cast<DISPID>(found - names.begin() + 1);
  }
  [[nodiscard]] std::string NameOf(DISPID id) const {
    return id >= 1 && static_cast<std::size_t>(id) <= names.size() ? names[static_cast<std::size_t>(id) - 1]
                                                                   : "?";
  }
  [[nodiscard]] const Invocation& Last() const { return invocations.back(); }
};

class FakeDispatch final : public IDispatch {
 public:
  // Fills the result, or fails (with the EXCEPINFO for DISP_E_EXCEPTION).
  using Answer = std::function<HRESULT(VARIANT* result, EXCEPINFO* exception)>;

  // `identity`: the object whose IUnknown this one gives, as a second
  // interface pointer of one COM object does; itself when null.
  static ComPtr<FakeDispatch> Make(std::shared_ptr<CallLog> log, IUnknown* identity = nullptr) {
    auto fake = ComPtr<FakeDispatch>::Attach(new FakeDispatch(std::move(log)));
    fake->identity_ = ComPtr<IUnknown>(identity);
    return fake;
  }
  void On(const std::string& member, Answer answer) { answers_[member] = std::move(answer); }
  void Returns(const std::string& member, const vb::Variant& value) {
    On(member, [value](VARIANT* result, EXCEPINFO*) {
      *result = ToVariant(value).Release();
      return S_OK;
    });
  }
  void ReturnsObject(const std::string& member, IDispatch* object) {
    Returns(member, vb::Variant::Object(object ? std::make_shared<DispatchObject>(ComPtr<IDispatch>(object))
                                               : nullptr));
  }
  [[nodiscard]] ULONG References() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) && identity_) return identity_->QueryInterface(iid, object);
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<IDispatch*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    std::vector<std::string> asked;
    for (UINT i = 0; i < count; ++i) {
      asked.push_back(Utf8(names[i]));
      ids[i] = log_->IdOf(asked.back());
    }
    log_->lookups.push_back(std::move(asked));
    log_->lookupLocales.push_back(locale);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    Invocation call{log_->NameOf(member), flags, locale, {}, {}, {}, result != nullptr};
    const UINT named = parameters->cNamedArgs;
    for (UINT k = parameters->cArgs; k > named; --k)
      call.arguments.push_back(FromVariant(parameters->rgvarg[k - 1]));
    for (UINT k = 0; k < named; ++k) {
      const DISPID id = parameters->rgdispidNamedArgs[k];
      call.namedIds.push_back(id);
      if (id == DISPID_PROPERTYPUT) {
        call.arguments.push_back(FromVariant(parameters->rgvarg[k]));
      } else {
        call.named[log_->NameOf(id)] = FromVariant(parameters->rgvarg[k]);
      }
    }
    log_->invocations.push_back(call);
    const auto answer = answers_.find(call.member);
    return answer == answers_.end() ? S_OK : answer->second(result, exception);
  }

 private:
  explicit FakeDispatch(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
  ~FakeDispatch() = default;

  std::shared_ptr<CallLog> log_;
  ComPtr<IUnknown> identity_;
  std::map<std::string, Answer> answers_;
  ULONG references_ = 1;
};

}  // namespace win::testing
