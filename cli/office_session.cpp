#include "cli/office_session.h"

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

OfficeSession::OfficeSession() {
  static std::once_flag registered;
  std::call_once(registered, [] { AlsoOnSignal(office::KillAll); });
}

OfficeSession::~OfficeSession() = default;

nlohmann::json OfficeSession::Import(const fs::path& file, const office::ImportOptions& options) {
  if (!office_) {
    try {
      office_ = std::make_unique<office::Office>();
      started_ = true;
    } catch (const office::OfficeError& error) {
      throw Refusal(error.what());
    }
  }
  try {
    return office::ImportWorkbook(*office_, file, options);
  } catch (const office::OfficeError& error) {
    office_.reset();  // stopped and reaped; the next file starts a new one
    throw office::ImportError(error.what());
  }
}

Workbook OfficeSession::Prepare(const fs::path& file) {
  if (KindOf(file) == office::FileKind::kDocument) return {file, std::nullopt};
  return {file, Import(file).dump()};
}

}  // namespace cli
