// r58267_access_denied DLL: with the class key locked against the user (an
// empty access list, as a key of a machine-wide install is for a user
// without administrator rights), DLL's DllRegisterServer and
// DllUnregisterServer must fail with E_ACCESSDENIED, so that regsvr32
// names the cause. The key is unlocked and removed afterwards, whatever
// the outcome; exit status 0 when both calls said so.
#include <cstdio>
#include <string>

#include "R58267.h"
#include "win/com.h"
#include "win/system.h"

namespace {

const std::wstring kClassKey = L"CLSID\\" + win::GuidText(CLSID_Module);

bool SetAccessList(bool locked) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
  SECURITY_DESCRIPTOR descriptor;
  ACL empty;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  InitializeAcl(&empty, sizeof empty, ACL_REVISION);
  // Empty: nobody may open it; none: everybody may (the owner keeps the
  // right to change the list back).
  SetSecurityDescriptorDacl(&descriptor, TRUE, locked ? &empty : nullptr, FALSE);
  const LSTATUS status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

using Entry = HRESULT(STDAPICALLTYPE*)();

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: r58267_access_denied DLL\n");
    return 64;
  }
  if (!win::ClassesText(kClassKey + L"\\InprocServer32").empty()) {
    std::fprintf(stderr, "the class is registered already: run before registering it\n");
    return 1;
  }
  HMODULE library = LoadLibraryA(argv[1]);
  const auto entry = [library](const char* name) {
    return library == nullptr
               ? nullptr
               : reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  };
  const Entry registerServer = entry("DllRegisterServer");
  const Entry unregisterServer = entry("DllUnregisterServer");
  if (registerServer == nullptr || unregisterServer == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  if (FAILED(win::WriteClassesKey(kClassKey, L"R58267.Module")) || !SetAccessList(true)) {
    std::fprintf(stderr, "cannot lock the class key\n");
    win::DeleteClassesTree(kClassKey);
    return 1;
  }
  const HRESULT registered = registerServer();
  const HRESULT unregistered = unregisterServer();
  const bool unlocked = SetAccessList(false);
  // Whatever the registration left, this library's keys go.
  unregisterServer();
  const bool removed = SUCCEEDED(win::DeleteClassesTree(kClassKey));
  FreeLibrary(library);
  std::printf("DllRegisterServer 0x%08lx, DllUnregisterServer 0x%08lx\n",
              static_cast<unsigned long>(registered), static_cast<unsigned long>(unregistered));
  const bool ok = registered == E_ACCESSDENIED && unregistered == E_ACCESSDENIED && unlocked && removed;
  std::printf("%s\n", ok ? "both report E_ACCESSDENIED" : "expected E_ACCESSDENIED (0x80070005) from both");
  return ok ? 0 : 1;
}
