// r58267: the command-line host. It plays the host program on the embedded
// stand-in: `check` grades a workbook, `batch` many learners' workbooks,
// `import` prints the document a real workbook gives, `demo` grades every
// sample.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/grader.h"
#include "cli/office_session.h"
#include "cli/output.h"
#include "cli/report.h"
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
// Real workbooks are bigger than documents for the same content.
constexpr std::uintmax_t kMaxRealWorkbookBytes = 64U << 20;

constexpr const char* kUsage =
    "usage: r58267 check QUESTION WORKBOOK [WORKBOOK2] [--json] [--decimal-separator SEP] [--explain]\n"
    "                    [--via-libreoffice]\n"
    "       r58267 batch QUESTION WORKBOOK... [--json] [--decimal-separator SEP] [--jobs N]\n"
    "                    [--report FILE.html] [--via-libreoffice]\n"
    "       r58267 import WORKBOOK [--password PASSWORD]... [--via-libreoffice]\n"
    "       r58267 demo [--samples DIR]\n"
    "       r58267 causes\n"
    "       r58267 --help | --version\n"
    "\n"
    "check  grades a workbook for question QUESTION (701 to 719) as the host program\n"
    "       does: InitQuestion, TestePoint, the outcome, Fermer and Quitter. A workbook\n"
    "       is a workbook document (JSON) or a real .xls, .xlsx or .ods file, told\n"
    "       apart by content. An .xlsx is read straight from the file; .xls and .ods\n"
    "       files (and an .xlsx whose formulas Excel computes anew on opening, such\n"
    "       as TODAY or RAND) through LibreOffice.\n"
    "       --via-libreoffice      every real file through LibreOffice, .xlsx too\n"
    "       --json                 one JSON object on one line\n"
    "       --decimal-separator S  the regional decimal separator, \".\" (default) or \",\"\n"
    "       --explain              one sentence saying what the outcome's code means\n"
    "batch  grades each learner's workbook (for a question that delivers two, each\n"
    "       learner's two in turn): one CSV row per learner\n"
    "       (file,passed,cause,explanation,error), or with --json one JSON line, then a\n"
    "       summary of the causes on standard error; a progress bar on a terminal.\n"
    "       --jobs N               N learners graded at once, each worker with its own\n"
    "                              LibreOffice when it needs one (default: the number\n"
    "                              of processors)\n"
    "       --report FILE.html     also a page for the trainer: counts, a chart of the\n"
    "                              causes and one row per learner (self-contained)\n"
    "import prints the workbook document that a real workbook gives; --password\n"
    "       names a password to try on protected sheets.\n"
    "demo   grades every sample workbook and compares with its expected outcome.\n"
    "causes prints the page of cause codes (Markdown) for the host's message writers.\n"
    "\n"
    "exit status: 0 passed, 1 not passed, 2 a call failed or a workbook could not be read,\n"
    "             64 bad usage or environment (LibreOffice missing), 74 the output could\n"
    "             not be written. batch: 0 every workbook graded, 2 some could not be.\n";

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
  std::ifstream in(path);
  if (!in) throw Usage{shown + "permission denied or unreadable"};
  const bool real = cli::KindOf(path) != office::FileKind::kDocument;
  const std::uintmax_t most = real ? kMaxRealWorkbookBytes : sim::kMaxDocumentBytes;
  if (fs::file_size(path, error) > most) {
    throw Usage{shown + "larger than " + std::to_string(most >> 20) + " MB, the most " +
                (real ? "a real workbook" : "a workbook document") + " may be"};
  }
}

// A real workbook's failure to import, reported as a failed call would
// be: error 1004 (what Excel's Workbooks.Open raises for a file it cannot
// read), naming the user's file.
cli::Outcome ImportFailure(long question, const fs::path& file, const std::string& message) {
  cli::Outcome outcome;
  outcome.question = question;
  outcome.failed = "import";
  outcome.error = vb::Error{1004, message, "r58267"};
  std::error_code ignored;
  outcome.workbook = fs::weakly_canonical(file, ignored).string();
  return outcome;
}

// Grades one learner's workbooks; a real workbook that cannot be read
// gives the failure of the "import" step.
cli::Outcome GradeFiles(long question, const std::vector<fs::path>& files, cli::OfficeSession& session) {
  std::vector<cli::Workbook> workbooks;
  for (const auto& file : files) {
    try {
      workbooks.push_back(session.Prepare(file));
    } catch (const office::ImportError& error) {
      return ImportFailure(question, file, error.what());
    }
  }
  return cli::Grade(question, workbooks);
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

// The value of --decimal-separator, args[i].
char DecimalSeparator(const std::vector<std::string>& args, std::size_t i) {
  if (i == args.size()) throw Usage{"--decimal-separator needs a value, \".\" or \",\""};
  const std::string& value = args[i];
  if (value != "." && value != ",") {
    throw Usage{"--decimal-separator must be \".\" or \",\", not '" + OneLine(value) + "'"};
  }
  return value[0];
}

int Check(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  bool json = false;
  bool explain = false;
  bool viaLibreOffice = false;
  char separator = '.';
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--explain") {
      explain = true;
    } else if (args[i] == "--via-libreoffice") {
      viaLibreOffice = true;
    } else if (args[i] == "--decimal-separator") {
      separator = DecimalSeparator(args, ++i);
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
  cli::OfficeSession session(viaLibreOffice);
  const cli::Outcome outcome = GradeFiles(question, workbooks, session);
  if (json) {
    std::printf("%s\n", JsonLine(Json(outcome, explain)).c_str());
  } else {
    PrintText(outcome, explain);
  }
  if (!outcome.failed.empty()) return kExitCallFailed;
  return outcome.Passed() ? kExitPassed : kExitNotPassed;
}

// RFC 4180: a field with a comma, a quote or a line break is quoted.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

// The bar on standard error while a batch runs, when that is a terminal.
class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), shown_(::isatty(STDERR_FILENO) == 1) {}
  void Show(std::size_t done, const std::string& file) const {
    if (!shown_) return;
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total_ == 0 ? kWidth : done * kWidth / total_;
    std::string name = OneLine(fs::path(file).filename().string());
    if (name.size() > 40) name = name.substr(0, 37) + "...";
    std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), done, total_, name.c_str());
    std::fflush(stderr);
  }
  void Clear() const {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  std::size_t total_;
  bool shown_;
};

// --jobs N: 1 to 64.
std::size_t ParseJobs(const std::vector<std::string>& args, std::size_t at) {
  if (at >= args.size()) throw Usage{"--jobs needs a number"};
  std::size_t jobs = 0;
  const std::string& text = args[at];
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > 64)
    throw Usage{"--jobs takes a number from 1 to 64, not '" + OneLine(text) + "'"};
  return jobs;
}

// Grades the learners of a batch on worker threads, each with a
// LibreOffice of its own (the grading itself shares nothing but the
// run's regional settings, set before the workers start). The outcome
// of learner i is waited for by Outcome(i).
class BatchWorkers {
 public:
  BatchWorkers(long question, const std::vector<std::vector<fs::path>>& learners, std::size_t count,
               bool viaLibreOffice)
      : question_(question),
        learners_(learners),
        viaLibreOffice_(viaLibreOffice),
        outcomes_(learners.size()) {
    for (std::size_t k = 0; k < count; ++k) threads_.emplace_back([this] { Work(); });
  }
  BatchWorkers(const BatchWorkers&) = delete;
  BatchWorkers& operator=(const BatchWorkers&) = delete;
  ~BatchWorkers() {
    {
      const std::lock_guard lock(mutex_);
      next_ = learners_.size();  // nothing more is started
    }
    for (std::thread& thread : threads_) thread.join();
  }

  // Refusal, as the sequential run gives it, when a worker met one (no
  // LibreOffice, no temporary folder): the batch stops.
  cli::Outcome Outcome(std::size_t index) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return outcomes_[index].has_value() || refusal_.has_value(); });
    if (!outcomes_[index]) throw cli::Refusal(*refusal_);
    return *outcomes_[index];
  }

 private:
  void Work() {
    cli::OfficeSession session(viaLibreOffice_);
    for (;;) {
      std::size_t index = 0;
      {
        const std::lock_guard lock(mutex_);
        if (next_ == learners_.size()) return;
        index = next_++;
      }
      try {
        cli::Outcome outcome = Grade(learners_[index], session);
        const std::lock_guard lock(mutex_);
        outcomes_[index] = std::move(outcome);
      } catch (const cli::Refusal& refusal) {
        const std::lock_guard lock(mutex_);
        if (!refusal_) refusal_ = refusal.what();
        next_ = learners_.size();
      }
      done_.notify_all();
    }
  }

  cli::Outcome Grade(const std::vector<fs::path>& learner, cli::OfficeSession& session) const {
    try {
      for (const auto& file : learner) CheckReadable(file.string());
      return GradeFiles(question_, learner, session);
    } catch (const Usage& usage) {  // this file only: the batch goes on
      return ImportFailure(question_, learner.front(), usage.message);
    } catch (const cli::Refusal&) {
      throw;  // the whole batch stops
    } catch (const std::exception& error) {
      return ImportFailure(question_, learner.front(), error.what());
    }
  }

  long question_;
  const std::vector<std::vector<fs::path>>& learners_;
  bool viaLibreOffice_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<std::optional<cli::Outcome>> outcomes_;
  std::optional<std::string> refusal_;
  std::size_t next_ = 0;
  std::vector<std::thread> threads_;
};

// Now, as "YYYY-MM-DD HH:MM" in local time.
std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

int Batch(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  bool json = false;
  char separator = '.';
  std::optional<fs::path> report;
  bool viaLibreOffice = false;
  std::size_t jobs = std::max(1U, std::thread::hardware_concurrency());
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--via-libreoffice") {
      viaLibreOffice = true;
    } else if (args[i] == "--decimal-separator") {
      separator = DecimalSeparator(args, ++i);
    } else if (args[i] == "--report") {
      if (i + 1 == args.size()) throw Usage{"--report needs a FILE.html"};
      report = args[++i];
    } else if (args[i] == "--jobs") {
      jobs = ParseJobs(args, ++i);
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw Usage{"unknown option '" + OneLine(args[i]) + "'"};
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() < 2) throw Usage{"batch takes QUESTION WORKBOOK..."};
  const long question = ParseQuestion(positional[0]);
  const auto noms = cli::NomsLivres(question);
  if (noms.empty()) throw Usage{"question " + std::to_string(question) + " is not available in this build"};
  const std::vector<std::string> files(positional.begin() + 1, positional.end());
  if (files.size() % noms.size() != 0) {
    throw Usage{"question " + std::to_string(question) + " takes " + std::to_string(noms.size()) +
                " workbooks per learner: give them in turn"};
  }

  const vb::ScopedLocale locale(vb::Locale{separator});
  std::vector<std::vector<fs::path>> learners;
  for (std::size_t first = 0; first < files.size(); first += noms.size()) {
    learners.emplace_back(files.begin() + static_cast<std::ptrdiff_t>(first),
                          files.begin() + static_cast<std::ptrdiff_t>(first + noms.size()));
  }
  // Learners are graded by `jobs` workers, each with its own LibreOffice;
  // their rows are written in the learners' order as they come.
  BatchWorkers workers(question, learners, std::min(jobs, learners.size()), viaLibreOffice);
  const Progress progress(files.size());
  std::map<std::string, int> causes;
  std::size_t passed = 0;
  std::size_t ungraded = 0;
  std::vector<cli::BatchRow> rows;
  if (!json) std::printf("file,passed,cause,explanation,error\n");
  for (std::size_t index = 0; index < learners.size(); ++index) {
    const std::vector<fs::path>& learner = learners[index];
    std::string shown = learner.front().string();
    for (std::size_t k = 1; k < learner.size(); ++k) shown += "+" + learner[k].string();
    progress.Show(index * noms.size(), shown);
    const cli::Outcome outcome = workers.Outcome(index);
    const bool graded = outcome.failed.empty();
    const std::string error =
        graded ? ""
               : outcome.failed + " failed: " + outcome.error->description +
                     (outcome.workbook.empty() || outcome.failed == "import" ? ""
                                                                             : " (" + outcome.workbook + ")");
    const std::string explanation = graded ? cli::Explain(outcome) : "";
    if (graded) {
      ++causes[outcome.Passed()              ? "(passed)"
               : outcome.causeErreur.empty() ? "(general error)"
                                             : outcome.causeErreur];
      passed += outcome.Passed() ? 1 : 0;
    } else {
      ++ungraded;
    }
    rows.push_back({shown, graded ? std::optional<bool>(outcome.Passed()) : std::nullopt,
                    graded ? outcome.causeErreur : "", explanation, error});
    if (json) {
      nlohmann::ordered_json line;
      line["file"] = shown;
      line["passed"] = graded ? nlohmann::ordered_json(outcome.Passed()) : nullptr;
      line["cause"] = graded ? nlohmann::ordered_json(outcome.causeErreur) : nullptr;
      line["explanation"] = graded ? nlohmann::ordered_json(explanation) : nullptr;
      line["error"] = graded ? nullptr : nlohmann::ordered_json(error);
      std::printf("%s\n", JsonLine(line).c_str());
    } else {
      std::printf("%s,%s,%s,%s,%s\n", CsvField(OneLine(shown)).c_str(),
                  graded ? (outcome.Passed() ? "true" : "false") : "",
                  CsvField(OneLine(outcome.causeErreur)).c_str(), CsvField(OneLine(explanation)).c_str(),
                  CsvField(OneLine(error)).c_str());
    }
    std::fflush(stdout);
  }
  progress.Clear();
  std::fprintf(stderr, "%zu learner(s): %zu passed, %zu not passed, %zu could not be graded\n",
               learners.size(), passed, learners.size() - passed - ungraded, ungraded);
  for (const auto& [cause, count] : causes)
    std::fprintf(stderr, "  %-16s %d\n", OneLine(cause).c_str(), count);
  if (report) {
    std::ofstream out(*report, std::ios::binary | std::ios::trunc);
    out << cli::BatchReport(question, rows, LocalTimeText());
    out.close();
    if (!out) {
      std::fprintf(stderr, "r58267: the report '%s' could not be written\n",
                   OneLine(report->string()).c_str());
      return kExitOutputError;
    }
  }
  return ungraded == 0 ? kExitPassed : kExitCallFailed;
}

int Import(const std::vector<std::string>& args) {
  office::ImportOptions options;
  bool viaLibreOffice = false;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password") {
      if (i + 1 == args.size()) throw Usage{"--password needs a value"};
      options.passwords.push_back(args[++i]);
    } else if (args[i] == "--via-libreoffice") {
      viaLibreOffice = true;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw Usage{"unknown option '" + OneLine(args[i]) + "'"};
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 1) throw Usage{"import takes one WORKBOOK"};
  CheckReadable(positional[0]);
  if (cli::KindOf(positional[0]) == office::FileKind::kDocument) {
    throw Usage{"'" + OneLine(positional[0]) + "' is not an .xls, .xlsx or .ods workbook"};
  }
  cli::OfficeSession session(viaLibreOffice);
  try {
    std::printf("%s\n", session.Import(positional[0], options).dump(1).c_str());
  } catch (const office::ImportError& error) {
    std::fprintf(stderr, "r58267: %s\n", OneLine(error.what()).c_str());
    return kExitCallFailed;
  }
  return kExitPassed;
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
  if (args[0] == "batch") return Batch({args.begin() + 1, args.end()});
  if (args[0] == "import") return Import({args.begin() + 1, args.end()});
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
