// The Win32 platform: user32, keystrokes, the message pump, Excel through
// the automation runtime, the file system with wide-character paths.
#pragma once

#include <windows.h>

#include "framework/api.h"
#include "framework/vb.h"

namespace win {

// The host's 32-bit window handle and Windows' HWND. Window handles carry
// 32 significant bits on 64-bit Windows too, and are widened by sign
// extension, as Windows' own LongToHandle does.
HWND NativeWindow(api::Hwnd window);
api::Hwnd HostWindow(HWND window);

// The user's regional settings (Control Panel's decimal separator and
// short date order), read as VB's conversions read them: with functions
// that Windows XP has. A separator the conversions cannot write (more than
// one character, or not ASCII) gives ".".
vb::Locale UserLocale();

class Win32Platform : public api::Platform {
 public:
  using Hwnd = api::Hwnd;

  Hwnd FindWindowA(const std::optional<std::string>& className,
                   const std::optional<std::string>& title) override;
  Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const std::optional<std::string>& className,
                     const std::optional<std::string>& title) override;
  bool IsWindowVisible(Hwnd window) override;
  bool ShowWindow(Hwnd window, int command) override;
  bool SetForegroundWindow(Hwnd window) override;
  Hwnd GetWindow(Hwnd window, int command) override;
  std::string GetWindowTextA(Hwnd window, int maxCount) override;
  std::int32_t GetWindowLongA(Hwnd window, int index) override;
  Hwnd GetParent(Hwnd window) override;
  bool LockWindowUpdate(Hwnd window) override;
  std::intptr_t SendMessageA(Hwnd window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void SendEscape() override;
  void PumpMessages() override;
  std::shared_ptr<excel::Application> GetActiveObject(const std::string& className) override;
  std::shared_ptr<excel::Application> CreateObject(const std::string& className) override;
  bool MakeSureDirectoryPathExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void SetAttributesNormal(const std::string& path) override;
  void RemoveFile(const std::string& path) override;
  void RenameFile(const std::string& from, const std::string& to) override;
  std::string LibraryFolder() override;
  std::chrono::steady_clock::time_point Now() override;
  void Sleep(std::chrono::milliseconds duration) override;
};

}  // namespace win
