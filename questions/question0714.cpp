#include "questions/question0714.h"

#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Banque Azur.xls";
constexpr const char* kFeuille = "emprunt";

}  // namespace

const Fiche& Question0714::Causes() {
  static const Fiche fiche{714,
                           "Make cell C3 of the sheet Emprunt reach the value 9080.53.",
                           {
                               {"B", "C3 of the sheet Emprunt does not start with 9080.53."},
                           }};
  return fiche;
}

Question0714::Question0714() : Question("Question0714", kClasseur) { Enregistre("05826714.xls", kClasseur); }

void Question0714::Teste() {
  const auto emprunt = ActiveFeuille(*Excel().Workbooks()->Item(kClasseur), kFeuille);

  // The value as text, with the regional decimal separator; only its first
  // seven characters count.
  const std::string debut = vb::Left(vb::CStr(emprunt->Range("C3")->Value()), 7);
  if (debut != "9080.53" && debut != "9080,53") return Echec("B");  // B: C3 is not 9080.53
}

}  // namespace r58267
