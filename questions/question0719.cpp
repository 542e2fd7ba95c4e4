#include "questions/question0719.h"

#include "framework/reponses.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Investissement.xls";
constexpr const char* kPageWeb = "loan.htm";

// The answer boxes, on the sheet "réponses" of the active workbook.
const FeuilleReponses& Reponses() {
  static const FeuilleReponses reponses{"", "réponses", "Case à cocher ", 3};
  return reponses;
}

}  // namespace

const Fiche& Question0719::Causes() {
  static const Fiche fiche{
      719,
      "Tick check boxes 1 and 3, and not box 2, on the sheet \"réponses\" of \"Investissement.xls\".",
      {
          {"A", "None of the three check boxes is ticked."},
          {"B",
           "The boxes ticked are not boxes 1 and 3 alone (a mixed box counts as neither ticked nor not)."},
      }};
  return fiche;
}

Question0719::Question0719() : Question("Question0719", kClasseur) { Enregistre("05826719.xls", kClasseur); }

void Question0719::Teste() {
  const std::vector<long> etats = LitReponses(Excel(), Reponses());
  if (etats[0] == excel::xlOff && etats[1] == excel::xlOff && etats[2] == excel::xlOff) {
    Echec("A");  // A: nothing ticked
  } else if (etats[0] != excel::xlOn || etats[1] != excel::xlOff || etats[2] != excel::xlOn) {
    Echec("B");  // B: not boxes 1 and 3 alone
  }
  ProtegeReponses(Excel(), Reponses());
}

void Question0719::Fermer() {
  try {
    const auto classeurs = Excel().Workbooks();
    // From the last to the first, so that closing one does not shift the
    // positions still to be read.
    for (long i = classeurs->Count(); i >= 1; --i) {
      const auto classeur = classeurs->Item(i);
      if (vb::LCase(classeur->Name()) == kPageWeb) classeur->Close(std::nullopt);
    }
  } catch (...) {
    // The error goes to the caller, but the references are dropped first.
    Question::Fermer();
    throw;
  }
  Question::Fermer();
}

}  // namespace r58267
