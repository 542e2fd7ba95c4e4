#include "cli/office_session.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>

namespace cli {

namespace fs = std::filesystem;

office::FileKind KindOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return office::SniffFile(bytes);
}

OfficeSession::OfficeSession(bool viaLibreOffice) : viaLibreOffice_(viaLibreOffice) {
  static std::once_flag registered;
  std::call_once(registered, [] { AlsoOnSignal(office::KillAll); });
}

OfficeSession::~OfficeSession() = default;

nlohmann::json OfficeSession::Import(const fs::path& file, const office::ImportOptions& options) {
  office::ImportOptions told = options;
  if (!told.warn) {
    told.warn = [&file](const std::string& message) {
      std::fprintf(stderr, "r58267: warning: '%s': %s\n", file.string().c_str(), message.c_str());
    };
  }
  if (!viaLibreOffice_) {
    if (std::optional<nlohmann::json> document = office::ImportDirectly(file, told))
      return std::move(*document);
  }
  if (!office_) {
    try {
      office_ = std::make_unique<office::Office>();
      started_ = true;
    } catch (const office::OfficeError& error) {
      throw Refusal(error.what());
    }
  }
  try {
    return office::ImportWorkbook(*office_, file, told);
  } catch (const office::OfficeError& error) {
    office_.reset();  // stopped and reaped; the next file starts a new one
    throw office::ImportError(error.what());
  }
}

Workbook OfficeSession::Prepare(const fs::path& file) {
  if (KindOf(file) != office::FileKind::kDocument) return {file, Import(file).dump()};
  // A workbook document is a JSON object; a file that cannot be one (a
  // .docx, a zip, an image) is refused as `import` refuses it.
  std::ifstream in(file, std::ios::binary);
  std::string head(64, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  std::size_t at = head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n'))
    ++at;
  if (at < head.size() && head[at] != '{')
    throw office::ImportError("'" + file.string() + "' is not an .xls, .xlsx or .ods workbook");
  return {file, std::nullopt};
}

}  // namespace cli
