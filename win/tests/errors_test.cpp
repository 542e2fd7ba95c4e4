#include "win/errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/text.h"

namespace win {
namespace {

TEST(ErrorNumberTest, VbNumbersAndHresultsBothWays) {
  struct Case {
    HRESULT hr;
    long number;
  };
  for (const Case c : std::vector<Case>{
           {static_cast<HRESULT>(0x800A03EC), 1004},
           {static_cast<HRESULT>(0x800A01AD), 429},
           {DISP_E_TYPEMISMATCH, 13},
           {DISP_E_BADINDEX, 9},
           {DISP_E_OVERFLOW, 6},
           {E_INVALIDARG, 5},
           {DISP_E_MEMBERNOTFOUND, 438},
           {DISP_E_UNKNOWNNAME, 438},
           {static_cast<HRESULT>(0x800706BA), 462},
           {E_OUTOFMEMORY, 7},
           {DISP_E_PARAMNOTOPTIONAL, 449},
           {DISP_E_BADPARAMCOUNT, 450},
           {DISP_E_PARAMNOTFOUND, 448},
           {RPC_E_SERVERCALL_RETRYLATER, vb::kServerBusyHresult},
           {RPC_E_CALL_REJECTED, -2147418111},
           {E_FAIL, vb::kUnspecifiedHresult},
       }) {
    SCOPED_TRACE(c.hr);
    EXPECT_EQ(ErrorNumber(c.hr), c.number);
  }
  // Back: automation errors for VB numbers, negative numbers as they are.
  for (const Case c : std::vector<Case>{{static_cast<HRESULT>(0x800A03EC), 1004},
                                        {static_cast<HRESULT>(0x800A000D), 13},
                                        {E_INVALIDARG, vb::kInvalidArgumentHresult},
                                        {RPC_E_SERVERCALL_RETRYLATER, vb::kServerBusyHresult},
                                        {E_FAIL, 0}}) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(HresultOf(c.number), c.hr);
  }
}

// The number comes from the EXCEPINFO's wCode, then its scode, then the
// HRESULT; the texts are the callee's, else VB's and the run-time's.
TEST(ErrorFromHresultTest, NumberDescriptionAndSource) {
  struct Case {
    HRESULT hr;
    WORD wCode;
    SCODE scode;
    const char* source;
    const char* description;
    long number;
    std::string expectedSource;
    std::string expectedDescription;
  };
  const std::string excel = "Microsoft Office Excel";
  const std::string runtime(vb::kRuntimeSource);
  const std::vector<Case> cases{
      {DISP_E_EXCEPTION, 0, static_cast<SCODE>(0x800A03EC), excel.c_str(), "Accès refusé à Range", 1004,
       excel, "Accès refusé à Range"},
      {DISP_E_EXCEPTION, 1004, static_cast<SCODE>(0x800A0009), "Excel", "Texte", 1004, "Excel", "Texte"},
      // A callee's own HRESULT stays one: Shapes("missing") is -2147024809.
      {DISP_E_EXCEPTION, 0, E_INVALIDARG, excel.c_str(), "The item with the specified name wasn't found.",
       vb::kInvalidArgumentHresult, excel, "The item with the specified name wasn't found."},
      {DISP_E_EXCEPTION, 0, static_cast<SCODE>(0x800A03EC), nullptr, nullptr, 1004, runtime,
       "Application-defined or object-defined error"},
      {DISP_E_TYPEMISMATCH, 0, 0, nullptr, nullptr, 13, runtime, "Type mismatch"},
      {static_cast<HRESULT>(0x800706BA), 0, 0, nullptr, nullptr, 462, runtime,
       "The remote server machine does not exist or is unavailable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expectedDescription);
    ExcepInfo info;
    info.Get()->wCode = c.wCode;
    info.Get()->scode = c.scode;
    if (c.source != nullptr) info.Get()->bstrSource = ToBstr(c.source).Detach();
    if (c.description != nullptr) info.Get()->bstrDescription = ToBstr(c.description).Detach();
    const vb::Error error = ErrorFromHresult(c.hr, info.Get());
    EXPECT_EQ(error.number, c.number);
    EXPECT_EQ(error.source, c.expectedSource);
    EXPECT_EQ(error.description, c.expectedDescription);
  }
}

HRESULT STDAPICALLTYPE FillIn(EXCEPINFO* e) {
  e->scode = static_cast<SCODE>(0x800A03EC);
  e->bstrDescription = ToBstr("Select method of Range class failed").Detach();
  return S_OK;
}

TEST(ErrorFromHresultTest, DeferredFillInRunsFirst) {
  ExcepInfo info;
  info.Get()->pfnDeferredFillIn = FillIn;
  const vb::Error error = ErrorFromHresult(DISP_E_EXCEPTION, info.Get());
  EXPECT_EQ(error.number, 1004);
  EXPECT_EQ(error.description, "Select method of Range class failed");
}

TEST(ErrorFromHresultTest, RawHresultWithoutTextIsAnAutomationError) {
  const vb::Error error = ErrorFromHresult(RPC_E_SERVERCALL_RETRYLATER, nullptr);
  EXPECT_EQ(error.number, vb::kServerBusyHresult);
  EXPECT_EQ(error.description.rfind("Automation error", 0), 0u) << error.description;
}

}  // namespace
}  // namespace win
