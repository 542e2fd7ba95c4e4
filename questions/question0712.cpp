#include "questions/question0712.h"

#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Loan.xls";

}  // namespace

const Fiche& Question0712::Causes() {
  static const Fiche fiche{
      712,
      "Write the monthly repayment of the loan in G5 as a positive amount: =ABS(PMT(E5/12,F5,D5)).",
      {
          {"B", "G5 is empty, shows an error value or holds a constant instead of a formula."},
          {"C", "The formula in G5 does not start with the ABS function."},
          {"D", "ABS in G5 does not enclose the PMT function."},
          {"E", "The rate of PMT in G5 does not start with the annual rate E5 (relative reference)."},
          {"F", "The annual rate E5 is not divided by 12 in G5."},
          {"G", "The number of periods of PMT in G5 is not F5."},
          {"H", "The amount of PMT in G5 is not D5, or the formula goes on after it."},
      }};
  return fiche;
}

Question0712::Question0712() : Question("Question0712", kClasseur) { Enregistre("05826712.xls", kClasseur); }

void Question0712::Teste() {
  Excel().Worksheets()->Item(1)->Activate();

  // G5 of the sheet just activated; nothing changes it between the reads.
  const auto g5 = Excel().Range("G5");
  const std::string formule = g5->Formula();
  if (formule.empty()) return Echec("B");               // B: G5 is empty
  if (vb::IsError(g5->Value())) return Echec("B");      // B: G5 shows an error value
  if (!g5->HasFormula()) return Echec("B");             // B: a constant was typed
  const std::string f = vb::Replace(formule, "+", "");  // "=+ABS(+PMT(…" is accepted

  if (vb::Left(f, 4) != "=ABS") return Echec("C");    // C: not an ABS
  if (vb::Mid(f, 6, 3) != "PMT") return Echec("D");   // D: ABS does not hold a PMT
  if (vb::Mid(f, 10, 2) != "E5") return Echec("E");   // E: the rate is not E5
  if (vb::Mid(f, 12, 3) != "/12") return Echec("F");  // F: the rate is not monthly
  if (vb::Mid(f, 16, 2) != "F5") return Echec("G");   // G: the periods are not F5
  if (vb::Right(f, 4) != "D5))") return Echec("H");   // H: the amount is not D5, or more follows
}

}  // namespace r58267
