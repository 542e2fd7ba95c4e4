#include "sim/sheet_features.h"

#include "sim/sheet_objects.h"

namespace sim {
namespace {

const char* const kScenarioAddFailed = "Add method of Scenarios class failed";
// Excel keeps at most this many changing cells in a scenario.
constexpr long kMaxChangingCells = 32;

// Each member re-checks its position: the sheet may have lost the item
// since the object was handed out.
template <typename T>
const T& At(const std::vector<T>& items, size_t position) {
  if (position >= items.size()) RaiseExcel(kDisconnectedHresult, "Automation error");
  return items[position];
}

}  // namespace

// ---- Shapes ----

long SimShapes::Count() {
  Enter();
  return static_cast<long>(sheet_->AllShapes().size());
}

std::shared_ptr<excel::Shape> SimShapes::Item(const vb::Variant& index) {
  Enter();
  const std::vector<ShapeModel> shapes = sheet_->AllShapes();
  const auto position = FindIndex(index, shapes.size(), [&](size_t i) { return shapes[i].name; });
  if (!position) {
    RaiseExcel(vb::kInvalidArgumentHresult,
               index.Type() == vb::VarType::String
                   ? "The item with the specified name wasn't found."
                   : "The index into the specified collection is out of bounds.");
  }
  return std::make_shared<SimShape>(session_, workbook_, sheet_, *position);
}

ShapeModel SimShape::Data() const { return At(sheet_->AllShapes(), position_); }

std::string SimShape::Name() {
  Enter();
  return Data().name;
}

void SimShape::Select() {
  const Model& model = Enter();
  const ShapeModel shape = Data();
  if (!OnActiveSheet(model) || sheet_->isProtected)
    RaiseApplicationDefined("Select method of Shape class failed");
  sheet_->selection = SelectionModel{SelectionModel::Kind::kShape, {}, shape.name};
}

// ---- Pivot tables ----

vb::Variant SimPivotTable::SourceData() {
  Enter();
  return vb::Variant(At(sheet_->pivotTables, position_).sourceData);
}

std::shared_ptr<excel::PivotField> SimPivotTable::Field(FieldKind kind, const vb::Variant& index) {
  Enter();
  const PivotTableModel& table = At(sheet_->pivotTables, position_);
  const std::vector<PivotFieldModel>& fields = kind == FieldKind::kRow      ? table.rowFields
                                               : kind == FieldKind::kColumn ? table.columnFields
                                                                            : table.dataFields;
  const auto position = FindIndex(index, fields.size(), [&](size_t i) { return fields[i].name; });
  if (!position) {
    const char* property = kind == FieldKind::kRow      ? "RowFields"
                           : kind == FieldKind::kColumn ? "ColumnFields"
                                                        : "DataFields";
    RaiseApplicationDefined(std::string("Unable to get the ") + property +
                            " property of the PivotTable class");
  }
  return std::make_shared<SimPivotField>(session_, workbook_, sheet_, position_, kind, *position);
}

std::shared_ptr<excel::PivotField> SimPivotTable::RowFields(const vb::Variant& index) {
  return Field(FieldKind::kRow, index);
}

std::shared_ptr<excel::PivotField> SimPivotTable::ColumnFields(const vb::Variant& index) {
  return Field(FieldKind::kColumn, index);
}

std::shared_ptr<excel::PivotField> SimPivotTable::DataFields(const vb::Variant& index) {
  return Field(FieldKind::kData, index);
}

const PivotFieldModel& SimPivotField::Data() const {
  const PivotTableModel& table = At(sheet_->pivotTables, table_);
  switch (kind_) {
    case SimPivotTable::FieldKind::kRow:
      return At(table.rowFields, position_);
    case SimPivotTable::FieldKind::kColumn:
      return At(table.columnFields, position_);
    case SimPivotTable::FieldKind::kData:
      break;
  }
  return At(table.dataFields, position_);
}

std::string SimPivotField::Name() {
  Enter();
  return Data().name;
}

long SimPivotField::Function() {
  Enter();
  return Data().function;
}

std::string SimPivotField::SourceName() {
  Enter();
  return Data().sourceName;
}

// ---- Scenarios ----

long SimScenarios::Count() {
  Enter();
  return static_cast<long>(sheet_->scenarios.size());
}

std::shared_ptr<excel::Scenario> SimScenarios::Item(const vb::Variant& index) {
  Enter();
  const auto& scenarios = sheet_->scenarios;
  const auto position = FindIndex(index, scenarios.size(), [&](size_t i) { return scenarios[i].name; });
  if (!position) RaiseApplicationDefined("Unable to get the Item property of the Scenarios class");
  return std::make_shared<SimScenario>(session_, workbook_, sheet_, *position);
}

std::vector<Area> SimScenarios::ChangingAreas(const vb::Variant& changingCells) const {
  if (changingCells.Type() == vb::VarType::String) {
    auto areas = ParseA1OrR1C1(changingCells.AsString());
    if (!areas) RaiseApplicationDefined(kScenarioAddFailed);
    return *areas;
  }
  if (changingCells.Type() == vb::VarType::Object) {
    const auto* range = dynamic_cast<const SimRange*>(changingCells.AsObject().get());
    if (range == nullptr || range->sheet() != sheet_) RaiseApplicationDefined(kScenarioAddFailed);
    return range->areas();
  }
  vb::Raise(vb::kTypeMismatch);
}

std::shared_ptr<excel::Scenario> SimScenarios::Add(const std::string& name, const vb::Variant& changingCells,
                                                   const vb::Variant& values, const std::string& comment,
                                                   bool locked, bool hidden) {
  Enter();
  if (sheet_->isProtected || name.empty()) RaiseApplicationDefined(kScenarioAddFailed);
  for (const ScenarioModel& other : sheet_->scenarios) {
    if (SameName(other.name, name)) RaiseApplicationDefined(kScenarioAddFailed);
  }
  ScenarioModel scenario{name, ChangingAreas(changingCells), {}, comment, locked, hidden};
  std::vector<CellRef> cells;
  for (const Area& area : scenario.changingCells) {
    for (long row = area.top; row <= area.bottom && cells.size() <= kMaxChangingCells; ++row) {
      for (long column = area.left; column <= area.right && cells.size() <= kMaxChangingCells; ++column) {
        cells.push_back({row, column});
      }
    }
  }
  if (static_cast<long>(cells.size()) > kMaxChangingCells) RaiseApplicationDefined(kScenarioAddFailed);
  if (values.IsEmpty()) {
    for (const CellRef& cell : cells) scenario.values.push_back(CellValue(*sheet_, cell));
  } else if (values.Type() == vb::VarType::Array) {
    scenario.values = values.Items();
  } else {
    scenario.values.push_back(values);
  }
  for (vb::Variant& value : scenario.values) {
    double number = 0;
    if (value.Type() == vb::VarType::String && vb::TryParseNumber(value.AsString(), number)) value = number;
  }
  if (scenario.values.size() != cells.size()) RaiseApplicationDefined(kScenarioAddFailed);
  sheet_->scenarios.push_back(std::move(scenario));
  return std::make_shared<SimScenario>(session_, workbook_, sheet_, sheet_->scenarios.size() - 1);
}

const ScenarioModel& SimScenario::Data() const { return At(sheet_->scenarios, position_); }

std::string SimScenario::Name() {
  Enter();
  return Data().name;
}

std::shared_ptr<excel::Range> SimScenario::ChangingCells() {
  Enter();
  return std::make_shared<SimRange>(session_, workbook_, sheet_, Data().changingCells);
}

vb::Variant SimScenario::Values(long index) {
  Enter();
  const auto& values = Data().values;
  if (index < 1 || static_cast<size_t>(index) > values.size()) {
    RaiseApplicationDefined("Unable to get the Values property of the Scenario class");
  }
  return values[static_cast<size_t>(index - 1)];
}

vb::Variant SimScenario::Values() {
  Enter();
  return vb::Variant::Array(Data().values);
}

std::string SimScenario::Comment() {
  Enter();
  return Data().comment;
}

bool SimScenario::Locked() {
  Enter();
  return Data().locked;
}

bool SimScenario::Hidden() {
  Enter();
  return Data().hidden;
}

}  // namespace sim
