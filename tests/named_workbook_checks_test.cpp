// The checks that address their workbook by name work while another
// workbook is active: Excel activates a sheet only in the active workbook,
// so they activate theirs first, and leave it active on the checked sheet.
#include <gtest/gtest.h>

#include "questions/factory.h"
#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

struct Case {
  long question;
  const char* sheet;  // the sheet the check activates
  const char* cause;  // of the solved sample
};

class NamedWorkbookCheckTest : public ::testing::TestWithParam<Case> {};

TEST_P(NamedWorkbookCheckTest, ActivatesItsWorkbookBeforeItsSheet) {
  const Case& c = GetParam();
  test_support::TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  auto question = CreeQuestion(c.question);
  const std::string classeur = question->FichiersDeTravail()->Item(1).NomDest;

  auto document = WorkbookDocument::Sample(std::to_string(c.question) + "/solved.json");
  // Start on another sheet, so that the activation of the checked one shows.
  for (const auto& sheet : document.json["sheets"]) {
    if (sheet["name"] != c.sheet) document.json["activeSheet"] = sheet["name"];
  }
  document.Save(folder.Path(), classeur);
  question->Prepare(excel, folder.Text());
  excel->Workbooks()->Add();
  ASSERT_NE(excel->ActiveWorkbook()->Name(), classeur);

  question->TestePoint();
  EXPECT_EQ(question->CauseErreur(), c.cause);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), classeur);
  EXPECT_EQ(excel->ActiveSheet()->Name(), c.sheet);
}

INSTANTIATE_TEST_SUITE_P(Checks, NamedWorkbookCheckTest,
                         ::testing::Values(Case{701, "Ondine", ""}, Case{702, "Ondine", ""},
                                           Case{704, "Trimestre 1", ""}, Case{705, "Trimestre 1", ""},
                                           Case{706, "Trimestre 2", ""}, Case{707, "Trimestre 2", ""},
                                           Case{709, "Semestre 1", "D"}, Case{710, "Année", ""},
                                           Case{714, "Emprunt", ""}),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::to_string(caseInfo.param.question);
                         });

}  // namespace
}  // namespace r58267
