#include "questions/question0706.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/excel_application.h"
#include "tests/support/exercise_fixture.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Trimestre 2";
constexpr const char* kBlock[] = {"B16", "C16", "D16", "B17", "C17", "D17", "B18", "C18", "D18"};
constexpr const char* kSources[] = {"B2", "C2", "D2", "B3", "C3", "D3", "B4", "C4", "D4"};

json Expected() {
  return json::array({json::array({122.85, 133.35, 115.5}), json::array({129.15, 115.5, 115.5}),
                      json::array({139.65, 116.55, 131.25})});
}

void PutArray(WorkbookDocument& document, const std::string& range, const json& values) {
  document.SheetField(kSheet, "arrays",
                      json::array({{{"range", range}, {"formula", "=B2:D4*1.05"}, {"values", values}}}));
}

// Each situation edits the starting workbook as a learner would.
using Edit = void (*)(WorkbookDocument&);

struct Case {
  const char* name;
  Edit edit;
  const char* cause;  // "" when the exercise is passed
};

class Question0706Fixture : public test_support::ExerciseFixture<Question0706> {
 protected:
  std::string SelectedAddress() {
    const auto selection = std::dynamic_pointer_cast<excel::Range>(excel->Selection());
    return selection ? selection->Address() : "";
  }
};

class Question0706Test : public Question0706Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0706Test, GivesTheCauseOfTheBlock) {
  auto document = WorkbookDocument::Sample("706/start.json");
  GetParam().edit(document);
  EXPECT_EQ(Check(document), GetParam().cause);
  EXPECT_FALSE(question.BravoNuance());
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
}

const Case kCases[] = {
    {"ArrayFormula", [](WorkbookDocument& d) { PutArray(d, "B16:D18", Expected()); }, ""},
    {"SixteenthDigitDiffers",
     [](WorkbookDocument& d) {
       json values = Expected();
       values[0][0] = std::nextafter(122.85, 200.0);
       values[2][2] = std::nextafter(131.25, 0.0);
       PutArray(d, "B16:D18", values);
     },
     ""},
    {"OneWrongResult",
     [](WorkbookDocument& d) {
       json values = Expected();
       values[1][2] = 115.6;
       PutArray(d, "B16:D18", values);
     },
     "D"},
    {"FirstResultRoundedDown",
     [](WorkbookDocument& d) {
       json values = Expected();
       values[0][0] = 122.8;
       PutArray(d, "B16:D18", values);
     },
     "D"},
    {"ErrorValueInsideTheArray",
     [](WorkbookDocument& d) {
       json values = Expected();
       values[2][1] = {{"error", "#VALUE!"}};
       PutArray(d, "B16:D18", values);
     },
     "C"},
    {"ErrorValueAfterAWrongResult",
     [](WorkbookDocument& d) {
       json values = Expected();
       values[0][1] = 133.3;
       values[2][1] = {{"error", "#VALUE!"}};
       PutArray(d, "B16:D18", values);
     },
     "D"},
    {"NineSeparateFormulas",
     [](WorkbookDocument& d) {
       const json values = Expected();
       for (int k = 0; k < 9; ++k) {
         d.Formula(kSheet, kBlock[k], std::string("=") + kSources[k] + "*1.05", values[k / 3][k % 3]);
       }
     },
     "C"},
    {"NineConstants",
     [](WorkbookDocument& d) {
       const json values = Expected();
       for (int k = 0; k < 9; ++k) d.Constant(kSheet, kBlock[k], values[k / 3][k % 3]);
     },
     "C"},
    {"SeparateFormulasAroundAnArrayOnC17",
     [](WorkbookDocument& d) {
       const json values = Expected();
       for (int k = 0; k < 9; ++k) {
         d.Formula(kSheet, kBlock[k], std::string("=") + kSources[k] + "*1.05", values[k / 3][k % 3]);
       }
       d.SheetField(kSheet, "arrays",
                    json::array({{{"range", "C17:C18"},
                                  {"formula", "=C3:C4*1.05"},
                                  {"values", json::array({json::array({115.5}), json::array({116.55})})}}}));
     },
     ""},
    {"Untouched", [](WorkbookDocument&) {}, "B"},
    {"EmptyFirstCell",
     [](WorkbookDocument& d) {
       const json values = Expected();
       for (int k = 1; k < 9; ++k) d.Constant(kSheet, kBlock[k], values[k / 3][k % 3]);
     },
     "B"},
    {"ArrayOverTwoRowsOnly",
     [](WorkbookDocument& d) {
       json values = Expected();
       values.erase(2);
       d.SheetField(kSheet, "arrays",
                    json::array({{{"range", "B16:D17"}, {"formula", "=B2:D3*1.05"}, {"values", values}}}));
     },
     "B"},
};

INSTANTIATE_TEST_SUITE_P(Blocks, Question0706Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0706Fixture, SelectsTheArrayOfC17WhenAResultIsWrong) {
  auto document = WorkbookDocument::Sample("706/solved.json");
  json values = Expected();
  values[2][0] = 139.6;
  PutArray(document, "B16:D18", values);
  document.json["activeSheet"] = "Ondine";
  ASSERT_EQ(Check(document), "D");
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
  EXPECT_EQ(SelectedAddress(), "$B$16:$D$18");
}

TEST_F(Question0706Fixture, ComparesUnderADecimalComma) {
  const vb::ScopedLocale comma(vb::Locale{','});
  EXPECT_EQ(Check(WorkbookDocument::Sample("706/solved.json")), "");
  Question0706 wrong;
  excel->Workbooks()->Item(kThor)->Close(false);
  auto document = WorkbookDocument::Sample("706/solved.json");
  json values = Expected();
  values[0][2] = 115.4;
  PutArray(document, "B16:D18", values);
  document.Save(folder.Path(), kThor);
  wrong.Prepare(excel, folder.Text());
  wrong.TestePoint();
  EXPECT_EQ(wrong.CauseErreur(), "D");
}

TEST_F(Question0706Fixture, ReportsAMissingSheet) {
  auto document = WorkbookDocument::Sample("706/solved.json");
  document.RemoveSheet(kSheet);
  document.Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  EXPECT_THROW(question.TestePoint(), vb::Error);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST(Question0706Cost, StaysWithinItsAutomationCalls) {
  // Every member access is a round trip to Excel: the check fetches each
  // object once and reads each deciding property once.
  test_support::TempFolder folder;
  auto excel = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> application = excel;
  WorkbookDocument::Sample("706/solved.json").Save(folder.Path(), kThor);
  Question0706 question;
  question.Prepare(application, folder.Text());
  excel->ResetCallCount();
  question.TestePoint();
  ASSERT_EQ(question.CauseErreur(), "");
  EXPECT_LE(excel->CallCount(), 37);
}

TEST(Question0706Catalogue, RegistersThorAndNamesEveryCause) {
  Question0706 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826706.xls", kThor, false}));
  EXPECT_EQ(Question0706::Causes().question, 706);
  for (const char* code : {"B", "C", "D"}) EXPECT_FALSE(SensDe(Question0706::Causes(), code).empty()) << code;
}

}  // namespace
}  // namespace r58267
