// r58267: the command-line host. It plays the host program on the embedded
// stand-in: `check` grades a workbook, `demo` grades every sample.
#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/grader.h"
#include "cli/output.h"
#include "module/codes_generaux.h"
#include "questions/factory.h"
#include "sim/document.h"

namespace {

namespace fs = std::filesystem;
using cli::JsonLine;
using cli::OneLine;

constexpr int kExitPassed = 0;
constexpr int kExitNotPassed = 1;
constexpr int kExitCallFailed = 2;
constexpr int kExitUsage = 64;
constexpr int kExitOutputError = 74;

constexpr const char* kUsage =
    "usage: r58267 check QUESTION WORKBOOK [WORKBOOK2] [--json] [--decimal-separator SEP] [--explain]\n"
    "       r58267 demo [--samples DIR]\n"
    "       r58267 causes\n"
    "       r58267 --help | --version\n"
    "\n"
    "check  grades a workbook document for question QUESTION (701 to 719) as the host\n"
    "       program does: InitQuestion, TestePoint, the outcome, Fermer and Quitter.\n"
    "       --json                 one JSON object on one line\n"
    "       --decimal-separator S  the regional decimal separator, \".\" (default) or \",\"\n"
    "       --explain              one sentence saying what the outcome's code means\n"
    "demo   grades every sample workbook and compares with its expected outcome.\n"
    "causes prints the page of cause codes (Markdown) for the host's message writers.\n"
    "\n"
    "exit status: 0 passed, 1 not passed, 2 a call failed, 64 bad usage or environment,\n"
    "             74 the output could not be written.\n";

// Thrown for bad usage: one line for standard error.
struct Usage {
  std::string message;
};

const char* Bool(bool value) { return value ? "True" : "False"; }

long ParseQuestion(const std::string& text) {
  long question = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), question);
  if (error != std::errc() || end != text.data() + text.size() || question < 701 || question > 719) {
    throw Usage{"QUESTION must be a number from 701 to 719, not '" + OneLine(text) + "'"};
  }
  return question;
}

void CheckReadable(const std::string& path) {
  const std::string shown = "cannot read workbook '" + OneLine(path) + "': ";
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) throw Usage{shown + "no such file"};
  if (status.type() == fs::file_type::directory) throw Usage{shown + "it is a folder"};
  if (error) throw Usage{shown + error.message()};
  if (status.type() != fs::file_type::regular) throw Usage{shown + "not a regular file"};
  if (fs::file_size(path, error) > sim::kMaxDocumentBytes) {
    throw Usage{shown + "larger than " + std::to_string(sim::kMaxDocumentBytes >> 20) +
                " MB, the most a workbook document may be"};
  }
  std::ifstream in(path);
  if (!in) throw Usage{shown + "permission denied or unreadable"};
}

nlohmann::ordered_json Json(const cli::Outcome& outcome, bool explain) {
  nlohmann::ordered_json json;
  json["question"] = outcome.question;
  if (!outcome.failed.empty()) {
    json["failed"] = outcome.failed;
    json["error"] = {{"number", outcome.error->number},
                     {"description", outcome.error->description},
                     {"source", outcome.error->source}};
    if (!outcome.workbook.empty()) json["error"]["workbook"] = outcome.workbook;
  } else {
    json["passed"] = outcome.Passed();
    json["erreurGenerale"] = outcome.erreurGenerale;
    json["causeErreur"] = outcome.causeErreur;
    json["bravoNuance"] = outcome.bravoNuance;
    json["complement"] = outcome.complement;
  }
  if (explain) json["explanation"] = cli::Explain(outcome);
  return json;
}

void PrintText(const cli::Outcome& outcome, bool explain) {
  if (!outcome.failed.empty()) {
    std::printf("%ld: %s failed: error %ld: %s\n  source: %s\n", outcome.question, outcome.failed.c_str(),
                outcome.error->number, OneLine(outcome.error->description).c_str(),
                OneLine(outcome.error->source).c_str());
    if (!outcome.workbook.empty()) std::printf("  workbook: %s\n", OneLine(outcome.workbook).c_str());
  } else {
    std::printf(
        "%ld: %s\n  ErreurGenerale: %s\n  CauseErreur: %s\n  BravoNuance: %s\n  Complement: %zu line(s)\n",
        outcome.question, outcome.Passed() ? "passed" : "not passed", Bool(outcome.erreurGenerale),
        outcome.causeErreur.empty() ? "(empty)" : OneLine(outcome.causeErreur).c_str(),
        Bool(outcome.bravoNuance), outcome.complement.size());
    for (const auto& line : outcome.complement) std::printf("    %s\n", OneLine(line).c_str());
  }
  if (explain) std::printf("  %s\n", OneLine(cli::Explain(outcome)).c_str());
}

int Check(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  bool json = false;
  bool explain = false;
  char separator = '.';
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--explain") {
      explain = true;
    } else if (args[i] == "--decimal-separator") {
      if (i + 1 == args.size()) throw Usage{"--decimal-separator needs a value, \".\" or \",\""};
      const std::string& value = args[++i];
      if (value != "." && value != ",")
        throw Usage{"--decimal-separator must be \".\" or \",\", not '" + value + "'"};
      separator = value[0];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw Usage{"unknown option '" + OneLine(args[i]) + "'"};
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() < 2 || positional.size() > 3)
    throw Usage{"check takes QUESTION WORKBOOK [WORKBOOK2]"};
  const long question = ParseQuestion(positional[0]);
  const auto noms = cli::NomsLivres(question);
  if (noms.empty()) throw Usage{"question " + std::to_string(question) + " is not available in this build"};
  if (positional.size() - 1 != noms.size()) {
    throw Usage{"question " + std::to_string(question) + " takes " + std::to_string(noms.size()) +
                " workbook(s)"};
  }
  std::vector<fs::path> workbooks;
  for (std::size_t i = 1; i < positional.size(); ++i) {
    CheckReadable(positional[i]);
    workbooks.emplace_back(positional[i]);
  }

  const vb::ScopedLocale locale(vb::Locale{separator});
  const cli::Outcome outcome = cli::Grade(question, workbooks);
  if (json) {
    std::printf("%s\n", JsonLine(Json(outcome, explain)).c_str());
  } else {
    PrintText(outcome, explain);
  }
  if (!outcome.failed.empty()) return kExitCallFailed;
  return outcome.Passed() ? kExitPassed : kExitNotPassed;
}

// The workbooks of a sample entry: "file", or "files" for a question that
// delivers several.
std::vector<fs::path> SampleFiles(const fs::path& folder, const nlohmann::json& sample) {
  std::vector<fs::path> files;
  if (sample.contains("files")) {
    for (const auto& file : sample.at("files")) files.push_back(folder / file.get<std::string>());
  } else {
    files.push_back(folder / sample.at("file").get<std::string>());
  }
  return files;
}

std::string Shown(bool passed, const std::string& cause) {
  if (passed) return cause.empty() ? "passed" : "passed (" + cause + ")";
  return cause.empty() ? "not passed" : cause;
}

int Demo(const fs::path& samples) {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(samples)) {
    if (entry.is_directory() && fs::exists(entry.path() / "outcomes.json")) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  if (folders.empty()) throw Usage{"no samples in '" + samples.string() + "'"};

  bool allMatch = true;
  int rows = 0;
  std::printf("%-8s %-42s %-18s %-18s %s\n", "question", "sample", "outcome", "expected", "");
  for (const auto& folder : folders) {
    const fs::path manifestPath = folder / "outcomes.json";
    nlohmann::json manifest;
    long question = 0;
    try {
      std::ifstream in(manifestPath);
      manifest = nlohmann::json::parse(in);
      question = manifest.at("question").get<long>();
      (void)manifest.at("samples").size();
    } catch (const nlohmann::json::exception& error) {
      throw Usage{"'" + manifestPath.string() + "' is not a sample list: " + error.what()};
    }
    for (const auto& sample : manifest.at("samples")) {
      const auto files = SampleFiles(folder, sample);
      const bool expectedPassed = sample.at("passed").get<bool>();
      const auto expectedCause = sample.at("causeErreur").get<std::string>();
      const cli::Outcome outcome = cli::Grade(question, files);
      const std::string shown =
          outcome.failed.empty() ? Shown(outcome.Passed(), outcome.causeErreur)
                                 : outcome.failed + " failed (" + std::to_string(outcome.error->number) + ")";
      const bool match = outcome.failed.empty() && outcome.Passed() == expectedPassed &&
                         outcome.causeErreur == expectedCause;
      allMatch = allMatch && match;
      ++rows;
      std::string name = files.front().filename().string();
      for (std::size_t i = 1; i < files.size(); ++i) name += " + " + files[i].filename().string();
      std::printf("%-8ld %-42s %-18s %-18s %s\n", question, name.c_str(), shown.c_str(),
                  Shown(expectedPassed, expectedCause).c_str(), match ? "ok" : "MISMATCH");
    }
  }
  std::printf("%d sample(s): %s\n", rows, allMatch ? "all match" : "some do not match");
  return allMatch ? kExitPassed : kExitNotPassed;
}

// The page of cause codes: each question's task and codes, then the
// module's general codes for it. docs/causes.md is this output.
int Causes() {
  std::printf("# Cause codes\n\n");
  std::printf("Generated by `r58267 causes` from the catalog that `r58267 check --explain` uses.\n\n");
  std::printf(
      "A correction's outcome is `ErreurGenerale` and `CauseErreur`. When `ErreurGenerale` is False,\n");
  std::printf("`CauseErreur` is the exercise's own code (empty when passed; question 709 says \"D\" with\n");
  std::printf(
      "`BravoNuance` True on success). When it is True, the code is one of the module's general codes.\n");
  const auto table = [](const r58267::Fiche& fiche) {
    std::printf("| code | meaning |\n|---|---|\n");
    for (const auto& cause : fiche.causes)
      std::printf("| `%s` | %s |\n", cause.code.c_str(), cause.sens.c_str());
  };
  for (long question = 701; question <= 719; ++question) {
    const r58267::Fiche* fiche = r58267::FicheDeQuestion(question);
    if (fiche == nullptr) continue;
    std::printf("\n## Question %ld\n\n%s\n\nExercise codes (`ErreurGenerale` False):\n\n", question,
                fiche->tache.c_str());
    table(*fiche);
    std::printf("\nGeneral codes (`ErreurGenerale` True):\n\n");
    table(r58267::CodesGeneraux(static_cast<std::int32_t>(question)));
  }
  return kExitPassed;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw Usage{"missing command"};
  if (args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return kExitPassed;
  }
  if (args[0] == "--version") {
    std::cout << "r58267 " << R58267_VERSION << "\n";
    return kExitPassed;
  }
  if (args[0] == "check") return Check({args.begin() + 1, args.end()});
  if (args[0] == "causes") {
    if (args.size() != 1) throw Usage{"causes takes no argument"};
    return Causes();
  }
  if (args[0] == "demo") {
    fs::path samples = R58267_SAMPLES_DIR;
    if (args.size() == 3 && args[1] == "--samples") {
      samples = args[2];
    } else if (args.size() != 1) {
      throw Usage{"demo takes only --samples DIR"};
    }
    if (!fs::is_directory(samples)) throw Usage{"no samples folder '" + samples.string() + "'"};
    return Demo(samples);
  }
  throw Usage{"unknown command '" + OneLine(args[0]) + "'"};
}

// The status once everything is written: a write error on standard
// output (a full disk, a closed pipe) is an error, not a success.
int Finish(int status) {
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout) {
    std::cerr << "r58267: the output could not be written\n";
    return kExitOutputError;
  }
  return status;
}

int Main(int argc, char** argv) {
  cli::CleanUpOnSignals();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const Usage& usage) {
    std::cerr << "r58267: " << usage.message << " (see r58267 --help)\n";
    return kExitUsage;
  } catch (const cli::Refusal& refusal) {
    std::cerr << "r58267: " << OneLine(refusal.what()) << "\n";
    return kExitUsage;
  } catch (const std::exception& error) {
    std::cerr << "r58267: " << OneLine(error.what()) << "\n";
    return kExitCallFailed;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A closed standard output fails the writes instead of ending the process.
  std::signal(SIGPIPE, SIG_IGN);
  return Finish(Main(argc, argv));
}
