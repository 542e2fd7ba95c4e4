// The common frame of TestePoint, for every exercise of the chapter: an
// error that no inner trap takes ends the check with "AA" when it is a
// type, argument or overflow error, and otherwise reaches the caller
// through the reporter, the cause left as it was.
#include <gtest/gtest.h>

#include <fstream>

#include "framework/remonte_erreur.h"
#include "questions/factory.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

// An Excel whose every member fails with `number` once armed.
class ArmedExcel : public test_support::ApplicationWrapper {
 public:
  using ApplicationWrapper::ApplicationWrapper;
  long number = 0;

 protected:
  void Before() override {
    if (number != 0) throw vb::Error(number, "injected", "Injected source");
  }
};

class ExerciseFrameTest : public ::testing::TestWithParam<long> {
 protected:
  // The question prepared on its passing sample, Excel armed to fail.
  std::shared_ptr<Question> Prepared(long number) {
    const std::string folderName = std::to_string(GetParam());
    std::ifstream in(std::filesystem::path(R58267_SAMPLES_DIR) / folderName / "outcomes.json");
    const auto manifest = nlohmann::json::parse(in);
    auto question = CreeQuestion(GetParam());
    const auto files = question->FichiersDeTravail();
    for (const auto& sample : manifest.at("samples")) {
      if (!sample.at("passed").get<bool>()) continue;
      const auto names =
          sample.contains("files") ? sample.at("files") : nlohmann::json::array({sample.at("file")});
      for (std::int32_t i = 1; i <= files->count(); ++i) {
        WorkbookDocument::Sample(folderName + "/" +
                                 names.at(static_cast<std::size_t>(i - 1)).get<std::string>())
            .Save(folder.Path(), files->Item(i).NomDest);
      }
      break;
    }
    std::shared_ptr<excel::Application> application = excel;
    question->Prepare(application, folder.Text());
    excel->number = number;
    return question;
  }

  test_support::TempFolder folder;
  std::shared_ptr<ArmedExcel> excel = std::make_shared<ArmedExcel>(sim::ExcelApplication::Create());
};

TEST_P(ExerciseFrameTest, TypeArgumentAndOverflowErrorsGiveAA) {
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow}) {
    const auto question = Prepared(number);
    EXPECT_NO_THROW(question->TestePoint()) << number;
    EXPECT_EQ(question->CauseErreur(), "AA") << number;
    excel->number = 0;
    for (long open = excel->Workbooks()->Count(); open >= 1; --open)
      excel->Workbooks()->Item(open)->Close(false);
  }
}

TEST_P(ExerciseFrameTest, OtherErrorsAreReportedAndTheCauseIsKept) {
  const auto question = Prepared(vb::kApplicationDefined);
  try {
    question->TestePoint();
    ADD_FAILURE() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kApplicationDefined);
    EXPECT_EQ(error.description, "injected");
    EXPECT_EQ(error.source, SourceComposee(question->Classe(), "TestePoint", "Injected source"));
  }
  EXPECT_EQ(question->CauseErreur(), "");
  EXPECT_FALSE(question->BravoNuance());
  ASSERT_NE(question->ComplementInfo(), nullptr);
  EXPECT_EQ(question->ComplementInfo()->count(), 0);
}

TEST_P(ExerciseFrameTest, RegistersItsDeliveredFilesAndExplainsItsCauses) {
  const auto question = CreeQuestion(GetParam());
  EXPECT_EQ(question->Classe(), "Question0" + std::to_string(GetParam()));
  const auto files = question->FichiersDeTravail();
  ASSERT_GE(files->count(), 1);
  EXPECT_EQ(files->Item(1).NomSource, "05826" + std::to_string(GetParam()) + ".xls");
  for (std::int32_t i = 1; i <= files->count(); ++i) EXPECT_FALSE(files->Item(i).Modele);
  const Fiche* fiche = FicheDeQuestion(GetParam());
  ASSERT_NE(fiche, nullptr);
  EXPECT_EQ(fiche->question, GetParam());
  EXPECT_FALSE(fiche->tache.empty());
  EXPECT_FALSE(fiche->causes.empty());
  for (const auto& cause : fiche->causes) EXPECT_FALSE(cause.sens.empty()) << cause.code;
}

INSTANTIATE_TEST_SUITE_P(EveryExercise, ExerciseFrameTest, ::testing::Range(701L, 720L));

}  // namespace
}  // namespace r58267
