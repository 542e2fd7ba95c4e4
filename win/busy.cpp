#include "win/busy.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace win {
namespace {

// The budget of the innermost scope of each thread that is in one.
struct Budgets {
  std::mutex mutex;
  std::vector<std::pair<DWORD, BusyBudget*>> byThread;
};

Budgets& AllBudgets() {
  static Budgets budgets;
  return budgets;
}

BusyBudget* CurrentBudget() {
  Budgets& budgets = AllBudgets();
  const std::scoped_lock lock(budgets.mutex);
  const DWORD thread = GetCurrentThreadId();
  const auto found = std::ranges::find(budgets.byThread, thread, &std::pair<DWORD, BusyBudget*>::first);
  return found == budgets.byThread.end() ? nullptr : found->second;
}

// Makes `budget` the thread's (null: none); gives the one it replaces.
BusyBudget* SetCurrentBudget(BusyBudget* budget) {
  Budgets& budgets = AllBudgets();
  const std::scoped_lock lock(budgets.mutex);
  const DWORD thread = GetCurrentThreadId();
  const auto found = std::ranges::find(budgets.byThread, thread, &std::pair<DWORD, BusyBudget*>::first);
  BusyBudget* replaced = found == budgets.byThread.end() ? nullptr : found->second;
  if (found != budgets.byThread.end()) budgets.byThread.erase(found);
  if (budget != nullptr) budgets.byThread.emplace_back(thread, budget);
  return replaced;
}

}  // namespace

// Retries rejected calls within the member's budget; incoming calls and
// messages that arrive during an outgoing call are the host's business,
// so they go to the host's filter, or get COM's default answers.
class RetryFilter final : public SingleInterface<IMessageFilter> {
 public:
  explicit RetryFilter(BusyBudget& budget) : budget_(&budget) {}
  void SetHost(ComPtr<IMessageFilter> host) { host_ = std::move(host); }
  // The scope ended: whoever still holds the filter gets no more retries.
  void Detach() {
    budget_ = nullptr;
    host_.Reset();
  }

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD type, HTASK caller, DWORD ticks,
                                             LPINTERFACEINFO info) override {
    return host_ ? host_->HandleInComingCall(type, caller, ticks, info)
                 : static_cast<DWORD>(SERVERCALL_ISHANDLED);
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK /*callee*/, DWORD /*ticks*/, DWORD rejectType) override {
    if (budget_ == nullptr) return 0xFFFFFFFF;
    return RetryAnswer(*budget_, rejectType);
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD ticks, DWORD type) override {
    return host_ ? host_->MessagePending(callee, ticks, type) : static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS);
  }

 private:
  BusyBudget* budget_;
  ComPtr<IMessageFilter> host_;
};

bool IsBusy(HRESULT result) noexcept {
  return result == RPC_E_CALL_REJECTED || result == RPC_E_SERVERCALL_RETRYLATER;
}

DWORD RetryAnswer(BusyBudget& budget, DWORD rejectType) noexcept {
  constexpr DWORD kGiveUp = 0xFFFFFFFF;
  if (rejectType != SERVERCALL_RETRYLATER && rejectType != SERVERCALL_REJECTED) return kGiveUp;
  const DWORD pause = std::min(kBusyStepMs, budget.Left());
  if (pause == 0) return kGiveUp;
  budget.Spend(pause);
  // Below 100 COM would try again at once.
  return std::max<DWORD>(pause, 100);
}

BusyScope::BusyScope(DWORD boundMs) noexcept : budget_(boundMs), outer_(CurrentBudget()) {
  if (outer_ != nullptr) return;  // nested: the outer scope's budget and filter hold
  try {
    SetCurrentBudget(&budget_);
  } catch (...) {
    return;  // no budget: busy calls fail at once, as they would without us
  }
  filter_ = new (std::nothrow) RetryFilter(budget_);
  if (filter_ == nullptr) return;
  IMessageFilter* previous = nullptr;
  // Fails outside a single-threaded apartment, where COM has no filters.
  if (SUCCEEDED(CoRegisterMessageFilter(filter_, &previous))) {
    registered_ = true;
    previous_ = ComPtr<IMessageFilter>::Attach(previous);
    filter_->SetHost(previous_);
  }
}

BusyScope::~BusyScope() {
  if (outer_ != nullptr) return;
  if (registered_) {
    IMessageFilter* replaced = nullptr;
    if (SUCCEEDED(CoRegisterMessageFilter(previous_.Get(), &replaced)) && replaced != nullptr)
      replaced->Release();
  }
  if (filter_ != nullptr) {
    filter_->Detach();
    filter_->Release();
  }
  try {
    SetCurrentBudget(nullptr);
  } catch (...) {
  }
}

bool WaitWhileBusy() noexcept {
  BusyBudget* budget = nullptr;
  try {
    budget = CurrentBudget();
  } catch (...) {
    return false;
  }
  if (budget == nullptr || budget->Left() == 0) return false;
  const DWORD pause = std::min(kBusyStepMs, budget->Left());
  budget->Spend(pause);
  // The host's windows keep working while Excel is waited for, as they do
  // during a call that COM retries.
  const DWORD start = GetTickCount();
  for (DWORD waited = 0; waited < pause; waited = GetTickCount() - start) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, pause - waited, QS_ALLINPUT) != WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      if (message.message == WM_QUIT) {
        // Left for the host's own loop; no more waiting.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return true;
}

}  // namespace win
