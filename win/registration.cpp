// DllRegisterServer and DllUnregisterServer: the class, its ProgID and the
// type library, under HKEY_CLASSES_ROOT. Unregistering removes every key
// that registering wrote. The type library also describes an interface of
// the host's library (ComplementInfo, the host's IID): its key, when another
// library registered it, is left as it was by both. A key the user may not
// write fails the call with E_ACCESSDENIED.
#include <olectl.h>

#include <optional>
#include <string>
#include <vector>

#include "R58267.h"
#include "win/com.h"
#include "win/server.h"
#include "win/system.h"

namespace win {
namespace {

constexpr const wchar_t* kProgId = L"R58267.Module";

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_Module); }

// The keys of the interfaces we describe but do not own, as they stand,
// when they belong to another type library.
std::vector<ClassesKey> OthersInterfaceKeys() {
  std::vector<ClassesKey> keys;
  for (const IID& iid : {IID_ComplementInfo}) {
    const std::wstring path = L"Interface\\" + GuidText(iid);
    if (ClassesText(path + L"\\TypeLib") == GuidText(LIBID_R58267)) continue;
    if (std::optional<ClassesKey> key = ReadClassesKey(path)) keys.push_back(std::move(*key));
  }
  return keys;
}

// What a failed registry write reports: E_ACCESSDENIED when the user may
// not write there (regsvr32 then tells them to run it as administrator),
// else `otherwise`. The type library's registration says
// TYPE_E_REGISTRYACCESS for a key it may not write.
HRESULT Failure(HRESULT cause, HRESULT otherwise) {
  return cause == E_ACCESSDENIED || cause == TYPE_E_REGISTRYACCESS ? E_ACCESSDENIED : otherwise;
}

HRESULT Restore(const std::vector<ClassesKey>& keys) {
  HRESULT result = S_OK;
  for (const ClassesKey& key : keys) {
    if (const HRESULT hr = RestoreClassesKey(key); FAILED(hr)) result = hr;
  }
  return result;
}

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
        return Failure(hr, SELFREG_E_CLASS);
      }
    }
    // Registers the type library and its interfaces (with the automation
    // marshaler, so that the host may call across apartments).
    const std::vector<ClassesKey> others = OthersInterfaceKeys();
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Put());
    if (SUCCEEDED(hr)) hr = Restore(others);
    if (FAILED(hr)) {
      UnregisterServer();
      return Failure(hr, SELFREG_E_TYPELIB);
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer() noexcept {
  try {
    // The class registered by another copy of the library (a newer one
    // installed elsewhere) is that copy's: removing it, or the type library
    // that points at that copy, would break it.
    const std::wstring registered = ClassesText(ClassKey() + L"\\InprocServer32");
    if (!registered.empty() && lstrcmpiW(registered.c_str(), ModulePath(ServerModule()).c_str()) != 0)
      return S_OK;
    const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const std::vector<ClassesKey> others = OthersInterfaceKeys();
    const HRESULT library = UnRegisterTypeLib(LIBID_R58267, 1, 0, LOCALE_NEUTRAL, kind);
    if (const HRESULT hr = Restore(others); FAILED(hr)) return Failure(hr, SELFREG_E_TYPELIB);
    const HRESULT classKey = DeleteClassesTree(ClassKey());
    const HRESULT progId = DeleteClassesTree(kProgId);
    if (FAILED(classKey)) return Failure(classKey, SELFREG_E_CLASS);
    if (FAILED(progId)) return Failure(progId, SELFREG_E_CLASS);
    if (FAILED(library) && library != TYPE_E_REGISTRYACCESS && library != TYPE_E_LIBNOTREGISTERED) {
      return SELFREG_E_TYPELIB;
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace win
