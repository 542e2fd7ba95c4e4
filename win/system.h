// Small Win32 helpers shared by the library and the test automation
// server: a module's file path, a GUID's text, keys under
// HKEY_CLASSES_ROOT.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

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
// Deletes HKEY_CLASSES_ROOT\path and everything below it; a key that is
// not there is no error.
HRESULT DeleteClassesTree(const std::wstring& path);

}  // namespace win
