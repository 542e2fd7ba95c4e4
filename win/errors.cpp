#include "win/errors.h"

#include <array>
#include <string>
#include <utility>

#include "win/text.h"

namespace win {
namespace {

// VB's number for the standard errors that a dispatch call can return.
// Any other HRESULT stays itself: a busy or call-rejecting server
// (RPC_E_SERVERCALL_RETRYLATER, RPC_E_CALL_REJECTED) is recognised by it.
struct KnownError {
  HRESULT hr;
  long number;
};

const std::array<KnownError, 11> kKnownErrors{{
    {DISP_E_TYPEMISMATCH, vb::kTypeMismatch},
    {DISP_E_BADINDEX, vb::kSubscriptOutOfRange},
    {DISP_E_OVERFLOW, vb::kOverflow},
    {E_INVALIDARG, vb::kInvalidCall},
    {E_OUTOFMEMORY, vb::kOutOfMemory},
    {DISP_E_MEMBERNOTFOUND, vb::kNotSupported},
    {DISP_E_UNKNOWNNAME, vb::kNotSupported},
    {DISP_E_PARAMNOTFOUND, 448},                          // Named argument not found
    {DISP_E_PARAMNOTOPTIONAL, 449},                       // Argument not optional
    {DISP_E_BADPARAMCOUNT, 450},                          // Wrong number of arguments
    {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), 462},  // The remote server … is unavailable
}};

bool IsAutomationError(HRESULT hr) { return HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr); }

// The system's text for a raw HRESULT ("The RPC server is unavailable."),
// empty when it has none.
std::string SystemMessage(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (buffer == nullptr) return {};
  std::wstring text(buffer, length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return Utf8(text);
}

// The number of an EXCEPINFO's scode: an automation error (0x800A….)
// becomes its VB number; anything else is the callee's own HRESULT and
// stays one (Excel reports a missing shape name as E_INVALIDARG, which VB
// shows as -2147024809, not as 5).
long ScodeNumber(SCODE scode) { return IsAutomationError(scode) ? HRESULT_CODE(scode) : scode; }

}  // namespace

long ErrorNumber(HRESULT hr) {
  if (IsAutomationError(hr)) return HRESULT_CODE(hr);
  for (const auto& known : kKnownErrors) {
    if (known.hr == hr) return known.number;
  }
  return hr;
}

vb::Error ErrorFromHresult(HRESULT hr, EXCEPINFO* info) {
  long number = ErrorNumber(hr);
  Bstr description;
  Bstr source;
  if (info != nullptr) {
    if (info->pfnDeferredFillIn != nullptr) info->pfnDeferredFillIn(info);
    description = Bstr::Attach(std::exchange(info->bstrDescription, nullptr));
    source = Bstr::Attach(std::exchange(info->bstrSource, nullptr));
    const Bstr helpFile = Bstr::Attach(std::exchange(info->bstrHelpFile, nullptr));
    if (info->wCode != 0) {
      number = info->wCode;
    } else if (info->scode != 0) {
      number = ScodeNumber(info->scode);
    }
  }
  std::string text = FromBstr(description.Get());
  if (text.empty()) {
    text = vb::DefaultDescription(number);
    // VB follows "Automation error" with the system's text of the HRESULT.
    if (number < 0) {
      const std::string message = SystemMessage(number);
      if (!message.empty()) text += "\n" + message;
    }
  }
  std::string origin = FromBstr(source.Get());
  if (origin.empty()) origin = vb::kRuntimeSource;
  return {number, std::move(text), std::move(origin)};
}

HRESULT HresultOf(long number) {
  if (number < 0) return number;
  if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
  // 0 is no error and larger numbers do not fit an automation error.
  return E_FAIL;
}

}  // namespace win
