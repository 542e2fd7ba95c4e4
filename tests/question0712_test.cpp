#include "questions/question0712.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kLoan = "Loan.xls";
constexpr const char* kSheet = "Remboursements";
constexpr const char* kFormula = "=ABS(PMT(E5/12,F5,D5))";
constexpr double kRepayment = 304.2193745155571;

using Question0712Fixture = test_support::ExerciseFixture<Question0712>;

// G5: a formula with its computed value, or a constant (`formula` null).
struct Case {
  const char* name;
  nlohmann::json formula;
  nlohmann::json value;
  const char* cause;  // "" when the exercise is passed
};

class Question0712Test : public Question0712Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0712Test, GivesTheCauseOfG5) {
  auto document = WorkbookDocument::Sample("712/start.json");
  const Case& c = GetParam();
  if (c.formula.is_string()) {
    document.Formula(kSheet, "G5", c.formula.get<std::string>(), c.value);
  } else if (!c.value.is_null()) {
    document.Constant(kSheet, "G5", c.value);
  }
  EXPECT_EQ(Check(document), c.cause);
  EXPECT_FALSE(question.BravoNuance());
}

const nlohmann::json kNone = nullptr;
const nlohmann::json kNumError = {{"error", "#NUM!"}};

const Case kCases[] = {
    {"Solved", kFormula, kRepayment, ""},
    {"EveryPlusRemoved", "=+ABS(+PMT(E5/12,F5,D5))", kRepayment, ""},
    {"SeparatorsNotExamined", "=ABS(PMT(E5/12,F5,-D5))", kRepayment, ""},
    {"Empty", kNone, kNone, "B"},
    {"ConstantOfTheRightAmount", kNone, kRepayment, "B"},
    {"TextConstant", kNone, "Mensualité", "B"},
    {"FormulaShowingAnError", kFormula, kNumError, "B"},
    {"ErrorBeforeTextIsExamined", "=PMT(E5/12,F5,D5)/0", {{"error", "#DIV/0!"}}, "B"},
    {"NegatedPmt", "=-PMT(E5/12,F5,D5)", kRepayment, "C"},
    {"LowerCase", "=abs(pmt(e5/12,f5,d5))", kRepayment, "C"},
    {"AbsOfIpmt", "=ABS(IPMT(E5/12,1,F5,D5))", 50.0, "D"},
    {"AbsoluteRate", "=ABS(PMT($E$5/12,F5,D5))", kRepayment, "E"},
    {"OtherRateCell", "=ABS(PMT(E6/12,F5,D5))", 0.0, "E"},
    {"YearlyRate", "=ABS(PMT(E5/10,F5,D5))", 305.4, "F"},
    {"OtherPeriods", "=ABS(PMT(E5/12,F6,D5))", 0.0, "G"},
    {"FutureValueAdded", "=ABS(PMT(E5/12,F5,D5,0))", kRepayment, "H"},
    {"OtherAmount", "=ABS(PMT(E5/12,F5,D6))", 0.0, "H"},
    {"SomethingAfter", "=ABS(PMT(E5/12,F5,D5))*1", kRepayment, "H"},
};

INSTANTIATE_TEST_SUITE_P(Formulas, Question0712Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0712Fixture, ReadsG5OfTheFirstWorksheetAndLeavesItActive) {
  auto document = WorkbookDocument::Sample("712/start.json");
  document.json["sheets"].push_back({{"name", "Feuil2"}});
  document.Formula("Feuil2", "G5", kFormula, kRepayment);
  document.json["activeSheet"] = "Feuil2";
  EXPECT_EQ(Check(document), "B");
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

TEST_F(Question0712Fixture, WorksWithTheActiveWorkbookWhateverItsFirstSheetIsCalled) {
  auto document = WorkbookDocument::Sample("712/solved.json");
  document.json["sheets"][0]["name"] = "Feuil1";
  document.json["activeSheet"] = "Feuil1";
  EXPECT_EQ(Check(document), "");
}

TEST_F(Question0712Fixture, ReportsAMissingActiveWorkbook) {
  ASSERT_EQ(Check(WorkbookDocument::Sample("712/solved.json")), "");
  excel->Workbooks()->Item(kLoan)->Close(false);
  EXPECT_THROW(question.TestePoint(), vb::Error);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST(Question0712Catalogue, RegistersLoanAndNamesEveryCause) {
  Question0712 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826712.xls", kLoan, false}));
  EXPECT_EQ(Question0712::Causes().question, 712);
  for (const char* code : {"B", "C", "D", "E", "F", "G", "H"}) {
    EXPECT_FALSE(SensDe(Question0712::Causes(), code).empty()) << code;
  }
}

}  // namespace
}  // namespace r58267
