// Small Win32 helpers shared by the library and the test automation
// server: a module's file path, a GUID's text, keys under
// HKEY_CLASSES_ROOT.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win/com.h"

namespace win {

// The full path of a module's file (the program's for null), however long;
// empty when it cannot be read.
std::wstring ModulePath(HMODULE module);

// "{XXXXXXXX-XXXX-…}", as the registry writes class identifiers.
std::wstring GuidText(REFGUID guid);

// Creates HKEY_CLASSES_ROOT\path with its default value and named text
// values.
HRESULT WriteClassesKey(const std::wstring& path, const std::wstring& value,
                        std::initializer_list<std::pair<const wchar_t*, std::wstring>> named = {});
// Creates HKEY_CLASSES_ROOT\path (as needed) and sets one text value; an
// empty name is the key's default value.
HRESULT WriteClassesValue(const std::wstring& path, const std::wstring& name, const std::wstring& value);
// Deletes HKEY_CLASSES_ROOT\path and everything below it; a key that is
// not there is no error.
HRESULT DeleteClassesTree(const std::wstring& path);

// A key under HKEY_CLASSES_ROOT as it stands, values and subkeys, to be
// put back after a call that rewrites or deletes it.
struct ClassesKey {
  struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
  };
  std::wstring path;
  std::vector<Value> values;
  std::vector<ClassesKey> subkeys;
};
// The key at `path`; nullopt when it is not there or cannot be read whole.
std::optional<ClassesKey> ReadClassesKey(const std::wstring& path);
// Makes the key at `key.path` exactly `key` again.
HRESULT RestoreClassesKey(const ClassesKey& key);
// The default value of HKEY_CLASSES_ROOT\path as text; "" when absent.
std::wstring ClassesText(const std::wstring& path);

}  // namespace win
