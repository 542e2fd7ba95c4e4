// r58267_e2e_host.exe SAMPLES: plays the course's host against the
// registered R58267.dll, through IDispatch only (GetIDsOfNames and Invoke).
// For every sample of SAMPLES/NNN/outcomes.json it copies the document(s)
// into a fresh working folder under the names the question delivers, runs
// InitQuestion, TestePoint, reads the outcome, Fermer, and compares with the
// expected outcome; Quitter at the end. It does so twice: once letting the
// module obtain Excel itself, once lending its own "Excel.Application.11".
// One line per case, then "N passed, N failed"; exit 0 only when all pass.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "win/com.h"
#include "win/text.h"

namespace {

namespace fs = std::filesystem;
using win::Bstr;
using win::ComPtr;
using win::UniqueVariant;

// The outcome of one failed Invoke: the call, its status and error text.
struct CallError {
  std::string member;
  HRESULT status = S_OK;
  std::string description;
};

// The result of one call through IDispatch: its value, or its error.
struct Reply {
  UniqueVariant value;
  std::optional<CallError> error;
};

// Invokes `name` on `object` by name, with `arguments` given first to last.
Reply Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments = {}) {
  Reply reply;
  DISPID id = DISPID_UNKNOWN;
  auto* text = const_cast<LPOLESTR>(name);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(hr)) {
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    EXCEPINFO exception{};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, reply.value.Put(), &exception,
                        nullptr);
    const Bstr source = Bstr::Attach(exception.bstrSource);
    const Bstr description = Bstr::Attach(exception.bstrDescription);
    const Bstr help = Bstr::Attach(exception.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION) {
      hr = exception.scode != 0 ? exception.scode : static_cast<HRESULT>(0x800A0000 | exception.wCode);
      reply.error = CallError{win::Utf8(name), hr, win::FromBstr(description.Get())};
      return reply;
    }
  }
  if (FAILED(hr)) reply.error = CallError{win::Utf8(name), hr, "HRESULT only"};
  return reply;
}

VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}
VARIANT Text(const Bstr& text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text.Get();
  return v;
}
// The host's own variables, passed by reference as a compiled host does.
VARIANT ObjectReference(IDispatch** target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&v) = target;
  return v;
}
VARIANT LongReference(LONG* target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_I4;
  V_I4REF(&v) = target;
  return v;
}

// The Application and window handle variables of the host, kept from one
// InitQuestion to the next and given to Quitter.
struct HostExcel {
  ComPtr<IDispatch> application;
  LONG handle = 0;
};

struct Outcome {
  std::optional<CallError> failed;
  bool erreurGenerale = false;
  std::string causeErreur;
  bool bravoNuance = false;
  long complement = 0;
};

bool Passed(long question, const Outcome& outcome) {
  if (outcome.failed || outcome.erreurGenerale) return false;
  if (question == 709) return outcome.causeErreur == "D" && outcome.bravoNuance;
  return outcome.causeErreur.empty();
}

std::string Shown(bool passed, const std::string& cause) {
  if (passed) return cause.empty() ? "passed" : "passed(" + cause + ")";
  return cause.empty() ? "not-passed" : cause;
}

// The names the question delivers its working files under, in order.
std::vector<std::wstring> NomsSource(long question) {
  const std::wstring number = std::to_wstring(question % 100);
  const std::wstring suffix = (number.size() == 1 ? L"0" : L"") + number + L".xls";
  std::vector<std::wstring> names{L"058267" + suffix};
  if (question == 717 || question == 718) names.push_back(L"158267" + suffix);
  return names;
}

// A fresh folder under Windows' temporary folder, removed with what is left
// in it when the object goes.
class WorkingFolder {
 public:
  WorkingFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = fs::path(temp) /
            (L"r58267-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    fs::create_directories(path_);
  }
  ~WorkingFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  [[nodiscard]] const fs::path& Path() const { return path_; }
  // The folder as the module receives it: with a final "\".
  [[nodiscard]] std::wstring Text() const { return path_.wstring() + L"\\"; }

 private:
  fs::path path_;
};

bool Read(IDispatch* module, const wchar_t* member, Outcome& outcome, UniqueVariant& value) {
  Reply reply = Invoke(module, member, DISPATCH_PROPERTYGET);
  if (reply.error) {
    outcome.failed = reply.error;
    return false;
  }
  value = std::move(reply.value);
  return true;
}

// One case as the course's host runs it: InitQuestion, TestePoint, the
// outcome, Fermer.
Outcome RunCase(IDispatch* module, HostExcel& excel, long question, const std::vector<fs::path>& documents) {
  Outcome outcome;
  const WorkingFolder folder;
  const auto names = NomsSource(question);
  for (std::size_t i = 0; i < documents.size() && i < names.size(); ++i) {
    fs::copy_file(documents[i], folder.Path() / names[i], fs::copy_options::overwrite_existing);
  }
  const Bstr path = win::ToBstr(win::Utf8(folder.Text()));
  IDispatch* application = excel.application.Detach();
  Reply init =
      Invoke(module, L"InitQuestion", DISPATCH_METHOD,
             {Long(question), Text(path), ObjectReference(&application), LongReference(&excel.handle)});
  excel.application = ComPtr<IDispatch>::Attach(application);
  if (init.error) {
    outcome.failed = init.error;
  } else if (Reply test = Invoke(module, L"TestePoint", DISPATCH_METHOD); test.error) {
    outcome.failed = test.error;
  } else {
    UniqueVariant value;
    if (Read(module, L"ErreurGenerale", outcome, value)) {
      outcome.erreurGenerale = V_VT(&value.Get()) == VT_BOOL && V_BOOL(&value.Get()) != VARIANT_FALSE;
      if (Read(module, L"CauseErreur", outcome, value)) {
        outcome.causeErreur = V_VT(&value.Get()) == VT_BSTR ? win::FromBstr(V_BSTR(&value.Get())) : "?";
        if (Read(module, L"BravoNuance", outcome, value)) {
          outcome.bravoNuance = V_VT(&value.Get()) == VT_BOOL && V_BOOL(&value.Get()) != VARIANT_FALSE;
          if (Read(module, L"Complement", outcome, value) && V_VT(&value.Get()) == VT_DISPATCH &&
              V_DISPATCH(&value.Get()) != nullptr) {
            Reply count = Invoke(V_DISPATCH(&value.Get()), L"count", DISPATCH_METHOD | DISPATCH_PROPERTYGET);
            if (count.error) {
              outcome.failed = count.error;
            } else if (SUCCEEDED(VariantChangeType(&count.value.Get(), &count.value.Get(), 0, VT_I4))) {
              outcome.complement = V_I4(&count.value.Get());
            }
          }
        }
      }
    }
  }
  // Close whatever happened, keeping the first failure.
  Reply close = Invoke(module, L"Fermer", DISPATCH_METHOD);
  if (close.error && !outcome.failed) outcome.failed = close.error;
  return outcome;
}

std::optional<CallError> Quitter(IDispatch* module, HostExcel& excel) {
  IDispatch* application = excel.application.Detach();
  Reply reply = Invoke(module, L"Quitter", DISPATCH_METHOD,
                       {ObjectReference(&application), LongReference(&excel.handle)});
  excel.application = ComPtr<IDispatch>::Attach(application);
  return reply.error;
}

struct Sample {
  long question = 0;
  std::vector<fs::path> documents;
  std::string name;
  bool passed = false;
  std::string causeErreur;
};

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

struct Tally {
  int passed = 0;
  int failed = 0;
  void Line(bool ok, const std::string& text) {
    (ok ? passed : failed) += 1;
    std::printf("%-4s %s\n", ok ? "ok" : "FAIL", text.c_str());
    std::fflush(stdout);
  }
};

std::string Describe(const CallError& error) {
  char status[16];
  std::snprintf(status, sizeof status, "%08lX", static_cast<unsigned long>(error.status));
  return error.member + "-failed(" + status + ":" + error.description + ")";
}

// Runs every sample with one set of host variables, then Quitter.
void RunAll(IDispatch* module, HostExcel& excel, const std::vector<Sample>& samples, const char* mode,
            Tally& tally) {
  for (const auto& sample : samples) {
    const Outcome outcome = RunCase(module, excel, sample.question, sample.documents);
    const bool passed = Passed(sample.question, outcome);
    const std::string shown = outcome.failed ? Describe(*outcome.failed) : Shown(passed, outcome.causeErreur);
    const bool match =
        !outcome.failed && passed == sample.passed && outcome.causeErreur == sample.causeErreur;
    char line[512];
    std::snprintf(line, sizeof line, "%ld %-36s %-14s %-14s complement=%ld %s", sample.question,
                  sample.name.c_str(), shown.c_str(), Shown(sample.passed, sample.causeErreur).c_str(),
                  outcome.complement, mode);
    tally.Line(match, line);
  }
  const auto error = Quitter(module, excel);
  tally.Line(!error, std::string("Quitter ") + mode + (error ? " " + Describe(*error) : ""));
}

// Whether Excel's main window is gone within 10 s.
bool WindowGone() {
  for (int i = 0; i < 200; ++i) {
    if (FindWindowW(L"XLMAIN", nullptr) == nullptr) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: r58267_e2e_host SAMPLES\n");
    return 64;
  }
  const win::ComApartment apartment;
  if (FAILED(apartment.Result())) return 2;
  const auto samples = Samples(fs::path(win::Wide(argv[1])));
  Tally tally;

  ComPtr<IDispatch> module;
  CLSID moduleClass{};
  if (FAILED(CLSIDFromProgID(L"R58267.Module", &moduleClass)) ||
      FAILED(CoCreateInstance(moduleClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(module.Put())))) {
    std::printf("cannot create R58267.Module\n");
    return 2;
  }

  // The module obtains Excel itself: the host's variables start empty.
  HostExcel own;
  RunAll(module.operator->(), own, samples, "excel-by-module", tally);
  // Quitter gave Excel back with no workbook open: it quits, and the
  // host's variables are cleared.
  tally.Line(!own.application, "Quitter cleared the host's Application");
  tally.Line(WindowGone(), "the Excel the module obtained has quit");

  // The host lends its own Excel and its main window's handle.
  HostExcel lent;
  CLSID excelClass{};
  if (FAILED(CLSIDFromProgID(L"Excel.Application.11", &excelClass)) ||
      FAILED(CoCreateInstance(excelClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(lent.application.Put())))) {
    tally.Line(false, "cannot create Excel.Application.11");
  } else {
    const ComPtr<IDispatch> ours = lent.application;
    lent.handle = static_cast<LONG>(reinterpret_cast<INT_PTR>(FindWindowW(L"XLMAIN", nullptr)));
    tally.Line(lent.handle != 0, "the lent Excel has an XLMAIN window");
    RunAll(module.operator->(), lent, samples, "excel-lent", tally);
    // The module only dropped its reference: the host quits its own Excel.
    const Reply quit = Invoke(ours.operator->(), L"Quit", DISPATCH_METHOD);
    tally.Line(!quit.error,
               "the host quits its lent Excel" + (quit.error ? " " + Describe(*quit.error) : ""));
  }

  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  return tally.failed == 0 ? 0 : 1;
}
