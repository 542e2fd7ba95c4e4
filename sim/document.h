// Workbook documents: the JSON files that the stand-in's Workbooks.Open
// reads in place of Excel's binary files.
#pragma once

#include <cstdint>
#include <string>

#include "sim/model.h"

namespace sim {

// The largest workbook document read: 16 MiB, far more than any exercise
// needs, so that a huge file is refused instead of read whole.
inline constexpr std::uintmax_t kMaxDocumentBytes = 16U * 1024U * 1024U;

// Reads a workbook document from disk; vb::Error 1004 whose description
// names the file and the fault.
WorkbookModel ReadWorkbookDocument(const std::string& path);
// Reads a document's text; the workbook takes the file name part of
// `fileNameForMessages` as its name.
WorkbookModel ParseWorkbookDocument(const std::string& text, const std::string& fileNameForMessages);

}  // namespace sim
