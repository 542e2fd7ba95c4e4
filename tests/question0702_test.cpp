#include "questions/question0702.h"

#include <gtest/gtest.h>

#include <functional>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;
using Field = nlohmann::json;

constexpr const char* kThor = "Thor International.xls";

// The pivot table on "Ondine" of a 702 document.
nlohmann::json& FirstPivot(WorkbookDocument& document) {
  return document.json["sheets"][2]["pivotTables"][0];
}

Field DataField(const char* source, const char* function) {
  return {{"sourceName", source}, {"function", function}};
}

struct Case {
  const char* name;
  const char* sample;
  std::function<void(WorkbookDocument&)> change;
  const char* cause;  // "" when the exercise is passed
};

class Question0702Test : public ::testing::TestWithParam<Case> {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kThor);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0702 question;
};

TEST_P(Question0702Test, GivesTheCauseOfThePivotTable) {
  auto document = WorkbookDocument::Sample(GetParam().sample);
  if (GetParam().change) GetParam().change(document);
  EXPECT_EQ(Check(document), GetParam().cause);
  EXPECT_FALSE(question.BravoNuance());
}

const Case kCases[] = {
    {"Solved", "702/solved.json", {}, ""},
    {"FrenchNotation", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["sourceData"] = "'Trimestre 1'!L32C1:L77C4"; }, ""},
    {"MaximumAsNumericCode", "702/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["dataFields"][1] = {{"sourceName", "Résultats"}, {"function", -4136}};
     },
     ""},
    {"AThirdDataFieldIsNotLookedAt", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"].push_back(DataField("Mois", "count")); }, ""},
    {"PivotTableOf701", "702/start.json", {}, "H"},
    {"AverageAsSecondField", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"][1] = DataField("Résultats", "average"); }, "I"},
    {"SecondSumAsSecondField", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"][1] = DataField("Résultats", "sum"); }, "I"},
    {"MaximumOfAnotherField", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"][1] = DataField("Pays", "max"); }, "J"},
    {"DataFieldsInTheOtherOrder", "702/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["dataFields"] = {DataField("Résultats", "max"), DataField("Résultats", "sum")};
     },
     "F"},
    {"FirstFieldSumOfAnotherField", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"][0] = DataField("Pays", "sum"); }, "G"},
    {"NoPivotTable", "701/start.json", {}, "B"},
    {"AnotherRangeBeforeAnyField", "702/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["sourceData"] = "'Trimestre 1'!R32C1:R77C3";
       FirstPivot(d)["dataFields"] = nlohmann::json::array();
     },
     "C"},
    {"NoColumnField", "702/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["columnFields"] = nlohmann::json::array(); }, "B"},
    {"CitiesNotInRows", "702/solved.json", [](WorkbookDocument& d) { FirstPivot(d)["rowFields"] = {"Pays"}; },
     "D"},
};

INSTANTIATE_TEST_SUITE_P(PivotTables, Question0702Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0702Test, MissingOndineIsReportedWithTheClassName) {
  WorkbookDocument::Sample("702/solved.json").RemoveSheet("Ondine").Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  try {
    question.TestePoint();
    ADD_FAILURE() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
    EXPECT_EQ(error.source.rfind(SourceComposee("Question0702", "TestePoint", ""), 0), 0u);
  }
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST(Question0702FileTest, RegistersItsWorkingFile) {
  Question0702 question;
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 1);
  EXPECT_EQ(files->Item(1), (Fichier{"05826702.xls", kThor, false}));
  EXPECT_EQ(question.Classe(), "Question0702");
}

}  // namespace
}  // namespace r58267
