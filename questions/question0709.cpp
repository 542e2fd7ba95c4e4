#include "questions/question0709.h"

#include <array>
#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";
constexpr long kFeuille = 3;  // taken by position, not by name
constexpr long kCellules = 3;

struct Attendu {
  std::string depart;  // the starting constant, as Formula writes it
  std::string valeur;  // the value to reach, as text
};

// B3, B4, B5 in this order.
std::array<Attendu, kCellules> Attendus() { return {{{"243", "597"}, {"375", "718"}, {"342", "711"}}}; }

}  // namespace

const Fiche& Question0709::Causes() {
  static const Fiche fiche{
      709,
      "Bring B3, B4 and B5 of the third sheet to 597, 718 and 711.",
      {
          {"B", "A cell of B3:B5 shows a value other than the expected one, or an error value."},
          {"C", "A cell of B3:B5 still holds its starting number."},
          {"D", "Passed: B3:B5 show 597, 718 and 711."},
      }};
  return fiche;
}

Question0709::Question0709() : Question("Question0709", kClasseur) { Enregistre("05826709.xls", kClasseur); }

void Question0709::Teste() {
  const std::array<Attendu, kCellules> attendus = Attendus();

  const auto feuille = ActiveFeuille(*Excel().Workbooks()->Item(kClasseur), kFeuille);

  // From here on, any error gives "B" (a chart sheet in third position, an
  // error value in a cell …).
  std::string cause;
  const bool lu = Etape("B", [&] {
    const auto bloc = feuille->Range("B3:B5");
    for (long k = 1; k <= kCellules; ++k) {
      const auto cellule = bloc->Cells(k);
      if (cellule->Formula() == attendus[k - 1].depart) {
        cause = "C";  // C: the cell still holds its starting number
        break;
      }
      // A decimal comma counts as a decimal point.
      const std::string valeur = vb::Replace(vb::CStr(cellule->Value()), ",", ".");
      if (valeur != attendus[k - 1].valeur) {
        cause = "B";  // B: not the value to reach
        break;
      }
    }
    return true;
  });
  if (!lu) return;
  if (!cause.empty()) return Echec(cause);
  // D with BravoNuance: the three values are reached.
  Echec("D");
  Bravo();
}

}  // namespace r58267
