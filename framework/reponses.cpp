#include "framework/reponses.h"

namespace r58267 {

namespace {

std::shared_ptr<excel::Workbook> Classeur(excel::Application& excel, const FeuilleReponses& reponses) {
  return reponses.classeur.empty() ? excel.ActiveWorkbook() : excel.Workbooks()->Item(reponses.classeur);
}

}  // namespace

std::vector<long> LitReponses(excel::Application& excel, const FeuilleReponses& reponses) {
  const auto actif = excel.ActiveWorkbook();
  const std::string classeurActif = actif->Name();
  const std::string feuilleActive = actif->ActiveSheet()->Name();

  // Excel selects a sheet, or a shape on it, only in the active workbook: a
  // workbook named in the class is activated before its sheet is selected,
  // and the remembered workbook is activated again before its sheet is.
  const bool classeurNomme = !reponses.classeur.empty();
  const auto classeur = classeurNomme ? excel.Workbooks()->Item(reponses.classeur) : actif;
  const auto feuille = classeur->Sheets()->Item(reponses.feuille);
  if (classeurNomme) classeur->Activate();
  feuille->Select();
  classeur->Worksheets()->Item(reponses.feuille)->Unprotect(std::nullopt);

  std::vector<long> etats;
  for (int k = 1; k <= reponses.nombre; ++k) {
    classeur->Sheets()
        ->Item(reponses.feuille)
        ->Shapes()
        ->Item(reponses.prefixe + std::to_string(k))
        ->Select();
    etats.push_back(vb::CLng(excel.Selection()->Value()));
  }

  const auto retour = excel.Workbooks()->Item(classeurActif);
  const auto feuilleRetour = retour->Sheets()->Item(feuilleActive);
  if (classeurNomme) retour->Activate();
  feuilleRetour->Select();
  return etats;
}

void ProtegeReponses(excel::Application& excel, const FeuilleReponses& reponses) {
  Classeur(excel, reponses)->Sheets()->Item(reponses.feuille)->Protect();
}

}  // namespace r58267
