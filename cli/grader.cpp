#include "cli/grader.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "module/codes_generaux.h"
#include "module/module.h"
#include "questions/factory.h"
#include "sim/desktop.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

// The folders alive now, removed by the signal watcher when the run is
// interrupted.
std::mutex gFoldersMutex;
std::set<fs::path> gFolders;
// What else the signal watcher cleans up (LibreOffice processes).
std::vector<void (*)() noexcept> gCleanUps;

// The system's temporary folder, refused when the module could misread it:
// the module takes a backslash for a folder separator, as on Windows.
fs::path TemporaryFolder() {
  std::error_code error;
  fs::path folder = fs::temp_directory_path(error);
  if (error) throw Refusal("no temporary folder: " + error.message() + " (check TMPDIR)");
  if (folder.string().find('\\') != std::string::npos) {
    throw Refusal("the temporary folder '" + folder.string() + "' holds a backslash, which the module " +
                  "takes for a folder separator: set TMPDIR to another folder");
  }
  return folder;
}

// A folder of our own: made fresh with a unique name and mode 0700
// (mkdtemp), removed with everything in it when the object goes. Nothing
// that existed before is ever removed, and no other user can place files
// or links in it.
class Dossier {
 public:
  explicit Dossier(const std::string& role) {
    std::string pattern = (TemporaryFolder() / ("r58267-" + role + "-XXXXXX")).string();
    // Made and registered under the lock, so that the signal watcher never
    // misses a folder that exists.
    const std::lock_guard lock(gFoldersMutex);
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw Refusal("cannot create a working folder in '" + TemporaryFolder().string() +
                    "': " + std::generic_category().message(errno));
    }
    path_ = pattern;
    gFolders.insert(path_);
  }
  ~Dossier() {
    const std::lock_guard lock(gFoldersMutex);
    std::error_code ignored;
    fs::remove_all(path_, ignored);  // removes links themselves, never what they point to
    gFolders.erase(path_);
  }
  Dossier(const Dossier&) = delete;
  Dossier& operator=(const Dossier&) = delete;
  [[nodiscard]] const fs::path& Path() const { return path_; }
  [[nodiscard]] std::string Text() const { return path_.string() + "/"; }

 private:
  fs::path path_;
};

// Runs one call of the host; on an error records which call failed.
bool Appelle(Outcome& outcome, const char* member, const std::function<void()>& call) {
  try {
    call();
    return true;
  } catch (const vb::Error& error) {
    outcome.failed = member;
    outcome.error = error;
    return false;
  }
}

}  // namespace

void CleanUpOnSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  // Blocked here and in every thread started later; only the watcher takes
  // them, outside any signal handler, so it may remove the folders.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) return;
    // The lock is kept until the process ends: no folder is made after
    // these are removed.
    const std::lock_guard lock(gFoldersMutex);
    // Folders are made under the same lock (the stand-in's template folder
    // too): none can be made again once these are removed.
    std::error_code ignored;
    for (const auto& folder : gFolders) fs::remove_all(folder, ignored);
    for (const auto cleanUp : gCleanUps) cleanUp();
    // End as the signal would have ended the process.
    std::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    std::raise(signal);
  }).detach();
}

void AlsoOnSignal(void (*cleanUp)() noexcept) {
  const std::lock_guard lock(gFoldersMutex);
  gCleanUps.push_back(cleanUp);
}

bool Outcome::Passed() const {
  if (!failed.empty() || erreurGenerale) return false;
  if (question == 709) return causeErreur == "D" && bravoNuance;
  return causeErreur.empty();
}

std::vector<std::string> NomsLivres(long question) {
  std::vector<std::string> noms;
  const auto exercice = r58267::CreeQuestion(question);
  if (!exercice) return noms;
  const auto fichiers = exercice->FichiersDeTravail();
  for (std::int32_t i = 1; i <= fichiers->count(); ++i) noms.push_back(fichiers->Item(i).NomSource);
  return noms;
}

Outcome Grade(long question, const std::vector<fs::path>& workbooks) {
  std::vector<Workbook> files;
  files.reserve(workbooks.size());
  for (const auto& path : workbooks) files.push_back({path, std::nullopt});
  return Grade(question, files);
}

Outcome Grade(long question, const std::vector<Workbook>& workbooks) {
  Outcome outcome;
  outcome.question = question;
  const Dossier travail("travail");
  const Dossier modeles("modeles");
  const auto noms = NomsLivres(question);
  for (std::size_t i = 0; i < workbooks.size() && i < noms.size(); ++i) {
    const fs::path destination = travail.Path() / noms[i];
    if (workbooks[i].document) {
      std::ofstream out(destination, std::ios::binary);
      out << *workbooks[i].document;
      if (!out.flush()) throw Refusal("cannot write in the working folder '" + travail.Path().string() + "'");
    } else {
      fs::copy_file(workbooks[i].file, destination, fs::copy_options::overwrite_existing);
    }
  }

  sim::DesktopOptions options;
  options.templatesPath = modeles.Text();
  options.folderLock = &gFoldersMutex;
  auto desktop = std::make_shared<sim::Desktop>(options);
  r58267::Module module(desktop);
  std::shared_ptr<excel::Application> application;
  api::Hwnd handle = 0;

  const bool prepared = Appelle(outcome, "InitQuestion", [&] {
    module.InitQuestion(static_cast<std::int32_t>(question), travail.Text(), application, handle);
  });
  if (prepared && Appelle(outcome, "TestePoint", [&] { module.TestePoint(); })) {
    Appelle(outcome, "ErreurGenerale", [&] { outcome.erreurGenerale = module.ErreurGenerale(); }) &&
        Appelle(outcome, "CauseErreur", [&] { outcome.causeErreur = module.CauseErreur(); }) &&
        Appelle(outcome, "BravoNuance", [&] { outcome.bravoNuance = module.BravoNuance(); }) &&
        Appelle(outcome, "Complement", [&] {
          const auto lignes = module.Complement();
          for (std::int32_t i = 1; lignes && i <= lignes->count(); ++i)
            outcome.complement.push_back(lignes->item(i));
        });
  }
  // Close whatever happened, keeping the first failure.
  Outcome fin;
  if (Appelle(fin, "Fermer", [&] { module.Fermer(); })) {
    Appelle(fin, "Quitter", [&] { module.Quitter(application, handle); });
  }
  if (outcome.failed.empty() && !fin.failed.empty()) {
    outcome.failed = fin.failed;
    outcome.error = fin.error;
  }
  if (outcome.error) {
    const auto exercice = r58267::CreeQuestion(question);
    const auto fichiers = exercice->FichiersDeTravail();
    for (std::int32_t i = 1; i <= fichiers->count() && static_cast<std::size_t>(i) <= workbooks.size(); ++i) {
      if (outcome.error->description.rfind(fichiers->Item(i).NomDest + ": ", 0) == 0) {
        std::error_code ignored;
        outcome.workbook =
            fs::weakly_canonical(workbooks[static_cast<std::size_t>(i - 1)].file, ignored).string();
      }
    }
  }
  return outcome;
}

std::string Explain(const Outcome& outcome) {
  if (!outcome.failed.empty()) return "The call " + outcome.failed + " failed: " + outcome.error->description;
  if (outcome.Passed()) {
    return outcome.question == 709 ? "The exercise is passed (cause D with BravoNuance marks its success)."
                                   : "The exercise is passed.";
  }
  if (outcome.erreurGenerale) {
    return r58267::SensDe(r58267::CodesGeneraux(static_cast<std::int32_t>(outcome.question)),
                          outcome.causeErreur);
  }
  const r58267::Fiche* fiche = r58267::FicheDeQuestion(outcome.question);
  return fiche == nullptr ? std::string() : r58267::SensDe(*fiche, outcome.causeErreur);
}

}  // namespace cli
