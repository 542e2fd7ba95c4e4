#include "cli/grader.h"

#include <unistd.h>

#include <atomic>
#include <functional>

#include "module/codes_generaux.h"
#include "module/module.h"
#include "questions/factory.h"
#include "sim/desktop.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

// A fresh folder, removed with everything in it when the object goes.
class Dossier {
 public:
  explicit Dossier(const std::string& role) {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("r58267-" + role + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~Dossier() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
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
  Outcome outcome;
  outcome.question = question;
  const Dossier travail("travail");
  const Dossier modeles("modeles");
  const auto noms = NomsLivres(question);
  for (std::size_t i = 0; i < workbooks.size() && i < noms.size(); ++i) {
    fs::copy_file(workbooks[i], travail.Path() / noms[i], fs::copy_options::overwrite_existing);
  }

  sim::DesktopOptions options;
  options.templatesPath = modeles.Text();
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
