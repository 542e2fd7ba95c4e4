// Test helpers for .xls files: the Workbook stream of a compound file, a
// compound file written around a Workbook stream, and a workbook given the
// data consolidation settings of some sheets the way Excel saves them.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "office/file_records.h"

namespace test_support {

// The "Workbook" stream of a compound file (OLE2) the tests made or trust;
// throws std::runtime_error when it cannot be read.
[[nodiscard]] std::string XlsWorkbookStream(std::string_view xls);

// A compound file (version 3, 512-byte sectors) whose only stream is
// `workbook`, named "Workbook"; below 4096 bytes it lives in the mini
// stream. It has at least `minFatSectors` FAT sectors, so that a file can
// need DIFAT sectors (more than 109 FAT sectors) while staying small.
[[nodiscard]] std::string XlsCompoundFile(std::string_view workbook, std::size_t minFatSectors = 0);

// `xls` with a DCON record and one DCONREF record per source (DCONNAME for
// a defined name) in the substream of each named sheet, before its WINDOW2
// where Excel writes them, in place of any it had; the positions of later
// substreams (BOUNDSHEET, INDEX) move along. Sources read like
// "'Semestre 1'!$A$2:$B$5", "Data!A1", "Ventes" or "Data!Ventes". Other
// streams of the file (summary information…) are dropped. Throws
// std::invalid_argument for an unknown sheet, function or source.
[[nodiscard]] std::string WithXlsConsolidation(std::string_view xls,
                                               const std::map<std::string, office::Consolidation>& bySheet);

}  // namespace test_support
