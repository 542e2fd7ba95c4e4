#include "questions/question0704.h"

#include <gtest/gtest.h>

#include <functional>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kThor = "Thor International.xls";
constexpr const char* kSheet = "Trimestre 1";
constexpr const char* kE33 = "=IF(OR(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact : lucien\",\"\")";

// The solved formula of row r.
std::string Row(long r) {
  const std::string b = "B" + std::to_string(r);
  return "=IF(OR(" + b + "=\"Sevilla\"," + b + "=\"Liverpool\"),\"contact : lucien\",\"\")";
}

// The 704 workbook whose E33 holds `e33` (nothing when empty) and whose
// E34:E77 hold the solved formulas.
WorkbookDocument WithE33(const std::string& e33) {
  auto document = WorkbookDocument::Sample("704/solved.json");
  if (e33.empty()) {
    document.Clear(kSheet, "E33");
  } else {
    document.Formula(kSheet, "E33", e33, "");
  }
  return document;
}

// The solved workbook whose rows 34 to 77 are rewritten by `row`.
WorkbookDocument WithRows(const std::function<std::string(long)>& row) {
  auto document = WorkbookDocument::Sample("704/solved.json");
  for (long r = 34; r <= 77; ++r) document.Formula(kSheet, "E" + std::to_string(r), row(r), "");
  return document;
}

WorkbookDocument SheetsReordered(WorkbookDocument document) {
  auto& sheets = document.json["sheets"];
  std::swap(sheets[0], sheets[1]);
  return document;
}

// An Excel whose Workbooks member, once armed, fails with a given error.
class ArmedExcel : public test_support::ApplicationWrapper {
 public:
  ArmedExcel(std::shared_ptr<excel::Application> target, long number)
      : ApplicationWrapper(std::move(target)), number_(number) {}
  std::shared_ptr<excel::Workbooks> Workbooks() override {
    if (armed) throw vb::Error(number_, "injected", "Injected source");
    return Target().Workbooks();
  }
  bool armed = false;

 private:
  long number_;
};

class Question0704Fixture {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kThor);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }
  vb::Error Caught() {
    try {
      question.TestePoint();
    } catch (const vb::Error& error) {
      return error;
    }
    ADD_FAILURE() << "no error raised";
    return {0, "", ""};
  }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> simExcel = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> excel = simExcel;
  Question0704 question;
};

struct Case {
  const char* name;
  std::function<WorkbookDocument()> document;
  const char* cause;  // "" when the exercise is passed
};

class Question0704Test : public Question0704Fixture, public ::testing::TestWithParam<Case> {};

TEST_P(Question0704Test, GivesTheCauseOfTheFormulas) {
  EXPECT_EQ(Check(GetParam().document()), GetParam().cause);
  EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet);
  EXPECT_FALSE(question.BravoNuance());
}

WorkbookDocument E33(const char* formula) { return WithE33(formula); }

const Case kCases[] = {
    {"Solved", [] { return WorkbookDocument::Sample("704/solved.json"); }, ""},
    {"LiverpoolFirst",
     [] { return E33("=IF(OR(B33=\"Liverpool\",B33=\"Sevilla\"),\"contact : lucien\",\"\")"); }, ""},
    {"AbsoluteB33",
     [] { return E33("=IF(OR($B$33=\"Sevilla\",$B$33=\"Liverpool\"),\"contact : lucien\",\"\")"); }, ""},
    {"LeadingPlus",
     [] { return E33("=+IF(OR(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact : lucien\",\"\")"); }, ""},
    {"Capitals", [] { return E33("=IF(OR(B33=\"SEVILLA\",B33=\"LIVERPOOL\"),\"CONTACT : LUCIEN\",\"\")"); },
     ""},
    {"MiddleOfE33NotLookedAt",
     [] { return E33("=IF(OR(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact : lucien\"&\"\",\"\")"); }, ""},
    {"EmptyE33", [] { return WithE33(""); }, "B"},
    {"NumberInE33", [] { return WorkbookDocument::Sample("704/solved.json").Constant(kSheet, "E33", 12); },
     "C"},
    {"TextInE33",
     [] { return WorkbookDocument::Sample("704/solved.json").Constant(kSheet, "E33", "contact : lucien"); },
     "C"},
    {"And", [] { return E33("=IF(AND(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact : lucien\",\"\")"); }, "D"},
    {"NoOr", [] { return E33("=IF(B33=\"Sevilla\",\"contact : lucien\",\"\")"); }, "E"},
    {"Not", [] { return E33("=IF(NOT(B33=\"Sevilla\"),\"\",\"contact : lucien\")"); }, "E"},
    {"SpaceAfterComma",
     [] { return E33("=IF(OR(B33=\"Sevilla\", B33=\"Liverpool\"),\"contact : lucien\",\"\")"); }, "F"},
    {"OtherRow", [] { return E33("=IF(OR(B34=\"Sevilla\",B34=\"Liverpool\"),\"contact : lucien\",\"\")"); },
     "F"},
    {"OtherCity", [] { return E33("=IF(OR(B33=\"Sevilla\",B33=\"Barcelona\"),\"contact : lucien\",\"\")"); },
     "F"},
    {"OtherText", [] { return E33("=IF(OR(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact: lucien\",\"\")"); },
     "G"},
    {"SpaceInsteadOfEmptyText",
     [] { return E33("=IF(OR(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact : lucien\",\" \")"); }, "H"},
    {"ZeroInsteadOfEmptyText",
     [] { return E33("=IF(OR(B33=\"Sevilla\",B33=\"Liverpool\"),\"contact : lucien\",0)"); }, "H"},
    {"E34Empty", [] { return WorkbookDocument::Sample("704/solved.json").Clear(kSheet, "E34"); }, "I"},
    {"E77Empty", [] { return WorkbookDocument::Sample("704/solved.json").Clear(kSheet, "E77"); }, "I"},
    {"E78NotLookedAt",
     [] { return WorkbookDocument::Sample("704/solved.json").Constant(kSheet, "E78", "fin de table"); }, ""},
    {"E40HoldsRow41",
     [] { return WorkbookDocument::Sample("704/solved.json").Formula(kSheet, "E40", Row(41), ""); }, "I"},
    {"RowsAllOnAbsoluteB33",
     [] {
       return WithRows([](long) {
         return std::string("=IF(OR($B$33=\"Sevilla\",$B$33=\"Liverpool\"),\"contact : lucien\",\"\")");
       });
     },
     "I"},
    {"RowsWithAbsoluteColumn",
     [] {
       return WithRows([](long r) {
         const std::string b = "$B" + std::to_string(r);
         return "=IF(OR(" + b + "=\"Sevilla\"," + b + "=\"Liverpool\"),\"contact : lucien\",\"\")";
       });
     },
     ""},
    {"RowsLiverpoolFirstInCapitals",
     [] {
       return WithRows([](long r) {
         const std::string b = "B" + std::to_string(r);
         return "=IF(OR(" + b + "=\"LIVERPOOL\"," + b + "=\"SEVILLA\"),\"CONTACT : LUCIEN\",\"\")";
       });
     },
     ""},
    {"RowsWithSpaceAfterComma",
     [] {
       return WithRows([](long r) {
         const std::string b = "B" + std::to_string(r);
         return "=IF(OR(" + b + "=\"Sevilla\", " + b + "=\"Liverpool\"),\"contact : lucien\",\"\")";
       });
     },
     "I"},
    {"RowsReadFromTheFirstSheet", [] { return SheetsReordered(WorkbookDocument::Sample("704/solved.json")); },
     "I"},
    {"E33ReadByNameRowsByPosition",
     [] {
       auto document = SheetsReordered(WorkbookDocument::Sample("704/start.json"));
       document.Formula(kSheet, "E33", kE33, "contact : lucien");
       for (long r = 34; r <= 77; ++r) document.Formula("Trimestre 2", "E" + std::to_string(r), Row(r), "");
       return document;
     },
     ""},
};

INSTANTIATE_TEST_SUITE_P(Formulas, Question0704Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

class Question0704EdgeTest : public Question0704Fixture, public ::testing::Test {};

TEST_F(Question0704EdgeTest, FetchesTheFirstSheetOnceForTheRows) {
  WorkbookDocument::Sample("704/solved.json").Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  simExcel->ResetCallCount();
  question.TestePoint();
  ASSERT_EQ(question.CauseErreur(), "");
  // Two calls per row (Cells, Formula) and a handful to reach the sheets.
  EXPECT_LE(simExcel->CallCount(), 2 * 44 + 12);
}

TEST_F(Question0704EdgeTest, MissingTrimestre1IsReported) {
  WorkbookDocument::Sample("704/solved.json").RemoveSheet(kSheet).Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(error.source.rfind(SourceComposee("Question0704", "TestePoint", ""), 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0704EdgeTest, ChartAsFirstSheetIsReportedWhenTheRowsAreRead) {
  auto document = WorkbookDocument::Sample("704/solved.json");
  const nlohmann::json chart = {{"name", "Graphique1"}, {"type", "chart"}};
  document.json["sheets"].insert(document.json["sheets"].begin(), chart);
  document.json["activeSheet"] = kSheet;
  document.Save(folder.Path(), kThor);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught();
  EXPECT_EQ(error.number, vb::kNotSupported);
  EXPECT_EQ(question.CauseErreur(), "");

  // Before the rows, E33's own causes still come out.
  Question0704 fresh;
  excel->Workbooks()->Item(kThor)->Close(false);
  document.Clear(kSheet, "E33").Save(folder.Path(), kThor);
  fresh.Prepare(excel, folder.Text());
  fresh.TestePoint();
  EXPECT_EQ(fresh.CauseErreur(), "B");
}

TEST_F(Question0704EdgeTest, TypeErrorsGiveAAOthersAreReported) {
  WorkbookDocument::Sample("704/solved.json").Save(folder.Path(), kThor);
  for (const long number : {vb::kTypeMismatch, vb::kInvalidCall, vb::kOverflow, vb::kApplicationDefined}) {
    Question0704 fresh;
    auto armed = std::make_shared<ArmedExcel>(excel, number);
    std::shared_ptr<excel::Application> application = armed;
    fresh.Prepare(application, folder.Text());
    armed->armed = true;
    if (number == vb::kApplicationDefined) {
      try {
        fresh.TestePoint();
        ADD_FAILURE() << "no error raised";
      } catch (const vb::Error& error) {
        EXPECT_EQ(error.source, SourceComposee("Question0704", "TestePoint", "Injected source"));
      }
      EXPECT_EQ(fresh.CauseErreur(), "");
    } else {
      EXPECT_NO_THROW(fresh.TestePoint());
      EXPECT_EQ(fresh.CauseErreur(), "AA") << number;
    }
    armed->armed = false;
    excel->Workbooks()->Item(kThor)->Close(false);
  }
}

TEST(Question0704SampleTest, SolvedValuesFollowTheCities) {
  const auto document = WorkbookDocument::Sample("704/solved.json");
  const auto& cells = document.json["sheets"][0]["cells"];
  for (long r = 33; r <= 77; ++r) {
    const std::string city = cells.at("B" + std::to_string(r));
    const auto& e = cells.at("E" + std::to_string(r));
    EXPECT_EQ(e.at("formula"), Row(r));
    EXPECT_EQ(e.at("value"), city == "Sevilla" || city == "Liverpool" ? "contact : lucien" : "") << r;
  }
}

TEST(Question0704FileTest, RegistersItsWorkingFile) {
  Question0704 question;
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 1);
  EXPECT_EQ(files->Item(1), (Fichier{"05826704.xls", kThor, false}));
  EXPECT_EQ(question.Classe(), "Question0704");
}

}  // namespace
}  // namespace r58267
