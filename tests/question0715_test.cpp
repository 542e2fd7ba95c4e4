#include "questions/question0715.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kAzur = "Banque Azur.xls";
constexpr const char* kReponses = "Réponses";
constexpr long kOn = excel::xlOn;
constexpr long kOff = excel::xlOff;
constexpr long kMixed = excel::xlMixed;

using test_support::FailingSelectionExcel;

// The 715 workbook with the three buttons in the given states.
WorkbookDocument WithButtons(long first, long second, long third) {
  auto document = WorkbookDocument::Sample("715/start.json");
  auto& shapes = document.json["sheets"][1]["shapes"];
  shapes[0]["value"] = first;
  shapes[1]["value"] = second;
  shapes[2]["value"] = third;
  return document;
}

class Question0715Fixture : public ::testing::Test {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kAzur);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }
  sim::SheetModel& Reponses() { return simulated->State().Workbook(kAzur).Sheet(kReponses); }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> simulated = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> excel = simulated;
  Question0715 question;
};

struct Case {
  const char* name;
  long first;
  long second;
  long third;
  const char* activeSheet;
  const char* cause;
};

class Question0715Test : public Question0715Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0715Test, JudgesTheChoiceAndPutsTheWorkbookBack) {
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
    {"SecondChosen", kOff, kOn, kOff, "Emprunt", ""},
    {"SecondChosenFromReponses", kOff, kOn, kOff, "Réponses", ""},
    {"NoneChosen", kOff, kOff, kOff, "Emprunt", "A"},
    {"FirstChosen", kOn, kOff, kOff, "Emprunt", "B"},
    {"ThirdChosen", kOff, kOff, kOn, "Réponses", "B"},
    {"SecondMixed", kOff, kMixed, kOff, "Emprunt", "B"},
    {"FirstMixed", kMixed, kOn, kOff, "Emprunt", "B"},
};

INSTANTIATE_TEST_SUITE_P(Buttons, Question0715Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0715Fixture, ReadsTheActiveWorkbook) {
  WithButtons(kOff, kOff, kOff).Save(folder.Path(), kAzur);
  question.Prepare(excel, folder.Text());
  // The same workbook under another name, active, with the right answer.
  WithButtons(kOff, kOn, kOff).Save(folder.Path(), "Copie.xls");
  excel->Workbooks()->Open(folder.Text() + "Copie.xls");
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0715Fixture, TurnsATypeMismatchIntoAAAndLeavesReponsesUnprotected) {
  excel = std::make_shared<FailingSelectionExcel>(simulated, vb::kTypeMismatch);
  EXPECT_EQ(Check(WithButtons(kOff, kOn, kOff)), "AA");
  EXPECT_FALSE(Reponses().isProtected);
}

TEST_F(Question0715Fixture, ReportsAPasswordOnReponsesAndKeepsTheCause) {
  ASSERT_EQ(Check(WithButtons(kOff, kOff, kOff)), "A");
  Reponses().password = "orva";
  try {
    question.TestePoint();
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kApplicationDefined);
    EXPECT_EQ(error.source.rfind(SourceComposee("Question0715", "TestePoint", ""), 0), 0u);
  }
  EXPECT_EQ(question.CauseErreur(), "A");
  EXPECT_TRUE(Reponses().isProtected);
}

TEST_F(Question0715Fixture, ReportsAMissingButtonWithoutProtectingAgain) {
  auto document = WithButtons(kOff, kOn, kOff);
  document.json["sheets"][1]["shapes"][2]["name"] = "Bouton d'option 9";
  try {
    Check(document);
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kInvalidArgumentHresult);
    EXPECT_EQ(error.source.rfind(SourceComposee("Question0715", "TestePoint", ""), 0), 0u);
  }
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_FALSE(Reponses().isProtected);
}

TEST(Question0715Catalogue, RegistersBanqueAzurAndNamesEveryCause) {
  Question0715 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826715.xls", kAzur, false}));
  for (const char* code : {"A", "B"}) EXPECT_FALSE(SensDe(Question0715::Causes(), code).empty()) << code;
}

}  // namespace
}  // namespace r58267
