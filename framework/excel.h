// The part of Excel's automation object model that the module and the
// exercise checks use. Each binding implements these classes: the embedded
// stand-in (sim/) in memory, the Windows binding over IDispatch.
//
// Contract of every member:
// - a failing member throws vb::Error with the number Excel raises for it;
// - members never return a null object: where Excel would hand back Nothing
//   (no active workbook, no selection …) they throw vb::Error 91, which is
//   what VB raises at the first use of such a result;
// - items are found by name without regard to letter case, or by 1-based
//   position, through a vb::Variant index as automation passes it;
// - members that take a locale are called with 1033, so formulas come back
//   in English ("," between arguments, English function names).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/vb.h"

namespace excel {

inline constexpr long kLocaleEnglish = 1033;

// XlWindowState
inline constexpr long xlMaximized = -4137;
inline constexpr long xlMinimized = -4140;
inline constexpr long xlNormal = -4143;
// XlSheetVisibility
inline constexpr long xlSheetVisible = -1;
inline constexpr long xlSheetHidden = 0;
inline constexpr long xlSheetVeryHidden = 2;
// Control states (check boxes, option buttons)
inline constexpr long xlOn = 1;
inline constexpr long xlOff = -4146;
inline constexpr long xlMixed = 2;
// XlConsolidationFunction (pivot data fields and consolidations)
inline constexpr long xlSum = -4157;
inline constexpr long xlCount = -4112;
inline constexpr long xlAverage = -4106;
inline constexpr long xlMax = -4136;
inline constexpr long xlMin = -4139;
inline constexpr long xlProduct = -4149;
// XlCommentDisplayMode
inline constexpr long xlNoIndicator = 0;
inline constexpr long xlCommentIndicatorOnly = -1;
inline constexpr long xlCommentAndIndicator = 1;
// MsoBarPosition
inline constexpr long msoBarLeft = 0;
inline constexpr long msoBarTop = 1;
inline constexpr long msoBarRight = 2;
inline constexpr long msoBarBottom = 3;
inline constexpr long msoBarFloating = 4;

class Application;
class Workbooks;
class Workbook;
class Sheets;
class Worksheet;
class Range;
class Shapes;
class Shape;
class PivotTable;
class PivotField;
class Scenarios;
class Scenario;
class Windows;
class Window;
class CommandBars;
class CommandBar;
class WorksheetFunction;

// Base of every automation object, so that a vb::Variant can hold one.
class Object : public vb::Object {};

// Whatever is selected: a range or a form control. Its default member
// `Value` is a range's value or a control's state (xlOn, xlOff, xlMixed).
class Selection : public Object {
 public:
  virtual vb::Variant Value() = 0;
};

class Application : public Object {
 public:
  virtual std::shared_ptr<excel::Workbooks> Workbooks() = 0;
  virtual std::shared_ptr<excel::Workbook> ActiveWorkbook() = 0;
  virtual std::shared_ptr<excel::Worksheet> ActiveSheet() = 0;
  virtual std::shared_ptr<excel::Window> ActiveWindow() = 0;
  virtual std::shared_ptr<excel::Windows> Windows() = 0;
  // The sheets of the active workbook.
  virtual std::shared_ptr<excel::Sheets> Sheets() = 0;
  virtual std::shared_ptr<excel::Sheets> Worksheets() = 0;
  // A range or a cell of the active sheet.
  virtual std::shared_ptr<excel::Range> Range(const std::string& address) = 0;
  virtual std::shared_ptr<excel::Range> Cells(long row, long column) = 0;
  virtual std::shared_ptr<excel::Selection> Selection() = 0;
  virtual std::shared_ptr<excel::WorksheetFunction> WorksheetFunction() = 0;
  virtual std::shared_ptr<excel::CommandBars> CommandBars() = 0;
  virtual vb::Variant Run(const std::string& macro, const std::vector<vb::Variant>& arguments) = 0;
  // Excel 4 macro functions; the module reads and sets Excel's current
  // folder with DIRECTORY() and DIRECTORY("folder").
  virtual vb::Variant ExecuteExcel4Macro(const std::string& text) = 0;
  // Ends with a path separator, as Excel gives it.
  virtual std::string TemplatesPath() = 0;
  virtual bool ShowToolTips() = 0;
  virtual void ShowToolTips(bool value) = 0;
  virtual long DisplayCommentIndicator() = 0;
  virtual void DisplayCommentIndicator(long value) = 0;
  virtual bool DisplayFullScreen() = 0;
  virtual void DisplayFullScreen(bool value) = 0;
  virtual bool ShowStartupDialog() = 0;
  virtual void ShowStartupDialog(bool value) = 0;
  virtual bool Visible() = 0;
  virtual void Visible(bool value) = 0;
  virtual void Quit() = 0;
};

class Workbooks : public Object {
 public:
  // Opens a workbook file; every optional argument left out.
  virtual std::shared_ptr<excel::Workbook> Open(const std::string& fileName) = 0;
  // A new blank workbook, no template.
  virtual std::shared_ptr<excel::Workbook> Add() = 0;
  virtual long Count() = 0;
  virtual std::shared_ptr<excel::Workbook> Item(const vb::Variant& index) = 0;
};

class Workbook : public Object {
 public:
  virtual std::string Name() = 0;
  virtual void Activate() = 0;
  virtual std::shared_ptr<excel::Worksheet> ActiveSheet() = 0;
  // SaveChanges left out when empty; this system always closes unsaved.
  virtual void Close(std::optional<bool> saveChanges) = 0;
  virtual std::shared_ptr<excel::Sheets> Sheets() = 0;
  virtual std::shared_ptr<excel::Sheets> Worksheets() = 0;
  // The workbook's own windows (one here): Windows(1).Caption is the name
  // that Application.Windows and CompareSideBySideWith know it by.
  virtual std::shared_ptr<excel::Windows> Windows() = 0;
};

// `Sheets` holds every sheet, chart sheets included; `Worksheets` only the
// worksheets. Both are this class.
class Sheets : public Object {
 public:
  virtual long Count() = 0;
  virtual std::shared_ptr<excel::Worksheet> Item(const vb::Variant& index) = 0;
};

// A sheet of a workbook. A chart sheet is one too: it has a name and can be
// activated, selected and protected, and its cell members raise 438 as
// Excel's Chart object does.
class Worksheet : public Object {
 public:
  virtual std::string Name() = 0;
  // Both work only in the active workbook; on a sheet of another workbook
  // they fail with 1004 (Workbook::Activate comes first).
  virtual void Activate() = 0;
  virtual void Select() = 0;
  // Protection with Excel's default options and no password.
  virtual void Protect() = 0;
  // Without a password when empty.
  virtual void Unprotect(std::optional<std::string> password) = 0;
  virtual bool ProtectContents() = 0;
  virtual std::shared_ptr<excel::Range> Range(const std::string& address) = 0;
  virtual std::shared_ptr<excel::Range> Cells(long row, long column) = 0;
  virtual std::shared_ptr<excel::Shapes> Shapes() = 0;
  // PivotTables(index): a pivot table of the sheet by position or name.
  virtual std::shared_ptr<excel::PivotTable> PivotTables(const vb::Variant& index) = 0;
  virtual long PivotTableCount() = 0;
  virtual std::shared_ptr<excel::Scenarios> Scenarios() = 0;
  // Array of reference texts (first index 1), Empty without consolidation.
  virtual vb::Variant ConsolidationSources() = 0;
  virtual long ConsolidationFunction() = 0;
  // Array of three truth values (first index 1): top row, left column,
  // links to the source data.
  virtual vb::Variant ConsolidationOptions() = 0;
};

class Range : public Selection {
 public:
  // English formula text, or the constant as Excel writes it, or "".
  virtual std::string Formula() = 0;
  vb::Variant Value() override = 0;
  virtual std::string NumberFormat() = 0;
  virtual bool HasFormula() = 0;
  // The array range (array formula or data table) that holds this cell;
  // 1004 when the cell is not part of one.
  virtual std::shared_ptr<excel::Range> CurrentArray() = 0;
  // The comment's text, "" without one.
  virtual std::string NoteText() = 0;
  // Cells(k): the k-th cell of the block, row by row.
  virtual std::shared_ptr<excel::Range> Cells(long index) = 0;
  // Cells(row, column), relative to the block's first cell.
  virtual std::shared_ptr<excel::Range> Cells(long row, long column) = 0;
  virtual long Count() = 0;
  virtual std::string Address() = 0;  // absolute A1 form, "$B$16:$D$18"
  virtual void Select() = 0;
};

class Shapes : public Object {
 public:
  virtual long Count() = 0;
  virtual std::shared_ptr<excel::Shape> Item(const vb::Variant& index) = 0;
};

class Shape : public Object {
 public:
  virtual std::string Name() = 0;
  virtual void Select() = 0;
};

class PivotTable : public Object {
 public:
  virtual vb::Variant SourceData() = 0;
  virtual std::shared_ptr<excel::PivotField> RowFields(const vb::Variant& index) = 0;
  virtual std::shared_ptr<excel::PivotField> ColumnFields(const vb::Variant& index) = 0;
  virtual std::shared_ptr<excel::PivotField> DataFields(const vb::Variant& index) = 0;
};

// Compared with a text through its default value, its name.
class PivotField : public Object {
 public:
  virtual std::string Name() = 0;
  virtual long Function() = 0;
  virtual std::string SourceName() = 0;
};

class Scenarios : public Object {
 public:
  virtual long Count() = 0;
  virtual std::shared_ptr<excel::Scenario> Item(const vb::Variant& index) = 0;
  // Scenarios.Add with its named arguments; `changingCells` is an address
  // text (A1 or R1C1) or a Range, `values` an array.
  virtual std::shared_ptr<excel::Scenario> Add(const std::string& name, const vb::Variant& changingCells,
                                               const vb::Variant& values, const std::string& comment,
                                               bool locked, bool hidden) = 0;
};

class Scenario : public Object {
 public:
  virtual std::string Name() = 0;
  virtual std::shared_ptr<excel::Range> ChangingCells() = 0;
  // Values(index), first index 1.
  virtual vb::Variant Values(long index) = 0;
  virtual vb::Variant Values() = 0;
  virtual std::string Comment() = 0;
  virtual bool Locked() = 0;
  virtual bool Hidden() = 0;
};

class Windows : public Object {
 public:
  virtual long Count() = 0;
  virtual std::shared_ptr<excel::Window> Item(const vb::Variant& index) = 0;
  virtual bool CompareSideBySideWith(const std::string& windowName) = 0;
  virtual bool ResetPositionsSideBySide() = 0;
  virtual bool SyncScrollingSideBySide() = 0;
  virtual void SyncScrollingSideBySide(bool value) = 0;
};

class Window : public Object {
 public:
  virtual std::string Caption() = 0;
  virtual long WindowState() = 0;
  virtual void WindowState(long value) = 0;
};

class CommandBars : public Object {
 public:
  virtual long Count() = 0;
  virtual std::shared_ptr<excel::CommandBar> Item(const vb::Variant& index) = 0;
};

class CommandBar : public Object {
 public:
  virtual std::string Name() = 0;
  virtual bool Enabled() = 0;
  virtual void Enabled(bool value) = 0;
  virtual bool Visible() = 0;
  virtual void Visible(bool value) = 0;
  virtual long Position() = 0;
  virtual void Position(long value) = 0;
};

class WorksheetFunction : public Object {
 public:
  virtual std::string Substitute(const std::string& text, const std::string& oldText,
                                 const std::string& newText) = 0;
};

}  // namespace excel
