// How the outcome of a check is written, shared by `r58267` and the test
// host that replays a case through the DLL (e2e/check), so that the two
// print the same bytes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace cli {

// A text on one line and safe for a terminal: line feeds and carriage
// returns as \n and \r, every other control character (escape sequences,
// NUL) as \xNN.
inline std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr const char* kDigits = "0123456789ABCDEF";
      line += "\\x";
      line += kDigits[byte >> 4];
      line += kDigits[byte & 0xF];
    } else {
      line += c;
    }
  }
  return line;
}

// One JSON object on one line, whatever the texts hold: bytes that are not
// UTF-8 become U+FFFD instead of making the output fail.
inline std::string JsonLine(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace cli
