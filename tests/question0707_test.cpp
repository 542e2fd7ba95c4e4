#include "questions/question0707.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Trimestre 2";
const json kDueDate = {{"date", "2004-04-01"}};

// B22: a formula with its computed value, or a constant (`formula` null).
struct Case {
  const char* name;
  json formula;
  json value;
  const char* cause;  // "" when the exercise is passed
};

using Question0707Fixture = test_support::ExerciseFixture<Question0707>;

class Question0707Test : public Question0707Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0707Test, GivesTheCauseOfB22) {
  auto document = WorkbookDocument::Sample("707/start.json");
  const Case& c = GetParam();
  if (c.formula.is_string()) {
    document.Formula(kSheet, "B22", c.formula.get<std::string>(), c.value);
  } else if (!c.value.is_null()) {
    document.Constant(kSheet, "B22", c.value);
  }
  EXPECT_EQ(Check(document), c.cause);
  EXPECT_FALSE(question.BravoNuance());
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

const json kNone = nullptr;

const Case kCases[] = {
    {"Solved", "=DATE(YEAR(B21)+2,MONTH(B21),DAY(B21))", kDueDate, ""},
    {"DollarsAndSpacesRemoved", "=DATE(YEAR($B$21)+2, MONTH($B$21), DAY($B$21))", kDueDate, ""},
    {"LeadingPlus", "=+DATE(YEAR(B21)+2,MONTH(B21),DAY(B21))", kDueDate, ""},
    {"LeadingPlusWithSpaces", "= + DATE( YEAR( B21 ) + 2 ,MONTH(B21),DAY(B21))", kDueDate, ""},
    {"YearsAddedFirst", "=DATE(2+YEAR(B21),MONTH(B21),DAY(B21))", kDueDate, "C"},
    {"SomethingAfter", "=DATE(YEAR(B21)+2,MONTH(B21),DAY(B21))+0", kDueDate, "C"},
    {"Edate", "=EDATE(B21,24)", kDueDate, "C"},
    {"SmallLetters", "=date(year(b21)+2,month(b21),day(b21))", kDueDate, "C"},
    {"PlusInsideKept", "=DATE(+YEAR(B21)+2,MONTH(B21),DAY(B21))", kDueDate, "C"},
    {"DoublePlus", "=++DATE(YEAR(B21)+2,MONTH(B21),DAY(B21))", kDueDate, "C"},
    {"DateConstant", kNone, kDueDate, "C"},
    {"Empty", kNone, kNone, "B"},
};

INSTANTIATE_TEST_SUITE_P(Formulas, Question0707Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0707Fixture, DoesNotExamineTheNumberFormat) {
  auto document = WorkbookDocument::Sample("707/solved.json");
  document.json["sheets"][1]["cells"]["B22"]["numberFormat"] = "0.00";
  document.json["activeSheet"] = "Trimestre 1";
  EXPECT_EQ(Check(document), "");
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

TEST_F(Question0707Fixture, KeepsAnEarlierCauseWhenCorrected) {
  ASSERT_EQ(Check(WorkbookDocument::Sample("707/edate.json")), "C");
  excel->Workbooks()->Item(kThor)->Close(false);
  WorkbookDocument::Sample("707/solved.json").Save(folder.Path(), kThor);
  excel->Workbooks()->Open(folder.Text() + kThor);
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "C");
}

TEST(Question0707Catalogue, RegistersThorAndNamesEveryCause) {
  Question0707 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826707.xls", kThor, false}));
  EXPECT_EQ(Question0707::Causes().question, 707);
  for (const char* code : {"B", "C"}) EXPECT_FALSE(SensDe(Question0707::Causes(), code).empty()) << code;
}

}  // namespace
}  // namespace r58267
