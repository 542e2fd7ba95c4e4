#include "questions/question0703.h"

#include <vector>

#include "framework/reponses.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";

// The boxes of the active workbook's "trimestre 2", whatever workbook is
// active.
const FeuilleReponses kReponses{"", "trimestre 2", "Case à cocher ", 3};

}  // namespace

const Fiche& Question0703::Causes() {
  static const Fiche fiche{703,
                           "Answer on the sheet \"trimestre 2\" by ticking check box 1 only.",
                           {
                               {"A", "No check box is ticked."},
                               {"B", "The check boxes ticked are not box 1 alone."},
                           }};
  return fiche;
}

Question0703::Question0703() : Question("Question0703", kClasseur) { Enregistre("05826703.xls", kClasseur); }

void Question0703::Teste() {
  const std::vector<long> etats = LitReponses(Excel(), kReponses);

  if (etats[0] == excel::xlOff && etats[1] == excel::xlOff && etats[2] == excel::xlOff) {
    Echec("A");  // A: no box ticked
  } else if (!(etats[0] == excel::xlOn && etats[1] == excel::xlOff && etats[2] == excel::xlOff)) {
    Echec("B");  // B: not box 1 alone (a mixed box counts as neither state)
  }
  ProtegeReponses(Excel(), kReponses);
}

}  // namespace r58267
