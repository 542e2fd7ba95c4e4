#include "sim/window_objects.h"

namespace sim {

// ---- Windows ----

std::vector<std::shared_ptr<WorkbookModel>> SimWindows::Order(const Model& model) const {
  if (!only_) return model.WindowOrder();
  // The workbook's window goes with the workbook.
  if (!model.IsOpen(*only_)) RaiseExcel(kDisconnectedHresult, "Automation error");
  return {only_};
}

long SimWindows::Count() { return static_cast<long>(Order(Enter()).size()); }

std::shared_ptr<excel::Window> SimWindows::Item(const vb::Variant& index) {
  const Model& model = Enter();
  const auto order = Order(model);
  const auto position = FindIndex(index, order.size(), [&](size_t i) { return model.Caption(*order[i]); });
  if (!position) vb::Raise(vb::kSubscriptOutOfRange);
  return std::make_shared<SimWindow>(session_, order[*position]);
}

bool SimWindows::CompareSideBySideWith(const std::string& windowName) {
  Model& model = Enter();
  const auto active = model.ActiveWorkbook();
  std::shared_ptr<WorkbookModel> other;
  for (const auto& workbook : model.workbooks) {
    if (SameName(model.Caption(*workbook), windowName)) other = workbook;
  }
  if (!active || !other || other == active) {
    RaiseApplicationDefined("CompareSideBySideWith method of Windows class failed");
  }
  model.sideBySideFirst = active;
  model.sideBySideSecond = other;
  model.syncScrollingSideBySide = true;
  return true;
}

bool SimWindows::ResetPositionsSideBySide() {
  if (!Enter().SideBySide())
    RaiseApplicationDefined("ResetPositionsSideBySide method of Windows class failed");
  return true;
}

bool SimWindows::SyncScrollingSideBySide() { return Enter().syncScrollingSideBySide; }

void SimWindows::SyncScrollingSideBySide(bool value) {
  Model& model = Enter();
  if (!model.SideBySide()) {
    RaiseApplicationDefined("Unable to set the SyncScrollingSideBySide property of the Windows class");
  }
  model.syncScrollingSideBySide = value;
}

std::string SimWindow::Caption() { return Enter().Caption(*workbook_); }

long SimWindow::WindowState() {
  Enter();
  return workbook_->windowState;
}

void SimWindow::WindowState(long value) {
  Enter();
  if (value != excel::xlMaximized && value != excel::xlMinimized && value != excel::xlNormal) {
    RaiseApplicationDefined("Unable to set the WindowState property of the Window class");
  }
  workbook_->windowState = value;
}

// ---- Command bars ----

long SimCommandBars::Count() { return static_cast<long>(Enter().commandBars.size()); }

std::shared_ptr<excel::CommandBar> SimCommandBars::Item(const vb::Variant& index) {
  const Model& model = Enter();
  const auto& bars = model.commandBars;
  const auto position = FindIndex(index, bars.size(), [&](size_t i) { return bars[i].name; });
  if (!position) vb::Raise(vb::kInvalidCall);
  return std::make_shared<SimCommandBar>(session_, *position);
}

CommandBarModel& SimCommandBar::Bar() {
  Model& model = Enter();
  if (position_ >= model.commandBars.size()) RaiseExcel(kDisconnectedHresult, "Automation error");
  return model.commandBars[position_];
}

std::string SimCommandBar::Name() { return Bar().name; }

bool SimCommandBar::Enabled() { return Bar().enabled; }

void SimCommandBar::Enabled(bool value) { Bar().enabled = value; }

bool SimCommandBar::Visible() {
  const CommandBarModel& bar = Bar();
  return bar.enabled && bar.visible;
}

void SimCommandBar::Visible(bool value) {
  CommandBarModel& bar = Bar();
  if (value && !bar.enabled) {
    throw vb::Error(vb::kUnspecifiedHresult, "Method 'Visible' of object 'CommandBar' failed",
                    std::string(kExcelErrorSource));
  }
  bar.visible = value;
}

long SimCommandBar::Position() { return Bar().position; }

void SimCommandBar::Position(long value) {
  CommandBarModel& bar = Bar();
  if (value < excel::msoBarLeft || value > excel::msoBarFloating) vb::Raise(vb::kInvalidCall);
  bar.position = value;
}

// ---- WorksheetFunction ----

std::string SimWorksheetFunction::Substitute(const std::string& text, const std::string& oldText,
                                             const std::string& newText) {
  Enter();
  // SUBSTITUTE leaves the text alone when there is nothing to look for.
  if (oldText.empty()) return text;
  return vb::Replace(text, oldText, newText);
}

}  // namespace sim
