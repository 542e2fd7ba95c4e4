#include "sim/model.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace sim {

bool SameName(std::string_view a, std::string_view b) { return a == b || vb::LCase(a) == vb::LCase(b); }

CellModel& SheetModel::Cell(std::string_view address) {
  const std::optional<CellRef> cell = ParseA1Cell(address);
  if (!cell) throw std::invalid_argument("not a cell address: " + std::string(address));
  return cells[*cell];
}

const CellModel* SheetModel::FindCell(CellRef cell) const {
  const auto found = cells.find(cell);
  return found == cells.end() ? nullptr : &found->second;
}

const ArrayModel* SheetModel::FindArray(CellRef cell) const {
  const auto found =
      std::find_if(arrays.begin(), arrays.end(), [&](const ArrayModel& a) { return a.range.Contains(cell); });
  return found == arrays.end() ? nullptr : &*found;
}

std::vector<ShapeModel> SheetModel::AllShapes() const {
  std::vector<ShapeModel> all = shapes;
  for (const auto& [ref, cell] : cells) {
    if (cell.comment.empty()) continue;
    all.push_back(ShapeModel{"Comment " + std::to_string(all.size() + 1), ControlType::kNone, excel::xlOff});
  }
  return all;
}

std::string Model::Caption(const WorkbookModel& workbook) const {
  const std::string& name = workbook.name;
  const size_t dot = name.rfind('.');
  if (!hideExtensions || dot == std::string::npos || dot == 0) return name;
  static const char* const kKnown[] = {"xls",  "xlt",  "xla", "xlsx", "xlsm",
                                       "xlsb", "xltx", "csv", "txt",  "ods"};
  const std::string extension = name.substr(dot + 1);
  const bool known = std::any_of(std::begin(kKnown), std::end(kKnown),
                                 [&](const char* k) { return SameName(extension, k); });
  return known ? name.substr(0, dot) : name;
}

SheetModel& WorkbookModel::Sheet(std::string_view sheetName) {
  for (const auto& sheet : sheets) {
    if (SameName(sheet->name, sheetName)) return *sheet;
  }
  throw std::out_of_range("no sheet named " + std::string(sheetName) + " in " + name);
}

std::vector<CommandBarModel> BuiltInCommandBars() {
  constexpr long kTop = excel::msoBarTop;
  constexpr long kFloating = excel::msoBarFloating;
  // The two menu bars sit at the top; only one of them shows at a time.
  return {
      {"Worksheet Menu Bar", true, true, kTop},
      {"Chart Menu Bar", true, false, kTop},
      {"Standard", true, true, kTop},
      {"Formatting", true, true, kTop},
      {"PivotTable", true, false, kFloating},
      {"Chart", true, false, kFloating},
      {"Reviewing", true, false, kFloating},
      {"Forms", true, false, kFloating},
      {"Stop Recording", true, false, kFloating},
      {"External Data", true, false, kFloating},
      {"Formula Auditing", true, false, kFloating},
      {"Full Screen", true, false, kFloating},
      {"Circular Reference", true, false, kFloating},
      {"Visual Basic", true, false, kFloating},
      {"Web", true, false, kFloating},
      {"Control Toolbox", true, false, kFloating},
      {"Exit Design Mode", true, false, kFloating},
      {"Refresh", true, false, kFloating},
      {"Watch Window", true, false, kFloating},
      {"PivotTable Field List", true, false, kFloating},
      {"Borders", true, false, kFloating},
      {"Protection", true, false, kFloating},
      {"Text To Speech", true, false, kFloating},
      {"List", true, false, kFloating},
      {"Compare Side by Side", true, false, kFloating},
      {"Drawing", true, false, excel::msoBarBottom},
      {"Task Pane", true, true, excel::msoBarRight},
  };
}

std::shared_ptr<WorkbookModel> Model::ActiveWorkbook() const {
  const auto found = std::max_element(workbooks.begin(), workbooks.end(), [](const auto& a, const auto& b) {
    return a->activation < b->activation;
  });
  return found == workbooks.end() ? nullptr : *found;
}

void Model::Activate(const std::shared_ptr<WorkbookModel>& workbook) {
  workbook->activation = ++activationCounter;
}

bool Model::IsOpen(const WorkbookModel& workbook) const {
  return std::any_of(workbooks.begin(), workbooks.end(), [&](const auto& w) { return w.get() == &workbook; });
}

bool Model::SideBySide() const {
  return sideBySideFirst && sideBySideSecond && IsOpen(*sideBySideFirst) && IsOpen(*sideBySideSecond);
}

std::vector<std::shared_ptr<WorkbookModel>> Model::WindowOrder() const {
  std::vector<std::shared_ptr<WorkbookModel>> order = workbooks;
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a->activation > b->activation; });
  return order;
}

WorkbookModel& Model::Workbook(std::string_view workbookName) {
  for (const auto& workbook : workbooks) {
    if (SameName(workbook->name, workbookName)) return *workbook;
  }
  throw std::out_of_range("no workbook named " + std::string(workbookName));
}

}  // namespace sim
