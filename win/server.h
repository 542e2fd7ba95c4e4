// The COM server: the Module object that the host creates, the
// ComplementInfo object it reads, the class factory, the server's counts
// and the registration of the class and its type library.
#pragma once

#include "win/com.h"

namespace win {

// The DLL's own module handle, set when it is loaded.
void SetServerModule(HMODULE module);
HMODULE ServerModule();

// DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer; nothing of the module's own logic runs in them.
HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) noexcept;
HRESULT CanUnloadNow() noexcept;
HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

// Live COM objects and class-factory locks of the server.
long ServerReferences() noexcept;

}  // namespace win
