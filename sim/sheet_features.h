// Simulated objects that a sheet holds besides its cells: shapes and form
// controls, pivot tables and their fields, scenarios.
#pragma once

#include <memory>
#include <string>

#include "framework/excel.h"
#include "sim/session.h"

namespace sim {

class SimShapes : public excel::Shapes, public SheetBound {
 public:
  SimShapes(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
            std::shared_ptr<SheetModel> sheet)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)) {}
  long Count() override;
  // Missing name or position: E_INVALIDARG with Excel's description.
  std::shared_ptr<excel::Shape> Item(const vb::Variant& index) override;
};

class SimShape : public excel::Shape, public SheetBound {
 public:
  SimShape(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
           std::shared_ptr<SheetModel> sheet, size_t position)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)), position_(position) {}
  std::string Name() override;
  // Only on the active sheet of the active workbook, and not while the
  // sheet is protected (its shapes are locked).
  void Select() override;

 private:
  [[nodiscard]] ShapeModel Data() const;
  size_t position_;
};

class SimPivotTable : public excel::PivotTable, public SheetBound {
 public:
  SimPivotTable(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
                std::shared_ptr<SheetModel> sheet, size_t position)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)), position_(position) {}
  vb::Variant SourceData() override;
  std::shared_ptr<excel::PivotField> RowFields(const vb::Variant& index) override;
  std::shared_ptr<excel::PivotField> ColumnFields(const vb::Variant& index) override;
  std::shared_ptr<excel::PivotField> DataFields(const vb::Variant& index) override;

  enum class FieldKind { kRow, kColumn, kData };

 private:
  std::shared_ptr<excel::PivotField> Field(FieldKind kind, const vb::Variant& index);
  size_t position_;
};

class SimPivotField : public excel::PivotField, public SheetBound {
 public:
  SimPivotField(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
                std::shared_ptr<SheetModel> sheet, size_t table, SimPivotTable::FieldKind kind,
                size_t position)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)),
        table_(table),
        kind_(kind),
        position_(position) {}
  std::string Name() override;
  long Function() override;
  std::string SourceName() override;

 private:
  const PivotFieldModel& Data() const;
  size_t table_;
  SimPivotTable::FieldKind kind_;
  size_t position_;
};

class SimScenarios : public excel::Scenarios, public SheetBound {
 public:
  SimScenarios(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
               std::shared_ptr<SheetModel> sheet)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)) {}
  long Count() override;
  std::shared_ptr<excel::Scenario> Item(const vb::Variant& index) override;
  // Text values that are numbers (in the current regional setting) become
  // numbers; Empty `values` takes the changing cells' current values.
  std::shared_ptr<excel::Scenario> Add(const std::string& name, const vb::Variant& changingCells,
                                       const vb::Variant& values, const std::string& comment, bool locked,
                                       bool hidden) override;

 private:
  std::vector<Area> ChangingAreas(const vb::Variant& changingCells) const;
};

class SimScenario : public excel::Scenario, public SheetBound {
 public:
  SimScenario(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
              std::shared_ptr<SheetModel> sheet, size_t position)
      : SheetBound(std::move(session), std::move(workbook), std::move(sheet)), position_(position) {}
  std::string Name() override;
  std::shared_ptr<excel::Range> ChangingCells() override;
  vb::Variant Values(long index) override;
  vb::Variant Values() override;
  std::string Comment() override;
  bool Locked() override;
  bool Hidden() override;

 private:
  const ScenarioModel& Data() const;
  size_t position_;
};

}  // namespace sim
