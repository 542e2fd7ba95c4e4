#include "sim/excel_application.h"

#include <filesystem>

#include "sim/sheet_objects.h"
#include "sim/window_objects.h"
#include "sim/workbook_objects.h"

namespace sim {
namespace {

std::string DefaultTemplatesPath() {
  std::error_code error;
  std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) temp = "/tmp";
  return (temp / "r58267-sim" / "Templates" / "").string();
}

std::string WithFinalSeparator(std::string path) {
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += '/';
  return path;
}

// A folder text without its final separators (the root keeps its own).
std::string WithoutFinalSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

// Reads `DIRECTORY()` (nullopt inside) or `DIRECTORY("folder")` (the folder,
// doubled quotes undone); false for any other text.
bool ParseDirectoryMacro(std::string_view text, std::optional<std::string>& folder) {
  const std::string trimmed = TrimSpaces(text);
  const std::string_view name = "directory(";
  if (trimmed.size() < name.size() + 1 || vb::LCase(trimmed.substr(0, name.size())) != name ||
      trimmed.back() != ')') {
    return false;
  }
  const std::string inside =
      TrimSpaces(std::string_view(trimmed).substr(name.size(), trimmed.size() - name.size() - 1));
  if (inside.empty()) {
    folder.reset();
    return true;
  }
  if (inside.size() < 2 || inside.front() != '"' || inside.back() != '"') return false;
  std::string value;
  for (size_t i = 1; i + 1 < inside.size(); ++i) {
    if (inside[i] == '"') {
      if (i + 2 >= inside.size() || inside[i + 1] != '"') return false;
      ++i;
    }
    value += inside[i];
  }
  folder = value;
  return true;
}

}  // namespace

std::shared_ptr<ExcelApplication> ExcelApplication::Create(ExcelOptions options) {
  auto session = std::make_shared<Session>();
  Model& model = session->model;
  model.hideExtensions = options.hideExtensions;
  model.templatesPath =
      options.templatesPath.empty() ? DefaultTemplatesPath() : WithFinalSeparator(options.templatesPath);
  if (options.currentFolder.empty()) {
    std::error_code error;
    options.currentFolder = std::filesystem::current_path(error).string();
  }
  model.currentFolder = WithoutFinalSeparator(vb::Replace(options.currentFolder, "\\", "/"));
  return std::shared_ptr<ExcelApplication>(new ExcelApplication(std::move(session)));
}

long ExcelApplication::CallCount() const { return session_->callCount; }

void ExcelApplication::ResetCallCount() { session_->callCount = 0; }

void ExcelApplication::SetResponding(bool responding) { session_->responding = responding; }

bool ExcelApplication::HasQuit() const { return session_->quit; }

std::string ExcelApplication::CurrentFolder() const { return session_->model.currentFolder; }

Model& ExcelApplication::State() { return session_->model; }

std::pair<std::shared_ptr<WorkbookModel>, std::shared_ptr<SheetModel>> ExcelApplication::Active(
    const Model& model) const {
  auto workbook = model.ActiveWorkbook();
  if (!workbook || workbook->activeSheet >= workbook->sheets.size()) vb::Raise(vb::kObjectNotSet);
  return {workbook, workbook->sheets[workbook->activeSheet]};
}

std::shared_ptr<WorkbookModel> ExcelApplication::ActiveOr1004(const Model& model, const char* member) const {
  auto workbook = model.ActiveWorkbook();
  if (!workbook)
    RaiseApplicationDefined(std::string("Method '") + member + "' of object '_Application' failed");
  return workbook;
}

std::shared_ptr<excel::Workbooks> ExcelApplication::Workbooks() {
  Enter();
  return std::make_shared<SimWorkbooks>(session_);
}

std::shared_ptr<excel::Workbook> ExcelApplication::ActiveWorkbook() {
  const auto [workbook, sheet] = Active(Enter());
  return std::make_shared<SimWorkbook>(session_, workbook);
}

std::shared_ptr<excel::Worksheet> ExcelApplication::ActiveSheet() {
  const auto [workbook, sheet] = Active(Enter());
  return std::make_shared<SimWorksheet>(session_, workbook, sheet);
}

std::shared_ptr<excel::Window> ExcelApplication::ActiveWindow() {
  const auto [workbook, sheet] = Active(Enter());
  return std::make_shared<SimWindow>(session_, workbook);
}

std::shared_ptr<excel::Windows> ExcelApplication::Windows() {
  Enter();
  return std::make_shared<SimWindows>(session_);
}

std::shared_ptr<excel::Sheets> ExcelApplication::Sheets() {
  return std::make_shared<SimSheets>(session_, ActiveOr1004(Enter(), "Sheets"), false);
}

std::shared_ptr<excel::Sheets> ExcelApplication::Worksheets() {
  return std::make_shared<SimSheets>(session_, ActiveOr1004(Enter(), "Worksheets"), true);
}

std::shared_ptr<excel::Range> ExcelApplication::Range(const std::string& address) {
  const auto workbook = ActiveOr1004(Enter(), "Range");
  const auto& sheet = workbook->sheets.at(workbook->activeSheet);
  const auto areas = ParseA1(address);
  if (sheet->type != SheetType::kWorksheet || !areas) {
    RaiseApplicationDefined("Method 'Range' of object '_Application' failed");
  }
  return std::make_shared<SimRange>(session_, workbook, sheet, *areas);
}

std::shared_ptr<excel::Range> ExcelApplication::Cells(long row, long column) {
  const auto workbook = ActiveOr1004(Enter(), "Cells");
  const auto& sheet = workbook->sheets.at(workbook->activeSheet);
  if (sheet->type != SheetType::kWorksheet)
    RaiseApplicationDefined("Method 'Cells' of object '_Application' failed");
  if (!InSheet({row, column})) RaiseApplicationDefined("Application-defined or object-defined error");
  return std::make_shared<SimRange>(session_, workbook, sheet, std::vector<Area>{{row, column, row, column}});
}

std::shared_ptr<excel::Selection> ExcelApplication::Selection() {
  const auto [workbook, sheet] = Active(Enter());
  return SheetSelection(session_, workbook, sheet);
}

std::shared_ptr<excel::WorksheetFunction> ExcelApplication::WorksheetFunction() {
  Enter();
  return std::make_shared<SimWorksheetFunction>(session_);
}

std::shared_ptr<excel::CommandBars> ExcelApplication::CommandBars() {
  Enter();
  return std::make_shared<SimCommandBars>(session_);
}

vb::Variant ExcelApplication::Run(const std::string& macro, const std::vector<vb::Variant>& /*arguments*/) {
  Enter();
  RaiseApplicationDefined("The macro '" + macro + "' cannot be found.");
}

vb::Variant ExcelApplication::Directory(Model& model, const std::optional<std::string>& folder) const {
  if (!folder) return vb::Variant(model.currentFolder);
  // A relative folder is read from the current one, as Excel does.
  const std::filesystem::path wanted =
      (std::filesystem::path(model.currentFolder) / vb::Replace(*folder, "\\", "/")).lexically_normal();
  std::error_code error;
  if (folder->empty() || !std::filesystem::is_directory(wanted, error)) {
    return vb::Variant::ErrorValue(vb::cell_error::kValue);
  }
  model.currentFolder = WithoutFinalSeparator(wanted.string());
  return vb::Variant(model.currentFolder);
}

vb::Variant ExcelApplication::ExecuteExcel4Macro(const std::string& text) {
  Model& model = Enter();
  std::optional<std::string> folder;
  if (!ParseDirectoryMacro(text, folder)) {
    RaiseApplicationDefined("Method 'ExecuteExcel4Macro' of object '_Application' failed");
  }
  return Directory(model, folder);
}

std::string ExcelApplication::TemplatesPath() { return Enter().templatesPath; }

bool ExcelApplication::ShowToolTips() { return Enter().showToolTips; }

void ExcelApplication::ShowToolTips(bool value) { Enter().showToolTips = value; }

long ExcelApplication::DisplayCommentIndicator() { return Enter().displayCommentIndicator; }

void ExcelApplication::DisplayCommentIndicator(long value) {
  Model& model = Enter();
  if (value != excel::xlNoIndicator && value != excel::xlCommentIndicatorOnly &&
      value != excel::xlCommentAndIndicator) {
    RaiseApplicationDefined("Unable to set the DisplayCommentIndicator property of the Application class");
  }
  model.displayCommentIndicator = value;
}

bool ExcelApplication::DisplayFullScreen() { return Enter().displayFullScreen; }

void ExcelApplication::DisplayFullScreen(bool value) { Enter().displayFullScreen = value; }

bool ExcelApplication::ShowStartupDialog() { return Enter().showStartupDialog; }

void ExcelApplication::ShowStartupDialog(bool value) { Enter().showStartupDialog = value; }

bool ExcelApplication::Visible() { return Enter().visible; }

void ExcelApplication::Visible(bool value) { Enter().visible = value; }

void ExcelApplication::Quit() {
  Enter();
  session_->quit = true;
}

}  // namespace sim
