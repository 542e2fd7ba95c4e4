#include "questions/reponse_unique.h"

#include <gtest/gtest.h>

namespace r58267 {
namespace {

constexpr long kOn = excel::xlOn;
constexpr long kOff = excel::xlOff;
constexpr long kMixed = excel::xlMixed;

// The three states and the cause when button 2, then button 3, is right.
struct Case {
  const char* name;
  std::vector<long> etats;
  const char* causeSiDeux;
  const char* causeSiTrois;
};

class CauseDuChoixTest : public ::testing::TestWithParam<Case> {};

TEST_P(CauseDuChoixTest, JudgesTheThreeStates) {
  EXPECT_EQ(CauseDuChoix(GetParam().etats, 2), GetParam().causeSiDeux);
  EXPECT_EQ(CauseDuChoix(GetParam().etats, 3), GetParam().causeSiTrois);
}

const Case kCases[] = {
    {"NoneChosen", {kOff, kOff, kOff}, "A", "A"},
    {"FirstChosen", {kOn, kOff, kOff}, "B", "B"},
    {"SecondChosen", {kOff, kOn, kOff}, "", "B"},
    {"ThirdChosen", {kOff, kOff, kOn}, "B", ""},
    {"SecondAndThirdChosen", {kOff, kOn, kOn}, "B", "B"},
    {"FirstMixed", {kMixed, kOff, kOff}, "B", "B"},
    {"SecondMixed", {kOff, kMixed, kOff}, "B", "B"},
    {"ThirdMixed", {kOff, kOff, kMixed}, "B", "B"},
    {"RightOneMixedOtherChosen", {kOff, kMixed, kOn}, "B", "B"},
    {"FirstChosenWithTheRightOne", {kOn, kOn, kOn}, "B", "B"},
};

INSTANTIATE_TEST_SUITE_P(States, CauseDuChoixTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST(BoutonsBanqueAzur, AreTheThreeOptionButtonsOfReponsesInTheActiveWorkbook) {
  const FeuilleReponses& reponses = BoutonsBanqueAzur();
  EXPECT_EQ(reponses.classeur, "");
  EXPECT_EQ(reponses.feuille, "réponses");
  EXPECT_EQ(reponses.prefixe, "Bouton d'option ");
  EXPECT_EQ(reponses.nombre, 3);
}

}  // namespace
}  // namespace r58267
