// The operating-system surface that the host module needs: the user32
// window functions it calls, the Escape keystroke, letting window messages
// run, reaching Excel through the automation runtime, the file system, the
// library's own folder and a clock for bounded waits.
//
// The embedded stand-in implements it with a simulated desktop over the
// real file system; the Windows binding with Win32. Paths are texts as the
// host passes them ("\" as separator); a POSIX implementation reads "\" as
// "/".
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/excel.h"

namespace api {

// A window handle as the host passes it: a 32-bit value, 0 for none.
using Hwnd = std::int32_t;

// ShowWindow commands.
inline constexpr int kShowMinimized = 2;  // SW_SHOWMINIMIZED
inline constexpr int kShowMaximized = 3;  // SW_SHOWMAXIMIZED
// GetWindow commands.
inline constexpr int kWindowAbove = 3;  // the window above in the Z order
// GetWindowLong index of the extended style, and the modal-frame bit.
inline constexpr int kExtendedStyle = -20;
inline constexpr std::int32_t kModalFrame = 0x1;
// The close message.
inline constexpr unsigned kCloseMessage = 0x0010;

// Automation class name of the Excel the course runs on.
inline constexpr const char* kExcelClass = "Excel.application.11";

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- user32 subset ----
  // A top-level window by class and, when given, title; 0 when none.
  virtual Hwnd FindWindowA(const std::optional<std::string>& className,
                          const std::optional<std::string>& title) = 0;
  // A child of `parent` after `childAfter` (0: the first), by class and
  // title when given; 0 when none.
  virtual Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const std::optional<std::string>& className,
                            const std::optional<std::string>& title) = 0;
  virtual bool IsWindowVisible(Hwnd window) = 0;
  virtual bool ShowWindow(Hwnd window, int command) = 0;
  virtual bool SetForegroundWindow(Hwnd window) = 0;
  virtual Hwnd GetWindow(Hwnd window, int command) = 0;
  // The title, cut to `maxCount` - 1 characters as GetWindowTextA does.
  virtual std::string GetWindowTextA(Hwnd window, int maxCount) = 0;
  virtual std::int32_t GetWindowLongA(Hwnd window, int index) = 0;
  virtual Hwnd GetParent(Hwnd window) = 0;
  // Locks drawing in `window`; 0 releases the lock.
  virtual bool LockWindowUpdate(Hwnd window) = 0;
  virtual std::intptr_t SendMessageA(Hwnd window, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  // Sends the Escape key to the foreground window and waits until it has
  // been processed.
  virtual void SendEscape() = 0;
  // Lets pending window messages run (VB's DoEvents).
  virtual void PumpMessages() = 0;

  // ---- automation runtime ----
  // The running instance of a class (GetObject(, class)); throws vb::Error
  // 429 when none is running.
  virtual std::shared_ptr<excel::Application> GetActiveObject(const std::string& className) = 0;
  // A new instance (CreateObject(class)); throws vb::Error 429 on failure.
  virtual std::shared_ptr<excel::Application> CreateObject(const std::string& className) = 0;

  // ---- file system ----
  // Creates every missing folder of a folder text that ends with a
  // separator; false when it cannot.
  virtual bool MakeSureDirectoryPathExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Clears the attributes (read-only …); vb::Error 53 when the file does
  // not exist, 75 when they cannot be changed.
  virtual void SetAttributesNormal(const std::string& path) = 0;
  // vb::Error 53 when the file does not exist, 75 when it cannot go.
  virtual void RemoveFile(const std::string& path) = 0;
  // vb::Error 53 when `from` does not exist, 58 when `to` already does,
  // 75 on any other failure.
  virtual void RenameFile(const std::string& from, const std::string& to) = 0;
  // The folder of the library file itself, without a final separator.
  virtual std::string LibraryFolder() = 0;

  // ---- clock, for bounded waits ----
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

}  // namespace api
