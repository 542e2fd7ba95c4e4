// The workbook document reader fed arbitrary bytes: it either reads a
// workbook or raises error 1004 naming the file; nothing else may come out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/vb.h"
#include "sim/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    (void)sim::ParseWorkbookDocument(text, "fuzz.xls");
  } catch (const vb::Error& error) {
    if (error.number != vb::kApplicationDefined || error.description.rfind("fuzz.xls: ", 0) != 0)
      std::abort();
  }
  return 0;
}
