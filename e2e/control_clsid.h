// The class under which the Excel stand-in server registers its test-only
// control object in the running-object table (e2e/excel_server/control.h).
// Not Excel's.
#pragma once

#include <windows.h>

namespace e2e {

constexpr CLSID kControlClsid = {
    0x1f6d3c52, 0x7a44, 0x4b0e, {0x8d, 0x27, 0x5c, 0x90, 0x3e, 0x61, 0xa8, 0x14}};

}  // namespace e2e
