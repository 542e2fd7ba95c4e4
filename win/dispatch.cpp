#include "win/dispatch.h"

#include <string>
#include <utility>
#include <vector>

#include "win/system.h"

namespace win {
namespace {

// Releases a FUNCDESC obtained from a type info.
class FuncDesc {
 public:
  FuncDesc(ITypeInfo* info, FUNCDESC* desc) : info_(info), desc_(desc) {}
  FuncDesc(const FuncDesc&) = delete;
  FuncDesc& operator=(const FuncDesc&) = delete;
  ~FuncDesc() {
    if (desc_ != nullptr) info_->ReleaseFuncDesc(desc_);
  }
  [[nodiscard]] const FUNCDESC* Get() const { return desc_; }

 private:
  ITypeInfo* info_;
  FUNCDESC* desc_;
};

// The description of `member` for an invocation of kind `flags`; none when
// the type has no such member.
FuncDesc FindFunction(ITypeInfo* info, DISPID member, WORD flags) {
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return {info, nullptr};
  const WORD count = attributes->cFuncs;
  info->ReleaseTypeAttr(attributes);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(i, &desc))) continue;
    if (desc->memid == member && (desc->invkind & flags) != 0) return {info, desc};
    info->ReleaseFuncDesc(desc);
  }
  return {info, nullptr};
}

// Stores `value` through the caller's typed reference `target` (any of the
// by-reference forms a script or VB passes a variable in), releasing what it
// held. A value the variable's type cannot hold leaves it as it was.
void StoreThrough(VARIANT& target, VARIANT& value) {
  if (V_BYREF(&target) == nullptr) return;
  const auto type = static_cast<VARTYPE>(V_VT(&target) & ~VT_BYREF);
  UniqueVariant converted;
  if (type == VT_VARIANT) {
    VariantClear(V_VARIANTREF(&target));
    VariantCopy(V_VARIANTREF(&target), &value);
    return;
  }
  if (FAILED(VariantChangeType(converted.Put(), &value, 0, type))) return;
  VARIANT& v = converted.Get();
  switch (type) {
    case VT_I1:
      *V_I1REF(&target) = V_I1(&v);
      break;
    case VT_UI1:
      *V_UI1REF(&target) = V_UI1(&v);
      break;
    case VT_I2:
      *V_I2REF(&target) = V_I2(&v);
      break;
    case VT_UI2:
      *V_UI2REF(&target) = V_UI2(&v);
      break;
    case VT_I4:
      *V_I4REF(&target) = V_I4(&v);
      break;
    case VT_UI4:
      *V_UI4REF(&target) = V_UI4(&v);
      break;
    case VT_INT:
      *V_INTREF(&target) = V_INT(&v);
      break;
    case VT_UINT:
      *V_UINTREF(&target) = V_UINT(&v);
      break;
    case VT_I8:
      *V_I8REF(&target) = V_I8(&v);
      break;
    case VT_UI8:
      *V_UI8REF(&target) = V_UI8(&v);
      break;
    case VT_R4:
      *V_R4REF(&target) = V_R4(&v);
      break;
    case VT_R8:
      *V_R8REF(&target) = V_R8(&v);
      break;
    case VT_CY:
      *V_CYREF(&target) = V_CY(&v);
      break;
    case VT_DATE:
      *V_DATEREF(&target) = V_DATE(&v);
      break;
    case VT_BOOL:
      *V_BOOLREF(&target) = V_BOOL(&v);
      break;
    case VT_ERROR:
      *V_ERRORREF(&target) = V_ERROR(&v);
      break;
    case VT_DECIMAL:
      *V_DECIMALREF(&target) = V_DECIMAL(&v);
      break;
    case VT_BSTR:
      SysFreeString(*V_BSTRREF(&target));
      *V_BSTRREF(&target) = std::exchange(V_BSTR(&v), nullptr);
      break;
    case VT_DISPATCH: {
      const auto previous = ComPtr<IDispatch>::Attach(*V_DISPATCHREF(&target));
      *V_DISPATCHREF(&target) = std::exchange(V_DISPATCH(&v), nullptr);
      break;
    }
    case VT_UNKNOWN: {
      const auto previous = ComPtr<IUnknown>::Attach(*V_UNKNOWNREF(&target));
      *V_UNKNOWNREF(&target) = std::exchange(V_UNKNOWN(&v), nullptr);
      break;
    }
    default:
      break;
  }
}

// One argument prepared for DispInvoke and, for a reference parameter, how
// its value goes back to the caller.
struct Argument {
  UniqueVariant value;           // a copy read through a variant reference
  UniqueVariant target;          // the typed value behind a reference parameter
  VARIANT* writeBack = nullptr;  // the caller's reference to update, if any
};

}  // namespace

ComPtr<ITypeInfo> LoadTypeInfo(HMODULE module, REFGUID iid) {
  const std::wstring path = ModulePath(module);
  if (path.empty()) return {};
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()))) return {};
  ComPtr<ITypeInfo> info;
  if (FAILED(library->GetTypeInfoOfGuid(iid, info.Put()))) return {};
  return info;
}

HRESULT InvokeTyped(void* object, ITypeInfo* info, DISPID member, WORD flags, DISPPARAMS* params,
                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept {
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  try {
    const FuncDesc function = FindFunction(info, member, flags);
    if (function.Get() == nullptr)
      return DispInvoke(object, info, member, flags, params, result, exception, argumentError);

    // Counts are checked here, not left to the system's DispInvoke (Wine's
    // lets extra arguments through to a member that takes none).
    const FUNCDESC& desc = *function.Get();
    if (params->cArgs > static_cast<UINT>(desc.cParams)) return DISP_E_BADPARAMCOUNT;
    UINT required = 0;
    for (SHORT p = 0; p < desc.cParams; ++p) {
      const USHORT parameterFlags = desc.lprgelemdescParam[p].paramdesc.wParamFlags;
      if ((parameterFlags & PARAMFLAG_FOPT) == 0 && (parameterFlags & PARAMFLAG_FRETVAL) == 0) ++required;
    }
    if (params->cNamedArgs == 0 && params->cArgs < required) return DISP_E_PARAMNOTFOUND;

    std::vector<Argument> arguments(params->cArgs);
    std::vector<VARIANT> prepared(params->rgvarg, params->rgvarg + params->cArgs);
    for (UINT i = 0; i < params->cArgs; ++i) {
      // Arguments come last to first; named ones name their parameter.
      const UINT parameter =
          i < params->cNamedArgs ? static_cast<UINT>(params->rgdispidNamedArgs[i]) : params->cArgs - 1 - i;
      if (parameter >= static_cast<UINT>(function.Get()->cParams)) continue;
      const ELEMDESC& element = function.Get()->lprgelemdescParam[parameter];
      VARIANT& given = params->rgvarg[i];
      const bool isReference = element.tdesc.vt == VT_PTR;
      if (!isReference) {
        // [in]: a variant passed by reference is read through.
        if (V_VT(&given) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&given) != nullptr) {
          VariantCopyInd(arguments[i].value.Put(), V_VARIANTREF(&given));
          prepared[i] = arguments[i].value.Get();
        }
        continue;
      }
      // [in, out]: the typed value the member takes, by reference.
      const VARTYPE type = element.tdesc.lptdesc->vt;
      if (V_VT(&given) == (VT_BYREF | type)) continue;  // already the right form
      Argument& argument = arguments[i];
      UniqueVariant source;
      VariantCopyInd(source.Put(), &given);
      if (V_VT(&source.Get()) == VT_EMPTY && type == VT_DISPATCH) {
        V_VT(argument.target.Put()) = VT_DISPATCH;  // an unset variable is Nothing
        V_DISPATCH(&argument.target.Get()) = nullptr;
      } else if (const HRESULT changed = VariantChangeType(argument.target.Put(), &source.Get(), 0, type);
                 FAILED(changed)) {
        if (argumentError != nullptr) *argumentError = i;
        return changed == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
      }
      if ((V_VT(&given) & VT_BYREF) != 0) argument.writeBack = &given;
      VARIANT reference;
      VariantInit(&reference);
      V_VT(&reference) = static_cast<VARTYPE>(VT_BYREF | type);
      V_BYREF(&reference) = &V_I8(&argument.target.Get());  // the start of the value union
      prepared[i] = reference;
    }

    DISPPARAMS call = *params;
    call.rgvarg = prepared.data();
    const HRESULT hr = DispInvoke(object, info, member, flags, &call, result, exception, argumentError);

    // Every reference is written back, success or not: a member may have
    // changed its in/out arguments before it failed.
    for (UINT i = 0; i < params->cArgs; ++i) {
      if (arguments[i].writeBack != nullptr) StoreThrough(*arguments[i].writeBack, arguments[i].target.Get());
    }
    return hr;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace win
