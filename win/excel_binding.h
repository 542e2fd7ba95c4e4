// The Excel binding: every class of framework/excel.h over IDispatch late
// binding (locale 1033, member names resolved once per object type).
#pragma once

#include <memory>

#include "framework/excel.h"
#include "win/com.h"

namespace win {

// The core's Application for an Excel reached through `dispatch`; none for
// a null pointer. One COM object gives one core object for as long as the
// core holds it, so that VB's `Is` holds across calls.
std::shared_ptr<excel::Application> ApplicationFromDispatch(IDispatch* dispatch);
// The IDispatch behind an Application made by ApplicationFromDispatch;
// empty for none; error 13 for an Application of another binding.
ComPtr<IDispatch> DispatchOfApplication(const std::shared_ptr<excel::Application>& application);

}  // namespace win
