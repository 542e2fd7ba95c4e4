// Test support: the user's regional settings (the values under
// HKEY_CURRENT_USER "Control Panel\International", which GetLocaleInfoW
// reads for the user's locale) set for the life of an object, the previous
// values (or their absence) put back when it goes. Used by the platform's
// tests and by the test host's `check --decimal-separator`.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win::test_support {

class ScopedRegionalSettings {
 public:
  // "," gives the French form (decimal comma, day-first short dates), "."
  // the English one (month-first).
  explicit ScopedRegionalSettings(char separator) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    const bool comma = separator == ',';
    Set(L"sDecimal", comma ? L"," : L".");
    Set(L"iDate", comma ? L"1" : L"0");
    Set(L"sShortDate", comma ? L"dd/MM/yyyy" : L"M/d/yyyy");
  }
  ScopedRegionalSettings(const ScopedRegionalSettings&) = delete;
  ScopedRegionalSettings& operator=(const ScopedRegionalSettings&) = delete;
  ~ScopedRegionalSettings() {
    if (key_ == nullptr) return;
    for (const auto& [name, value] : previous_) {
      if (value) {
        Write(name.c_str(), *value);
      } else {
        RegDeleteValueW(key_, name.c_str());
      }
    }
    RegCloseKey(key_);
  }
  // Every value was written.
  [[nodiscard]] bool Ok() const { return key_ != nullptr && ok_; }

 private:
  bool Write(const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  void Set(const wchar_t* name, const std::wstring& value) {
    std::wstring old(128, L'\0');
    DWORD size = static_cast<DWORD>(old.size() * sizeof(wchar_t));
    DWORD type = 0;
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(old.data()), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
      old.resize(wcsnlen(old.c_str(), size / sizeof(wchar_t)));
      previous_.emplace_back(name, old);
    } else {
      previous_.emplace_back(name, std::nullopt);
    }
    ok_ = Write(name, value) && ok_;
  }

  HKEY key_ = nullptr;
  bool ok_ = true;
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> previous_;
};

}  // namespace win::test_support
