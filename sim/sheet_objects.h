// Simulated Worksheet (chart sheets included), Range and the selection of a
// sheet.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/excel.h"
#include "sim/session.h"

namespace sim {

// What Excel reads in one cell: an array block's value first, then the
// cell's own; Empty when neither has one.
[[nodiscard]] vb::Variant CellValue(const SheetModel& sheet, CellRef cell);
// The constant as Excel writes it in an English formula ("" for Empty).
[[nodiscard]] std::string ConstantText(const vb::Variant& value);

// A worksheet or a chart sheet; a chart sheet's cell members raise 438.
class SimWorksheet : public excel::Worksheet, public SheetBound {
 public:
  // `position`: where the sheet is in its workbook, when the caller knows.
  SimWorksheet(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
               std::shared_ptr<SheetModel> sheet, std::size_t position = 0)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet), position) {}
  std::string Name() override;
  // Activate and Select both make the sheet its workbook's active sheet.
  // Like Excel, they work only in the active workbook: on a sheet of
  // another workbook they raise 1004 and change nothing (Workbook.Activate
  // is the way to switch workbooks).
  void Activate() override;
  void Select() override;
  void Protect() override;
  void Unprotect(std::optional<std::string> password) override;
  bool ProtectContents() override;
  std::shared_ptr<excel::Range> Range(const std::string& address) override;
  std::shared_ptr<excel::Range> Cells(long row, long column) override;
  std::shared_ptr<excel::Shapes> Shapes() override;
  std::shared_ptr<excel::PivotTable> PivotTables(const vb::Variant& index) override;
  long PivotTableCount() override;
  std::shared_ptr<excel::Scenarios> Scenarios() override;
  vb::Variant ConsolidationSources() override;
  long ConsolidationFunction() override;
  vb::Variant ConsolidationOptions() override;

 private:
  void MakeActive(const Model& model, std::string_view method);
};

// One or more areas of a worksheet. Members that read one cell read the
// first cell of the first area; Value of several cells reads the first
// area, as Excel does.
class SimRange : public excel::Range, public SheetBound {
 public:
  SimRange(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
           std::shared_ptr<SheetModel> sheet, std::vector<Area> areas)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)), areas_(std::move(areas)) {}
  [[nodiscard]] const std::vector<Area>& areas() const { return areas_; }

  // Of several cells: the first cell's formula (Excel gives an array).
  std::string Formula() override;
  // Of several cells: an array (first index 1) of row arrays.
  vb::Variant Value() override;
  // Of several cells: the first cell's format (Excel gives Null when they differ).
  std::string NumberFormat() override;
  // True when every cell has a formula or lies in an array block (Excel
  // gives Null for a mixture; the stand-in gives false).
  bool HasFormula() override;
  std::shared_ptr<excel::Range> CurrentArray() override;
  std::string NoteText() override;
  std::shared_ptr<excel::Range> Cells(long index) override;
  std::shared_ptr<excel::Range> Cells(long row, long column) override;
  long Count() override;
  std::string Address() override;
  void Select() override;

 private:
  [[nodiscard]] std::shared_ptr<excel::Range> CellAt(CellRef cell) const;
  std::vector<Area> areas_;
};

// A selection that is not a range: a shape (a form control has a state
// for its Value, a drawing object raises 438) or a chart sheet's chart.
class SimObjectSelection : public excel::Selection, public SheetBound {
 public:
  SimObjectSelection(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
                     std::shared_ptr<SheetModel> sheet, std::string shapeName)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)),
        shapeName_(std::move(shapeName)) {}
  vb::Variant Value() override;

 private:
  std::string shapeName_;  // "" for a chart sheet's chart
};

// The active sheet's selection of a workbook.
std::shared_ptr<excel::Selection> SheetSelection(const std::shared_ptr<Session>& session,
                                                 const std::shared_ptr<WorkbookModel>& workbook,
                                                 const std::shared_ptr<SheetModel>& sheet);

}  // namespace sim
