// The encryption of an .xls Workbook stream (a FILEPASS record in its
// globals): RC4 with an MD5 key ([MS-OFFCRYPTO] "RC4 encryption") and
// CryptoAPI RC4 with a SHA-1 key. Excel opens without asking a file
// encrypted with its default password, "VelvetSweatshop".
#pragma once

#include <string>
#include <string_view>

namespace office {

// `stream` as Excel wrote it before encrypting it, when its FILEPASS
// record's verifier accepts `password`; the stream itself when it has no
// FILEPASS. Throws FileFormatError for another password, or an encryption
// that is not RC4 (the XOR obfuscation of Excel 95 style).
[[nodiscard]] std::string DecryptWorkbookStream(std::string_view stream, std::u16string_view password);

}  // namespace office
