// The host module on the stand-in: obtaining or borrowing Excel, the order
// of InitQuestion's steps, TestePoint's outcome codes, closing and quitting.
#include "module/module.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "framework/remonte_erreur.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/module_scene.h"

namespace r58267 {
namespace {

namespace fs = std::filesystem;
using test_support::ModuleScene;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";

vb::Error Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error raised";
  return {0, "", ""};
}

class ModuleTest : public ::testing::Test {
 protected:
  void Deliver705(const char* sample = "705/solved.json") {
    scene.Deliver(WorkbookDocument::Sample(sample), "05826705.xls");
  }
  // An exercise whose check records that it ran and then does `teste`.
  Module& ModuleFactice(std::function<void(test_support::QuestionFactice&)> teste = {}, bool ouvre = true) {
    scene.Deliver(WorkbookDocument::Sample("705/solved.json"), "05826705.xls");
    return scene.Module(
        test_support::FabriqueFactice({{"05826705.xls", kThor}}, ouvre, std::move(teste), &question));
  }

  ModuleScene scene;
  std::shared_ptr<test_support::QuestionFactice> question;
};

// ---- Excel obtained or lent ----

TEST_F(ModuleTest, WithoutApplicationStartsExcelAndHandsItBack) {
  Deliver705();
  scene.Init(705);
  ASSERT_NE(scene.application, nullptr);
  ASSERT_EQ(scene.desktop->Instances().size(), 1u);
  EXPECT_EQ(scene.application, scene.desktop->Instances().front());
  EXPECT_EQ(scene.handle, scene.desktop->MainWindow(scene.Excel()));
  EXPECT_TRUE(scene.module->ParamSauves());
  EXPECT_TRUE(scene.desktop->IsWindowVisible(scene.handle));
  EXPECT_EQ(scene.desktop->ForegroundWindow(), scene.handle);
}

TEST_F(ModuleTest, InitQuestionPreparesTheExerciseAndSetsUpExcel) {
  Deliver705();
  scene.Init(705);
  auto& excel = *scene.application;
  EXPECT_FALSE(fs::exists(scene.work.Path() / "05826705.xls"));
  EXPECT_TRUE(fs::exists(scene.work.Path() / kThor));
  EXPECT_EQ(excel.ActiveWorkbook()->Name(), kThor);
  EXPECT_EQ(scene.Excel()->CurrentFolder(), scene.work.Path().string());
  EXPECT_TRUE(excel.ShowToolTips());
  EXPECT_EQ(excel.DisplayCommentIndicator(), excel::xlNoIndicator);
  EXPECT_EQ(excel.ActiveWindow()->WindowState(), excel::xlMaximized);
  EXPECT_EQ(scene.desktop->ShowCommand(scene.handle), api::kShowMaximized);
  EXPECT_TRUE(fs::is_directory(scene.TemplateFolder()));
  EXPECT_EQ(scene.module->PathModele(), scene.templates.Text() + "ORVA Modèles\\");
}

TEST_F(ModuleTest, ReleasesTheWindowUpdateLockAtTheEndOfInitQuestion) {
  Deliver705();
  scene.Init(705);
  EXPECT_EQ(scene.desktop->LockedWindow(), 0);
}

TEST_F(ModuleTest, AttachesToARunningVisibleExcel) {
  const auto running = scene.desktop->StartExcel(true);
  Deliver705();
  scene.Init(705);
  EXPECT_EQ(scene.application, running);
  EXPECT_EQ(scene.desktop->Instances().size(), 1u);
}

TEST_F(ModuleTest, StartsANewExcelBesideAHiddenOne) {
  const auto hidden = scene.desktop->StartExcel(false);
  Deliver705();
  scene.Init(705);
  EXPECT_NE(scene.application, hidden);
  EXPECT_EQ(scene.desktop->Instances().size(), 2u);
  EXPECT_TRUE(scene.Excel()->State().visible);
}

TEST_F(ModuleTest, LentExcelWithHiddenWindowIsQuitAndReplaced) {
  const auto lent = scene.desktop->StartExcel(true);
  scene.application = lent;
  scene.handle = scene.desktop->MainWindow(lent);
  scene.desktop->ShowWindow(scene.handle, 0);
  Deliver705();
  scene.Init(705);
  EXPECT_TRUE(lent->HasQuit());
  EXPECT_NE(scene.application, lent);
  EXPECT_EQ(scene.handle, scene.desktop->MainWindow(scene.Excel()));
  EXPECT_TRUE(scene.module->ParamSauves());
}

TEST_F(ModuleTest, ParamSauvesKeptWithTheSameApplicationAndLostWithAnother) {
  Deliver705();
  scene.Init(705);
  const auto own = scene.application;
  Deliver705();
  scene.Init(705);
  EXPECT_TRUE(scene.module->ParamSauves());
  EXPECT_EQ(scene.application, own);

  const auto other = scene.desktop->StartExcel(true);
  scene.application = other;
  scene.handle = scene.desktop->MainWindow(other);
  Deliver705();
  scene.Init(705);
  EXPECT_FALSE(scene.module->ParamSauves());

  // A lent Excel is neither restored nor closed.
  other->ShowToolTips(true);
  scene.module->Quitter(scene.application, scene.handle);
  EXPECT_FALSE(other->HasQuit());
  EXPECT_EQ(scene.application, other);
  EXPECT_EQ(scene.handle, scene.desktop->MainWindow(other));
  EXPECT_EQ(other->CurrentFolder(), scene.work.Path().string());
}

TEST_F(ModuleTest, QuitterQuitsExcelWhenNoWorkbookIsLeft) {
  Deliver705();
  scene.Init(705);
  const auto excel = scene.Excel();
  scene.module->Quitter(scene.application, scene.handle);
  EXPECT_TRUE(excel->HasQuit());
  EXPECT_EQ(scene.application, nullptr);
  EXPECT_EQ(scene.handle, 0);
  EXPECT_FALSE(scene.module->HasQuestion());
  EXPECT_FALSE(fs::exists(scene.work.Path() / kThor));
}

TEST_F(ModuleTest, QuitterMinimisesExcelWhenAWorkbookIsOpen) {
  Deliver705();
  scene.Init(705);
  const auto excel = scene.Excel();
  const api::Hwnd window = scene.handle;
  excel->Workbooks()->Add();
  scene.module->Quitter(scene.application, scene.handle);
  EXPECT_FALSE(excel->HasQuit());
  EXPECT_EQ(scene.desktop->ShowCommand(window), api::kShowMinimized);
  EXPECT_EQ(scene.application, nullptr);
  // A second Quitter finds nothing left to do.
  EXPECT_NO_THROW(scene.module->Quitter(scene.application, scene.handle));
}

TEST_F(ModuleTest, ExerciseOpeningNoWorkbookGetsABlankOneAndTheTaskPane) {
  // Question 717 leaves the window alone: with no workbook there is no
  // active window to maximise.
  ModuleFactice({}, /*ouvre=*/false);
  // The exercise's own workbook is not open, so activating it fails.
  const vb::Error error = Caught([&] { scene.Init(717); });
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(error.source.rfind(SourceComposee("Module", "InitQuestion", ""), 0), 0u);
  auto& excel = *scene.application;
  EXPECT_EQ(excel.Workbooks()->Count(), 1);
  EXPECT_TRUE(excel.ShowStartupDialog());
  const auto pane = excel.CommandBars()->Item("Task Pane");
  EXPECT_TRUE(pane->Visible());
  EXPECT_EQ(pane->Position(), excel::msoBarRight);
}

TEST_F(ModuleTest, Question717KeepsTheWindowStateOthersMaximise) {
  auto& module = ModuleFactice();
  scene.Init(717);
  EXPECT_EQ(scene.application->ActiveWindow()->WindowState(), excel::xlNormal);
  scene.application->ActiveWindow()->WindowState(excel::xlNormal);
  ModuleFactice();
  module.InitQuestion(716, scene.work.Text(), scene.application, scene.handle);
  EXPECT_EQ(scene.application->ActiveWindow()->WindowState(), excel::xlMaximized);
}

TEST_F(ModuleTest, TemplateFolderIsAlwaysTheComputedOne) {
  Deliver705();
  scene.Module().InitQuestion(705, scene.work.Text(), scene.application, scene.handle,
                              std::string("/ailleurs/"));
  EXPECT_EQ(scene.module->PathModele(), scene.templates.Text() + "ORVA Modèles\\");
}

TEST_F(ModuleTest, TemplateFolderThatCannotBeCreatedFailsWithoutHanging) {
  scene.desktop->DenyFolderCreation(scene.templates.Text());
  Deliver705();
  const auto start = scene.desktop->Now();
  const vb::Error error = Caught([&] { scene.Init(705); });
  EXPECT_EQ(error.number, vb::kPathFileAccess);
  EXPECT_NE(error.description.find("ORVA Modèles"), std::string::npos);
  EXPECT_EQ(error.source, SourceComposee("Module", "InitQuestion", vb::kRuntimeSource));
  EXPECT_LE(scene.desktop->Now() - start, Module::kAttenteDossierModele + std::chrono::seconds(1));
  EXPECT_GT(scene.desktop->MessagePumps(), 0);
}

TEST_F(ModuleTest, UnknownQuestionFailsInNettoyage) {
  Deliver705();
  const vb::Error error = Caught([&] { scene.Init(700); });
  EXPECT_EQ(error.number, vb::kObjectNotSet);
  EXPECT_EQ(error.source, SourceComposee("Module", "Nettoyage", vb::kRuntimeSource));
  EXPECT_FALSE(scene.module->HasQuestion());
  EXPECT_TRUE(fs::exists(scene.work.Path() / "05826705.xls"));  // not renamed

  // TestePoint then ends with AN; the exercise's properties fail.
  scene.module->TestePoint();
  EXPECT_TRUE(scene.module->ErreurGenerale());
  EXPECT_EQ(scene.module->CauseErreur(), "AN");
  EXPECT_EQ(Caught([&] { (void)scene.module->BravoNuance(); }).number, vb::kObjectNotSet);
  EXPECT_EQ(Caught([&] { (void)scene.module->Complement(); }).number, vb::kObjectNotSet);
}

TEST_F(ModuleTest, MissingDeliveredFileFailsInRenomme) {
  // Nothing delivered: the rename finds no file.
  const vb::Error error = Caught([&] { scene.Init(705); });
  EXPECT_EQ(error.number, vb::kFileNotFound);
  EXPECT_EQ(error.source, SourceComposee("Module", "Renomme", vb::kRuntimeSource));
  // Excel was obtained, and its window's drawing unlocked although the call failed.
  EXPECT_NE(scene.application, nullptr);
  EXPECT_EQ(scene.desktop->LockedWindow(), 0);
}

// An Excel whose settings cannot be read: SaveParamUser fails.
class DesktopWithoutToolTips : public sim::Desktop {
 public:
  using sim::Desktop::Desktop;
  std::shared_ptr<excel::Application> CreateObject(const std::string& className) override {
    struct Failing : test_support::ApplicationWrapper {
      using ApplicationWrapper::ApplicationWrapper;
      using ApplicationWrapper::ShowToolTips;
      bool ShowToolTips() override { vb::Raise(vb::kApplicationDefined); }
    };
    return std::make_shared<Failing>(sim::Desktop::CreateObject(className));
  }
};

TEST_F(ModuleTest, FailingSaveParamUserUnlocksDrawing) {
  const auto desktop = std::make_shared<DesktopWithoutToolTips>(
      sim::DesktopOptions{scene.templates.Text(), scene.library.Path().string()});
  scene.desktop = desktop;
  Deliver705();
  const vb::Error error = Caught([&] { scene.Init(705); });
  EXPECT_EQ(error.source, SourceComposee("Module", "SaveParamUser", vb::kRuntimeSource));
  EXPECT_EQ(desktop->LockedWindow(), 0);
}

// ---- TestePoint ----

TEST_F(ModuleTest, SolvedExerciseHasNoGeneralErrorAndNoCause) {
  Deliver705();
  scene.Init(705);
  scene.module->TestePoint();
  EXPECT_FALSE(scene.module->ErreurGenerale());
  EXPECT_EQ(scene.module->CauseErreur(), "");
  EXPECT_FALSE(scene.module->BravoNuance());
  ASSERT_NE(scene.module->Complement(), nullptr);
  EXPECT_EQ(scene.module->Complement()->count(), 0);
}

TEST_F(ModuleTest, ExerciseCauseIsReturnedWithoutGeneralError) {
  Deliver705("705/start.json");
  scene.Init(705);
  scene.module->TestePoint();
  EXPECT_FALSE(scene.module->ErreurGenerale());
  EXPECT_EQ(scene.module->CauseErreur(), "B");
}

TEST_F(ModuleTest, ClosedExcelWindowGivesAM) {
  Deliver705();
  scene.Init(705);
  scene.desktop->CloseMainWindow(scene.Excel());
  scene.module->TestePoint();
  EXPECT_TRUE(scene.module->ErreurGenerale());
  EXPECT_EQ(scene.module->CauseErreur(), "AM");
}

TEST_F(ModuleTest, ExcelNotAnsweringGivesALWithoutEscape) {
  Deliver705();
  scene.Init(705);
  scene.Excel()->SetResponding(false);
  scene.module->TestePoint();
  EXPECT_TRUE(scene.module->ErreurGenerale());
  EXPECT_EQ(scene.module->CauseErreur(), "%AL");
  EXPECT_EQ(scene.desktop->EscapesSent(), 0);
}

TEST_F(ModuleTest, AAFromTheExerciseBecomesAGeneralError) {
  auto& module = ModuleFactice([](test_support::QuestionFactice&) { vb::Raise(vb::kTypeMismatch); });
  scene.Init(705);
  module.TestePoint();
  EXPECT_TRUE(module.ErreurGenerale());
  EXPECT_EQ(module.CauseErreur(), "AA");
}

TEST_F(ModuleTest, ExerciseErrorMakesTestePointFailWithoutGeneralError) {
  auto& module = ModuleFactice([](test_support::QuestionFactice&) { vb::Raise(vb::kSubscriptOutOfRange); });
  scene.Init(705);
  const vb::Error error = Caught([&] { module.TestePoint(); });
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(error.source, SourceComposee("Question0705", "TestePoint", vb::kRuntimeSource));
  EXPECT_FALSE(module.ErreurGenerale());
}

TEST_F(ModuleTest, FailedStructureCheckKeepsTheModuleCode) {
  int runs = 0;
  scene.Deliver(WorkbookDocument::Sample("705/solved.json").RemoveSheet("Ondine"), "05826705.xls");
  auto& module = scene.Module(test_support::FabriqueFactice({{"05826705.xls", kThor}}, true,
                                                            [&runs](test_support::QuestionFactice& q) {
                                                              ++runs;
                                                              q.Cause("Z");
                                                            }));
  scene.Init(705);
  module.TestePoint();
  EXPECT_TRUE(module.ErreurGenerale());
  EXPECT_EQ(module.CauseErreur(), "P");
  EXPECT_EQ(runs, 0);
}

// ---- closing ----

TEST_F(ModuleTest, FermerClosesTheWorkbookUnsavedAndDeletesItsFile) {
  Deliver705();
  scene.Init(705);
  scene.module->Fermer();
  EXPECT_EQ(scene.application->Workbooks()->Count(), 0);
  EXPECT_FALSE(fs::exists(scene.work.Path() / kThor));
  EXPECT_FALSE(scene.module->HasQuestion());
  EXPECT_EQ(scene.application->DisplayCommentIndicator(), excel::xlCommentIndicatorOnly);
}

TEST_F(ModuleTest, NextInitQuestionClosesThePreviousExercise) {
  auto& module = ModuleFactice();
  scene.Init(705);
  const auto first = question;
  ModuleFactice();
  module.InitQuestion(705, scene.work.Text(), scene.application, scene.handle);
  EXPECT_EQ(first->fermetures, 1);
  EXPECT_NE(question, first);
}

TEST_F(ModuleTest, DestructionClosesTheHeldExercise) {
  ModuleFactice();
  scene.Init(705);
  const auto held = question;
  scene.module.reset();
  EXPECT_EQ(held->fermetures, 1);
  // Nothing else is closed.
  EXPECT_EQ(scene.application->Workbooks()->Count(), 1);
}

TEST_F(ModuleTest, ClosingWithoutExcelWindowSendsEscapeFirst) {
  Deliver705();
  scene.Init(705);
  scene.desktop->CloseMainWindow(scene.Excel());
  scene.module->Fermer();
  EXPECT_EQ(scene.desktop->EscapesSent(), 1);
}

}  // namespace
}  // namespace r58267
