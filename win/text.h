// Texts at the Windows boundary: the core speaks UTF-8, Windows and COM
// speak UTF-16 (wide characters, BSTR).
#pragma once

#include <string>
#include <string_view>

#include "win/com.h"

namespace win {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
Bstr ToBstr(std::string_view utf8);
// A null BSTR is the empty text, as in VB.
std::string FromBstr(BSTR text);

}  // namespace win
