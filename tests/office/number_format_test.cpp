#include "office/number_format.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
  const char* libreOffice;
  const char* excel;
};

class NumberFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormatTest, WritesExcelSyntax) {
  EXPECT_EQ(office::ExcelNumberFormat(GetParam().libreOffice), GetParam().excel);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NumberFormatTest,
    testing::Values(FormatCase{"MMMM", "mmmm"}, FormatCase{"DD/MM/YYYY", "dd/mm/yyyy"},
                    FormatCase{"[$-40C]MMMM", "mmmm"}, FormatCase{"#,##0.00 [$€-40C]", "#,##0.00 [$€-40C]"},
                    FormatCase{"#,##0 \"€\"", "#,##0 \"€\""}, FormatCase{"0.00%", "0.00%"},
                    FormatCase{"Standard", "General"}, FormatCase{"", "General"},
                    FormatCase{"NN DD MMM YY", "ddd dd mmm yy"}, FormatCase{"[HH]:MM:SS", "[hh]:mm:ss"},
                    FormatCase{"HH:MM AM/PM", "hh:mm AM/PM"},
                    FormatCase{"[RED]#,##0;[BLUE]-#,##0", "[Red]#,##0;[Blue]-#,##0"},
                    FormatCase{"\"Day \"D", "\"Day \"d"}, FormatCase{"\\D0", "\\D0"},
                    FormatCase{"[NatNum1]0", "0"}, FormatCase{"\"unclosed", "\"unclosed"}));

}  // namespace
