// LibreOffice as a component of ours: one headless soffice.bin per run,
// with a private profile folder and a unique pipe name, reached through
// UNO, and stopped by its own process id whatever happens.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace office {

// LibreOffice is missing, does not start, or failed; the message says
// what to do.
class OfficeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OfficeOptions {
  // soffice.bin; R58267_SOFFICE overrides the default place.
  std::filesystem::path program;
  std::chrono::milliseconds startTimeout{60'000};
};

[[nodiscard]] OfficeOptions DefaultOfficeOptions();

class Office {
 public:
  // Starts soffice and connects to it; throws OfficeError.
  explicit Office(const OfficeOptions& options = DefaultOfficeOptions());
  ~Office();
  Office(const Office&) = delete;
  Office& operator=(const Office&) = delete;

  [[nodiscard]] const css::uno::Reference<css::uno::XComponentContext>& Context() const { return remote_; }
  [[nodiscard]] const css::uno::Reference<css::frame::XDesktop2>& Desktop() const { return desktop_; }
  [[nodiscard]] pid_t Pid() const { return pid_; }
  [[nodiscard]] const std::filesystem::path& Profile() const { return profile_; }

  // False once the process has ended (it is reaped when the Office goes).
  [[nodiscard]] bool Running() const noexcept;
  // Ends the process at once (a file that hangs it); calls in progress
  // then fail with a UNO runtime exception.
  void Kill() const noexcept;

  // Creates a service of the office process.
  [[nodiscard]] css::uno::Reference<css::uno::XInterface> Create(const char* service) const;

 private:
  void Stop() noexcept;

  pid_t pid_ = -1;
  std::filesystem::path profile_;
  css::uno::Reference<css::uno::XComponentContext> remote_;
  css::uno::Reference<css::frame::XDesktop2> desktop_;
};

// Kills every soffice this process started and removes their profiles:
// for an interruption (called from the signal watcher, not a handler).
// No office starts afterwards: the process is about to end.
void KillAll() noexcept;

}  // namespace office
