// The simulated desktop and automation runtime: top-level and child windows
// with Excel's behaviour around them, a message pump, a simulated clock, and
// the real file system underneath. Implements the platform surface.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/api.h"
#include "sim/excel_application.h"

namespace sim {

struct DesktopOptions {
  // Templates path of every Excel started here; default: a folder under
  // the system's temporary folder, ending with a separator.
  std::string templatesPath;
  // The folder of the library file; default: the current folder.
  std::string libraryFolder;
  // Windows' "hide extensions for known file types", for every Excel
  // started here.
  bool hideExtensions = false;
  // Held while the desktop makes folders: whoever else holds it keeps
  // folders from being made (the command line, while it removes its
  // folders on a signal, so that none is made again under it).
  std::mutex* folderLock = nullptr;
};

// A window to put on the desktop.
struct WindowSpec {
  std::string className;
  std::string title;
  bool visible = true;
  std::int32_t extendedStyle = 0;
  api::Hwnd owner = 0;  // the owner of a top-level window (GetParent gives it)
  // The window ignores its close message.
  bool survivesClose = false;
  // The window goes only after this many rounds of the message pump once it
  // has been asked to close (0: at once).
  int pumpsToClose = 0;
};

class Desktop : public api::Platform {
 public:
  explicit Desktop(DesktopOptions options = {});

  // ---- scene set-up and inspection, for tests ----
  // A top-level window, on top of the Z order.
  api::Hwnd AddWindow(const WindowSpec& spec);
  api::Hwnd AddChild(api::Hwnd parent, const WindowSpec& spec);
  [[nodiscard]] bool WindowExists(api::Hwnd window);
  // A running Excel the learner started, its main window shown or hidden.
  std::shared_ptr<ExcelApplication> StartExcel(bool visible = true);
  // Every Excel started here, quit or not, in starting order.
  [[nodiscard]] const std::vector<std::shared_ptr<ExcelApplication>>& Instances() const { return instances_; }
  // The main window of an instance; 0 when it has none (closed or quit).
  [[nodiscard]] api::Hwnd MainWindow(const std::shared_ptr<ExcelApplication>& excel) const;
  // The learner closes Excel's main window (Excel stays running unseen).
  void CloseMainWindow(const std::shared_ptr<ExcelApplication>& excel);
  // Excel in cell-edit mode answers no automation call until an Escape
  // reaches its main window as the foreground window.
  void SetCellEditMode(const std::shared_ptr<ExcelApplication>& excel, bool editing);
  // Folders under this prefix cannot be created.
  void DenyFolderCreation(std::string prefix) { deniedFolders_.push_back(std::move(prefix)); }
  [[nodiscard]] int EscapesSent() const { return escapesSent_; }
  [[nodiscard]] int MessagePumps() const { return messagePumps_; }
  [[nodiscard]] api::Hwnd LockedWindow() const { return lockedWindow_; }
  [[nodiscard]] api::Hwnd ForegroundWindow() const { return foreground_; }
  [[nodiscard]] int ShowCommand(api::Hwnd window) const;
  // Close messages sent to each window.
  [[nodiscard]] int CloseMessages(api::Hwnd window) const;

  // ---- user32 subset ----
  api::Hwnd FindWindowA(const std::optional<std::string>& className,
                        const std::optional<std::string>& title) override;
  api::Hwnd FindWindowExA(api::Hwnd parent, api::Hwnd childAfter, const std::optional<std::string>& className,
                          const std::optional<std::string>& title) override;
  bool IsWindowVisible(api::Hwnd window) override;
  bool ShowWindow(api::Hwnd window, int command) override;
  bool SetForegroundWindow(api::Hwnd window) override;
  api::Hwnd GetWindow(api::Hwnd window, int command) override;
  std::string GetWindowTextA(api::Hwnd window, int maxCount) override;
  std::int32_t GetWindowLongA(api::Hwnd window, int index) override;
  api::Hwnd GetParent(api::Hwnd window) override;
  bool LockWindowUpdate(api::Hwnd window) override;
  std::intptr_t SendMessageA(api::Hwnd window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void SendEscape() override;
  void PumpMessages() override;

  // ---- automation runtime ----
  std::shared_ptr<excel::Application> GetActiveObject(const std::string& className) override;
  std::shared_ptr<excel::Application> CreateObject(const std::string& className) override;

  // ---- file system (real) ----
  bool MakeSureDirectoryPathExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void SetAttributesNormal(const std::string& path) override;
  void RemoveFile(const std::string& path) override;
  void RenameFile(const std::string& from, const std::string& to) override;
  std::string LibraryFolder() override;

  // ---- simulated clock: Sleep advances it at once ----
  std::chrono::steady_clock::time_point Now() override { return now_; }
  void Sleep(std::chrono::milliseconds duration) override { now_ += duration; }

 private:
  struct Window {
    WindowSpec spec;
    api::Hwnd parent = 0;  // for a child window
    std::vector<api::Hwnd> children;
    int showCommand = 1;
    int pumpsLeft = -1;                       // closing: rounds of the pump before it goes
    std::shared_ptr<ExcelApplication> excel;  // for Excel's main window
    bool excelVisible = false;                // Excel's Visible when last seen
  };

  // Brings the windows' state in line with the Excel instances: a shown
  // Excel has a visible main window, a quit one has none.
  void Synchronise();
  std::shared_ptr<ExcelApplication> NewExcel(bool visible);
  void Destroy(api::Hwnd window);
  void BringToTop(api::Hwnd window);
  Window* Find(api::Hwnd window);
  [[nodiscard]] const Window* Find(api::Hwnd window) const;
  [[nodiscard]] bool Denied(const std::string& folder) const;

  DesktopOptions options_;
  std::map<api::Hwnd, Window> windows_;
  std::map<api::Hwnd, int> closeCounts_;  // kept after the window goes
  std::vector<api::Hwnd> zOrder_;         // top-level windows, topmost first
  api::Hwnd nextHandle_ = 0x10010;
  api::Hwnd foreground_ = 0;
  api::Hwnd lockedWindow_ = 0;
  int escapesSent_ = 0;
  int messagePumps_ = 0;
  std::vector<std::shared_ptr<ExcelApplication>> instances_;
  std::set<const ExcelApplication*> editing_;
  std::vector<std::string> deniedFolders_;
  std::chrono::steady_clock::time_point now_{};
};

// A path text of the host ("\" as separator) as a POSIX path.
std::string NativePath(const std::string& path);

}  // namespace sim
