// The course's host as a late-binding client: calls by name through
// IDispatch only (GetIDsOfNames and Invoke), the host's own variables for
// the in/out arguments, and one exercise played from InitQuestion to
// Fermer.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "win/com.h"
#include "win/tests/arguments.h"

namespace e2e {

// The outcome of one failed call: the member, its status and EXCEPINFO.
struct CallError {
  std::string member;
  HRESULT status = S_OK;
  std::string source;
  std::string description;

  // The error number as VB reports it: the low word of a VB error's
  // HRESULT, the HRESULT itself otherwise.
  [[nodiscard]] long Number() const;
  // "Member-failed(HRESULT:description)", for one line of a report.
  [[nodiscard]] std::string Describe() const;
};

// The result of one call through IDispatch: its value, or its error.
struct Reply {
  win::UniqueVariant value;
  std::optional<CallError> error;
};

// Invokes `name` on `object` by name, with `arguments` given first to last
// (the caller keeps owning them).
Reply Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments = {});
Reply Get(IDispatch* object, const wchar_t* name);
Reply Call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments = {});

using win::test_support::Boolean;
using win::test_support::Long;
using win::test_support::Text;

// The Application and window handle variables of the host, kept from one
// InitQuestion to the next and given to Quitter.
struct HostExcel {
  win::ComPtr<IDispatch> application;
  LONG handle = 0;
};

struct Outcome {
  long question = 0;
  std::optional<CallError> failed;
  bool erreurGenerale = false;
  std::string causeErreur;
  bool bravoNuance = false;
  std::vector<std::string> complement;
  // The document that a failed call's error is about, found by content
  // among the files left in the working folder; a path on Wine's drive Z:
  // is given as the Linux path it is.
  std::string workbook;

  // No general error and no cause, or for question 709 the cause "D" with
  // BravoNuance, which is how that exercise says it was passed.
  [[nodiscard]] bool Passed() const;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadAll(const std::filesystem::path& path);

// The names the question delivers its working files under, in order.
std::vector<std::wstring> NomsSource(long question);

// A fresh folder under Windows' temporary folder, removed with what is
// left in it when the object goes.
class WorkingFolder {
 public:
  WorkingFolder();
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  // The folder as the module receives it: with a final "\".
  [[nodiscard]] std::wstring Text() const { return path_.wstring() + L"\\"; }

 private:
  std::filesystem::path path_;
};

// The registered R58267.Module, created by ProgID; empty when it cannot be.
win::ComPtr<IDispatch> CreateModule();

// Copies the documents into `folder` under the names the question delivers.
void Deliver(long question, const std::vector<std::filesystem::path>& documents, const WorkingFolder& folder);

std::optional<CallError> InitQuestion(IDispatch* module, HostExcel& excel, long question,
                                      const WorkingFolder& folder);
std::optional<CallError> Quitter(IDispatch* module, HostExcel& excel);

// TestePoint, then ErreurGenerale, CauseErreur, BravoNuance and Complement
// (its count and items), stopping at the first failure.
void Correct(IDispatch* module, Outcome& outcome);

// One case as the course's host runs it: the documents delivered into a
// fresh folder, InitQuestion, Correct, Fermer (the first failure kept).
Outcome RunCase(IDispatch* module, HostExcel& excel, long question,
                const std::vector<std::filesystem::path>& documents);

// The control object of the running Excel stand-in server; empty when no
// server runs.
win::ComPtr<IDispatch> ServerControl();

}  // namespace e2e
