#include "office/office.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <rtl/bootstrap.hxx>
#include <system_error>
#include <thread>
#include <vector>

#include "office/uno_text.h"

namespace office {

namespace fs = std::filesystem;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {

constexpr const char* kDefaultProgram = "/usr/lib/libreoffice/program/soffice.bin";
constexpr auto kStopGrace = std::chrono::seconds(5);
constexpr int kRestartStatus = 81;

// Every soffice alive now, with its profile: what KillAll ends.
std::mutex gRunningMutex;
std::map<fs::path, pid_t> gRunning;  // profile → process (-1 before it starts)

// This process's own UNO context, made once: it only holds the URL
// resolver that reaches the office process.
const Reference<css::uno::XComponentContext>& LocalContext() {
  static const Reference<css::uno::XComponentContext> context = [] {
    const fs::path rc = fs::path(kDefaultProgram).parent_path() / "fundamentalrc";
    // The bootstrap reads URE_BOOTSTRAP; set once, before any UNO thread.
    rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"), U("vnd.sun.star.pathname:" + rc.string()));
    return cppu::defaultBootstrap_InitialComponentContext();
  }();
  return context;
}

std::string LastLine(const fs::path& log) {
  std::ifstream in(log);
  std::string line;
  std::string last;
  while (std::getline(in, line)) {
    if (!line.empty()) last = line;
  }
  return last.size() > 200 ? last.substr(0, 200) : last;
}

fs::path MakeProfile() {
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  if (error) throw OfficeError("no temporary folder for LibreOffice's profile: " + error.message());
  // The process id in the name tells whose office a leftover would be.
  std::string pattern = (temporary / ("r58267-office-" + std::to_string(::getpid()) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw OfficeError("cannot create LibreOffice's profile folder in '" + temporary.string() +
                      "': " + std::generic_category().message(errno));
  }
  return pattern;
}

// "7.4" from the installation's "ProductKey=LibreOffice 7.4"; empty when
// it cannot be read.
std::string ProductVersion(const fs::path& program) {
  std::ifstream in(program.parent_path() / "bootstraprc");
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with("ProductKey=")) return line.substr(line.rfind(' ') + 1);
  }
  return "";
}

// A new profile with our settings: it already knows this version (without
// that LibreOffice runs its graphics self-tests at start-up, which takes
// seconds), and it opens documents without a lock file. A lock file is
// written beside the learner's workbook; one left by an office that was
// killed (a timeout, an interrupted batch) would make every later office
// refuse that workbook.
void SeedProfile(const fs::path& profile, const fs::path& program) {
  const std::string version = ProductVersion(program);
  std::error_code ignored;
  fs::create_directories(profile / "user", ignored);
  std::ofstream out(profile / "user" / "registrymodifications.xcu");
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
         "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
  if (!version.empty() && version.find_first_of("<&\"") == std::string::npos) {
    out << "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
           "oor:op=\"fuse\"><value>"
        << version << "</value></prop></item>\n";
  }
  out << "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" "
         "oor:op=\"fuse\"><value>false</value></prop></item>\n"
         "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" "
         "oor:op=\"fuse\"><value>false</value></prop></item>\n"
         "</oor:items>\n";
}

// fork and exec soffice.bin; the child dies with its parent (a killed run
// leaves no office behind) and starts with every signal unblocked.
pid_t Spawn(const std::vector<std::string>& arguments, const fs::path& profile) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // LibreOffice's own temporary files go inside the profile, so that they
  // go with it even when the process is killed.
  const fs::path temporary = profile / "tmp";
  std::error_code ignored;
  fs::create_directory(temporary, ignored);
  const std::string temporaryVariable = "TMPDIR=" + temporary.string();
  std::vector<char*> environment;
  // The C locale: number formats and formulas then come in LibreOffice's
  // en-US forms, whatever the user's language.
  static constexpr const char* kLocale[] = {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string_view text(*variable);
    if (text.starts_with("TMPDIR=") || text.starts_with("LANG=") || text.starts_with("LC_") ||
        text.starts_with("LANGUAGE=")) {
      continue;
    }
    environment.push_back(*variable);
  }
  environment.push_back(const_cast<char*>(temporaryVariable.c_str()));
  for (const char* variable : kLocale) environment.push_back(const_cast<char*>(variable));
  environment.push_back(nullptr);
  const fs::path log = profile / "soffice.log";
  const std::string logPath = log.string();
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls until exec. Its own process
  // group, so that whatever it starts is stopped with it.
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in >= 0) ::dup2(in, 0);
  if (out >= 0) {
    ::dup2(out, 1);
    ::dup2(out, 2);
  }
  ::execve(argv[0], argv.data(), environment.data());
  ::_exit(127);
}

// The pipe of the office whose profile this is: named after the profile.
std::string PipeName(const fs::path& profile) { return "r58267-" + profile.filename().string(); }

// Removes a profile; a process of the office's group that was still
// dying may have written into it meanwhile, hence a few tries. Also
// removes the socket of the office's pipe, which LibreOffice makes in /tmp
// whatever TMPDIR says and leaves there when it is killed: only when it is
// a socket of this user (never what a link points to).
void RemoveProfile(const fs::path& profile) noexcept {
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::error_code ignored;
    fs::remove_all(profile, ignored);
    if (!fs::exists(profile, ignored)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  const std::string socket = "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_" + PipeName(profile);
  struct stat status {};
  if (::lstat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_uid == ::getuid()) {
    ::unlink(socket.c_str());
  }
}

// Waits for pid to end for the grace period, then kills it; always reaped.
void EndProcess(pid_t pid, std::chrono::milliseconds grace) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + grace;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, &status, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

OfficeOptions DefaultOfficeOptions() {
  OfficeOptions options;
  const char* program = std::getenv("R58267_SOFFICE");
  options.program = program != nullptr && *program != '\0' ? fs::path(program) : fs::path(kDefaultProgram);
  return options;
}

Office::Office(const OfficeOptions& options) {
  if (::access(options.program.c_str(), X_OK) != 0) {
    throw OfficeError("LibreOffice is not installed: no program '" + options.program.string() +
                      "' (install the Debian package libreoffice-calc-nogui, for example with `make deps`)");
  }
  const Reference<css::uno::XComponentContext>& local = LocalContext();
  std::vector<std::string> arguments;
  {
    // Made and registered under the lock: an interruption either sees both
    // the process and its profile, or neither exists yet.
    const std::lock_guard lock(gRunningMutex);
    profile_ = MakeProfile();
    SeedProfile(profile_, options.program);
    const std::string pipe = PipeName(profile_);
    arguments = {options.program.string(),
                 "--headless",
                 "--invisible",
                 "--nocrashreport",
                 "--nodefault",
                 "--nologo",
                 "--norestore",
                 "--nolockcheck",
                 "-env:UserInstallation=file://" + profile_.string(),
                 "--accept=pipe,name=" + pipe + ";urp;StarOffice.ComponentContext"};
    pid_ = Spawn(arguments, profile_);
    if (pid_ < 0) {
      const std::string reason = std::generic_category().message(errno);
      std::error_code ignored;
      fs::remove_all(profile_, ignored);
      throw OfficeError("cannot start LibreOffice: " + reason);
    }
    gRunning[profile_] = pid_;
  }
  try {
    const auto resolver = css::bridge::UnoUrlResolver::create(local);
    const OUString url = U("uno:pipe,name=" + PipeName(profile_) + ";urp;StarOffice.ComponentContext");
    const auto deadline = std::chrono::steady_clock::now() + options.startTimeout;
    int restarts = 0;
    while (!remote_.is()) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        // 81: soffice.bin made the new profile and asks to be started again,
        // which its launcher would do.
        if (WIFEXITED(status) && WEXITSTATUS(status) == kRestartStatus && restarts++ < 2) {
          const std::lock_guard lock(gRunningMutex);
          pid_ = Spawn(arguments, profile_);
          gRunning[profile_] = pid_;
          if (pid_ < 0)
            throw OfficeError("cannot start LibreOffice: " + std::generic_category().message(errno));
          continue;
        }
        pid_ = -1;
        const std::string last = LastLine(profile_ / "soffice.log");
        throw OfficeError("LibreOffice ended while starting (" +
                          (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                             : "signal " + std::to_string(WTERMSIG(status))) +
                          ")" + (last.empty() ? "" : ": " + last));
      }
      try {
        remote_.set(resolver->resolve(url), UNO_QUERY_THROW);
      } catch (const css::connection::NoConnectException&) {
        if (std::chrono::steady_clock::now() > deadline) {
          throw OfficeError("LibreOffice did not answer within " +
                            std::to_string(options.startTimeout.count() / 1000) + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    desktop_ = css::frame::Desktop::create(remote_);
  } catch (const css::uno::Exception& error) {
    Stop();
    throw OfficeError("cannot reach LibreOffice: " + Utf8(error.Message));
  } catch (...) {
    Stop();
    throw;
  }
}

Office::~Office() { Stop(); }

bool Office::Running() const noexcept {
  if (pid_ <= 0) return false;
  siginfo_t info{};
  // WNOWAIT: looks without reaping, so that Stop still waits for it.
  if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

void Office::Kill() const noexcept {
  if (pid_ > 0) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
  }
}

Reference<css::uno::XInterface> Office::Create(const char* service) const {
  return remote_->getServiceManager()->createInstanceWithContext(OUString::createFromAscii(service), remote_);
}

void Office::Stop() noexcept {
  bool asked = false;
  if (pid_ > 0 && desktop_.is()) {
    // Asked politely first; a process that does not end in time is killed.
    try {
      asked = desktop_->terminate();
    } catch (...) {
      // The connection may end with the process: expected.
    }
  }
  desktop_.clear();
  remote_.clear();
  if (pid_ > 0) EndProcess(pid_, asked ? kStopGrace : std::chrono::seconds(0));
  if (!profile_.empty()) RemoveProfile(profile_);
  const std::lock_guard lock(gRunningMutex);
  gRunning.erase(profile_);
  pid_ = -1;
}

void KillAll() noexcept {
  // The lock is kept until the process ends: no office starts after these
  // are killed.
  gRunningMutex.lock();
  for (const auto& [profile, pid] : gRunning) {
    if (pid > 0) {
      ::kill(-pid, SIGKILL);
      ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
    }
    RemoveProfile(profile);
  }
  gRunning.clear();
}

}  // namespace office
