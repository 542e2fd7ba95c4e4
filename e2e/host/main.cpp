// r58267_e2e_host.exe: plays the course's host against the registered
// R58267.dll, through IDispatch only, with the Excel stand-in server.
//   r58267_e2e_host SAMPLES
//       every sample of SAMPLES/NNN/outcomes.json, once with the Excel the
//       module obtains and once with the host's own, then the failure
//       paths; one line per case, then "N passed, N failed"; exit 0 only
//       when all pass.
//   r58267_e2e_host check QUESTION WORKBOOK [WORKBOOK2] [--json]
//                   [--decimal-separator S]
//       grades one case as `r58267 check` does and prints the same text or
//       JSON line, with the same exit status (0 passed, 1 not passed, 2 a
//       call failed, 64 bad usage). --decimal-separator sets the user's
//       regional settings for the call ("," with day-first dates, "." with
//       month-first ones) and puts the previous ones back afterwards.
//   r58267_e2e_host regional SAMPLES
//       with the user's regional settings set to a decimal comma for the
//       run, question 716's rates must reach Excel as numbers; one line per
//       case, then "N passed, N failed".
//   r58267_e2e_host released SAMPLES
//       the host's last Release runs inside InitQuestion's message pump:
//       the call completes and the object goes afterwards.
//   r58267_e2e_host timing SAMPLES [RUNS]
//       times one cross-process call and each question's InitQuestion,
//       TestePoint and Fermer on its solved sample (median of RUNS, 5 by
//       default), with the automation calls each makes; a Markdown table.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/output.h"
#include "e2e/host/client.h"
#include "e2e/host/suite.h"
#include "win/tests/regional_settings.h"
#include "win/text.h"

namespace {

namespace fs = std::filesystem;
using cli::OneLine;
using e2e::CallError;
using e2e::Outcome;
using win::ComPtr;

constexpr int kExitPassed = 0;
constexpr int kExitNotPassed = 1;
constexpr int kExitCallFailed = 2;
constexpr int kExitUsage = 64;

int Usage(const std::string& message) {
  std::fprintf(stderr, "r58267: %s\n", message.c_str());
  return kExitUsage;
}

const char* Bool(bool value) { return value ? "True" : "False"; }

void PrintJson(const Outcome& outcome) {
  nlohmann::ordered_json json;
  json["question"] = outcome.question;
  if (outcome.failed) {
    json["failed"] = outcome.failed->member;
    json["error"] = {{"number", outcome.failed->Number()},
                     {"description", outcome.failed->description},
                     {"source", outcome.failed->source}};
    if (!outcome.workbook.empty()) json["error"]["workbook"] = outcome.workbook;
  } else {
    json["passed"] = outcome.Passed();
    json["erreurGenerale"] = outcome.erreurGenerale;
    json["causeErreur"] = outcome.causeErreur;
    json["bravoNuance"] = outcome.bravoNuance;
    json["complement"] = outcome.complement;
  }
  std::printf("%s\n", cli::JsonLine(json).c_str());
}

void PrintText(const Outcome& outcome) {
  if (outcome.failed) {
    std::printf("%ld: %s failed: error %ld: %s\n  source: %s\n", outcome.question,
                outcome.failed->member.c_str(), outcome.failed->Number(),
                OneLine(outcome.failed->description).c_str(), OneLine(outcome.failed->source).c_str());
    return;
  }
  std::printf(
      "%ld: %s\n  ErreurGenerale: %s\n  CauseErreur: %s\n  BravoNuance: %s\n  Complement: %zu line(s)\n",
      outcome.question, outcome.Passed() ? "passed" : "not passed", Bool(outcome.erreurGenerale),
      outcome.causeErreur.empty() ? "(empty)" : outcome.causeErreur.c_str(), Bool(outcome.bravoNuance),
      outcome.complement.size());
  for (const auto& line : outcome.complement) std::printf("    %s\n", line.c_str());
}

// One case as `r58267 check` plays it: InitQuestion with no Excel, the
// correction and its reads, Fermer, then Quitter; the first failure kept.
int Check(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  bool json = false;
  std::optional<char> separator;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--decimal-separator") {
      if (i + 1 == args.size() || (args[i + 1] != "." && args[i + 1] != ",")) {
        return Usage("--decimal-separator must be \".\" or \",\"");
      }
      separator = args[++i][0];
    } else if (arg.rfind("--", 0) == 0) {
      return Usage("unknown option '" + arg + "'");
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() < 2 || positional.size() > 3)
    return Usage("check takes QUESTION WORKBOOK [WORKBOOK2]");
  long question = 0;
  const std::string& number = positional[0];
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), question);
  if (error != std::errc() || end != number.data() + number.size() || question < 701 || question > 719) {
    return Usage("QUESTION must be a number from 701 to 719, not '" + number + "'");
  }
  if (positional.size() - 1 != e2e::NomsSource(question).size()) {
    return Usage("question " + number + " takes " + std::to_string(e2e::NomsSource(question).size()) +
                 " workbook(s)");
  }
  std::vector<fs::path> documents;
  for (std::size_t i = 1; i < positional.size(); ++i) {
    const fs::path path(win::Wide(positional[i]));
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored)) {
      return Usage("cannot read workbook '" + positional[i] + "': no such file");
    }
    documents.push_back(path);
  }
  std::optional<win::test_support::ScopedRegionalSettings> regional;
  if (separator) {
    regional.emplace(*separator);
    if (!regional->Ok()) {
      std::fprintf(stderr, "r58267: the regional settings could not be written\n");
      return kExitCallFailed;
    }
  }
  const ComPtr<IDispatch> module = e2e::CreateModule();
  if (!module) {
    std::fprintf(stderr, "r58267: cannot create R58267.Module: is R58267.dll registered?\n");
    return kExitCallFailed;
  }
  e2e::HostExcel excel;
  Outcome outcome = e2e::RunCase(module.Get(), excel, question, documents);
  if (!outcome.failed || outcome.failed->member != "Fermer") {
    const auto quit = e2e::Quitter(module.Get(), excel);
    if (quit && !outcome.failed) outcome.failed = quit;
  }
  json ? PrintJson(outcome) : PrintText(outcome);
  if (outcome.failed) return kExitCallFailed;
  return outcome.Passed() ? kExitPassed : kExitNotPassed;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

long Calls(IDispatch* control) {
  const e2e::Reply reply = e2e::Get(control, L"Calls");
  return reply.error || V_VT(&reply.value.Get()) != VT_I4 ? -1 : V_I4(&reply.value.Get());
}

// One timed call: its wall time and the automation calls Excel answered.
struct Timed {
  std::vector<double> times;
  long calls = 0;
  bool failed = false;

  template <class F>
  void Run(IDispatch* control, F call) {
    const long before = Calls(control);
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    failed = call() || failed;
    QueryPerformanceCounter(&end);
    times.push_back(Milliseconds(start, end));
    calls = Calls(control) - before;
  }
  [[nodiscard]] std::string Cell() const {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f ms (%ld)%s", Median(times), calls, failed ? " FAILED" : "");
    return text;
  }
};

int Timing(const fs::path& root, int runs) {
  const auto samples = e2e::Samples(root);
  const ComPtr<IDispatch> module = e2e::CreateModule();
  if (!module) return Usage("cannot create R58267.Module");
  e2e::HostExcel excel;
  // Starts the server; not timed.
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  if (samples.empty()) return Usage("no samples in the folder given");
  const e2e::Outcome first =
      e2e::RunCase(module.Get(), excel, samples.front().question, samples.front().documents);
  QueryPerformanceCounter(&end);
  const ComPtr<IDispatch> control = e2e::ServerControl();
  if (first.failed || !control || !excel.application) return Usage("the first case failed");
  std::printf("Starting Excel through the module and the first case: %.0f ms\n\n", Milliseconds(start, end));

  // One cross-process call: Application.Visible read by its DISPID.
  DISPID visible = DISPID_UNKNOWN;
  auto* name = const_cast<LPOLESTR>(L"Visible");
  excel.application->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &visible);
  std::vector<double> batches;
  for (int batch = 0; batch < runs; ++batch) {
    QueryPerformanceCounter(&start);
    for (int i = 0; i < 200; ++i) {
      DISPPARAMS none{};
      win::UniqueVariant value;
      excel.application->Invoke(visible, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                value.Put(), nullptr, nullptr);
    }
    QueryPerformanceCounter(&end);
    batches.push_back(Milliseconds(start, end) / 200);
  }
  std::printf("One cross-process call (Application.Visible): %.3f ms\n\n", Median(batches));

  std::printf("| Question | InitQuestion (calls) | TestePoint (calls) | Fermer (calls) |\n");
  std::printf("|---|---|---|---|\n");
  for (long question = 701; question <= 719; ++question) {
    const auto solved = std::find_if(samples.begin(), samples.end(), [&](const e2e::Sample& sample) {
      return sample.question == question && sample.passed;
    });
    if (solved == samples.end()) continue;
    Timed init;
    Timed test;
    Timed close;
    for (int run = 0; run < runs; ++run) {
      const e2e::WorkingFolder folder;
      e2e::Deliver(question, solved->documents, folder);
      init.Run(control.Get(),
               [&] { return e2e::InitQuestion(module.Get(), excel, question, folder).has_value(); });
      test.Run(control.Get(), [&] { return e2e::Call(module.Get(), L"TestePoint").error.has_value(); });
      close.Run(control.Get(), [&] { return e2e::Call(module.Get(), L"Fermer").error.has_value(); });
    }
    std::printf("| %ld | %s | %s | %s |\n", question, init.Cell().c_str(), test.Cell().c_str(),
                close.Cell().c_str());
  }
  const auto quit = e2e::Quitter(module.Get(), excel);
  return quit ? kExitCallFailed : kExitPassed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty())
    return Usage("usage: r58267_e2e_host SAMPLES | check QUESTION WB [WB2] [--json] | timing SAMPLES");
  const win::ComApartment apartment;
  if (FAILED(apartment.Result())) return kExitCallFailed;
  if (args[0] == "check") {
    // Lines end in "\n" alone, as `r58267 check` prints them.
    _setmode(_fileno(stdout), _O_BINARY);
    return Check({args.begin() + 1, args.end()});
  }
  if (args[0] == "regional") {
    if (args.size() != 2) return Usage("regional takes SAMPLES");
    const win::test_support::ScopedRegionalSettings comma(',');
    e2e::Tally tally;
    tally.Line(comma.Ok(), "the regional settings are written");
    e2e::RunRegionalSettings(e2e::Samples(fs::path(win::Wide(args[1]))), tally);
    std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
    return tally.failed == 0 ? 0 : 1;
  }
  if (args[0] == "released") {
    if (args.size() != 2) return Usage("released takes SAMPLES");
    e2e::Tally tally;
    e2e::RunReleasedDuringInitQuestion(e2e::Samples(fs::path(win::Wide(args[1]))), tally);
    std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
    return tally.failed == 0 ? 0 : 1;
  }
  if (args[0] == "timing") {
    int runs = 5;
    if (args.size() == 3) runs = std::max(1, std::atoi(args[2].c_str()));
    return args.size() >= 2 ? Timing(fs::path(win::Wide(args[1])), runs)
                            : Usage("timing takes SAMPLES [RUNS]");
  }
  if (args.size() != 1) return Usage("usage: r58267_e2e_host SAMPLES");
  const auto samples = e2e::Samples(fs::path(win::Wide(args[0])));
  e2e::Tally tally;
  e2e::RunSamples(samples, tally);
  e2e::RunFailurePaths(samples, tally);
  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  return tally.failed == 0 ? 0 : 1;
}
