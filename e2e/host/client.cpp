#include "e2e/host/client.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "e2e/control_clsid.h"
#include "win/text.h"

namespace e2e {

namespace fs = std::filesystem;
using win::Bstr;
using win::ComPtr;
using win::UniqueVariant;

long CallError::Number() const {
  const auto code = static_cast<unsigned long>(status);
  if ((code & 0xFFFF0000UL) == 0x800A0000UL) return static_cast<long>(code & 0xFFFFUL);
  return static_cast<long>(status);
}

std::string CallError::Describe() const {
  char text[16];
  std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(status));
  return member + "-failed(" + text + ":" + description + ")";
}

Reply Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments) {
  Reply reply;
  DISPID id = DISPID_UNKNOWN;
  auto* text = const_cast<LPOLESTR>(name);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(hr)) {
    std::reverse(arguments.begin(), arguments.end());
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    DISPPARAMS params{arguments.data(), put ? &named : nullptr, static_cast<UINT>(arguments.size()),
                      put ? 1U : 0U};
    EXCEPINFO exception{};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, reply.value.Put(), &exception,
                        nullptr);
    const Bstr source = Bstr::Attach(exception.bstrSource);
    const Bstr description = Bstr::Attach(exception.bstrDescription);
    const Bstr help = Bstr::Attach(exception.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION) {
      hr = exception.scode != 0 ? exception.scode : static_cast<HRESULT>(0x800A0000 | exception.wCode);
      reply.error =
          CallError{win::Utf8(name), hr, win::FromBstr(source.Get()), win::FromBstr(description.Get())};
      return reply;
    }
  }
  if (FAILED(hr)) reply.error = CallError{win::Utf8(name), hr, "", "HRESULT only"};
  return reply;
}

Reply Get(IDispatch* object, const wchar_t* name) { return Invoke(object, name, DISPATCH_PROPERTYGET); }

Reply Call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments) {
  return Invoke(object, name, DISPATCH_METHOD, std::move(arguments));
}

namespace {

// The host's own variables, passed by reference as a compiled host does.
VARIANT ObjectReference(IDispatch** target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&v) = target;
  return v;
}

VARIANT LongReference(LONG* target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_I4;
  V_I4REF(&v) = target;
  return v;
}

bool IsTrue(const VARIANT& value) { return V_VT(&value) == VT_BOOL && V_BOOL(&value) != VARIANT_FALSE; }

std::string TextOf(const VARIANT& value) {
  return V_VT(&value) == VT_BSTR ? win::FromBstr(V_BSTR(&value)) : "?";
}

// Reads one property of the module into `outcome`; false after a failure.
template <class F>
bool Read(IDispatch* module, const wchar_t* member, Outcome& outcome, F take) {
  const Reply reply = Get(module, member);
  if (reply.error) {
    outcome.failed = reply.error;
    return false;
  }
  take(reply.value.Get());
  return true;
}

// The lines of the Complement list: `count`, then `item(i)` from 1.
void ReadComplement(IDispatch* list, Outcome& outcome) {
  Reply count = Invoke(list, L"count", DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  if (count.error) {
    outcome.failed = count.error;
    return;
  }
  if (FAILED(VariantChangeType(&count.value.Get(), &count.value.Get(), 0, VT_I4))) return;
  for (LONG i = 1; i <= V_I4(&count.value.Get()); ++i) {
    const Reply item = Invoke(list, L"item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Long(i)});
    if (item.error) {
      outcome.failed = item.error;
      return;
    }
    outcome.complement.push_back(TextOf(item.value.Get()));
  }
}

// The document whose working copy the error's description starts with.
std::string WorkbookOf(const CallError& error, const WorkingFolder& folder,
                       const std::vector<fs::path>& documents) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder.Path(), ignored)) {
    if (error.description.rfind(win::Utf8(entry.path().filename().wstring()) + ": ", 0) != 0) continue;
    const std::string copy = ReadAll(entry.path());
    for (const auto& document : documents) {
      if (ReadAll(document) != copy) continue;
      std::string path = win::Utf8(document.wstring());
      if (path.rfind("Z:", 0) == 0) path.erase(0, 2);
      return path;
    }
  }
  return {};
}

}  // namespace

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Outcome::Passed() const {
  if (failed || erreurGenerale) return false;
  if (question == 709) return causeErreur == "D" && bravoNuance;
  return causeErreur.empty();
}

std::vector<std::wstring> NomsSource(long question) {
  const std::wstring number = std::to_wstring(question % 100);
  const std::wstring suffix = (number.size() == 1 ? L"0" : L"") + number + L".xls";
  std::vector<std::wstring> names{L"058267" + suffix};
  if (question == 717 || question == 718) names.push_back(L"158267" + suffix);
  return names;
}

WorkingFolder::WorkingFolder() {
  static int counter = 0;
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  path_ = fs::path(temp) /
          (L"r58267-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
  std::error_code ignored;
  fs::remove_all(path_, ignored);
  fs::create_directories(path_);
}

WorkingFolder::~WorkingFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

ComPtr<IDispatch> CreateModule() {
  ComPtr<IDispatch> module;
  CLSID moduleClass{};
  if (FAILED(CLSIDFromProgID(L"R58267.Module", &moduleClass)) ||
      FAILED(CoCreateInstance(moduleClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(module.Put())))) {
    return {};
  }
  return module;
}

void Deliver(long question, const std::vector<fs::path>& documents, const WorkingFolder& folder) {
  const auto names = NomsSource(question);
  for (std::size_t i = 0; i < documents.size() && i < names.size(); ++i) {
    fs::copy_file(documents[i], folder.Path() / names[i], fs::copy_options::overwrite_existing);
  }
}

std::optional<CallError> InitQuestion(IDispatch* module, HostExcel& excel, long question,
                                      const WorkingFolder& folder) {
  const Bstr path = win::ToBstr(win::Utf8(folder.Text()));
  IDispatch* application = excel.application.Detach();
  Reply init =
      Call(module, L"InitQuestion",
           {Long(question), Text(path), ObjectReference(&application), LongReference(&excel.handle)});
  excel.application = ComPtr<IDispatch>::Attach(application);
  return init.error;
}

std::optional<CallError> Quitter(IDispatch* module, HostExcel& excel) {
  IDispatch* application = excel.application.Detach();
  Reply reply = Call(module, L"Quitter", {ObjectReference(&application), LongReference(&excel.handle)});
  excel.application = ComPtr<IDispatch>::Attach(application);
  return reply.error;
}

void Correct(IDispatch* module, Outcome& outcome) {
  if (Reply test = Call(module, L"TestePoint"); test.error) {
    outcome.failed = test.error;
    return;
  }
  const bool read =
      Read(module, L"ErreurGenerale", outcome,
           [&](const VARIANT& v) { outcome.erreurGenerale = IsTrue(v); }) &&
      Read(module, L"CauseErreur", outcome, [&](const VARIANT& v) { outcome.causeErreur = TextOf(v); }) &&
      Read(module, L"BravoNuance", outcome, [&](const VARIANT& v) { outcome.bravoNuance = IsTrue(v); });
  if (!read) return;
  Read(module, L"Complement", outcome, [&](const VARIANT& v) {
    if (V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v) != nullptr) ReadComplement(V_DISPATCH(&v), outcome);
  });
}

Outcome RunCase(IDispatch* module, HostExcel& excel, long question, const std::vector<fs::path>& documents) {
  Outcome outcome;
  outcome.question = question;
  const WorkingFolder folder;
  Deliver(question, documents, folder);
  outcome.failed = InitQuestion(module, excel, question, folder);
  if (!outcome.failed) Correct(module, outcome);
  if (outcome.failed) outcome.workbook = WorkbookOf(*outcome.failed, folder, documents);
  // Close whatever happened, keeping the first failure.
  Reply close = Call(module, L"Fermer");
  if (close.error && !outcome.failed) outcome.failed = close.error;
  return outcome;
}

ComPtr<IDispatch> ServerControl() {
  ComPtr<IUnknown> running;
  if (FAILED(GetActiveObject(kControlClsid, nullptr, running.Put()))) return {};
  return running.As<IDispatch>();
}

}  // namespace e2e
