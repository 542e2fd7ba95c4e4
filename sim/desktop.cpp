#include "sim/desktop.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr int kGwHwndFirst = 0;
constexpr int kGwHwndLast = 1;
constexpr int kGwHwndNext = 2;
constexpr int kGwHwndPrev = 3;
constexpr int kGwOwner = 4;
constexpr int kGwChild = 5;
constexpr int kSwHide = 0;

bool SameClass(const std::string& a, const std::string& b) { return vb::LCase(a) == vb::LCase(b); }

bool Matches(const WindowSpec& spec, const std::optional<std::string>& className,
             const std::optional<std::string>& title) {
  return (!className || SameClass(spec.className, *className)) && (!title || spec.title == *title);
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

Desktop::Desktop(DesktopOptions options) : options_(std::move(options)) {
  if (options_.templatesPath.empty()) {
    options_.templatesPath = (fs::temp_directory_path() / "r58267-sim" / "Templates").string() + "/";
  }
  if (options_.libraryFolder.empty()) options_.libraryFolder = fs::current_path().string();
}

// ---- windows ----

Desktop::Window* Desktop::Find(api::Hwnd window) {
  const auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const Desktop::Window* Desktop::Find(api::Hwnd window) const {
  const auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

api::Hwnd Desktop::AddWindow(const WindowSpec& spec) {
  const api::Hwnd handle = nextHandle_ += 2;
  windows_[handle].spec = spec;
  zOrder_.insert(zOrder_.begin(), handle);
  return handle;
}

api::Hwnd Desktop::AddChild(api::Hwnd parent, const WindowSpec& spec) {
  Window* owner = Find(parent);
  if (owner == nullptr) return 0;
  const api::Hwnd handle = nextHandle_ += 2;
  owner->children.push_back(handle);
  Window& child = windows_[handle];
  child.spec = spec;
  child.parent = parent;
  return handle;
}

bool Desktop::WindowExists(api::Hwnd window) {
  Synchronise();
  return Find(window) != nullptr;
}

int Desktop::ShowCommand(api::Hwnd window) const {
  const Window* w = Find(window);
  return w == nullptr ? -1 : w->showCommand;
}

int Desktop::CloseMessages(api::Hwnd window) const {
  const auto it = closeCounts_.find(window);
  return it == closeCounts_.end() ? 0 : it->second;
}

void Desktop::Destroy(api::Hwnd window) {
  Window* w = Find(window);
  if (w == nullptr) return;
  const std::vector<api::Hwnd> children = w->children;
  for (const api::Hwnd child : children) Destroy(child);
  // Windows owned by this one go with it.
  std::vector<api::Hwnd> owned;
  for (const auto& [handle, other] : windows_) {
    if (other.parent == 0 && other.spec.owner == window) owned.push_back(handle);
  }
  for (const api::Hwnd handle : owned) Destroy(handle);

  w = Find(window);
  if (w == nullptr) return;
  if (Window* parent = Find(w->parent)) std::erase(parent->children, window);
  std::erase(zOrder_, window);
  if (foreground_ == window) foreground_ = 0;
  if (lockedWindow_ == window) lockedWindow_ = 0;
  windows_.erase(window);
}

void Desktop::BringToTop(api::Hwnd window) {
  if (std::find(zOrder_.begin(), zOrder_.end(), window) == zOrder_.end()) return;
  std::erase(zOrder_, window);
  zOrder_.insert(zOrder_.begin(), window);
  // Owned windows stay above their owner.
  std::vector<api::Hwnd> owned;
  for (const api::Hwnd handle : zOrder_) {
    const Window* w = Find(handle);
    if (w != nullptr && w->spec.owner == window) owned.push_back(handle);
  }
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) BringToTop(*it);
}

void Desktop::Synchronise() {
  std::vector<api::Hwnd> gone;
  for (auto& [handle, window] : windows_) {
    if (!window.excel) continue;
    if (window.excel->HasQuit()) {
      gone.push_back(handle);
      continue;
    }
    const bool visible = window.excel->State().visible;
    if (visible != window.excelVisible) {
      window.excelVisible = visible;
      window.spec.visible = visible;
    }
  }
  for (const api::Hwnd handle : gone) Destroy(handle);
}

std::shared_ptr<ExcelApplication> Desktop::NewExcel(bool visible) {
  ExcelOptions options;
  options.templatesPath = options_.templatesPath;
  options.hideExtensions = options_.hideExtensions;
  auto excel = ExcelApplication::Create(options);
  excel->State().visible = visible;
  WindowSpec spec;
  spec.className = "XLMAIN";
  spec.title = "Microsoft Excel";
  spec.visible = visible;
  const api::Hwnd handle = AddWindow(spec);
  windows_[handle].excel = excel;
  windows_[handle].excelVisible = visible;
  instances_.push_back(excel);
  return excel;
}

std::shared_ptr<ExcelApplication> Desktop::StartExcel(bool visible) { return NewExcel(visible); }

api::Hwnd Desktop::MainWindow(const std::shared_ptr<ExcelApplication>& excel) const {
  for (const auto& [handle, window] : windows_) {
    if (window.excel == excel) return handle;
  }
  return 0;
}

void Desktop::CloseMainWindow(const std::shared_ptr<ExcelApplication>& excel) { Destroy(MainWindow(excel)); }

void Desktop::SetCellEditMode(const std::shared_ptr<ExcelApplication>& excel, bool editing) {
  if (editing) {
    editing_.insert(excel.get());
  } else {
    editing_.erase(excel.get());
  }
  excel->SetResponding(!editing);
}

api::Hwnd Desktop::FindWindowA(const std::optional<std::string>& className,
                               const std::optional<std::string>& title) {
  Synchronise();
  for (const api::Hwnd handle : zOrder_) {
    if (Matches(windows_.at(handle).spec, className, title)) return handle;
  }
  return 0;
}

api::Hwnd Desktop::FindWindowExA(api::Hwnd parent, api::Hwnd childAfter,
                                 const std::optional<std::string>& className,
                                 const std::optional<std::string>& title) {
  Synchronise();
  const Window* owner = Find(parent);
  if (owner == nullptr) return 0;
  auto it = owner->children.begin();
  if (childAfter != 0) {
    it = std::find(owner->children.begin(), owner->children.end(), childAfter);
    if (it == owner->children.end()) return 0;
    ++it;
  }
  for (; it != owner->children.end(); ++it) {
    if (Matches(windows_.at(*it).spec, className, title)) return *it;
  }
  return 0;
}

bool Desktop::IsWindowVisible(api::Hwnd window) {
  Synchronise();
  for (const Window* w = Find(window); w != nullptr; w = Find(w->parent)) {
    if (!w->spec.visible) return false;
    if (w->parent == 0) return true;
  }
  return false;
}

bool Desktop::ShowWindow(api::Hwnd window, int command) {
  Synchronise();
  Window* w = Find(window);
  if (w == nullptr) return false;
  const bool wasVisible = w->spec.visible;
  w->spec.visible = command != kSwHide;
  w->showCommand = command;
  return wasVisible;
}

bool Desktop::SetForegroundWindow(api::Hwnd window) {
  Synchronise();
  const Window* w = Find(window);
  if (w == nullptr) return false;
  while (w->parent != 0) {
    window = w->parent;
    w = Find(window);
  }
  foreground_ = window;
  BringToTop(window);
  return true;
}

api::Hwnd Desktop::GetWindow(api::Hwnd window, int command) {
  Synchronise();
  const Window* w = Find(window);
  if (w == nullptr) return 0;
  if (command == kGwOwner) return w->parent == 0 ? w->spec.owner : 0;
  if (command == kGwChild) return w->children.empty() ? 0 : w->children.front();
  const std::vector<api::Hwnd>& siblings = w->parent == 0 ? zOrder_ : Find(w->parent)->children;
  const auto it = std::find(siblings.begin(), siblings.end(), window);
  switch (command) {
    case kGwHwndFirst:
      return siblings.front();
    case kGwHwndLast:
      return siblings.back();
    case kGwHwndNext:
      return std::next(it) == siblings.end() ? 0 : *std::next(it);
    case kGwHwndPrev:
      return it == siblings.begin() ? 0 : *std::prev(it);
    default:
      return 0;
  }
}

std::string Desktop::GetWindowTextA(api::Hwnd window, int maxCount) {
  const Window* w = Find(window);
  if (w == nullptr || maxCount <= 0) return "";
  return w->spec.title.substr(0, static_cast<std::size_t>(maxCount - 1));
}

std::int32_t Desktop::GetWindowLongA(api::Hwnd window, int index) {
  const Window* w = Find(window);
  if (w == nullptr || index != api::kExtendedStyle) return 0;
  return w->spec.extendedStyle;
}

api::Hwnd Desktop::GetParent(api::Hwnd window) {
  const Window* w = Find(window);
  if (w == nullptr) return 0;
  return w->parent != 0 ? w->parent : w->spec.owner;
}

bool Desktop::LockWindowUpdate(api::Hwnd window) {
  if (window == 0) {
    lockedWindow_ = 0;
    return true;
  }
  if (Find(window) == nullptr || (lockedWindow_ != 0 && lockedWindow_ != window)) return false;
  lockedWindow_ = window;
  return true;
}

std::intptr_t Desktop::SendMessageA(api::Hwnd window, unsigned message, std::uintptr_t /*wParam*/,
                                    std::intptr_t /*lParam*/) {
  Window* w = Find(window);
  if (w == nullptr || message != api::kCloseMessage) return 0;
  ++closeCounts_[window];
  if (w->spec.survivesClose) return 0;
  if (w->spec.pumpsToClose > 0) {
    if (w->pumpsLeft < 0) w->pumpsLeft = w->spec.pumpsToClose;
    return 0;
  }
  Destroy(window);
  return 0;
}

void Desktop::SendEscape() {
  ++escapesSent_;
  const Window* w = Find(foreground_);
  if (w != nullptr && w->excel && editing_.erase(w->excel.get()) != 0) w->excel->SetResponding(true);
}

void Desktop::PumpMessages() {
  ++messagePumps_;
  std::vector<api::Hwnd> gone;
  for (auto& [handle, window] : windows_) {
    if (window.pumpsLeft > 0 && --window.pumpsLeft == 0) gone.push_back(handle);
  }
  for (const api::Hwnd handle : gone) Destroy(handle);
  Synchronise();
}

// ---- automation runtime ----

std::shared_ptr<excel::Application> Desktop::GetActiveObject(const std::string& className) {
  Synchronise();
  if (SameClass(className, api::kExcelClass)) {
    for (const auto& excel : instances_) {
      if (!excel->HasQuit()) return excel;
    }
  }
  vb::Raise(vb::kCannotCreateObject);
}

std::shared_ptr<excel::Application> Desktop::CreateObject(const std::string& className) {
  if (!SameClass(className, api::kExcelClass)) vb::Raise(vb::kCannotCreateObject);
  return NewExcel(false);
}

// ---- file system ----

bool Desktop::Denied(const std::string& folder) const {
  return std::any_of(deniedFolders_.begin(), deniedFolders_.end(),
                     [&](const std::string& prefix) { return folder.rfind(NativePath(prefix), 0) == 0; });
}

bool Desktop::MakeSureDirectoryPathExists(const std::string& path) {
  // Every folder up to the last separator, as imagehlp does.
  const std::string native = NativePath(path);
  const auto last = native.rfind('/');
  if (last == std::string::npos) return true;
  const std::string folder = native.substr(0, last + 1);
  if (Denied(folder)) return false;
  // Never throws: a folder that cannot be made or looked at is not there,
  // which is the answer the template-folder wait expects.
  std::unique_lock<std::mutex> lock;
  if (options_.folderLock != nullptr) lock = std::unique_lock(*options_.folderLock);
  std::error_code error;
  fs::create_directories(folder, error);
  return fs::is_directory(folder, error);
}

// The file system is looked at without following symbolic links: a link
// placed among the module's files is never taken for the file it points
// to, so nothing outside the folders is changed, deleted or read.
namespace {

fs::file_type TypeOf(const std::string& native) {
  std::error_code error;
  return fs::symlink_status(native, error).type();
}

}  // namespace

bool Desktop::DirectoryExists(const std::string& path) {
  std::error_code error;
  return fs::is_directory(NativePath(path), error);
}

bool Desktop::FileExists(const std::string& path) {
  return TypeOf(NativePath(path)) == fs::file_type::regular;
}

void Desktop::SetAttributesNormal(const std::string& path) {
  const std::string native = NativePath(path);
  const fs::file_type type = TypeOf(native);
  if (type == fs::file_type::not_found || type == fs::file_type::none) vb::Raise(vb::kFileNotFound);
  // A link's target is not the module's to change.
  if (type == fs::file_type::symlink) vb::Raise(vb::kPathFileAccess);
  std::error_code error;
  fs::permissions(native, fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::add | fs::perm_options::nofollow, error);
  if (error) vb::Raise(vb::kPathFileAccess);
}

void Desktop::RemoveFile(const std::string& path) {
  const std::string native = NativePath(path);
  if (TypeOf(native) != fs::file_type::regular) vb::Raise(vb::kFileNotFound);
  std::error_code error;
  // A read-only file cannot be deleted, as on Windows.
  if ((fs::symlink_status(native, error).permissions() & fs::perms::owner_write) == fs::perms::none) {
    vb::Raise(vb::kPathFileAccess);
  }
  if (!fs::remove(native, error) || error) vb::Raise(vb::kPathFileAccess);
}

void Desktop::RenameFile(const std::string& from, const std::string& to) {
  const std::string source = NativePath(from);
  const std::string target = NativePath(to);
  const fs::file_type type = TypeOf(source);
  if (type == fs::file_type::not_found || type == fs::file_type::none) vb::Raise(vb::kFileNotFound);
  if (type == fs::file_type::symlink) vb::Raise(vb::kPathFileAccess);
  const fs::file_type existing = TypeOf(target);
  if (existing != fs::file_type::not_found && existing != fs::file_type::none)
    vb::Raise(vb::kFileAlreadyExists);
  std::error_code error;
  fs::rename(source, target, error);
  if (error) vb::Raise(vb::kPathFileAccess);
}

std::string Desktop::LibraryFolder() { return options_.libraryFolder; }

}  // namespace sim
