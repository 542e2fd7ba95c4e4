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

// "number source: description" of the error that a failed call gives.
std::string Outcome(HRESULT hr, WORD wCode, SCODE scode, const char* source, const char* description) {
  ExcepInfo info;
  info.Get()->wCode = wCode;
  info.Get()->scode = scode;
  if (source != nullptr) info.Get()->bstrSource = ToBstr(source).Detach();
  if (description != nullptr) info.Get()->bstrDescription = ToBstr(description).Detach();
  const vb::Error error = ErrorFromHresult(hr, info.Get());
  return std::to_string(error.number) + " " + error.source + ": " + error.description;
}

// The number comes from the EXCEPINFO's wCode, then its scode, then the
// HRESULT; the texts are the callee's, else VB's and the run-time's.
TEST(ErrorFromHresultTest, NumberSourceAndDescription) {
  const auto automation = static_cast<SCODE>(0x800A03EC);
  EXPECT_EQ(Outcome(DISP_E_EXCEPTION, 0, automation, "Microsoft Office Excel", "Accès refusé"),
            "1004 Microsoft Office Excel: Accès refusé");
  EXPECT_EQ(Outcome(DISP_E_EXCEPTION, 1004, static_cast<SCODE>(0x800A0009), "Excel", "Texte"),
            "1004 Excel: Texte");
  // A callee's own HRESULT stays one: Shapes("missing") is -2147024809.
  EXPECT_EQ(
      Outcome(DISP_E_EXCEPTION, 0, E_INVALIDARG, "Excel", "The item with the specified name wasn't found."),
      "-2147024809 Excel: The item with the specified name wasn't found.");
  EXPECT_EQ(Outcome(DISP_E_EXCEPTION, 0, automation, nullptr, nullptr),
            "1004 R58267: Application-defined or object-defined error");
  EXPECT_EQ(Outcome(DISP_E_TYPEMISMATCH, 0, 0, nullptr, nullptr), "13 R58267: Type mismatch");
  EXPECT_EQ(Outcome(static_cast<HRESULT>(0x800706BA), 0, 0, nullptr, nullptr),
            "462 R58267: The remote server machine does not exist or is unavailable");
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
