// The common scene of an exercise's tests: a working folder, a simulated
// Excel and the exercise object, and the check of one workbook document.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace test_support {

template <typename Exercise>
class ExerciseFixture : public ::testing::Test {
 protected:
  // Saves the document as the exercise's main workbook, prepares the
  // exercise on it and checks it; the cause the check leaves.
  std::string Check(const WorkbookDocument& document) {
    document.Save(folder.Path(), question.FichiersDeTravail()->Item(1).NomDest);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }

  TempFolder folder;
  std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
  Exercise question;
};

}  // namespace test_support
