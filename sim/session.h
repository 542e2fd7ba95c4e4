// State shared by every simulated object of one Excel application, and the
// entry check that each member runs first: count the call, then fail as a
// busy, closed or disconnected Excel does.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim/model.h"

namespace sim {

// Source of the errors that Excel itself raises.
inline constexpr std::string_view kExcelErrorSource = "Microsoft Excel";
// What automation reports on an object of a workbook that has been closed
// (Excel's own number for it, "Automation error").
inline constexpr long kDisconnectedHresult = -2147221080;

struct Session {
  Model model;
  long callCount = 0;
  bool responding = true;
  bool quit = false;
};

// Raises an error of Excel's with the Excel source.
[[noreturn]] void RaiseExcel(long number, std::string description);
// 1004 with the given description.
[[noreturn]] void RaiseApplicationDefined(std::string description);
// 438: what Excel's object raises for a member it does not have.
[[noreturn]] void RaiseNotSupported();

// Position (0-based) that a collection index designates: a number is a
// 1-based position, a text a name compared without letter case. nullopt
// when nothing matches; 13 for an index of another type.
template <typename NameAt>
std::optional<size_t> FindIndex(const vb::Variant& index, size_t count, NameAt nameAt) {
  switch (index.Type()) {
    case vb::VarType::Long:
    case vb::VarType::Double: {
      const long position = vb::CLng(index);
      if (position < 1 || static_cast<size_t>(position) > count) return std::nullopt;
      return static_cast<size_t>(position - 1);
    }
    case vb::VarType::String:
      for (size_t i = 0; i < count; ++i) {
        if (SameName(nameAt(i), index.AsString())) return i;
      }
      return std::nullopt;
    default:
      vb::Raise(vb::kTypeMismatch);
  }
}

// Base of every simulated object: the session it belongs to.
class SessionBound {
 public:
  [[nodiscard]] const std::shared_ptr<Session>& session() const { return session_; }

 protected:
  explicit SessionBound(std::shared_ptr<Session> session) : session_(std::move(session)) {}
  // Counts the call and checks that Excel answers; the model to work on.
  Model& Enter() const;

  std::shared_ptr<Session> session_;
};

// An object that lives in a workbook: it stops working when the workbook
// closes.
class WorkbookBound : public SessionBound {
 public:
  [[nodiscard]] const std::shared_ptr<WorkbookModel>& workbook() const { return workbook_; }

 protected:
  WorkbookBound(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook)
      : SessionBound(std::move(session)), workbook_(std::move(workbook)) {}
  Model& Enter() const;

  std::shared_ptr<WorkbookModel> workbook_;
};

// An object that lives on a sheet.
class SheetBound : public WorkbookBound {
 public:
  [[nodiscard]] const std::shared_ptr<SheetModel>& sheet() const { return sheet_; }

 protected:
  SheetBound(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook,
             std::shared_ptr<SheetModel> sheet, std::size_t position = 0)
      : WorkbookBound(std::move(session), std::move(workbook)),
        sheet_(std::move(sheet)),
        position_(position) {}
  Model& Enter() const;
  // Enter, then 438 on a chart sheet: for the members only worksheets have.
  Model& EnterWorksheet() const;
  // The sheet is the active sheet of the active workbook.
  [[nodiscard]] bool OnActiveSheet(const Model& model) const;

  std::shared_ptr<SheetModel> sheet_;

 private:
  // Where the sheet was last found in its workbook: checked first, so that
  // going through many sheets does not search the list for each call.
  mutable std::size_t position_;
};

}  // namespace sim
