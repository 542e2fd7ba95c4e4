// Simulated Workbooks collection, Workbook and Sheets collection.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "framework/excel.h"
#include "sim/session.h"

namespace sim {

class SimWorkbooks : public excel::Workbooks, public SessionBound {
 public:
  explicit SimWorkbooks(std::shared_ptr<Session> session) : SessionBound(std::move(session)) {}
  std::shared_ptr<excel::Workbook> Open(const std::string& fileName) override;
  std::shared_ptr<excel::Workbook> Add() override;
  long Count() override;
  std::shared_ptr<excel::Workbook> Item(const vb::Variant& index) override;
};

// A workbook; once closed, each member raises kDisconnectedHresult.
class SimWorkbook : public excel::Workbook, public WorkbookBound {
 public:
  SimWorkbook(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook)
      : WorkbookBound(std::move(session), std::move(workbook)) {}
  std::string Name() override;
  void Activate() override;
  std::shared_ptr<excel::Worksheet> ActiveSheet() override;
  // The file is never written, whatever `saveChanges` says.
  void Close(std::optional<bool> saveChanges) override;
  std::shared_ptr<excel::Sheets> Sheets() override;
  std::shared_ptr<excel::Sheets> Worksheets() override;
  std::shared_ptr<excel::Windows> Windows() override;
};

// `Sheets` (every sheet) or `Worksheets` (chart sheets left out).
class SimSheets : public excel::Sheets, public WorkbookBound {
 public:
  SimSheets(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook, bool worksheetsOnly)
      : WorkbookBound(std::move(session), std::move(workbook)), worksheetsOnly_(worksheetsOnly) {}
  long Count() override;
  std::shared_ptr<excel::Worksheet> Item(const vb::Variant& index) override;

 private:
  [[nodiscard]] std::vector<std::shared_ptr<SheetModel>> Members() const;
  bool worksheetsOnly_;
};

}  // namespace sim
