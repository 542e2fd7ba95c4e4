#include "questions/question0705.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Trimestre 1";
constexpr const char* kCountif = "=COUNTIF(B33:B77,\"Liverpool\")";
constexpr const char* kSumif = "=SUMIF(B33:B77,B43,D33:D77)";

// A cell content: nothing, a formula (text starting with "=") or a constant.
struct Content {
  nlohmann::json value;
  bool IsEmpty() const { return value.is_null(); }
};

void Put(WorkbookDocument& document, const std::string& address, const Content& content) {
  if (content.IsEmpty()) {
    document.Clear(kSheet, address);
  } else if (content.value.is_string() && content.value.get<std::string>().rfind('=', 0) == 0) {
    document.Formula(kSheet, address, content.value.get<std::string>(), 0);
  } else {
    document.Constant(kSheet, address, content.value);
  }
}

struct Case {
  const char* name;
  Content b81;
  Content b82;
  const char* cause;  // "" when the exercise is passed
};

class Question0705Test : public ::testing::TestWithParam<Case> {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kThor);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0705 question;
};

TEST_P(Question0705Test, GivesTheCauseOfTheFormulas) {
  auto document = WorkbookDocument::Sample("705/start.json");
  Put(document, "B81", GetParam().b81);
  Put(document, "B82", GetParam().b82);
  EXPECT_EQ(Check(document), GetParam().cause);
  EXPECT_FALSE(question.BravoNuance());
}

const Case kCases[] = {
    {"Solved", {kCountif}, {kSumif}, ""},
    {"AbsoluteAndCapitals", {"=COUNTIF($B$33:$B$77,\"LIVERPOOL\")"}, {kSumif}, ""},
    {"LeadingPlusAndCellCriterion", {"=+COUNTIF(B33:B77,B76)"}, {kSumif}, ""},
    {"NamedRange", {"=COUNTIF(Villes,B62)"}, {kSumif}, ""},
    {"OnlyUpToFirstParenthesis", {"=COUNTIF(B33:B77,B43)+0"}, {kSumif}, ""},
    {"SumifNamedRanges", {kCountif}, {"=SUMIF(Villes,\"liverpool\",Résultats)"}, ""},
    {"SumifAbsoluteSumRange", {kCountif}, {"=SUMIF(B33:B77,B76,$D$33:$D$77)"}, ""},
    {"SumRangeComparedByItsBeginning", {kCountif}, {"=SUMIF(B33:B77,B43,D33:D40)"}, ""},
    {"EmptyB81", {}, {kSumif}, "B"},
    {"BothEmpty", {}, {}, "B"},
    {"ConstantInB81", {8}, {kSumif}, "C"},
    {"SumInB81", {"=SUM(B33:B77)"}, {kSumif}, "C"},
    {"WrongCountifRange", {"=COUNTIF(B34:B77,B43)"}, {kSumif}, "D"},
    {"CountifWithoutSecondArgument", {"=COUNTIF(B33:B77)"}, {kSumif}, "D"},
    {"OtherCity", {"=COUNTIF(B33:B77,\"Manchester\")"}, {kSumif}, "E"},
    {"SpaceAfterComma", {"=COUNTIF(B33:B77, B43)"}, {kSumif}, "E"},
    {"NonLiverpoolCell", {"=COUNTIF(B33:B77,B42)"}, {kSumif}, "E"},
    {"EmptyB82", {kCountif}, {}, "F"},
    {"SumInB82", {kCountif}, {"=SUM(D33:D77)"}, "G"},
    {"ConstantInB82", {kCountif}, {921.5}, "G"},
    {"WrongSumifRange", {kCountif}, {"=SUMIF(B34:B77,B43,D33:D77)"}, "H"},
    {"SumifWithTwoArguments", {kCountif}, {"=SUMIF(B33:B77,\"Liverpool\")"}, "I"},
    {"SumifOtherCity", {kCountif}, {"=SUMIF(B33:B77,B42,D33:D77)"}, "I"},
    {"WrongSumRange", {kCountif}, {"=SUMIF(B33:B77,B43,C33:C77)"}, "J"},
    {"EmptySumRange", {kCountif}, {"=SUMIF(B33:B77,B43,)"}, "J"},
};

INSTANTIATE_TEST_SUITE_P(Formulas, Question0705Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

class Question0705SheetTest : public Question0705Test {};

TEST_F(Question0705SheetTest, LeavesTrimestre1ActiveWhateverTheOutcome) {
  for (const char* b81 : {kCountif, "=SUM(B33:B77)"}) {
    auto document = WorkbookDocument::Sample("705/start.json");
    document.json["activeSheet"] = "Ondine";
    Put(document, "B81", {b81});
    Put(document, "B82", {kSumif});
    Question0705 fresh;
    document.Save(folder.Path(), kThor);
    fresh.Prepare(excel, folder.Text());
    ASSERT_EQ(excel->ActiveSheet()->Name(), "Ondine");
    fresh.TestePoint();
    EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
    excel->Workbooks()->Item(kThor)->Close(false);
  }
}

TEST_F(Question0705SheetTest, ReadsB82FromTheActiveSheetAfterActivation) {
  // B82 is read through the Application: the activation of "Trimestre 1"
  // must come first, even when another sheet with a SUMIF was active.
  auto document = WorkbookDocument::Sample("705/start.json");
  document.json["activeSheet"] = "Ondine";
  Put(document, "B81", {kCountif});
  document.Formula("Ondine", "B82", kSumif, 0);
  EXPECT_EQ(Check(document), "F");
}

TEST_F(Question0705SheetTest, SamplesGiveTheirExpectedOutcome) {
  EXPECT_EQ(Check(WorkbookDocument::Sample("705/start.json")), "B");
  Question0705 solved;
  excel->Workbooks()->Item(kThor)->Close(false);
  WorkbookDocument::Sample("705/solved.json").Save(folder.Path(), kThor);
  solved.Prepare(excel, folder.Text());
  solved.TestePoint();
  EXPECT_EQ(solved.CauseErreur(), "");
}

}  // namespace
}  // namespace r58267
