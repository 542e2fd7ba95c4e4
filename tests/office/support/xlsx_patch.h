// Test helpers for .xlsx files: a small zip writer and reader, and edits
// that give a workbook what LibreOffice does not write itself (consolidation
// settings, a chosen active sheet).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "office/file_records.h"

namespace test_support {

struct ZipEntry {
  std::string name;
  std::string data;
};

// The text escaped for an XML attribute value or element.
[[nodiscard]] std::string XmlEscape(std::string_view text);

// A zip archive of the entries, in order, each stored or deflated.
[[nodiscard]] std::string WriteZip(const std::vector<ZipEntry>& entries, bool deflate = true);
// The entries of a zip archive (stored or deflated), in order; throws
// std::runtime_error on anything else.
[[nodiscard]] std::vector<ZipEntry> ReadZip(std::string_view zip);

// The workbook rewritten with a <dataConsolidate> element in each named
// sheet, where the worksheet schema puts it. Sources are "'Sheet'!$A$2:$B$5"
// or defined names. The workbook is xl/workbook.xml, as Excel and LibreOffice
// write it; the sheets must not have consolidation settings yet.
[[nodiscard]] std::string WithXlsxConsolidation(std::string_view xlsx,
                                                const std::map<std::string, office::Consolidation>& bySheet);
// The workbook rewritten with sheet `index` (0-based) as its active sheet.
[[nodiscard]] std::string WithXlsxActiveSheet(std::string_view xlsx, std::size_t index);

}  // namespace test_support
