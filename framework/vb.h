// The VB run-time that the exercise checks are written against: a typed
// Variant, the error that every failing call throws, and the string and
// conversion functions with VB's results and error numbers.
//
// Strings are UTF-8; every function that counts characters counts Unicode
// code points, so "Résultats" has length 9 as it has in VB.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vb {

// Error numbers used across the system (VB run-time and Excel automation).
inline constexpr long kInvalidCall = 5;
inline constexpr long kOverflow = 6;
inline constexpr long kOutOfMemory = 7;
inline constexpr long kSubscriptOutOfRange = 9;
inline constexpr long kTypeMismatch = 13;
inline constexpr long kFileNotFound = 53;
inline constexpr long kFileAlreadyExists = 58;
inline constexpr long kPathFileAccess = 75;
inline constexpr long kPathNotFound = 76;
inline constexpr long kObjectNotSet = 91;
inline constexpr long kCannotCreateObject = 429;
inline constexpr long kNotSupported = 438;
inline constexpr long kApplicationDefined = 1004;
// Raw HRESULTs as VB reports them (negative numbers).
inline constexpr long kInvalidArgumentHresult = -2147024809;    // E_INVALIDARG
inline constexpr long kUnspecifiedHresult = -2147467259;        // E_FAIL
inline constexpr long kServerBusyHresult = -2147417846;         // RPC_E_SERVERCALL_RETRYLATER
inline constexpr long kServerUnavailableHresult = -2147023174;  // RPC_S_SERVER_UNAVAILABLE

// Source text of the errors that the run-time itself raises.
inline constexpr std::string_view kRuntimeSource = "R58267";

// A failing call. Travels as an exception until a trap turns it into a
// cause code or the COM boundary turns it into an HRESULT.
class Error : public std::exception {
 public:
  Error(long number, std::string description, std::string source);
  [[nodiscard]] const char* what() const noexcept override { return description.c_str(); }

  long number;
  std::string description;
  std::string source;
};

// VB's own text for a run-time error number ("Type mismatch" for 13 …).
std::string DefaultDescription(long number);
// Raises `number` with VB's description and the run-time source.
[[noreturn]] void Raise(long number);
[[noreturn]] void Raise(long number, std::string description, std::string source);

// Regional settings that the conversions read: the decimal separator and the
// short date order (m/d/yyyy or dd/mm/yyyy). Without an order of its own the
// separator picks it: day first with ",", as in the course's French setting.
struct Locale {
  char decimalSeparator = '.';
  std::optional<bool> dayFirst = std::nullopt;
  [[nodiscard]] bool DayFirst() const { return dayFirst.value_or(decimalSeparator == ','); }
};
const Locale& CurrentLocale();
void SetCurrentLocale(Locale locale);
// Sets the regional settings for the lifetime of the object.
class ScopedLocale {
 public:
  explicit ScopedLocale(Locale locale);
  ~ScopedLocale();
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

 private:
  Locale previous_;
};

// Any automation object that a Variant can hold.
class Object {
 public:
  virtual ~Object() = default;
};

// VB's VarType numbers.
enum class VarType : int {
  Empty = 0,
  Null = 1,
  Long = 3,
  Double = 5,
  Date = 7,
  String = 8,
  Object = 9,
  Error = 10,
  Boolean = 11,
  Array = 8192,
};

// Excel's error values, as CVErr codes.
namespace cell_error {
inline constexpr long kNull = 2000;
inline constexpr long kDiv0 = 2007;
inline constexpr long kValue = 2015;
inline constexpr long kRef = 2023;
inline constexpr long kName = 2029;
inline constexpr long kNum = 2036;
inline constexpr long kNA = 2042;
}  // namespace cell_error
// "#N/A" → 2042 …; 0 for a text that is not one of Excel's error values.
long CellErrorCode(std::string_view text);
// 2042 → "#N/A" …; empty for an unknown code.
std::string CellErrorText(long code);

class Variant {
 public:
  Variant() = default;              // Empty
  Variant(bool value);              // NOLINT(google-explicit-constructor): VB converts freely
  Variant(int value);               // NOLINT(google-explicit-constructor)
  Variant(long value);              // NOLINT(google-explicit-constructor)
  Variant(double value);            // NOLINT(google-explicit-constructor)
  Variant(const char* value);       // NOLINT(google-explicit-constructor)
  Variant(std::string value);       // NOLINT(google-explicit-constructor)
  Variant(std::string_view value);  // NOLINT(google-explicit-constructor)
  static Variant Null();
  static Variant Date(double serial);    // OLE date: days since 30 Dec 1899
  static Variant ErrorValue(long code);  // CVErr(code)
  static Variant Object(std::shared_ptr<vb::Object> object);
  // A one-dimensional array whose first index is `lowerBound`.
  static Variant Array(std::vector<Variant> items, long lowerBound = 1);

  [[nodiscard]] VarType Type() const { return type_; }
  [[nodiscard]] bool IsEmpty() const { return type_ == VarType::Empty; }
  [[nodiscard]] bool IsNumeric() const;  // Long or Double (not Boolean, not Date)

  // Raw access; each raises 13 when the Variant holds another type.
  [[nodiscard]] bool AsBoolean() const;
  [[nodiscard]] long AsLong() const;
  [[nodiscard]] double AsDouble() const;  // Long, Double or Date serial
  [[nodiscard]] const std::string& AsString() const;
  [[nodiscard]] long AsErrorCode() const;
  [[nodiscard]] const std::shared_ptr<vb::Object>& AsObject() const;

  // Arrays: bounds and element access; 13 on a non-array, 9 out of range.
  [[nodiscard]] long LBound() const;
  [[nodiscard]] long UBound() const;
  [[nodiscard]] const Variant& operator()(long index) const;
  [[nodiscard]] const std::vector<Variant>& Items() const;

 private:
  VarType type_ = VarType::Empty;
  bool boolean_ = false;
  long long_ = 0;
  double double_ = 0;
  std::string string_;
  std::shared_ptr<vb::Object> object_;
  std::shared_ptr<const std::vector<Variant>> items_;
  long lowerBound_ = 0;
};

// ---- Conversions (VB's CStr, CDbl, CLng, CInt, CBool, CDate) ----

// Text of a value: numbers with at most 15 significant digits and the
// locale's decimal separator, "True"/"False", dates in the short form.
// 13 for an error value, an object or an array; Null is 94 as in VB.
std::string CStr(const Variant& value);
// Number of a value; texts are read with the locale's decimal separator and
// may be "True"/"False" in any case. 13 when the text is not a number.
double CDbl(const Variant& value);
// CDbl rounded half to even; 6 outside the 32-bit range.
std::int32_t CLng(const Variant& value);
// CDbl rounded half to even; 6 outside the 16-bit range.
std::int16_t CInt(const Variant& value);
bool CBool(const Variant& value);
// Date serial of a value (a date, a number, or a date text of the locale).
double CDate(const Variant& value);

// Number text → number under the locale, if the text is one; no error.
bool TryParseNumber(std::string_view text, double& result);
// VB's number-to-text rule alone: at most 15 significant digits, no
// trailing zeros, the separator of the current locale or of `locale`
// (Excel writes formulas and constants with the "." of `EnglishLocale()`).
std::string NumberText(double value);
std::string NumberText(double value, const Locale& locale);
inline Locale EnglishLocale() { return Locale{'.'}; }

// ---- Information functions ----
std::string TypeName(const Variant& value);  // "Double", "String", "Error" …
bool IsDate(const Variant& value);
bool IsNumeric(const Variant& value);
bool IsError(const Variant& value);

// ---- Dates ----
double DateSerial(int year, int month, int day);
struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
DateParts SplitDate(double serial);
// Date text of the locale's short form: m/d/yyyy or dd/mm/yyyy, with the
// time after a space when the serial has one.
std::string DateText(double serial);
std::string DateText(double serial, const Locale& locale);
// Reads a date text: the locale's short form (either "/" or "-" as
// separator, 2- or 4-digit year), an ISO yyyy-mm-dd, or English month names
// ("1 January 2002", "January 1, 2002"). False when it is not a date.
bool TryParseDate(std::string_view text, double& serial);

// Format(value, pattern) for date patterns (d, dd, m, mm, mmm, mmmm, yy,
// yyyy, other characters kept) and for numbers with a date pattern (the
// number is a date serial). Text is converted as CDate does; 13 otherwise.
std::string Format(const Variant& value, std::string_view pattern);

// ---- String functions (code points) ----
long Len(std::string_view text);
// Mid: 5 when start < 1 or length < 0; past the end gives a shorter text.
std::string Mid(std::string_view text, long start);
std::string Mid(std::string_view text, long start, long length);
std::string Left(std::string_view text, long length);   // 5 when length < 0
std::string Right(std::string_view text, long length);  // 5 when length < 0
// 1-based position of `find` in `text` from `start`, 0 when absent; an
// empty `find` gives `start`; 5 when start < 1.
long InStr(std::string_view text, std::string_view find);
long InStr(long start, std::string_view text, std::string_view find);
// Case mapping of ASCII, Latin-1 and Latin Extended-A letters ("É" ⇄ "é").
std::string LCase(std::string_view text);
std::string UCase(std::string_view text);
std::string Trim(std::string_view text);
// Leading number of a text, "." as decimal point whatever the locale,
// spaces ignored; 0 when the text does not start with a number.
double Val(std::string_view text);
// Code point of the first character; 5 for an empty text.
long Asc(std::string_view text);
// Text of one code point; 5 outside 0 to 0x10FFFF.
std::string ChrW(long codePoint);
// Every occurrence of `find` replaced by `replacement`, left to right
// (the same as Excel's SUBSTITUTE without an instance number).
std::string Replace(std::string_view text, std::string_view find, std::string_view replacement);

// ---- Comparison (VB's "=" on Variants) ----
// Numbers compare as numbers, texts as texts (binary, case-sensitive); a
// text against a number is converted to a number (13 if it is not one);
// Empty counts as 0 or "". 13 for error values, objects and arrays.
bool Equals(const Variant& left, const Variant& right);

}  // namespace vb
