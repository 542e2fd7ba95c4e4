#include "questions/question0718.h"

#include <string>

namespace r58267 {

namespace {

constexpr const char* kFeuille = "emprunt";
constexpr const char* kNom = "Nouvelle proposition de ma banque";
constexpr double kValeurCellule = 0.1;
constexpr const char* kCommentaire = "Créé par Editions ORVA le 27/01/2004";
constexpr long kMinimum = 4;
constexpr long kNombre = 5;
// The scenario whose comment and value are checked, by position.
constexpr long kCinquieme = 5;

}  // namespace

const Fiche& Question0718::Causes() {
  static const Fiche fiche{
      718,
      "Give the sheet \"emprunt\" of \"Banque Azur.xls\" five scenarios, among them \"Nouvelle proposition "
      "de ma banque\", the fifth commented \"Créé par Editions ORVA le 27/01/2004\" with the value 0.06.",
      {
          {"A", "The sheet \"emprunt\" holds fewer than four scenarios."},
          {"B", "The sheet \"emprunt\" does not hold exactly five scenarios."},
          {"C",
           "No scenario is named \"Nouvelle proposition de ma banque\", its changing cell does not hold 0.1, "
           "or "
           "the fifth scenario lacks the comment \"Créé par Editions ORVA le 27/01/2004\" or the value "
           "0.06."},
      }};
  return fiche;
}

Question0718::Question0718() : QuestionDeuxClasseurs("Question0718", "05826718.xls", "15826718.xls") {}

void Question0718::Teste() {
  // The sheet of the active workbook; Application.Sheets("emprunt") names
  // the same sheet, so it is fetched once.
  const auto scenarios = Excel().ActiveWorkbook()->Sheets()->Item(kFeuille)->Scenarios();

  if (scenarios->Count() < kMinimum) return Echec("A");  // A: fewer than four scenarios
  if (scenarios->Count() != kNombre) return Echec("B");  // B: not exactly five scenarios

  // Every name is compared; with several matches the last one counts.
  const long n = scenarios->Count();
  long trouve = 0;
  for (long i = 1; i <= n; ++i) {
    if (scenarios->Item(i)->Name() == kNom) trouve = i;
  }
  if (trouve == 0) return Echec("C");  // C: no scenario of that name

  // Both tests are made. A changing range of several cells gives an array,
  // which cannot be compared with a number (13).
  const bool valeurFausse = !vb::Equals(scenarios->Item(trouve)->ChangingCells()->Value(), kValeurCellule);
  const auto cinquieme = scenarios->Item(kCinquieme);
  const bool commentaireFaux = cinquieme->Comment() != kCommentaire;
  if (valeurFausse || commentaireFaux) return Echec("C");  // C: changing cell not 0.1, or other comment

  // C: the fifth scenario's first value is not 0.06 (any error here too).
  Etape("C", [&] {
    const std::string valeur = vb::CStr(cinquieme->Values(1));
    return valeur == "0.06" || valeur == "0,06";
  });
}

}  // namespace r58267
