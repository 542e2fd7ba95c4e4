// The four exports of R58267.dll (named by R58267.def).
#include "win/server.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  // Thread notifications stay on: the static C++ run-time linked into the
  // DLL frees its per-thread data on them.
  if (reason == DLL_PROCESS_ATTACH) win::SetServerModule(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  return win::GetClassObject(classId, iid, object);
}
STDAPI DllCanUnloadNow() { return win::CanUnloadNow(); }
STDAPI DllRegisterServer() { return win::RegisterServer(); }
STDAPI DllUnregisterServer() { return win::UnregisterServer(); }

}  // extern "C"
