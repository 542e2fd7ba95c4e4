#include "framework/vb.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

namespace vb {

// ---- Errors ----

namespace {

constexpr long kInvalidUseOfNull = 94;
constexpr long kNamedArgumentNotFound = 448;
constexpr long kArgumentNotOptional = 449;
constexpr long kWrongArgumentCount = 450;
constexpr long kRemoteServerUnavailable = 462;

}  // namespace

Error::Error(long code, std::string text, std::string origin)
    : number(code), description(std::move(text)), source(std::move(origin)) {}

std::string DefaultDescription(long number) {
  switch (number) {
    case kInvalidCall:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kOutOfMemory:
      return "Out of memory";
    case kSubscriptOutOfRange:
      return "Subscript out of range";
    case kTypeMismatch:
      return "Type mismatch";
    case kFileNotFound:
      return "File not found";
    case kFileAlreadyExists:
      return "File already exists";
    case kPathFileAccess:
      return "Path/File access error";
    case kPathNotFound:
      return "Path not found";
    case kObjectNotSet:
      return "Object variable or With block variable not set";
    case kInvalidUseOfNull:
      return "Invalid use of Null";
    case kCannotCreateObject:
      return "ActiveX component can't create object";
    case kNotSupported:
      return "Object doesn't support this property or method";
    case kNamedArgumentNotFound:
      return "Named argument not found";
    case kArgumentNotOptional:
      return "Argument not optional";
    case kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case kRemoteServerUnavailable:
      return "The remote server machine does not exist or is unavailable";
    default:
      // A raw HRESULT, as VB reports a failed automation call.
      if (number < 0) return "Automation error";
      return "Application-defined or object-defined error";
  }
}

void Raise(long number) { throw Error(number, DefaultDescription(number), std::string(kRuntimeSource)); }

void Raise(long number, std::string description, std::string source) {
  throw Error(number, std::move(description), std::move(source));
}

// ---- Locale ----

namespace {

Locale& LocaleSlot() {
  static Locale current;
  return current;
}

}  // namespace

const Locale& CurrentLocale() { return LocaleSlot(); }

void SetCurrentLocale(Locale locale) { LocaleSlot() = locale; }

ScopedLocale::ScopedLocale(Locale locale) : previous_(CurrentLocale()) { SetCurrentLocale(locale); }

ScopedLocale::~ScopedLocale() { SetCurrentLocale(previous_); }

// ---- Excel error values ----

namespace {

struct CellErrorName {
  long code;
  std::string_view text;
};

constexpr std::array<CellErrorName, 7> kCellErrors{{
    {cell_error::kNull, "#NULL!"},
    {cell_error::kDiv0, "#DIV/0!"},
    {cell_error::kValue, "#VALUE!"},
    {cell_error::kRef, "#REF!"},
    {cell_error::kName, "#NAME?"},
    {cell_error::kNum, "#NUM!"},
    {cell_error::kNA, "#N/A"},
}};

}  // namespace

long CellErrorCode(std::string_view text) {
  for (const auto& entry : kCellErrors) {
    if (entry.text == text) return entry.code;
  }
  return 0;
}

std::string CellErrorText(long code) {
  for (const auto& entry : kCellErrors) {
    if (entry.code == code) return std::string(entry.text);
  }
  return {};
}

// ---- Variant ----

Variant::Variant(bool value) : type_(VarType::Boolean), boolean_(value) {}

Variant::Variant(int value) : type_(VarType::Long), long_(value) {}

// A VB Long has 32 bits; a wider value is kept as a Double, as a Variant
// holding the result of VB arithmetic would be.
Variant::Variant(long value) {
  if (static_cast<std::int32_t>(value) == value) {
    type_ = VarType::Long;
    long_ = value;
  } else {
    type_ = VarType::Double;
    double_ = static_cast<double>(value);
  }
}

Variant::Variant(double value) : type_(VarType::Double), double_(value) {}

Variant::Variant(const char* value) : type_(VarType::String), string_(value == nullptr ? "" : value) {}

Variant::Variant(std::string value) : type_(VarType::String), string_(std::move(value)) {}

Variant::Variant(std::string_view value) : type_(VarType::String), string_(value) {}

Variant Variant::Null() {
  Variant result;
  result.type_ = VarType::Null;
  return result;
}

Variant Variant::Date(double serial) {
  Variant result;
  result.type_ = VarType::Date;
  result.double_ = serial;
  return result;
}

Variant Variant::ErrorValue(long code) {
  Variant result;
  result.type_ = VarType::Error;
  result.long_ = code;
  return result;
}

Variant Variant::Object(std::shared_ptr<vb::Object> object) {
  Variant result;
  result.type_ = VarType::Object;
  result.object_ = std::move(object);
  return result;
}

Variant Variant::Array(std::vector<Variant> items, long lowerBound) {
  Variant result;
  result.type_ = VarType::Array;
  result.items_ = std::make_shared<const std::vector<Variant>>(std::move(items));
  result.lowerBound_ = lowerBound;
  return result;
}

bool Variant::IsNumeric() const { return type_ == VarType::Long || type_ == VarType::Double; }

bool Variant::AsBoolean() const {
  if (type_ != VarType::Boolean) Raise(kTypeMismatch);
  return boolean_;
}

long Variant::AsLong() const {
  if (type_ != VarType::Long) Raise(kTypeMismatch);
  return long_;
}

double Variant::AsDouble() const {
  switch (type_) {
    case VarType::Long:
      return static_cast<double>(long_);
    case VarType::Double:
    case VarType::Date:
      return double_;
    default:
      Raise(kTypeMismatch);
  }
}

const std::string& Variant::AsString() const {
  if (type_ != VarType::String) Raise(kTypeMismatch);
  return string_;
}

long Variant::AsErrorCode() const {
  if (type_ != VarType::Error) Raise(kTypeMismatch);
  return long_;
}

const std::shared_ptr<vb::Object>& Variant::AsObject() const {
  if (type_ != VarType::Object) Raise(kTypeMismatch);
  return object_;
}

const std::vector<Variant>& Variant::Items() const {
  if (type_ != VarType::Array) Raise(kTypeMismatch);
  return *items_;
}

long Variant::LBound() const {
  if (type_ != VarType::Array) Raise(kTypeMismatch);
  return lowerBound_;
}

long Variant::UBound() const { return LBound() + static_cast<long>(Items().size()) - 1; }

const Variant& Variant::operator()(long index) const {
  const auto& items = Items();
  if (index < lowerBound_ || index - lowerBound_ >= static_cast<long>(items.size()))
    Raise(kSubscriptOutOfRange);
  return items[static_cast<std::size_t>(index - lowerBound_)];
}

// ---- UTF-8 ----

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Byte length of the character at `pos`: a well-formed sequence, or 1 for a
// byte that does not start one (it then counts as a character of its own).
// Encoded surrogates are accepted so that ChrW's output reads back whole.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  const std::size_t rest = text.size() - pos;
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  if (byte < 0x80U) return 1;
  if (byte >= 0xC2U && byte <= 0xDFU) return rest >= 2 && IsContinuation(at(1)) ? 2 : 1;
  if (byte >= 0xE0U && byte <= 0xEFU) {
    if (rest < 3 || !IsContinuation(at(1)) || !IsContinuation(at(2))) return 1;
    return byte == 0xE0U && at(1) < 0xA0U ? 1 : 3;
  }
  if (byte >= 0xF0U && byte <= 0xF4U) {
    if (rest < 4 || !IsContinuation(at(1)) || !IsContinuation(at(2)) || !IsContinuation(at(3))) return 1;
    if (byte == 0xF0U && at(1) < 0x90U) return 1;
    if (byte == 0xF4U && at(1) > 0x8FU) return 1;
    return 4;
  }
  return 1;
}

// Code point of the character at `pos` of byte length `length`; a stray
// byte reads as its Latin-1 value.
char32_t CodePointAt(std::string_view text, std::size_t pos, std::size_t length) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (length == 1) return byte;
  char32_t value = byte & (length == 2 ? 0x1FU : length == 3 ? 0x0FU : 0x07U);
  for (std::size_t i = 1; i < length; ++i)
    value = (value << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3FU);
  return value;
}

void AppendUtf8(std::string& out, char32_t cp) {
  auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

// Byte offset reached after skipping `count` characters from `from`.
std::size_t SkipChars(std::string_view text, std::size_t from, long count) {
  std::size_t pos = from;
  for (long i = 0; i < count && pos < text.size(); ++i) pos += CharLength(text, pos);
  return pos;
}

template <typename Map>
std::string MapChars(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = CharLength(text, pos);
    const char32_t cp = CodePointAt(text, pos, length);
    const char32_t mapped = map(cp);
    if (mapped == cp) {
      out.append(text.substr(pos, length));  // keeps stray bytes as they are
    } else {
      AppendUtf8(out, mapped);
    }
    pos += length;
  }
  return out;
}

// Latin Extended-A: runs where upper and lower case alternate. `upperEven`
// tells whether the upper-case letter has the even code point.
struct CasePairRun {
  char32_t first;
  char32_t last;
  bool upperEven;
};
constexpr std::array<CasePairRun, 4> kLatinExtendedA{{
    {0x0100, 0x012F, true},
    {0x0132, 0x0137, true},
    {0x0139, 0x0148, false},
    {0x014A, 0x0177, true},
}};

char32_t ToLower(char32_t cp) {
  if (cp >= U'A' && cp <= U'Z') return cp + 0x20;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
  if (cp == 0x0130) return U'i';
  if (cp == 0x0178) return 0xFF;
  if (cp >= 0x0179 && cp <= 0x017E) return cp % 2 == 1 ? cp + 1 : cp;
  for (const auto& run : kLatinExtendedA) {
    if (cp >= run.first && cp <= run.last) return (cp % 2 == 0) == run.upperEven ? cp + 1 : cp;
  }
  return cp;
}

char32_t ToUpper(char32_t cp) {
  if (cp >= U'a' && cp <= U'z') return cp - 0x20;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
  if (cp == 0xFF) return 0x0178;
  if (cp == 0x0131) return U'I';
  if (cp >= 0x017A && cp <= 0x017E) return cp % 2 == 0 ? cp - 1 : cp;
  for (const auto& run : kLatinExtendedA) {
    if (cp > run.first && cp <= run.last) return (cp % 2 == 1) == run.upperEven ? cp - 1 : cp;
  }
  return cp;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

int HexDigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Value of a radix literal's digits as VB types it: an Integer when it fits
// in 16 bits (so &HFFFF is -1), a Long when it fits in 32 bits; a trailing
// "&" forces a Long. Empty when it does not fit in a Long.
std::optional<double> RadixValue(std::uint64_t bits, bool forceLong) {
  if (bits <= 0xFFFFU && !forceLong) return static_cast<double>(static_cast<std::int16_t>(bits));
  if (bits <= 0xFFFFFFFFU)
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
  return std::nullopt;
}

// Reads the digits after "&H"/"&O" from `pos`, advancing it.
// Empty when they overflow a Long.
std::optional<double> ReadRadixDigits(std::string_view text, std::size_t& pos, int radix) {
  std::uint64_t bits = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = HexDigitValue(text[pos]);
    if (digit < 0 || digit >= radix) break;
    bits = bits * static_cast<unsigned>(radix) + static_cast<unsigned>(digit);
    if (bits > 0xFFFFFFFFU) return std::nullopt;
  }
  bool forceLong = false;
  if (pos < text.size() && text[pos] == '&') {
    forceLong = true;
    ++pos;
  }
  return RadixValue(bits, forceLong);
}

// Decimal number from its parts (digits only), without any locale.
// Empty when the magnitude exceeds a Double.
std::optional<double> DecimalValue(std::string_view intDigits, std::string_view fracDigits, long exponent) {
  std::string text(intDigits.empty() ? "0" : intDigits);
  if (!fracDigits.empty()) {
    text += '.';
    text += fracDigits;
  }
  text += 'e';
  text += std::to_string(exponent);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow has no Double.
    const auto lead = intDigits.find_first_not_of('0');
    const long magnitude =
        exponent + (lead == std::string_view::npos ? 0 : static_cast<long>(intDigits.size() - lead));
    if (magnitude <= 0) return 0.0;
    return std::nullopt;
  }
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Exponent digits accumulate with a cap so that a huge exponent still reads
// as an overflow or an underflow rather than wrapping.
void AccumulateExponent(long& exponent, char digit) {
  if (exponent < 100000) exponent = exponent * 10 + (digit - '0');
}

}  // namespace

// ---- Numbers ----

bool TryParseNumber(std::string_view text, double& result) {
  const std::string_view body = TrimBlanks(text);
  if (body.empty()) return false;
  if (EqualsIgnoreAsciiCase(body, "true")) {
    result = -1;
    return true;
  }
  if (EqualsIgnoreAsciiCase(body, "false")) {
    result = 0;
    return true;
  }
  std::size_t pos = 0;
  bool negative = false;
  if (body[pos] == '+' || body[pos] == '-') {
    negative = body[pos] == '-';
    ++pos;
  }
  std::optional<double> value;
  if (pos + 1 < body.size() && body[pos] == '&') {
    const char prefix = body[pos + 1];
    const int radix = prefix == 'h' || prefix == 'H' ? 16 : prefix == 'o' || prefix == 'O' ? 8 : 0;
    if (radix == 0) return false;
    pos += 2;
    const std::size_t digitsStart = pos;
    value = ReadRadixDigits(body, pos, radix);
    if (pos == digitsStart) return false;
  } else {
    const std::size_t intStart = pos;
    while (pos < body.size() && IsDigit(body[pos])) ++pos;
    const std::string_view intDigits = body.substr(intStart, pos - intStart);
    std::string_view fracDigits;
    if (pos < body.size() && body[pos] == CurrentLocale().decimalSeparator) {
      const std::size_t fracStart = ++pos;
      while (pos < body.size() && IsDigit(body[pos])) ++pos;
      fracDigits = body.substr(fracStart, pos - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty()) return false;
    long exponent = 0;
    if (pos < body.size() && (body[pos] == 'e' || body[pos] == 'E')) {
      ++pos;
      bool negativeExponent = false;
      if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) negativeExponent = body[pos++] == '-';
      const std::size_t expStart = pos;
      for (; pos < body.size() && IsDigit(body[pos]); ++pos) AccumulateExponent(exponent, body[pos]);
      if (pos == expStart) return false;
      if (negativeExponent) exponent = -exponent;
    }
    value = DecimalValue(intDigits, fracDigits, exponent);
  }
  if (pos != body.size() || !value) return false;
  result = negative ? -*value : *value;
  return true;
}

std::string NumberText(double value) { return NumberText(value, CurrentLocale()); }

std::string NumberText(double value, const Locale& locale) {
  if (!std::isfinite(value)) Raise(kOverflow);
  if (value == 0) return "0";  // also -0
  // 15 significant digits, correctly rounded from the binary value.
  std::array<char, 40> buffer{};
  const auto [end, ec] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific, 14);
  if (ec != std::errc()) Raise(kOverflow);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  const bool negative = text.front() == '-';
  const std::size_t ePos = text.find('e');
  std::string digits;
  for (char c : text.substr(0, ePos)) {
    if (IsDigit(c)) digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  const std::string_view expText = text.substr(ePos + 1);
  std::from_chars(expText.data() + (expText.front() == '+' ? 1 : 0), expText.data() + expText.size(),
                  exponent);

  std::string out = negative ? "-" : "";
  const char separator = locale.decimalSeparator;
  if (exponent >= 15 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) {
      out += separator;
      out.append(digits, 1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const std::string magnitude = std::to_string(std::abs(exponent));
    if (magnitude.size() < 2) out += '0';
    out += magnitude;
  } else if (exponent >= 0) {
    const auto intCount = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intCount) {
      out += digits;
      out.append(intCount - digits.size(), '0');
    } else {
      out.append(digits, 0, intCount);
      out += separator;
      out.append(digits, intCount);
    }
  } else {
    out += '0';
    out += separator;
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  }
  return out;
}

// ---- Dates ----

namespace {

// The OLE date range: 1 Jan 100 to 31 Dec 9999.
constexpr double kMinDateSerial = -657434;
constexpr double kMaxDateSerial = 2958465;
constexpr long kSecondsPerDay = 86400;

// Days from 1 Jan 1970 of a proleptic Gregorian date (H. Hinnant's method).
constexpr long DaysFromCivil(long year, long month, long day) {
  year -= month <= 2 ? 1 : 0;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct CivilDate {
  long year;
  long month;
  long day;
};

CivilDate CivilFromDays(long days) {
  days += 719468;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long doe = days - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const long day = doy - (153 * mp + 2) / 5 + 1;
  const long month = mp < 10 ? mp + 3 : mp - 9;
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr long kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

long DaysInMonth(long year, long month) {
  static constexpr std::array<long, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// VB reads a year of 0 to 99 as two digits: 00-29 in the 2000s, 30-99 in the 1900s.
long WindowYear(long year) {
  if (year >= 0 && year <= 29) return year + 2000;
  if (year >= 30 && year <= 99) return year + 1900;
  return year;
}

void CheckDateRange(double serial) {
  if (!std::isfinite(serial) || serial <= kMinDateSerial - 1 || serial >= kMaxDateSerial + 1)
    Raise(kOverflow);
}

// A date serial's day and time: the integer part is the day, and the
// fraction counts forward from that day's midnight even for a negative
// serial (OLE's rule: -1.25 is 29 Dec 1899 06:00). Rounded to the second.
struct DayAndTime {
  long day;
  long seconds;
};

DayAndTime SplitSerial(double serial) {
  CheckDateRange(serial);
  const double whole = std::trunc(serial);
  auto day = static_cast<long>(whole);
  auto seconds = std::lround(std::fabs(serial - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++day;
  }
  return {day, seconds};
}

// Serial of a day and a time of day, the time counting forward from the day.
double JoinSerial(long day, double timeFraction) {
  return day < 0 ? static_cast<double>(day) - timeFraction : static_cast<double>(day) + timeFraction;
}

std::string TwoDigits(long value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

std::string TimeText(long seconds, const Locale& locale) {
  const long hour = seconds / 3600;
  const std::string rest = ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
  if (locale.DayFirst()) return TwoDigits(hour) + rest;
  const long hour12 = hour % 12 == 0 ? 12 : hour % 12;
  return std::to_string(hour12) + rest + (hour < 12 ? " AM" : " PM");
}

std::string ShortDateText(const CivilDate& date, const Locale& locale) {
  if (locale.DayFirst()) {
    return TwoDigits(date.day) + "/" + TwoDigits(date.month) + "/" + std::to_string(date.year);
  }
  return std::to_string(date.month) + "/" + std::to_string(date.day) + "/" + std::to_string(date.year);
}

constexpr std::array<std::string_view, 12> kMonthNames{"January",   "February", "March",    "April",
                                                       "May",       "June",     "July",     "August",
                                                       "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                    "Thursday", "Friday", "Saturday"};

// Month 1-12 of an English month name, full or three letters; 0 otherwise.
long MonthFromName(std::string_view word) {
  for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
    if (EqualsIgnoreAsciiCase(word, kMonthNames[i]) ||
        EqualsIgnoreAsciiCase(word, kMonthNames[i].substr(0, 3))) {
      return static_cast<long>(i) + 1;
    }
  }
  return 0;
}

// A date text as a list of tokens; blanks only separate them.
struct DateToken {
  enum class Kind { Number, Word, Punct } kind;
  std::string_view text;
  long value = 0;  // Number: its value; Punct: the character
};

std::optional<std::vector<DateToken>> TokenizeDate(std::string_view text) {
  std::vector<DateToken> tokens;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == ' ' || c == '\t') {
      ++pos;
    } else if (IsDigit(c)) {
      const std::size_t start = pos;
      long value = 0;
      for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        if (pos - start >= 9) return std::nullopt;  // no date field is that long
        value = value * 10 + (text[pos] - '0');
      }
      tokens.push_back({DateToken::Kind::Number, text.substr(start, pos - start), value});
    } else if (IsAsciiLetter(c)) {
      const std::size_t start = pos;
      while (pos < text.size() && IsAsciiLetter(text[pos])) ++pos;
      tokens.push_back({DateToken::Kind::Word, text.substr(start, pos - start)});
    } else if (c == '/' || c == '-' || c == ':' || c == ',') {
      tokens.push_back({DateToken::Kind::Punct, text.substr(pos, 1), c});
      ++pos;
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

class DateReader {
 public:
  explicit DateReader(const std::vector<DateToken>& tokens) : tokens_(tokens) {}

  [[nodiscard]] bool AtEnd() const { return index_ == tokens_.size(); }
  [[nodiscard]] const DateToken* Peek(std::size_t ahead = 0) const {
    return index_ + ahead < tokens_.size() ? &tokens_[index_ + ahead] : nullptr;
  }
  [[nodiscard]] bool IsNumber(std::size_t ahead = 0) const {
    const auto* token = Peek(ahead);
    return token != nullptr && token->kind == DateToken::Kind::Number;
  }
  [[nodiscard]] bool IsPunct(char c, std::size_t ahead = 0) const {
    const auto* token = Peek(ahead);
    return token != nullptr && token->kind == DateToken::Kind::Punct && token->value == c;
  }
  [[nodiscard]] long MonthName(std::size_t ahead = 0) const {
    const auto* token = Peek(ahead);
    return token != nullptr && token->kind == DateToken::Kind::Word ? MonthFromName(token->text) : 0;
  }
  const DateToken& Take() { return tokens_[index_++]; }
  bool SkipPunct(char c) {
    if (!IsPunct(c)) return false;
    ++index_;
    return true;
  }

 private:
  const std::vector<DateToken>& tokens_;
  std::size_t index_ = 0;
};

// Year of a date field: one or two digits through VB's window, three or
// four digits as written.
std::optional<long> YearField(const DateToken& token) {
  const std::size_t digits = token.text.size();
  if (digits <= 2) return WindowYear(token.value);
  if (digits <= 4 && token.value >= 100) return token.value;
  return std::nullopt;
}

std::optional<double> CheckedDateSerial(long year, long month, long day) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
}

// The date part: numeric with "/" or "-", ISO, or with an English month name.
std::optional<double> ReadDatePart(DateReader& reader) {
  if (reader.IsNumber() && (reader.IsPunct('/', 1) || reader.IsPunct('-', 1)) && reader.IsNumber(2)) {
    const char separator = static_cast<char>(reader.Peek(1)->value);
    if (reader.IsPunct(separator, 3) && reader.IsNumber(4)) {
      const DateToken& first = reader.Take();
      reader.Take();
      const DateToken& second = reader.Take();
      reader.Take();
      const DateToken& third = reader.Take();
      if (first.text.size() > 2) {  // ISO order: year first
        const auto year = YearField(first);
        if (!year || second.text.size() > 2 || third.text.size() > 2) return std::nullopt;
        return CheckedDateSerial(*year, second.value, third.value);
      }
      const auto year = YearField(third);
      if (!year || second.text.size() > 2) return std::nullopt;
      if (CurrentLocale().DayFirst()) return CheckedDateSerial(*year, second.value, first.value);
      return CheckedDateSerial(*year, first.value, second.value);
    }
  }
  // "1 January 2002", "1-Jan-2002"
  if (reader.IsNumber()) {
    const DateToken& dayToken = reader.Take();
    if (dayToken.text.size() > 2) return std::nullopt;
    const bool dashed = reader.SkipPunct('-') || reader.SkipPunct('/');
    const long month = reader.MonthName();
    if (month == 0) return std::nullopt;
    reader.Take();
    if (dashed && !reader.SkipPunct('-') && !reader.SkipPunct('/')) return std::nullopt;
    if (!reader.IsNumber()) return std::nullopt;
    const auto year = YearField(reader.Take());
    if (!year) return std::nullopt;
    return CheckedDateSerial(*year, month, dayToken.value);
  }
  // "January 1, 2002", "Jan 1 2002"
  const long month = reader.MonthName();
  if (month == 0) return std::nullopt;
  reader.Take();
  if (!reader.IsNumber()) return std::nullopt;
  const DateToken& dayToken = reader.Take();
  if (dayToken.text.size() > 2) return std::nullopt;
  reader.SkipPunct(',');
  if (!reader.IsNumber()) return std::nullopt;
  const auto year = YearField(reader.Take());
  if (!year) return std::nullopt;
  return CheckedDateSerial(*year, month, dayToken.value);
}

// "h:mm", "h:mm:ss" or "h AM", with an optional AM/PM; the fraction of a day.
std::optional<double> ReadTimePart(DateReader& reader) {
  if (!reader.IsNumber()) return std::nullopt;
  const long hour = reader.Take().value;
  long minute = 0;
  long second = 0;
  bool hasMinutes = false;
  if (reader.SkipPunct(':')) {
    if (!reader.IsNumber()) return std::nullopt;
    minute = reader.Take().value;
    hasMinutes = true;
    if (reader.SkipPunct(':')) {
      if (!reader.IsNumber()) return std::nullopt;
      second = reader.Take().value;
    }
  }
  long hour24 = hour;
  const DateToken* suffix = reader.Peek();
  if (suffix != nullptr && suffix->kind == DateToken::Kind::Word) {
    const bool am = EqualsIgnoreAsciiCase(suffix->text, "am") || EqualsIgnoreAsciiCase(suffix->text, "a");
    const bool pm = EqualsIgnoreAsciiCase(suffix->text, "pm") || EqualsIgnoreAsciiCase(suffix->text, "p");
    if (!am && !pm) return std::nullopt;
    if (hour > 12) return std::nullopt;
    reader.Take();
    hour24 = hour % 12 + (pm ? 12 : 0);
  } else if (!hasMinutes) {
    return std::nullopt;  // a lone number is not a time
  }
  if (hour24 > 23 || minute > 59 || second > 59) return std::nullopt;
  return static_cast<double>(hour24 * 3600 + minute * 60 + second) / kSecondsPerDay;
}

bool StartsTime(const DateReader& reader) { return reader.IsNumber() && reader.IsPunct(':', 1); }

}  // namespace

double DateSerial(int year, int month, int day) {
  long fullYear = WindowYear(year);
  // Months beyond 1-12 move the year; days beyond the month move the date.
  const long monthIndex = month - 1;
  fullYear += monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
  const long normalisedMonth = ((monthIndex % 12) + 12) % 12 + 1;
  const long days = DaysFromCivil(fullYear, normalisedMonth, 1) + (day - 1L) - kEpochDays;
  const auto serial = static_cast<double>(days);
  if (serial < kMinDateSerial || serial > kMaxDateSerial) Raise(kInvalidCall);
  return serial;
}

DateParts SplitDate(double serial) {
  const DayAndTime split = SplitSerial(serial);
  const CivilDate date = CivilFromDays(split.day + kEpochDays);
  DateParts parts;
  parts.year = static_cast<int>(date.year);
  parts.month = static_cast<int>(date.month);
  parts.day = static_cast<int>(date.day);
  parts.hour = static_cast<int>(split.seconds / 3600);
  parts.minute = static_cast<int>(split.seconds / 60 % 60);
  parts.second = static_cast<int>(split.seconds % 60);
  return parts;
}

std::string DateText(double serial) { return DateText(serial, CurrentLocale()); }

std::string DateText(double serial, const Locale& locale) {
  const DayAndTime split = SplitSerial(serial);
  // Day 0 is VB's "no date": only the time is written, midnight included.
  if (split.day == 0) return TimeText(split.seconds, locale);
  std::string text = ShortDateText(CivilFromDays(split.day + kEpochDays), locale);
  if (split.seconds != 0) text += " " + TimeText(split.seconds, locale);
  return text;
}

bool TryParseDate(std::string_view text, double& serial) {
  const auto tokens = TokenizeDate(text);
  if (!tokens || tokens->empty()) return false;
  DateReader reader(*tokens);
  std::optional<double> day = 0.0;
  if (!StartsTime(reader)) {
    day = ReadDatePart(reader);
    if (!day) return false;
  }
  double fraction = 0;
  if (!reader.AtEnd()) {
    const auto time = ReadTimePart(reader);
    if (!time || !reader.AtEnd()) return false;
    fraction = *time;
  }
  serial = JoinSerial(static_cast<long>(*day), fraction);
  return true;
}

// ---- Conversions ----

std::string CStr(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty:
      return {};
    case VarType::Null:
      Raise(kInvalidUseOfNull);
    case VarType::Boolean:
      return value.AsBoolean() ? "True" : "False";
    case VarType::Long:
    case VarType::Double:
      return NumberText(value.AsDouble());
    case VarType::Date:
      return DateText(value.AsDouble());
    case VarType::String:
      return value.AsString();
    default:
      Raise(kTypeMismatch);
  }
}

double CDbl(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Null:
      Raise(kInvalidUseOfNull);
    case VarType::Boolean:
      return value.AsBoolean() ? -1 : 0;
    case VarType::Long:
    case VarType::Double:
    case VarType::Date:
      return value.AsDouble();
    case VarType::String: {
      double result = 0;
      if (!TryParseNumber(value.AsString(), result)) Raise(kTypeMismatch);
      return result;
    }
    default:
      Raise(kTypeMismatch);
  }
}

namespace {

// Round half to even, as VB's integer conversions do.
double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1;
  return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

template <typename Int>
Int ToInteger(const Variant& value) {
  const double number = CDbl(value);
  if (!std::isfinite(number)) Raise(kOverflow);
  const double rounded = RoundHalfEven(number);
  if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max())
    Raise(kOverflow);
  return static_cast<Int>(rounded);
}

}  // namespace

std::int32_t CLng(const Variant& value) { return ToInteger<std::int32_t>(value); }

std::int16_t CInt(const Variant& value) { return ToInteger<std::int16_t>(value); }

bool CBool(const Variant& value) { return CDbl(value) != 0; }

double CDate(const Variant& value) {
  double serial = 0;
  switch (value.Type()) {
    case VarType::String:
      if (!TryParseDate(value.AsString(), serial) && !TryParseNumber(value.AsString(), serial)) {
        Raise(kTypeMismatch);
      }
      break;
    default:
      serial = CDbl(value);
      break;
  }
  CheckDateRange(serial);
  return serial;
}

// ---- Information functions ----

std::string TypeName(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty:
      return "Empty";
    case VarType::Null:
      return "Null";
    case VarType::Long:
      return "Long";
    case VarType::Double:
      return "Double";
    case VarType::Date:
      return "Date";
    case VarType::String:
      return "String";
    case VarType::Object:
      return value.AsObject() ? "Object" : "Nothing";
    case VarType::Error:
      return "Error";
    case VarType::Boolean:
      return "Boolean";
    case VarType::Array:
      return "Variant()";
  }
  return "Unknown";
}

bool IsDate(const Variant& value) {
  if (value.Type() == VarType::Date) return true;
  double serial = 0;
  return value.Type() == VarType::String && TryParseDate(value.AsString(), serial);
}

bool IsNumeric(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Long:
    case VarType::Double:
      return true;
    case VarType::String: {
      double number = 0;
      return TryParseNumber(value.AsString(), number);
    }
    default:
      return false;
  }
}

bool IsError(const Variant& value) { return value.Type() == VarType::Error; }

// ---- Format ----

namespace {

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::size_t RunLength(std::string_view pattern, std::size_t pos) {
  const char c = LowerAscii(pattern[pos]);
  std::size_t end = pos;
  while (end < pattern.size() && LowerAscii(pattern[end]) == c) ++end;
  return end - pos;
}

// The date serial that Format writes, or empty when the value is a text
// that is not a date (Format then returns it unchanged).
std::optional<double> FormatSerial(const Variant& value) {
  switch (value.Type()) {
    case VarType::String: {
      double serial = 0;
      if (TryParseDate(value.AsString(), serial) || TryParseNumber(value.AsString(), serial)) return serial;
      return std::nullopt;
    }
    default:
      return CDate(value);
  }
}

class DateFormatter {
 public:
  explicit DateFormatter(double serial) : serial_(serial), parts_(SplitDate(serial)) {
    const long day = DaysFromCivil(parts_.year, parts_.month, parts_.day);
    weekday_ = ((day + 4) % 7 + 7) % 7;  // 1 Jan 1970 was a Thursday; 0 is Sunday
    dayOfYear_ = day - DaysFromCivil(parts_.year, 1, 1) + 1;
    jan1Weekday_ = ((DaysFromCivil(parts_.year, 1, 1) + 4) % 7 + 7) % 7;
  }

  std::string Write(std::string_view pattern) {
    hasAmPm_ = HasAmPm(pattern);
    std::string out;
    std::size_t pos = 0;
    while (pos < pattern.size()) {
      const char c = pattern[pos];
      if (c == '"') {
        const auto close = pattern.find('"', pos + 1);
        const auto end = close == std::string_view::npos ? pattern.size() : close;
        out.append(pattern.substr(pos + 1, end - pos - 1));
        pos = end == pattern.size() ? end : end + 1;
        continue;
      }
      if (c == '\\') {
        if (pos + 1 < pattern.size()) {
          const std::size_t length = CharLength(pattern, pos + 1);
          out.append(pattern.substr(pos + 1, length));
          pos += 1 + length;
        } else {
          ++pos;
        }
        continue;
      }
      if (const std::size_t used = WriteAmPm(pattern.substr(pos), out); used > 0) {
        pos += used;
        afterHour_ = false;
        continue;
      }
      const std::size_t run = RunLength(pattern, pos);
      const std::size_t used = WriteToken(LowerAscii(c), run, out);
      if (used == 0) {
        out += c;  // a literal character
        ++pos;
      } else {
        pos += used;
      }
    }
    return out;
  }

 private:
  static bool HasAmPm(std::string_view pattern) {
    for (std::size_t pos = 0; pos < pattern.size(); ++pos) {
      const auto rest = pattern.substr(pos);
      if (StartsWithIgnoreCase(rest, "am/pm") || StartsWithIgnoreCase(rest, "a/p") ||
          StartsWithIgnoreCase(rest, "ampm")) {
        return true;
      }
    }
    return false;
  }

  // Writes an AM/PM marker in the case the pattern uses; bytes consumed.
  std::size_t WriteAmPm(std::string_view rest, std::string& out) const {
    const bool pm = parts_.hour >= 12;
    if (StartsWithIgnoreCase(rest, "am/pm")) {
      const bool lower = rest[0] == 'a';
      out += pm ? (lower ? "pm" : "PM") : (lower ? "am" : "AM");
      return 5;
    }
    if (StartsWithIgnoreCase(rest, "ampm")) {
      out += pm ? "PM" : "AM";
      return 4;
    }
    if (StartsWithIgnoreCase(rest, "a/p")) {
      const bool lower = rest[0] == 'a';
      out += pm ? (lower ? 'p' : 'P') : (lower ? 'a' : 'A');
      return 3;
    }
    return 0;
  }

  // Writes the token that starts a run of `run` letters `c`; bytes consumed,
  // 0 when `c` starts no token.
  std::size_t WriteToken(char c, std::size_t run, std::string& out) {
    const bool afterHour = std::exchange(afterHour_, false);
    switch (c) {
      case 'd':
        if (run >= 6) {
          out += std::string(kDayNames[static_cast<std::size_t>(weekday_)]) + ", " +
                 std::string(kMonthNames[static_cast<std::size_t>(parts_.month - 1)]) + " " +
                 std::to_string(parts_.day) + ", " + std::to_string(parts_.year);
          return run;
        }
        if (run == 5) {
          out += ShortDateText(CivilDate{parts_.year, parts_.month, parts_.day}, CurrentLocale());
        } else if (run == 4) {
          out += kDayNames[static_cast<std::size_t>(weekday_)];
        } else if (run == 3) {
          out += kDayNames[static_cast<std::size_t>(weekday_)].substr(0, 3);
        } else {
          out += run == 2 ? TwoDigits(parts_.day) : std::to_string(parts_.day);
        }
        return run;
      case 'm':
        if (afterHour && run <= 2) {  // minutes right after an hour
          out += run == 2 ? TwoDigits(parts_.minute) : std::to_string(parts_.minute);
        } else if (run >= 4) {
          out += kMonthNames[static_cast<std::size_t>(parts_.month - 1)];
        } else if (run == 3) {
          out += kMonthNames[static_cast<std::size_t>(parts_.month - 1)].substr(0, 3);
        } else {
          out += run == 2 ? TwoDigits(parts_.month) : std::to_string(parts_.month);
        }
        return run;
      case 'y':
        if (run >= 4) {
          out += std::to_string(parts_.year);
          return 4;
        }
        if (run >= 2) {
          out += TwoDigits(parts_.year % 100);
          return 2;
        }
        out += std::to_string(dayOfYear_);
        return 1;
      case 'h': {
        const long hour = hasAmPm_ ? (parts_.hour % 12 == 0 ? 12 : parts_.hour % 12) : parts_.hour;
        out += run >= 2 ? TwoDigits(hour) : std::to_string(hour);
        afterHour_ = true;
        return run >= 2 ? 2 : 1;
      }
      case 'n':
        out += run >= 2 ? TwoDigits(parts_.minute) : std::to_string(parts_.minute);
        return run >= 2 ? 2 : 1;
      case 's':
        out += run >= 2 ? TwoDigits(parts_.second) : std::to_string(parts_.second);
        return run >= 2 ? 2 : 1;
      case 'w':
        if (run >= 2) {
          out += std::to_string((dayOfYear_ - 1 + jan1Weekday_) / 7 + 1);
          return 2;
        }
        out += std::to_string(weekday_ + 1);
        return 1;
      case 'q':
        out += std::to_string((parts_.month - 1) / 3 + 1);
        return 1;
      case 'c':
        out += DateText(serial_);
        return 1;
      default:
        afterHour_ = afterHour;  // a literal keeps "h:m" reading as minutes
        return 0;
    }
  }

  double serial_;
  DateParts parts_;
  long weekday_ = 0;
  long dayOfYear_ = 0;
  long jan1Weekday_ = 0;
  bool hasAmPm_ = false;
  bool afterHour_ = false;
};

}  // namespace

std::string Format(const Variant& value, std::string_view pattern) {
  if (value.Type() == VarType::Null) Raise(kInvalidUseOfNull);
  if (value.Type() == VarType::Error || value.Type() == VarType::Object || value.Type() == VarType::Array) {
    Raise(kTypeMismatch);
  }
  if (pattern.empty()) return CStr(value);
  const auto serial = FormatSerial(value);
  if (!serial) return value.AsString();
  return DateFormatter(*serial).Write(pattern);
}

// ---- String functions ----

long Len(std::string_view text) {
  long count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) ++count;
  return count;
}

std::string Mid(std::string_view text, long start) {
  if (start < 1) Raise(kInvalidCall);
  return std::string(text.substr(SkipChars(text, 0, start - 1)));
}

std::string Mid(std::string_view text, long start, long length) {
  if (start < 1 || length < 0) Raise(kInvalidCall);
  const std::size_t begin = SkipChars(text, 0, start - 1);
  const std::size_t end = SkipChars(text, begin, length);
  return std::string(text.substr(begin, end - begin));
}

std::string Left(std::string_view text, long length) {
  if (length < 0) Raise(kInvalidCall);
  return std::string(text.substr(0, SkipChars(text, 0, length)));
}

std::string Right(std::string_view text, long length) {
  if (length < 0) Raise(kInvalidCall);
  const long total = Len(text);
  if (length >= total) return std::string(text);
  return std::string(text.substr(SkipChars(text, 0, total - length)));
}

long InStr(std::string_view text, std::string_view find) { return InStr(1, text, find); }

// An empty `find` gives `start` while start is within the text, and 0 past
// its end (so InStr("", "") is 0), as VB does.
long InStr(long start, std::string_view text, std::string_view find) {
  if (start < 1) Raise(kInvalidCall);
  long index = 1;
  std::size_t pos = 0;
  for (; index < start && pos < text.size(); ++index) pos += CharLength(text, pos);
  if (pos >= text.size()) return 0;
  if (find.empty()) return start;
  // Compared at character boundaries only, so a match never starts inside
  // a multi-byte character.
  for (; pos < text.size(); pos += CharLength(text, pos), ++index) {
    if (text.substr(pos).starts_with(find)) return index;
  }
  return 0;
}

std::string LCase(std::string_view text) { return MapChars(text, ToLower); }

std::string UCase(std::string_view text) { return MapChars(text, ToUpper); }

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

double Val(std::string_view text) {
  // Blanks, tabs and line feeds are ignored anywhere in the number.
  std::string compact;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') compact += c;
  }
  std::size_t pos = 0;
  if (compact.size() >= 2 && compact[0] == '&') {
    const char prefix = LowerAscii(compact[1]);
    if (prefix != 'h' && prefix != 'o') return 0;
    pos = 2;
    const auto value = ReadRadixDigits(compact, pos, prefix == 'h' ? 16 : 8);
    if (!value) Raise(kOverflow);
    return *value;
  }
  bool negative = false;
  if (pos < compact.size() && (compact[pos] == '+' || compact[pos] == '-')) negative = compact[pos++] == '-';
  const std::size_t intStart = pos;
  while (pos < compact.size() && IsDigit(compact[pos])) ++pos;
  const std::string_view all(compact);
  const std::string_view intDigits = all.substr(intStart, pos - intStart);
  std::string_view fracDigits;
  if (pos < compact.size() && compact[pos] == '.') {
    const std::size_t fracStart = ++pos;
    while (pos < compact.size() && IsDigit(compact[pos])) ++pos;
    fracDigits = all.substr(fracStart, pos - fracStart);
  }
  if (intDigits.empty() && fracDigits.empty()) return 0;
  long exponent = 0;
  if (pos < compact.size() && (LowerAscii(compact[pos]) == 'e' || LowerAscii(compact[pos]) == 'd')) {
    std::size_t expPos = pos + 1;
    bool negativeExponent = false;
    if (expPos < compact.size() && (compact[expPos] == '+' || compact[expPos] == '-')) {
      negativeExponent = compact[expPos++] == '-';
    }
    for (; expPos < compact.size() && IsDigit(compact[expPos]); ++expPos)
      AccumulateExponent(exponent, compact[expPos]);
    if (negativeExponent) exponent = -exponent;
  }
  const auto value = DecimalValue(intDigits, fracDigits, exponent);
  if (!value) Raise(kOverflow);
  return negative ? -*value : *value;
}

long Asc(std::string_view text) {
  if (text.empty()) Raise(kInvalidCall);
  return static_cast<long>(CodePointAt(text, 0, CharLength(text, 0)));
}

std::string ChrW(long codePoint) {
  if (codePoint < 0 || codePoint > 0x10FFFF) Raise(kInvalidCall);
  std::string out;
  AppendUtf8(out, static_cast<char32_t>(codePoint));
  return out;
}

std::string Replace(std::string_view text, std::string_view find, std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.substr(pos).starts_with(find)) {
      out.append(replacement);
      pos += find.size();
    } else {
      const std::size_t length = CharLength(text, pos);
      out.append(text.substr(pos, length));
      pos += length;
    }
  }
  return out;
}

// ---- Comparison ----

namespace {

bool IsNumberLike(VarType type) {
  return type == VarType::Long || type == VarType::Double || type == VarType::Date ||
         type == VarType::Boolean;
}

bool IsUncomparable(VarType type) {
  return type == VarType::Error || type == VarType::Object || type == VarType::Array;
}

// A text compared with a number: against a date it may be a date text.
double TextAsNumberFor(const Variant& text, const Variant& number) {
  return number.Type() == VarType::Date ? CDate(text) : CDbl(text);
}

}  // namespace

bool Equals(const Variant& left, const Variant& right) {
  const VarType a = left.Type();
  const VarType b = right.Type();
  if (a == VarType::Null || b == VarType::Null) Raise(kInvalidUseOfNull);
  if (IsUncomparable(a) || IsUncomparable(b)) Raise(kTypeMismatch);
  if (a == VarType::Empty && b == VarType::Empty) return true;
  if (a == VarType::String && b == VarType::String) return left.AsString() == right.AsString();
  if (a == VarType::Empty) return b == VarType::String ? right.AsString().empty() : CDbl(right) == 0;
  if (b == VarType::Empty) return a == VarType::String ? left.AsString().empty() : CDbl(left) == 0;
  if (IsNumberLike(a) && IsNumberLike(b)) return CDbl(left) == CDbl(right);
  if (a == VarType::String) return TextAsNumberFor(left, right) == CDbl(right);
  return CDbl(left) == TextAsNumberFor(right, left);
}

}  // namespace vb
