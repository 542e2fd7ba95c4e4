#include "questions/question0708.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Trimestre 1";
constexpr const char* kFormula = "=UPPER(LEFT(B33,2))&LEFT(C33,2)";

// A33: a formula with its computed value, or a constant (`formula` null).
struct Case {
  const char* name;
  json formula;
  json value;
  const char* cause;  // "" when the exercise is passed
};

using Question0708Fixture = test_support::ExerciseFixture<Question0708>;

class Question0708Test : public Question0708Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0708Test, GivesTheCauseOfA33) {
  auto document = WorkbookDocument::Sample("708/start.json");
  document.json["activeSheet"] = "Ondine";
  const Case& c = GetParam();
  if (c.formula.is_string()) {
    document.Formula(kSheet, "A33", c.formula.get<std::string>(), c.value);
  } else if (!c.value.is_null()) {
    document.Constant(kSheet, "A33", c.value);
  }
  EXPECT_EQ(Check(document), c.cause);
  EXPECT_FALSE(question.BravoNuance());
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

const json kNone = nullptr;

const Case kCases[] = {
    {"Solved", kFormula, "ESSe", ""},
    {"LeadingPlus", "=+UPPER(LEFT(B33,2))&LEFT(C33,2)", "ESSe", ""},
    {"OtherFormulaSameValue", "=\"ES\"&\"Se\"", "ESSe", ""},
    {"TextConstant", kNone, "ESSe", "A"},
    {"NumberConstant", kNone, 1234, "A"},
    {"ThreeCharacters", "=UPPER(LEFT(B33,2))&LEFT(C33,1)", "ESS", "A"},
    {"FiveCharacters", "=UPPER(LEFT(B33,2))&LEFT(C33,2)&1", "ESSe1", "A"},
    {"EmptyText", "=A34", "", "A"},
    {"SmallLetterSecond", "=LEFT(B33,2)&LEFT(C33,2)", "EsSe", "C"},
    {"TruthValue", "=TRUE", true, "C"},
    {"OtherCountry", "=\"SP\"&LEFT(C33,2)", "SPSe", "D"},
    {"Number", "=1000+234", 1234, "D"},
    {"CapitalEnd", "=UPPER(LEFT(B33,2)&LEFT(C33,2))", "ESSE", "E"},
    {"SmallEnd", "=UPPER(LEFT(B33,2))&LOWER(LEFT(C33,2))", "ESse", "E"},
    {"ValueError", "=LEFT(B33,-1)", json{{"error", "#VALUE!"}}, "F"},
    {"NotAvailable", "=NA()", json{{"error", "#N/A"}}, "F"},
    {"Empty", kNone, kNone, "B"},
};

INSTANTIATE_TEST_SUITE_P(Values, Question0708Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0708Fixture, ChecksTheActiveWorkbookWhateverItsName) {
  ASSERT_EQ(Check(WorkbookDocument::Sample("708/start.json")), "B");
  // Another workbook, active, whose "Trimestre 1" holds the answer.
  WorkbookDocument::Sample("708/solved.json").Save(folder.Path(), "Autre.xls");
  excel->Workbooks()->Open(folder.Text() + "Autre.xls");
  Question0708 other;
  other.Prepare(excel, folder.Text());  // opens Thor again: it stays active
  excel->Workbooks()->Item("Autre.xls")->Activate();
  other.TestePoint();
  EXPECT_EQ(other.CauseErreur(), "");
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Autre.xls");
}

TEST_F(Question0708Fixture, ReportsAnActiveWorkbookWithoutTrimestre1) {
  auto document = WorkbookDocument::Sample("708/solved.json");
  document.RemoveSheet(kSheet);
  document.Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  EXPECT_THROW(question.TestePoint(), vb::Error);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST(Question0708Catalogue, RegistersThorAndNamesEveryCause) {
  Question0708 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826708.xls", kThor, false}));
  EXPECT_EQ(Question0708::Causes().question, 708);
  for (const char* code : {"A", "B", "C", "D", "E", "F"}) {
    EXPECT_FALSE(SensDe(Question0708::Causes(), code).empty()) << code;
  }
}

}  // namespace
}  // namespace r58267
