#include "e2e/host/suite.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "e2e/host/client.h"
#include "win/text.h"

namespace e2e {

namespace fs = std::filesystem;
using win::Bstr;
using win::ComPtr;

void Tally::Line(bool ok, const std::string& text) {
  (ok ? passed : failed) += 1;
  std::printf("%-4s %s\n", ok ? "ok" : "FAIL", text.c_str());
  std::fflush(stdout);
}

std::vector<Sample> Samples(const fs::path& root) {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.is_directory() && fs::exists(entry.path() / "outcomes.json")) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  std::vector<Sample> samples;
  for (const auto& folder : folders) {
    std::ifstream in(folder / "outcomes.json");
    const auto manifest = nlohmann::json::parse(in);
    for (const auto& entry : manifest.at("samples")) {
      Sample sample;
      sample.question = manifest.at("question").get<long>();
      std::vector<std::string> files;
      if (entry.contains("files")) {
        files = entry.at("files").get<std::vector<std::string>>();
      } else {
        files.push_back(entry.at("file").get<std::string>());
      }
      for (const auto& file : files) {
        sample.documents.push_back(folder / file);
        sample.name += (sample.name.empty() ? "" : "+") + file;
      }
      sample.passed = entry.at("passed").get<bool>();
      sample.causeErreur = entry.at("causeErreur").get<std::string>();
      samples.push_back(std::move(sample));
    }
  }
  return samples;
}

namespace {

std::string Shown(bool passed, const std::string& cause) {
  if (passed) return cause.empty() ? "passed" : "passed(" + cause + ")";
  return cause.empty() ? "not-passed" : cause;
}

std::string Suffix(const std::optional<CallError>& error) { return error ? " " + error->Describe() : ""; }

// Whether `condition` holds within 10 s.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 200; ++i) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

bool WindowGone() {
  return Eventually([] { return FindWindowW(L"XLMAIN", nullptr) == nullptr; });
}

// Runs every sample with one set of host variables, then Quitter.
void RunAll(IDispatch* module, HostExcel& excel, const std::vector<Sample>& samples, const char* mode,
            Tally& tally) {
  for (const auto& sample : samples) {
    const Outcome outcome = RunCase(module, excel, sample.question, sample.documents);
    const bool passed = outcome.Passed();
    const std::string shown =
        outcome.failed ? outcome.failed->Describe() : Shown(passed, outcome.causeErreur);
    const bool match =
        !outcome.failed && passed == sample.passed && outcome.causeErreur == sample.causeErreur;
    char line[512];
    std::snprintf(line, sizeof line, "%ld %-36s %-14s %-14s complement=%zu %s", sample.question,
                  sample.name.c_str(), shown.c_str(), Shown(sample.passed, sample.causeErreur).c_str(),
                  outcome.complement.size(), mode);
    tally.Line(match, line);
  }
  const auto error = Quitter(module, excel);
  tally.Line(!error, std::string("Quitter ") + mode + Suffix(error));
}

std::vector<fs::path> Solved(const std::vector<Sample>& samples, long question) {
  for (const auto& sample : samples) {
    if (sample.question == question && sample.passed) return sample.documents;
  }
  return {};
}

void WriteAll(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// The names of the workbooks open in the running server.
std::vector<std::string> OpenWorkbooks(IDispatch* control) {
  std::vector<std::string> names;
  const Reply reply = Get(control, L"Workbooks");
  if (reply.error || V_VT(&reply.value.Get()) != VT_BSTR) return {"?"};
  for (const auto& workbook : nlohmann::json::parse(win::FromBstr(V_BSTR(&reply.value.Get())))) {
    names.push_back(workbook.at("name").get<std::string>());
  }
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

long DialogCount(IDispatch* control) {
  const Reply reply = Get(control, L"DialogCount");
  return reply.error || V_VT(&reply.value.Get()) != VT_I4 ? -1 : V_I4(&reply.value.Get());
}

// One failure-path case: a fresh module, the host's variables, question
// 705 prepared on its solved sample in `folder` (unless `prepare` is
// false), and the server's control object.
struct Scene {
  ComPtr<IDispatch> module = CreateModule();
  HostExcel excel;
  WorkingFolder folder;
  ComPtr<IDispatch> control;
  std::optional<CallError> init;

  Scene(const std::vector<Sample>& samples, Tally& tally, const char* name) {
    if (!module) {
      tally.Line(false, std::string(name) + ": cannot create R58267.Module");
      return;
    }
    Deliver(705, Solved(samples, 705), folder);
  }
  bool Init(Tally& tally, const char* name) {
    init = InitQuestion(module.Get(), excel, 705, folder);
    control = ServerControl();
    if (init || !control) tally.Line(false, std::string(name) + ": InitQuestion" + Suffix(init));
    return !init && control;
  }
  // Closes the exercise (unless the case did) and gives Excel back; Excel
  // quits, no workbook being left.
  void End(Tally& tally, const char* name, bool closed = false) {
    const Reply close = closed ? Reply{} : Call(module.Get(), L"Fermer");
    const auto quit = Quitter(module.Get(), excel);
    tally.Line(
        !close.error && !quit && WindowGone() && Eventually([] { return !ServerControl(); }),
        std::string(name) + ": Fermer and Quitter, then Excel has quit" + Suffix(close.error) + Suffix(quit));
  }
};

void ErrorThroughExcel(Tally& tally) {
  const char* name = "error raised by Excel";
  const ComPtr<IDispatch> module = CreateModule();
  HostExcel excel;
  const WorkingFolder folder;
  WriteAll(folder.Path() / L"05826705.xls",
           R"({"sheets":[{"name":"Feuil1","cells":{"A1":{"error":"#BAD"}}}]})");
  const auto init = InitQuestion(module.Get(), excel, 705, folder);
  const std::string source = "DLL R58267 - CLASSE Question0705\n\r - SERVICE Prepare - OBJET Microsoft Excel";
  const std::string description =
      "Thor International.xls: sheet 1 ('Feuil1'): cell 'A1': not one of Excel's error values: \"#BAD\"";
  tally.Line(
      init && init->status == static_cast<HRESULT>(0x800A03EC) && init->source == source &&
          init->description == description,
      std::string(name) + ": InitQuestion fails with 800A03EC, its source and description" + Suffix(init));
  const Reply close = Call(module.Get(), L"Fermer");
  const auto quit = Quitter(module.Get(), excel);
  tally.Line(!close.error && !quit && WindowGone(),
             std::string(name) + ": Fermer and Quitter" + Suffix(quit));
}

void WindowClosed(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "Excel's window closed";
  Scene scene(samples, tally, name);
  if (!scene.module || !scene.Init(tally, name)) return;
  Call(scene.control.Get(), L"CloseWindow");
  Outcome outcome;
  Correct(scene.module.Get(), outcome);
  tally.Line(
      !outcome.failed && outcome.erreurGenerale && outcome.causeErreur == "AM",
      std::string(name) + ": TestePoint gives AM, got " + outcome.causeErreur + Suffix(outcome.failed));
  scene.control.Reset();
  scene.End(tally, name);
}

// The host's own message filter, which the module's members must give back.
class HostFilter final : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = iid == IID_IUnknown || iid == IID_IMessageFilter ? static_cast<IMessageFilter*>(this) : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  // Lives on the stack of the case that registers it.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return 0xFFFFFFFF; }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

// Whether `filter` is the thread's message filter (it stays so).
bool FilterIs(IMessageFilter* filter) {
  IMessageFilter* current = nullptr;
  if (FAILED(CoRegisterMessageFilter(filter, &current))) return false;
  if (current != nullptr) current->Release();
  return current == filter;
}

// TestePoint, and how long it took in milliseconds.
DWORD TimedCorrect(IDispatch* module, Outcome& outcome) {
  const DWORD start = GetTickCount();
  Correct(module, outcome);
  return GetTickCount() - start;
}

// Excel rejecting calls as busy: for a moment (starting, a cell being
// edited), then answering; for good. The module waits for the first and
// gives "%AL" for the second within its bound of 5 s, and puts the host's
// message filter back each time.
void Busy(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "Excel busy";
  Scene scene(samples, tally, name);
  if (!scene.module || !scene.Init(tally, name)) return;
  HostFilter host;
  IMessageFilter* before = nullptr;
  CoRegisterMessageFilter(&host, &before);

  Call(scene.control.Get(), L"BusyFor", {Long(1500)});
  Outcome moment;
  const DWORD waited = TimedCorrect(scene.module.Get(), moment);
  tally.Line(moment.Passed() && waited >= 1000 && FilterIs(&host),
             std::string(name) + " for 1.5 s: TestePoint waits (" + std::to_string(waited) +
                 " ms), the solved sample passes, the host's filter is back" + Suffix(moment.failed));

  Invoke(scene.control.Get(), L"Answering", DISPATCH_PROPERTYPUT, {Boolean(false)});
  Outcome outcome;
  const DWORD bounded = TimedCorrect(scene.module.Get(), outcome);
  Invoke(scene.control.Get(), L"Answering", DISPATCH_PROPERTYPUT, {Boolean(true)});
  tally.Line(!outcome.failed && outcome.erreurGenerale && outcome.causeErreur == "%AL" && bounded >= 4500 &&
                 bounded < 15000 && FilterIs(&host),
             std::string(name) + " for good: TestePoint gives %AL after " + std::to_string(bounded) +
                 " ms, got " + outcome.causeErreur + Suffix(outcome.failed));
  // Answering again: the same exercise is graded.
  Outcome again;
  Correct(scene.module.Get(), again);
  tally.Line(again.Passed(),
             std::string(name) + ": answering again, the solved sample passes" + Suffix(again.failed));
  CoRegisterMessageFilter(before, nullptr);
  if (before != nullptr) before->Release();
  scene.control.Reset();
  scene.End(tally, name);
}

void DialogLeftOpen(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "dialog left open";
  Scene scene(samples, tally, name);
  if (!scene.module || !scene.Init(tally, name)) return;
  const auto window = reinterpret_cast<HWND>(static_cast<INT_PTR>(scene.excel.handle));
  const Bstr first = win::ToBstr("Format Cells");
  const Bstr second = win::ToBstr("Number Format");
  Call(scene.control.Get(), L"OpenDialog", {Text(first)});
  Call(scene.control.Get(), L"OpenDialog", {Text(second)});
  tally.Line(DialogCount(scene.control.Get()) == 2 && IsWindowEnabled(window) == FALSE,
             std::string(name) + ": two nested dialogs open, Excel's window disabled");
  // The learner asks for the next exercise.
  WorkingFolder next;
  Deliver(705, Solved(samples, 705), next);
  const auto init = InitQuestion(scene.module.Get(), scene.excel, 705, next);
  tally.Line(!init && DialogCount(scene.control.Get()) == 0 && IsWindowEnabled(window) != FALSE,
             std::string(name) + ": the next InitQuestion closes both" + Suffix(init));
  scene.control.Reset();
  scene.End(tally, name);
}

void WorkingFolderFiles(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "working folder";
  Scene scene(samples, tally, name);
  if (!scene.module) return;
  const fs::path folder = scene.folder.Path();
  const std::string solved = ReadAll(folder / L"05826705.xls");
  // What an earlier attempt left (read-only), the learner's own file, and
  // the same names in another folder.
  WriteAll(folder / L"Thor International.xls", "stale");
  SetFileAttributesW((folder / L"Thor International.xls").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteAll(folder / L"notes.txt", "mine");
  const WorkingFolder outside;
  WriteAll(outside.Path() / L"Thor International.xls", "outside");
  WriteAll(outside.Path() / L"05826705.xls", "outside source");
  const auto untouched = [&] {
    return ReadAll(folder / L"notes.txt") == "mine" &&
           ReadAll(outside.Path() / L"Thor International.xls") == "outside" &&
           ReadAll(outside.Path() / L"05826705.xls") == "outside source";
  };
  if (!scene.Init(tally, name)) return;
  tally.Line(!fs::exists(folder / L"05826705.xls") && ReadAll(folder / L"Thor International.xls") == solved &&
                 Contains(OpenWorkbooks(scene.control.Get()), "Thor International.xls") && untouched(),
             std::string(name) + ": InitQuestion replaces the stale file by the delivered one, nothing else");
  Outcome outcome;
  Correct(scene.module.Get(), outcome);
  const Reply close = Call(scene.module.Get(), L"Fermer");
  tally.Line(outcome.Passed() && !close.error && !fs::exists(folder / L"Thor International.xls") &&
                 !Contains(OpenWorkbooks(scene.control.Get()), "Thor International.xls") && untouched(),
             std::string(name) + ": Fermer closes and deletes the exercise's workbook, nothing else" +
                 Suffix(outcome.failed) + Suffix(close.error));
  scene.control.Reset();
  scene.End(tally, name, /*closed=*/true);
}

void QuitterMinimises(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "Quitter with a workbook open";
  Scene scene(samples, tally, name);
  if (!scene.module || !scene.Init(tally, name)) return;
  const Reply close = Call(scene.module.Get(), L"Fermer");
  // The learner opens a workbook of their own.
  const ComPtr<IDispatch> application = scene.excel.application;
  const auto window = reinterpret_cast<HWND>(static_cast<INT_PTR>(scene.excel.handle));
  const Reply workbooks = Get(application.Get(), L"Workbooks");
  const bool added = !workbooks.error && V_VT(&workbooks.value.Get()) == VT_DISPATCH &&
                     !Call(V_DISPATCH(&workbooks.value.Get()), L"Add").error;
  const auto quit = Quitter(scene.module.Get(), scene.excel);
  tally.Line(!close.error && added && !quit && !scene.excel.application && scene.excel.handle == 0 &&
                 IsWindow(window) != FALSE && Eventually([&] { return IsIconic(window) != FALSE; }),
             std::string(name) + ": Excel minimised, the host's variables cleared" + Suffix(quit));
  const Reply ended = Call(application.Get(), L"Quit");
  tally.Line(!ended.error && WindowGone(), std::string(name) + ": the learner quits Excel");
}

// The object a reply holds; null after an error or for any other value.
IDispatch* ObjectOf(const Reply& reply) {
  return !reply.error && V_VT(&reply.value.Get()) == VT_DISPATCH ? V_DISPATCH(&reply.value.Get()) : nullptr;
}

}  // namespace

void RunSamples(const std::vector<Sample>& samples, Tally& tally) {
  const ComPtr<IDispatch> module = CreateModule();
  if (!module) {
    tally.Line(false, "cannot create R58267.Module");
    return;
  }
  // The module obtains Excel itself: the host's variables start empty.
  HostExcel own;
  RunAll(module.Get(), own, samples, "excel-by-module", tally);
  // Quitter gave Excel back with no workbook open: it quits, and the
  // host's variables are cleared.
  tally.Line(!own.application && own.handle == 0, "Quitter cleared the host's variables");
  tally.Line(WindowGone(), "the Excel the module obtained has quit");

  // The host lends its own Excel and its main window's handle.
  HostExcel lent;
  CLSID excelClass{};
  if (FAILED(CLSIDFromProgID(L"Excel.Application.11", &excelClass)) ||
      FAILED(CoCreateInstance(excelClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(lent.application.Put())))) {
    tally.Line(false, "cannot create Excel.Application.11");
    return;
  }
  const ComPtr<IDispatch> ours = lent.application;
  const HWND window = FindWindowW(L"XLMAIN", nullptr);
  lent.handle = static_cast<LONG>(reinterpret_cast<INT_PTR>(window));
  tally.Line(lent.handle != 0, "the lent Excel has an XLMAIN window");
  RunAll(module.Get(), lent, samples, "excel-lent", tally);
  // The module only dropped its reference: the host's variables and its
  // Excel are as they were.
  tally.Line(lent.application.Get() == ours.Get() && lent.handle != 0 && IsWindowVisible(window) != FALSE &&
                 IsIconic(window) == FALSE,
             "Quitter left the lent Excel and the host's variables alone");
  const Reply quit = Call(ours.Get(), L"Quit");
  tally.Line(!quit.error && WindowGone(), "the host quits its lent Excel" + Suffix(quit.error));
}

void RunRegionalSettings(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "decimal comma";
  const ComPtr<IDispatch> module = CreateModule();
  HostExcel excel;
  const WorkingFolder folder;
  Deliver(716, Solved(samples, 716), folder);
  const auto init = InitQuestion(module.Get(), excel, 716, folder);
  // ActiveWorkbook.Sheets(1).Scenarios(1).Values(1): Banque A's rate.
  std::optional<double> rate;
  if (!init && excel.application) {
    const Reply workbook = Get(excel.application.Get(), L"ActiveWorkbook");
    const Reply sheets = ObjectOf(workbook) ? Get(ObjectOf(workbook), L"Sheets") : Reply{};
    const Reply sheet = ObjectOf(sheets) ? Call(ObjectOf(sheets), L"Item", {Long(1)}) : Reply{};
    const Reply scenario = ObjectOf(sheet) ? Call(ObjectOf(sheet), L"Scenarios", {Long(1)}) : Reply{};
    const Reply value =
        ObjectOf(scenario) ? Invoke(ObjectOf(scenario), L"Values", DISPATCH_PROPERTYGET, {Long(1)}) : Reply{};
    if (!value.error && V_VT(&value.value.Get()) == VT_R8) rate = V_R8(&value.value.Get());
  }
  tally.Line(
      rate == 0.08,
      std::string(name) + ": InitQuestion 716 gives Excel Banque A's rate as the number 0.08" + Suffix(init));
  Outcome outcome;
  Correct(module.Get(), outcome);
  tally.Line(outcome.Passed(),
             std::string(name) + ": the solved sample of 716 passes" + Suffix(outcome.failed));
  const Reply close = Call(module.Get(), L"Fermer");
  const auto quit = Quitter(module.Get(), excel);
  tally.Line(!close.error && !quit && WindowGone(),
             std::string(name) + ": Fermer and Quitter" + Suffix(close.error) + Suffix(quit));
}

namespace {

constexpr UINT kReleaseMessage = WM_APP + 1;

// Releases the IDispatch in its user data on kReleaseMessage.
LRESULT CALLBACK ReleasingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kReleaseMessage) return DefWindowProcW(window, message, wParam, lParam);
  auto* module = reinterpret_cast<IDispatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (module != nullptr) module->Release();
  return 0;
}

bool CanUnloadNow() {
  HMODULE dll = GetModuleHandleW(L"R58267.dll");
  if (dll == nullptr) return true;
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  const auto canUnload =
      reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  return canUnload != nullptr && canUnload() == S_OK;
}

}  // namespace

void RunReleasedDuringInitQuestion(const std::vector<Sample>& samples, Tally& tally) {
  const char* name = "module released during InitQuestion";
  ComPtr<IDispatch> module = CreateModule();
  HostExcel excel;
  const WorkingFolder folder;
  Deliver(705, Solved(samples, 705), folder);
  const WNDCLASSW windowClass{0,       ReleasingWindow, 0,       0,       GetModuleHandleW(nullptr),
                              nullptr, nullptr,         nullptr, nullptr, L"R58267ReleasingHost"};
  RegisterClassW(&windowClass);
  const HWND window = CreateWindowW(L"R58267ReleasingHost", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
  if (!module || window == nullptr) {
    tally.Line(false, std::string(name) + ": set-up");
    return;
  }
  // The window holds the only reference.
  IDispatch* raw = module.Detach();
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(raw));
  PostMessageW(window, kReleaseMessage, 0, 0);
  const auto init = InitQuestion(raw, excel, 705, folder);
  const bool released = GetWindowLongPtrW(window, GWLP_USERDATA) == 0;
  tally.Line(!init && released && CanUnloadNow(),
             std::string(name) + ": it completes, and the object is freed once it returns" + Suffix(init) +
                 (released ? "" : " (the release did not run)"));
  DestroyWindow(window);
  // The exercise's workbook went with the module; Excel is quit through
  // the host's variable.
  const Reply quit = excel.application ? Call(excel.application.Get(), L"Quit") : Reply{};
  excel.application.Reset();
  tally.Line(excel.handle != 0 && !quit.error && Eventually([] { return !ServerControl(); }),
             std::string(name) + ": Excel quits" + Suffix(quit.error));
}

void RunFailurePaths(const std::vector<Sample>& samples, Tally& tally) {
  ErrorThroughExcel(tally);
  WindowClosed(samples, tally);
  Busy(samples, tally);
  DialogLeftOpen(samples, tally);
  WorkingFolderFiles(samples, tally);
  QuitterMinimises(samples, tally);
}

}  // namespace e2e
