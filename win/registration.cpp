// DllRegisterServer and DllUnregisterServer: the class, its ProgID and the
// type library, under HKEY_CLASSES_ROOT. Unregistering removes every key
// that registering wrote.
#include <olectl.h>

#include <string>

#include "R58267.h"
#include "win/com.h"
#include "win/server.h"
#include "win/system.h"

namespace win {
namespace {

constexpr const wchar_t* kProgId = L"R58267.Module";

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_Module); }

}  // namespace

HRESULT RegisterServer() noexcept {
  try {
    const std::wstring path = ModulePath(ServerModule());
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring classKey = ClassKey();
    for (const HRESULT hr : {
             WriteClassesKey(classKey, kProgId),
             WriteClassesKey(classKey + L"\\InprocServer32", path, {{L"ThreadingModel", L"Apartment"}}),
             WriteClassesKey(classKey + L"\\ProgID", kProgId),
             WriteClassesKey(classKey + L"\\TypeLib", GuidText(LIBID_R58267)),
             WriteClassesKey(classKey + L"\\VERSION", L"1.0"),
             WriteClassesKey(kProgId, kProgId),
             WriteClassesKey(std::wstring(kProgId) + L"\\CLSID", GuidText(CLSID_Module)),
         }) {
      if (FAILED(hr)) {
        UnregisterServer();
        return SELFREG_E_CLASS;
      }
    }
    // Registers the type library and its interfaces (with the automation
    // marshaler, so that the host may call across apartments).
    ComPtr<ITypeLib> library;
    const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Put());
    if (FAILED(hr)) {
      UnregisterServer();
      return SELFREG_E_TYPELIB;
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer() noexcept {
  try {
    const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const HRESULT library = UnRegisterTypeLib(LIBID_R58267, 1, 0, LOCALE_NEUTRAL, kind);
    const HRESULT classKey = DeleteClassesTree(ClassKey());
    const HRESULT progId = DeleteClassesTree(kProgId);
    if (FAILED(classKey) || FAILED(progId)) return SELFREG_E_CLASS;
    if (FAILED(library) && library != TYPE_E_REGISTRYACCESS && library != TYPE_E_LIBNOTREGISTERED) {
      return SELFREG_E_TYPELIB;
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace win
