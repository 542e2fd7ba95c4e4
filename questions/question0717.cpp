#include "questions/question0717.h"

#include "framework/reponses.h"

namespace r58267 {

namespace {

// The answer boxes, read in "Banque Azur.xls" by name whichever workbook is
// active.
const FeuilleReponses& Reponses() {
  static const FeuilleReponses reponses{kBanqueAzur, "emprunt", "Case à cocher ", 2};
  return reponses;
}

}  // namespace

const Fiche& Question0717::Causes() {
  static const Fiche fiche{
      717,
      "Compare the loan offers of Banque Azur and Banque Soledad side by side and tick the first check box "
      "on the sheet \"emprunt\" of \"Banque Azur.xls\".",
      {
          {"A", "Neither check box is ticked on the sheet \"emprunt\" of \"Banque Azur.xls\"."},
          {"B",
           "The boxes ticked are not the first box alone (the second is ticked, or the first is mixed)."},
      }};
  return fiche;
}

Question0717::Question0717() : QuestionDeuxClasseurs("Question0717", "05826717.xls", "15826717.xls") {}

void Question0717::ApresSoledad() { Excel().ActiveWindow()->WindowState(excel::xlMaximized); }

void Question0717::ApresAzur() {
  const auto fenetres = Excel().Windows();
  // By its window's caption, which leaves the extension out where Windows
  // hides the extensions of known file types.
  fenetres->CompareSideBySideWith(Excel().Workbooks()->Item(kBanqueSoledad)->Windows()->Item(1)->Caption());
  fenetres->ResetPositionsSideBySide();
  // The two offers scroll independently.
  fenetres->SyncScrollingSideBySide(false);
}

void Question0717::Teste() {
  const std::vector<long> etats = LitReponses(Excel(), Reponses());
  if (etats[0] == excel::xlOff && etats[1] == excel::xlOff) {
    Echec("A");  // A: nothing ticked
  } else if (etats[0] != excel::xlOn || etats[1] != excel::xlOff) {
    Echec("B");  // B: not the first box alone (a mixed box counts as neither state)
  }
  ProtegeReponses(Excel(), Reponses());
}

}  // namespace r58267
