// Test helpers: a temporary folder, and workbook documents built to read
// like the situation under test ("the 705 workbook whose B81 holds …").
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace test_support {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  // The folder as a folder text: ends with a separator.
  [[nodiscard]] std::string Text() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

class WorkbookDocument {
 public:
  // A document from samples/ (for example "705/start.json").
  static WorkbookDocument Sample(const std::string& relativePath);
  // A document with the given worksheets and nothing in them.
  static WorkbookDocument WithSheets(std::initializer_list<std::string> names);

  // A cell holding a formula and the value Excel computed for it.
  WorkbookDocument& Formula(const std::string& sheet, const std::string& address, const std::string& formula,
                            const nlohmann::json& value = nullptr);
  // A cell holding a constant (text, number, truth value, {"date": …}).
  WorkbookDocument& Constant(const std::string& sheet, const std::string& address,
                             const nlohmann::json& value);
  WorkbookDocument& Clear(const std::string& sheet, const std::string& address);
  WorkbookDocument& RemoveSheet(const std::string& sheet);
  // Any other field of a sheet ("protected", "shapes" …).
  WorkbookDocument& SheetField(const std::string& sheet, const std::string& field,
                               const nlohmann::json& value);

  // Writes the document as `fileName` in `folder`; returns the full path.
  std::filesystem::path Save(const std::filesystem::path& folder, const std::string& fileName) const;

  nlohmann::json json;

 private:
  nlohmann::json& SheetJson(const std::string& sheet);
};

}  // namespace test_support
