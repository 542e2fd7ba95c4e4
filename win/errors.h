// Errors crossing the COM boundary, both ways.
#pragma once

#include "framework/vb.h"
#include "win/com.h"

namespace win {

// The number VB reports for a failed HRESULT: the low word of an
// automation error (0x800A03EC gives 1004), VB's number for the standard
// dispatch errors (DISP_E_TYPEMISMATCH 13 …), the HRESULT itself otherwise.
long ErrorNumber(HRESULT hr);
// The vb::Error for a failed call: the number above (the EXCEPINFO's when it
// has one) with the description and source that the callee gave.
vb::Error ErrorFromHresult(HRESULT hr, EXCEPINFO* info);
// The HRESULT that stands for a VB error number: 0x800A0000 plus the number,
// or the number itself when it is a negative HRESULT.
HRESULT HresultOf(long number);

}  // namespace win
