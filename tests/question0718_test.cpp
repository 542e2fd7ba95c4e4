#include "questions/question0718.h"

#include <gtest/gtest.h>

#include "sim/excel_application.h"
#include "tests/support/workbook_document.h"

namespace r58267 {
namespace {

using nlohmann::json;
using test_support::WorkbookDocument;

constexpr const char* kSheet = "Emprunt";
constexpr const char* kNom = "Nouvelle proposition de ma banque";
constexpr const char* kOrva = "Créé par Editions ORVA le 27/01/2004";
constexpr const char* kEarlier = "Créé par Editions ORVA le 20/01/2004";

json Scenario(const std::string& name, const std::string& cells, json values, const std::string& comment) {
  return {{"name", name},       {"changingCells", cells}, {"values", std::move(values)},
          {"comment", comment}, {"locked", true},         {"hidden", false}};
}

// The learner's new scenario as the task asks for it.
json Nouvelle() { return Scenario(kNom, "C6", {0.06}, kOrva); }
json Autre(const std::string& name, double rate) { return Scenario(name, "C6", {rate}, kEarlier); }

// The delivered "Banque Azur.xls" with exactly the given scenarios on its
// sheet "Emprunt", whose C6 (the rate) holds `rate`.
WorkbookDocument AzurWith(json scenarios, json rate = 0.1) {
  auto document = WorkbookDocument::Sample("718/start.json");
  document.SheetField(kSheet, "scenarios", std::move(scenarios));
  document.json["sheets"][1]["cells"]["C6"]["value"] = std::move(rate);
  return document;
}

// The four scenarios of the delivered workbook.
json Four() {
  return json::array({Autre("Offre Azur", 0.055), Autre("Offre Soledad", 0.052),
                      Autre("Taux plancher", 0.045), Autre("Taux plafond", 0.1)});
}

json FourAnd(json fifth) {
  json all = Four();
  all.push_back(std::move(fifth));
  return all;
}

vb::Error Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error raised";
  return {0, "", ""};
}

class Question0718Fixture : public ::testing::Test {
 protected:
  void Deliver(const WorkbookDocument& azur) {
    azur.Save(folder.Path(), kBanqueAzur);
    WorkbookDocument::Sample("718/start-soledad.json").Save(folder.Path(), kBanqueSoledad);
  }
  std::string Check(const WorkbookDocument& azur) {
    Deliver(azur);
    question.Prepare(excel, folder.Text());
    question.TestePoint();
    return question.CauseErreur();
  }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> simulated = sim::ExcelApplication::Create();
  std::shared_ptr<excel::Application> excel = simulated;
  Question0718 question;
};

struct Case {
  const char* name;
  json scenarios;
  json rate;  // C6 of "Emprunt"
  const char* cause;
};

class Question0718Test : public Question0718Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Question0718Test, GivesTheCauseOfTheScenarios) {
  EXPECT_EQ(Check(AzurWith(GetParam().scenarios, GetParam().rate)), GetParam().cause);
  EXPECT_FALSE(question.BravoNuance());
}

json Without(json all, size_t position) {
  all.erase(position);
  return all;
}

const Case kCases[] = {
    {"Solved", FourAnd(Nouvelle()), 0.1, ""},
    {"NoScenario", json::array(), 0.1, "A"},
    {"Three", Without(Four(), 0), 0.1, "A"},
    {"FourAsDelivered", Four(), 0.1, "B"},
    {"Six",
     [] {
       json s = FourAnd(Nouvelle());
       s.push_back(Autre("Encore", 0.07));
       return s;
     }(),
     0.1, "B"},
    {"FiveWithoutTheName", FourAnd(Scenario("Ma banque", "C6", {0.06}, kOrva)), 0.1, "C"},
    {"NameInOtherCase", FourAnd(Scenario("nouvelle proposition de ma banque", "C6", {0.06}, kOrva)), 0.1,
     "C"},
    {"NameFirstFifthByOrva",
     json::array({Scenario(kNom, "C6", {0.1}, kEarlier), Autre("Offre Azur", 0.055),
                  Autre("Offre Soledad", 0.052), Autre("Taux plancher", 0.045),
                  Scenario("Taux fixe", "C6", {0.06}, kOrva)}),
     0.1, ""},
    {"RateCellNot0Point1", FourAnd(Nouvelle()), 0.06, "C"},
    {"RateCellEmpty", FourAnd(Nouvelle()), nullptr, "C"},
    {"RateCellText", FourAnd(Nouvelle()), "0.1", ""},
    {"ChangingCellIsTheFees", FourAnd(Scenario(kNom, "C7", {0.06}, kOrva)), 0.1, "C"},
    {"OtherComment", FourAnd(Scenario(kNom, "C6", {0.06}, kEarlier)), 0.1, "C"},
    {"CommentWithTrailingSpace", FourAnd(Scenario(kNom, "C6", {0.06}, std::string(kOrva) + " ")), 0.1, "C"},
    {"OtherValue", FourAnd(Scenario(kNom, "C6", {0.065}, kOrva)), 0.1, "C"},
    {"ValueAsText", FourAnd(Scenario(kNom, "C6", {"0.06"}, kOrva)), 0.1, ""},
    // An error inside the last test is the cause "C", never "AA".
    {"ErrorValueIsCNotAA", FourAnd(Scenario(kNom, "C6", {{{"error", "#N/A"}}}, kOrva)), 0.1, "C"},
    {"SeveralChangingCellsIsAA", FourAnd(Scenario(kNom, "C6:C7", {0.06, 800}, kOrva)), 0.1, "AA"},
    {"RateCellErrorIsAA", FourAnd(Nouvelle()), {{"error", "#N/A"}}, "AA"},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, Question0718Test, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           return std::string(caseInfo.param.name);
                         });

TEST_F(Question0718Fixture, RegistersBothWorkbooks) {
  const auto files = question.FichiersDeTravail();
  ASSERT_EQ(files->count(), 2);
  EXPECT_EQ(files->Item(1), (Fichier{"05826718.xls", kBanqueAzur, false}));
  EXPECT_EQ(files->Item(2), (Fichier{"15826718.xls", kBanqueSoledad, false}));
}

TEST_F(Question0718Fixture, PrepareOpensSoledadThenAzurWithoutComparing) {
  Deliver(AzurWith(Four()));
  question.Prepare(excel, folder.Text());
  ASSERT_EQ(excel->Workbooks()->Count(), 2);
  EXPECT_EQ(excel->Workbooks()->Item(1L)->Name(), kBanqueSoledad);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kBanqueAzur);
  EXPECT_FALSE(simulated->State().SideBySide());
}

TEST_F(Question0718Fixture, ValueOf6PercentPassesUnderBothDecimalSeparators) {
  for (const char separator : {'.', ','}) {
    const vb::ScopedLocale locale(vb::Locale{separator});
    Question0718 fresh;
    Deliver(AzurWith(FourAnd(Nouvelle())));
    fresh.Prepare(excel, folder.Text());
    fresh.TestePoint();
    EXPECT_EQ(fresh.CauseErreur(), "") << separator;
    for (const char* name : {kBanqueAzur, kBanqueSoledad}) excel->Workbooks()->Item(name)->Close(false);
  }
}

TEST_F(Question0718Fixture, ReadsTheActiveWorkbookOnlyAndSwitchesNothing) {
  Deliver(AzurWith(FourAnd(Nouvelle())));
  question.Prepare(excel, folder.Text());
  excel->Workbooks()->Item(kBanqueSoledad)->Activate();
  excel->Workbooks()->Item(kBanqueSoledad)->Sheets()->Item("Conditions")->Activate();
  question.TestePoint();
  // Soledad's own "Emprunt" has no scenario.
  EXPECT_EQ(question.CauseErreur(), "A");
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), kBanqueSoledad);
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Conditions");
}

TEST_F(Question0718Fixture, MissingSheetIsReportedWithCauseUnchanged) {
  auto azur = AzurWith(FourAnd(Nouvelle()));
  azur.json["sheets"][1]["name"] = "Prêt";
  azur.json["activeSheet"] = "Prêt";
  Deliver(azur);
  question.Prepare(excel, folder.Text());
  const vb::Error error = Caught([&] { question.TestePoint(); });
  EXPECT_EQ(error.number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(error.source.rfind("DLL R58267 - CLASSE Question0718\n\r - SERVICE TestePoint - OBJET ", 0), 0u);
  EXPECT_EQ(question.CauseErreur(), "");
}

TEST_F(Question0718Fixture, CauseIsKeptByALaterPassingCheck) {
  Deliver(AzurWith(Four()));
  question.Prepare(excel, folder.Text());
  question.TestePoint();
  ASSERT_EQ(question.CauseErreur(), "B");
  simulated->State()
      .Workbook(kBanqueAzur)
      .Sheet(kSheet)
      .scenarios.push_back({kNom, {sim::Area{6, 3, 6, 3}}, {vb::Variant(0.06)}, kOrva, true, false});
  question.TestePoint();
  EXPECT_EQ(question.CauseErreur(), "B");
  Question0718 fresh;
  // A fresh object on the corrected workbook passes.
  fresh.Prepare(excel, folder.Text());
  fresh.TestePoint();
  EXPECT_EQ(fresh.CauseErreur(), "");
}

}  // namespace
}  // namespace r58267
