// Workbook documents: the JSON files that the stand-in's Workbooks.Open
// reads in place of Excel's binary files.
#pragma once

#include <string>

#include "sim/model.h"

namespace sim {

// Reads a workbook document from disk; vb::Error 1004 whose description
// names the file and the fault.
WorkbookModel ReadWorkbookDocument(const std::string& path);
// Reads a document's text; the workbook takes the file name part of
// `fileNameForMessages` as its name.
WorkbookModel ParseWorkbookDocument(const std::string& text, const std::string& fileNameForMessages);

}  // namespace sim
