#include "questions/question0702.h"

#include <memory>
#include <string>

#include "questions/pivot_table.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";

}  // namespace

const Fiche& Question0702::Causes() {
  static const Fiche fiche{
      702, "Add the maximum of Résultats as a second data field to the pivot table on \"Ondine\".", [] {
        auto causes = CausesTableauCroise();
        causes.push_back({"H", "The pivot table has no second data field."});
        causes.push_back({"I", "The second data field of the pivot table is not a maximum."});
        causes.push_back({"J", "The second data field of the pivot table does not summarise Résultats."});
        return causes;
      }()};
  return fiche;
}

Question0702::Question0702() : Question("Question0702", kClasseur) { Enregistre("05826702.xls", kClasseur); }

void Question0702::Teste() {
  std::shared_ptr<excel::PivotTable> tableau;
  const std::string cause = ControleTableauCroise(Excel(), kClasseur, tableau);
  if (!cause.empty()) return Echec(cause);

  try {
    const auto maximum = tableau->DataFields(2);
    if (maximum->Function() != excel::xlMax) return Echec("I");   // I: data field 2 is not a maximum
    if (maximum->SourceName() != "Résultats") return Echec("J");  // J: data field 2 is not "Résultats"
  } catch (const vb::Error&) {
    Echec("H");  // H: no second data field
  }
}

}  // namespace r58267
