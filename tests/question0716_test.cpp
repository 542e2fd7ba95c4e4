#include "questions/question0716.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kAzur = "Banque Azur.xls";
constexpr const char* kReponses = "Réponses";
constexpr long kOn = excel::xlOn;
constexpr long kOff = excel::xlOff;
constexpr long kMixed = excel::xlMixed;

// The 716 workbook with the three buttons in the given states.
WorkbookDocument WithButtons(long first, long second, long third) {
  auto document = WorkbookDocument::Sample("716/start.json");
  auto& shapes = document.json["sheets"][1]["shapes"];
  shapes[0]["value"] = first;
  shapes[1]["value"] = second;
  shapes[2]["value"] = third;
  return document;
}

class Question0716Fixture : public ::testing::Test {
 protected:
  void Prepare(const WorkbookDocument& document) {
    document.Save(folder.Path(), kAzur);
    question.Prepare(excel, folder.Text());
  }
  std::string Check(const WorkbookDocument& document) {
    Prepare(document);
    question.TestePoint();
    return question.CauseErreur();
  }
  sim::SheetModel& Reponses() { return simulated->State().Workbook(kAzur).Sheet(kReponses); }
  std::shared_ptr<excel::Scenarios> ScenariosOfFirstSheet() {
    return excel->Workbooks()->Item(kAzur)->Sheets()->Item(1)->Scenarios();
  }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> simulated = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> excel = simulated;
  Question0716 question;
};

// ---- Prepare ----

class Question0716PrepareTest : public Question0716Fixture, public ::testing::WithParamInterface<char> {};

TEST_P(Question0716PrepareTest, AddsTheThreeBankScenariosOnTheRateOfTheFirstWorksheet) {
  vb::ScopedLocale locale(vb::Locale{GetParam()});
  auto document = WorkbookDocument::Sample("716/start.json");
  document.json["activeSheet"] = kReponses;  // Sheets(1) whatever sheet is active
  Prepare(document);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kAzur);

  const auto scenarios = ScenariosOfFirstSheet();
  ASSERT_EQ(scenarios->Count(), 3);
  const struct {
    const char* name;
    double value;
  } kExpected[] = {{"Banque A", 0.08}, {"Banque B", 0.07}, {"Banque C", 0.075}};
  for (long i = 1; i <= 3; ++i) {
    const auto scenario = scenarios->Item(i);
    const auto& expected = kExpected[i - 1];
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(scenario->Name(), expected.name);
    EXPECT_EQ(scenario->ChangingCells()->Address(), "$C$4");
    EXPECT_EQ(scenario->ChangingCells()->Count(), 1);
    ASSERT_EQ(scenario->Values(1).Type(), vb::VarType::Double);
    EXPECT_DOUBLE_EQ(scenario->Values(1).AsDouble(), expected.value);
    EXPECT_EQ(scenario->Comment(), "Créé par Editions ORVA");
    EXPECT_TRUE(scenario->Locked());
    EXPECT_FALSE(scenario->Hidden());
  }
  EXPECT_EQ(excel->Workbooks()->Item(kAzur)->Sheets()->Item(kReponses)->Scenarios()->Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Separators, Question0716PrepareTest, ::testing::Values('.', ','),
                         [](const ::testing::TestParamInfo<char>& caseInfo) {
                           return std::string(caseInfo.param == '.' ? "Point" : "Comma");
                         });

TEST_F(Question0716Fixture, PrepareFailureIsReportedAndEarlierScenariosStay) {
  auto document = WorkbookDocument::Sample("716/start.json");
  document.SheetField("Emprunt", "scenarios",
                      {{{"name", "Banque B"}, {"changingCells", "C4"}, {"values", {0.07}}}});
  try {
    Prepare(document);
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kApplicationDefined);
    EXPECT_EQ(error.source.rfind(SourceComposee("Question0716", "Prepare", ""), 0), 0u);
  }
  const auto scenarios = ScenariosOfFirstSheet();
  ASSERT_EQ(scenarios->Count(), 2);
  EXPECT_EQ(scenarios->Item(1)->Name(), "Banque B");
  EXPECT_EQ(scenarios->Item(2)->Name(), "Banque A");
  EXPECT_EQ(question.PathDossierParDefaut(), folder.Text());
}

TEST_F(Question0716Fixture, PrepareOfAMissingWorkbookAddsNothing) {
  try {
    question.Prepare(excel, folder.Text());
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.source.rfind(SourceComposee("Question0716", "Prepare", ""), 0), 0u);
  }
  EXPECT_EQ(excel->Workbooks()->Count(), 0);
}

// ---- TestePoint ----

struct Case {
  const char* name;
  long first;
  long second;
  long third;
  const char* activeSheet;
  const char* cause;
};

class Question0716Test : public Question0716Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0716Test, JudgesTheChoiceAndPutsTheWorkbookBack) {
  const Case& c = GetParam();
  auto document = WithButtons(c.first, c.second, c.third);
  document.json["activeSheet"] = c.activeSheet;
  EXPECT_EQ(Check(document), c.cause);
  EXPECT_EQ(excel->ActiveSheet()->Name(), c.activeSheet);
  EXPECT_TRUE(Reponses().isProtected);
  EXPECT_EQ(Reponses().password, "");
  EXPECT_EQ(Reponses().selection.shapeName, "Bouton d'option 3");
}

const Case kCases[] = {
    {"ThirdChosen", kOff, kOff, kOn, "Emprunt", ""},
    {"ThirdChosenFromReponses", kOff, kOff, kOn, "Réponses", ""},
    {"NoneChosen", kOff, kOff, kOff, "Emprunt", "A"},
    {"FirstChosen", kOn, kOff, kOff, "Réponses", "B"},
    {"SecondChosen", kOff, kOn, kOff, "Emprunt", "B"},
    {"ThirdMixed", kOff, kOff, kMixed, "Emprunt", "B"},
    {"SecondMixedThirdChosen", kOff, kMixed, kOn, "Emprunt", "B"},
};

INSTANTIATE_TEST_SUITE_P(Buttons, Question0716Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0716Fixture, AcceptsReponsesInAnyPosition) {
  auto document = WithButtons(kOff, kOff, kOn);
  document.json["sheets"].insert(document.json["sheets"].begin() + 1,
                                 nlohmann::json::object({{"name", "Notes"}}));
  ASSERT_EQ(document.json["sheets"][2]["name"], kReponses);
  EXPECT_EQ(Check(document), "");
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Emprunt");
}

TEST_F(Question0716Fixture, ReportsAShapeThatIsNoControlAndLeavesReponsesUnprotected) {
  ASSERT_EQ(Check(WithButtons(kOn, kOff, kOff)), "B");
  excel->Workbooks()->Item(kAzur)->Close(false);
  auto document = WithButtons(kOff, kOff, kOn);
  document.json["sheets"][1]["shapes"][1] = {{"name", "Bouton d'option 2"}};
  document.Save(folder.Path(), kAzur);
  excel->Workbooks()->Open(folder.Text() + kAzur);
  try {
    question.TestePoint();
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kNotSupported);
    EXPECT_EQ(error.source.rfind(SourceComposee("Question0716", "TestePoint", ""), 0), 0u);
  }
  EXPECT_EQ(question.CauseErreur(), "B");
  EXPECT_FALSE(Reponses().isProtected);
}

TEST(Question0716Catalogue, RegistersBanqueAzurAndNamesEveryCause) {
  Question0716 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826716.xls", kAzur, false}));
  for (const char* code : {"A", "B"}) EXPECT_FALSE(SensDe(Question0716::Causes(), code).empty()) << code;
}

}  // namespace
}  // namespace r58267
