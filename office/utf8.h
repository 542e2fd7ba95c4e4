// One Unicode code point appended to a UTF-8 text, for the readers that
// decode UTF-16 names (.xls) and character references (.xlsx).
#pragma once

#include <cstdint>
#include <string>

namespace office {

inline void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6U));
    out += static_cast<char>(0x80 | (code & 0x3FU));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12U));
    out += static_cast<char>(0x80 | ((code >> 6U) & 0x3FU));
    out += static_cast<char>(0x80 | (code & 0x3FU));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18U));
    out += static_cast<char>(0x80 | ((code >> 12U) & 0x3FU));
    out += static_cast<char>(0x80 | ((code >> 6U) & 0x3FU));
    out += static_cast<char>(0x80 | (code & 0x3FU));
  }
}

}  // namespace office
