// The real workbooks of a run (.xls, .xlsx, .ods): an .xlsx read straight
// from the file; LibreOffice started at the first other one, kept for the
// others, stopped when the session ends or the run is interrupted.
#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/grader.h"
#include "office/importer.h"

namespace cli {

// What the file is, from its content, not its name.
[[nodiscard]] office::FileKind KindOf(const std::filesystem::path& file);

class OfficeSession {
 public:
  // viaLibreOffice: every real workbook through LibreOffice, .xlsx files
  // too (which are otherwise read straight from the file).
  explicit OfficeSession(bool viaLibreOffice = false);
  ~OfficeSession();
  OfficeSession(const OfficeSession&) = delete;
  OfficeSession& operator=(const OfficeSession&) = delete;

  // The document of a real workbook. Throws office::ImportError for a file
  // that cannot be read (also when LibreOffice ended on it: the next file
  // gets a new one), and Refusal when LibreOffice is missing or does not
  // start.
  nlohmann::json Import(const std::filesystem::path& file, const office::ImportOptions& options = {});

  // The workbook to grade: a document as it is, a real workbook with its
  // imported document.
  Workbook Prepare(const std::filesystem::path& file);

  // Whether LibreOffice was started in this session.
  [[nodiscard]] bool Started() const { return started_; }

 private:
  std::unique_ptr<office::Office> office_;
  bool viaLibreOffice_ = false;
  bool started_ = false;
};

}  // namespace cli
