// The in-memory state of the simulated Excel: open workbooks, their sheets
// and cells, windows and command bars. Plain data, shared by every
// simulated object of one application; tests change it directly to play
// the learner's edits.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/excel.h"
#include "framework/vb.h"
#include "sim/address.h"

namespace sim {

struct CellModel {
  vb::Variant value;         // the constant, or the value Excel last computed
  std::string formula;       // "" without a formula
  std::string numberFormat;  // "" for Excel's default ("General", "m/d/yyyy" for a date)
  std::string comment;       // "" without a comment
};

// An array formula or a data table: one formula over a block.
struct ArrayModel {
  Area range;
  std::string formula;
  std::vector<std::vector<vb::Variant>> values;  // row by row; may be shorter than the block
};

enum class SheetType { kWorksheet, kChart };
enum class ControlType { kNone, kCheckBox, kOptionButton };

struct ShapeModel {
  std::string name;
  ControlType control = ControlType::kNone;
  long value = excel::xlOff;  // state of a check box or option button
};

struct PivotFieldModel {
  std::string name;  // as Excel shows it ("Sum of Résultats" for a data field)
  std::string sourceName;
  long function = excel::xlSum;
};

struct PivotTableModel {
  std::string name;
  std::string sourceData;
  std::vector<PivotFieldModel> rowFields;
  std::vector<PivotFieldModel> columnFields;
  std::vector<PivotFieldModel> dataFields;
};

struct ScenarioModel {
  std::string name;
  std::vector<Area> changingCells;
  std::vector<vb::Variant> values;  // one per changing cell, row by row
  std::string comment;
  bool locked = true;
  bool hidden = false;
};

struct ConsolidationModel {
  std::vector<std::string> sources;
  long function = excel::xlSum;
  std::array<bool, 3> options{};  // top row, left column, links to the source data
};

// What a sheet has selected: cells, a shape (by name) or, on a chart sheet,
// the chart itself.
struct SelectionModel {
  enum class Kind { kRange, kShape, kChart };
  Kind kind = Kind::kRange;
  std::vector<Area> areas{Area{}};
  std::string shapeName;
};

struct SheetModel {
  std::string name;
  SheetType type = SheetType::kWorksheet;
  long visible = excel::xlSheetVisible;  // or xlSheetHidden, xlSheetVeryHidden
  bool isProtected = false;
  std::string password;  // "" when protected without a password
  std::map<CellRef, CellModel> cells;
  std::vector<ArrayModel> arrays;
  std::vector<ShapeModel> shapes;
  std::vector<PivotTableModel> pivotTables;
  std::vector<ScenarioModel> scenarios;
  std::optional<ConsolidationModel> consolidation;
  SelectionModel selection;

  // The cell at an A1 address, created when absent; std::invalid_argument
  // for a text that is not one cell's address.
  CellModel& Cell(std::string_view address);
  [[nodiscard]] const CellModel* FindCell(CellRef cell) const;
  [[nodiscard]] const ArrayModel* FindArray(CellRef cell) const;
  // The Shapes collection as Excel lists it: the drawing objects, then the
  // shape of each cell comment (Excel draws a comment as a shape of the
  // sheet), row by row, named "Comment N" after its place in the list.
  [[nodiscard]] std::vector<ShapeModel> AllShapes() const;
};

struct WorkbookModel {
  std::string name;      // file name part ("Thor International.xls") or "Book1"
  std::string fullName;  // the file's path, "/" as separator; the name for a new workbook
  std::vector<std::shared_ptr<SheetModel>> sheets;
  size_t activeSheet = 0;  // position in `sheets`
  long windowState = excel::xlNormal;
  long activation = 0;  // when it was last activated; the highest is the active workbook

  // A sheet by name, letter case ignored; std::out_of_range when absent.
  SheetModel& Sheet(std::string_view sheetName);
};

struct CommandBarModel {
  std::string name;
  bool enabled = true;
  bool visible = false;
  long position = excel::msoBarFloating;
};

// Excel 2003's built-in command bars, in its order, with their defaults.
std::vector<CommandBarModel> BuiltInCommandBars();

struct Model {
  std::vector<std::shared_ptr<WorkbookModel>> workbooks;  // in opening order (the Workbooks collection)
  long activationCounter = 0;
  // The two workbooks compared side by side; the mode ends when one closes.
  std::shared_ptr<WorkbookModel> sideBySideFirst;
  std::shared_ptr<WorkbookModel> sideBySideSecond;
  bool syncScrollingSideBySide = true;
  std::vector<CommandBarModel> commandBars = BuiltInCommandBars();
  std::string currentFolder;
  std::string templatesPath;
  bool hideExtensions = false;  // Windows' setting, read by window captions
  long nextBookNumber = 1;
  bool visible = false;
  bool showToolTips = true;
  long displayCommentIndicator = excel::xlCommentIndicatorOnly;
  bool displayFullScreen = false;
  bool showStartupDialog = true;

  // The active workbook; null when none is open.
  [[nodiscard]] std::shared_ptr<WorkbookModel> ActiveWorkbook() const;
  void Activate(const std::shared_ptr<WorkbookModel>& workbook);
  [[nodiscard]] bool IsOpen(const WorkbookModel& workbook) const;
  [[nodiscard]] bool SideBySide() const;
  // The caption of a workbook's window: its name, without the extension of
  // a known file type when Windows hides those.
  [[nodiscard]] std::string Caption(const WorkbookModel& workbook) const;
  // The open workbooks by window order: the active one first.
  [[nodiscard]] std::vector<std::shared_ptr<WorkbookModel>> WindowOrder() const;
  // A workbook by name, letter case ignored; std::out_of_range when absent.
  WorkbookModel& Workbook(std::string_view workbookName);
};

// Letter-case-insensitive equality of names, as Excel compares them.
[[nodiscard]] bool SameName(std::string_view a, std::string_view b);

}  // namespace sim
