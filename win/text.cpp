#include "win/text.h"

#include <limits>

#include "framework/vb.h"

namespace win {
namespace {

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) vb::Raise(vb::kOutOfMemory);
  return static_cast<int>(size);
}

}  // namespace

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = CheckedLength(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, result.data(), length);
  return result;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = CheckedLength(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

Bstr ToBstr(std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  Bstr result(wide.c_str(), static_cast<UINT>(wide.size()));
  if (result.Get() == nullptr) vb::Raise(vb::kOutOfMemory);
  return result;
}

std::string FromBstr(BSTR text) {
  if (text == nullptr) return {};
  return Utf8(std::wstring_view(text, SysStringLen(text)));
}

}  // namespace win
