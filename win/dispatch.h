// IDispatch of the server's objects over their type information, for
// late-binding clients (VB6, VBScript, JScript).
#pragma once

#include "win/com.h"

namespace win {

// The type information of `iid` from the type library embedded in the
// module `module` (the DLL itself).
ComPtr<ITypeInfo> LoadTypeInfo(HMODULE module, REFGUID iid);

// IDispatch::Invoke of a dual interface through DispInvoke, after putting
// the arguments in the form its typed members take: a variant passed by
// reference (VT_BYREF|VT_VARIANT, how a script passes a variable) is read
// through for an [in] parameter; for an [in, out] parameter it is handed
// over as a typed reference and the result is written back into the
// variable, as it is into a typed reference of another type. A by-value
// argument to an [in, out] parameter is taken as its initial value.
HRESULT InvokeTyped(void* object, ITypeInfo* info, DISPID member, WORD flags, DISPPARAMS* params,
                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

}  // namespace win
