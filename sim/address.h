// Cell addresses of an Excel 2003 sheet: reading A1 and R1C1 texts and
// writing absolute A1 texts.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr long kMaxRows = 65536;
inline constexpr long kMaxColumns = 256;

struct CellRef {
  long row = 1;
  long column = 1;
  auto operator<=>(const CellRef&) const = default;
};

// A rectangular block of cells, corners included.
struct Area {
  long top = 1;
  long left = 1;
  long bottom = 1;
  long right = 1;

  [[nodiscard]] long Rows() const { return bottom - top + 1; }
  [[nodiscard]] long Columns() const { return right - left + 1; }
  [[nodiscard]] long CellCount() const { return Rows() * Columns(); }
  [[nodiscard]] bool Contains(CellRef cell) const {
    return cell.row >= top && cell.row <= bottom && cell.column >= left && cell.column <= right;
  }
  [[nodiscard]] bool Overlaps(const Area& other) const {
    return top <= other.bottom && other.top <= bottom && left <= other.right && other.left <= right;
  }
  [[nodiscard]] CellRef TopLeft() const { return {top, left}; }
  bool operator==(const Area&) const = default;
};

[[nodiscard]] bool InSheet(CellRef cell);

// "B81", "$b$81": one cell within the sheet's bounds.
[[nodiscard]] std::optional<CellRef> ParseA1Cell(std::string_view text);
// "B16:D18", "$B$33:$B$77", "A:C", "3:5" or one cell.
[[nodiscard]] std::optional<Area> ParseA1Area(std::string_view text);
// One or more A1 areas separated by ",".
[[nodiscard]] std::optional<std::vector<Area>> ParseA1(std::string_view text);
// Absolute R1C1: "R4C3" or "R4C3:R6C5", areas separated by ",".
[[nodiscard]] std::optional<std::vector<Area>> ParseR1C1(std::string_view text);
// A1 first, then R1C1 (scenario changing cells accept both).
[[nodiscard]] std::optional<std::vector<Area>> ParseA1OrR1C1(std::string_view text);

// 1 → "A", 27 → "AA".
[[nodiscard]] std::string ColumnLetters(long column);
// "$B$81", "$B$16:$D$18", whole columns "$A:$B", whole rows "$3:$5".
[[nodiscard]] std::string AbsoluteAddress(const Area& area);
// Areas joined with ",".
[[nodiscard]] std::string AbsoluteAddress(const std::vector<Area>& areas);

}  // namespace sim
