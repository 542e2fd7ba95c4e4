#include "questions/question0701.h"

#include <memory>
#include <string>

#include "questions/pivot_table.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";

}  // namespace

const Fiche& Question0701::Causes() {
  static const Fiche fiche{
      701,
      "Build a pivot table on \"Ondine\" from A32:D77 of \"Trimestre 1\" with Villes in rows, Mois in "
      "columns "
      "and the sum of Résultats.",
      CausesTableauCroise()};
  return fiche;
}

Question0701::Question0701() : Question("Question0701", kClasseur) { Enregistre("05826701.xls", kClasseur); }

void Question0701::Teste() {
  std::shared_ptr<excel::PivotTable> tableau;
  const std::string cause = ControleTableauCroise(Excel(), kClasseur, tableau);
  if (!cause.empty()) Echec(cause);
}

}  // namespace r58267
