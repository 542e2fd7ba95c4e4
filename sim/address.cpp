#include "sim/address.h"

#include <utility>

namespace sim {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Reads an optional "$" then letters as a column number; false when there
// are no letters or the column lies beyond the sheet.
bool ReadColumn(std::string_view& text, long& column) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  long value = 0;
  size_t count = 0;
  while (count < text.size() && IsLetter(text[count])) {
    value = value * 26 + (Upper(text[count]) - 'A' + 1);
    if (value > kMaxColumns) return false;
    ++count;
  }
  if (count == 0) return false;
  text.remove_prefix(count);
  column = value;
  return true;
}

// Reads an optional "$" then digits as a row number within the sheet.
bool ReadRow(std::string_view& text, long& row) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  long value = 0;
  size_t count = 0;
  while (count < text.size() && IsDigit(text[count])) {
    value = value * 10 + (text[count] - '0');
    if (value > kMaxRows) return false;
    ++count;
  }
  if (count == 0 || value < 1) return false;
  text.remove_prefix(count);
  row = value;
  return true;
}

Area Ordered(CellRef a, CellRef b) {
  Area area{a.row, a.column, b.row, b.column};
  if (area.top > area.bottom) std::swap(area.top, area.bottom);
  if (area.left > area.right) std::swap(area.left, area.right);
  return area;
}

std::optional<CellRef> ParseR1C1Cell(std::string_view text) {
  if (text.empty() || Upper(text.front()) != 'R') return std::nullopt;
  text.remove_prefix(1);
  long row = 0;
  if (text.empty() || !IsDigit(text.front()) || !ReadRow(text, row)) return std::nullopt;
  if (text.empty() || Upper(text.front()) != 'C') return std::nullopt;
  text.remove_prefix(1);
  long column = 0;
  size_t count = 0;
  while (count < text.size() && IsDigit(text[count])) {
    column = column * 10 + (text[count] - '0');
    if (column > kMaxColumns) return std::nullopt;
    ++count;
  }
  if (count == 0 || count != text.size() || column < 1) return std::nullopt;
  return CellRef{row, column};
}

template <typename ParseArea>
std::optional<std::vector<Area>> ParseList(std::string_view text, ParseArea parseArea) {
  std::vector<Area> areas;
  while (true) {
    const size_t comma = text.find(',');
    const std::optional<Area> area = parseArea(text.substr(0, comma));
    if (!area) return std::nullopt;
    areas.push_back(*area);
    if (comma == std::string_view::npos) return areas;
    text.remove_prefix(comma + 1);
  }
}

std::optional<Area> ParseR1C1Area(std::string_view text) {
  const size_t colon = text.find(':');
  const std::optional<CellRef> first = ParseR1C1Cell(text.substr(0, colon));
  if (!first) return std::nullopt;
  if (colon == std::string_view::npos) return Area{first->row, first->column, first->row, first->column};
  const std::optional<CellRef> last = ParseR1C1Cell(text.substr(colon + 1));
  if (!last) return std::nullopt;
  return Ordered(*first, *last);
}

}  // namespace

bool InSheet(CellRef cell) {
  return cell.row >= 1 && cell.row <= kMaxRows && cell.column >= 1 && cell.column <= kMaxColumns;
}

std::optional<CellRef> ParseA1Cell(std::string_view text) {
  CellRef cell;
  if (!ReadColumn(text, cell.column) || !ReadRow(text, cell.row) || !text.empty()) return std::nullopt;
  return cell;
}

std::optional<Area> ParseA1Area(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    const std::optional<CellRef> cell = ParseA1Cell(text);
    if (!cell) return std::nullopt;
    return Area{cell->row, cell->column, cell->row, cell->column};
  }
  const std::string_view first = text.substr(0, colon);
  const std::string_view last = text.substr(colon + 1);
  if (const auto a = ParseA1Cell(first)) {
    const auto b = ParseA1Cell(last);
    if (!b) return std::nullopt;
    return Ordered(*a, *b);
  }
  // Whole columns ("A:C") or whole rows ("3:5").
  std::string_view x = first;
  std::string_view y = last;
  long from = 0;
  long to = 0;
  if (ReadColumn(x, from) && x.empty() && ReadColumn(y, to) && y.empty()) {
    return Ordered({1, from}, {kMaxRows, to});
  }
  x = first;
  y = last;
  if (ReadRow(x, from) && x.empty() && ReadRow(y, to) && y.empty()) {
    return Ordered({from, 1}, {to, kMaxColumns});
  }
  return std::nullopt;
}

std::optional<std::vector<Area>> ParseA1(std::string_view text) { return ParseList(text, ParseA1Area); }

std::optional<std::vector<Area>> ParseR1C1(std::string_view text) { return ParseList(text, ParseR1C1Area); }

std::optional<std::vector<Area>> ParseA1OrR1C1(std::string_view text) {
  if (auto areas = ParseA1(text)) return areas;
  return ParseR1C1(text);
}

std::string ColumnLetters(long column) {
  std::string letters;
  while (column > 0) {
    const long digit = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + digit));
    column = (column - 1) / 26;
  }
  return letters;
}

std::string AbsoluteAddress(const Area& area) {
  if (area.top == 1 && area.bottom == kMaxRows && !(area.left == 1 && area.right == kMaxColumns)) {
    return "$" + ColumnLetters(area.left) + ":$" + ColumnLetters(area.right);
  }
  if (area.left == 1 && area.right == kMaxColumns) {
    return "$" + std::to_string(area.top) + ":$" + std::to_string(area.bottom);
  }
  std::string text = "$" + ColumnLetters(area.left) + "$" + std::to_string(area.top);
  if (area.CellCount() > 1) text += ":$" + ColumnLetters(area.right) + "$" + std::to_string(area.bottom);
  return text;
}

std::string AbsoluteAddress(const std::vector<Area>& areas) {
  std::string text;
  for (const Area& area : areas) {
    if (!text.empty()) text += ',';
    text += AbsoluteAddress(area);
  }
  return text;
}

}  // namespace sim
