// DllRegisterServer and DllUnregisterServer: the class, its ProgID and the
// type library, under HKEY_CLASSES_ROOT. Unregistering removes every key
// that registering wrote.
#include <olectl.h>

#include <string>

#include "R58267.h"
#include "win/com.h"
#include "win/server.h"

namespace win {
namespace {

constexpr const wchar_t* kProgId = L"R58267.Module";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_Module); }

// The DLL's full path.
std::wstring ServerPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(ServerModule(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

// Owns an open registry key.
class RegistryKey {
 public:
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  // Creates (or opens) HKEY_CLASSES_ROOT\path.
  static LSTATUS Create(const std::wstring& path, RegistryKey& key) {
    return RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                           nullptr, &key.key_, nullptr);
  }
  RegistryKey() = default;
  // Sets a text value; the default value when `name` is null.
  LSTATUS Set(const wchar_t* name, const std::wstring& value) const {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  HKEY key_ = nullptr;
};

// HKEY_CLASSES_ROOT\path with a default value and named values.
HRESULT WriteKey(const std::wstring& path, const std::wstring& value,
                 std::initializer_list<std::pair<const wchar_t*, std::wstring>> named = {}) {
  RegistryKey key;
  LSTATUS status = RegistryKey::Create(path, key);
  if (status == ERROR_SUCCESS) status = key.Set(nullptr, value);
  for (const auto& [name, text] : named) {
    if (status == ERROR_SUCCESS) status = key.Set(name, text);
  }
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(const std::wstring& path) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace

HRESULT RegisterServer() noexcept {
  try {
    const std::wstring path = ServerPath();
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring classKey = ClassKey();
    for (const HRESULT hr : {
             WriteKey(classKey, kProgId),
             WriteKey(classKey + L"\\InprocServer32", path, {{L"ThreadingModel", L"Apartment"}}),
             WriteKey(classKey + L"\\ProgID", kProgId),
             WriteKey(classKey + L"\\TypeLib", GuidText(LIBID_R58267)),
             WriteKey(classKey + L"\\VERSION", L"1.0"),
             WriteKey(kProgId, kProgId),
             WriteKey(std::wstring(kProgId) + L"\\CLSID", GuidText(CLSID_Module)),
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
    const HRESULT classKey = DeleteTree(ClassKey());
    const HRESULT progId = DeleteTree(kProgId);
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
