// Test helper: a real workbook file (.xls, .xlsx, .ods) written from a
// workbook document through LibreOffice, so that the importer's tests can
// read back files whose content they know.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "office/office.h"

namespace test_support {

enum class WorkbookFormat { kXls, kXlsx, kOds };

// Writes `document` (the JSON workbook document) as a real workbook file
// through LibreOffice. Throws std::runtime_error with a clear message for
// what it cannot write (a chart sheet, a constant error value, a formula
// LibreOffice does not understand, a number format it rejects …).
// Not written, for lack of a way through LibreOffice: the consolidation
// settings and the active sheet (every file opens on its first sheet).
// With a password the file is encrypted with it (a password to open).
void WriteWorkbook(const office::Office& office, const nlohmann::json& document,
                   const std::filesystem::path& file, WorkbookFormat format,
                   const std::string& password = "");

}  // namespace test_support
