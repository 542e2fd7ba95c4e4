#include "office/number_format.h"

#include <cctype>

namespace office {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool IsDateTimeLetter(char c) {
  switch (Lower(c)) {
    case 'd':
    case 'm':
    case 'y':
    case 'h':
    case 's':
      return true;
    default:
      return false;
  }
}

// "[$-40C]": a locale alone, which Excel writes only for its own reasons;
// "[$€-40C]" names a currency symbol and stays.
bool IsLocaleOnly(std::string_view bracket) { return bracket.starts_with("[$-"); }

// [NatNum…] and [~calendar] are LibreOffice's own modifiers.
bool IsLibreOfficeModifier(std::string_view bracket) {
  return bracket.starts_with("[NatNum") || bracket.starts_with("[~");
}

}  // namespace

std::string ExcelNumberFormat(std::string_view code) {
  if (code == "Standard" || code == "General" || code.empty()) return "General";
  std::string out;
  out.reserve(code.size());
  for (std::size_t i = 0; i < code.size();) {
    const char c = code[i];
    if (c == '"') {  // quoted text, kept with its quotes
      const std::size_t end = code.find('"', i + 1);
      const std::size_t stop = end == std::string_view::npos ? code.size() : end + 1;
      out.append(code.substr(i, stop - i));
      i = stop;
    } else if (c == '\\' && i + 1 < code.size()) {  // escaped character
      std::size_t length = 2;
      while (i + length < code.size() && (static_cast<unsigned char>(code[i + length]) & 0xC0) == 0x80)
        ++length;
      out.append(code.substr(i, length));
      i += length;
    } else if (c == '[') {  // colour, condition, elapsed time, locale
      const std::size_t end = code.find(']', i);
      const std::size_t stop = end == std::string_view::npos ? code.size() : end + 1;
      const std::string_view bracket = code.substr(i, stop - i);
      if (bracket.size() >= 3 && bracket[1] != '$' &&
          bracket.find_first_not_of("[HhMmSs]") == std::string_view::npos) {
        for (const char b : bracket) out += Lower(b);  // [HH] → [hh]
      } else if (bracket.size() > 2 &&
                 bracket.find_first_not_of("[ABCDEFGHIJKLMNOPQRSTUVWXYZ]") == std::string_view::npos) {
        out += '[';  // colour: [RED] → [Red]
        out += bracket[1];
        for (std::size_t k = 2; k + 1 < bracket.size(); ++k) out += Lower(bracket[k]);
        out += ']';
      } else if (!IsLocaleOnly(bracket) && !IsLibreOfficeModifier(bracket)) {
        out.append(bracket);
      }
      i = stop;
    } else if (c == 'N' || c == 'n') {  // day of the week: NN short, NNN long, NNNN long with ", "
      std::size_t run = 0;
      while (i + run < code.size() && Lower(code[i + run]) == 'n') ++run;
      out += run <= 2 ? "ddd" : run == 3 ? "dddd" : "dddd, ";
      i += run;
    } else if (code.substr(i, 5) == "AM/PM" || code.substr(i, 3) == "A/P") {
      const std::size_t length = code.substr(i, 5) == "AM/PM" ? 5 : 3;
      out.append(code.substr(i, length));
      i += length;
    } else {
      out += IsDateTimeLetter(c) ? Lower(c) : c;
      ++i;
    }
  }
  return out;
}

}  // namespace office
