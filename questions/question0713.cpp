#include "questions/question0713.h"

#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Loan.xls";
constexpr const char* kFormuleA7 = "=ABS(PMT(E5/12,F5,D5))";

}  // namespace

const Fiche& Question0713::Causes() {
  static const Fiche fiche{
      713,
      "Build from the repayment formula of A7 a two-variable data table, row input E5 and column input D5, "
      "whose results include C9.",
      {
          {"B", "A7 is empty."},
          {"C", "The formula in A7 does not start with =ABS."},
          {"D", "The formula in A7 is not exactly =ABS(PMT(E5/12,F5,D5))."},
          {"E", "C9 is not part of a data table."},
          {"F", "The row input cell of the data table is not E5."},
          {"G", "The column input cell of the data table is not D5."},
      }};
  return fiche;
}

Question0713::Question0713() : Question("Question0713", kClasseur) { Enregistre("05826713.xls", kClasseur); }

void Question0713::Teste() {
  Excel().Worksheets()->Item(1)->Activate();

  const std::string a7 = Excel().Range("A7")->Formula();
  if (a7.empty()) return Echec("B");                 // B: A7 is empty
  if (vb::Left(a7, 4) != "=ABS") return Echec("C");  // C: A7 does not start with ABS ("+" counts)
  if (a7 != kFormuleA7) return Echec("D");           // D: A7 is not the repayment formula

  // From here any error means that there is no usable data table at C9.
  try {
    const auto c9 = Excel().Range("C9");
    // Raises when C9 is not in an array; the table stays selected otherwise.
    c9->CurrentArray()->Select();
    const std::string table = c9->Formula();
    if (vb::Mid(table, 8, 2) != "E5") return Echec("F");  // F: the row input cell is not E5
    if (vb::Right(table, 3) != "D5)") return Echec("G");  // G: the column input cell is not D5
  } catch (const vb::Error&) {
    Echec("E");  // E: no data table at C9
  }
}

}  // namespace r58267
