// UTF-8 std::string ⇄ UNO's UTF-16 OUString.
#pragma once

#include <rtl/ustring.hxx>
#include <string>
#include <string_view>

namespace office {

inline rtl::OUString U(std::string_view text) {
  return {text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8};
}

inline std::string Utf8(const rtl::OUString& text) {
  const rtl::OString bytes = rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8);
  return {bytes.getStr(), static_cast<std::size_t>(bytes.getLength())};
}

}  // namespace office
