#include "questions/question0711.h"

#include <gtest/gtest.h>

#include <utility>

#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Trimestre 1";
constexpr const char* kFormula = "=VLOOKUP(H33,A33:E77,4,FALSE)";
const json kMarch = {{"date", "2002-03-03"}};

class Question0711Fixture : public ::testing::Test {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kThor);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }
  static json& Cells(WorkbookDocument& document) { return document.json["sheets"][0]["cells"]; }
  // Exchanges the records of two rows (columns A to E).
  static void SwapRows(WorkbookDocument& document, int a, int b) {
    for (const char* column : {"A", "B", "C", "D", "E"}) {
      std::swap(Cells(document)[column + std::to_string(a)], Cells(document)[column + std::to_string(b)]);
    }
  }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0711 question;
};

// I33 on the sorted table: its formula (null: empty; an object: a
// constant) and its number format ("" for the default one).
struct Case {
  const char* name;
  json formula;
  const char* numberFormat;
  const char* cause;  // "" when the exercise is passed
};

class Question0711Test : public Question0711Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0711Test, GivesTheCauseOfI33) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  const Case& c = GetParam();
  json cell = json::object();
  if (c.formula.is_string()) {
    cell = {{"formula", c.formula}, {"value", kMarch}};
  } else if (c.formula.is_object()) {
    cell = {{"value", c.formula}};
  }
  if (std::string(c.numberFormat).size() > 0) cell["numberFormat"] = c.numberFormat;
  Cells(document)["I33"] = cell;
  EXPECT_EQ(Check(document), c.cause);
  EXPECT_FALSE(question.BravoNuance());
}

const json kEmpty = nullptr;

const Case kCases[] = {
    {"Solved", kFormula, "mmmm", ""},
    {"EveryPlusRemoved", "=+VLOOKUP(H33,A33:E77,4,FALSE)", "mmmm", ""},
    {"TableToColumnDAndZero", "=VLOOKUP(H33,A33:D77,4,0)", "mmmm", ""},
    {"FalseInSmallLetters", "=VLOOKUP(H33,A33:E77,4,false)", "mmmm", ""},
    {"NoFormatOfTheMonth", kFormula, "", "C"},
    {"ShortMonth", kFormula, "mmm", "C"},
    {"MonthInCapitals", kFormula, "MMMM", "C"},
    {"Empty", kEmpty, "mmmm", "B"},
    {"DateConstant", kMarch, "mmmm", "E"},
    {"Hlookup", "=HLOOKUP(H33,A33:E77,4,FALSE)", "mmmm", "E"},
    {"OtherValueLookedUp", "=VLOOKUP(H32,A33:E77,4,FALSE)", "mmmm", "F"},
    {"LastColumnBeforeD", "=VLOOKUP(H33,A33:B77,4,FALSE)", "mmmm", "G"},
    {"Row78", "=VLOOKUP(H33,A33:E78,4,FALSE)", "mmmm", "G"},
    {"TableFromColumnB", "=VLOOKUP(H33,B33:E77,4,FALSE)", "mmmm", "G"},
    {"ThirdColumn", "=VLOOKUP(H33,A33:E77,3,FALSE)", "mmmm", "H"},
    {"NoMatchArgument", "=VLOOKUP(H33,A33:E77,4)", "mmmm", "I"},
    {"ApproximateMatch", "=VLOOKUP(H33,A33:E77,4,TRUE)", "mmmm", "I"},
    {"MatchOne", "=VLOOKUP(H33,A33:E77,4,1)", "mmmm", "I"},
    {"AbsoluteTable", "=VLOOKUP(H33,$A$33:$E$77,4,FALSE)", "mmmm", "AA"},
    {"TwoLetterColumn", "=VLOOKUP(H33,A33:AA77,4,FALSE)", "mmmm", "AA"},
    {"Row777", "=VLOOKUP(H33,A33:E777,4,FALSE)", "mmmm", "AA"},
    {"EmptyMatchArgument", "=VLOOKUP(H33,A33:E77,4,)", "mmmm", "AA"},
    {"TooShortForTheTable", "=VLOOKUP(H33,A)", "mmmm", "AA"},
};

INSTANTIATE_TEST_SUITE_P(Formulas, Question0711Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0711Fixture, StartingOrderGivesCEvenWithTheRightFormula) {
  auto document = WorkbookDocument::Sample("711/start.json");
  Cells(document)["I33"] = {{"formula", kFormula}, {"value", kMarch}, {"numberFormat", "mmmm"}};
  EXPECT_EQ(Check(document), "C");
}

TEST_F(Question0711Fixture, OneRowStillInItsStartingOrderGivesC) {
  // Row 76 sorted, row 33 still Sevilla's record of the starting order.
  auto document = WorkbookDocument::Sample("711/solved.json");
  const auto start = WorkbookDocument::Sample("711/start.json");
  for (const char* column : {"A", "B", "C", "D", "E"}) {
    Cells(document)[std::string(column) + "33"] =
        start.json["sheets"][0]["cells"][std::string(column) + "33"];
  }
  EXPECT_EQ(Check(document), "C");
}

TEST_F(Question0711Fixture, Row76NotTheExpectedRecordGivesD) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  SwapRows(document, 76, 77);
  EXPECT_EQ(Check(document), "D");
}

TEST_F(Question0711Fixture, TableSortedTheOtherWayGivesD) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  for (int row = 33; row < 55; ++row) SwapRows(document, row, 110 - row);
  EXPECT_EQ(Check(document), "D");
}

TEST_F(Question0711Fixture, ComparesDatesThroughTheirDayMonthYearForm) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  // A displayed format makes no difference; a text that reads as the same
  // date gives the same record.
  Cells(document)["D33"] = {{"value", {{"date", "2002-01-01"}}}, {"numberFormat", "d mmmm yyyy"}};
  Cells(document)["D76"] = "2/2/2002";
  EXPECT_EQ(Check(document), "");
}

TEST_F(Question0711Fixture, AnotherDateInTheRecordGivesD) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  Cells(document)["D33"] = {{"date", "2002-01-02"}};
  EXPECT_EQ(Check(document), "D");
}

TEST_F(Question0711Fixture, ReadsTheDatesUnderADecimalComma) {
  const vb::ScopedLocale comma(vb::Locale{','});
  EXPECT_EQ(Check(WorkbookDocument::Sample("711/solved.json")), "");
}

TEST_F(Question0711Fixture, ReadsTheActiveSheet) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  document.json["activeSheet"] = "Ondine";
  EXPECT_EQ(Check(document), "D");
}

TEST_F(Question0711Fixture, AnErrorValueInARecordGivesAA) {
  auto document = WorkbookDocument::Sample("711/solved.json");
  Cells(document)["E76"] = {{"formula", "=NA()"}, {"value", {{"error", "#N/A"}}}};
  EXPECT_EQ(Check(document), "AA");
}

TEST(Question0711Cost, StaysWithinItsAutomationCalls) {
  // Every member access is a round trip to Excel: the check fetches each
  // object once and reads each deciding property once.
  test_support::TempFolder folder;
  auto excel = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> application = excel;
  WorkbookDocument::Sample("711/solved.json").Save(folder.Path(), kThor);
  Question0711 question;
  question.Prepare(application, folder.Text());
  excel->ResetCallCount();
  question.TestePoint();
  ASSERT_EQ(question.CauseErreur(), "");
  EXPECT_LE(excel->CallCount(), 23);
}

TEST(Question0711Catalogue, RegistersThorAndNamesEveryCause) {
  Question0711 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826711.xls", kThor, false}));
  EXPECT_EQ(Question0711::Causes().question, 711);
  for (const char* code : {"B", "C", "D", "E", "F", "G", "H", "I"}) {
    EXPECT_FALSE(SensDe(Question0711::Causes(), code).empty()) << code;
  }
}

}  // namespace
}  // namespace r58267
