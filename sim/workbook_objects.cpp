#include "sim/workbook_objects.h"

#include <algorithm>
#include <filesystem>

#include "sim/document.h"
#include "sim/sheet_objects.h"
#include "sim/window_objects.h"

namespace sim {
namespace {

std::shared_ptr<WorkbookModel> NewBlankWorkbook(Model& model) {
  auto workbook = std::make_shared<WorkbookModel>();
  workbook->name = "Book" + std::to_string(model.nextBookNumber++);
  workbook->fullName = workbook->name;
  for (int i = 1; i <= 3; ++i) {
    auto sheet = std::make_shared<SheetModel>();
    sheet->name = "Sheet" + std::to_string(i);
    workbook->sheets.push_back(std::move(sheet));
  }
  return workbook;
}

}  // namespace

std::shared_ptr<excel::Workbook> SimWorkbooks::Open(const std::string& fileName) {
  Model& model = Enter();
  // A relative path is read from Excel's current folder, as Excel does.
  const std::filesystem::path given(vb::Replace(fileName, "\\", "/"));
  const std::filesystem::path full = (std::filesystem::path(model.currentFolder) / given).lexically_normal();
  std::error_code error;
  if (fileName.empty() || !std::filesystem::is_regular_file(full, error)) {
    RaiseApplicationDefined("'" + fileName +
                            "' could not be found. Check the spelling of the file name, and verify that the "
                            "file location is correct.");
  }
  const std::string name = full.filename().string();
  for (const auto& open : model.workbooks) {
    if (!SameName(open->name, name)) continue;
    if (open->fullName != full.string()) {
      RaiseApplicationDefined("A document with the name '" + open->name +
                              "' is already open. You cannot open two documents with the same name, even if "
                              "the documents are in different folders. To open the second document, either "
                              "close the document that's currently open, or rename one of the documents.");
    }
    model.Activate(open);
    return std::make_shared<SimWorkbook>(session_, open);
  }
  auto workbook = std::make_shared<WorkbookModel>(ReadWorkbookDocument(full.string()));
  workbook->name = name;
  workbook->fullName = full.string();
  model.workbooks.push_back(workbook);
  model.Activate(workbook);
  return std::make_shared<SimWorkbook>(session_, workbook);
}

std::shared_ptr<excel::Workbook> SimWorkbooks::Add() {
  Model& model = Enter();
  auto workbook = NewBlankWorkbook(model);
  model.workbooks.push_back(workbook);
  model.Activate(workbook);
  return std::make_shared<SimWorkbook>(session_, workbook);
}

long SimWorkbooks::Count() { return static_cast<long>(Enter().workbooks.size()); }

std::shared_ptr<excel::Workbook> SimWorkbooks::Item(const vb::Variant& index) {
  Model& model = Enter();
  const auto position =
      FindIndex(index, model.workbooks.size(), [&](size_t i) { return model.workbooks[i]->name; });
  if (!position) vb::Raise(vb::kSubscriptOutOfRange);
  return std::make_shared<SimWorkbook>(session_, model.workbooks[*position]);
}

std::string SimWorkbook::Name() {
  Enter();
  return workbook_->name;
}

void SimWorkbook::Activate() { Enter().Activate(workbook_); }

std::shared_ptr<excel::Worksheet> SimWorkbook::ActiveSheet() {
  Enter();
  if (workbook_->activeSheet >= workbook_->sheets.size()) vb::Raise(vb::kObjectNotSet);
  return std::make_shared<SimWorksheet>(session_, workbook_, workbook_->sheets[workbook_->activeSheet]);
}

void SimWorkbook::Close(std::optional<bool> /*saveChanges*/) {
  Model& model = Enter();
  const bool wasActive = model.ActiveWorkbook() == workbook_;
  std::erase(model.workbooks, workbook_);
  if (wasActive && !model.workbooks.empty()) model.Activate(model.workbooks.back());
}

std::shared_ptr<excel::Sheets> SimWorkbook::Sheets() {
  Enter();
  return std::make_shared<SimSheets>(session_, workbook_, false);
}

std::shared_ptr<excel::Sheets> SimWorkbook::Worksheets() {
  Enter();
  return std::make_shared<SimSheets>(session_, workbook_, true);
}

std::shared_ptr<excel::Windows> SimWorkbook::Windows() {
  Enter();
  return std::make_shared<SimWindows>(session_, workbook_);
}

std::vector<std::shared_ptr<SheetModel>> SimSheets::Members() const {
  std::vector<std::shared_ptr<SheetModel>> members;
  std::copy_if(workbook_->sheets.begin(), workbook_->sheets.end(), std::back_inserter(members),
               [&](const auto& sheet) { return !worksheetsOnly_ || sheet->type == SheetType::kWorksheet; });
  return members;
}

long SimSheets::Count() {
  Enter();
  return static_cast<long>(Members().size());
}

std::shared_ptr<excel::Worksheet> SimSheets::Item(const vb::Variant& index) {
  Enter();
  // Every sheet is a member of Sheets: no copy of the list, so that going
  // through a workbook's sheets one by one stays linear.
  if (!worksheetsOnly_) {
    const auto& sheets = workbook_->sheets;
    const auto position = FindIndex(index, sheets.size(), [&](size_t i) { return sheets[i]->name; });
    if (!position) vb::Raise(vb::kSubscriptOutOfRange);
    return std::make_shared<SimWorksheet>(session_, workbook_, sheets[*position], *position);
  }
  const auto members = Members();
  const auto position = FindIndex(index, members.size(), [&](size_t i) { return members[i]->name; });
  if (!position) vb::Raise(vb::kSubscriptOutOfRange);
  return std::make_shared<SimWorksheet>(session_, workbook_, members[*position]);
}

}  // namespace sim
