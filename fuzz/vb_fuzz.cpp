// The vb run-time's string and conversion functions fed arbitrary texts and
// numbers: each gives a result or raises a vb::Error, never anything else.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/vb.h"

namespace {

template <class F>
void Guarded(F call) {
  try {
    call();
  } catch (const vb::Error&) {  // NOLINT(bugprone-empty-catch): a VB error is a valid outcome
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string text = input.ConsumeRandomLengthString(256);
  const std::string other = input.ConsumeRandomLengthString(64);
  const long start = input.ConsumeIntegral<long>();
  const long length = input.ConsumeIntegral<long>();
  const double number = input.ConsumeFloatingPoint<double>();
  const vb::Variant values[] = {vb::Variant(text), vb::Variant(number), vb::Variant::Date(number),
                                vb::Variant(input.ConsumeBool())};
  for (const vb::Variant& value : values) {
    Guarded([&] { (void)vb::CStr(value); });
    Guarded([&] { (void)vb::CDbl(value); });
    Guarded([&] { (void)vb::CLng(value); });
    Guarded([&] { (void)vb::CInt(value); });
    Guarded([&] { (void)vb::CBool(value); });
    Guarded([&] { (void)vb::CDate(value); });
    Guarded([&] { (void)vb::IsNumeric(value); });
    Guarded([&] { (void)vb::IsDate(value); });
    Guarded([&] { (void)vb::Format(value, other); });
    Guarded([&] { (void)vb::Equals(value, vb::Variant(other)); });
  }
  Guarded([&] { (void)vb::Mid(text, start); });
  Guarded([&] { (void)vb::Mid(text, start, length); });
  Guarded([&] { (void)vb::Left(text, length); });
  Guarded([&] { (void)vb::Right(text, length); });
  Guarded([&] { (void)vb::InStr(text, other); });
  Guarded([&] { (void)vb::InStr(start, text, other); });
  Guarded([&] { (void)vb::Replace(text, other, text); });
  Guarded([&] { (void)vb::LCase(text); });
  Guarded([&] { (void)vb::UCase(text); });
  Guarded([&] { (void)vb::Trim(text); });
  Guarded([&] { (void)vb::Val(text); });
  Guarded([&] { (void)vb::Asc(text); });
  Guarded([&] { (void)vb::ChrW(start); });
  Guarded([&] { (void)vb::Len(text); });
  Guarded([&] { (void)vb::CellErrorCode(text); });
  Guarded([&] { (void)vb::NumberText(number); });
  Guarded([&] { (void)vb::DateText(number); });
  double parsed = 0;
  Guarded([&] { (void)vb::TryParseNumber(text, parsed); });
  Guarded([&] { (void)vb::TryParseDate(text, parsed); });
  return 0;
}
