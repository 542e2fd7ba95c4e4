// The simulated desktop, automation runtime and file system that the host
// module runs on.
#include "sim/desktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/document.h"
#include "tests/support/workbook_document.h"

namespace {

namespace fs = std::filesystem;

long ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error.number;
  }
  return 0;
}

class DesktopTest : public ::testing::Test {
 protected:
  test_support::TempFolder folder;
  sim::Desktop desktop{sim::DesktopOptions{folder.Text() + "Templates/", folder.Path().string()}};
};

TEST_F(DesktopTest, ZOrderAndOwnership) {
  const api::Hwnd main = desktop.AddWindow({"XLMAIN", "Excel", true});
  const api::Hwnd dialog = desktop.AddWindow({"#32770", "Dialog", true, api::kModalFrame, main});
  const api::Hwnd other = desktop.AddWindow({"Notepad", "Notes", true});
  EXPECT_EQ(desktop.GetWindow(main, api::kWindowAbove), dialog);
  EXPECT_EQ(desktop.GetWindow(dialog, api::kWindowAbove), other);
  EXPECT_EQ(desktop.GetWindow(other, api::kWindowAbove), 0);
  EXPECT_EQ(desktop.GetParent(dialog), main);
  EXPECT_EQ(desktop.GetWindowLongA(dialog, api::kExtendedStyle), api::kModalFrame);
  EXPECT_EQ(desktop.GetWindowTextA(dialog, 4), "Dia");

  // Bringing the owner forward keeps its dialog above it.
  EXPECT_TRUE(desktop.SetForegroundWindow(main));
  EXPECT_EQ(desktop.ForegroundWindow(), main);
  EXPECT_EQ(desktop.GetWindow(main, api::kWindowAbove), dialog);
  EXPECT_EQ(desktop.GetWindow(dialog, api::kWindowAbove), 0);

  // Closing the owner takes its owned window with it.
  desktop.SendMessageA(main, api::kCloseMessage, 0, 0);
  EXPECT_FALSE(desktop.WindowExists(dialog));
  EXPECT_EQ(desktop.FindWindowA(std::string("xlmain"), std::nullopt), 0);
}

TEST_F(DesktopTest, ChildrenAreFoundInOrderAndHiddenWithTheirParent) {
  const api::Hwnd parent = desktop.AddWindow({"MSOBALLOON", "", true});
  const api::Hwnd first = desktop.AddChild(parent, {"Button", "OK", true});
  const api::Hwnd second = desktop.AddChild(parent, {"Button", "Cancel", true});
  EXPECT_EQ(desktop.FindWindowExA(parent, 0, std::nullopt, std::nullopt), first);
  EXPECT_EQ(desktop.FindWindowExA(parent, first, std::nullopt, std::nullopt), second);
  EXPECT_EQ(desktop.FindWindowExA(parent, second, std::nullopt, std::nullopt), 0);
  EXPECT_EQ(desktop.FindWindowExA(parent, 0, std::nullopt, std::string("Cancel")), second);
  desktop.ShowWindow(parent, 0);
  EXPECT_FALSE(desktop.IsWindowVisible(first));
  EXPECT_NE(desktop.FindWindowA(std::string("MSOBALLOON"), std::nullopt), 0);  // hidden windows are found
}

TEST_F(DesktopTest, OnlyOneWindowIsLockedAtATime) {
  const api::Hwnd a = desktop.AddWindow({"A", "a", true});
  const api::Hwnd b = desktop.AddWindow({"B", "b", true});
  EXPECT_TRUE(desktop.LockWindowUpdate(a));
  EXPECT_FALSE(desktop.LockWindowUpdate(b));
  EXPECT_TRUE(desktop.LockWindowUpdate(0));
  EXPECT_TRUE(desktop.LockWindowUpdate(b));
  EXPECT_EQ(desktop.LockedWindow(), b);
}

TEST_F(DesktopTest, ExcelsMainWindowFollowsTheInstance) {
  EXPECT_EQ(ErrorNumberOf([&] { desktop.GetActiveObject(api::kExcelClass); }), vb::kCannotCreateObject);
  EXPECT_EQ(ErrorNumberOf([&] { desktop.CreateObject("Word.Application"); }), vb::kCannotCreateObject);
  const auto created = desktop.CreateObject(api::kExcelClass);
  const api::Hwnd main = desktop.FindWindowA(std::string("XLMAIN"), std::nullopt);
  ASSERT_NE(main, 0);
  EXPECT_FALSE(desktop.IsWindowVisible(main));  // a new automation instance is hidden
  created->Visible(true);
  EXPECT_TRUE(desktop.IsWindowVisible(main));
  EXPECT_EQ(desktop.GetActiveObject(api::kExcelClass), created);
  created->Quit();
  EXPECT_FALSE(desktop.WindowExists(main));
  EXPECT_EQ(ErrorNumberOf([&] { desktop.GetActiveObject(api::kExcelClass); }), vb::kCannotCreateObject);
}

TEST_F(DesktopTest, CellEditModeEndsWithAnEscapeToExcel) {
  const auto excel = desktop.StartExcel(true);
  desktop.SetCellEditMode(excel, true);
  EXPECT_EQ(ErrorNumberOf([&] { excel->Windows(); }), vb::kServerBusyHresult);
  const api::Hwnd other = desktop.AddWindow({"Notepad", "Notes", true});
  desktop.SetForegroundWindow(other);
  desktop.SendEscape();  // to another window: Excel stays busy
  EXPECT_EQ(ErrorNumberOf([&] { excel->Windows(); }), vb::kServerBusyHresult);
  desktop.SetForegroundWindow(desktop.MainWindow(excel));
  desktop.SendEscape();
  EXPECT_EQ(ErrorNumberOf([&] { excel->Windows(); }), 0);
  EXPECT_EQ(desktop.EscapesSent(), 2);
}

TEST_F(DesktopTest, FileErrorsAreVbs) {
  const std::string base = folder.Text();
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RemoveFile(base + "none.xls"); }), vb::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { desktop.SetAttributesNormal(base + "none.xls"); }), vb::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RenameFile(base + "none.xls", base + "b.xls"); }), vb::kFileNotFound);
  std::ofstream(folder.Path() / "a.xls") << "a";
  std::ofstream(folder.Path() / "b.xls") << "b";
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RenameFile(base + "a.xls", base + "b.xls"); }),
            vb::kFileAlreadyExists);

  // A read-only file goes only once its attributes are cleared.
  fs::permissions(folder.Path() / "a.xls", fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RemoveFile(base + "a.xls"); }), vb::kPathFileAccess);
  desktop.SetAttributesNormal(base + "a.xls");
  desktop.RemoveFile(base + "a.xls");
  EXPECT_FALSE(fs::exists(folder.Path() / "a.xls"));
}

TEST_F(DesktopTest, SymbolicLinksAreNeverFollowed) {
  // A read-only workbook outside the folder, and links to it inside.
  const test_support::TempFolder outside;
  const fs::path target = outside.Path() / "target.xls";
  std::ofstream(target) << R"({"sheets":[{"name":"A"}]})";
  fs::permissions(target, fs::perms::owner_read, fs::perm_options::replace);
  const std::string base = folder.Text();
  for (const char* name : {"a.xls", "b.xls", "c.xls"}) fs::create_symlink(target, folder.Path() / name);
  fs::create_symlink(outside.Path() / "missing.xls", folder.Path() / "dangling.xls");

  EXPECT_FALSE(desktop.FileExists(base + "a.xls"));
  EXPECT_EQ(ErrorNumberOf([&] { desktop.SetAttributesNormal(base + "a.xls"); }), vb::kPathFileAccess);
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RemoveFile(base + "b.xls"); }), vb::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RenameFile(base + "c.xls", base + "d.xls"); }), vb::kPathFileAccess);
  std::ofstream(folder.Path() / "e.xls") << "e";
  EXPECT_EQ(ErrorNumberOf([&] { desktop.RenameFile(base + "e.xls", base + "dangling.xls"); }),
            vb::kFileAlreadyExists);
  EXPECT_EQ(ErrorNumberOf([&] { sim::ReadWorkbookDocument(base + "a.xls"); }), vb::kApplicationDefined);

  // The target kept its mode, and every link is still there.
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);
  for (const char* name : {"a.xls", "b.xls", "c.xls", "dangling.xls"}) {
    EXPECT_TRUE(fs::is_symlink(folder.Path() / name)) << name;
  }
  fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(DesktopTest, BackslashPathsAndFolderCreationUpToTheLastSeparator) {
  std::string windowsStyle = folder.Text() + "un\\deux\\fichier";
  EXPECT_TRUE(desktop.MakeSureDirectoryPathExists(windowsStyle));
  EXPECT_TRUE(fs::is_directory(folder.Path() / "un" / "deux"));
  EXPECT_FALSE(fs::exists(folder.Path() / "un" / "deux" / "fichier"));
  EXPECT_TRUE(desktop.DirectoryExists(folder.Text() + "un\\deux\\"));

  desktop.DenyFolderCreation(folder.Text() + "interdit");
  EXPECT_FALSE(desktop.MakeSureDirectoryPathExists(folder.Text() + "interdit\\a\\"));
  EXPECT_FALSE(fs::exists(folder.Path() / "interdit"));

  // A folder the system refuses (here a name too long) is a plain "no",
  // not an error, whatever the reason.
  EXPECT_FALSE(desktop.MakeSureDirectoryPathExists(folder.Text() + std::string(300, 'x') + "/"));
}

TEST_F(DesktopTest, SleepAdvancesTheSimulatedClockAtOnce) {
  const auto start = desktop.Now();
  desktop.Sleep(std::chrono::hours(1));
  EXPECT_EQ(desktop.Now() - start, std::chrono::hours(1));
}

}  // namespace
