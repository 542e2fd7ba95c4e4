#include "questions/question0715.h"

#include <string>

#include "questions/reponse_unique.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Banque Azur.xls";
constexpr int kBonneReponse = 2;

}  // namespace

const Fiche& Question0715::Causes() {
  static const Fiche fiche{715,
                           "Answer the question of the sheet Réponses by choosing the second option button.",
                           {
                               {"A", "No option button is chosen on the sheet Réponses."},
                               {"B", "The option button chosen on the sheet Réponses is not the right one."},
                           }};
  return fiche;
}

Question0715::Question0715() : Question("Question0715", kClasseur) { Enregistre("05826715.xls", kClasseur); }

void Question0715::Teste() {
  const FeuilleReponses& reponses = BoutonsBanqueAzur();
  const std::string cause = CauseDuChoix(LitReponses(Excel(), reponses), kBonneReponse);
  if (!cause.empty()) Echec(cause);  // A: no button chosen; B: a wrong or mixed choice
  ProtegeReponses(Excel(), reponses);
}

}  // namespace r58267
