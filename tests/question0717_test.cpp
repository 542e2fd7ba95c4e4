#include "questions/question0717.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kSheet = "Emprunt";
constexpr long kOn = excel::xlOn;
constexpr long kOff = excel::xlOff;
constexpr long kMixed = excel::xlMixed;

// The delivered "Banque Azur.xls" whose two boxes are in the given states.
WorkbookDocument AzurWithBoxes(long box1, long box2) {
  auto document = WorkbookDocument::Sample("717/start.json");
  auto& shapes = document.json["sheets"][1]["shapes"];
  shapes[0]["value"] = box1;
  shapes[1]["value"] = box2;
  return document;
}

vb::Error Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error raised";
  return {0, "", ""};
}

using test_support::FailingSelectionExcel;

class Question0717Fixture : public ::testing::Test {
 protected:
  void Deliver(const WorkbookDocument& azur) {
    azur.Save(folder.Path(), kBanqueAzur);
    WorkbookDocument::Sample("717/start-soledad.json").Save(folder.Path(), kBanqueSoledad);
  }
  std::string Check(const WorkbookDocument& azur) {
    Deliver(azur);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }
  sim::Model& State() { return simulated->State(); }
  bool EmpruntProtected() {
    return excel->Workbooks()->Item(kBanqueAzur)->Sheets()->Item(kSheet)->ProtectContents();
  }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> simulated = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> excel = simulated;
  Question0717 question;
};

struct Case {
  const char* name;
  long box1;
  long box2;
  const char* cause;
};

class Question0717Test : public Question0717Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0717Test, GivesTheCauseOfTheBoxesAndProtectsTheSheetAgain) {
  EXPECT_EQ(Check(AzurWithBoxes(GetParam().box1, GetParam().box2)), GetParam().cause);
  EXPECT_TRUE(EmpruntProtected());
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kBanqueAzur);
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
  EXPECT_FALSE(question.BravoNuance());
}

const Case kCases[] = {
    {"NothingTicked", kOff, kOff, "A"},
    {"FirstOnly", kOn, kOff, ""},
    {"Both", kOn, kOn, "B"},
    {"SecondOnly", kOff, kOn, "B"},
    {"FirstMixed", kMixed, kOff, "B"},
    {"SecondMixed", kOn, kMixed, "B"},
    {"NothingTickedButSecondMixed", kOff, kMixed, "B"},
};

INSTANTIATE_TEST_SUITE_P(Boxes, Question0717Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0717Fixture, RegistersBothWorkbooks) {
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 2);
  EXPECT_EQ(files->Item(1), (Fichier{"05826717.xls", kBanqueAzur, false}));
  EXPECT_EQ(files->Item(2), (Fichier{"15826717.xls", kBanqueSoledad, false}));
  EXPECT_EQ(question.Classe(), "Question0717");
}

// With Windows' extensions shown and hidden: the window of Soledad is
// named "Banque Soledad.xls" or "Banque Soledad".
class Question0717CaptionTest : public Question0717Fixture, public ::testing::WithParamInterface<bool> {};

TEST_P(Question0717CaptionTest, PrepareShowsBothOffersSideBySide) {
  State().hideExtensions = GetParam();
  Deliver(AzurWithBoxes(kOff, kOff));
  question.Prepare(excel, folder.Text());
  ASSERT_EQ(excel->Workbooks()->Count(), 2);
  EXPECT_EQ(excel->Workbooks()->Item(1L)->Name(), kBanqueSoledad);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kBanqueAzur);
  EXPECT_EQ(State().Workbook(kBanqueSoledad).windowState, excel::xlMaximized);
  ASSERT_TRUE(State().SideBySide());
  EXPECT_EQ(State().sideBySideFirst->name, kBanqueAzur);
  EXPECT_EQ(State().sideBySideSecond->name, kBanqueSoledad);
  EXPECT_FALSE(excel->Windows()->SyncScrollingSideBySide());
  EXPECT_EQ(question.PathDossierParDefaut(), folder.Text());
}

INSTANTIATE_TEST_SUITE_P(Extensions, Question0717CaptionTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& hidden) {
                           return std::string(hidden.param ? "Hidden" : "Shown");
                         });

TEST_F(Question0717Fixture, PrepareWithoutSoledadFailsAsPrepare) {
  AzurWithBoxes(kOff, kOff).Save(folder.Path(), kBanqueAzur);
  const vb::Error error = Caught([&] { question.Prepare(excel, folder.Text()); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.source.rfind("DLL R58267 - CLASSE Question0717\n\r - SERVICE Prepare - OBJET ", 0), 0u);
  EXPECT_EQ(excel->Workbooks()->Count(), 0);
}

TEST_F(Question0717Fixture, PrepareWithoutAzurLeavesSoledadOpen) {
  WorkbookDocument::Sample("717/start-soledad.json").Save(folder.Path(), kBanqueSoledad);
  EXPECT_EQ(Caught([&] { question.Prepare(excel, folder.Text()); }).number, vb::kApplicationDefined);
  ASSERT_EQ(excel->Workbooks()->Count(), 1);
  EXPECT_EQ(excel->Workbooks()->Item(1L)->Name(), kBanqueSoledad);
}

TEST_F(Question0717Fixture, ReadsAzurWhileSoledadIsActiveAndGivesTheActivationBack) {
  for (const auto& [box1, cause] : {std::pair{kOn, ""}, std::pair{kOff, "A"}}) {
    Question0717 fresh;
    Deliver(AzurWithBoxes(box1, kOff));
    fresh.Prepare(excel, folder.Text());
    excel->Workbooks()->Item(kBanqueSoledad)->Activate();
    excel->Workbooks()->Item(kBanqueSoledad)->Sheets()->Item("Conditions")->Activate();
    fresh.TestePoint();
    EXPECT_EQ(fresh.CauseErreur(), cause);
    EXPECT_EQ(excel->ActiveWorkbook()->Name(), kBanqueSoledad);
    EXPECT_EQ(excel->ActiveSheet()->Name(), "Conditions");
    EXPECT_TRUE(EmpruntProtected());
    for (const char* name : {kBanqueAzur, kBanqueSoledad}) excel->Workbooks()->Item(name)->Close(false);
  }
}

TEST_F(Question0717Fixture, GivesTheSheetActiveBeforeInAzurBack) {
  Deliver(AzurWithBoxes(kOn, kOff));
  question.Prepare(excel, folder.Text());
  excel->Workbooks()->Item(kBanqueAzur)->Sheets()->Item("Synthèse de scénarios")->Activate();
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Synthèse de scénarios");
}

TEST_F(Question0717Fixture, TypeArgumentAndOverflowErrorsGiveAAAndLeaveTheSheetUnprotected) {
  Deliver(AzurWithBoxes(kOn, kOff));
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow}) {
    Question0717 fresh;
    std::shared_ptr<excel::Application> failing = std::make_shared<FailingSelectionExcel>(excel, number);
    fresh.Prepare(failing, folder.Text());
    EXPECT_NO_THROW(fresh.TestePoint());
    EXPECT_EQ(fresh.CauseErreur(), "AA") << number;
    EXPECT_FALSE(EmpruntProtected());
    for (const char* name : {kBanqueAzur, kBanqueSoledad}) excel->Workbooks()->Item(name)->Close(false);
  }
}

TEST_F(Question0717Fixture, MissingBoxIsReportedWithCauseUnchangedAndSheetUnprotected) {
  auto azur = AzurWithBoxes(kOn, kOff);
  azur.json["sheets"][1]["shapes"].erase(1);  // "Case à cocher 2"
  Deliver(azur);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kInvalidArgumentHresult);
  EXPECT_EQ(error.source.rfind("DLL R58267 - CLASSE Question0717\n\r - SERVICE TestePoint - OBJET ", 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_FALSE(EmpruntProtected());
}

TEST_F(Question0717Fixture, OtherErrorsAreReportedWithTheirSource) {
  Deliver(AzurWithBoxes(kOn, kOff));
  std::shared_ptr<excel::Application> failing =
      std::make_shared<FailingSelectionExcel>(excel, vb::kApplicationDefined);
  question.Prepare(failing, folder.Text());
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "injected");
  EXPECT_EQ(error.source, SourceComposee("Question0717", "TestePoint", "Injected source"));
  EXPECT_EQ(question.CauseErreur(), "");
}

}  // namespace
}  // namespace r58267
