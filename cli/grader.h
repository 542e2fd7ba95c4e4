// Plays the host program once: a fresh working folder, the workbooks
// copied there under the names the question delivers, then InitQuestion,
// TestePoint, the outcome's reads, Fermer and Quitter on a Module running
// over the embedded stand-in.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/vb.h"

namespace cli {

// The run cannot go on in this environment (a temporary folder the module
// would misread, or none); the message says why.
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// From now on SIGINT, SIGTERM and SIGHUP remove the working folders before
// they end the process. Call once, before any other thread starts.
void CleanUpOnSignals();
// Also runs cleanUp (outside any signal handler) when such a signal comes.
void AlsoOnSignal(void (*cleanUp)() noexcept);

// A workbook to grade: the user's file and, for a real workbook (.xls,
// .xlsx, .ods), the document imported from it, which is what the module
// then opens under the delivered name.
struct Workbook {
  std::filesystem::path file;
  std::optional<std::string> document;
};

struct Outcome {
  long question = 0;
  // The call that failed, and its error; empty when every call succeeded.
  std::string failed;
  std::optional<vb::Error> error;
  // The workbook given by the user that the error is about, when it is
  // about one of them, as an absolute path: the module names them by the
  // names they are worked on under ("Thor International.xls"), which the
  // user never sees.
  std::string workbook;
  bool erreurGenerale = false;
  std::string causeErreur;
  bool bravoNuance = false;
  std::vector<std::string> complement;

  // No general error and no cause, or for question 709 the cause "D" with
  // BravoNuance, which is how that exercise says it was passed.
  [[nodiscard]] bool Passed() const;
};

// The names under which the question's files are delivered, in order;
// empty when the question does not exist in this build.
std::vector<std::string> NomsLivres(long question);

Outcome Grade(long question, const std::vector<std::filesystem::path>& workbooks);
Outcome Grade(long question, const std::vector<Workbook>& workbooks);

// One English sentence for the outcome's code; empty when there is none.
std::string Explain(const Outcome& outcome);

}  // namespace cli
