#include "sim/session.h"

#include <algorithm>

namespace sim {

void RaiseExcel(long number, std::string description) {
  throw vb::Error(number, std::move(description), std::string(kExcelErrorSource));
}

void RaiseApplicationDefined(std::string description) {
  RaiseExcel(vb::kApplicationDefined, std::move(description));
}

void RaiseNotSupported() { vb::Raise(vb::kNotSupported); }

Model& SessionBound::Enter() const {
  Session& session = *session_;
  ++session.callCount;
  if (session.quit) {
    throw vb::Error(vb::kServerUnavailableHresult, "Automation error\nThe RPC server is unavailable.", "");
  }
  if (!session.responding) {
    throw vb::Error(vb::kServerBusyHresult,
                    "Automation error\nThe message filter indicated that the application is busy.", "");
  }
  return session.model;
}

Model& WorkbookBound::Enter() const {
  Model& model = SessionBound::Enter();
  if (!model.IsOpen(*workbook_)) RaiseExcel(kDisconnectedHresult, "Automation error");
  return model;
}

Model& SheetBound::Enter() const {
  Model& model = WorkbookBound::Enter();
  const auto& sheets = workbook_->sheets;
  if (position_ < sheets.size() && sheets[position_] == sheet_) return model;
  const auto found = std::find(sheets.begin(), sheets.end(), sheet_);
  if (found == sheets.end()) RaiseExcel(kDisconnectedHresult, "Automation error");
  position_ = static_cast<std::size_t>(found - sheets.begin());
  return model;
}

Model& SheetBound::EnterWorksheet() const {
  Model& model = Enter();
  if (sheet_->type == SheetType::kChart) RaiseNotSupported();
  return model;
}

bool SheetBound::OnActiveSheet(const Model& model) const {
  const auto active = model.ActiveWorkbook();
  return active == workbook_ && workbook_->activeSheet < workbook_->sheets.size() &&
         workbook_->sheets[workbook_->activeSheet] == sheet_;
}

}  // namespace sim
