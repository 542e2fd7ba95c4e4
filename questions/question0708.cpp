#include "questions/question0708.h"

#include <string>

namespace r58267 {

namespace {

constexpr const char* kFeuille = "Trimestre 1";
constexpr long kLongueur = 4;

}  // namespace

const Fiche& Question0708::Causes() {
  static const Fiche fiche{
      708,
      "Write in A33 of \"Trimestre 1\" a text formula giving the code ESSe (\"ES\" in capitals, then "
      "\"Se\").",
      {
          {"A", "A33 holds a constant instead of a formula, or its value is not four characters long."},
          {"B", "A33 is empty."},
          {"C", "One of the first two characters of A33's value is a small letter."},
          {"D", "A33's value does not start with ES."},
          {"E", "A33's value does not end with Se."},
          {"F", "A33 shows an error value."},
      }};
  return fiche;
}

Question0708::Question0708() : Question("Question0708", "Thor International.xls") {
  Enregistre("05826708.xls", Classeur());
}

void Question0708::Teste() {
  // The sheet of the active workbook, whatever that workbook is called.
  const auto feuille = Excel().Worksheets()->Item(kFeuille);
  feuille->Activate();

  const std::string formule = Excel().Cells(33, 1)->Formula();
  if (formule.empty()) return Echec("B");                                          // B: nothing in A33
  if (vb::TypeName(feuille->Cells(33, 1)->Value()) == "Error") return Echec("F");  // F: an error value
  const std::string f = vb::Replace(formule, "+", "");

  // The value of A33 on the active sheet, in its text form; nothing changes
  // it between the tests, so it is read once.
  const std::string valeur = vb::CStr(Excel().Range("A33")->Value());
  if (vb::Len(valeur) != kLongueur) return Echec("A");  // A: not four characters
  if (vb::Left(f, 1) != "=") return Echec("A");         // A: a constant, not a formula
  const std::string debut = vb::Left(valeur, 2);
  if (debut != vb::UCase(debut)) return Echec("C");  // C: a small letter in the first two
  if (debut != "ES") return Echec("D");              // D: does not start with ES
  if (vb::Right(valeur, 2) != "Se") Echec("E");      // E: does not end with Se
}

}  // namespace r58267
