// The simulated Excel application: the root of the stand-in's object model.
// Every object it hands out shares its state (sim/model.h) and counts one
// automation call per member access.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/excel.h"
#include "sim/model.h"
#include "sim/session.h"

namespace sim {

struct ExcelOptions {
  // Returned by TemplatesPath(); a final separator is added when missing.
  // Default: <temp dir>/r58267-sim/Templates/.
  std::string templatesPath;
  // Excel's current folder at start. Default: the process's current folder.
  std::string currentFolder;
  // Windows' "hide extensions for known file types" (on by default in
  // Windows XP): a window's caption then leaves the extension out.
  bool hideExtensions = false;
};

class ExcelApplication : public excel::Application, public SessionBound {
 public:
  static std::shared_ptr<ExcelApplication> Create(ExcelOptions options = {});

  // ---- test and benchmark hooks (not counted as calls) ----
  [[nodiscard]] long CallCount() const;
  void ResetCallCount();
  // false: every member throws vb::Error(vb::kServerBusyHresult, …).
  void SetResponding(bool responding);
  // After Quit(), every member throws vb::Error(vb::kServerUnavailableHresult, …).
  [[nodiscard]] bool HasQuit() const;
  [[nodiscard]] std::string CurrentFolder() const;
  Model& State();

  // ---- excel::Application ----
  std::shared_ptr<excel::Workbooks> Workbooks() override;
  std::shared_ptr<excel::Workbook> ActiveWorkbook() override;
  std::shared_ptr<excel::Worksheet> ActiveSheet() override;
  std::shared_ptr<excel::Window> ActiveWindow() override;
  std::shared_ptr<excel::Windows> Windows() override;
  // 1004 without an open workbook.
  std::shared_ptr<excel::Sheets> Sheets() override;
  std::shared_ptr<excel::Sheets> Worksheets() override;
  // 1004 without an open workbook or when the active sheet is a chart.
  std::shared_ptr<excel::Range> Range(const std::string& address) override;
  std::shared_ptr<excel::Range> Cells(long row, long column) override;
  std::shared_ptr<excel::Selection> Selection() override;
  std::shared_ptr<excel::WorksheetFunction> WorksheetFunction() override;
  std::shared_ptr<excel::CommandBars> CommandBars() override;
  // The stand-in has no macros: always 1004.
  vb::Variant Run(const std::string& macro, const std::vector<vb::Variant>& arguments) override;
  // DIRECTORY() and DIRECTORY("folder") only; any other text raises 1004.
  vb::Variant ExecuteExcel4Macro(const std::string& text) override;
  std::string TemplatesPath() override;
  bool ShowToolTips() override;
  void ShowToolTips(bool value) override;
  long DisplayCommentIndicator() override;
  void DisplayCommentIndicator(long value) override;
  bool DisplayFullScreen() override;
  void DisplayFullScreen(bool value) override;
  bool ShowStartupDialog() override;
  void ShowStartupDialog(bool value) override;
  bool Visible() override;
  void Visible(bool value) override;
  void Quit() override;

 private:
  explicit ExcelApplication(std::shared_ptr<Session> session) : SessionBound(std::move(session)) {}
  // The active workbook and its active sheet; 91 without a workbook.
  std::pair<std::shared_ptr<WorkbookModel>, std::shared_ptr<SheetModel>> Active(const Model& model) const;
  std::shared_ptr<WorkbookModel> ActiveOr1004(const Model& model, const char* member) const;
  vb::Variant Directory(Model& model, const std::optional<std::string>& folder) const;
};

}  // namespace sim
