// The readers of what a real workbook file records (the .xls records
// through libgsf, with decryption; the .xlsx parts through libzip and
// expat, and the whole document an .xlsx gives) fed arbitrary bytes: they
// either read the file or refuse it with FileFormatError; nothing else may
// come out.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "office/file_records.h"
#include "office/xlsx_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    if (bytes.starts_with("\xD0\xCF\x11\xE0")) {
      (void)office::ReadXlsRecords(bytes);
    } else {
      (void)office::ReadXlsxWorkbook(bytes);
    }
  } catch (const office::FileFormatError&) {
  }
  return 0;
}
