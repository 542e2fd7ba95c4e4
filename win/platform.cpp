#include "win/platform.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <limits>
#include <optional>

#include "framework/vb.h"
#include "win/com.h"
#include "win/excel_binding.h"
#include "win/system.h"
#include "win/text.h"

namespace win {

HWND NativeWindow(api::Hwnd window) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(window)); }

api::Hwnd HostWindow(HWND window) { return static_cast<api::Hwnd>(reinterpret_cast<std::intptr_t>(window)); }

namespace {

// How long SendEscape waits for each round trip to the foreground window,
// how many it makes, and the pause between two (the key travels through
// the system's input queue at its own pace, slower on a loaded machine).
constexpr UINT kEscapeRoundTripMs = 2000;
constexpr int kEscapeRoundTrips = 8;
constexpr DWORD kEscapePauseMs = 25;

// An optional UTF-8 text as a wide one, and as the pointer that Win32 takes
// (null for none).
std::optional<std::wstring> WideOrNone(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return Wide(*text);
}

const wchar_t* PointerOrNull(const std::optional<std::wstring>& text) {
  return text ? text->c_str() : nullptr;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The position just after the `count`-th separator at or after `from`;
// npos when there are fewer.
std::size_t AfterSeparators(const std::wstring& path, std::size_t from, int count) {
  for (std::size_t i = from; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && --count == 0) return i + 1;
  }
  return std::wstring::npos;
}

// The length of the part of a path that names a volume, which no folder
// creation concerns: "C:\", "\", "\\server\share\", "\\?\C:\",
// "\\?\UNC\server\share\"; 0 for a relative path.
std::size_t RootLength(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return AfterSeparators(path, 8, 2);
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return AfterSeparators(path, 4, 1);
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return AfterSeparators(path, 2, 2);
  if (path.size() >= 2 && path[1] == L':') return path.size() > 2 && IsSeparator(path[2]) ? 3 : 2;
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

// VB's number for a failed file operation: 53 when there is no such file,
// 58 when the name is taken, 75 for anything else (access denied, sharing
// violation, a folder in the way …).
long FileErrorNumber(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return vb::kFileNotFound;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return vb::kFileAlreadyExists;
    default:
      return vb::kPathFileAccess;
  }
}

// The core's Application for an automation object, or error 429 when there
// is none or it has no IDispatch.
std::shared_ptr<excel::Application> ApplicationFrom(HRESULT hr, const ComPtr<IUnknown>& object) {
  if (FAILED(hr) || !object) vb::Raise(vb::kCannotCreateObject);
  const ComPtr<IDispatch> dispatch = object.As<IDispatch>();
  if (!dispatch) vb::Raise(vb::kCannotCreateObject);
  return ApplicationFromDispatch(dispatch.Get());
}

// How long CreateObject retries an activation that may pass later, and the
// pause between two tries.
constexpr DWORD kActivationRetryMs = 10000;
constexpr DWORD kActivationPauseMs = 200;

// Whether a failed activation may succeed a moment later: every failure but
// a class that is not registered at all. An Excel on its way out (the
// previous exercise's, the learner's own) fails activations in ways that
// depend on the moment (server stopping, disconnected, RPC server gone, an
// object reference no longer valid) until a new one starts.
bool MayPassLater(HRESULT hr) { return hr != REGDB_E_CLASSNOTREG && hr != CO_E_CLASSSTRING; }

// The HRESULT behind a 429, for a debugger (Wine: WINEDEBUG=+debugstr):
// VB's error number does not carry it.
void TraceActivation(const wchar_t* what, HRESULT hr) {
  std::array<wchar_t, 80> text{};
  std::swprintf(text.data(), text.size(), L"R58267: Excel activation %ls: 0x%08lx\n", what,
                static_cast<unsigned long>(hr));
  ::OutputDebugStringW(text.data());
}

CLSID ClassOf(const std::string& className) {
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(Wide(className).c_str(), &clsid))) vb::Raise(vb::kCannotCreateObject);
  return clsid;
}

// Any object of this module: its address tells GetModuleHandleExW which
// module (the DLL, or a test program linking the code) holds this code.
const char kInThisModule = 0;

}  // namespace

// ---- regional settings ----

namespace {

std::wstring LocaleInfo(LCTYPE type) {
  std::array<wchar_t, 16> text{};
  const int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text.data(), static_cast<int>(text.size()));
  return length > 1 ? std::wstring(text.data(), static_cast<std::size_t>(length - 1)) : std::wstring();
}

}  // namespace

vb::Locale UserLocale() {
  vb::Locale locale;
  const std::wstring separator = LocaleInfo(LOCALE_SDECIMAL);
  if (separator.size() == 1 && separator[0] > L' ' && separator[0] < 0x7f &&
      (separator[0] < L'0' || separator[0] > L'9')) {
    locale.decimalSeparator = static_cast<char>(separator[0]);
  }
  // LOCALE_IDATE: 0 month-day-year, 1 day-month-year, 2 year-month-day
  // (written month before day, as VB's m/d/yyyy).
  locale.dayFirst = LocaleInfo(LOCALE_IDATE) == L"1";
  return locale;
}

// ---- user32 ----

api::Hwnd Win32Platform::FindWindowA(const std::optional<std::string>& className,
                                     const std::optional<std::string>& title) {
  const auto wideClass = WideOrNone(className);
  const auto wideTitle = WideOrNone(title);
  return HostWindow(::FindWindowW(PointerOrNull(wideClass), PointerOrNull(wideTitle)));
}

api::Hwnd Win32Platform::FindWindowExA(Hwnd parent, Hwnd childAfter,
                                       const std::optional<std::string>& className,
                                       const std::optional<std::string>& title) {
  // Window 0 has no children here, as on the stand-in. Win32 would search
  // the top-level windows instead, and a caller closing the children of a
  // window that has just gone would then close every window on the desktop.
  if (parent == 0) return 0;
  const auto wideClass = WideOrNone(className);
  const auto wideTitle = WideOrNone(title);
  return HostWindow(::FindWindowExW(NativeWindow(parent), NativeWindow(childAfter), PointerOrNull(wideClass),
                                    PointerOrNull(wideTitle)));
}

bool Win32Platform::IsWindowVisible(Hwnd window) { return ::IsWindowVisible(NativeWindow(window)) != FALSE; }

bool Win32Platform::ShowWindow(Hwnd window, int command) {
  return ::ShowWindow(NativeWindow(window), command) != FALSE;
}

bool Win32Platform::SetForegroundWindow(Hwnd window) {
  return ::SetForegroundWindow(NativeWindow(window)) != FALSE;
}

api::Hwnd Win32Platform::GetWindow(Hwnd window, int command) {
  return HostWindow(::GetWindow(NativeWindow(window), static_cast<UINT>(command)));
}

std::string Win32Platform::GetWindowTextA(Hwnd window, int maxCount) {
  if (maxCount <= 1) return {};
  const HWND handle = NativeWindow(window);
  const int length = ::GetWindowTextLengthW(handle);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(0, ::GetWindowTextW(handle, text.data(), length + 1))));
  // Keep maxCount - 1 characters; a surrogate pair is one character.
  std::size_t end = 0;
  for (int kept = 0; kept < maxCount - 1 && end < text.size(); ++kept) {
    const bool pair =
        IS_HIGH_SURROGATE(text[end]) && end + 1 < text.size() && IS_LOW_SURROGATE(text[end + 1]);
    end += pair ? 2 : 1;
  }
  text.resize(end);
  return Utf8(text);
}

std::int32_t Win32Platform::GetWindowLongA(Hwnd window, int index) {
  return ::GetWindowLongW(NativeWindow(window), index);
}

api::Hwnd Win32Platform::GetParent(Hwnd window) { return HostWindow(::GetParent(NativeWindow(window))); }

bool Win32Platform::LockWindowUpdate(Hwnd window) {
  return ::LockWindowUpdate(NativeWindow(window)) != FALSE;
}

// The wide function: the messages sent here (close) carry no text, so the
// A and W forms behave alike.
std::intptr_t Win32Platform::SendMessageA(Hwnd window, unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return ::SendMessageW(NativeWindow(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam));
}

// SendInput only queues the keystroke: the system hands it to the
// foreground window's thread, which handles it when it next reads its
// queue, and Windows gives no signal once a given keystroke is handled. The
// wait is therefore round trips of WM_NULL to that window
// (SendMessageTimeoutW: it returns once the window's thread has read its
// queue, gives up at once on a hung thread and after a bound otherwise). A
// sent message is handled before queued input, so the first reply may come
// just before the thread takes the keystroke; each further round trip waits
// for its next read of the queue, after it has dispatched the keystroke,
// and a short pause between them leaves time for the key to arrive on a
// loaded machine (about 200 ms in all, on a path taken only when Excel's
// window is gone). This is best effort, not a guarantee. A window of this very thread gets
// its keystroke through our own message pump.
void Win32Platform::SendEscape() {
  std::array<INPUT, 2> keys{};
  for (INPUT& key : keys) {
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = VK_ESCAPE;
  }
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  if (::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == 0) return;

  const HWND foreground = ::GetForegroundWindow();
  if (foreground == nullptr) return;
  if (::GetWindowThreadProcessId(foreground, nullptr) == ::GetCurrentThreadId()) {
    PumpMessages();
    return;
  }
  for (int trip = 0; trip < kEscapeRoundTrips; ++trip) {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(foreground, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kEscapeRoundTripMs, &result) ==
        0) {
      return;
    }
    ::Sleep(kEscapePauseMs);
  }
}

// VB's DoEvents: every message waiting in this thread's queue is handled.
// A quit message is put back for the host's own loop, and ends the pump.
void Win32Platform::PumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// ---- automation runtime ----

std::shared_ptr<excel::Application> Win32Platform::GetActiveObject(const std::string& className) {
  const CLSID clsid = ClassOf(className);
  ComPtr<IUnknown> object;
  const HRESULT hr = ::GetActiveObject(clsid, nullptr, object.Put());
  if (FAILED(hr)) TraceActivation(L"of the running instance failed", hr);
  return ApplicationFrom(hr, object);
}

// As VB's CreateObject: an in-process or local server, asked for IUnknown
// then IDispatch. An Excel that is quitting (the previous exercise's, the
// learner's own) may still have its class object registered: COM then
// hands out that dying instance, and the activation or the first call on
// it fails although a new Excel would start a moment later. Such failures
// are retried for a bounded time; any other failure is final at once.
std::shared_ptr<excel::Application> Win32Platform::CreateObject(const std::string& className) {
  const CLSID clsid = ClassOf(className);
  const DWORD start = ::GetTickCount();
  for (;;) {
    ComPtr<IUnknown> object;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(object.Put()));
    ComPtr<IDispatch> dispatch;
    if (SUCCEEDED(hr)) hr = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Put()));
    if (SUCCEEDED(hr) && dispatch) return ApplicationFromDispatch(dispatch.Get());
    if (!MayPassLater(hr) || ::GetTickCount() - start >= kActivationRetryMs) {
      TraceActivation(L"failed", hr);
      vb::Raise(vb::kCannotCreateObject);
    }
    TraceActivation(L"retried", hr);
    ::Sleep(kActivationPauseMs);
  }
}

// ---- file system ----

// imagehlp's own MakeSureDirectoryPathExists takes an ANSI path only: under
// a non-Western code page it would mangle accented folder names ("ORVA
// Modèles\"). The folders are created one by one with CreateDirectoryW
// instead, with the same contract: every folder up to the last separator;
// what follows it is a file name and is left alone.
bool Win32Platform::MakeSureDirectoryPathExists(const std::string& path) {
  const std::wstring wide = Wide(path);
  const std::size_t last = wide.find_last_of(L"\\/");
  if (last == std::wstring::npos) return true;
  const std::size_t root = std::min(RootLength(wide), last + 1);
  for (std::size_t end = wide.find_first_of(L"\\/", root); end != std::wstring::npos && end <= last;
       end = wide.find_first_of(L"\\/", end + 1)) {
    if (end == 0 || IsSeparator(wide[end - 1])) continue;  // a doubled separator
    const std::wstring folder = wide.substr(0, end);
    if (::CreateDirectoryW(folder.c_str(), nullptr) == FALSE && !IsDirectory(folder)) return false;
  }
  return IsDirectory(wide.substr(0, last + 1));
}

bool Win32Platform::DirectoryExists(const std::string& path) { return IsDirectory(Wide(path)); }

bool Win32Platform::FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void Win32Platform::SetAttributesNormal(const std::string& path) {
  if (::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL) == FALSE) {
    vb::Raise(FileErrorNumber(::GetLastError()));
  }
}

void Win32Platform::RemoveFile(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (::DeleteFileW(wide.c_str()) != FALSE) return;
  const DWORD error = ::GetLastError();
  // A folder is no file: VB's Kill reports 53 for it, as the stand-in does.
  vb::Raise(IsDirectory(wide) ? vb::kFileNotFound : FileErrorNumber(error));
}

void Win32Platform::RenameFile(const std::string& from, const std::string& to) {
  const std::wstring source = Wide(from);
  if (::MoveFileW(source.c_str(), Wide(to).c_str()) != FALSE) return;
  const long number = FileErrorNumber(::GetLastError());
  // 53 only for a missing source: a missing target folder is an access error.
  vb::Raise(number == vb::kFileNotFound && Exists(source) ? vb::kPathFileAccess : number);
}

std::string Win32Platform::LibraryFolder() {
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&kInThisModule), &module) == FALSE) {
    vb::Raise(vb::kPathFileAccess);
  }
  const std::wstring name = ModulePath(module);
  if (name.empty()) vb::Raise(vb::kPathFileAccess);
  const std::size_t separator = name.find_last_of(L"\\/");
  return Utf8(separator == std::wstring::npos ? std::wstring() : name.substr(0, separator));
}

// ---- clock ----

std::chrono::steady_clock::time_point Win32Platform::Now() { return std::chrono::steady_clock::now(); }

void Win32Platform::Sleep(std::chrono::milliseconds duration) {
  const auto bounded = std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, INFINITE - 1);
  ::Sleep(static_cast<DWORD>(bounded));
}

}  // namespace win
