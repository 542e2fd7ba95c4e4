// The server's control object, for tests only: what a learner or a busy
// Excel does to a running instance, done on request, and what the instance
// holds, read back. A test obtains it from the running-object table under
// kControlClsid (GetActiveObject), by late binding:
//   CloseWindow          the learner closes Excel's main window;
//   Answering = False    every automation call is refused as busy, until
//                        set back to True;
//   OpenDialog(title)    a modal dialog, owned by the last dialog still
//                        open, or by the main window when there is none;
//   DialogCount          how many of those dialogs are still open;
//   Workbooks            the open workbooks as a JSON array of
//                        {"name", "fullName"} objects, in opening order;
//   Calls                how many automation calls (Invoke) the served
//                        Excel objects have answered;
//   Quit                 ends the server process.
#pragma once

#include <functional>
#include <memory>

#include "e2e/control_clsid.h"
#include "sim/excel_application.h"
#include "win/com.h"

namespace e2e {

struct ControlTarget {
  std::shared_ptr<sim::ExcelApplication> excel;
  HWND window = nullptr;
  std::function<void()> quit;
};

win::ComPtr<IDispatch> ControlFor(ControlTarget target);

}  // namespace e2e
