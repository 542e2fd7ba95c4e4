#include "office/excel_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace office {
namespace {

TEST(ExcelValuesTest, DatesFollowExcelsCalendarAndTheWorkbooksSystem) {
  const std::vector<std::tuple<double, bool, std::optional<std::string>>> cases{
      {1, false, "1900-01-01"},  {59, false, "1900-02-28"},    {60, false, std::nullopt},  // 29 Feb 1900
      {61, false, "1900-03-01"}, {23459, false, "1964-03-23"}, {2958465, false, "9999-12-31"},
      {0, false, std::nullopt},  {1.5, false, std::nullopt},   {2958466, false, std::nullopt},
      {0, true, "1904-01-01"},   {21997, true, "1964-03-23"},  {-1, true, std::nullopt},
  };
  for (const auto& [serial, date1904, expected] : cases) {
    EXPECT_EQ(ExcelDate(serial, date1904), expected) << serial << (date1904 ? " (1904)" : "");
  }
}

TEST(ExcelValuesTest, DateFormatsAreToldFromTimesAndNumbers) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"m/d/yyyy", true},    {"[$-409]mmmm\\ d\\,\\ yyyy;@", true},
      {"mmm-yy", true},      {"h:mm", false},
      {"[h]:mm:ss", false},  {"mm:ss", false},
      {"h:mm AM/PM", false}, {"0.00E+00", false},
      {"\"day\" 0", false},  {"[Red]0.00", false},
      {"General", false},    {"\\d0", false},
      {"d/m/yy h:mm", true}, {"0;[Red]-0;\"dd\"", false}};
  for (const auto& [format, date] : cases) EXPECT_EQ(IsDateFormat(format), date) << format;
}

TEST(ExcelValuesTest, VolatileFunctionsAreCalledNotNamed) {
  EXPECT_TRUE(CallsVolatileFunction("=TODAY()-B2"));
  EXPECT_TRUE(CallsVolatileFunction("=ROUND(rand()*10,0)"));
  EXPECT_TRUE(CallsVolatileFunction("=IF(A1,NOW(),0)"));
  EXPECT_FALSE(CallsVolatileFunction("=\"TODAY()\"&A1"));
  EXPECT_FALSE(CallsVolatileFunction("=MYTODAY(A1)"));
  EXPECT_FALSE(CallsVolatileFunction("=SUM(A1:A3)"));
}

TEST(ExcelValuesTest, ReferencesInLibreOfficeSyntax) {
  const std::vector<std::pair<std::string, std::vector<CellBlock>>> cases{
      {"=A1+$B$2", {{"S", 0, 0, 0, 0}, {"S", 1, 1, 1, 1}}},
      {"=SUM($Data.$A$1:$C$9)", {{"Data", 0, 0, 8, 2}}},
      {"='Two words'.B3*LOG10(2)", {{"Two words", 2, 1, 2, 1}}},
      {"=\"A1\"&Sheet2.c4", {{"Sheet2", 3, 2, 3, 2}}},
      {"=SUM($First.C1:$Last.C1)", {{"Last", 0, 2, 0, 2}, {"First", 0, 2, 0, 2}}},
  };
  for (const auto& [formula, blocks] : cases) EXPECT_EQ(References(formula, "S"), blocks) << formula;
}

TEST(ExcelValuesTest, RecalculationReachesEveryDependentFormula) {
  const std::map<std::string, std::map<CellPosition, std::string>> formulas{
      {"A", {{{0, 0}, "=TODAY()"}, {{0, 1}, "=A1+1"}, {{0, 2}, "=SUM(B1:B9)"}, {{0, 3}, "=E1*2"}}},
      {"B", {{{0, 0}, "=$A.C1"}, {{5, 5}, "=1+1"}}},
  };
  const std::set<SheetCell> recalculated = RecalculatedCells(formulas, {{"A", {0, 0}}});
  EXPECT_EQ(recalculated, (std::set<SheetCell>{{"A", {0, 0}}, {"A", {0, 1}}, {"A", {0, 2}}, {"B", {0, 0}}}));
}

TEST(ExcelValuesTest, ASharedFormulaMovesItsRelativeReferences) {
  const std::vector<std::tuple<std::string, long, long, std::string>> cases{
      {"DATEDIF(E6,F6,\"y\")", 1, 0, "DATEDIF(E7,F7,\"y\")"},
      {"$A$1+A$1+$A1+A1", 2, 1, "$A$1+B$1+$A3+B3"},
      {"SUM(B2:B9)*LOG10(C3)", 0, 2, "SUM(D2:D9)*LOG10(E3)"},
      {"'Q1 A1'!B2+Data!C3&\"A1\"", 1, 1, "'Q1 A1'!C3+Data!D4&\"A1\""},
      {"SUM(C:C)+TRUE+ABCD1", 0, 1, "SUM(D:D)+TRUE+ABCD1"},
      {"A1-1", -1, 0, "#REF!-1"},
  };
  for (const auto& [formula, rows, columns, expected] : cases) {
    EXPECT_EQ(ShiftFormula(formula, rows, columns), expected) << formula;
  }
}

TEST(ExcelValuesTest, AThreeDReferenceToOneCellIsPrintedAsOne) {
  EXPECT_EQ(SingleCell3d("=SUM(Sheet1:Sheet4!C1:C1)"), "=SUM(Sheet1:Sheet4!C1)");
  EXPECT_EQ(SingleCell3d("=SUM('Jan 1:Mar 1'!$B$2:$B$2)+1"), "=SUM('Jan 1:Mar 1'!$B$2)+1");
  EXPECT_EQ(SingleCell3d("=SUM(Sheet1:Sheet4!C1:C2)"), "=SUM(Sheet1:Sheet4!C1:C2)");
  EXPECT_EQ(SingleCell3d("=SUM(Sheet1!C1:C1)"), "=SUM(Sheet1!C1:C1)");
  EXPECT_EQ(SingleCell3d("=\"a:b!C1:C1\""), "=\"a:b!C1:C1\"");
}

}  // namespace
}  // namespace office
