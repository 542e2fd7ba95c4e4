// A busy Excel. Excel rejects automation calls while it starts, while the
// learner edits a cell or while one of its dialogs is open
// (RPC_E_CALL_REJECTED, RPC_E_SERVERCALL_RETRYLATER). A member of the
// module tries such a call again, pumping messages between tries, for at
// most kBusyBoundMs in all; after that every busy call fails at once, so
// that an Excel that does not answer at all is reported as such in
// bounded time.
//
// Windows' COM asks the caller's message filter whether to retry a
// rejected call: for the length of a member BusyScope registers one that
// retries within the member's budget and hands everything else to the
// host's filter, which it puts back afterwards. Wine's COM never asks
// (a rejected call simply fails), so the binding retries by itself
// (WaitWhileBusy); on Windows it finds the budget spent by the filter.
#pragma once

#include "win/com.h"

namespace win {

inline constexpr DWORD kBusyBoundMs = 5000;
// The pause between two tries of a rejected call.
inline constexpr DWORD kBusyStepMs = 250;

// Whether a call failed because Excel is busy.
bool IsBusy(HRESULT result) noexcept;

// The time one member may still spend waiting for a busy Excel.
class BusyBudget {
 public:
  explicit BusyBudget(DWORD boundMs) noexcept : left_(boundMs) {}
  [[nodiscard]] DWORD Left() const noexcept { return left_; }
  void Spend(DWORD ms) noexcept { left_ = ms < left_ ? left_ - ms : 0; }

 private:
  DWORD left_;
};

// IMessageFilter's answer to a rejected call: the pause in milliseconds
// before COM tries again (at least 100, which COM reads as a pause), or
// (DWORD)-1 to give up; the pause is spent from `budget`.
DWORD RetryAnswer(BusyBudget& budget, DWORD rejectType) noexcept;

class RetryFilter;

// A member's time with Excel: the thread's budget and message filter are
// this scope's until it ends. Scopes nest; the inner one shares the outer
// one's budget. The module is apartment-threaded: each host thread has
// its own scopes.
class BusyScope {
 public:
  explicit BusyScope(DWORD boundMs = kBusyBoundMs) noexcept;
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  ~BusyScope();

 private:
  BusyBudget budget_;
  BusyBudget* outer_;
  RetryFilter* filter_ = nullptr;
  ComPtr<IMessageFilter> previous_;
  bool registered_ = false;
};

// After a busy rejection: waits one step (at most what is left of the
// budget), handling the thread's messages, and says whether to try the
// call again. False at once outside a BusyScope or with the budget spent.
bool WaitWhileBusy() noexcept;

}  // namespace win
