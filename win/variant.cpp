#include "win/variant.h"

#include <climits>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "win/text.h"

namespace win {
namespace {

// ---- Identity: one wrapper per COM object and wrapper type ----

using IdentityKey = std::pair<std::type_index, std::uintptr_t>;

struct IdentityRegistry {
  std::mutex mutex;
  std::map<IdentityKey, std::weak_ptr<ComObject>> wrappers;
};

// Never destroyed: wrappers that the host still holds at unload time
// unregister themselves after static destruction.
IdentityRegistry& Registry() {
  static auto* registry = new IdentityRegistry;
  return *registry;
}

ComPtr<IUnknown> IdentityOf(IDispatch* dispatch) {
  ComPtr<IUnknown> identity;
  if (FAILED(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Put())))) {
    identity = ComPtr<IUnknown>(dispatch);
  }
  return identity;
}

std::uintptr_t Address(const ComPtr<IUnknown>& identity) {
  return reinterpret_cast<std::uintptr_t>(identity.Get());
}

// ---- VARIANT → vb::Variant ----

vb::Variant Integer(long long value) {
  if (value < LONG_MIN || value > LONG_MAX) return static_cast<double>(value);
  return static_cast<long>(value);
}

vb::Variant Unsigned(unsigned long long value) {
  if (value > static_cast<unsigned long long>(LONG_MAX)) return static_cast<double>(value);
  return static_cast<long>(value);
}

vb::Variant ObjectOf(const VARIANT& value) {
  const ComPtr<IDispatch> dispatch = DispatchOf(value);
  if (!dispatch) return vb::Variant::Object(nullptr);
  return vb::Variant::Object(Wrap<DispatchObject>(dispatch.Get(), [](ComPtr<IDispatch> held) {
    return std::make_shared<DispatchObject>(std::move(held));
  }));
}

bool IsArrayElementType(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
    case VT_ERROR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_VARIANT:
      return true;
    default:
      return false;
  }
}

vb::Variant ArrayOf(SAFEARRAY* array, VARTYPE elementType) {
  if (array == nullptr || SafeArrayGetDim(array) != 1 || !IsArrayElementType(elementType)) {
    vb::Raise(vb::kTypeMismatch);
  }
  LONG lower = 0;
  LONG upper = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    vb::Raise(vb::kTypeMismatch);
  }
  std::vector<vb::Variant> items;
  items.reserve(upper >= lower ? static_cast<std::size_t>(upper - lower) + 1 : 0);
  for (LONG index = lower; index <= upper; ++index) {
    // Each element is copied into a VARIANT of its own type, which owns it.
    UniqueVariant element;
    VARIANT& slot = element.Get();
    HRESULT hr = S_OK;
    if (elementType == VT_VARIANT) {
      hr = SafeArrayGetElement(array, &index, element.Put());
    } else if (elementType == VT_DECIMAL) {
      // A DECIMAL covers the whole VARIANT, its type field included.
      hr = SafeArrayGetElement(array, &index, &V_DECIMAL(&slot));
      if (SUCCEEDED(hr)) V_VT(&slot) = VT_DECIMAL;
    } else {
      hr = SafeArrayGetElement(array, &index, &V_UI1(&slot));
      if (SUCCEEDED(hr)) V_VT(&slot) = elementType;
    }
    if (FAILED(hr)) vb::Raise(vb::kTypeMismatch);
    items.push_back(FromVariant(element.Get()));
  }
  return vb::Variant::Array(std::move(items), lower);
}

// ---- vb::Variant → VARIANT ----

HRESULT ErrorScode(long code) {
  // Negative codes are HRESULTs already (a missing argument).
  return code < 0 ? code : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code & 0xFFFF);
}

SafeArray SafeArrayOf(const vb::Variant& value) {
  const auto& items = value.Items();
  SafeArray array =
      SafeArray::Attach(SafeArrayCreateVector(VT_VARIANT, value.LBound(), static_cast<ULONG>(items.size())));
  if (array.Get() == nullptr) vb::Raise(vb::kOutOfMemory);
  LONG index = value.LBound();
  for (const vb::Variant& item : items) {
    UniqueVariant element = ToVariant(item);
    if (FAILED(SafeArrayPutElement(array.Get(), &index, &element.Get()))) vb::Raise(vb::kOutOfMemory);
    ++index;
  }
  return array;
}

}  // namespace

// ---- Identity ----

ComObject::~ComObject() {
  if (!identity_) return;
  IdentityRegistry& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  const auto found = registry.wrappers.find({type_, Address(identity_)});
  // The entry may already name a newer wrapper of the same object.
  if (found != registry.wrappers.end() && found->second.expired()) registry.wrappers.erase(found);
}

std::shared_ptr<ComObject> WrapOnce(
    const std::type_index& type, IDispatch* dispatch,
    const std::function<std::shared_ptr<ComObject>(ComPtr<IDispatch>)>& make) {
  if (dispatch == nullptr) return nullptr;
  ComPtr<IUnknown> identity = IdentityOf(dispatch);
  const IdentityKey key{type, Address(identity)};
  IdentityRegistry& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  auto& slot = registry.wrappers[key];
  if (auto existing = slot.lock()) return existing;
  auto wrapper = make(ComPtr<IDispatch>(dispatch));
  wrapper->identity_ = std::move(identity);
  wrapper->type_ = type;
  slot = wrapper;
  return wrapper;
}

// ---- Conversions ----

vb::Variant FromVariant(const VARIANT& value) {
  const VARTYPE type = V_VT(&value);
  if ((type & VT_BYREF) != 0) {
    UniqueVariant copy;
    // VariantCopyInd only reads its source; its declaration is not const.
    if (FAILED(VariantCopyInd(copy.Put(), const_cast<VARIANT*>(&value)))) vb::Raise(vb::kTypeMismatch);
    return FromVariant(copy.Get());
  }
  if ((type & VT_ARRAY) != 0) return ArrayOf(V_ARRAY(&value), static_cast<VARTYPE>(type & VT_TYPEMASK));
  switch (type) {
    case VT_EMPTY:
      return {};
    case VT_NULL:
      return vb::Variant::Null();
    case VT_I1:
      return static_cast<long>(V_I1(&value));
    case VT_I2:
      return static_cast<long>(V_I2(&value));
    case VT_I4:
      return static_cast<long>(V_I4(&value));
    case VT_INT:
      return static_cast<long>(V_INT(&value));
    case VT_I8:
      return Integer(V_I8(&value));
    case VT_UI1:
      return static_cast<long>(V_UI1(&value));
    case VT_UI2:
      return static_cast<long>(V_UI2(&value));
    case VT_UI4:
      return Unsigned(V_UI4(&value));
    case VT_UINT:
      return Unsigned(V_UINT(&value));
    case VT_UI8:
      return Unsigned(V_UI8(&value));
    case VT_R4:
      return static_cast<double>(V_R4(&value));
    case VT_R8:
      return V_R8(&value);
    case VT_CY:
    case VT_DECIMAL: {
      double number = 0;
      DECIMAL decimal = V_DECIMAL(&value);
      const HRESULT hr = type == VT_CY ? VarR8FromCy(V_CY(&value), &number) : VarR8FromDec(&decimal, &number);
      if (FAILED(hr)) vb::Raise(vb::kOverflow);
      return number;
    }
    case VT_DATE:
      return vb::Variant::Date(V_DATE(&value));
    case VT_BSTR:
      return FromBstr(V_BSTR(&value));
    case VT_BOOL:
      return V_BOOL(&value) != VARIANT_FALSE;
    case VT_ERROR: {
      const SCODE scode = V_ERROR(&value);
      const bool cellError = HRESULT_FACILITY(scode) == FACILITY_CONTROL && FAILED(scode);
      return vb::Variant::ErrorValue(cellError ? HRESULT_CODE(scode) : scode);
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return ObjectOf(value);
    default:
      // VB's other automation types (records, pointers) are not read.
      vb::Raise(vb::kTypeMismatch);
  }
}

UniqueVariant ToVariant(const vb::Variant& value) {
  UniqueVariant result;
  VARIANT& v = result.Get();
  switch (value.Type()) {
    case vb::VarType::Empty:
      break;
    case vb::VarType::Null:
      V_VT(&v) = VT_NULL;
      break;
    case vb::VarType::Long:
      V_I4(&v) = value.AsLong();
      V_VT(&v) = VT_I4;
      break;
    case vb::VarType::Double:
      V_R8(&v) = value.AsDouble();
      V_VT(&v) = VT_R8;
      break;
    case vb::VarType::Date:
      V_DATE(&v) = value.AsDouble();
      V_VT(&v) = VT_DATE;
      break;
    case vb::VarType::String:
      V_BSTR(&v) = ToBstr(value.AsString()).Detach();
      V_VT(&v) = VT_BSTR;
      break;
    case vb::VarType::Boolean:
      V_BOOL(&v) = value.AsBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
      V_VT(&v) = VT_BOOL;
      break;
    case vb::VarType::Error:
      V_ERROR(&v) = ErrorScode(value.AsErrorCode());
      V_VT(&v) = VT_ERROR;
      break;
    case vb::VarType::Object: {
      const auto& object = value.AsObject();
      IDispatch* dispatch = nullptr;
      if (object) {
        const auto* held = dynamic_cast<const ComObject*>(object.get());
        if (held == nullptr) vb::Raise(vb::kTypeMismatch);
        dispatch = held->Dispatch();
      }
      V_DISPATCH(&v) = ComPtr<IDispatch>(dispatch).Detach();
      V_VT(&v) = VT_DISPATCH;
      break;
    }
    case vb::VarType::Array:
      V_ARRAY(&v) = SafeArrayOf(value).Detach();
      V_VT(&v) = VT_ARRAY | VT_VARIANT;
      break;
  }
  return result;
}

ComPtr<IDispatch> DispatchOf(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY:
      return {};
    case VT_DISPATCH:
      return ComPtr<IDispatch>(V_DISPATCH(&value));
    case VT_DISPATCH | VT_BYREF:
      return ComPtr<IDispatch>(V_DISPATCHREF(&value) != nullptr ? *V_DISPATCHREF(&value) : nullptr);
    case VT_VARIANT | VT_BYREF:
      if (V_VARIANTREF(&value) != nullptr) return DispatchOf(*V_VARIANTREF(&value));
      break;
    case VT_UNKNOWN:
    case VT_UNKNOWN | VT_BYREF: {
      IUnknown* unknown = V_VT(&value) == VT_UNKNOWN
                              ? V_UNKNOWN(&value)
                              : (V_UNKNOWNREF(&value) != nullptr ? *V_UNKNOWNREF(&value) : nullptr);
      if (unknown == nullptr) return {};
      ComPtr<IDispatch> dispatch;
      if (SUCCEEDED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Put())))) {
        return dispatch;
      }
      break;
    }
    default:
      break;
  }
  vb::Raise(vb::kTypeMismatch);
}

vb::Variant MissingArgument() { return vb::Variant::ErrorValue(DISP_E_PARAMNOTFOUND); }

bool IsMissingArgument(const vb::Variant& value) {
  return value.Type() == vb::VarType::Error && value.AsErrorCode() == DISP_E_PARAMNOTFOUND;
}

}  // namespace win
