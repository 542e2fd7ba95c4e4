// Working folder and files: clearing what an earlier attempt left, giving
// the delivered files their working names, and Excel's current folder.
#include "framework/remonte_erreur.h"
#include "module/module.h"

namespace r58267 {

namespace {

constexpr const char* kClasse = "Module";

// A folder text without its final separators, as DIRECTORY takes it; a
// drive root keeps its separator.
std::string SansSeparateurFinal(std::string dossier) {
  while (dossier.size() > 1 && (dossier.back() == '\\' || dossier.back() == '/') &&
         !(dossier.size() == 3 && dossier[1] == ':')) {
    dossier.pop_back();
  }
  return dossier;
}

// A text as a literal of an Excel 4 macro formula: quotes doubled.
std::string Litteral(const std::string& texte) { return "\"" + vb::Replace(texte, "\"", "\"\"") + "\""; }

}  // namespace

void Module::Nettoyage() {
  try {
    const auto fichiers = QuestionEnCours().FichiersDeTravail();
    const std::int32_t n = fichiers->count();
    for (std::int32_t i = 1; i <= n; ++i) {
      const Fichier fichier = fichiers->Item(i);
      const std::string nom = vb::LCase(fichier.NomDest);
      // Close the last open workbook of that name, unsaved.
      const auto classeurs = Excel().Workbooks();
      for (long j = classeurs->Count(); j >= 1; --j) {
        const auto classeur = classeurs->Item(j);
        if (vb::LCase(classeur->Name()) == nom) {
          classeur->Close(false);
          break;
        }
      }
      const std::string chemin = (fichier.Modele ? msPathModele : msPathDossier) + fichier.NomDest;
      try {
        mPlatform->SetAttributesNormal(chemin);
        mPlatform->RemoveFile(chemin);
      } catch (...) {  // NOLINT(bugprone-empty-catch): a file that is not there or in use stays
      }
    }
  } catch (...) {
    RemonteErreur(kClasse, "Nettoyage", ErreurEnCours());
  }
}

void Module::Renomme() {
  try {
    const auto fichiers = QuestionEnCours().FichiersDeTravail();
    const std::int32_t n = fichiers->count();
    for (std::int32_t i = 1; i <= n; ++i) {
      const Fichier fichier = fichiers->Item(i);
      if (fichier.NomSource.empty()) continue;
      const std::string& dossier = fichier.Modele ? msPathModele : msPathDossier;
      mPlatform->SetAttributesNormal(dossier + fichier.NomSource);
      mPlatform->RenameFile(dossier + fichier.NomSource, dossier + fichier.NomDest);
    }
  } catch (...) {
    RemonteErreur(kClasse, "Renomme", ErreurEnCours());
  }
}

// Excel's current folder is set and read through the Application with the
// Excel 4 macro function DIRECTORY, which needs no macro workbook.
void Module::ChangeDir(const std::string& dossier) {
  try {
    const vb::Variant resultat =
        Excel().ExecuteExcel4Macro("DIRECTORY(" + Litteral(SansSeparateurFinal(dossier)) + ")");
    if (vb::IsError(resultat)) {
      vb::Raise(vb::kPathNotFound, "Path not found: '" + dossier + "'", std::string(vb::kRuntimeSource));
    }
  } catch (...) {
    RemonteErreur(kClasse, "ChangeDir", ErreurEnCours());
  }
}

std::string Module::GetDir() {
  try {
    return vb::CStr(Excel().ExecuteExcel4Macro("DIRECTORY()"));
  } catch (...) {
    RemonteErreur(kClasse, "GetDir", ErreurEnCours());
  }
}

}  // namespace r58267
