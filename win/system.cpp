#include "win/system.h"

#include <shlwapi.h>

#include <limits>

namespace win {
namespace {

// Owns an open registry key.
class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  // Creates (or opens) HKEY_CLASSES_ROOT\path.
  LSTATUS Create(const std::wstring& path) {
    return RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                           nullptr, &key_, nullptr);
  }
  // Sets a text value; the default value when `name` is null.
  LSTATUS Set(const wchar_t* name, const std::wstring& value) const {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::wstring ModulePath(HMODULE module) {
  // A cut name fills the whole buffer: grow it until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    if (path.size() > std::numeric_limits<SHORT>::max()) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

HRESULT WriteClassesKey(const std::wstring& path, const std::wstring& value,
                        std::initializer_list<std::pair<const wchar_t*, std::wstring>> named) {
  RegistryKey key;
  LSTATUS status = key.Create(path);
  if (status == ERROR_SUCCESS) status = key.Set(nullptr, value);
  for (const auto& [name, text] : named) {
    if (status == ERROR_SUCCESS) status = key.Set(name, text);
  }
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteClassesTree(const std::wstring& path) {
  // shlwapi's recursive delete: advapi32's RegDeleteTreeW is Vista's, and
  // the x86 library must load on XP.
  const LSTATUS status = SHDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace win
