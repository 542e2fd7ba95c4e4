#include "framework/vb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr vb::Locale kDot{'.'};
constexpr vb::Locale kComma{','};

// Runs `call` and returns the number of the vb::Error it throws, 0 if none.
long ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error.number;
  }
  return 0;
}

// ---- Errors ----

TEST(VbErrorTest, RaiseUsesVbDescriptionAndRuntimeSource) {
  try {
    vb::Raise(vb::kTypeMismatch);
    FAIL() << "Raise returned";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, 13);
    EXPECT_EQ(error.description, "Type mismatch");
    EXPECT_EQ(error.source, "R58267");
    EXPECT_STREQ(error.what(), "Type mismatch");
  }
}

TEST(VbErrorTest, RaiseWithOwnTextKeepsIt) {
  try {
    vb::Raise(vb::kInvalidArgumentHresult, "No item of that name.", "Shapes");
    FAIL() << "Raise returned";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, -2147024809);
    EXPECT_STREQ(error.what(), "No item of that name.");
    EXPECT_EQ(error.source, "Shapes");
  }
}

TEST(VbErrorTest, DefaultDescriptions) {
  EXPECT_EQ(vb::DefaultDescription(9), "Subscript out of range");
  EXPECT_EQ(vb::DefaultDescription(94), "Invalid use of Null");
  EXPECT_EQ(vb::DefaultDescription(31337), "Application-defined or object-defined error");
}

TEST(VbErrorTest, CellErrorTextsRoundTrip) {
  const std::vector<std::pair<long, std::string>> known{
      {2000, "#NULL!"}, {2007, "#DIV/0!"}, {2015, "#VALUE!"}, {2023, "#REF!"},
      {2029, "#NAME?"}, {2036, "#NUM!"},   {2042, "#N/A"}};
  for (const auto& [code, text] : known) {
    EXPECT_EQ(vb::CellErrorCode(text), code) << text;
    EXPECT_EQ(vb::CellErrorText(code), text) << code;
  }
  EXPECT_EQ(vb::CellErrorCode("#n/a"), 0);
  EXPECT_EQ(vb::CellErrorCode("N/A"), 0);
  EXPECT_EQ(vb::CellErrorText(2001), "");
}

TEST(VbErrorTest, ScopedLocaleRestoresPreviousOne) {
  ASSERT_EQ(vb::CurrentLocale().decimalSeparator, '.');
  {
    vb::ScopedLocale outer(kComma);
    EXPECT_TRUE(vb::CurrentLocale().DayFirst());
    {
      vb::ScopedLocale inner(kDot);
      EXPECT_EQ(vb::CurrentLocale().decimalSeparator, '.');
    }
    EXPECT_EQ(vb::CurrentLocale().decimalSeparator, ',');
  }
  EXPECT_EQ(vb::CurrentLocale().decimalSeparator, '.');
}

// ---- Strings ----

TEST(VbStringTest, LengthCountsCodePoints) {
  EXPECT_EQ(vb::Len("Résultats"), 9);
  EXPECT_EQ(vb::Len(""), 0);
  EXPECT_EQ(vb::Len("a\U0001F600b"), 3);
  EXPECT_EQ(vb::Len("a\xFF\xC3"), 3);  // stray and truncated bytes count one each
}

TEST(VbStringTest, SlicesCountCodePoints) {
  EXPECT_EQ(vb::Mid("Résultats", 2, 3), "ésu");
  EXPECT_EQ(vb::Mid("Résultats", 8), "ts");
  EXPECT_EQ(vb::Mid("Résultats", 8, 10), "ts");
  EXPECT_EQ(vb::Mid("abc", 4), "");
  EXPECT_EQ(vb::Mid("abc", 2, 0), "");
  EXPECT_EQ(vb::Left("Élève", 2), "Él");
  EXPECT_EQ(vb::Left("abc", 10), "abc");
  EXPECT_EQ(vb::Right("Élève", 3), "ève");
  EXPECT_EQ(vb::Right("Élève", 9), "Élève");
  EXPECT_EQ(vb::Right("abc", 0), "");
}

TEST(VbStringTest, InStrFindsCharacterPositions) {
  EXPECT_EQ(vb::InStr("Résultats", "s"), 3);
  EXPECT_EQ(vb::InStr(4, "Résultats", "s"), 9);
  EXPECT_EQ(vb::InStr("Résultats", "x"), 0);
  EXPECT_EQ(vb::InStr(10, "Résultats", "s"), 0);
  EXPECT_EQ(vb::InStr("é\U0001F600é", "é"), 1);
  EXPECT_EQ(vb::InStr(2, "é\U0001F600é", "é"), 3);
  // An empty find gives the start within the text, 0 past it.
  EXPECT_EQ(vb::InStr(3, "abc", ""), 3);
  EXPECT_EQ(vb::InStr(4, "abc", ""), 0);
  EXPECT_EQ(vb::InStr("", ""), 0);
}

TEST(VbStringTest, AscAndChrWUseCodePoints) {
  EXPECT_EQ(vb::Asc("é"), 233);
  EXPECT_EQ(vb::Asc("Abc"), 65);
  EXPECT_EQ(vb::Asc("\U0001F600x"), 0x1F600);
  EXPECT_EQ(vb::ChrW(233), "é");
  EXPECT_EQ(vb::ChrW(0x20AC), "€");
  EXPECT_EQ(vb::Asc(vb::ChrW(0x10FFFF)), 0x10FFFF);
  EXPECT_EQ(vb::Len(vb::ChrW(0xD800)), 1);
}

TEST(VbStringTest, CaseMappingCoversAccentedLetters) {
  EXPECT_EQ(vb::LCase("ÉCOLE"), "école");
  EXPECT_EQ(vb::UCase("école"), "ÉCOLE");
  EXPECT_EQ(vb::UCase("Œuvre"), "ŒUVRE");
  EXPECT_EQ(vb::LCase("Œuvre"), "œuvre");
  EXPECT_EQ(vb::UCase("šžÿàþ"), "ŠŽŸÀÞ");
  EXPECT_EQ(vb::LCase("ŠŽŸÀÞ"), "šžÿàþ");
  EXPECT_EQ(vb::UCase("łńĳ"), "ŁŃĲ");
  EXPECT_EQ(vb::LCase("ŁŃĲ"), "łńĳ");
  EXPECT_EQ(vb::UCase("ß×÷1-x"), "ß×÷1-X");
  EXPECT_EQ(vb::LCase("×÷Ab\xFF"), "×÷ab\xFF");
}

TEST(VbStringTest, TrimRemovesSpacesOnly) {
  EXPECT_EQ(vb::Trim("  a b  "), "a b");
  EXPECT_EQ(vb::Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(vb::Trim("   "), "");
}

TEST(VbStringTest, ReplaceEveryOccurrenceLeftToRight) {
  EXPECT_EQ(vb::Replace("a.b.c", ".", ","), "a,b,c");
  EXPECT_EQ(vb::Replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(vb::Replace("été", "é", "e"), "ete");
  EXPECT_EQ(vb::Replace("abc", "", "x"), "abc");
  EXPECT_EQ(vb::Replace("abc", "abc", ""), "");
}

struct ValCase {
  const char* text;
  double expected;
};

class VbValTest : public testing::TestWithParam<ValCase> {};

TEST_P(VbValTest, ReadsLeadingNumber) { EXPECT_DOUBLE_EQ(vb::Val(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Texts, VbValTest,
                         testing::Values(ValCase{"2457", 2457}, ValCase{" 2 45 7", 2457},
                                         ValCase{"24 and 57", 24}, ValCase{"- 3.5abc", -3.5},
                                         ValCase{"1.5e3", 1500}, ValCase{"1.5D2", 150}, ValCase{"1e", 1},
                                         ValCase{".5", 0.5}, ValCase{"1.2.3", 1.2}, ValCase{"1,5", 1},
                                         ValCase{"\t1\n2", 12}, ValCase{"&H1F", 31}, ValCase{"&o17", 15},
                                         ValCase{"&HFFFF", -1}, ValCase{"&HFFFF&", 65535}, ValCase{"", 0},
                                         ValCase{"abc", 0}, ValCase{"--5", 0}));

TEST(VbStringTest, ValIgnoresLocale) {
  vb::ScopedLocale comma(kComma);
  EXPECT_DOUBLE_EQ(vb::Val("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(vb::Val("1,5"), 1);
}

struct ErrorCase {
  const char* name;
  std::function<void()> call;
  long number;
};

class VbStringErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(VbStringErrorTest, RaisesVbError) { EXPECT_EQ(ErrorNumberOf(GetParam().call), GetParam().number); }

INSTANTIATE_TEST_SUITE_P(
    Arguments, VbStringErrorTest,
    testing::Values(ErrorCase{"MidStartZero", [] { (void)vb::Mid("abc", 0); }, 5},
                    ErrorCase{"MidNegativeLength", [] { (void)vb::Mid("abc", 1, -1); }, 5},
                    ErrorCase{"LeftNegative", [] { (void)vb::Left("abc", -1); }, 5},
                    ErrorCase{"RightNegative", [] { (void)vb::Right("abc", -1); }, 5},
                    ErrorCase{"AscEmpty", [] { (void)vb::Asc(""); }, 5},
                    ErrorCase{"InStrStartZero", [] { (void)vb::InStr(0, "abc", "a"); }, 5},
                    ErrorCase{"ChrWNegative", [] { (void)vb::ChrW(-1); }, 5},
                    ErrorCase{"ChrWTooLarge", [] { (void)vb::ChrW(0x110000); }, 5},
                    ErrorCase{"ValOverflow", [] { (void)vb::Val("1e400"); }, 6}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- Conversions ----

struct NumberTextCase {
  double value;
  const char* dot;
  const char* comma;
};

class VbNumberTextTest : public testing::TestWithParam<NumberTextCase> {};

TEST_P(VbNumberTextTest, FifteenDigitsWithLocaleSeparator) {
  EXPECT_EQ(vb::NumberText(GetParam().value, kDot), GetParam().dot);
  EXPECT_EQ(vb::NumberText(GetParam().value, kComma), GetParam().comma);
  vb::ScopedLocale comma(kComma);
  EXPECT_EQ(vb::CStr(GetParam().value), GetParam().comma);
}

INSTANTIATE_TEST_SUITE_P(
    Values, VbNumberTextTest,
    testing::Values(NumberTextCase{122.85000000000001, "122.85", "122,85"}, NumberTextCase{597, "597", "597"},
                    NumberTextCase{123456789012345, "123456789012345", "123456789012345"},
                    NumberTextCase{1234567890123456, "1.23456789012346E+15", "1,23456789012346E+15"},
                    NumberTextCase{1e15, "1E+15", "1E+15"}, NumberTextCase{0.0001, "0.0001", "0,0001"},
                    NumberTextCase{0.00001, "1E-05", "1E-05"}, NumberTextCase{-0.5, "-0.5", "-0,5"},
                    NumberTextCase{0.1 + 0.2, "0.3", "0,3"}, NumberTextCase{-0.0, "0", "0"},
                    NumberTextCase{1000, "1000", "1000"}, NumberTextCase{-2.5e-100, "-2.5E-100", "-2,5E-100"},
                    NumberTextCase{0.000123, "0.000123", "0,000123"},
                    NumberTextCase{99999999999999.99, "100000000000000", "100000000000000"}));

TEST(VbConversionTest, CStrOfEachType) {
  EXPECT_EQ(vb::CStr(vb::Variant()), "");
  EXPECT_EQ(vb::CStr(true), "True");
  EXPECT_EQ(vb::CStr(false), "False");
  EXPECT_EQ(vb::CStr(-42), "-42");
  EXPECT_EQ(vb::CStr("Été"), "Été");
  EXPECT_EQ(vb::CStr(vb::Variant::Date(vb::DateSerial(2002, 1, 1))), "1/1/2002");
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CStr(vb::Variant::Null()); }), 94);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CStr(vb::Variant::ErrorValue(2042)); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CStr(vb::Variant::Array({1})); }), 13);
}

TEST(VbConversionTest, NumberTextReadsAndWritesTheSameLocale) {
  for (const vb::Locale& locale : {kDot, kComma}) {
    vb::ScopedLocale scoped(locale);
    for (double value : {122.85, -0.001, 6.02e23, 1.0 / 3}) {
      const std::string text = vb::NumberText(value);
      double back = 0;
      ASSERT_TRUE(vb::TryParseNumber(text, back)) << text;
      EXPECT_NEAR(back, value, std::fabs(value) * 1e-14) << text;
    }
  }
}

TEST(VbConversionTest, TryParseNumberAcceptsOnlyLocaleSeparator) {
  double value = 0;
  EXPECT_TRUE(vb::TryParseNumber(" -1.5e2 ", value));
  EXPECT_DOUBLE_EQ(value, -150);
  EXPECT_TRUE(vb::TryParseNumber("+3", value));
  EXPECT_DOUBLE_EQ(value, 3);
  EXPECT_TRUE(vb::TryParseNumber("5.", value));
  EXPECT_DOUBLE_EQ(value, 5);
  EXPECT_TRUE(vb::TryParseNumber("&H10", value));
  EXPECT_DOUBLE_EQ(value, 16);
  for (const char* bad : {"", "  ", ".", "1e", "1,5", "1.2.3", "12abc", "&H", "- 1"}) {
    EXPECT_FALSE(vb::TryParseNumber(bad, value)) << bad;
  }
  vb::ScopedLocale comma(kComma);
  EXPECT_TRUE(vb::TryParseNumber("1,5", value));
  EXPECT_DOUBLE_EQ(value, 1.5);
  EXPECT_FALSE(vb::TryParseNumber("1.5", value));
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CDbl("1.5"); }), 13);
}

struct RoundCase {
  double value;
  long expected;
};

class VbRoundingTest : public testing::TestWithParam<RoundCase> {};

TEST_P(VbRoundingTest, CLngAndCIntRoundHalfToEven) {
  EXPECT_EQ(vb::CLng(GetParam().value), GetParam().expected);
  EXPECT_EQ(vb::CInt(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Halves, VbRoundingTest,
                         testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{-2.5, -2},
                                         RoundCase{-3.5, -4}, RoundCase{0.5, 0}, RoundCase{1.5, 2},
                                         RoundCase{2.4999, 2}, RoundCase{-0.6, -1}, RoundCase{32767.4, 32767},
                                         RoundCase{-32768.5, -32768}));

TEST(VbConversionTest, IntegerConversionLimits) {
  EXPECT_EQ(vb::CLng(2147483647.4), 2147483647);
  EXPECT_EQ(vb::CLng(-2147483648.5), -2147483647 - 1);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CLng(2147483647.5); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CLng("3000000000"); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CInt(32767.5); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CInt(-40000); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CLng("douze"); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CLng(vb::Variant::Null()); }), 94);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CLng(vb::Variant::ErrorValue(2042)); }), 13);
}

TEST(VbConversionTest, BooleanTextsConvertInAnyCase) {
  EXPECT_EQ(vb::CLng("TRUE"), -1);
  EXPECT_EQ(vb::CLng("false"), 0);
  EXPECT_DOUBLE_EQ(vb::CDbl(" tRuE "), -1);
  EXPECT_TRUE(vb::CBool("True"));
  EXPECT_FALSE(vb::CBool("FALSE"));
  EXPECT_TRUE(vb::CBool("2"));
  EXPECT_FALSE(vb::CBool(0.0));
  EXPECT_TRUE(vb::CBool(vb::Variant::Date(1)));
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CBool("yes"); }), 13);
  EXPECT_DOUBLE_EQ(vb::CDbl(true), -1);
  EXPECT_DOUBLE_EQ(vb::CDbl(vb::Variant()), 0);
}

TEST(VbConversionTest, InformationFunctions) {
  EXPECT_TRUE(vb::IsNumeric(vb::Variant()));
  EXPECT_TRUE(vb::IsNumeric(true));
  EXPECT_TRUE(vb::IsNumeric(" 12 "));
  EXPECT_TRUE(vb::IsNumeric("False"));
  EXPECT_FALSE(vb::IsNumeric("1/1/2002"));
  EXPECT_FALSE(vb::IsNumeric(vb::Variant::Date(1)));
  EXPECT_FALSE(vb::IsNumeric(vb::Variant::Null()));
  EXPECT_TRUE(vb::IsError(vb::Variant::ErrorValue(2042)));
  EXPECT_FALSE(vb::IsError(2042));
  EXPECT_TRUE(vb::IsDate(vb::Variant::Date(0)));
  EXPECT_FALSE(vb::IsDate(37257));
  EXPECT_EQ(vb::TypeName(vb::Variant()), "Empty");
  EXPECT_EQ(vb::TypeName(vb::Variant::Null()), "Null");
  EXPECT_EQ(vb::TypeName(1), "Long");
  EXPECT_EQ(vb::TypeName(1.5), "Double");
  EXPECT_EQ(vb::TypeName(vb::Variant::Date(1)), "Date");
  EXPECT_EQ(vb::TypeName("x"), "String");
  EXPECT_EQ(vb::TypeName(false), "Boolean");
  EXPECT_EQ(vb::TypeName(vb::Variant::ErrorValue(2007)), "Error");
  EXPECT_EQ(vb::TypeName(vb::Variant::Object(std::make_shared<vb::Object>())), "Object");
  EXPECT_EQ(vb::TypeName(vb::Variant::Array({})), "Variant()");
}

TEST(VbConversionTest, CDateReadsDatesAndNumbers) {
  EXPECT_DOUBLE_EQ(vb::CDate("1/1/2002"), 37257);
  EXPECT_DOUBLE_EQ(vb::CDate("2"), 2);
  EXPECT_DOUBLE_EQ(vb::CDate(37257.25), 37257.25);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CDate("demain"); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::CDate(1e10); }), 6);
}

// ---- Dates ----

TEST(VbDateTest, DateSerialNormalisesOverflow) {
  EXPECT_DOUBLE_EQ(vb::DateSerial(1899, 12, 30), 0);
  EXPECT_DOUBLE_EQ(vb::DateSerial(2002, 1, 1), 37257);
  EXPECT_DOUBLE_EQ(vb::DateSerial(1900, 1, 1), 2);
  EXPECT_DOUBLE_EQ(vb::DateSerial(2002, 13, 1), vb::DateSerial(2003, 1, 1));
  EXPECT_DOUBLE_EQ(vb::DateSerial(2002, 0, 1), vb::DateSerial(2001, 12, 1));
  EXPECT_DOUBLE_EQ(vb::DateSerial(2002, -11, 1), vb::DateSerial(2001, 1, 1));
  EXPECT_DOUBLE_EQ(vb::DateSerial(2000, 3, 0), vb::DateSerial(2000, 2, 29));
  EXPECT_DOUBLE_EQ(vb::DateSerial(2002, 1, 32), vb::DateSerial(2002, 2, 1));
  EXPECT_DOUBLE_EQ(vb::DateSerial(2, 1, 1), 37257);
  EXPECT_DOUBLE_EQ(vb::DateSerial(45, 1, 1), vb::DateSerial(1945, 1, 1));
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::DateSerial(10000, 1, 1); }), 5);
}

TEST(VbDateTest, SplitDateReadsOleSerials) {
  const vb::DateParts noon = vb::SplitDate(37257.5);
  EXPECT_EQ(noon.year, 2002);
  EXPECT_EQ(noon.month, 1);
  EXPECT_EQ(noon.day, 1);
  EXPECT_EQ(noon.hour, 12);
  const vb::DateParts before = vb::SplitDate(-1.25);  // the fraction counts forward
  EXPECT_EQ(before.day, 29);
  EXPECT_EQ(before.month, 12);
  EXPECT_EQ(before.hour, 6);
  const vb::DateParts leap = vb::SplitDate(vb::DateSerial(2000, 2, 29) + 0.999999);
  EXPECT_EQ(leap.month, 3);  // rounds to the next midnight
  EXPECT_EQ(leap.day, 1);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::SplitDate(std::nan("")); }), 6);
}

TEST(VbDateTest, DateTextUsesLocaleShortForm) {
  const double date = vb::DateSerial(2002, 1, 1);
  const double afternoon = date + (14.5 / 24);
  EXPECT_EQ(vb::DateText(date, kDot), "1/1/2002");
  EXPECT_EQ(vb::DateText(date, kComma), "01/01/2002");
  EXPECT_EQ(vb::DateText(afternoon, kDot), "1/1/2002 2:30:00 PM");
  EXPECT_EQ(vb::DateText(afternoon, kComma), "01/01/2002 14:30:00");
  EXPECT_EQ(vb::DateText(0.25, kDot), "6:00:00 AM");
  EXPECT_EQ(vb::DateText(0.25, kComma), "06:00:00");
  EXPECT_EQ(vb::DateText(0, kDot), "12:00:00 AM");
  EXPECT_EQ(vb::DateText(vb::DateSerial(1850, 7, 14), kComma), "14/07/1850");
}

class VbDateRoundTripTest : public testing::TestWithParam<char> {};

TEST_P(VbDateRoundTripTest, CStrOfDateIsADate) {
  vb::ScopedLocale locale(vb::Locale{GetParam()});
  for (double serial : {37257.0, vb::DateSerial(1999, 12, 31) + 0.75, vb::DateSerial(2029, 11, 13) + 0.0001,
                        vb::DateSerial(1900, 2, 28), 0.5}) {
    const std::string text = vb::CStr(vb::Variant::Date(serial));
    EXPECT_TRUE(vb::IsDate(text)) << text;
    EXPECT_NEAR(vb::CDate(text), serial, 0.5 / 86400) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Locales, VbDateRoundTripTest, testing::Values('.', ','));

struct ParseCase {
  const char* text;
  char separator;
  double expected;
};

class VbParseDateTest : public testing::TestWithParam<ParseCase> {};

TEST_P(VbParseDateTest, ReadsDateText) {
  vb::ScopedLocale locale(vb::Locale{GetParam().separator});
  double serial = -1;
  ASSERT_TRUE(vb::TryParseDate(GetParam().text, serial));
  EXPECT_NEAR(serial, GetParam().expected, 1e-9);
}

const double kJan2 = vb::DateSerial(2002, 1, 2);
const double kFeb1 = vb::DateSerial(2002, 2, 1);

INSTANTIATE_TEST_SUITE_P(
    Forms, VbParseDateTest,
    testing::Values(ParseCase{"1/2/2002", '.', kJan2}, ParseCase{"1/2/2002", ',', kFeb1},
                    ParseCase{"01-02-02", '.', kJan2}, ParseCase{" 02/01/2002 ", ',', kJan2},
                    ParseCase{"2002-02-01", '.', kFeb1}, ParseCase{"2002-02-01", ',', kFeb1},
                    ParseCase{"1/2/45", '.', vb::DateSerial(1945, 1, 2)},
                    ParseCase{"1/2/29", '.', vb::DateSerial(2029, 1, 2)},
                    ParseCase{"1 February 2002", ',', kFeb1}, ParseCase{"1-Feb-2002", '.', kFeb1},
                    ParseCase{"february 1, 2002", ',', kFeb1}, ParseCase{"Feb 1 02", '.', kFeb1},
                    ParseCase{"1/2/2002 14:30", '.', kJan2 + (14.5 / 24)},
                    ParseCase{"1/2/2002 2:30:36 PM", '.', kJan2 + (52236.0 / 86400)},
                    ParseCase{"1/2/2002 12:15 am", '.', kJan2 + (0.25 / 24)}, ParseCase{"18:00", ',', 0.75},
                    ParseCase{"29/12/1899 06:00", ',', -1.25}));

class VbNotADateTest : public testing::TestWithParam<const char*> {};

TEST_P(VbNotADateTest, IsRejected) {
  double serial = 0;
  EXPECT_FALSE(vb::TryParseDate(GetParam(), serial));
  EXPECT_FALSE(vb::IsDate(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Texts, VbNotADateTest,
                         testing::Values("22", "122.5", "010102", "", "  ", "abc", "13/1/2002", "2/30/2002",
                                         "2/29/2001", "1/2", "1/2/2002/3", "1/2-2002", "Foo 1, 2002",
                                         "1/2/2002 25:00", "1/2/2002 13:00 PM", "1/2/2002 10:61",
                                         "1/2/2002 x", "1/2/99999", "2002-13-01"));

TEST(VbDateTest, FormatWritesDatePatterns) {
  const vb::Variant date =
      vb::Variant::Date(vb::DateSerial(2002, 1, 1) + (14.0 / 24) + (5.0 / 1440) + (9.0 / 86400));
  EXPECT_EQ(vb::Format(date, "ddmmyy"), "010102");
  EXPECT_EQ(vb::Format(date, "dddd d mmmm yyyy"), "Tuesday 1 January 2002");
  EXPECT_EQ(vb::Format(date, "ddd dd-MMM-YY"), "Tue 01-Jan-02");
  EXPECT_EQ(vb::Format(date, "hh:mm:ss"), "14:05:09");
  EXPECT_EQ(vb::Format(date, "h:m"), "14:5");
  EXPECT_EQ(vb::Format(date, "hh:nn AM/PM"), "02:05 PM");
  EXPECT_EQ(vb::Format(date, "\"le\" d/m/yyyy"), "le 1/1/2002");
  EXPECT_EQ(vb::Format(date, "\\d=d"), "d=1");
}

TEST(VbDateTest, FormatConvertsItsValue) {
  EXPECT_EQ(vb::Format("1/1/2002", "ddmmyy"), "010102");
  EXPECT_EQ(vb::Format(37257, "ddmmyy"), "010102");
  EXPECT_EQ(vb::Format(vb::Variant(), "yyyy-mm-dd"), "1899-12-30");
  EXPECT_EQ(vb::Format("pas une date", "ddmmyy"), "pas une date");
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Format(vb::Variant::ErrorValue(2042), "dd"); }), 13);
  vb::ScopedLocale comma(kComma);
  EXPECT_EQ(vb::Format("01/02/2002", "ddmmyy"), "010202");
}

// ---- Variant ----

TEST(VbVariantTest, ConstructorsPickVbTypes) {
  EXPECT_EQ(vb::Variant(true).Type(), vb::VarType::Boolean);
  EXPECT_EQ(vb::Variant(7).Type(), vb::VarType::Long);
  EXPECT_EQ(vb::Variant(7L).Type(), vb::VarType::Long);
  EXPECT_EQ(vb::Variant(7.0).Type(), vb::VarType::Double);
  EXPECT_EQ(vb::Variant(std::string_view("x")).Type(), vb::VarType::String);
  EXPECT_TRUE(vb::Variant(7).IsNumeric());
  EXPECT_FALSE(vb::Variant(true).IsNumeric());
  EXPECT_FALSE(vb::Variant::Date(1).IsNumeric());
  if constexpr (sizeof(long) > 4) {
    const vb::Variant wide(1L << 40);
    EXPECT_EQ(wide.Type(), vb::VarType::Double);
    EXPECT_DOUBLE_EQ(wide.AsDouble(), 1099511627776.0);
  }
}

TEST(VbVariantTest, AccessorsRaiseTypeMismatch) {
  EXPECT_DOUBLE_EQ(vb::Variant(3).AsDouble(), 3);
  EXPECT_DOUBLE_EQ(vb::Variant::Date(2.5).AsDouble(), 2.5);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant(1.0).AsLong(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant(1).AsString(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant("1").AsDouble(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant(1).AsBoolean(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant(2042).AsErrorCode(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant().AsObject(); }), 13);
  EXPECT_EQ(vb::Variant::ErrorValue(2042).AsErrorCode(), 2042);
}

TEST(VbVariantTest, ArrayBoundsAndSharing) {
  const vb::Variant values = vb::Variant::Array({"a", 2, 3.5}, 0);
  EXPECT_EQ(values.LBound(), 0);
  EXPECT_EQ(values.UBound(), 2);
  EXPECT_EQ(values(1).AsLong(), 2);
  EXPECT_EQ(ErrorNumberOf([&] { (void)values(3); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { (void)values(-1); }), 9);
  const vb::Variant copy = values;
  EXPECT_EQ(&copy.Items(), &values.Items());

  const vb::Variant oneBased = vb::Variant::Array({10, 20});
  EXPECT_EQ(oneBased(1).AsLong(), 10);
  EXPECT_EQ(ErrorNumberOf([&] { (void)oneBased(0); }), 9);
  const vb::Variant empty = vb::Variant::Array({}, 1);
  EXPECT_EQ(empty.UBound(), 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)empty(1); }), 9);

  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant(1)(0); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Variant("abc").UBound(); }), 13);
}

TEST(VbVariantTest, EqualsFollowsVbComparison) {
  EXPECT_TRUE(vb::Equals("12", 12));
  EXPECT_TRUE(vb::Equals(12.0, " 12.0 "));
  EXPECT_FALSE(vb::Equals("12", 13));
  EXPECT_FALSE(vb::Equals("a", "A"));
  EXPECT_TRUE(vb::Equals("é", "é"));
  EXPECT_TRUE(vb::Equals(vb::Variant(), 0));
  EXPECT_TRUE(vb::Equals("", vb::Variant()));
  EXPECT_FALSE(vb::Equals(vb::Variant(), "0"));
  EXPECT_TRUE(vb::Equals(vb::Variant(), vb::Variant()));
  EXPECT_TRUE(vb::Equals(true, -1));
  EXPECT_TRUE(vb::Equals(vb::Variant::Date(37257), 37257));
  EXPECT_TRUE(vb::Equals(vb::Variant::Date(37257), "1/1/2002"));
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Equals("abc", 1); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Equals(vb::Variant::ErrorValue(2042), "#N/A"); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Equals(vb::Variant::Array({1}), 1); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Equals(vb::Variant::Null(), 1); }), 94);
  vb::ScopedLocale comma(kComma);
  EXPECT_TRUE(vb::Equals("1,5", 1.5));
  EXPECT_EQ(ErrorNumberOf([] { (void)vb::Equals("1.5", 1.5); }), 13);
}

}  // namespace
