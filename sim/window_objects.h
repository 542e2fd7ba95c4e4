// Simulated Windows collection and Window, CommandBars and CommandBar, and
// WorksheetFunction.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/excel.h"
#include "sim/session.h"

namespace sim {

// One window per open workbook, in Excel's window order: Windows(1) is the
// active workbook's window, then the others from the most recently active.
// A workbook's own Windows hold its window only.
class SimWindows : public excel::Windows, public SessionBound {
 public:
  explicit SimWindows(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> only = nullptr)
      : SessionBound(std::move(session)), only_(std::move(only)) {}
  long Count() override;
  std::shared_ptr<excel::Window> Item(const vb::Variant& index) override;
  // Compares the active window with another workbook's window.
  bool CompareSideBySideWith(const std::string& windowName) override;
  bool ResetPositionsSideBySide() override;
  bool SyncScrollingSideBySide() override;
  void SyncScrollingSideBySide(bool value) override;

 private:
  [[nodiscard]] std::vector<std::shared_ptr<WorkbookModel>> Order(const Model& model) const;
  std::shared_ptr<WorkbookModel> only_;
};

class SimWindow : public excel::Window, public WorkbookBound {
 public:
  SimWindow(std::shared_ptr<Session> session, std::shared_ptr<WorkbookModel> workbook)
      : WorkbookBound(std::move(session), std::move(workbook)) {}
  std::string Caption() override;
  long WindowState() override;
  void WindowState(long value) override;
};

// Look-up misses and bad positions raise 5: Office answers E_INVALIDARG
// without a description, which VB reports as its own error 5.
class SimCommandBars : public excel::CommandBars, public SessionBound {
 public:
  explicit SimCommandBars(std::shared_ptr<Session> session) : SessionBound(std::move(session)) {}
  long Count() override;
  std::shared_ptr<excel::CommandBar> Item(const vb::Variant& index) override;
};

// Visible reads false while the bar is disabled.
class SimCommandBar : public excel::CommandBar, public SessionBound {
 public:
  SimCommandBar(std::shared_ptr<Session> session, size_t position)
      : SessionBound(std::move(session)), position_(position) {}
  std::string Name() override;
  bool Enabled() override;
  void Enabled(bool value) override;
  bool Visible() override;
  void Visible(bool value) override;
  long Position() override;
  void Position(long value) override;

 private:
  CommandBarModel& Bar();
  size_t position_;
};

class SimWorksheetFunction : public excel::WorksheetFunction, public SessionBound {
 public:
  explicit SimWorksheetFunction(std::shared_ptr<Session> session) : SessionBound(std::move(session)) {}
  std::string Substitute(const std::string& text, const std::string& oldText,
                         const std::string& newText) override;
};

}  // namespace sim
