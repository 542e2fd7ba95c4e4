#include "questions/question0707.h"

#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";
constexpr const char* kFeuille = "Trimestre 2";

// The only two accepted texts, once "$" signs and spaces are removed.
bool EstFormuleAttendue(const std::string& formule) {
  return formule == "=DATE(YEAR(B21)+2,MONTH(B21),DAY(B21))" ||
         formule == "=+DATE(YEAR(B21)+2,MONTH(B21),DAY(B21))";
}

}  // namespace

const Fiche& Question0707::Causes() {
  static const Fiche fiche{
      707,
      "Write in B22 of \"Trimestre 2\" the date two years after B21: =DATE(YEAR(B21)+2,MONTH(B21),DAY(B21)).",
      {
          {"B", "B22 is empty."},
          {"C", "B22 does not hold =DATE(YEAR(B21)+2,MONTH(B21),DAY(B21)) in exactly this form."},
      }};
  return fiche;
}

Question0707::Question0707() : Question("Question0707", kClasseur) { Enregistre("05826707.xls", kClasseur); }

void Question0707::Teste() {
  const auto feuille = ActiveFeuille(*Excel().Workbooks()->Item(kClasseur), kFeuille);

  const std::string b22 = feuille->Range("B22")->Formula();
  if (b22.empty()) return Echec("B");  // B: nothing in B22
  // "$" signs and spaces make no difference; "+" signs and letter case do.
  const std::string formule = vb::Replace(vb::Replace(b22, "$", ""), " ", "");
  if (!EstFormuleAttendue(formule)) Echec("C");  // C: not the expected DATE formula
}

}  // namespace r58267
