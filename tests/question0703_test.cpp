#include "questions/question0703.h"

#include <gtest/gtest.h>

#include <array>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr long kOn = excel::xlOn;
constexpr long kOff = excel::xlOff;
constexpr long kMixed = excel::xlMixed;

// The 703 workbook with the three boxes in the given states, started on
// `activeSheet`.
WorkbookDocument Boxes(const std::array<long, 3>& states, const char* activeSheet = "Trimestre 2") {
  auto document = WorkbookDocument::Sample("703/start.json");
  for (auto& shape : document.json["sheets"][1]["shapes"]) {
    const std::string name = shape["name"];
    for (size_t k = 0; k < states.size(); ++k) {
      if (name == "Case à cocher " + std::to_string(k + 1)) shape["value"] = states[k];
    }
  }
  document.json["activeSheet"] = activeSheet;
  return document;
}

using test_support::FailingSelectionExcel;

class Question0703Fixture {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kThor);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }
  sim::SheetModel& Trimestre2() { return simExcel->State().workbooks.front()->Sheet("trimestre 2"); }
  vb::Error Caught() {
    try {
      question.TestePoint();
    } catch (const vb::Error& error) {
      return error;
    }
    ADD_FAILURE() << "no error raised";
    return {0, "", ""};
  }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> simExcel = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> excel = simExcel;
  Question0703 question;
};

struct Case {
  const char* name;
  std::array<long, 3> states;
  const char* activeSheet;
  const char* cause;  // "" when the exercise is passed
};

class Question0703Test : public Question0703Fixture, public ::testing::TestWithParam<Case> {};

TEST_P(Question0703Test, GivesTheCauseOfTheBoxesAndProtectsTheSheetAgain) {
  EXPECT_EQ(Check(Boxes(GetParam().states, GetParam().activeSheet)), GetParam().cause);
  EXPECT_TRUE(Trimestre2().isProtected);
  EXPECT_EQ(Trimestre2().password, "");
  EXPECT_EQ(excel->ActiveSheet()->Name(), GetParam().activeSheet);
  // The last box stays selected on the answer sheet.
  EXPECT_EQ(Trimestre2().selection.shapeName, "Case à cocher 3");
  EXPECT_FALSE(question.BravoNuance());
}

const Case kCases[] = {
    {"OnlyBox1", {kOn, kOff, kOff}, "Trimestre 2", ""},
    {"OnlyBox1FromTrimestre1", {kOn, kOff, kOff}, "Trimestre 1", ""},
    {"NoBox", {kOff, kOff, kOff}, "Trimestre 2", "A"},
    {"NoBoxFromOndine", {kOff, kOff, kOff}, "Ondine", "A"},
    {"Boxes1And2", {kOn, kOn, kOff}, "Trimestre 2", "B"},
    {"OnlyBox2", {kOff, kOn, kOff}, "Trimestre 2", "B"},
    {"OnlyBox3", {kOff, kOff, kOn}, "Trimestre 1", "B"},
    {"AllBoxes", {kOn, kOn, kOn}, "Trimestre 2", "B"},
    {"Box1Mixed", {kMixed, kOff, kOff}, "Trimestre 2", "B"},
    {"Box3MixedWithBox1", {kOn, kOff, kMixed}, "Ondine", "B"},
    {"AllMixedIsNotA", {kMixed, kMixed, kMixed}, "Trimestre 2", "B"},
};

INSTANTIATE_TEST_SUITE_P(CheckBoxes, Question0703Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

class Question0703EdgeTest : public Question0703Fixture, public ::testing::Test {};

TEST_F(Question0703EdgeTest, UnprotectedSheetEndsProtected) {
  auto document = Boxes({kOn, kOff, kOff});
  document.SheetField("Trimestre 2", "protected", false);
  EXPECT_EQ(Check(document), "");
  EXPECT_TRUE(Trimestre2().isProtected);
}

TEST_F(Question0703EdgeTest, PasswordProtectedSheetIsAReportedError) {
  auto document = Boxes({kOn, kOff, kOff});
  document.SheetField("Trimestre 2", "password", "lucien");
  document.Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.source.rfind(SourceComposee("Question0703", "TestePoint", ""), 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_TRUE(Trimestre2().isProtected);
  EXPECT_EQ(Trimestre2().password, "lucien");
}

TEST_F(Question0703EdgeTest, MissingBoxIsReportedAndLeavesTheSheetUnprotected) {
  auto document = Boxes({kOn, kOff, kOff});
  document.json["sheets"][1]["shapes"][2]["name"] = "Case à cocher 4";
  document.Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kInvalidArgumentHresult);
  EXPECT_EQ(error.source.rfind(SourceComposee("Question0703", "TestePoint", ""), 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
  EXPECT_FALSE(Trimestre2().isProtected);
}

TEST_F(Question0703EdgeTest, ReadsTheActiveWorkbook) {
  Boxes({kOn, kOff, kOff}).Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  excel->Workbooks()->Add();  // a blank workbook becomes the active one
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0703EdgeTest, TypeErrorsGiveAAAndLeaveTheSheetUnprotected) {
  Boxes({kOn, kOff, kOff}).Save(folder.Path(), kThor);
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow}) {
    Question0703 fresh;
    std::shared_ptr<excel::Application> failing = std::make_shared<FailingSelectionExcel>(excel, number);
    fresh.Prepare(failing, folder.Text());
    EXPECT_NO_THROW(fresh.TestePoint());
    EXPECT_EQ(fresh.CauseErreur(), "AA") << number;
    EXPECT_FALSE(Trimestre2().isProtected);
    excel->Workbooks()->Item(kThor)->Close(false);
  }
}

TEST_F(Question0703EdgeTest, OtherErrorsAreReportedWithTheirSource) {
  Boxes({kOn, kOff, kOff}).Save(folder.Path(), kThor);
  std::shared_ptr<excel::Application> failing =
      std::make_shared<FailingSelectionExcel>(excel, vb::kApplicationDefined);
  question.Prepare(failing, folder.Text());
  try {
    question.TestePoint();
    ADD_FAILURE() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kApplicationDefined);
    EXPECT_EQ(error.description, "injected");
    EXPECT_EQ(error.source, SourceComposee("Question0703", "TestePoint", "Injected source"));
  }
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0703EdgeTest, CheckedTwiceAfterTheLearnerTicksBox1) {
  EXPECT_EQ(Check(Boxes({kOff, kOff, kOff})), "A");
  // The learner ticks box 1; the earlier cause stays.
  Trimestre2().shapes[0].value = kOn;
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "A");
  EXPECT_TRUE(Trimestre2().isProtected);
}

TEST(Question0703FileTest, RegistersItsWorkingFile) {
  Question0703 question;
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 1);
  EXPECT_EQ(files->Item(1), (Fichier{"05826703.xls", kThor, false}));
  EXPECT_EQ(question.Classe(), "Question0703");
}

}  // namespace
}  // namespace r58267
