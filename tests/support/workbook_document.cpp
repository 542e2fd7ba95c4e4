#include "tests/support/workbook_document.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace test_support {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("r58267-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

WorkbookDocument WorkbookDocument::Sample(const std::string& relativePath) {
  std::ifstream in(std::filesystem::path(R58267_SAMPLES_DIR) / relativePath);
  if (!in) throw std::runtime_error("no sample " + relativePath);
  WorkbookDocument document;
  document.json = nlohmann::json::parse(in);
  return document;
}

WorkbookDocument WorkbookDocument::WithSheets(std::initializer_list<std::string> names) {
  WorkbookDocument document;
  document.json["sheets"] = nlohmann::json::array();
  for (const auto& name : names)
    document.json["sheets"].push_back({{"name", name}, {"cells", nlohmann::json::object()}});
  return document;
}

nlohmann::json& WorkbookDocument::SheetJson(const std::string& sheet) {
  for (auto& entry : json["sheets"]) {
    if (entry["name"] == sheet) return entry;
  }
  throw std::runtime_error("no sheet " + sheet);
}

WorkbookDocument& WorkbookDocument::Formula(const std::string& sheet, const std::string& address,
                                            const std::string& formula, const nlohmann::json& value) {
  nlohmann::json cell = {{"formula", formula}};
  if (!value.is_null()) cell["value"] = value;
  SheetJson(sheet)["cells"][address] = cell;
  return *this;
}

WorkbookDocument& WorkbookDocument::Constant(const std::string& sheet, const std::string& address,
                                             const nlohmann::json& value) {
  SheetJson(sheet)["cells"][address] = value;
  return *this;
}

WorkbookDocument& WorkbookDocument::Clear(const std::string& sheet, const std::string& address) {
  SheetJson(sheet)["cells"].erase(address);
  return *this;
}

WorkbookDocument& WorkbookDocument::RemoveSheet(const std::string& sheet) {
  auto& sheets = json["sheets"];
  for (auto it = sheets.begin(); it != sheets.end(); ++it) {
    if ((*it)["name"] == sheet) {
      sheets.erase(it);
      break;
    }
  }
  if (json.contains("activeSheet") && json["activeSheet"] == sheet) json.erase("activeSheet");
  return *this;
}

WorkbookDocument& WorkbookDocument::SheetField(const std::string& sheet, const std::string& field,
                                               const nlohmann::json& value) {
  SheetJson(sheet)[field] = value;
  return *this;
}

std::filesystem::path WorkbookDocument::Save(const std::filesystem::path& folder,
                                             const std::string& fileName) const {
  const auto path = folder / fileName;
  std::ofstream out(path);
  out << json.dump(1);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path;
}

}  // namespace test_support
