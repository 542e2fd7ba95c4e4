// Windows left open over Excel: modal dialogs and the assistant's balloon
// are closed when an exercise starts or ends; nothing else is.
#include <gtest/gtest.h>

#include "module/module.h"
#include "tests/support/module_scene.h"

namespace r58267 {
namespace {

using test_support::ModuleScene;
using test_support::WorkbookDocument;

class ModuleWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scene.Deliver(WorkbookDocument::Sample("705/solved.json"), "05826705.xls");
    scene.Init(705);
  }
  // A window above Excel's main window, owned by `owner` (Excel's by default).
  api::Hwnd Dialog(sim::WindowSpec spec, api::Hwnd owner = -1) {
    spec.owner = owner == -1 ? scene.handle : owner;
    return scene.desktop->AddWindow(spec);
  }
  static sim::WindowSpec ModalDialog(const std::string& title) {
    sim::WindowSpec spec;
    spec.className = "#32770";
    spec.title = title;
    spec.extendedStyle = api::kModalFrame;
    return spec;
  }

  ModuleScene scene;
};

TEST_F(ModuleWindowsTest, ModalDialogOwnedByExcelIsClosedAfterItsOwnDialog) {
  const api::Hwnd format = Dialog(ModalDialog("Format Cells"));
  const api::Hwnd nested = Dialog(ModalDialog("Custom Colours"), format);
  scene.module->Fermer();
  EXPECT_FALSE(scene.desktop->WindowExists(format));
  EXPECT_FALSE(scene.desktop->WindowExists(nested));
  EXPECT_EQ(scene.desktop->CloseMessages(nested), 1);
  EXPECT_EQ(scene.desktop->CloseMessages(format), 1);
}

TEST_F(ModuleWindowsTest, DialogIsClosedBeforeTheNextExerciseIsPrepared) {
  const api::Hwnd dialog = Dialog(ModalDialog("Find and Replace"));
  scene.Deliver(WorkbookDocument::Sample("705/solved.json"), "05826705.xls");
  scene.Init(705);
  EXPECT_FALSE(scene.desktop->WindowExists(dialog));
}

TEST_F(ModuleWindowsTest, WindowsThatAreNotExcelsModalDialogsStay) {
  auto untitled = ModalDialog("");
  auto hidden = ModalDialog("Hidden");
  hidden.visible = false;
  auto modeless = ModalDialog("Modeless");
  modeless.extendedStyle = 0;
  const api::Hwnd other = scene.desktop->AddWindow({"Notepad", "Notes", true});
  const std::vector<api::Hwnd> stay = {Dialog(untitled), Dialog(hidden), Dialog(modeless),
                                       Dialog(ModalDialog("Other owner"), other)};
  scene.module->Fermer();
  for (const api::Hwnd window : stay) {
    EXPECT_TRUE(scene.desktop->WindowExists(window)) << window;
    EXPECT_EQ(scene.desktop->CloseMessages(window), 0) << window;
  }
}

TEST_F(ModuleWindowsTest, OnlyOneDialogIsClosedPerCall) {
  const api::Hwnd lower = Dialog(ModalDialog("First"));
  const api::Hwnd upper = Dialog(ModalDialog("Second"));
  scene.module->Fermer();
  // The search starts just above Excel's window: the nearest dialog goes.
  EXPECT_TRUE(scene.desktop->WindowExists(upper));
  EXPECT_FALSE(scene.desktop->WindowExists(lower));
}

TEST_F(ModuleWindowsTest, BalloonIsClosedWithItsChildren) {
  const api::Hwnd balloon = scene.desktop->AddWindow({"MSOBALLOON", "", true});
  const api::Hwnd child = scene.desktop->AddChild(balloon, {"Button", "OK", true});
  const api::Hwnd grandChild = scene.desktop->AddChild(child, {"Static", "", true});
  scene.module->Fermer();
  EXPECT_FALSE(scene.desktop->WindowExists(balloon));
  EXPECT_EQ(scene.desktop->CloseMessages(grandChild), 1);
  EXPECT_EQ(scene.desktop->CloseMessages(child), 1);
  EXPECT_EQ(scene.desktop->CloseMessages(balloon), 1);
}

TEST_F(ModuleWindowsTest, ChildThatSurvivesItsCloseMessageDoesNotHang) {
  const api::Hwnd balloon = scene.desktop->AddWindow({"MSOBALLOON", "", true});
  sim::WindowSpec stubborn{"Button", "Stay", true};
  stubborn.survivesClose = true;
  const api::Hwnd first = scene.desktop->AddChild(balloon, stubborn);
  const api::Hwnd second = scene.desktop->AddChild(balloon, {"Button", "Go", true});
  scene.module->Fermer();
  EXPECT_EQ(scene.desktop->CloseMessages(first), 1);
  EXPECT_EQ(scene.desktop->CloseMessages(second), 1);
  EXPECT_EQ(scene.desktop->CloseMessages(balloon), 1);
  EXPECT_FALSE(scene.module->HasQuestion());
}

TEST_F(ModuleWindowsTest, WaitsForTheBalloonToGoLettingMessagesRun) {
  sim::WindowSpec slow{"MSOBALLOON", "", true};
  slow.pumpsToClose = 3;
  const api::Hwnd balloon = scene.desktop->AddWindow(slow);
  const int pumpsBefore = scene.desktop->MessagePumps();
  scene.module->Fermer();
  EXPECT_FALSE(scene.desktop->WindowExists(balloon));
  EXPECT_GE(scene.desktop->MessagePumps() - pumpsBefore, 3);
}

TEST_F(ModuleWindowsTest, BalloonThatNeverGoesIsWaitedForABoundedTime) {
  sim::WindowSpec stuck{"MSOBALLOON", "", true};
  stuck.survivesClose = true;
  scene.desktop->AddWindow(stuck);
  const auto start = scene.desktop->Now();
  scene.module->Fermer();
  const auto waited = scene.desktop->Now() - start;
  EXPECT_GE(waited, Module::kAttenteBulle);
  EXPECT_LE(waited, Module::kAttenteBulle + std::chrono::milliseconds(100));
  EXPECT_FALSE(scene.module->HasQuestion());
}

}  // namespace
}  // namespace r58267
