// Test support: VARIANT arguments for IDispatch::Invoke that borrow what
// they hold (nothing to clear), shared by the COM client tests and the
// test host.
#pragma once

#include "win/com.h"

namespace win::test_support {

inline VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

inline VARIANT Boolean(bool value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// Borrows the text: the BSTR stays the caller's.
inline VARIANT Text(const Bstr& text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text.Get();
  return v;
}

}  // namespace win::test_support
