#include "win/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "framework/vb.h"
#include "win/com.h"
#include "win/tests/regional_settings.h"
#include "win/text.h"

namespace win {
namespace {

// The error number a call raises; 0 when it succeeds.
long ErrorOf(const std::function<void()>& call) {
  try {
    call();
    return 0;
  } catch (const vb::Error& error) {
    return error.number;
  }
}

// ---- regional settings ----

// The locale read with `separator` set; one setting per test, each test
// being a process of its own: Wine reads the user's settings once per
// process, where Windows follows a change at once.
vb::Locale LocaleWith(char separator) {
  const test_support::ScopedRegionalSettings settings(separator);
  EXPECT_TRUE(settings.Ok());
  return UserLocale();
}

TEST(RegionalSettingsTest, DecimalCommaAndDayFirstDates) {
  const vb::Locale locale = LocaleWith(',');
  EXPECT_EQ(locale.decimalSeparator, ',');
  EXPECT_TRUE(locale.DayFirst());
}

TEST(RegionalSettingsTest, DecimalPointAndMonthFirstDates) {
  const vb::Locale locale = LocaleWith('.');
  EXPECT_EQ(locale.decimalSeparator, '.');
  EXPECT_FALSE(locale.DayFirst());
}

// ---- window handles ----

TEST(HandleTest, HostHandlesWidenBySignExtension) {
  struct Case {
    api::Hwnd host;
    std::intptr_t native;
  };
  for (const Case c : std::vector<Case>{{0, 0},
                                        {0x10012, 0x10012},
                                        {0x7FFFFFFF, 0x7FFFFFFF},
                                        {-3, -3},  // HWND_MESSAGE
                                        {INT32_MIN, INT32_MIN}}) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(NativeWindow(c.host)), c.native);
    EXPECT_EQ(HostWindow(NativeWindow(c.host)), c.host);
  }
  EXPECT_EQ(NativeWindow(-3), HWND_MESSAGE);
  EXPECT_EQ(HostWindow(HWND_MESSAGE), -3);
}

// ---- file system ----

// A fresh folder with an accented name under the temporary folder, removed
// at the end; its text ends with a separator.
class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::wstring temp(MAX_PATH + 1, L'\0');
    temp.resize(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
    root_ = Utf8(temp) + "R58267 ORVA Modèles " + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(platform_.MakeSureDirectoryPathExists(root_));
    for (const char* name : {"a.xls", "b.xls", "lecture seule.xls"}) Write(name);
    SetFileAttributesW(Wide(root_ + "lecture seule.xls").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryW(Wide(root_ + "Sous-dossier").c_str(), nullptr));
  }
  void TearDown() override {
    // Read-only files, renamed or not, would stop the removal.
    const std::filesystem::path root(Wide(root_));
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(root, error);
    ASSERT_FALSE(std::filesystem::exists(root)) << root_;
  }
  void Write(const std::string& name) const {
    const HANDLE file = CreateFileW(Wide(root_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    CloseHandle(file);
  }

  Win32Platform platform_;
  std::string root_;
};

TEST_F(FileSystemTest, MakeSureDirectoryPathExistsCreatesEveryFolderBeforeTheLastSeparator) {
  struct Case {
    std::string path;  // under the root
    bool result;
    std::vector<std::string> folders;  // that exist afterwards
    std::vector<std::string> absent;   // that do not
  };
  const std::vector<Case> cases = {
      {"Élève\\Année 2\\Modèles\\", true, {"Élève", "Élève\\Année 2", "Élève\\Année 2\\Modèles"}, {}},
      {"Dossier é\\classeur.xls", true, {"Dossier é"}, {"Dossier é\\classeur.xls"}},
      {"Barres/obliques\\\\doublées/", true, {"Barres\\obliques\\doublées"}, {}},
      {"Sous-dossier\\", true, {"Sous-dossier"}, {}},
      {"a.xls\\dessous\\", false, {}, {"a.xls\\dessous"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform_.MakeSureDirectoryPathExists(root_ + c.path), c.result);
    for (const std::string& folder : c.folders)
      EXPECT_TRUE(platform_.DirectoryExists(root_ + folder)) << folder;
    for (const std::string& path : c.absent) {
      EXPECT_FALSE(platform_.DirectoryExists(root_ + path) || platform_.FileExists(root_ + path)) << path;
    }
  }
}

TEST_F(FileSystemTest, ExistsTellsFilesAndFoldersApart) {
  struct Case {
    std::string path;
    bool file;
    bool folder;
  };
  for (const Case& c : std::vector<Case>{{"a.xls", true, false},
                                         {"lecture seule.xls", true, false},
                                         {"Sous-dossier", false, true},
                                         {"Sous-dossier\\", false, true},
                                         {"absent.xls", false, false}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform_.FileExists(root_ + c.path), c.file);
    EXPECT_EQ(platform_.DirectoryExists(root_ + c.path), c.folder);
  }
}

TEST_F(FileSystemTest, OperationsRaiseVbFileErrors) {
  using Operation = std::function<void(Win32Platform&, const std::string&)>;
  struct Case {
    const char* name;
    Operation operation;
    long error;                      // 0: succeeds
    std::vector<std::string> files;  // present afterwards
    std::vector<std::string> gone;   // absent afterwards
  };
  const std::vector<Case> cases = {
      {"remove", [](auto& p, auto& r) { p.RemoveFile(r + "a.xls"); }, 0, {"b.xls"}, {"a.xls"}},
      {"remove missing", [](auto& p, auto& r) { p.RemoveFile(r + "absent.xls"); }, vb::kFileNotFound, {}, {}},
      {"remove folder",
       [](auto& p, auto& r) { p.RemoveFile(r + "Sous-dossier"); },
       vb::kFileNotFound,
       {},
       {}},
      {"remove read-only",
       [](auto& p, auto& r) { p.RemoveFile(r + "lecture seule.xls"); },
       vb::kPathFileAccess,
       {"lecture seule.xls"},
       {}},
      {"clear read-only then remove",
       [](auto& p, auto& r) {
         p.SetAttributesNormal(r + "lecture seule.xls");
         p.RemoveFile(r + "lecture seule.xls");
       },
       0,
       {},
       {"lecture seule.xls"}},
      {"clear missing",
       [](auto& p, auto& r) { p.SetAttributesNormal(r + "absent.xls"); },
       vb::kFileNotFound,
       {},
       {}},
      {"rename to accented name",
       [](auto& p, auto& r) { p.RenameFile(r + "a.xls", r + "Résumé été.xls"); },
       0,
       {"Résumé été.xls"},
       {"a.xls"}},
      {"rename read-only",
       [](auto& p, auto& r) { p.RenameFile(r + "lecture seule.xls", r + "c.xls"); },
       0,
       {"c.xls"},
       {"lecture seule.xls"}},
      {"rename to existing",
       [](auto& p, auto& r) { p.RenameFile(r + "a.xls", r + "b.xls"); },
       vb::kFileAlreadyExists,
       {"a.xls", "b.xls"},
       {}},
      {"rename missing",
       [](auto& p, auto& r) { p.RenameFile(r + "absent.xls", r + "c.xls"); },
       vb::kFileNotFound,
       {},
       {"c.xls"}},
      {"rename into missing folder",
       [](auto& p, auto& r) { p.RenameFile(r + "a.xls", r + "Absent\\c.xls"); },
       vb::kPathFileAccess,
       {"a.xls"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    EXPECT_EQ(ErrorOf([&] { c.operation(platform_, root_); }), c.error);
    for (const std::string& file : c.files) EXPECT_TRUE(platform_.FileExists(root_ + file)) << file;
    for (const std::string& file : c.gone) EXPECT_FALSE(platform_.FileExists(root_ + file)) << file;
  }
}

TEST(LibraryFolderTest, IsTheFolderOfTheModuleHoldingTheCodeWithoutFinalSeparator) {
  Win32Platform platform;
  const std::string folder = platform.LibraryFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(platform.DirectoryExists(folder));
  // The tests link the code statically: its module is this program.
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  EXPECT_EQ(Wide(folder), program.substr(0, program.find_last_of(L'\\')));
}

// ---- automation runtime ----

TEST(AutomationTest, MissingClassesAndInstancesRaise429) {
  const ComApartment apartment;
  Win32Platform platform;
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  for (const Case& c : std::vector<Case>{
           {"running, unknown class", [&] { platform.GetActiveObject("R58267.NoSuchClass.1"); }},
           {"new, unknown class", [&] { platform.CreateObject("R58267.NoSuchClass.1"); }},
           // Registered in every Wine prefix, and never running.
           {"running, none running", [&] { platform.GetActiveObject("Scripting.FileSystemObject"); }},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf(c.call), vb::kCannotCreateObject);
  }
}

// ---- windows and messages ----

// What the windows of the test class saw: posted test messages, and
// Escape key-downs and key-ups (from any thread).
std::atomic<int> gTestMessages{0};
std::atomic<int> gEscapeKeys{0};

constexpr UINT kTestMessage = WM_APP + 7;
constexpr const wchar_t* kClass = L"R58267PlatformTest";

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTestMessage) ++gTestMessages;
  if ((message == WM_KEYDOWN || message == WM_KEYUP) && wParam == VK_ESCAPE) ++gEscapeKeys;
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateTestWindow(DWORD extendedStyle, const wchar_t* title, DWORD style, HWND parent) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = RecordingProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClass;
  RegisterClassW(&windowClass);  // fails harmlessly once registered
  return CreateWindowExW(extendedStyle, kClass, title, style, 0, 0, 100, 100, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

constexpr const char* kNoWindows = "Wine cannot create a window here (no display: run under xvfb-run)";

// Hidden windows of a class of the test's own: an owner with a child, and
// a dialog-framed window that the owner owns.
class WindowTest : public ::testing::Test {
 protected:
  static constexpr const char* kTitle = "Fenêtre é 𝄞x";

  void SetUp() override {
    gTestMessages = 0;
    owner_ = CreateTestWindow(0, Wide(kTitle).c_str(), WS_OVERLAPPEDWINDOW, nullptr);
    if (owner_ == nullptr) GTEST_SKIP() << kNoWindows;
    child_ = CreateTestWindow(0, L"enfant", WS_CHILD, owner_);
    dialog_ = CreateTestWindow(WS_EX_DLGMODALFRAME, L"Dialogue", WS_POPUP, owner_);
    ASSERT_NE(child_, nullptr);
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override {
    for (const HWND window : {dialog_, child_, owner_}) {
      if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    }
  }

  Win32Platform platform_;
  HWND owner_ = nullptr;
  HWND child_ = nullptr;
  HWND dialog_ = nullptr;
};

TEST_F(WindowTest, FindWindowMatchesClassAndTitleWhenGiven) {
  const std::string className = Utf8(kClass);
  struct Case {
    std::optional<std::string> className;
    std::optional<std::string> title;
    HWND expected;
  };
  for (const Case& c : std::vector<Case>{{className, kTitle, owner_},
                                         {std::nullopt, kTitle, owner_},
                                         {className, "Dialogue", dialog_},
                                         {className, "Autre titre", nullptr},
                                         {"R58267NoSuchClass", std::nullopt, nullptr}}) {
    SCOPED_TRACE(c.title.value_or("(no title)"));
    EXPECT_EQ(NativeWindow(platform_.FindWindowA(c.className, c.title)), c.expected);
  }
  // Without a title: one of the two top-level windows of the class.
  const HWND any = NativeWindow(platform_.FindWindowA(className, std::nullopt));
  EXPECT_TRUE(any == owner_ || any == dialog_);
}

TEST_F(WindowTest, GetWindowTextCutsToMaxCountMinusOneCharacters) {
  const Win32Platform::Hwnd owner = HostWindow(owner_);
  struct Case {
    int maxCount;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{{255, kTitle},
                                         {12, "Fenêtre é 𝄞"},  // the surrogate pair is one character
                                         {11, "Fenêtre é "},
                                         {8, "Fenêtre"},
                                         {1, ""},
                                         {0, ""}}) {
    SCOPED_TRACE(c.maxCount);
    EXPECT_EQ(platform_.GetWindowTextA(owner, c.maxCount), c.text);
  }
}

TEST_F(WindowTest, RelationsAndStyleOfTheWindows) {
  EXPECT_EQ(NativeWindow(platform_.GetParent(HostWindow(dialog_))), owner_);
  EXPECT_EQ(NativeWindow(platform_.FindWindowExA(HostWindow(owner_), 0, std::nullopt, std::nullopt)), child_);
  EXPECT_EQ(platform_.FindWindowExA(HostWindow(owner_), HostWindow(child_), std::nullopt, std::nullopt), 0);
  EXPECT_EQ(platform_.FindWindowExA(0, 0, std::nullopt, std::nullopt), 0);
  EXPECT_NE(platform_.GetWindowLongA(HostWindow(dialog_), api::kExtendedStyle) & api::kModalFrame, 0);
  EXPECT_EQ(platform_.GetWindowLongA(HostWindow(owner_), api::kExtendedStyle) & api::kModalFrame, 0);
  EXPECT_FALSE(platform_.IsWindowVisible(HostWindow(owner_)));
}

TEST_F(WindowTest, CloseMessageDestroysTheWindowAndPumpDispatchesPostedMessages) {
  EXPECT_EQ(platform_.SendMessageA(HostWindow(dialog_), api::kCloseMessage, 0, 0), 0);
  EXPECT_FALSE(IsWindow(dialog_));

  PostMessageW(owner_, kTestMessage, 0, 0);
  PostMessageW(owner_, kTestMessage, 0, 0);
  platform_.PumpMessages();
  EXPECT_EQ(gTestMessages, 2);
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));
}

// The foreground window is run by a thread of its own, as Excel's is.
TEST(EscapeTest, ReturnsOnceTheForegroundWindowsThreadHasHandledTheKey) {
  struct Interface {
    HWND window;
    DWORD thread;
  };
  std::promise<Interface> created;
  std::thread interfaceThread([&] {
    const HWND window = CreateTestWindow(0, L"Au premier plan", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    created.set_value({window, GetCurrentThreadId()});
    MSG message;
    while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (window != nullptr) DestroyWindow(window);
  });
  const Interface ui = created.get_future().get();
  Win32Platform platform;
  gEscapeKeys = 0;
  const bool inFront = ui.window != nullptr && platform.SetForegroundWindow(HostWindow(ui.window)) &&
                       GetForegroundWindow() == ui.window;
  if (inFront) platform.SendEscape();
  const int keys = gEscapeKeys;
  PostThreadMessageW(ui.thread, WM_QUIT, 0, 0);
  interfaceThread.join();

  if (ui.window == nullptr) GTEST_SKIP() << kNoWindows;
  if (!inFront) GTEST_SKIP() << "the test window could not come to the front";
  EXPECT_EQ(keys, 2);  // down and up, handled before SendEscape returned
}

TEST(MessagePumpTest, QuitMessageIsLeftForTheHostsLoop) {
  Win32Platform platform;
  PostQuitMessage(7);
  platform.PumpMessages();
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

TEST(ClockTest, SleepLetsTheClockAdvance) {
  Win32Platform platform;
  const auto start = platform.Now();
  platform.Sleep(std::chrono::milliseconds(30));
  EXPECT_GE(platform.Now() - start, std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace win
