#include "questions/pivot_table.h"

#include "framework/question.h"

namespace r58267 {

namespace {

// A32:D77 of "Trimestre 1", as a French Excel ("L…C…") or an English one
// ("R…C…") reports it.
constexpr const char* kSourceFrancaise = "'Trimestre 1'!L32C1:L77C4";
constexpr const char* kSourceAnglaise = "'Trimestre 1'!R32C1:R77C4";

std::string ControleChamps(excel::Application& excel, std::shared_ptr<excel::PivotTable>& tableau) {
  tableau = excel.ActiveSheet()->PivotTables(1);
  // Both notations are asked for, each with its own read of SourceData.
  const bool francaise = vb::Equals(tableau->SourceData(), vb::Variant(kSourceFrancaise));
  const bool anglaise = vb::Equals(tableau->SourceData(), vb::Variant(kSourceAnglaise));
  if (!francaise && !anglaise) return "C";                     // C: another source range
  if (tableau->RowFields(1)->Name() != "Villes") return "D";   // D: "Villes" is not row field 1
  if (tableau->ColumnFields(1)->Name() != "Mois") return "E";  // E: "Mois" is not column field 1
  const auto donnees = tableau->DataFields(1);
  if (donnees->Function() != excel::xlSum) return "F";   // F: data field 1 is not a sum
  if (donnees->SourceName() != "Résultats") return "G";  // G: data field 1 is not "Résultats"
  return {};
}

}  // namespace

std::string ControleTableauCroise(excel::Application& excel, const std::string& classeur,
                                  std::shared_ptr<excel::PivotTable>& tableau) {
  ActiveFeuille(*excel.Workbooks()->Item(classeur), "Ondine");
  try {
    return ControleChamps(excel, tableau);
  } catch (const vb::Error&) {
    // B: no pivot table, or one that lacks a row, column or data field.
    tableau.reset();
    return "B";
  }
}

std::vector<Cause> CausesTableauCroise() {
  return {
      {"B", "The sheet Ondine has no pivot table, or its pivot table lacks a row, column or data field."},
      {"C", "The pivot table is not built on A32:D77 of the sheet Trimestre 1."},
      {"D", "The first row field of the pivot table is not Villes."},
      {"E", "The first column field of the pivot table is not Mois."},
      {"F", "The first data field of the pivot table is not a sum."},
      {"G", "The first data field of the pivot table does not summarise Résultats."},
  };
}

}  // namespace r58267
