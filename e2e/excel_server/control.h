// The server's control object, for tests only: what a learner or a busy
// Excel does to a running instance, done on request, and what the instance
// holds, read back. A test obtains it from the running-object table under
// kControlClsid (GetActiveObject), by late binding:
//   CloseWindow          the learner closes Excel's main window;
//   Answering = False    every call to an Excel object is refused as busy,
//                        until set back to True;
//   BusyFor(ms)          refused as busy for that many milliseconds, then
//                        answered again (Excel starting, a cell edited);
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

// The control object, and the message filter through which the server
// refuses calls while the control object says Excel is busy: as Excel's
// own filter does, it turns a call away before the object sees it. Excel
// answers SERVERCALL_RETRYLATER; Wine's COM lets such a call in (it does
// not implement the client's retry), so this filter answers
// SERVERCALL_REJECTED, which Wine carries back as RPC_E_CALL_REJECTED,
// the error a client without a filter of its own gets from a busy Excel.
// Calls to the control object itself are always let in.
struct Controlled {
  win::ComPtr<IDispatch> control;
  win::ComPtr<IMessageFilter> filter;
};
Controlled ControlFor(ControlTarget target);

}  // namespace e2e
