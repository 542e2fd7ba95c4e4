#include "win/boundary.h"

#include "framework/remonte_erreur.h"
#include "win/errors.h"
#include "win/text.h"

namespace win {

HRESULT ReportCurrentError(REFIID iid) noexcept {
  try {
    const vb::Error error = r58267::ErreurEnCours();
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Put()))) {
      create->SetGUID(iid);
      create->SetSource(const_cast<LPOLESTR>(Wide(error.source).c_str()));
      create->SetDescription(const_cast<LPOLESTR>(Wide(error.description).c_str()));
      if (const ComPtr<IErrorInfo> info = create.As<IErrorInfo>()) SetErrorInfo(0, info.Get());
    }
    return HresultOf(error.number);
  } catch (...) {
    // Not even the error could be described: memory is gone.
    return E_OUTOFMEMORY;
  }
}

}  // namespace win
