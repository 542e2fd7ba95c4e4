#include "office/excel_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "framework/vb.h"

namespace office {
namespace {

bool IsWord(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// A cell address at `at` ("$B$7", "b7"): 0-based row and column; the
// position after it, or npos when there is none.
std::size_t ReadAddress(std::string_view text, std::size_t at, long& row, long& column) {
  std::size_t i = at;
  if (i < text.size() && text[i] == '$') ++i;
  const std::size_t letters = i;
  column = 0;
  while (i < text.size() && i - letters < 3 && std::isalpha(static_cast<unsigned char>(text[i])) != 0) {
    column = column * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
    ++i;
  }
  if (i == letters) return std::string_view::npos;
  if (i < text.size() && text[i] == '$') ++i;
  const std::size_t digits = i;
  row = 0;
  while (i < text.size() && i - digits < 7 && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
    row = row * 10 + (text[i] - '0');
    ++i;
  }
  // "LOG10(" is a function, "A1B" no address.
  if (i == digits || row == 0 || (i < text.size() && (IsWord(text[i]) || text[i] == '(' || text[i] == '.')))
    return std::string_view::npos;
  --row;
  --column;
  return i;
}

// A sheet name and its dot at `at` ("$Data.", "'Two words'.");
// the position after the dot, or npos.
std::size_t ReadSheet(std::string_view text, std::size_t at, std::string& sheet) {
  std::size_t i = at;
  if (i < text.size() && text[i] == '$') ++i;
  sheet.clear();
  if (i < text.size() && text[i] == '\'') {
    for (++i; i < text.size(); ++i) {
      if (text[i] == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          sheet += '\'';
          ++i;
          continue;
        }
        break;
      }
      sheet += text[i];
    }
    if (i >= text.size()) return std::string_view::npos;
    ++i;
  } else {
    while (i < text.size() && IsWord(text[i])) sheet += text[i++];
  }
  if (sheet.empty() || i >= text.size() || text[i] != '.') return std::string_view::npos;
  return i + 1;
}

// A reference at `at`: [sheet.]cell[:[sheet.]cell]; the position after
// it, or npos.
std::size_t ReadReference(std::string_view text, std::size_t at, const std::string& ownSheet,
                          std::vector<CellBlock>& out) {
  std::string sheet;
  std::size_t i = ReadSheet(text, at, sheet);
  if (i == std::string_view::npos) {
    i = at;
    sheet = ownSheet;
  }
  CellBlock block{sheet, 0, 0, 0, 0};
  i = ReadAddress(text, i, block.top, block.left);
  if (i == std::string_view::npos) return i;
  block.bottom = block.top;
  block.right = block.left;
  if (i < text.size() && text[i] == ':') {
    std::string second;
    std::size_t j = ReadSheet(text, i + 1, second);
    if (j == std::string_view::npos) {
      j = i + 1;
      second.clear();
    }
    long row = 0;
    long column = 0;
    j = ReadAddress(text, j, row, column);
    if (j != std::string_view::npos) {
      block.top = std::min(block.top, row);
      block.bottom = std::max(block.bottom, row);
      block.left = std::min(block.left, column);
      block.right = std::max(block.right, column);
      // A 3-D range: its last sheet too (the sheets between are not known
      // here).
      if (!second.empty() && second != sheet)
        out.push_back({second, block.top, block.left, block.bottom, block.right});
      i = j;
    }
  }
  out.push_back(block);
  return i;
}

}  // namespace

std::string IsoDate(double serial) {
  const vb::DateParts date = vb::SplitDate(std::floor(serial));
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::optional<std::string> ExcelDate(double serial, bool date1904) {
  // Excel's dates: 1900-01-01 to 9999-12-31.
  const double first = date1904 ? 0 : 1;
  const double last = date1904 ? 2957003 : 2958465;
  if (serial != std::floor(serial) || serial < first || serial > last) return std::nullopt;
  if (date1904) return IsoDate(serial + 1462);
  if (serial == 60) return std::nullopt;
  return IsoDate(serial < 60 ? serial + 1 : serial);
}

bool CallsVolatileFunction(std::string_view formula) {
  static constexpr std::string_view kNames[] = {"TODAY(", "NOW(", "RAND(", "RANDBETWEEN("};
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    if (formula[i] == '"') quoted = !quoted;
    if (quoted || (i > 0 && (IsWord(formula[i - 1]) || formula[i - 1] == '.'))) continue;
    for (const std::string_view name : kNames) {
      if (formula.size() - i >= name.size()) {
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k)
          same = std::toupper(static_cast<unsigned char>(formula[i + k])) == name[k];
        if (same) return true;
      }
    }
  }
  return false;
}

std::vector<CellBlock> References(std::string_view formula, const std::string& sheet) {
  std::vector<CellBlock> blocks;
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size();) {
    if (formula[i] == '"') {
      quoted = !quoted;
      ++i;
      continue;
    }
    const bool boundary =
        i == 0 || (!IsWord(formula[i - 1]) && formula[i - 1] != '.' && formula[i - 1] != '\'');
    if (!quoted && boundary) {
      if (const std::size_t end = ReadReference(formula, i, sheet, blocks); end != std::string_view::npos) {
        i = end;
        continue;
      }
    }
    ++i;
  }
  return blocks;
}

std::set<SheetCell> RecalculatedCells(
    const std::map<std::string, std::map<CellPosition, std::string>>& formulas, std::set<SheetCell> seeds) {
  // Each formula's references, once.
  std::vector<std::pair<SheetCell, std::vector<CellBlock>>> cells;
  for (const auto& [sheet, texts] : formulas) {
    for (const auto& [position, text] : texts) cells.push_back({{sheet, position}, References(text, sheet)});
  }
  const auto within = [](const CellBlock& block, const SheetCell& cell) {
    return block.sheet == cell.first && cell.second.first >= block.top && cell.second.first <= block.bottom &&
           cell.second.second >= block.left && cell.second.second <= block.right;
  };
  // Until nothing changes: at most one round per formula.
  for (bool grown = true; grown;) {
    grown = false;
    for (const auto& [cell, blocks] : cells) {
      if (seeds.contains(cell)) continue;
      for (const CellBlock& block : blocks) {
        if (std::ranges::any_of(seeds, [&](const SheetCell& seed) { return within(block, seed); })) {
          seeds.insert(cell);
          grown = true;
          break;
        }
      }
    }
  }
  return seeds;
}

namespace {

std::string ColumnLetters(long column) {
  std::string letters;
  for (long c = column + 1; c > 0; c = (c - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters;
}

// A cell or column reference of Excel's A1 syntax at `at` ("B7", "$B$7",
// "B" of "B:D"), moved; the position after it, or npos when there is none.
std::size_t ShiftReference(std::string_view text, std::size_t at, long rows, long columns, std::string& out) {
  std::size_t i = at;
  const bool columnFixed = i < text.size() && text[i] == '$';
  if (columnFixed) ++i;
  const std::size_t letters = i;
  long column = 0;
  while (i < text.size() && i - letters < 3 && std::isalpha(static_cast<unsigned char>(text[i])) != 0) {
    column = column * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
    ++i;
  }
  if (i == letters) return std::string_view::npos;
  const bool rowFixed = i < text.size() && text[i] == '$';
  std::size_t digits = rowFixed ? i + 1 : i;
  long row = 0;
  std::size_t end = digits;
  while (end < text.size() && end - digits < 7 && std::isdigit(static_cast<unsigned char>(text[end])) != 0) {
    row = row * 10 + (text[end] - '0');
    ++end;
  }
  const bool wholeColumn = end == digits && !rowFixed;
  // A whole column only as a side of "B:D"; a cell not followed by a name
  // character, "(" (LOG10() or "!" (a sheet named like a cell).
  const auto after = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
  if (wholeColumn) {
    const bool ranged = after(i) == ':' || (at > 0 && text[at - 1] == ':');
    if (!ranged || IsWord(after(i)) || after(i) == '(') return std::string_view::npos;
  } else if (end == digits || row == 0 || IsWord(after(end)) || after(end) == '(' || after(end) == '!' ||
             after(end) == '.') {
    return std::string_view::npos;
  }
  const long newColumn = columnFixed ? column - 1 : column - 1 + columns;
  const long newRow = rowFixed ? row : row + rows;
  if (newColumn < 0 || (!wholeColumn && newRow < 1)) {
    out += "#REF!";
  } else {
    out += (columnFixed ? "$" : "") + ColumnLetters(newColumn);
    if (!wholeColumn) out += (rowFixed ? "$" : "") + std::to_string(newRow);
  }
  return wholeColumn ? i : end;
}

}  // namespace

std::string ShiftFormula(std::string_view formula, long rows, long columns) {
  std::string out;
  for (std::size_t i = 0; i < formula.size();) {
    const char c = formula[i];
    if (c == '"' || c == '\'') {
      // A text or a quoted sheet name: up to its closing quote (doubled
      // quotes inside).
      std::size_t end = i + 1;
      while (end < formula.size() &&
             (formula[end] != c || (end + 1 < formula.size() && formula[end + 1] == c)))
        end += formula[end] == c ? 2 : 1;
      out.append(formula, i, std::min(end + 1, formula.size()) - i);
      i = end + 1;
      continue;
    }
    const bool boundary = i == 0 || (!IsWord(formula[i - 1]) && formula[i - 1] != '.');
    if (boundary && (c == '$' || std::isalpha(static_cast<unsigned char>(c)) != 0)) {
      if (const std::size_t end = ShiftReference(formula, i, rows, columns, out);
          end != std::string_view::npos) {
        i = end;
        continue;
      }
      // A name or function: copied whole, so that its tail is not read as
      // a reference.
      std::size_t end = i + 1;
      while (end < formula.size() && (IsWord(formula[end]) || formula[end] == '.')) ++end;
      out.append(formula, i, end - i);
      i = end;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string SingleCell3d(const std::string& formula) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    out += formula[i];
    if (formula[i] == '"') quoted = !quoted;
    if (quoted || formula[i] != '!') continue;
    // The sheet part before '!': 'quoted' or a plain name; a 3-D one has ':'.
    std::size_t start = i;
    if (i >= 2 && formula[i - 1] == '\'') {
      start = formula.rfind('\'', i - 2);
    } else {
      while (start > 0 &&
             (IsWord(formula[start - 1]) || formula[start - 1] == ':' || formula[start - 1] == '.'))
        --start;
    }
    if (start == std::string::npos || formula.substr(start, i - start).find(':') == std::string::npos)
      continue;
    long row = 0;
    long column = 0;
    const std::size_t end = ReadAddress(formula, i + 1, row, column);
    if (end == std::string::npos || end >= formula.size() || formula[end] != ':') continue;
    long row2 = 0;
    long column2 = 0;
    const std::size_t end2 = ReadAddress(formula, end + 1, row2, column2);
    if (end2 == std::string::npos || row2 != row || column2 != column) continue;
    out.append(formula, i + 1, end - i - 1);
    i = end2 - 1;
  }
  return out;
}

std::string CellName(long row, long column) {
  std::string letters;
  for (long c = column + 1; c > 0; c = (c - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row + 1);
}

bool IsExcelError(std::string_view text) {
  static constexpr std::string_view kErrors[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                                 "#NAME?", "#NUM!",   "#N/A"};
  return std::find(std::begin(kErrors), std::end(kErrors), text) != std::end(kErrors);
}

bool IsDateFormat(std::string_view format) {
  // The codes in order, 'm' resolved once its neighbours are known: a
  // minute after an hour or before a second, a month otherwise.
  std::string codes;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') {
      const std::size_t close = format.find('"', i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the next character is shown, not a code
    } else if (c == '[') {
      const std::size_t close = format.find(']', i);
      if (close == std::string_view::npos) break;
      i = close;  // colours, conditions, locales; [h] is an elapsed time
    } else if (c == ';') {
      break;  // the first section decides, as Excel's does
    } else if (c == 'a' || c == 'A') {
      // AM/PM and A/P: a time's half of the day, no month.
      std::string rest(format.substr(i, 5));
      for (char& r : rest) r = static_cast<char>(std::toupper(static_cast<unsigned char>(r)));
      if (rest == "AM/PM") i += 4;
      if (rest.starts_with("A/P")) i += 2;
    } else {
      const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower == 'd' || lower == 'y' || lower == 'h' || lower == 's' || lower == 'm') codes += lower;
    }
  }
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] == 'd' || codes[i] == 'y') return true;
    if (codes[i] != 'm') continue;
    std::size_t before = i;
    while (before > 0 && codes[before - 1] == 'm') --before;
    std::size_t after = i;
    while (after < codes.size() && codes[after] == 'm') ++after;
    const bool minute =
        (before > 0 && codes[before - 1] == 'h') || (after < codes.size() && codes[after] == 's');
    if (!minute) return true;
    i = after - 1;
  }
  return false;
}

std::string ExcelTruthLiterals(const std::string& formula) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    if (formula[i] == '"') quoted = !quoted;
    if (!quoted) {
      const bool before = i == 0 || std::isalnum(static_cast<unsigned char>(formula[i - 1])) == 0;
      const std::string_view rest(formula.data() + i, formula.size() - i);
      if (before && (rest.starts_with("TRUE()") || rest.starts_with("FALSE()"))) {
        const std::size_t word = rest.starts_with("TRUE") ? 4 : 5;
        out.append(rest.substr(0, word));
        i += word + 1;  // skips "()"
        continue;
      }
    }
    out += formula[i];
  }
  return out;
}

}  // namespace office
