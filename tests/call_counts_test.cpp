// Automation calls are what a check costs on Windows: each question's
// InitQuestion and TestePoint on its solved sample stay at the number of
// calls they make today, or fewer.
#include <gtest/gtest.h>

#include "tests/support/solved_cases.h"

namespace {

struct Ceiling {
  long question;
  long initQuestion;  // the first one: Excel obtained and the settings saved
  long testePoint;
};

constexpr Ceiling kCeilings[] = {{701, 98, 44},  {702, 98, 47},  {703, 98, 67}, {704, 98, 125},
                                 {705, 98, 41},  {706, 98, 64},  {707, 98, 35}, {708, 98, 36},
                                 {709, 98, 48},  {710, 98, 50},  {711, 98, 65}, {712, 98, 24},
                                 {713, 98, 26},  {714, 98, 27},  {715, 98, 62}, {716, 105, 59},
                                 {717, 114, 62}, {718, 105, 44}, {719, 98, 62}};

TEST(CallCounts, EachQuestionStaysAtTodaysCallsOrFewer) {
  const auto cases = test_support::SolvedCases();
  ASSERT_EQ(cases.size(), std::size(kCeilings));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Ceiling& ceiling = kCeilings[i];
    ASSERT_EQ(cases[i].question, ceiling.question);
    test_support::ModuleScene scene;
    test_support::Deliver(scene, cases[i]);
    scene.Init(ceiling.question);
    const long init = test_support::Calls(scene);
    test_support::ResetCalls(scene);
    scene.module->TestePoint();
    const long teste = test_support::Calls(scene);
    EXPECT_LE(init, ceiling.initQuestion) << ceiling.question;
    EXPECT_LE(teste, ceiling.testePoint) << ceiling.question;
    EXPECT_EQ(scene.module->CauseErreur(), ceiling.question == 709 ? "D" : "") << ceiling.question;
  }
}

}  // namespace
