#include "questions/question0710.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Année";
constexpr const char* kFirst = "'Semestre 1'!$A$2:$B$5";
constexpr const char* kSecond = "'Semestre 2'!$A$2:$B$5";

json Consolidation(json sources, json function = "sum", json options = {true, true, true}) {
  return {
      {"sources", std::move(sources)}, {"function", std::move(function)}, {"options", std::move(options)}};
}

struct Case {
  const char* name;
  json consolidation;  // null: the fifth sheet holds none
  const char* cause;   // "" when the exercise is passed
};

using Question0710Fixture = test_support::ExerciseFixture<Question0710>;

class Question0710Test : public Question0710Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0710Test, GivesTheCauseOfTheConsolidation) {
  auto document = WorkbookDocument::Sample("710/start.json");
  document.json["activeSheet"] = "Trimestre 1";
  if (!GetParam().consolidation.is_null())
    document.SheetField(kSheet, "consolidation", GetParam().consolidation);
  EXPECT_EQ(Check(document), GetParam().cause);
  EXPECT_FALSE(question.BravoNuance());
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

const Case kCases[] = {
    {"Solved", Consolidation({kFirst, kSecond}), ""},
    {"SourcesSwapped", Consolidation({kSecond, kFirst}), ""},
    {"FunctionByItsCode", Consolidation({kFirst, kSecond}, -4157), ""},
    {"ThirdSourceNotExamined", Consolidation({kFirst, kSecond, "'Ondine'!$A$1:$B$4"}), ""},
    {"SameSourceTwice", Consolidation({kFirst, kFirst}), ""},
    {"None", nullptr, "B"},
    {"NoSource", Consolidation(json::array()), "B"},
    {"SingleSource", Consolidation({kFirst}), "B"},
    {"SingleWrongSource", Consolidation({"'Semestre 1'!$A$2:$B$4"}), "C"},
    {"FirstSourceTooShort", Consolidation({"'Semestre 1'!$A$2:$B$4", kSecond}), "C"},
    {"SecondSourceOnAnotherSheet", Consolidation({kFirst, "'Trimestre 2'!$A$2:$B$5"}), "C"},
    {"SmallLetters", Consolidation({"'semestre 1'!$A$2:$B$5", kSecond}), "C"},
    {"Average", Consolidation({kFirst, kSecond}, "average"), "D"},
    {"Count", Consolidation({kFirst, kSecond}, -4112), "D"},
    {"WrongSourceBeforeWrongFunction", Consolidation({kFirst, "'Semestre 2'!A2:B5"}, "max"), "C"},
    {"NoLinks", Consolidation({kFirst, kSecond}, "sum", {true, true, false}), "E"},
    {"NoTopRowLabels", Consolidation({kFirst, kSecond}, "sum", {false, true, true}), "E"},
    {"NoOptions", Consolidation({kFirst, kSecond}, "sum", {false, false, false}), "E"},
    {"WrongFunctionBeforeOptions", Consolidation({kFirst, kSecond}, "product", {false, false, false}), "D"},
};

INSTANTIATE_TEST_SUITE_P(Consolidations, Question0710Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0710Fixture, ReadsTheFifthSheetByPosition) {
  auto document = WorkbookDocument::Sample("710/start.json");
  // The right consolidation on the sixth sheet is not seen.
  document.SheetField("Ondine", "consolidation", Consolidation({kFirst, kSecond}));
  EXPECT_EQ(Check(document), "B");

  Question0710 renamed;
  excel->Workbooks()->Item(kThor)->Close(false);
  document = WorkbookDocument::Sample("710/solved.json");
  document.json["sheets"][4]["name"] = "Feuil5";
  document.json["activeSheet"] = "Feuil5";
  document.Save(folder.Path(), kThor);
  renamed.Prepare(excel, folder.Text());
  renamed.TestePoint();
  EXPECT_EQ(renamed.CauseErreur(), "");
}

TEST_F(Question0710Fixture, ReportsAWorkbookWithFewerThanFiveSheets) {
  auto document = WorkbookDocument::Sample("710/solved.json");
  document.RemoveSheet("Ondine").RemoveSheet(kSheet);
  EXPECT_THROW(Check(document), vb::Error);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST(Question0710Catalogue, RegistersThorAndNamesEveryCause) {
  Question0710 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826710.xls", kThor, false}));
  EXPECT_EQ(Question0710::Causes().question, 710);
  for (const char* code : {"B", "C", "D", "E"}) {
    EXPECT_FALSE(SensDe(Question0710::Causes(), code).empty()) << code;
  }
}

}  // namespace
}  // namespace r58267
