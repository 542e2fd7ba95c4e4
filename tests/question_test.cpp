// The contract that every exercise class shares, exercised through
// Question0705 on the stand-in.
#include "framework/question.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "questions/factory.h"
#include "questions/question0705.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";

// An Excel whose Range member on the active sheet fails with a given error.
class FailingRangeExcel : public test_support::ApplicationWrapper {
 public:
  FailingRangeExcel(std::shared_ptr<excel::Application> target, long number)
      : ApplicationWrapper(std::move(target)), number_(number) {}
  std::shared_ptr<excel::Range> Range(const std::string& /*address*/) override {
    throw vb::Error(number_, "injected", "Injected source");
  }

 private:
  long number_;
};

vb::Error Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error raised";
  return {0, "", ""};
}

class QuestionContractTest : public ::testing::Test {
 protected:
  void SaveSolved() { WorkbookDocument::Sample("705/solved.json").Save(folder.Path(), kThor); }
  void SaveWithEmptyB81() { WorkbookDocument::Sample("705/start.json").Save(folder.Path(), kThor); }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0705 question;
};

TEST_F(QuestionContractTest, RegistersItsWorkingFileAtCreation) {
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 1);
  EXPECT_EQ(files->Item(1), (Fichier{"05826705.xls", kThor, false}));
  EXPECT_EQ(question.Classe(), "Question0705");
}

TEST_F(QuestionContractTest, PathDossierParDefautIsEmptyUntilPrepare) {
  SaveSolved();
  EXPECT_EQ(question.PathDossierParDefaut(), "");
  question.Prepare(excel, folder.Text(), std::string("/modeles/"));
  EXPECT_EQ(question.PathDossierParDefaut(), folder.Text());
}

TEST_F(QuestionContractTest, PrepareOpensAndActivatesTheWorkbookWithoutTemplateFolder) {
  SaveSolved();
  WorkbookDocument::WithSheets({"Feuil1"}).Save(folder.Path(), "Autre.xls");
  excel->Workbooks()->Open(folder.Text() + "Autre.xls");
  question.Prepare(excel, folder.Text());
  EXPECT_EQ(excel->Workbooks()->Count(), 2);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kThor);
}

TEST_F(QuestionContractTest, PrepareAcceptsBackslashFolderTexts) {
  SaveSolved();
  std::string backslashed = folder.Text();
  for (auto& c : backslashed) c = c == '/' ? '\\' : c;
  question.Prepare(excel, backslashed);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kThor);
  EXPECT_EQ(question.PathDossierParDefaut(), backslashed);
}

TEST_F(QuestionContractTest, PrepareFailureIsReportedAndLeavesExcelAsItWas) {
  SaveSolved();
  WorkbookDocument::WithSheets({"Feuil1"}).Save(folder.Path(), "Autre.xls");
  excel->Workbooks()->Open(folder.Text() + "Autre.xls");
  // Without its final separator the folder runs into the file name.
  const std::string folderWithoutSeparator = folder.Path().string();
  const vb::Error direct = Caught([&] { excel->Workbooks()->Open(folderWithoutSeparator + kThor); });

  const vb::Error error = Caught([&] { question.Prepare(excel, folderWithoutSeparator); });
  EXPECT_EQ(error.number, direct.number);
  EXPECT_EQ(error.description, direct.description);
  EXPECT_EQ(error.source, SourceComposee("Question0705", "Prepare", direct.source));
  EXPECT_EQ(question.PathDossierParDefaut(), folderWithoutSeparator);  // set before the failing step
  EXPECT_EQ(excel->Workbooks()->Count(), 1);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Autre.xls");
}

TEST_F(QuestionContractTest, ComplementInfoIsNoneBeforeFirstCheckThenANewEmptyList) {
  SaveSolved();
  question.Prepare(excel, folder.Text());
  EXPECT_EQ(question.ComplementInfo(), nullptr);
  question.TestePoint();
  const auto first = question.ComplementInfo();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->count(), 0);
  question.TestePoint();
  EXPECT_NE(question.ComplementInfo(), first);
}

TEST_F(QuestionContractTest, CauseIsKeptAfterALaterPassingCheck) {
  SaveWithEmptyB81();
  question.Prepare(excel, folder.Text());
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "B");

  // The learner corrects the workbook.
  excel->Workbooks()->Item(kThor)->Close(false);
  SaveSolved();
  excel->Workbooks()->Open(folder.Text() + kThor);
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "B");
  EXPECT_FALSE(question.BravoNuance());
}

TEST_F(QuestionContractTest, TypeArgumentAndOverflowErrorsEndTheCheckWithAA) {
  SaveSolved();
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow}) {
    Question0705 fresh;
    std::shared_ptr<excel::Application> failing = std::make_shared<FailingRangeExcel>(excel, number);
    fresh.Prepare(failing, folder.Text());
    EXPECT_NO_THROW(fresh.TestePoint());
    EXPECT_EQ(fresh.CauseErreur(), "AA") << number;
    excel->Workbooks()->Item(kThor)->Close(false);
  }
}

TEST_F(QuestionContractTest, OtherErrorsReachTheCallerThroughTheReporter) {
  SaveSolved();
  std::shared_ptr<excel::Application> failing =
      std::make_shared<FailingRangeExcel>(excel, vb::kApplicationDefined);
  question.Prepare(failing, folder.Text());
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "injected");
  EXPECT_EQ(error.source, SourceComposee("Question0705", "TestePoint", "Injected source"));
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(QuestionContractTest, MissingSheetIsError9ReportedNotAA) {
  WorkbookDocument::Sample("705/start.json").RemoveSheet("Trimestre 1").Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(error.source.rfind("DLL R58267 - CLASSE Question0705\n\r - SERVICE TestePoint - OBJET ", 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(QuestionContractTest, FermerDropsReferencesWithoutTouchingWorkbooks) {
  SaveSolved();
  question.Prepare(excel, folder.Text());
  question.TestePoint();
  question.Fermer();
  EXPECT_EQ(question.ComplementInfo(), nullptr);
  EXPECT_EQ(question.FichiersDeTravail()->count(), 0);
  EXPECT_EQ(excel->Workbooks()->Count(), 1);
  // The check can no longer reach Excel: error 91 goes through the reporter.
  EXPECT_EQ(Caught([&] { question.TestePoint(); }).number, vb::kObjectNotSet);
}

TEST(QuestionFactoryTest, CreatesTheClassOfTheQuestionNumber) {
  const auto question = CreeQuestion(705);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(question->Classe(), "Question0705");
  EXPECT_EQ(CreeQuestion(700), nullptr);
  EXPECT_EQ(CreeQuestion(720), nullptr);
  EXPECT_EQ(CreeQuestion(-705), nullptr);
}

TEST(NormaliseFormuleTest, RemovesPlusAndDollarAndTurnsCommasIntoSemicolons) {
  EXPECT_EQ(NormaliseFormule("=+SUMIF($B$33:$B$77, B43,D33:D77)"), "=SUMIF(B33:B77; B43;D33:D77)");
  EXPECT_EQ(NormaliseFormule(""), "");
}

}  // namespace
}  // namespace r58267
