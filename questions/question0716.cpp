#include "questions/question0716.h"

#include <array>
#include <string>

#include "questions/reponse_unique.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Banque Azur.xls";
constexpr int kBonneReponse = 3;

struct Scenario {
  const char* nom;
  double taux;
};

// The three banks' rates, all put into C4 (row 4, column 3).
constexpr std::array<Scenario, 3> kScenarios = {
    {{"Banque A", 0.08}, {"Banque B", 0.07}, {"Banque C", 0.075}}};
constexpr const char* kCelluleVariable = "R4C3";
constexpr const char* kCommentaire = "Créé par Editions ORVA";

}  // namespace

const Fiche& Question0716::Causes() {
  static const Fiche fiche{716,
                           "Compare the scenarios Banque A, B and C and answer on the sheet Réponses with "
                           "the third option button.",
                           {
                               {"A", "No option button is chosen on the sheet Réponses."},
                               {"B", "The option button chosen on the sheet Réponses is not the right one."},
                           }};
  return fiche;
}

Question0716::Question0716() : Question("Question0716", kClasseur) { Enregistre("05826716.xls", kClasseur); }

void Question0716::OuvreClasseurs() {
  Question::OuvreClasseurs();
  const auto scenarios = Excel().ActiveWorkbook()->Sheets()->Item(1)->Scenarios();
  for (const Scenario& scenario : kScenarios) {
    // The value goes as text, written with the regional decimal separator.
    const vb::Variant valeurs = vb::Variant::Array({vb::Variant(vb::CStr(scenario.taux))}, 0);
    scenarios->Add(scenario.nom, kCelluleVariable, valeurs, kCommentaire, true, false);
  }
}

void Question0716::Teste() {
  const FeuilleReponses& reponses = BoutonsBanqueAzur();
  const std::string cause = CauseDuChoix(LitReponses(Excel(), reponses), kBonneReponse);
  if (!cause.empty()) Echec(cause);  // A: no button chosen; B: a wrong or mixed choice
  ProtegeReponses(Excel(), reponses);
}

}  // namespace r58267
