// What the x86 library needs to load on Windows XP, linked into R58267.dll
// only (as an object, not from a library: see below).
//
// Debian's static winpthread calls GetTickCount64 through its import slot
// __imp__GetTickCount64@0; that function is Vista's, and one import XP's
// kernel32 lacks keeps the whole DLL from loading. Defining the slot here
// satisfies the reference before the linker searches kernel32's import
// library, so the DLL no longer imports it. An archive member would not do:
// the reference only appears while libwinpthread is searched, after our
// libraries.
#include <windows.h>

#include <atomic>

namespace {

using TickCount64Function = ULONGLONG(WINAPI*)();

// Milliseconds since an arbitrary start, never decreasing: the performance
// counter, which XP has, split into whole seconds and the remainder so that
// scaling by 1000 cannot overflow however long Windows has run. (Its
// frequency cannot fail from XP on; GetTickCount only guards the division.)
ULONGLONG WINAPI CounterTickCount64() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
      !QueryPerformanceCounter(&counter)) {
    return GetTickCount();
  }
  const auto ticks = static_cast<ULONGLONG>(counter.QuadPart);
  const auto perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
  return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

// Kernel32's own GetTickCount64 where Windows has one, else the counter's.
TickCount64Function Resolve() {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const FARPROC own = kernel == nullptr ? nullptr : GetProcAddress(kernel, "GetTickCount64");
  return own != nullptr ? reinterpret_cast<TickCount64Function>(reinterpret_cast<void (*)()>(own))
                        : &CounterTickCount64;
}

// Resolved on first use: a static initializer might run after another one
// already waited through winpthread, and a function-local static's guard may
// itself wait through it. Two threads racing both resolve the same function.
std::atomic<TickCount64Function> resolved{nullptr};

ULONGLONG WINAPI TickCount64() {
  TickCount64Function function = resolved.load(std::memory_order_relaxed);
  if (function == nullptr) {
    function = Resolve();
    resolved.store(function, std::memory_order_relaxed);
  }
  return function();
}

}  // namespace

// The import slot winpthread's calls go through.
extern const TickCount64Function r58267TickCount64Slot __asm__("__imp__GetTickCount64@0");
const TickCount64Function r58267TickCount64Slot = &TickCount64;
