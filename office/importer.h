// Real workbooks (.xls, .xlsx, .ods) turned into the workbook document
// that the stand-in reads, through LibreOffice; the few records LibreOffice
// does not import are read from the file itself (file_records.h).
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "office/office.h"

namespace office {

enum class FileKind { kDocument, kXls, kXlsx, kOds };

// What a file is, from its first bytes and, for a zip, its entry names;
// anything that is not a real workbook is taken for a document.
[[nodiscard]] FileKind SniffFile(std::string_view bytes);
[[nodiscard]] const char* KindName(FileKind kind);

// A workbook that cannot be imported; the message says why.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ImportOptions {
  // Passwords tried on a sheet protected with one; the document keeps the
  // one that opens it. Without a match the sheet keeps a password that no
  // check supplies.
  std::vector<std::string> passwords;
  // A file that keeps LibreOffice busy longer is given up, and LibreOffice
  // is stopped (OfficeError).
  std::chrono::milliseconds timeout{120'000};
  // Told what the document leaves out of the file (cells beyond Excel
  // 2003's sheet); nothing is told when empty.
  std::function<void(const std::string&)> warn{};
};

// The document of an .xlsx read straight from the file, without an office;
// nullopt for any other file, and for an .xlsx whose formulas Excel would
// compute anew on opening (ImportWorkbook gives those). Throws ImportError
// for a file that cannot be read.
[[nodiscard]] std::optional<nlohmann::json> ImportDirectly(const std::filesystem::path& file,
                                                           const ImportOptions& options = {});

// Reads the file through office (loaded hidden, macros off) and returns
// its document. Throws ImportError for a file that cannot be read, and
// OfficeError when LibreOffice itself ended or was stopped on the way:
// a new Office can then go on with other files.
[[nodiscard]] nlohmann::json ImportWorkbook(const Office& office, const std::filesystem::path& file,
                                            const ImportOptions& options = {});

}  // namespace office
