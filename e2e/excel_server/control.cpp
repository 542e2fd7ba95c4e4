#include "e2e/excel_server/control.h"

#include <array>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "e2e/excel_server/late_bound.h"
#include "e2e/excel_server/stand_in_dispatch.h"
#include "sim/model.h"
#include "win/text.h"

namespace e2e {
namespace {

constexpr const wchar_t* kDialogClass = L"R58267Dialog";

enum Member : DISPID {
  kCloseWindow = 1,
  kAnswering,
  kBusyFor,
  kOpenDialog,
  kDialogCount,
  kWorkbooks,
  kCalls,
  kQuit
};
constexpr std::array<std::pair<std::wstring_view, Member>, 8> kNames{{{L"CloseWindow", kCloseWindow},
                                                                      {L"Answering", kAnswering},
                                                                      {L"BusyFor", kBusyFor},
                                                                      {L"OpenDialog", kOpenDialog},
                                                                      {L"DialogCount", kDialogCount},
                                                                      {L"Workbooks", kWorkbooks},
                                                                      {L"Calls", kCalls},
                                                                      {L"Quit", kQuit}}};

// A dialog gives its owner back when it closes, as a modal dialog does.
LRESULT CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    if (HWND owner = GetWindow(window, GW_OWNER); owner != nullptr) EnableWindow(owner, TRUE);
    DestroyWindow(window);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterDialogClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DialogProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kDialogClass;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Whether Excel is busy: for good, or until a tick count.
struct BusyState {
  bool forever = false;
  DWORD until = 0;
  bool timed = false;
  [[nodiscard]] bool Now() const {
    return forever || (timed && static_cast<LONG>(until - GetTickCount()) > 0);
  }
};

class BusyFilter final : public win::SingleInterface<IMessageFilter> {
 public:
  BusyFilter(std::shared_ptr<const BusyState> busy, IUnknown* control)
      : busy_(std::move(busy)), control_(control) {}

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD /*type*/, HTASK /*caller*/, DWORD /*ticks*/,
                                             LPINTERFACEINFO info) override {
    // Only automation calls are refused: reference counting and interface
    // queries (IRemUnknown) go on as they do in Excel.
    const bool automation = info != nullptr && info->iid == IID_IDispatch && info->pUnk != control_;
    return static_cast<DWORD>(automation && busy_->Now() ? SERVERCALL_REJECTED : SERVERCALL_ISHANDLED);
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK /*callee*/, DWORD /*ticks*/, DWORD /*type*/) override {
    return 0xFFFFFFFF;  // the server calls no one
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK /*callee*/, DWORD /*ticks*/, DWORD /*type*/) override {
    return PENDINGMSG_WAITDEFPROCESS;
  }

 private:
  std::shared_ptr<const BusyState> busy_;
  IUnknown* control_;
};

class Control final : public LateBound {
 public:
  Control(ControlTarget target, std::shared_ptr<BusyState> busy)
      : target_(std::move(target)), busy_(std::move(busy)) {}
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID /*iid*/, LPOLESTR* names, UINT count, LCID /*locale*/,
                                          DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count != 1)
      return count > 1 ? DISP_E_UNKNOWNNAME : E_INVALIDARG;
    for (const auto& [name, id] : kNames) {
      if (_wcsicmp(names[0], std::wstring(name).c_str()) == 0) {
        ids[0] = id;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID /*iid*/, LCID /*locale*/, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* /*exception*/,
                                   UINT* /*argumentError*/) override {
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    const UINT arguments = params == nullptr ? 0 : params->cArgs;
    try {
      switch (id) {
        case kCloseWindow:
          if (target_.window != nullptr && IsWindow(target_.window))
            SendMessageW(target_.window, WM_CLOSE, 0, 0);
          return S_OK;
        case kAnswering:
          if (put) {
            if (arguments != 1) return DISP_E_BADPARAMCOUNT;
            VARIANT value;
            VariantInit(&value);
            if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, VT_BOOL))) return DISP_E_TYPEMISMATCH;
            busy_->forever = V_BOOL(&value) == VARIANT_FALSE;
            busy_->timed = false;
            return S_OK;
          }
          return Boolean(result, !busy_->Now());
        case kBusyFor: {
          VARIANT value;
          VariantInit(&value);
          if (arguments != 1 || FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, VT_I4)) ||
              V_I4(&value) < 0) {
            return DISP_E_TYPEMISMATCH;
          }
          busy_->forever = false;
          busy_->timed = true;
          busy_->until = GetTickCount() + static_cast<DWORD>(V_I4(&value));
          return S_OK;
        }
        case kOpenDialog: {
          if (arguments != 1 || V_VT(&params->rgvarg[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
          return OpenDialog(V_BSTR(&params->rgvarg[0]));
        }
        case kDialogCount: {
          long open = 0;
          for (HWND dialog : dialogs_) open += IsWindow(dialog) ? 1 : 0;
          return Long(result, open);
        }
        case kWorkbooks:
          return Text(result, WorkbooksJson());
        case kCalls:
          return Long(result, InvokeCount());
        case kQuit:
          if (target_.quit) target_.quit();
          return S_OK;
        default:
          return DISP_E_MEMBERNOTFOUND;
      }
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  HRESULT OpenDialog(const wchar_t* title) {
    if (!RegisterDialogClass()) return HRESULT_FROM_WIN32(GetLastError());
    HWND owner = target_.window;
    for (HWND dialog : dialogs_) {
      if (IsWindow(dialog)) owner = dialog;
    }
    HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kDialogClass, title,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 100, 320, 200, owner,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (dialog == nullptr) return HRESULT_FROM_WIN32(GetLastError());
    EnableWindow(owner, FALSE);
    dialogs_.push_back(dialog);
    return S_OK;
  }

  [[nodiscard]] std::string WorkbooksJson() const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& workbook : target_.excel->State().workbooks) {
      list.push_back({{"name", workbook->name}, {"fullName", workbook->fullName}});
    }
    return list.dump();
  }

  static HRESULT Boolean(VARIANT* result, bool value) {
    if (result == nullptr) return S_OK;
    VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  static HRESULT Long(VARIANT* result, long value) {
    if (result == nullptr) return S_OK;
    VariantInit(result);
    V_VT(result) = VT_I4;
    V_I4(result) = value;
    return S_OK;
  }
  static HRESULT Text(VARIANT* result, const std::string& value) {
    if (result == nullptr) return S_OK;
    VariantInit(result);
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = win::ToBstr(value).Detach();
    return S_OK;
  }

  ControlTarget target_;
  std::vector<HWND> dialogs_;
  std::shared_ptr<BusyState> busy_;
};

}  // namespace

Controlled ControlFor(ControlTarget target) {
  auto busy = std::make_shared<BusyState>();
  Controlled controlled;
  controlled.control = win::ComPtr<IDispatch>::Attach(new Control(std::move(target), busy));
  controlled.filter = win::ComPtr<IMessageFilter>::Attach(new BusyFilter(busy, controlled.control.Get()));
  return controlled;
}

}  // namespace e2e
