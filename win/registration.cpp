// DllRegisterServer and DllUnregisterServer: the class, its ProgID and the
// type library, under HKEY_CLASSES_ROOT. The class's values are those of
// class_registration.inc, the table the installer's registry entries are
// generated from. Unregistering removes every key that registering wrote. The type library also describes an
// interface of the host's library (ComplementInfo, the host's IID): its key, when another library registered
// it, is left as it was by both. A key the user may not write fails the call with E_ACCESSDENIED.
#include <olectl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "R58267.h"
#include "win/com.h"
#include "win/server.h"
#include "win/system.h"

namespace win {
namespace {

#define R58267_PROGID(progid) constexpr const wchar_t* kProgId = L"" progid;
#include "win/class_registration.inc"

// One text value of the class's registration; an empty name is the key's
// default value.
struct ClassValue {
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* data;
};
constexpr ClassValue kClassValues[] = {
#define R58267_VALUE(key, name, data) {L"" key, L"" name, L"" data},
#include "win/class_registration.inc"
};

// The interfaces of the host's library that our type library describes.
const IID* const kHostInterfaces[] = {
#define R58267_HOST_INTERFACE(name) &IID_##name,
#include "win/class_registration.inc"
};

// A key or value of the table with its placeholders replaced.
std::wstring Expand(std::wstring text, const std::wstring& path) {
  const std::pair<const wchar_t*, std::wstring> names[] = {
      {L"$CLSID", GuidText(CLSID_Module)},
      {L"$LIBID", GuidText(LIBID_R58267)},
      {L"$PROGID", kProgId},
      {L"$PATH", path},
  };
  for (const auto& [name, value] : names) {
    const std::wstring placeholder = name;
    for (std::size_t at = text.find(placeholder); at != std::wstring::npos;
         at = text.find(placeholder, at + value.size())) {
      text.replace(at, placeholder.size(), value);
    }
  }
  return text;
}

// The table's topmost keys: deleting their trees removes every value the
// table wrote.
std::vector<std::wstring> ClassRoots() {
  std::vector<std::wstring> roots;
  for (const ClassValue& value : kClassValues) {
    const std::wstring key = Expand(value.key, {});
    bool below = false;
    for (const ClassValue& other : kClassValues) {
      const std::wstring parent = Expand(other.key, {}) + L"\\";
      below = below || key.compare(0, parent.size(), parent) == 0;
    }
    if (!below && std::find(roots.begin(), roots.end(), key) == roots.end()) roots.push_back(key);
  }
  return roots;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_Module); }

// The keys of the interfaces we describe but do not own, as they stand,
// when they belong to another type library.
std::vector<ClassesKey> OthersInterfaceKeys() {
  std::vector<ClassesKey> keys;
  for (const IID* iid : kHostInterfaces) {
    const std::wstring path = L"Interface\\" + GuidText(*iid);
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
    for (const ClassValue& value : kClassValues) {
      if (const HRESULT hr = WriteClassesValue(Expand(value.key, path), value.name, Expand(value.data, path));
          FAILED(hr)) {
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
    HRESULT classKeys = S_OK;
    for (const std::wstring& root : ClassRoots()) {
      if (const HRESULT hr = DeleteClassesTree(root); FAILED(hr) && SUCCEEDED(classKeys)) classKeys = hr;
    }
    if (FAILED(classKeys)) return Failure(classKeys, SELFREG_E_CLASS);
    if (FAILED(library) && library != TYPE_E_REGISTRYACCESS && library != TYPE_E_LIBNOTREGISTERED) {
      return SELFREG_E_TYPELIB;
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace win
