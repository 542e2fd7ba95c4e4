#include "questions/question0704.h"

#include <cstdint>
#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";
constexpr const char* kFeuille = "Trimestre 1";
constexpr const char* kContact = "contact : lucien";

// The formula expected in row `ligne` of column E, normalised and in lower
// case, with the two tests of the OR in either order.
bool EstFormuleDeLaLigne(const std::string& formule, long ligne) {
  const std::string b = std::to_string(ligne);
  const std::string a1 = "=if(or(b" + b + "=\"liverpool\";b" + b + "=\"sevilla\");\"" + kContact + "\";\"\")";
  const std::string a2 = "=if(or(b" + b + "=\"sevilla\";b" + b + "=\"liverpool\");\"" + kContact + "\";\"\")";
  return formule == a1 || formule == a2;
}

}  // namespace

const Fiche& Question0704::Causes() {
  static const Fiche fiche{
      704,
      "Write in E33 an IF with OR that shows \"contact : lucien\" for Sevilla or Liverpool in column B, and "
      "copy it down to E77.",
      {
          {"B", "E33 is empty."},
          {"C", "E33 does not hold an IF formula."},
          {"D", "The condition of the IF in E33 uses AND instead of OR."},
          {"E", "The condition of the IF in E33 is not an OR."},
          {"F", "The OR in E33 does not test B33 for Sevilla and for Liverpool."},
          {"G", "The IF in E33 does not show the text contact : lucien when the condition holds."},
          {"H", "The IF in E33 does not give an empty text when the condition fails."},
          {"I", "The formula of E33 was not copied, row for row, down to E77."},
      }};
  return fiche;
}

Question0704::Question0704() : Question("Question0704", kClasseur) { Enregistre("05826704.xls", kClasseur); }

void Question0704::Teste() {
  const auto classeur = Excel().Workbooks()->Item(kClasseur);
  const auto feuille = ActiveFeuille(*classeur, kFeuille);

  const std::string e33 = feuille->Range("E33")->Formula();
  if (e33.empty()) return Echec("B");  // B: nothing in E33
  // E33 is examined piece by piece, at fixed positions; only the pieces
  // are turned to lower case.
  const std::string n = NormaliseFormule(e33);
  if (vb::Left(n, 3) != "=IF") return Echec("C");    // C: not an IF
  if (vb::Mid(n, 5, 3) == "AND") return Echec("D");  // D: AND instead of OR
  if (vb::Mid(n, 5, 2) != "OR") return Echec("E");   // E: no OR
  const std::string conditions = vb::LCase(vb::Mid(n, 8, 29));
  if (conditions != "b33=\"sevilla\";b33=\"liverpool\"" &&
      conditions != "b33=\"liverpool\";b33=\"sevilla\"") {
    return Echec("F");  // F: the OR does not test B33 for both cities
  }
  if (vb::LCase(vb::Mid(n, 40, 16)) != kContact) return Echec("G");  // G: not the contact text
  if (vb::Right(n, 3) != "\"\")") return Echec("H");                 // H: no empty text at the end

  // The copies are read from the first sheet by position, whichever it is.
  const auto premiere = classeur->Sheets()->Item(1);
  for (std::int16_t ligne = 34; ligne <= 77; ++ligne) {
    const std::string formule = vb::LCase(NormaliseFormule(premiere->Cells(ligne, 5)->Formula()));
    if (!EstFormuleDeLaLigne(formule, ligne)) return Echec("I");  // I: row not copied from E33
  }
}

}  // namespace r58267
