// The learner's Excel settings saved and given back, the toolbars arranged
// for the exercises, and the working files cleared and renamed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "module/module.h"
#include "tests/support/module_scene.h"

namespace r58267 {
namespace {

namespace fs = std::filesystem;
using test_support::ModuleScene;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";

class ModuleSettingsTest : public ::testing::Test {
 protected:
  // The learner's own Excel, running and visible, which the module attaches
  // to and whose settings it saves.
  std::shared_ptr<sim::ExcelApplication> LearnersExcel() {
    auto excel = scene.desktop->StartExcel(true);
    excel->State().currentFolder = learnerFolder.Path().string();
    return excel;
  }
  void Deliver705() { scene.Deliver(WorkbookDocument::Sample("705/solved.json"), "05826705.xls"); }

  ModuleScene scene;
  test_support::TempFolder learnerFolder;
};

TEST_F(ModuleSettingsTest, QuitterGivesBackTheFirst18BarsToolTipsStartupDialogAndFolder) {
  const auto excel = LearnersExcel();
  auto& bars = excel->State().commandBars;
  ASSERT_GT(bars.size(), 20u);
  bars[4].visible = true;    // bar 5, among the first 18
  bars[19].visible = false;  // bar 20, beyond them
  bars[2].visible = false;   // "Standard", which the exercises show
  excel->State().showToolTips = false;
  excel->State().showStartupDialog = false;
  Deliver705();
  scene.Init(705);

  // During the exercise.
  EXPECT_TRUE(excel->ShowToolTips());
  EXPECT_TRUE(bars[2].visible);
  bars[4].visible = false;
  bars[19].visible = true;
  excel->State().showStartupDialog = true;

  scene.module->Quitter(scene.application, scene.handle);
  EXPECT_TRUE(bars[4].visible);
  EXPECT_TRUE(bars[19].visible);  // not given back
  EXPECT_FALSE(bars[2].visible);
  EXPECT_FALSE(excel->State().showToolTips);
  EXPECT_FALSE(excel->State().showStartupDialog);
  EXPECT_EQ(excel->CurrentFolder(), learnerFolder.Path().string());
  EXPECT_TRUE(excel->HasQuit());
}

TEST_F(ModuleSettingsTest, InitCommandBarDocksTheToolbars) {
  const auto excel = LearnersExcel();
  auto& state = excel->State();
  const auto bar = [&](const std::string& name) -> sim::CommandBarModel& {
    for (auto& b : state.commandBars) {
      if (sim::SameName(b.name, name)) return b;
    }
    throw std::runtime_error("no bar " + name);
  };
  bar("Standard").position = excel::msoBarLeft;
  bar("Formatting").enabled = false;
  bar("Drawing").visible = true;
  bar("Drawing").position = excel::msoBarTop;
  bar("Task Pane").visible = true;
  Deliver705();
  scene.Init(705);
  EXPECT_EQ(bar("Standard").position, excel::msoBarTop);
  EXPECT_TRUE(bar("Formatting").enabled);
  EXPECT_TRUE(bar("Formatting").visible);
  EXPECT_EQ(bar("Drawing").position, excel::msoBarBottom);
  EXPECT_TRUE(bar("Drawing").visible);
  EXPECT_EQ(bar("Task Pane").position, excel::msoBarRight);
  EXPECT_FALSE(bar("Task Pane").visible);  // hidden at the first exercise

  // The learner shows the task pane; the next exercise shows it again.
  bar("Task Pane").visible = true;
  Deliver705();
  scene.Init(705);
  EXPECT_TRUE(bar("Task Pane").visible);
}

TEST_F(ModuleSettingsTest, HiddenDrawingBarStaysHiddenAndDisabledTaskPaneIsLeftAlone) {
  const auto excel = LearnersExcel();
  auto& bars = excel->State().commandBars;
  for (auto& b : bars) {
    if (b.name == "Drawing") b.position = excel::msoBarTop;
    if (b.name == "Task Pane") {
      b.enabled = false;
      b.position = excel::msoBarFloating;
    }
  }
  Deliver705();
  scene.Init(705);
  for (const auto& b : bars) {
    if (b.name == "Drawing") {
      EXPECT_TRUE(b.enabled);
      EXPECT_FALSE(b.visible);
      EXPECT_EQ(b.position, excel::msoBarTop);
    }
    if (b.name == "Task Pane") {
      EXPECT_FALSE(b.enabled);
      EXPECT_EQ(b.position, excel::msoBarFloating);
    }
  }
}

TEST_F(ModuleSettingsTest, CommentIndicatorsComeBackAtEachClose) {
  const auto excel = LearnersExcel();
  excel->State().displayCommentIndicator = excel::xlCommentAndIndicator;
  Deliver705();
  scene.Init(705);
  EXPECT_EQ(excel->State().displayCommentIndicator, excel::xlNoIndicator);
  scene.module->Fermer();
  EXPECT_EQ(excel->State().displayCommentIndicator, excel::xlCommentAndIndicator);
}

TEST_F(ModuleSettingsTest, LentExcelKeepsTheExerciseSettingsAfterQuitter) {
  const auto lent = LearnersExcel();
  lent->State().showToolTips = false;
  scene.application = lent;
  scene.handle = scene.desktop->MainWindow(lent);
  Deliver705();
  scene.Init(705);
  scene.module->Quitter(scene.application, scene.handle);
  EXPECT_TRUE(lent->State().showToolTips);
  EXPECT_EQ(lent->CurrentFolder(), scene.work.Path().string());
  EXPECT_FALSE(lent->HasQuit());
}

// ---- working files ----

void Touch(const fs::path& path) { std::ofstream(path) << "{}"; }

TEST_F(ModuleSettingsTest, ReadOnlyFilesAreDeletedAndRenamed) {
  LearnersExcel();
  Touch(scene.work.Path() / kThor);  // left by an earlier attempt
  fs::permissions(scene.work.Path() / kThor, fs::perms::owner_read, fs::perm_options::replace);
  Deliver705();
  fs::permissions(scene.work.Path() / "05826705.xls", fs::perms::owner_read, fs::perm_options::replace);
  scene.Init(705);
  EXPECT_FALSE(fs::exists(scene.work.Path() / "05826705.xls"));
  EXPECT_EQ(scene.application->ActiveWorkbook()->Name(), kThor);
}

TEST_F(ModuleSettingsTest, OpenWorkbookOfTheSameNameIsClosedWhateverItsCase) {
  const auto excel = LearnersExcel();
  test_support::TempFolder elsewhere;
  WorkbookDocument::WithSheets({"Feuil1"}).Save(elsewhere.Path(), "THOR INTERNATIONAL.XLS");
  excel->Workbooks()->Open(elsewhere.Text() + "THOR INTERNATIONAL.XLS");
  Deliver705();
  scene.Init(705);
  ASSERT_EQ(excel->Workbooks()->Count(), 1);
  EXPECT_EQ(excel->Workbooks()->Item(1L)->Name(), kThor);
  EXPECT_TRUE(fs::exists(elsewhere.Path() / "THOR INTERNATIONAL.XLS"));  // another folder's file stays
}

TEST_F(ModuleSettingsTest, ExerciseFilesInTheTemplateFolderAreHandledThere) {
  LearnersExcel();
  // An exercise whose second file lives in the template folder.
  auto fabrique = [](long numero) -> std::shared_ptr<Question> {
    auto q = std::make_shared<test_support::QuestionFactice>(
        numero, std::vector<std::pair<std::string, std::string>>{{"05826705.xls", kThor}});
    q->FichiersDeTravail()->add("modele.src", "modele.xlt", true);
    q->FichiersDeTravail()->add("", "vide.xls", false);
    return q;
  };
  Deliver705();
  fs::create_directories(scene.TemplateFolder());
  Touch(fs::path(scene.TemplateFolder()) / "modele.src");
  Touch(scene.work.Path() / "vide.xls");
  scene.Module(fabrique);
  scene.Init(705);
  EXPECT_TRUE(fs::exists(fs::path(scene.TemplateFolder()) / "modele.xlt"));
  EXPECT_FALSE(fs::exists(fs::path(scene.TemplateFolder()) / "modele.src"));
  EXPECT_FALSE(fs::exists(scene.work.Path() / "vide.xls"));  // deleted, nothing renamed to it
}

}  // namespace
}  // namespace r58267
