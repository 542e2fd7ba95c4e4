// The command line's grading and explanations.
#include "cli/grader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "module/codes_generaux.h"
#include "tests/support/workbook_document.h"

namespace {

using test_support::WorkbookDocument;

TEST(GraderTest, PassedMeansNoGeneralErrorAndNoCauseOrD709WithBravo) {
  cli::Outcome outcome;
  outcome.question = 705;
  EXPECT_TRUE(outcome.Passed());
  outcome.causeErreur = "D";
  EXPECT_FALSE(outcome.Passed());
  outcome.question = 709;
  EXPECT_FALSE(outcome.Passed());
  outcome.bravoNuance = true;
  EXPECT_TRUE(outcome.Passed());
  outcome.erreurGenerale = true;
  EXPECT_FALSE(outcome.Passed());
  outcome.erreurGenerale = false;
  outcome.failed = "TestePoint";
  EXPECT_FALSE(outcome.Passed());
}

TEST(GraderTest, GradesAWorkbookThroughTheModuleAndCleansUp) {
  test_support::TempFolder folder;
  const auto start = WorkbookDocument::Sample("705/start.json").Save(folder.Path(), "start.json");
  const cli::Outcome outcome = cli::Grade(705, {start});
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_FALSE(outcome.erreurGenerale);
  EXPECT_EQ(outcome.causeErreur, "B");
  EXPECT_EQ(cli::Explain(outcome), "B81 is empty.");
  EXPECT_TRUE(std::filesystem::exists(start));  // the learner's file is only copied
}

TEST(GraderTest, GeneralErrorsAreExplainedFromTheStructureCheck) {
  test_support::TempFolder folder;
  const auto broken =
      WorkbookDocument::Sample("705/solved.json").RemoveSheet("Ondine").Save(folder.Path(), "broken.json");
  const cli::Outcome outcome = cli::Grade(705, {broken});
  EXPECT_TRUE(outcome.erreurGenerale);
  EXPECT_EQ(outcome.causeErreur, "P");
  EXPECT_EQ(cli::Explain(outcome), "Sheet \"ondine\" is missing or not in position 3.");
}

TEST(GraderTest, FailedCallIsNamedWithItsError) {
  test_support::TempFolder folder;
  std::ofstream(folder.Path() / "bad.json") << "not json";
  const cli::Outcome outcome = cli::Grade(705, {folder.Path() / "bad.json"});
  EXPECT_EQ(outcome.failed, "InitQuestion");
  ASSERT_TRUE(outcome.error.has_value());
  EXPECT_EQ(outcome.error->number, vb::kApplicationDefined);
}

TEST(CodesGenerauxTest, ListsEveryCodeOnceWithTheFullerSentence) {
  const auto fiche = r58267::CodesGeneraux(715);
  std::vector<std::string> codes;
  for (const auto& cause : fiche.causes) codes.push_back(cause.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"AM", "%AL", "C", "A", "G", "D", "J", "AN", "AA"}));
  EXPECT_EQ(r58267::SensDe(fiche, "J"), "Sheet \"réponses\" is missing or not in position 2.");
  EXPECT_EQ(r58267::SensDe(r58267::CodesGeneraux(716), "J"),
            "Sheet \"réponses\" is missing from the workbook.");
  EXPECT_NE(r58267::SensDe(r58267::CodesGeneraux(717), "D").find("protected"), std::string::npos);
}

}  // namespace
