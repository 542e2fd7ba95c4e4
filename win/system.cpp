#include "win/system.h"

#include <shlwapi.h>

#include <algorithm>
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

HRESULT WriteClassesValue(const std::wstring& path, const std::wstring& name, const std::wstring& value) {
  RegistryKey key;
  LSTATUS status = key.Create(path);
  if (status == ERROR_SUCCESS) status = key.Set(name.empty() ? nullptr : name.c_str(), value);
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteClassesTree(const std::wstring& path) {
  // shlwapi's recursive delete: advapi32's RegDeleteTreeW is Vista's, and
  // the x86 library must load on XP.
  const LSTATUS status = SHDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

namespace {

std::optional<ClassesKey> ReadKey(HKEY parent, const std::wstring& name, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  ClassesKey result{path, {}, {}};
  bool whole = true;
  // Names are at most 16383 characters; values are read at their size.
  std::wstring buffer(16384, L'\0');
  for (DWORD i = 0; whole; ++i) {
    DWORD length = static_cast<DWORD>(buffer.size());
    DWORD type = REG_NONE;
    DWORD size = 0;
    const LSTATUS status = RegEnumValueW(key, i, buffer.data(), &length, nullptr, &type, nullptr, &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) {
      whole = false;
      break;
    }
    ClassesKey::Value value{buffer.substr(0, length), type, std::vector<BYTE>(size)};
    DWORD read = size;
    if (RegQueryValueExW(key, value.name.c_str(), nullptr, &type, value.data.data(), &read) !=
        ERROR_SUCCESS) {
      whole = false;
      break;
    }
    value.data.resize(read);
    result.values.push_back(std::move(value));
  }
  for (DWORD i = 0; whole; ++i) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LSTATUS status = RegEnumKeyExW(key, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    const std::wstring child = buffer.substr(0, length);
    std::optional<ClassesKey> sub =
        status == ERROR_SUCCESS ? ReadKey(key, child, path + L"\\" + child) : std::nullopt;
    if (!sub) whole = false;
    if (sub) result.subkeys.push_back(std::move(*sub));
  }
  RegCloseKey(key);
  if (!whole) return std::nullopt;
  return result;
}

LSTATUS WriteKey(const ClassesKey& saved) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, saved.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  for (const ClassesKey::Value& value : saved.values) {
    status = RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                            value.data.data(), static_cast<DWORD>(value.data.size()));
    if (status != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  for (const ClassesKey& sub : saved.subkeys) {
    if (status == ERROR_SUCCESS) status = WriteKey(sub);
  }
  return status;
}

}  // namespace

std::optional<ClassesKey> ReadClassesKey(const std::wstring& path) {
  return ReadKey(HKEY_CLASSES_ROOT, path, path);
}

HRESULT RestoreClassesKey(const ClassesKey& key) {
  const HRESULT deleted = DeleteClassesTree(key.path);
  if (FAILED(deleted)) return deleted;
  return HRESULT_FROM_WIN32(WriteKey(key));
}

std::wstring ClassesText(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::wstring text;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    text.resize(size / sizeof(wchar_t));
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
      text.clear();
    text.resize(std::min<std::size_t>(text.size(), size / sizeof(wchar_t)));
  }
  RegCloseKey(key);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace win
