#include "questions/question0701.h"

#include <gtest/gtest.h>

#include <functional>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;
using Pivot = nlohmann::json;

constexpr const char* kThor = "Thor International.xls";

// The learner's pivot table in a 701 document (the solved one unless the
// situation removes it).
Pivot& FirstPivot(WorkbookDocument& document) {
  for (auto& sheet : document.json["sheets"]) {
    if (sheet["name"] == "Ondine") return sheet["pivotTables"][0];
  }
  throw std::logic_error("no Ondine sheet");
}

// An Excel that, once armed, fails one member with a given error.
class ArmedExcel : public test_support::ApplicationWrapper {
 public:
  ArmedExcel(std::shared_ptr<excel::Application> target, long number, bool workbooks)
      : ApplicationWrapper(std::move(target)), number_(number), workbooks_(workbooks) {}
  std::shared_ptr<excel::Workbooks> Workbooks() override {
    if (armed && workbooks_) throw vb::Error(number_, "injected", "Injected source");
    return Target().Workbooks();
  }
  std::shared_ptr<excel::Worksheet> ActiveSheet() override {
    if (armed && !workbooks_) throw vb::Error(number_, "injected", "Injected source");
    return Target().ActiveSheet();
  }
  bool armed = false;

 private:
  long number_;
  bool workbooks_;
};

struct Case {
  const char* name;
  const char* sample;
  std::function<void(WorkbookDocument&)> change;
  const char* cause;  // "" when the exercise is passed
};

class Question0701Test : public ::testing::TestWithParam<Case> {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kThor);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0701 question;
};

TEST_P(Question0701Test, GivesTheCauseOfThePivotTable) {
  auto document = WorkbookDocument::Sample(GetParam().sample);
  if (GetParam().change) GetParam().change(document);
  EXPECT_EQ(Check(document), GetParam().cause);
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Ondine");
  EXPECT_FALSE(question.BravoNuance());
}

const Case kCases[] = {
    {"Solved", "701/solved.json", {}, ""},
    {"FrenchNotation", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["sourceData"] = "'Trimestre 1'!L32C1:L77C4"; }, ""},
    {"DefaultDataFieldName", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"][0].erase("name"); }, ""},
    {"NoPivotTable", "701/start.json", {}, "B"},
    {"PivotTableOnAnotherSheet", "701/start.json",
     [](WorkbookDocument& d) {
       d.SheetField(
           "Trimestre 2", "pivotTables",
           Pivot::array({WorkbookDocument::Sample("701/solved.json").json["sheets"][2]["pivotTables"][0]}));
       d.json["activeSheet"] = "Trimestre 2";
     },
     "B"},
    {"OneRowTooMany", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["sourceData"] = "'Trimestre 1'!R32C1:R78C4"; }, "C"},
    {"WithoutHeaderRow", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["sourceData"] = "'Trimestre 1'!R33C1:R77C4"; }, "C"},
    {"SheetNameInOtherCase", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["sourceData"] = "'trimestre 1'!R32C1:R77C4"; }, "C"},
    {"A1Notation", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["sourceData"] = "'Trimestre 1'!$A$32:$D$77"; }, "C"},
    {"WrongRangeAndWrongFields", "701/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["sourceData"] = "'Trimestre 1'!R32C1:R78C4";
       FirstPivot(d)["rowFields"] = {"Mois"};
     },
     "C"},
    {"VillesSecondRowField", "701/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["rowFields"] = {"Pays", "Villes"};
     },
     "D"},
    {"MonthsInRowsCitiesInColumns", "701/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["rowFields"] = {"Mois"};
       FirstPivot(d)["columnFields"] = {"Villes"};
     },
     "D"},
    {"RowFieldInOtherCase", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["rowFields"] = {"villes"}; }, "D"},
    {"NoRowField", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["rowFields"] = Pivot::array(); }, "B"},
    {"NoColumnFieldIsBNotE", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["columnFields"] = Pivot::array(); }, "B"},
    {"CountryInColumns", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["columnFields"] = {"Pays"}; }, "E"},
    {"CountOfResults", "701/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["dataFields"][0] = {{"sourceName", "Résultats"}, {"function", "count"}};
     },
     "F"},
    {"SumAsNumericCode", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"][0]["function"] = -4157; }, ""},
    {"SumOfAnotherField", "701/solved.json",
     [](WorkbookDocument& d) {
       FirstPivot(d)["dataFields"][0] = {{"sourceName", "Mois"}, {"function", "sum"}};
     },
     "G"},
    {"NoDataField", "701/solved.json",
     [](WorkbookDocument& d) { FirstPivot(d)["dataFields"] = Pivot::array(); }, "B"},
    {"SecondPivotTableNeverLookedAt", "701/solved.json",
     [](WorkbookDocument& d) {
       Pivot wrong = FirstPivot(d);
       wrong["sourceData"] = "'Trimestre 2'!R1C1:R9C4";
       wrong["name"] = "Tableau croisé dynamique2";
       d.json["sheets"][2]["pivotTables"].push_back(wrong);
     },
     ""},
    {"OnlyTheSecondPivotTableIsRight", "701/solved.json",
     [](WorkbookDocument& d) {
       Pivot right = FirstPivot(d);
       FirstPivot(d)["sourceData"] = "'Trimestre 2'!R1C1:R9C4";
       right["name"] = "Tableau croisé dynamique2";
       d.json["sheets"][2]["pivotTables"].push_back(right);
     },
     "C"},
};

INSTANTIATE_TEST_SUITE_P(PivotTables, Question0701Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

class Question0701ErrorTest : public Question0701Test {
 protected:
  vb::Error Caught() {
    try {
      question.TestePoint();
    } catch (const vb::Error& error) {
      return error;
    }
    ADD_FAILURE() << "no error raised";
    return {0, "", ""};
  }
};

TEST_F(Question0701ErrorTest, ActivatesOndineFromAnotherSheet) {
  auto document = WorkbookDocument::Sample("701/solved.json");
  document.json["activeSheet"] = "Trimestre 1";
  // A pivot table on the sheet that was active must not be taken instead.
  document.SheetField("Trimestre 1", "pivotTables", document.json["sheets"][2]["pivotTables"]);
  document.SheetField("Ondine", "pivotTables", Pivot::array());
  EXPECT_EQ(Check(document), "B");
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Ondine");
}

TEST_F(Question0701ErrorTest, MissingOndineIsReportedNotB) {
  WorkbookDocument::Sample("701/solved.json").RemoveSheet("Ondine").Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(error.source.rfind(SourceComposee("Question0701", "TestePoint", ""), 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0701ErrorTest, TypeErrorsBeforeThePivotTableGiveAA) {
  WorkbookDocument::Sample("701/solved.json").Save(folder.Path(), kThor);
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow}) {
    Question0701 fresh;
    auto armed = std::make_shared<ArmedExcel>(excel, number, true);
    std::shared_ptr<excel::Application> application = armed;
    fresh.Prepare(application, folder.Text());
    armed->armed = true;
    EXPECT_NO_THROW(fresh.TestePoint());
    EXPECT_EQ(fresh.CauseErreur(), "AA") << number;
    armed->armed = false;
    excel->Workbooks()->Item(kThor)->Close(false);
  }
}

TEST_F(Question0701ErrorTest, OtherErrorsBeforeThePivotTableAreReported) {
  WorkbookDocument::Sample("701/solved.json").Save(folder.Path(), kThor);
  auto armed = std::make_shared<ArmedExcel>(excel, vb::kApplicationDefined, true);
  std::shared_ptr<excel::Application> application = armed;
  question.Prepare(application, folder.Text());
  armed->armed = true;
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "injected");
  EXPECT_EQ(error.source, SourceComposee("Question0701", "TestePoint", "Injected source"));
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0701ErrorTest, AnyErrorWhileReadingThePivotTableGivesB) {
  WorkbookDocument::Sample("701/solved.json").Save(folder.Path(), kThor);
  for (const long number : {vb::kTypeMismatch, vb::kApplicationDefined, vb::kObjectNotSet}) {
    Question0701 fresh;
    auto armed = std::make_shared<ArmedExcel>(excel, number, false);
    std::shared_ptr<excel::Application> application = armed;
    fresh.Prepare(application, folder.Text());
    armed->armed = true;
    EXPECT_NO_THROW(fresh.TestePoint());
    EXPECT_EQ(fresh.CauseErreur(), "B") << number;
    excel->Workbooks()->Item(kThor)->Close(false);
  }
}

TEST_F(Question0701ErrorTest, ALaterPassLeavesTheEarlierCause) {
  WorkbookDocument::Sample("701/start.json").Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  question.TestePoint();
  ASSERT_EQ(question.CauseErreur(), "B");
  excel->Workbooks()->Item(kThor)->Close(false);
  WorkbookDocument::Sample("701/solved.json").Save(folder.Path(), kThor);
  excel->Workbooks()->Open(folder.Text() + kThor);
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "B");
}

TEST(Question0701FileTest, RegistersItsWorkingFile) {
  Question0701 question;
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 1);
  EXPECT_EQ(files->Item(1), (Fichier{"05826701.xls", kThor, false}));
  EXPECT_EQ(question.Classe(), "Question0701");
}

}  // namespace
}  // namespace r58267
