#include "questions/question0714.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kAzur = "Banque Azur.xls";
constexpr const char* kEmprunt = "Emprunt";

// An Excel whose Workbooks member fails with `number` once armed.
class FailingWorkbooksExcel : public test_support::ApplicationWrapper {
 public:
  using ApplicationWrapper::ApplicationWrapper;
  std::shared_ptr<excel::Workbooks> Workbooks() override {
    if (number != 0) throw vb::Error(number, "injected", "Injected source");
    return ApplicationWrapper::Workbooks();
  }
  long number = 0;
};

using Question0714Fixture = test_support::ExerciseFixture<Question0714>;

// The value of C3 (the formula kept) under a decimal separator.
struct Case {
  const char* name;
  nlohmann::json value;
  char separator;
  const char* cause;
};

class Question0714Test : public Question0714Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0714Test, ComparesTheFirstSevenCharactersOfC3) {
  const Case& c = GetParam();
  vb::ScopedLocale locale(vb::Locale{c.separator});
  auto document = WorkbookDocument::Sample("714/start.json");
  document.Formula(kEmprunt, "C3", "=PV(C4/12,C5,-C6)", c.value);
  EXPECT_EQ(Check(document), c.cause);
}

const Case kCases[] = {
    {"Exact", 9080.53, '.', ""},
    {"GoalSeekResult", 9080.529999999999, '.', ""},
    {"MoreDigitsIgnored", 9080.5349, '.', ""},
    {"CommaExact", 9080.53, ',', ""},
    {"CommaMoreDigitsIgnored", 9080.5349, ',', ""},
    {"TextOfTheValue", "9080.53", '.', ""},
    {"TooFewDigits", 9080.5, '.', "B"},
    {"RoundsToTheValueButDiffers", 9080.529, '.', "B"},
    {"CommaRoundsToTheValueButDiffers", 9080.529, ',', "B"},
    {"Negative", -9080.53, '.', "B"},
    {"CommaNegative", -9080.53, ',', "B"},
    {"StartValue", 10240.478239468797, '.', "B"},
    {"Empty", nullptr, '.', "B"},
};

INSTANTIATE_TEST_SUITE_P(Values, Question0714Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0714Fixture, AddressesTheWorkbookByNameAndActivatesEmprunt) {
  auto document = WorkbookDocument::Sample("714/solved.json");
  std::swap(document.json["sheets"][0], document.json["sheets"][1]);
  document.json["activeSheet"] = "Réponses";
  document.Save(folder.Path(), kAzur);
  question.Prepare(excel, folder.Text());
  // Another workbook, active, whose C3 would fail.
  WorkbookDocument::WithSheets({kEmprunt}).Constant(kEmprunt, "C3", 1).Save(folder.Path(), "Autre.xls");
  excel->Workbooks()->Open(folder.Text() + "Autre.xls");
  ASSERT_EQ(excel->ActiveWorkbook()->Name(), "Autre.xls");

  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_EQ(excel->Workbooks()->Item(kAzur)->ActiveSheet()->Name(), kEmprunt);
}

TEST_F(Question0714Fixture, AnErrorValueInC3IsATypeMismatch) {
  auto document = WorkbookDocument::Sample("714/start.json");
  document.Formula(kEmprunt, "C3", "=PV(C4/12,C5,-C6)", {{"error", "#NUM!"}});
  EXPECT_EQ(Check(document), "AA");
}

class Question0714ErrorTest : public Question0714Fixture, public ::testing::WithParamInterface<long> {};

TEST_P(Question0714ErrorTest, TurnsTypeArgumentAndOverflowErrorsIntoAA) {
  auto failing = std::make_shared<FailingWorkbooksExcel>(excel);
  excel = failing;
  WorkbookDocument::Sample("714/solved.json").Save(folder.Path(), kAzur);
  question.Prepare(excel, folder.Text());
  failing->number = GetParam();
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "AA");
}

INSTANTIATE_TEST_SUITE_P(Numbers, Question0714ErrorTest, ::testing::Values(13L, 5L, 6L));

TEST_F(Question0714Fixture, ReportsAMissingSheetAndKeepsTheCause) {
  ASSERT_EQ(Check(WorkbookDocument::Sample("714/start.json")), "B");
  excel->Workbooks()->Item(kAzur)->Close(false);
  auto document = WorkbookDocument::Sample("714/solved.json");
  document.json["sheets"][0]["name"] = "Prêt";
  document.json["activeSheet"] = "Prêt";
  document.Save(folder.Path(), kAzur);
  excel->Workbooks()->Open(folder.Text() + kAzur);
  vb::Error direct(0, "", "");
  try {
    excel->Workbooks()->Item(kAzur)->Sheets()->Item("emprunt");
  } catch (const vb::Error& error) {
    direct = error;
  }
  ASSERT_NE(direct.number, 0);
  try {
    question.TestePoint();
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, direct.number);
    EXPECT_EQ(error.source, SourceComposee("Question0714", "TestePoint", direct.source));
  }
  EXPECT_EQ(question.CauseErreur(), "B");
}

TEST(Question0714Catalogue, RegistersBanqueAzurAndNamesItsCause) {
  Question0714 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826714.xls", kAzur, false}));
  EXPECT_FALSE(SensDe(Question0714::Causes(), "B").empty());
}

}  // namespace
}  // namespace r58267
