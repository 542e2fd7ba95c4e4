// LibreOffice's number format codes (en-US) written in Excel's syntax, as
// Excel's Range.NumberFormat returns them.
#pragma once

#include <string>
#include <string_view>

namespace office {

// "DD/MM/YYYY" → "dd/mm/yyyy", "MMMM" → "mmmm", "NN" → "ddd", "Standard" →
// "General", "[$-40C]MMMM" → "mmmm"; texts in quotes and escaped
// characters are kept as they are.
[[nodiscard]] std::string ExcelNumberFormat(std::string_view libreOffice);

}  // namespace office
