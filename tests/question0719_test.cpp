#include "questions/question0719.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kInvestissement = "Investissement.xls";
constexpr const char* kReponses = "Réponses";
constexpr long kOn = excel::xlOn;
constexpr long kOff = excel::xlOff;
constexpr long kMixed = excel::xlMixed;

// The delivered "Investissement.xls" whose three boxes are in the given
// states.
WorkbookDocument WithBoxes(long box1, long box2, long box3) {
  auto document = WorkbookDocument::Sample("719/start.json");
  auto& shapes = document.json["sheets"][1]["shapes"];
  shapes[0]["value"] = box1;
  shapes[1]["value"] = box2;
  shapes[2]["value"] = box3;
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

// An Excel whose Workbooks collection cannot be reached.
class NoWorkbooksExcel : public test_support::ApplicationWrapper {
 public:
  using ApplicationWrapper::ApplicationWrapper;
  std::shared_ptr<excel::Workbooks> Workbooks() override {
    throw vb::Error(vb::kServerUnavailableHresult, "The RPC server is unavailable.", "Injected source");
  }
};

class Question0719Fixture : public ::testing::Test {
 protected:
  void Prepare(const WorkbookDocument& document) {
    document.Save(folder.Path(), kInvestissement);
    question.Prepare(excel, folder.Text());
  }
  std::string Check(const WorkbookDocument& document) {
    Prepare(document);
    question.TestePoint();
    return question.CauseErreur();
  }
  bool ReponsesProtected() {
    return excel->Workbooks()->Item(kInvestissement)->Sheets()->Item(kReponses)->ProtectContents();
  }
  // Opens a workbook saved as `name` in the working folder.
  void OpenOther(const std::string& name) {
    WorkbookDocument::WithSheets({"Feuil1"}).Save(folder.Path(), name);
    excel->Workbooks()->Open(folder.Text() + name);
  }
  std::vector<std::string> OpenNames() {
    std::vector<std::string> names;
    for (long i = 1; i <= excel->Workbooks()->Count(); ++i)
      names.push_back(excel->Workbooks()->Item(i)->Name());
    return names;
  }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0719 question;
};

struct Case {
  const char* name;
  long box1;
  long box2;
  long box3;
  const char* cause;
};

class Question0719Test : public Question0719Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0719Test, GivesTheCauseAndLeavesTheSheetAsItWas) {
  const Case& c = GetParam();
  EXPECT_EQ(Check(WithBoxes(c.box1, c.box2, c.box3)), c.cause);
  EXPECT_TRUE(ReponsesProtected());
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Prévisions");
  EXPECT_FALSE(question.BravoNuance());
}

const Case kCases[] = {
    {"NothingTicked", kOff, kOff, kOff, "A"},
    {"FirstAndThird", kOn, kOff, kOn, ""},
    {"FirstOnly", kOn, kOff, kOff, "B"},
    {"ThirdOnly", kOff, kOff, kOn, "B"},
    {"SecondOnly", kOff, kOn, kOff, "B"},
    {"AllThree", kOn, kOn, kOn, "B"},
    {"SecondMixed", kOn, kMixed, kOn, "B"},
    {"FirstMixed", kMixed, kOff, kOn, "B"},
    {"NothingTickedButThirdMixed", kOff, kOff, kMixed, "B"},
};

INSTANTIATE_TEST_SUITE_P(Boxes, Question0719Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0719Fixture, RegistersItsWorkbook) {
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 1);
  EXPECT_EQ(files->Item(1), (Fichier{"05826719.xls", kInvestissement, false}));
}

TEST_F(Question0719Fixture, GivesTheAnswerSheetBackActiveWhenItWasActive) {
  Prepare(WithBoxes(kOn, kOff, kOn));
  excel->Workbooks()->Item(kInvestissement)->Sheets()->Item(kReponses)->Activate();
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_EQ(excel->ActiveSheet()->Name(), kReponses);
  EXPECT_TRUE(ReponsesProtected());
}

TEST_F(Question0719Fixture, TypeArgumentAndOverflowErrorsGiveAAAndLeaveTheSheetUnprotected) {
  WithBoxes(kOn, kOff, kOn).Save(folder.Path(), kInvestissement);
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow}) {
    Question0719 fresh;
    std::shared_ptr<excel::Application> failing = std::make_shared<FailingSelectionExcel>(excel, number);
    fresh.Prepare(failing, folder.Text());
    EXPECT_NO_THROW(fresh.TestePoint());
    EXPECT_EQ(fresh.CauseErreur(), "AA") << number;
    EXPECT_FALSE(ReponsesProtected());
    excel->Workbooks()->Item(kInvestissement)->Close(false);
  }
}

TEST_F(Question0719Fixture, OtherErrorsAreReportedWithTheirSource) {
  WithBoxes(kOn, kOff, kOn).Save(folder.Path(), kInvestissement);
  std::shared_ptr<excel::Application> failing =
      std::make_shared<FailingSelectionExcel>(excel, vb::kApplicationDefined);
  question.Prepare(failing, folder.Text());
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "injected");
  EXPECT_EQ(error.source, SourceComposee("Question0719", "TestePoint", "Injected source"));
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0719Fixture, MissingThirdBoxIsReportedAndLeavesTheSheetUnprotected) {
  auto document = WithBoxes(kOn, kOff, kOn);
  document.json["sheets"][1]["shapes"].erase(2);
  Prepare(document);
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kInvalidArgumentHresult);
  EXPECT_EQ(error.source.rfind("DLL R58267 - CLASSE Question0719\n\r - SERVICE TestePoint - OBJET ", 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_FALSE(ReponsesProtected());
}

TEST_F(Question0719Fixture, FermerClosesLoanHtmWhateverItsCase) {
  Prepare(WithBoxes(kOn, kOff, kOn));
  OpenOther("LOAN.HTM");
  OpenOther("Loan.xls");
  ASSERT_EQ(OpenNames(), (std::vector<std::string>{kInvestissement, "LOAN.HTM", "Loan.xls"}));
  question.Fermer();
  EXPECT_EQ(OpenNames(), (std::vector<std::string>{kInvestissement, "Loan.xls"}));
  EXPECT_EQ(question.FichiersDeTravail()->count(), 0);
  EXPECT_EQ(Caught([&] { question.TestePoint(); }).number, vb::kObjectNotSet);
}

TEST_F(Question0719Fixture, FermerWithoutLoanHtmOnlyDropsTheReferences) {
  Prepare(WithBoxes(kOn, kOff, kOn));
  question.TestePoint();
  ASSERT_NE(question.ComplementInfo(), nullptr);
  OpenOther("Loan.htm.xls");
  question.Fermer();
  EXPECT_EQ(OpenNames(), (std::vector<std::string>{kInvestissement, "Loan.htm.xls"}));
  EXPECT_EQ(question.ComplementInfo(), nullptr);
  EXPECT_EQ(question.FichiersDeTravail()->count(), 0);
}

TEST_F(Question0719Fixture, FermerReturnsAClosingErrorButStillDropsTheReferences) {
  WithBoxes(kOn, kOff, kOn).Save(folder.Path(), kInvestissement);
  std::shared_ptr<excel::Application> failing = std::make_shared<NoWorkbooksExcel>(excel);
  Question0719 other;
  // Prepare fails at the opening, once the Application is stored.
  EXPECT_EQ(Caught([&] { other.Prepare(failing, folder.Text()); }).number, vb::kServerUnavailableHresult);
  const vb::Error error = Caught([&] { other.Fermer(); });
  EXPECT_EQ(error.number, vb::kServerUnavailableHresult);
  EXPECT_EQ(other.FichiersDeTravail()->count(), 0);
  EXPECT_EQ(Caught([&] { other.TestePoint(); }).number, vb::kObjectNotSet);
}

}  // namespace
}  // namespace r58267
