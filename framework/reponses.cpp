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

  const auto classeur = reponses.classeur.empty() ? actif : excel.Workbooks()->Item(reponses.classeur);
  classeur->Sheets()->Item(reponses.feuille)->Select();
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

  excel.Workbooks()->Item(classeurActif)->Sheets()->Item(feuilleActive)->Select();
  return etats;
}

void ProtegeReponses(excel::Application& excel, const FeuilleReponses& reponses) {
  Classeur(excel, reponses)->Sheets()->Item(reponses.feuille)->Protect();
}

}  // namespace r58267
