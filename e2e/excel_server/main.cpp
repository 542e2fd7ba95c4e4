// r58267_excel_server.exe: the embedded stand-in as a local automation
// server that answers for Excel in a Wine test prefix.
//   /regserver    registers the class, its local server and the ProgIDs
//                 "Excel.Application.11" and "Excel.Application";
//   /unregserver  removes every key that /regserver wrote;
//   -Embedding    (how COM starts it) or no argument: serves one
//                 Application until it is told to quit or its watchdog
//                 fires.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "e2e/excel_server/control.h"
#include "e2e/excel_server/stand_in_dispatch.h"
#include "sim/excel_application.h"
#include "win/com.h"
#include "win/platform.h"
#include "win/system.h"

// shellapi.h needs windows.h (through win/com.h) first.
#include <shellapi.h>

namespace {

// The test class: ours, not Excel's.
constexpr CLSID kServerClsid = {0x00ea9e58, 0x906a, 0x4fd3, {0xb1, 0xf8, 0x68, 0x0b, 0x64, 0x8a, 0x49, 0xfd}};
constexpr const wchar_t* kProgId = L"Excel.Application.11";
constexpr const wchar_t* kIndependentProgId = L"Excel.Application";
constexpr const wchar_t* kWindowClass = L"XLMAIN";
constexpr const wchar_t* kWindowTitle = L"Microsoft Excel";
// The server never outlives a test run by more than this, whatever the
// client does; R58267_EXCEL_SERVER_WATCHDOG (seconds) shortens it.
constexpr UINT kWatchdogSeconds = 600;

std::wstring ClassKey() { return L"CLSID\\" + win::GuidText(kServerClsid); }

bool WriteKey(const std::wstring& path, const std::wstring& value) {
  return SUCCEEDED(win::WriteClassesKey(path, value));
}

bool DeleteTree(const std::wstring& path) { return SUCCEEDED(win::DeleteClassesTree(path)); }

bool Unregister() {
  bool done = true;
  for (const std::wstring& key : {ClassKey(), std::wstring(kProgId), std::wstring(kIndependentProgId)}) {
    done = DeleteTree(key) && done;
  }
  return done;
}

bool Register() {
  const std::wstring path = win::ModulePath(nullptr);
  const std::wstring classKey = ClassKey();
  const std::wstring classId = win::GuidText(kServerClsid);
  const bool done = !path.empty() && WriteKey(classKey, L"R58267 Excel stand-in") &&
                    WriteKey(classKey + L"\\LocalServer32", L"\"" + path + L"\"") &&
                    WriteKey(classKey + L"\\ProgID", kProgId) &&
                    WriteKey(classKey + L"\\VersionIndependentProgID", kIndependentProgId) &&
                    WriteKey(kProgId, L"R58267 Excel stand-in") &&
                    WriteKey(std::wstring(kProgId) + L"\\CLSID", classId) &&
                    WriteKey(kIndependentProgId, L"R58267 Excel stand-in") &&
                    WriteKey(std::wstring(kIndependentProgId) + L"\\CLSID", classId) &&
                    WriteKey(std::wstring(kIndependentProgId) + L"\\CurVer", kProgId);
  if (!done) Unregister();
  return done;
}

// Hands out the one Application of this process. With REGCLS_SINGLEUSE COM
// asks it once; a second client that creates an instance gets a new server
// process, as with Excel.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(win::ComPtr<IDispatch> application) : application_(std::move(application)) {}
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;
  virtual ~ClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // Lives on the stack of main for the whole run.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return application_->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL /*lock*/) override { return S_OK; }

 private:
  win::ComPtr<IDispatch> application_;
};

// Excel's main window: closing it hides Excel from the user without ending
// it, as when the learner closes the window of an Excel started by
// automation.
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateMainWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassW(&windowClass) == 0) return nullptr;
  return CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                         CW_USEDEFAULT, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

UINT WatchdogSeconds() {
  const char* text = std::getenv("R58267_EXCEL_SERVER_WATCHDOG");
  if (text == nullptr) return kWatchdogSeconds;
  const long seconds = std::strtol(text, nullptr, 10);
  return seconds > 0 && seconds < static_cast<long>(kWatchdogSeconds) ? static_cast<UINT>(seconds)
                                                                      : kWatchdogSeconds;
}

// Owns the registrations of a running server; each is revoked when it goes.
class ClassRegistration {
 public:
  ClassRegistration(IClassFactory* factory) {
    result_ = CoRegisterClassObject(kServerClsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie_);
  }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;
  ~ClassRegistration() {
    if (SUCCEEDED(result_)) CoRevokeClassObject(cookie_);
  }
  [[nodiscard]] HRESULT Result() const { return result_; }

 private:
  DWORD cookie_ = 0;
  HRESULT result_;
};

class ActiveObjectRegistration {
 public:
  ActiveObjectRegistration(IUnknown* object, REFCLSID clsid) {
    result_ = RegisterActiveObject(object, clsid, ACTIVEOBJECT_STRONG, &cookie_);
  }
  ActiveObjectRegistration(const ActiveObjectRegistration&) = delete;
  ActiveObjectRegistration& operator=(const ActiveObjectRegistration&) = delete;
  ~ActiveObjectRegistration() {
    if (SUCCEEDED(result_)) RevokeActiveObject(cookie_, nullptr);
  }
  [[nodiscard]] HRESULT Result() const { return result_; }

 private:
  DWORD cookie_ = 0;
  HRESULT result_;
};

class MessageFilterRegistration {
 public:
  explicit MessageFilterRegistration(IMessageFilter* filter) { CoRegisterMessageFilter(filter, nullptr); }
  MessageFilterRegistration(const MessageFilterRegistration&) = delete;
  MessageFilterRegistration& operator=(const MessageFilterRegistration&) = delete;
  ~MessageFilterRegistration() { CoRegisterMessageFilter(nullptr, nullptr); }
};

class MainWindow {
 public:
  MainWindow() : window_(CreateMainWindow()) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow() {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  }
  [[nodiscard]] HWND Handle() const { return window_; }

 private:
  HWND window_;
};

// Windows' "hide extensions for known file types", which Excel's window
// captions follow: on unless the user turned it off (HideFileExt 0), as in
// a new Windows XP profile.
bool HidesExtensions() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return true;
  }
  DWORD value = 1;
  DWORD size = sizeof value;
  DWORD type = 0;
  const LONG status =
      RegQueryValueExW(key, L"HideFileExt", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return status != ERROR_SUCCESS || type != REG_DWORD || value != 0;
}

int Serve() {
  const win::ComApartment apartment;
  if (FAILED(apartment.Result())) return 2;
  if (const std::string missing = e2e::MissingMember(); !missing.empty()) {
    std::fprintf(stderr, "r58267_excel_server: no implementation of %s\n", missing.c_str());
    return 2;
  }
  // Excel reads the texts it is given (a scenario's values) with the
  // user's regional settings.
  vb::SetCurrentLocale(win::UserLocale());
  sim::ExcelOptions options;
  std::error_code error;
  options.currentFolder = std::filesystem::current_path(error).string();
  options.hideExtensions = HidesExtensions();
  const std::shared_ptr<sim::ExcelApplication> excel = sim::ExcelApplication::Create(options);
  excel->State().visible = true;

  // Without a display the window cannot be created; the server still
  // answers, as Excel would without its window.
  const MainWindow window;
  e2e::SetServerEvents({.quit = [] { PostQuitMessage(0); },
                        .visible =
                            [&window](bool visible) {
                              if (window.Handle() != nullptr)
                                ShowWindow(window.Handle(), visible ? SW_SHOW : SW_HIDE);
                            }});
  int status = 0;
  {
    const win::ComPtr<IDispatch> application = e2e::DispatchFor(excel);
    ClassFactory factory(application);
    const ActiveObjectRegistration running(application.Get(), kServerClsid);
    // Tests find the control object of the server they started here; a
    // second server's registration does not replace the first one's.
    const e2e::Controlled control =
        e2e::ControlFor({.excel = excel, .window = window.Handle(), .quit = [] { PostQuitMessage(0); }});
    const MessageFilterRegistration filter(control.filter.Get());
    const ActiveObjectRegistration controlled(control.control.Get(), e2e::kControlClsid);
    const ClassRegistration registration(&factory);
    if (FAILED(running.Result()) || FAILED(controlled.Result()) || FAILED(registration.Result())) {
      std::fprintf(stderr, "r58267_excel_server: registration failed (0x%08lx, 0x%08lx, 0x%08lx)\n",
                   static_cast<unsigned long>(running.Result()),
                   static_cast<unsigned long>(controlled.Result()),
                   static_cast<unsigned long>(registration.Result()));
      status = 3;
    } else {
      const UINT_PTR watchdog = SetTimer(nullptr, 0, WatchdogSeconds() * 1000, nullptr);
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr && message.wParam == watchdog) {
          std::fprintf(stderr, "r58267_excel_server: watchdog fired, quitting\n");
          status = 4;
          break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      KillTimer(nullptr, watchdog);
    }
  }
  // Clients that still hold objects find them disconnected.
  e2e::SetServerEvents({});
  return status;
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> options;
  for (int i = 1; i < count; ++i) options.emplace_back(arguments[i]);
  LocalFree(arguments);
  const auto is = [&](const wchar_t* name) {
    return !options.empty() && (_wcsicmp(options[0].c_str(), (std::wstring(L"/") + name).c_str()) == 0 ||
                                _wcsicmp(options[0].c_str(), (std::wstring(L"-") + name).c_str()) == 0);
  };
  if (is(L"regserver")) return Register() ? 0 : 1;
  if (is(L"unregserver")) return Unregister() ? 0 : 1;
  return Serve();
}
