#include "framework/question.h"

#include <utility>

#include "framework/remonte_erreur.h"

namespace r58267 {

namespace {

// Errors that end a check with "AA" instead of reaching the host.
bool EstErreurDeCalcul(long number) {
  return number == vb::kTypeMismatch || number == vb::kInvalidCall || number == vb::kOverflow;
}

}  // namespace

Question::Question(std::string classe, std::string classeur)
    : msClasse(std::move(classe)), msClasseur(std::move(classeur)) {}

std::shared_ptr<FichiersDeTravail> Question::FichiersDeTravail() {
  if (!mFichiersDeTravail) mFichiersDeTravail = std::make_shared<r58267::FichiersDeTravail>();
  return mFichiersDeTravail;
}

void Question::Enregistre(const std::string& siNomSource, const std::string& siNomDest) {
  FichiersDeTravail()->add(siNomSource, siNomDest, false);
}

void Question::Prepare(std::shared_ptr<excel::Application>& iApplication, const std::string& isPathDossier,
                       const std::optional<std::string>& isPathModele) {
  try {
    msPathDossier = isPathDossier;
    msPathModele = isPathModele.value_or(std::string());
    InitPathDossierParDefaut();
    moApplication = iApplication;
    OuvreClasseurs();
  } catch (...) {
    RemonteErreur(msClasse, "Prepare", ErreurEnCours());
  }
}

void Question::OuvreClasseurs() { OuvreClasseur(msClasseur); }

void Question::OuvreClasseur(const std::string& nom) {
  Excel().Workbooks()->Open(msPathDossier + nom);
  Excel().Workbooks()->Item(nom)->Activate();
}

void Question::TestePoint() {
  try {
    mComplementInfo = std::make_shared<r58267::ComplementInfo>();
    Teste();
  } catch (...) {
    const vb::Error error = ErreurEnCours();
    if (!EstErreurDeCalcul(error.number)) RemonteErreur(msClasse, "TestePoint", error);
    msCauseErreur = "AA";
  }
}

void Question::Fermer() {
  moApplication.reset();
  mFichiersDeTravail.reset();
  mComplementInfo.reset();
}

// Out of line: inlined into every check, this assignment trips GCC 12's
// false -Wrestrict warning (GCC bug 105651) at -O2 and above.
void Question::Echec(std::string_view cause) { msCauseErreur = cause; }

bool Question::Etape(std::string_view cause, const std::function<bool()>& test) {
  bool passed = false;
  try {
    passed = test();
  } catch (const vb::Error&) {
    passed = false;
  }
  if (!passed) Echec(cause);
  return passed;
}

excel::Application& Question::Excel() const {
  if (!moApplication) vb::Raise(vb::kObjectNotSet);
  return *moApplication;
}

std::shared_ptr<excel::Worksheet> ActiveFeuille(excel::Workbook& classeur, const vb::Variant& feuille) {
  auto sheet = classeur.Sheets()->Item(feuille);
  classeur.Activate();
  sheet->Activate();
  return sheet;
}

std::string NormaliseFormule(std::string_view formule) {
  return vb::Replace(vb::Replace(vb::Replace(formule, "+", ""), "$", ""), ",", ";");
}

}  // namespace r58267
