#include "questions/question0709.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Semestre 1";

json Sum(const char* formula, const json& value) { return {{"formula", formula}, {"value", value}}; }

// B3, B4, B5 as document cells (a constant, or a formula with its value).
struct Case {
  const char* name;
  json b3;
  json b4;
  json b5;
  const char* cause;
};

class Question0709Fixture : public test_support::ExerciseFixture<Question0709> {
 protected:
  static WorkbookDocument With(const Case& c) {
    auto document = WorkbookDocument::Sample("709/start.json");
    document.Constant(kSheet, "B3", c.b3).Constant(kSheet, "B4", c.b4).Constant(kSheet, "B5", c.b5);
    return document;
  }
};

class Question0709Test : public Question0709Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0709Test, GivesTheCauseOfB3ToB5) {
  auto document = With(GetParam());
  document.json["activeSheet"] = "Trimestre 1";
  const std::string cause = Check(document);
  EXPECT_EQ(cause, GetParam().cause);
  // Only the passing outcome, "D", qualifies the success.
  EXPECT_EQ(question.BravoNuance(), cause == "D");
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

TEST_P(Question0709Test, GivesTheSameCauseUnderADecimalComma) {
  const vb::ScopedLocale comma(vb::Locale{','});
  const std::string cause = Check(With(GetParam()));
  EXPECT_EQ(cause, GetParam().cause);
  EXPECT_EQ(question.BravoNuance(), cause == "D");
}

const Case kCases[] = {
    {"Constants", 597, 718, 711, "D"},
    {"Formulas", Sum("=C3+D3", 597), Sum("=C4+D4", 718), Sum("=C5+D5", 711), "D"},
    {"WholeNumberComputed", Sum("=1195/2-0.5", 597.0), 718, 711, "D"},
    {"Untouched", 243, 375, 342, "C"},
    {"LastStillAtItsStart", 597, 718, 342, "C"},
    {"StartingNumberAfterAWrongValue", 597, 700, 342, "B"},
    {"WrongLastValue", 597, 718, 700, "B"},
    {"HalfInTheMiddle", 597.5, 718, 711, "B"},
    {"FormulaOfTheStartingNumber", Sum("=243", 243), 718, 711, "B"},
    {"TextOfTheValue", "597", 718, 711, "D"},
    {"ErrorValue", 597, Sum("=C4/0", json{{"error", "#DIV/0!"}}), 711, "B"},
    {"EmptyCell", nullptr, 718, 711, "B"},
};

INSTANTIATE_TEST_SUITE_P(Cells, Question0709Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0709Fixture, TakesTheThirdSheetByPosition) {
  auto document = WorkbookDocument::Sample("709/solved.json");
  document.json["sheets"][2]["name"] = "Feuil3";
  // A sheet named "Semestre 1" elsewhere does not count.
  document.json["sheets"].push_back({{"name", kSheet}, {"cells", {{"B3", 243}, {"B4", 375}, {"B5", 342}}}});
  EXPECT_EQ(Check(document), "D");
  EXPECT_TRUE(question.BravoNuance());
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Feuil3");
}

TEST_F(Question0709Fixture, AChartSheetInThirdPositionGivesB) {
  auto document = WorkbookDocument::Sample("709/solved.json");
  json chart = json::object();
  chart["name"] = "Graph1";
  chart["type"] = "chart";
  document.json["sheets"].insert(document.json["sheets"].begin() + 2, chart);
  EXPECT_EQ(Check(document), "B");
  EXPECT_FALSE(question.BravoNuance());
}

TEST_F(Question0709Fixture, ReportsAWorkbookWithFewerThanThreeSheets) {
  auto document = WorkbookDocument::Sample("709/solved.json");
  document.RemoveSheet(kSheet).RemoveSheet("Ondine");
  EXPECT_THROW(Check(document), vb::Error);
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_FALSE(question.BravoNuance());
}

TEST(Question0709Catalogue, RegistersThorAndNamesEveryCause) {
  Question0709 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826709.xls", kThor, false}));
  EXPECT_EQ(Question0709::Causes().question, 709);
  for (const char* code : {"B", "C", "D"}) EXPECT_FALSE(SensDe(Question0709::Causes(), code).empty()) << code;
}

}  // namespace
}  // namespace r58267
