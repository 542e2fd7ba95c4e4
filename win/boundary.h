// The one place where errors leave the library: every member of every COM
// object of the server runs its body through Boundary.
#pragma once

#include "win/com.h"

namespace win {

// Turns the exception being handled into a failed HRESULT and sets the
// thread's IErrorInfo (description, composed source, interface). Call it
// only inside a catch block.
HRESULT ReportCurrentError(REFIID iid) noexcept;

// Runs `body`; a vb::Error (or any other exception) leaving it becomes a
// failed HRESULT with its IErrorInfo: 0x800A0000 plus the number for VB
// error numbers, the number itself when it is a negative HRESULT. No
// exception crosses the COM boundary.
template <class Body>
HRESULT Boundary(REFIID iid, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return ReportCurrentError(iid);
  }
}

}  // namespace win
