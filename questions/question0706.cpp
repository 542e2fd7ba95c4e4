#include "questions/question0706.h"

#include <array>
#include <memory>
#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";
constexpr const char* kFeuille = "Trimestre 2";
constexpr long kCellules = 9;

// The nine results of B16:D18, row by row (B16, C16, D16, B17 …).
std::array<double, kCellules> ResultatsAttendus() {
  return {122.85, 133.35, 115.5, 129.15, 115.5, 115.5, 139.65, 116.55, 131.25};
}

}  // namespace

const Fiche& Question0706::Causes() {
  static const Fiche fiche{
      706,
      "Fill B16:D18 of \"Trimestre 2\" with one array formula giving the second quarter's figures raised "
      "by 5 %.",
      {
          {"B", "At least one cell of B16:D18 is empty."},
          {"C",
           "C17 is not part of an array formula (constants or separate formulas), or a cell of the array "
           "shows an error value."},
          {"D", "The array formula in B16:D18 does not give the expected nine results."},
      }};
  return fiche;
}

Question0706::Question0706() : Question("Question0706", kClasseur) { Enregistre("05826706.xls", kClasseur); }

void Question0706::Teste() {
  const std::array<double, kCellules> attendus = ResultatsAttendus();

  // Nothing changes the workbook during the check: the sheet is fetched once
  // for the activation and every read that follows.
  const auto feuille = ActiveFeuille(*Excel().Workbooks()->Item(kClasseur), kFeuille);
  const auto bloc = feuille->Range("B16:D18");

  std::array<std::shared_ptr<excel::Range>, kCellules> cellules;
  for (long k = 1; k <= kCellules; ++k) {
    cellules[k - 1] = bloc->Cells(k);
    if (cellules[k - 1]->Formula().empty()) return Echec("B");  // B: a cell of the block is empty
  }

  // From the selection of the array on, any error gives "C".
  bool ecart = false;
  const bool lu = Etape("C", [&] {
    // C: C17 is not part of an array (the platform raises an error).
    feuille->Range("C17")->CurrentArray()->Select();
    for (long k = 1; k <= kCellules; ++k) {
      // An error value cannot be written as text: it raises, hence "C".
      if (vb::CStr(cellules[k - 1]->Value()) != vb::CStr(attendus[k - 1])) {
        ecart = true;
        break;
      }
    }
    return true;
  });
  if (lu && ecart) Echec("D");  // D: one of the nine results is wrong
}

}  // namespace r58267
