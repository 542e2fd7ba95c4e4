// The module's structure check of the exercise workbook, question by
// question, driven through TestePoint with exercises whose own check only
// records that it ran.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/module_scene.h"

namespace r58267 {
namespace {

using test_support::WorkbookDocument;

constexpr const char* kMarker = "Ne pas supprimer ce commentaire. Merci !";
constexpr const char* kWorkbook = "Classeur.xls";

struct SheetSpec {
  std::string name;
  std::string commentCell;     // "" for none
  int shapes = 0;              // drawing objects; Excel counts the comments among the shapes too
  std::string otherComment{};  // a second comment's cell, "" for none
};

// The workbook of a question as the course delivers it.
std::vector<SheetSpec> GoodSheets(long question) {
  const SheetSpec t1{"Trimestre 1", "K83"}, t2{"Trimestre 2", "F13"}, ondine{"Ondine", "G19"};
  switch (question) {
    case 703:
      return {t1, {"Trimestre 2", "F13", 4}, ondine};
    case 709:
      return {t1, t2, {"Semestre 1", "D11"}, ondine};
    case 710:
      return {t1, t2, {"Semestre 1", "D11"}, {"Semestre 2", "C6"}, {"Année", ""}, ondine};
    case 711:
      return {t1, t2, {"Semestre 1", "D11"}, {"Semestre 2", "C6"}, {"Année", "D11"}, ondine};
    case 712:
    case 713:
      return {{"Remboursements", "J18"}};
    case 714:
      return {{"Emprunt", "F10"}};
    case 715:
      return {{"Emprunt", "F10"}, {"Réponses", "", 5}};
    case 716:
      return {{"Réponses", "", 5}, {"Emprunt", ""}};
    case 717:
      return {{"Synthèse de scénarios", ""}, {"Emprunt", "F10", 4}};
    case 718:
      return {{"Synthèse de scénarios", ""}, {"Emprunt", "F10"}};
    case 719:
      return {{"Prévisions", "F10"}, {"Réponses", "", 4}};
    default:
      return {t1, t2, ondine};
  }
}

WorkbookDocument Build(const std::vector<SheetSpec>& sheets) {
  WorkbookDocument document;
  document.json["sheets"] = nlohmann::json::array();
  for (const auto& sheet : sheets) {
    nlohmann::json entry = {{"name", sheet.name}, {"cells", nlohmann::json::object()}};
    if (!sheet.commentCell.empty()) entry["cells"][sheet.commentCell] = {{"comment", kMarker}};
    if (!sheet.otherComment.empty()) entry["cells"][sheet.otherComment] = {{"comment", "Vu"}};
    entry["shapes"] = nlohmann::json::array();
    for (int i = 1; i <= sheet.shapes; ++i)
      entry["shapes"].push_back({{"name", "Forme " + std::to_string(i)}});
    document.json["sheets"].push_back(entry);
  }
  return document;
}

struct Outcome {
  bool erreurGenerale;
  std::string cause;
  bool exerciseRan;
};

class WorkbookCheckTest : public ::testing::Test {
 protected:
  Outcome Check(long question, const std::vector<SheetSpec>& sheets,
                const std::function<void(excel::Application&)>& learner = {}) {
    scene.Deliver(Build(sheets), "source.xls");
    bool ran = false;
    auto& module = scene.Module(test_support::FabriqueFactice(
        {{"source.xls", kWorkbook}}, true, [&ran](test_support::QuestionFactice&) { ran = true; }));
    scene.Init(question);
    if (learner) learner(*scene.application);
    module.TestePoint();
    return {module.ErreurGenerale(), module.CauseErreur(), ran};
  }

  test_support::ModuleScene scene;
};

class GoodWorkbookTest : public WorkbookCheckTest, public ::testing::WithParamInterface<long> {};

TEST_P(GoodWorkbookTest, PassesAndRunsTheExercise) {
  const Outcome outcome = Check(GetParam(), GoodSheets(GetParam()));
  EXPECT_FALSE(outcome.erreurGenerale) << outcome.cause;
  EXPECT_TRUE(outcome.exerciseRan);
}

INSTANTIATE_TEST_SUITE_P(EveryQuestion, GoodWorkbookTest, ::testing::Range(701L, 720L));

class CommentShapeTest : public WorkbookCheckTest, public ::testing::WithParamInterface<long> {};

// A drawing object replaced by a comment keeps the count of shapes.
TEST_P(CommentShapeTest, ACommentTakesTheCountOfADrawingObject) {
  auto sheets = GoodSheets(GetParam());
  --sheets[1].shapes;
  sheets[1].otherComment = "A1";
  EXPECT_FALSE(Check(GetParam(), sheets).erreurGenerale);
}

INSTANTIATE_TEST_SUITE_P(SheetsWithAComment, CommentShapeTest, ::testing::Values(703L, 717L));

struct Breakage {
  const char* name;
  long question;
  std::function<void(std::vector<SheetSpec>&)> change;
  const char* code;
};

class BrokenWorkbookTest : public WorkbookCheckTest, public ::testing::WithParamInterface<Breakage> {};

TEST_P(BrokenWorkbookTest, GivesTheCodeOfTheFirstFailingCheck) {
  auto sheets = GoodSheets(GetParam().question);
  GetParam().change(sheets);
  const Outcome outcome = Check(GetParam().question, sheets);
  EXPECT_TRUE(outcome.erreurGenerale);
  EXPECT_EQ(outcome.cause, GetParam().code);
  EXPECT_FALSE(outcome.exerciseRan);
}

void Swap(std::vector<SheetSpec>& s, size_t a, size_t b) { std::swap(s[a], s[b]); }

const Breakage kBreakages[] = {
    {"MovedSheet", 705, [](auto& s) { Swap(s, 0, 1); }, "B"},
    {"SecondSheetRenamed", 705, [](auto& s) { s[1].name = "Feuil2"; }, "E"},
    {"OndineMissing", 705, [](auto& s) { s.pop_back(); }, "P"},
    {"CommentMissing", 701, [](auto& s) { s[2].commentCell = ""; }, "D"},
    {"SixthShape", 703, [](auto& s) { s[1].shapes = 5; }, "D"},
    {"SecondCommentOn703", 703, [](auto& s) { s[1].otherComment = "A1"; }, "D"},
    {"NoOndineAnywhere", 703, [](auto& s) { s[2].name = "Autre"; }, "I"},
    {"SemestreMissing", 709, [](auto& s) { s[2].name = "Autre"; }, "R"},
    {"OndineBeforeSemestre", 709, [](auto& s) { Swap(s, 2, 3); }, "R"},
    {"OndineNotFourth", 709, [](auto& s) { s[3].name = "Autre"; }, "Q"},
    {"Semestre2Missing", 710, [](auto& s) { s[3].name = "Autre"; }, "T"},
    {"AnneeMissing", 710, [](auto& s) { s[4].name = "Autre"; }, "U"},
    {"AnneeNotFifth", 710, [](auto& s) { Swap(s, 4, 5); }, "U"},
    {"OndineMissingAfterAnnee", 710, [](auto& s) { s[5].name = "Autre"; }, "S"},
    {"AnneeWithoutComment", 711, [](auto& s) { s[4].commentCell = ""; }, "D"},
    {"Remboursements", 712, [](auto& s) { s[0].name = "Feuil1"; }, "V"},
    {"RemboursementsComment", 713, [](auto& s) { s[0].commentCell = "J19"; }, "D"},
    {"Emprunt", 714, [](auto& s) { s[0].name = "Prêt"; }, "G"},
    {"ReponsesMissing", 715, [](auto& s) { s[1].name = "Autre"; }, "J"},
    {"ReponsesShapesBeforePosition", 715,
     [](auto& s) {
       s.insert(s.begin() + 1, {"Notes", ""});
       s[2].shapes = 4;
     },
     "D"},
    {"ReponsesThird", 715,
     [](auto& s) {
       s.insert(s.begin() + 1, {"Notes", ""});
     },
     "J"},
    {"EmpruntMissingAnywhere", 716, [](auto& s) { s[1].name = "Autre"; }, "G"},
    {"ReponsesFourShapes", 716, [](auto& s) { s[0].shapes = 4; }, "D"},
    {"Synthese", 717, [](auto& s) { Swap(s, 0, 1); }, "H"},
    {"EmpruntSecond", 718, [](auto& s) { s[1].name = "Autre"; }, "G"},
    {"ThreeShapes", 717, [](auto& s) { s[1].shapes = 3; }, "D"},
    {"SecondCommentOn717", 717, [](auto& s) { s[1].otherComment = "B2"; }, "D"},
    {"Previsions", 719, [](auto& s) { s[0].name = "Autre"; }, "F"},
    {"ReponsesFiveShapes", 719, [](auto& s) { s[1].shapes = 5; }, "D"},
    {"ReponsesNotSecond", 719,
     [](auto& s) {
       s.insert(s.begin() + 1, {"Notes", ""});
     },
     "J"},
};

INSTANTIATE_TEST_SUITE_P(Rows, BrokenWorkbookTest, ::testing::ValuesIn(kBreakages),
                         [](const ::testing::TestParamInfo<Breakage>& breakage) {
                           return std::string(breakage.param.name);
                         });

TEST_F(WorkbookCheckTest, SheetNamesCompareWithoutLetterCase) {
  auto sheets = GoodSheets(705);
  sheets[0].name = "TRIMESTRE 1";
  EXPECT_FALSE(Check(705, sheets).erreurGenerale);
}

TEST_F(WorkbookCheckTest, EditedMarkerCommentGivesD) {
  auto document = Build(GoodSheets(705));
  document.Constant("Trimestre 1", "K83", {{"comment", std::string(kMarker) + " "}});
  scene.Deliver(document, "source.xls");
  auto& module = scene.Module(test_support::FabriqueFactice({{"source.xls", kWorkbook}}));
  scene.Init(705);
  module.TestePoint();
  EXPECT_TRUE(module.ErreurGenerale());
  EXPECT_EQ(module.CauseErreur(), "D");
}

TEST_F(WorkbookCheckTest, AnotherActiveWorkbookGivesA) {
  const Outcome outcome =
      Check(705, GoodSheets(705), [](excel::Application& excel) { excel.Workbooks()->Add(); });
  EXPECT_TRUE(outcome.erreurGenerale);
  EXPECT_EQ(outcome.cause, "A");
}

TEST_F(WorkbookCheckTest, ClosedWorkbookGivesC) {
  const Outcome outcome = Check(705, GoodSheets(705), [](excel::Application& excel) {
    excel.Workbooks()->Item(kWorkbook)->Close(false);
    excel.Workbooks()->Add();
  });
  EXPECT_TRUE(outcome.erreurGenerale);
  EXPECT_EQ(outcome.cause, "C");
}

TEST_F(WorkbookCheckTest, MissingCommentOnEmpruntProtectsTheFirstSheet) {
  for (const long question : {717L, 718L}) {
    test_support::ModuleScene fresh;
    auto sheets = GoodSheets(question);
    sheets[1].commentCell = "";
    fresh.Deliver(Build(sheets), "source.xls");
    auto& module = fresh.Module(test_support::FabriqueFactice({{"source.xls", kWorkbook}}));
    fresh.Init(question);
    ASSERT_FALSE(fresh.application->Workbooks()->Item(kWorkbook)->Sheets()->Item(1)->ProtectContents());
    module.TestePoint();
    EXPECT_EQ(module.CauseErreur(), "D") << question;
    EXPECT_TRUE(fresh.application->Workbooks()->Item(kWorkbook)->Sheets()->Item(1)->ProtectContents())
        << question;
  }
}

TEST_F(WorkbookCheckTest, ErrorWhileCheckingGivesAN) {
  // A chart sheet where a marker comment is expected: reading its cell
  // raises an error, which interrupts the check.
  auto document = Build(GoodSheets(705));
  document.json["sheets"][0]["type"] = "chart";
  document.json["sheets"][0].erase("cells");
  scene.Deliver(document, "source.xls");
  bool ran = false;
  auto& module = scene.Module(test_support::FabriqueFactice(
      {{"source.xls", kWorkbook}}, true, [&ran](test_support::QuestionFactice&) { ran = true; }));
  scene.Init(705);
  module.TestePoint();
  EXPECT_TRUE(module.ErreurGenerale());
  EXPECT_EQ(module.CauseErreur(), "AN");
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace r58267
