#include "office/file_records.h"

#include <array>
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

std::string_view BuiltInNumberFormat(unsigned id) {
  // The ids a file may use without defining them.
  static constexpr std::array<std::string_view, 50> kFormats{
      "General",
      "0",
      "0.00",
      "#,##0",
      "#,##0.00",
      "$#,##0_);($#,##0)",
      "$#,##0_);[Red]($#,##0)",
      "$#,##0.00_);($#,##0.00)",
      "$#,##0.00_);[Red]($#,##0.00)",
      "0%",
      "0.00%",
      "0.00E+00",
      "# ?/?",
      "# ?\?/??",
      "m/d/yyyy",
      "d-mmm-yy",
      "d-mmm",
      "mmm-yy",
      "h:mm AM/PM",
      "h:mm:ss AM/PM",
      "h:mm",
      "h:mm:ss",
      "m/d/yyyy h:mm",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",  // 23-36: other languages' formats
      "#,##0_);(#,##0)",
      "#,##0_);[Red](#,##0)",
      "#,##0.00_);(#,##0.00)",
      "#,##0.00_);[Red](#,##0.00)",
      "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)",
      "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)",
      "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)",
      "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"?\?_);_(@_)",
      "mm:ss",
      "[h]:mm:ss",
      "mm:ss.0",
      "##0.0E+0",
      "@",
  };
  return id < kFormats.size() ? kFormats[id] : std::string_view();
}

std::string QuotedSheet(std::string_view sheet) {
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
  return text;
}

std::string QualifiedReference(std::string_view sheet, long top, long left, long bottom, long right) {
  std::string text = QuotedSheet(sheet) + "!$" + Column(left) + "$" + std::to_string(top);
  if (top != bottom || left != right) text += ":$" + Column(right) + "$" + std::to_string(bottom);
  return text;
}

std::string QualifiedR1C1(std::string_view sheet, long top, long left, long bottom, long right) {
  return QuotedSheet(sheet) + "!R" + std::to_string(top) + "C" + std::to_string(left) + ":R" +
         std::to_string(bottom) + "C" + std::to_string(right);
}

}  // namespace office
