#include "office/file_records.h"

#include <cctype>

namespace office {
namespace {

std::string Column(long column) {
  std::string letters;
  for (long c = column; c > 0; c = (c - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters;
}

bool IsWordByte(unsigned char c) { return std::isalnum(c) != 0 || c == '_' || c == '.' || c >= 0x80; }

// "AB12" or "R1C1"-like names would read as references, so Excel quotes them.
bool LooksLikeReference(std::string_view name) {
  std::size_t i = 0;
  while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i])) != 0) ++i;
  if (i == 0 || i > 3 || i == name.size()) return false;
  for (std::size_t k = i; k < name.size(); ++k) {
    if (std::isdigit(static_cast<unsigned char>(name[k])) == 0) return false;
  }
  return true;
}

}  // namespace

std::string QualifiedReference(std::string_view sheet, long top, long left, long bottom, long right) {
  bool quote = sheet.empty() || std::isdigit(static_cast<unsigned char>(sheet.front())) != 0 ||
               LooksLikeReference(sheet);
  for (const char c : sheet) quote = quote || !IsWordByte(static_cast<unsigned char>(c));
  std::string text;
  if (quote) {
    text += '\'';
    for (const char c : sheet) {
      text += c;
      if (c == '\'') text += '\'';
    }
    text += '\'';
  } else {
    text += sheet;
  }
  text += "!$" + Column(left) + "$" + std::to_string(top);
  if (top != bottom || left != right) text += ":$" + Column(right) + "$" + std::to_string(bottom);
  return text;
}

}  // namespace office
