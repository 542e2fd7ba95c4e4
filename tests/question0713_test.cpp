#include "questions/question0713.h"

#include <gtest/gtest.h>

#include "framework/remonte_erreur.h"
#include "sim/excel_application.h"
#include "tests/support/application_wrapper.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kLoan = "Loan.xls";
constexpr const char* kSheet = "Remboursements";
constexpr const char* kTableRange = "$B$8:$D$10";

// An Excel whose Range(`address`) on the active sheet fails with `number`.
class FailingRangeExcel : public test_support::ApplicationWrapper {
 public:
  FailingRangeExcel(std::shared_ptr<excel::Application> target, std::string address, long number)
      : ApplicationWrapper(std::move(target)), address_(std::move(address)), number_(number) {}
  std::shared_ptr<excel::Range> Range(const std::string& address) override {
    if (address == address_) throw vb::Error(number_, "injected", "Injected source");
    return ApplicationWrapper::Range(address);
  }

 private:
  std::string address_;
  long number_;
};

class Question0713Fixture : public ::testing::Test {
 protected:
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), kLoan);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }
  // The address of what the active sheet has selected, "" for a shape.
  std::string SelectedAddress() const {
    const auto range = std::dynamic_pointer_cast<excel::Range>(excel->Selection());
    return range ? range->Address() : "";
  }

  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Question0713 question;
};

// The solved workbook with A7 and the array block changed: `a7` null keeps
// the formula, "" clears it; `table` null removes the data table.
struct Case {
  const char* name;
  nlohmann::json a7;
  nlohmann::json tableRange;
  nlohmann::json tableFormula;
  const char* cause;
};

class Question0713Test : public Question0713Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0713Test, GivesTheCauseOfTheDataTable) {
  auto document = WorkbookDocument::Sample("713/solved.json");
  const Case& c = GetParam();
  if (c.a7 == "") {
    document.Clear(kSheet, "A7");
  } else if (c.a7.is_string()) {
    document.Formula(kSheet, "A7", c.a7.get<std::string>(), 304.22);
  } else if (c.a7.is_number()) {
    document.Constant(kSheet, "A7", c.a7);
  }
  auto& arrays = document.json["sheets"][0]["arrays"];
  if (c.tableRange.is_null()) {
    arrays = nlohmann::json::array();
  } else {
    if (arrays[0]["range"] != c.tableRange) arrays[0].erase("values");
    arrays[0]["range"] = c.tableRange;
    arrays[0]["formula"] = c.tableFormula;
  }
  EXPECT_EQ(Check(document), c.cause);
}

const nlohmann::json kKeep = nullptr;

const Case kCases[] = {
    {"Solved", kKeep, "B8:D10", "=TABLE(E5,D5)", ""},
    {"TableStartingAtC9", kKeep, "C9:D10", "=TABLE(E5,D5)", ""},
    {"EmptyA7", "", "B8:D10", "=TABLE(E5,D5)", "B"},
    {"PlusBeforeAbs", "=+ABS(PMT(E5/12,F5,D5))", "B8:D10", "=TABLE(E5,D5)", "C"},
    {"ConstantInA7", 304.22, "B8:D10", "=TABLE(E5,D5)", "C"},
    {"TimesOne", "=ABS(PMT(E5/12,F5,D5)*1)", "B8:D10", "=TABLE(E5,D5)", "D"},
    {"AbsoluteReferences", "=ABS(PMT($E$5/12,$F$5,$D$5))", "B8:D10", "=TABLE(E5,D5)", "D"},
    {"PlusInsidePmt", "=ABS(+PMT(E5/12,F5,D5))", "B8:D10", "=TABLE(E5,D5)", "D"},
    {"NoTable", kKeep, nullptr, nullptr, "E"},
    {"TableBesideC9", kKeep, "B8:B10", "=TABLE(E5,D5)", "E"},
    {"InputCellsSwapped", kKeep, "B8:D10", "=TABLE(D5,E5)", "F"},
    {"NoRowInput", kKeep, "B8:D10", "=TABLE(,D5)", "F"},
    {"PlainArrayFormula", kKeep, "B8:D10", "=B7:D7*A8:A10", "F"},
    {"OtherColumnInput", kKeep, "B8:D10", "=TABLE(E5,F5)", "G"},
    {"NoColumnInput", kKeep, "B8:D10", "=TABLE(E5,)", "G"},
};

INSTANTIATE_TEST_SUITE_P(Tables, Question0713Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0713Fixture, PlainValueOrFormulaInC9IsNoTable) {
  for (const bool formula : {false, true}) {
    auto document = WorkbookDocument::Sample("713/start.json");
    if (formula) {
      document.Formula(kSheet, "C9", "=ABS(PMT(C7/12,F5,A9))", 304.22);
    } else {
      document.Constant(kSheet, "C9", 304.22);
    }
    Question0713 fresh;
    document.Save(folder.Path(), kLoan);
    fresh.Prepare(excel, folder.Text());
    fresh.TestePoint();
    EXPECT_EQ(fresh.CauseErreur(), "E") << formula;
    excel->Workbooks()->Item(kLoan)->Close(false);
  }
}

TEST_F(Question0713Fixture, LeavesTheTableSelectedOnTheFirstWorksheet) {
  for (const char* formula : {"=TABLE(E5,D5)", "=TABLE(D5,E5)", "=TABLE(E5,F5)"}) {
    auto document = WorkbookDocument::Sample("713/solved.json");
    document.json["sheets"][0]["arrays"][0]["formula"] = formula;
    document.json["sheets"].push_back({{"name", "Feuil2"}});
    document.json["activeSheet"] = "Feuil2";
    Question0713 fresh;
    document.Save(folder.Path(), kLoan);
    fresh.Prepare(excel, folder.Text());
    fresh.TestePoint();
    EXPECT_EQ(excel->ActiveSheet()->Name(), kSheet) << formula;
    EXPECT_EQ(SelectedAddress(), kTableRange) << formula;
    excel->Workbooks()->Item(kLoan)->Close(false);
  }
}

TEST_F(Question0713Fixture, TheStartLeavesTheSelectionAlone) {
  EXPECT_EQ(Check(WorkbookDocument::Sample("713/start.json")), "E");
  EXPECT_EQ(SelectedAddress(), "$A$1");
}

// Errors up to the formula of A7 follow the common rule.
class Question0713ErrorTest : public Question0713Fixture, public ::testing::WithParamInterface<long> {};

TEST_P(Question0713ErrorTest, TurnsTypeArgumentAndOverflowErrorsInA7IntoAA) {
  excel = std::make_shared<FailingRangeExcel>(excel, "A7", GetParam());
  EXPECT_EQ(Check(WorkbookDocument::Sample("713/solved.json")), "AA");
}

INSTANTIATE_TEST_SUITE_P(Numbers, Question0713ErrorTest, ::testing::Values(13L, 5L, 6L));

// From the data table on, every error is the cause "E".
class Question0713TrapTest : public Question0713Fixture, public ::testing::WithParamInterface<long> {};

TEST_P(Question0713TrapTest, TurnsAnyErrorAtC9IntoE) {
  excel = std::make_shared<FailingRangeExcel>(excel, "C9", GetParam());
  EXPECT_EQ(Check(WorkbookDocument::Sample("713/solved.json")), "E");
}

INSTANTIATE_TEST_SUITE_P(Numbers, Question0713TrapTest, ::testing::Values(13L, 5L, 6L, 1004L, 438L));

TEST_F(Question0713Fixture, ReportsOtherErrorsInA7AndKeepsTheCause) {
  ASSERT_EQ(Check(WorkbookDocument::Sample("713/start.json")), "E");
  excel = std::make_shared<FailingRangeExcel>(excel, "A7", 1004);
  Question0713 failing;
  try {
    failing.Prepare(excel, folder.Text());
    ASSERT_EQ(excel->Workbooks()->Count(), 1);
    failing.TestePoint();
    FAIL() << "no error raised";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, 1004);
    EXPECT_EQ(error.source, SourceComposee("Question0713", "TestePoint", "Injected source"));
  }
  EXPECT_EQ(failing.CauseErreur(), "");
  EXPECT_EQ(question.CauseErreur(), "E");
}

TEST(Question0713Catalogue, RegistersLoanAndNamesEveryCause) {
  Question0713 question;
  ASSERT_EQ(question.FichiersDeTravail()->count(), 1);
  EXPECT_EQ(question.FichiersDeTravail()->Item(1), (Fichier{"05826713.xls", kLoan, false}));
  for (const char* code : {"B", "C", "D", "E", "F", "G"}) {
    EXPECT_FALSE(SensDe(Question0713::Causes(), code).empty()) << code;
  }
}

}  // namespace
}  // namespace r58267
