// The workbook document of an .xlsx read straight from the file. An .xlsx
// is Excel's own XML: the cells with their stored results, formula texts
// and formats, comments, drawings and form controls, pivot tables,
// scenarios, consolidation and protection are all written in it, so no
// office is needed to read it.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "office/file_records.h"

namespace office {

// What a sheet protected with an unknown password keeps: no check ever
// supplies it, so Unprotect without a password fails as in Excel.
inline constexpr const char* kUnknownPassword = "(unknown password)";

struct XlsxReading {
  // Passwords tried on a protected sheet; the document keeps the one that
  // opens it.
  std::vector<std::string> passwords;
  // Told what the document leaves out of the file (cells beyond Excel
  // 2003's sheet).
  std::function<void(const std::string&)> warn;
};

// The document of the .xlsx `bytes`; nullopt when Excel would compute some
// formula anew on opening it (a volatile function such as TODAY or RAND, a
// formula without a stored result, a workbook marked for a full
// calculation on load): only a calculating reader gives those values.
// Throws FileFormatError for a file it cannot read.
[[nodiscard]] std::optional<nlohmann::json> ReadXlsxWorkbook(std::string_view bytes,
                                                             const XlsxReading& reading = {});

// A sheet's consolidation settings as the document writes them: the six
// functions it names by name, any other by Excel's code.
[[nodiscard]] nlohmann::json ConsolidationJson(const Consolidation& consolidation);

// Whether `password` opens a sheet protection of an .xlsx: the legacy
// 16-bit hash (`legacyHash`, four hexadecimal digits) or the salted,
// iterated one (`algorithm` "SHA-512", "SHA-256" or "SHA-1" over the
// password's UTF-16LE; salt and hash in base64).
struct SheetPassword {
  std::string legacyHash;
  std::string algorithm;
  std::string hash;
  std::string salt;
  unsigned long spinCount = 0;
};
[[nodiscard]] bool PasswordOpens(const SheetPassword& protection, const std::string& password);

}  // namespace office
