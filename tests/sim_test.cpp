// The simulated Excel: object model, look-ups, error numbers and call
// counting, on workbook documents written to a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "sim/excel_application.h"
#include "sim/session.h"
#include "tests/support/workbook_document.h"

namespace {

using nlohmann::json;

template <typename Call>
vb::Error ErrorOf(Call&& call) {
  try {
    call();
  } catch (const vb::Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return {0, "", ""};
}

json Sheet(const std::string& name, json fields = json::object()) {
  fields["name"] = name;
  return fields;
}

json Book(std::vector<json> sheets) { return {{"sheets", sheets}}; }

// The course's Thor workbook, cut down: a sheet with cells, an array
// formula, controls, a pivot table, a scenario and a consolidation; a
// chart sheet; a sheet locked by a password.
json Thor() {
  return Book(
      {Sheet("Trimestre 1",
             {{"cells",
               {{"B33", "Sevilla"},
                {"D33", 122.5},
                {"D34", 0.1},
                {"F2", true},
                {"C33", {{"date", "2002-01-31"}}},
                {"B81", {{"formula", "=COUNTIF(B33:B77,\"Liverpool\")"}, {"value", 8}}},
                {"I33", {{"formula", "=C33"}, {"value", {{"date", "2002-01-31"}}}, {"numberFormat", "mmmm"}}},
                {"G5", {{"formula", "=1/0"}, {"value", {{"error", "#DIV/0!"}}}}},
                {"K83", {{"comment", "Ne pas supprimer ce commentaire. Merci !"}}}}},
              {"arrays",
               {{{"range", "B16:D18"},
                 {"formula", "=B2:D4*1.05"},
                 {"values", {{122.85, 133.35, 115.5}, {129.15, 115.5, 115.5}}}}}},
              {"shapes",
               {{{"name", "Case à cocher 1"}, {"control", "checkbox"}, {"value", 1}},
                {{"name", "Bouton d'option 1"}, {"control", "option"}, {"value", -4146}},
                {{"name", "Rectangle 1"}}}},
              {"pivotTables",
               {{{"name", "Ventes"},
                 {"sourceData", "'Trimestre 1'!R32C1:R77C4"},
                 {"rowFields", {"Villes"}},
                 {"columnFields", {"Mois"}},
                 {"dataFields",
                  {{{"sourceName", "Résultats"}, {"function", "sum"}},
                   {{"sourceName", "Résultats"}, {"function", "count"}}}}}}},
              {"scenarios",
               {{{"name", "Banque A"}, {"changingCells", "R4C3"}, {"values", {0.08}}, {"comment", "ORVA"}}}},
              {"consolidation",
               {{"sources", {"'Semestre 1'!$A$2:$B$5", "'Semestre 2'!$A$2:$B$5"}},
                {"function", "average"},
                {"options", {true, true, false}}}}}),
       Sheet("Graphique", {{"type", "chart"}, {"shapes", {{{"name", "Titre"}}}}}),
       Sheet("Protégée", {{"protected", true},
                          {"password", "Orva"},
                          {"shapes", {{{"name", "Case"}, {"control", "checkbox"}}}}})});
}

class SimTest : public ::testing::Test {
 protected:
  std::filesystem::path Save(const std::string& fileName, const json& document) {
    const auto path = folder.Path() / fileName;
    std::ofstream(path) << document.dump();
    return path;
  }
  std::shared_ptr<excel::Workbook> Open(const std::string& fileName, const json& document = Thor()) {
    return excel->Workbooks()->Open(Save(fileName, document).string());
  }
  std::shared_ptr<excel::Worksheet> OpenThor() { return Open("Thor.xls")->Sheets()->Item("Trimestre 1"); }

  test_support::TempFolder folder;
  std::shared_ptr<sim::ExcelApplication> excel =
      sim::ExcelApplication::Create({.templatesPath = "", .currentFolder = folder.Path().string()});
};

// ---- Workbooks ----

using SimWorkbooksTest = SimTest;

TEST_F(SimWorkbooksTest, MissingFileRaises1004NamingTheFileAsGiven) {
  const std::string path = (folder.Path() / "Absent.xls").string();
  const vb::Error error = ErrorOf([&] { excel->Workbooks()->Open(path); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description,
            "'" + path +
                "' could not be found. Check the spelling of the file name, and verify that "
                "the file location is correct.");
  EXPECT_EQ(error.source, sim::kExcelErrorSource);
  EXPECT_EQ(excel->Workbooks()->Count(), 0);
}

TEST_F(SimWorkbooksTest, MalformedDocumentRaises1004NamingTheFileAndTheFault) {
  std::ofstream(folder.Path() / "Ondine.xls")
      << "{\"sheets\": [{\"name\": \"A\", \"cells\": {\"B3\": [1]}}]}";
  const vb::Error error = ErrorOf([&] { excel->Workbooks()->Open((folder.Path() / "Ondine.xls").string()); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description.rfind("Ondine.xls: sheet 1 ('A'): cell 'B3': ", 0), 0u) << error.description;
  EXPECT_EQ(excel->Workbooks()->Count(), 0);
}

TEST_F(SimWorkbooksTest, OpenNamesTheWorkbookAfterItsFileAndShowsItsActiveSheet) {
  json document = Thor();
  document["activeSheet"] = "protégée";
  const auto workbook = Open("Thor International.xls", document);
  EXPECT_EQ(workbook->Name(), "Thor International.xls");
  EXPECT_EQ(workbook->ActiveSheet()->Name(), "Protégée");
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Thor International.xls");
  EXPECT_EQ(excel->ActiveSheet()->Name(), "Protégée");
}

TEST_F(SimWorkbooksTest, ReadsBackslashesAndRelativePathsFromTheCurrentFolder) {
  std::filesystem::create_directory(folder.Path() / "Travail");
  Save("Travail/Thor.xls", Thor());
  EXPECT_EQ(excel->Workbooks()->Open("Travail\\Thor.xls")->Name(), "Thor.xls");
}

TEST_F(SimWorkbooksTest, ReopeningFromTheSamePathActivatesTheOpenWorkbook) {
  Open("Thor.xls");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  const auto again = excel->Workbooks()->Open((folder.Path() / "Thor.xls").string());
  EXPECT_EQ(excel->Workbooks()->Count(), 2);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Thor.xls");
}

TEST_F(SimWorkbooksTest, SameNameFromAnotherFolderRaises1004) {
  Open("Thor.xls");
  std::filesystem::create_directory(folder.Path() / "Autre");
  const vb::Error error = ErrorOf([&] { Open("Autre/THOR.xls"); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description.rfind("A document with the name 'Thor.xls' is already open.", 0), 0u);
}

TEST_F(SimWorkbooksTest, ItemFindsByPositionOrByNameInAnyCase) {
  Open("Thor.xls");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  const auto workbooks = excel->Workbooks();
  EXPECT_EQ(workbooks->Item(2)->Name(), "Ondine.xls");
  EXPECT_EQ(workbooks->Item(1.0)->Name(), "Thor.xls");
  EXPECT_EQ(workbooks->Item("ONDINE.XLS")->Name(), "Ondine.xls");
  EXPECT_EQ(ErrorOf([&] { workbooks->Item("Absent.xls"); }).number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { workbooks->Item(0); }).number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { workbooks->Item(3); }).number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { workbooks->Item(true); }).number, vb::kTypeMismatch);
}

TEST_F(SimWorkbooksTest, AddMakesANumberedBlankWorkbookActive) {
  const auto first = excel->Workbooks()->Add();
  const auto second = excel->Workbooks()->Add();
  EXPECT_EQ(first->Name(), "Book1");
  EXPECT_EQ(second->Name(), "Book2");
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Book2");
  const auto sheets = second->Sheets();
  ASSERT_EQ(sheets->Count(), 3);
  EXPECT_EQ(sheets->Item(3)->Name(), "Sheet3");
  EXPECT_EQ(second->ActiveSheet()->Name(), "Sheet1");
}

TEST_F(SimWorkbooksTest, CloseActivatesTheLastRemainingWorkbook) {
  const auto thor = Open("Thor.xls");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  const auto vents = Open("Vents.xls", Book({Sheet("Feuil1")}));
  thor->Activate();
  thor->Close(false);
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Vents.xls");
  EXPECT_EQ(excel->Workbooks()->Count(), 2);
  excel->Workbooks()->Item(1)->Activate();
  vents->Close(std::nullopt);  // not the active one: the active workbook stays
  EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Ondine.xls");
  excel->ActiveWorkbook()->Close(true);
  EXPECT_EQ(ErrorOf([&] { excel->ActiveWorkbook(); }).number, vb::kObjectNotSet);
}

TEST_F(SimWorkbooksTest, ObjectsOfAClosedWorkbookAreDisconnected) {
  const auto workbook = Open("Thor.xls");
  const auto sheet = workbook->Sheets()->Item(1);
  const auto range = sheet->Range("B33");
  workbook->Close(false);
  EXPECT_EQ(ErrorOf([&] { workbook->Name(); }).number, sim::kDisconnectedHresult);
  EXPECT_EQ(ErrorOf([&] { sheet->Name(); }).number, sim::kDisconnectedHresult);
  EXPECT_EQ(ErrorOf([&] { range->Value(); }).number, sim::kDisconnectedHresult);
}

TEST_F(SimWorkbooksTest, TheFileIsNeverWritten) {
  const auto path = Save("Thor.xls", Thor());
  const auto before = std::filesystem::last_write_time(path);
  const auto workbook = excel->Workbooks()->Open(path.string());
  workbook->Sheets()->Item(1)->Protect();
  workbook->Close(true);
  EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

// ---- Sheets ----

using SimSheetsTest = SimTest;

TEST_F(SimSheetsTest, SheetsHoldChartSheetsAndWorksheetsDoNot) {
  const auto workbook = Open("Thor.xls");
  EXPECT_EQ(workbook->Sheets()->Count(), 3);
  EXPECT_EQ(workbook->Worksheets()->Count(), 2);
  EXPECT_EQ(workbook->Sheets()->Item(2)->Name(), "Graphique");
  EXPECT_EQ(workbook->Worksheets()->Item(2)->Name(), "Protégée");
  EXPECT_EQ(workbook->Sheets()->Item("GRAPHIQUE")->Name(), "Graphique");
  EXPECT_EQ(workbook->Sheets()->Item("PROTÉGÉE")->Name(), "Protégée");
  EXPECT_EQ(ErrorOf([&] { workbook->Worksheets()->Item("Graphique"); }).number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { workbook->Sheets()->Item("Trimestre 2"); }).number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { workbook->Worksheets()->Item(3); }).number, vb::kSubscriptOutOfRange);
  EXPECT_EQ(excel->Sheets()->Count(), 3);
  EXPECT_EQ(excel->Worksheets()->Count(), 2);
}

TEST_F(SimSheetsTest, ActivateAndSelectWorkOnlyInTheActiveWorkbook) {
  const auto thor = Open("Thor.xls");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  const std::function<void(excel::Worksheet&)> activate = [](excel::Worksheet& s) { s.Activate(); };
  const std::function<void(excel::Worksheet&)> select = [](excel::Worksheet& s) { s.Select(); };
  const struct {
    const char* sheet;
    std::function<void(excel::Worksheet&)> call;
    const char* refusal;
  } cases[] = {
      {"Protégée", activate, "Activate method of Worksheet class failed"},
      {"Protégée", select, "Select method of Worksheet class failed"},
      {"Graphique", activate, "Activate method of Chart class failed"},
      {"Graphique", select, "Select method of Chart class failed"},
  };
  for (const auto& c : cases) {
    const auto sheet = thor->Sheets()->Item(c.sheet);
    const vb::Error error = ErrorOf([&] { c.call(*sheet); });
    EXPECT_EQ(error.number, vb::kApplicationDefined) << c.refusal;
    EXPECT_EQ(error.description, c.refusal);
    EXPECT_EQ(excel->ActiveWorkbook()->Name(), "Ondine.xls") << c.refusal;
    EXPECT_EQ(thor->ActiveSheet()->Name(), "Trimestre 1") << c.refusal;

    // Workbook.Activate is the way in.
    thor->Activate();
    c.call(*sheet);
    EXPECT_EQ(excel->ActiveSheet()->Name(), c.sheet) << c.refusal;
    thor->Sheets()->Item("Trimestre 1")->Activate();
    excel->Workbooks()->Item("Ondine.xls")->Activate();
  }
}

TEST_F(SimSheetsTest, HiddenSheetsCannotBeActivatedNorSelected) {
  auto thor = Thor();
  thor["sheets"][1]["visible"] = "hidden";
  thor["sheets"][2]["visible"] = "veryHidden";
  const auto workbook = Open("Thor.xls", thor);
  for (const char* name : {"Graphique", "Protégée"}) {
    const auto sheet = workbook->Sheets()->Item(name);
    const vb::Error activate = ErrorOf([&] { sheet->Activate(); });
    EXPECT_EQ(activate.number, vb::kApplicationDefined);
    EXPECT_EQ(activate.description, std::string("Activate method of ") +
                                        (name[0] == 'G' ? "Chart" : "Worksheet") + " class failed");
    EXPECT_EQ(ErrorOf([&] { sheet->Select(); }).number, vb::kApplicationDefined) << name;
    EXPECT_EQ(workbook->ActiveSheet()->Name(), "Trimestre 1");
  }
  // Still counted, found by name and read.
  EXPECT_EQ(workbook->Sheets()->Count(), 3);
  EXPECT_TRUE(workbook->Sheets()->Item("Protégée")->ProtectContents());
}

// A window's caption follows Windows' "hide extensions for known file
// types"; Windows(name) and CompareSideBySideWith know windows by caption.
TEST_F(SimTest, WindowCaptionsFollowTheHiddenExtensionsSetting) {
  for (const bool hidden : {false, true}) {
    sim::ExcelOptions options;
    options.hideExtensions = hidden;
    const auto app = sim::ExcelApplication::Create(options);
    for (const char* name : {"Soledad.xls", "Azur.xls", "Notes.abc"}) {
      Save(name, Book({Sheet("Feuil1")}));
      app->Workbooks()->Open((folder.Path() / name).string());
    }
    const std::string soledad = hidden ? "Soledad" : "Soledad.xls";
    const auto book = app->Workbooks()->Item("Soledad.xls");
    EXPECT_EQ(book->Name(), "Soledad.xls");
    EXPECT_EQ(book->Windows()->Count(), 1);
    EXPECT_EQ(book->Windows()->Item(1)->Caption(), soledad);
    EXPECT_EQ(app->Windows()->Item("Notes.abc")->Caption(), "Notes.abc");  // not a known type
    EXPECT_EQ(app->Windows()->Item(soledad)->Caption(), soledad);
    const std::string other = hidden ? "Soledad.xls" : "Soledad";
    EXPECT_EQ(ErrorOf([&] { app->Windows()->CompareSideBySideWith(other); }).number, vb::kApplicationDefined);
    EXPECT_TRUE(app->Windows()->CompareSideBySideWith(soledad));
    app->Quit();
  }
}

TEST_F(SimSheetsTest, PasswordProtectedSheetNeedsItsPassword) {
  const auto sheet = Open("Thor.xls")->Sheets()->Item("Protégée");
  EXPECT_TRUE(sheet->ProtectContents());
  for (const std::optional<std::string>& wrong :
       {std::optional<std::string>(), std::optional<std::string>("orva")}) {
    const vb::Error error = ErrorOf([&] { sheet->Unprotect(wrong); });
    EXPECT_EQ(error.number, vb::kApplicationDefined);
    EXPECT_EQ(
        error.description,
        "The password you supplied is not correct. Verify that the CAPS LOCK key is off and be sure to use "
        "the correct capitalization.");
    EXPECT_TRUE(sheet->ProtectContents());
  }
  sheet->Unprotect("Orva");
  EXPECT_FALSE(sheet->ProtectContents());
}

TEST_F(SimSheetsTest, ProtectWithoutPasswordIsUndoneWithAnyPassword) {
  const auto sheet = OpenThor();
  EXPECT_FALSE(sheet->ProtectContents());
  sheet->Protect();
  EXPECT_TRUE(sheet->ProtectContents());
  sheet->Unprotect("n'importe");
  EXPECT_FALSE(sheet->ProtectContents());
  sheet->Unprotect(std::nullopt);  // unprotecting an open sheet does nothing
  EXPECT_FALSE(sheet->ProtectContents());
}

TEST_F(SimSheetsTest, ChartSheetIsASheetWithoutCells) {
  const auto chart = Open("Thor.xls")->Sheets()->Item("Graphique");
  EXPECT_EQ(chart->Name(), "Graphique");
  EXPECT_EQ(chart->Shapes()->Item(1)->Name(), "Titre");
  chart->Protect();
  EXPECT_TRUE(chart->ProtectContents());
  const std::vector<std::function<void()>> cellMembers = {
      [&] { chart->Range("A1"); },
      [&] { chart->Cells(1, 1); },
      [&] { chart->PivotTables(1); },
      [&] { chart->PivotTableCount(); },
      [&] { chart->Scenarios(); },
      [&] { chart->ConsolidationSources(); },
      [&] { chart->ConsolidationFunction(); },
      [&] { chart->ConsolidationOptions(); },
  };
  for (size_t i = 0; i < cellMembers.size(); ++i) {
    EXPECT_EQ(ErrorOf(cellMembers[i]).number, vb::kNotSupported) << "member " << i;
  }
}

TEST_F(SimSheetsTest, ApplicationRangeNeedsAnActiveWorksheet) {
  EXPECT_EQ(ErrorOf([&] { excel->Range("A1"); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { excel->Cells(1, 1); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { excel->Sheets(); }).number, vb::kApplicationDefined);
  const auto workbook = Open("Thor.xls");
  EXPECT_EQ(excel->Range("B33")->Value().AsString(), "Sevilla");
  EXPECT_EQ(excel->Cells(33, 4)->Value().AsDouble(), 122.5);
  workbook->Sheets()->Item("Graphique")->Activate();
  EXPECT_EQ(ErrorOf([&] { excel->Range("A1"); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { excel->Cells(1, 1); }).number, vb::kApplicationDefined);
}

// ---- Ranges ----

struct CellCase {
  const char* address;
  const char* formula;
  vb::VarType type;
  const char* numberFormat;
  bool hasFormula;
};

class SimRangeCellTest : public SimTest, public ::testing::WithParamInterface<CellCase> {};

TEST_P(SimRangeCellTest, ReadsFormulaValueAndFormat) {
  const auto range = OpenThor()->Range(GetParam().address);
  EXPECT_EQ(range->Formula(), GetParam().formula);
  EXPECT_EQ(range->Value().Type(), GetParam().type);
  EXPECT_EQ(range->NumberFormat(), GetParam().numberFormat);
  EXPECT_EQ(range->HasFormula(), GetParam().hasFormula);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimRangeCellTest,
    ::testing::Values(CellCase{"B33", "Sevilla", vb::VarType::String, "General", false},
                      CellCase{"D33", "122.5", vb::VarType::Double, "General", false},
                      CellCase{"$D$34", "0.1", vb::VarType::Double, "General", false},
                      CellCase{"F2", "TRUE", vb::VarType::Boolean, "General", false},
                      CellCase{"C33", "1/31/2002", vb::VarType::Date, "m/d/yyyy", false},
                      CellCase{"B81", "=COUNTIF(B33:B77,\"Liverpool\")", vb::VarType::Double, "General",
                               true},
                      CellCase{"I33", "=C33", vb::VarType::Date, "mmmm", true},
                      CellCase{"G5", "=1/0", vb::VarType::Error, "General", true},
                      CellCase{"K83", "", vb::VarType::Empty, "General", false},
                      CellCase{"A1", "", vb::VarType::Empty, "General", false},
                      CellCase{"C17", "=B2:D4*1.05", vb::VarType::Double, "General", true},
                      CellCase{"D18", "=B2:D4*1.05", vb::VarType::Empty, "General", true}));

TEST_F(SimTest, ConstantsAreWrittenInEnglishWhateverTheRegionalSetting) {
  const vb::ScopedLocale french(vb::Locale{','});
  const auto sheet = OpenThor();
  EXPECT_EQ(sheet->Range("D33")->Formula(), "122.5");
  EXPECT_EQ(sheet->Range("C33")->Formula(), "1/31/2002");
}

TEST_F(SimTest, CellValuesKeepTheirTypes) {
  const auto sheet = OpenThor();
  EXPECT_EQ(sheet->Range("B81")->Value().AsDouble(), 8.0);
  EXPECT_EQ(sheet->Range("I33")->Value().AsDouble(), vb::DateSerial(2002, 1, 31));
  EXPECT_EQ(sheet->Range("G5")->Value().AsErrorCode(), vb::cell_error::kDiv0);
  EXPECT_TRUE(sheet->Range("F2")->Value().AsBoolean());
  EXPECT_EQ(sheet->Range("K83")->NoteText(), "Ne pas supprimer ce commentaire. Merci !");
  EXPECT_EQ(sheet->Range("B33")->NoteText(), "");
}

TEST_F(SimTest, ArrayBlockSharesItsFormulaAndGivesItsValues) {
  const auto sheet = OpenThor();
  EXPECT_EQ(sheet->Range("D17")->Value().AsDouble(), 115.5);
  EXPECT_EQ(sheet->Range("B16")->Value().AsDouble(), 122.85);
  EXPECT_TRUE(sheet->Range("B16:D18")->HasFormula());
  EXPECT_FALSE(sheet->Range("B16:E18")->HasFormula());
  const auto block = sheet->Range("C18")->CurrentArray();
  EXPECT_EQ(block->Address(), "$B$16:$D$18");
  EXPECT_EQ(block->Count(), 9);
  EXPECT_EQ(block->Formula(), "=B2:D4*1.05");
  const vb::Error error = ErrorOf([&] { sheet->Range("B81")->CurrentArray(); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { sheet->Range("E16")->CurrentArray(); }).number, vb::kApplicationDefined);
}

TEST_F(SimTest, ValueOfSeveralCellsIsAnArrayOfRows) {
  const vb::Variant value = OpenThor()->Range("B16:D17")->Value();
  ASSERT_EQ(value.LBound(), 1);
  ASSERT_EQ(value.UBound(), 2);
  const vb::Variant& second = value(2);
  EXPECT_EQ(second.LBound(), 1);
  EXPECT_EQ(second.UBound(), 3);
  EXPECT_EQ(second(1).AsDouble(), 129.15);
  EXPECT_EQ(value(1)(3).AsDouble(), 115.5);
}

TEST_F(SimTest, CellsCountsRowByRowAndGoesOnBelowTheBlock) {
  const auto block = OpenThor()->Range("B16:D18");
  EXPECT_EQ(block->Cells(1)->Address(), "$B$16");
  EXPECT_EQ(block->Cells(3)->Address(), "$D$16");
  EXPECT_EQ(block->Cells(4)->Address(), "$B$17");
  EXPECT_EQ(block->Cells(9)->Address(), "$D$18");
  EXPECT_EQ(block->Cells(10)->Address(), "$B$19");
  EXPECT_EQ(block->Cells(2, 3)->Address(), "$D$17");
  EXPECT_EQ(block->Cells(5, 5)->Address(), "$F$20");
  EXPECT_EQ(ErrorOf([&] { block->Cells(0); }).number, vb::kApplicationDefined);
  EXPECT_EQ(block->Cells(-1, 0)->Address(), "$A$14");  // offsets reach above and left of the block
  EXPECT_EQ(ErrorOf([&] { block->Cells(-15, 1); }).number, vb::kApplicationDefined);
  const auto column = OpenThor()->Range("B33:B77");
  EXPECT_EQ(column->Count(), 45);
  EXPECT_EQ(column->Cells(46)->Address(), "$B$78");
  EXPECT_EQ(column->Cells(1)->Value().AsString(), "Sevilla");
}

class SimRangeAddressTest : public SimTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SimRangeAddressTest, InvalidAddressRaises1004) {
  const auto sheet = OpenThor();
  EXPECT_EQ(ErrorOf([&] { sheet->Range(GetParam()); }).number, vb::kApplicationDefined);
}

INSTANTIATE_TEST_SUITE_P(Sim, SimRangeAddressTest,
                         ::testing::Values("", "ZZ0", "IW1", "A65537", "B16:", "Feuil1!A1", "R1C1", "A 1"));

TEST_F(SimTest, WorksheetCellsStayInsideTheSheet) {
  const auto sheet = OpenThor();
  EXPECT_EQ(sheet->Cells(65536, 256)->Address(), "$IV$65536");
  for (const auto& [row, column] : {std::pair{0L, 1L}, {1L, 0L}, {65537L, 1L}, {1L, 257L}}) {
    EXPECT_EQ(ErrorOf([&] { sheet->Cells(row, column); }).number, vb::kApplicationDefined)
        << row << "," << column;
  }
}

// ---- Selection and shapes ----

using SimSelectionTest = SimTest;

TEST_F(SimSelectionTest, EachSheetKeepsItsOwnSelection) {
  const auto workbook = Open("Thor.xls");
  EXPECT_EQ(std::dynamic_pointer_cast<excel::Range>(excel->Selection())->Address(), "$A$1");
  workbook->Sheets()->Item(1)->Range("B16:D18")->Select();
  workbook->Sheets()->Item("Protégée")->Activate();
  excel->ActiveSheet()->Range("C4")->Select();
  EXPECT_EQ(std::dynamic_pointer_cast<excel::Range>(excel->Selection())->Address(), "$C$4");
  workbook->Sheets()->Item(1)->Activate();
  const auto selection = excel->Selection();
  EXPECT_EQ(std::dynamic_pointer_cast<excel::Range>(selection)->Address(), "$B$16:$D$18");
  EXPECT_EQ(selection->Value().UBound(), 3);
}

TEST_F(SimSelectionTest, RangeSelectNeedsTheActiveSheetOfTheActiveWorkbook) {
  const auto thor = Open("Thor.xls");
  const vb::Error error = ErrorOf([&] { thor->Sheets()->Item("Protégée")->Range("A1")->Select(); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "Select method of Range class failed");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  EXPECT_EQ(ErrorOf([&] { thor->Sheets()->Item(1)->Range("A1")->Select(); }).number, vb::kApplicationDefined);
}

TEST_F(SimSelectionTest, SelectedControlGivesItsStateAndADrawingHasNoValue) {
  const auto shapes = OpenThor()->Shapes();
  shapes->Item("case à cocher 1")->Select();
  vb::Variant state = excel->Selection()->Value();
  EXPECT_EQ(state.Type(), vb::VarType::Long);
  EXPECT_EQ(state.AsLong(), excel::xlOn);
  shapes->Item(2)->Select();
  EXPECT_EQ(excel->Selection()->Value().AsLong(), excel::xlOff);
  shapes->Item("Rectangle 1")->Select();
  EXPECT_EQ(ErrorOf([&] { excel->Selection()->Value(); }).number, vb::kNotSupported);
}

TEST_F(SimSelectionTest, ShapeSelectFailsOnAProtectedOrInactiveSheet) {
  const auto workbook = Open("Thor.xls");
  const auto protectedSheet = workbook->Sheets()->Item("Protégée");
  const auto shape = protectedSheet->Shapes()->Item("Case");
  EXPECT_EQ(ErrorOf([&] { shape->Select(); }).number, vb::kApplicationDefined);  // not active
  protectedSheet->Activate();
  const vb::Error error = ErrorOf([&] { shape->Select(); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "Select method of Shape class failed");
  protectedSheet->Unprotect("Orva");
  shape->Select();
  EXPECT_EQ(excel->Selection()->Value().AsLong(), excel::xlOff);
}

TEST_F(SimSelectionTest, ChartSheetSelectionHasNoValue) {
  Open("Thor.xls")->Sheets()->Item("Graphique")->Activate();
  EXPECT_EQ(ErrorOf([&] { excel->Selection()->Value(); }).number, vb::kNotSupported);
}

TEST_F(SimTest, MissingShapeRaisesInvalidArgument) {
  const auto shapes = OpenThor()->Shapes();
  EXPECT_EQ(shapes->Item("RECTANGLE 1")->Name(), "Rectangle 1");
  const vb::Error byName = ErrorOf([&] { shapes->Item("Rectangle 2"); });
  EXPECT_EQ(byName.number, vb::kInvalidArgumentHresult);
  EXPECT_EQ(byName.description, "The item with the specified name wasn't found.");
  EXPECT_EQ(ErrorOf([&] { shapes->Item(5); }).number, vb::kInvalidArgumentHresult);
}

// A cell comment is a shape of its sheet, after the drawing objects, row by
// row.
TEST_F(SimTest, CommentsAreShapesOfTheirSheet) {
  auto thor = Thor();
  thor["sheets"][0]["cells"]["A90"] = {{"comment", "Vu"}};
  const auto shapes = Open("Thor.xls", thor)->Sheets()->Item("Trimestre 1")->Shapes();
  EXPECT_EQ(shapes->Count(), 5);
  EXPECT_EQ(shapes->Item(4)->Name(), "Comment 4");
  EXPECT_EQ(shapes->Item("comment 5")->Name(), "Comment 5");
  shapes->Item(4)->Select();
  EXPECT_EQ(ErrorOf([&] { excel->Selection()->Value(); }).number, vb::kNotSupported);
}

// ---- Pivot tables ----

using SimPivotTest = SimTest;

TEST_F(SimPivotTest, FindsTablesAndFieldsByPositionOrName) {
  const auto sheet = OpenThor();
  EXPECT_EQ(sheet->PivotTableCount(), 1);
  const auto table = sheet->PivotTables("ventes");
  const vb::Variant source = table->SourceData();
  EXPECT_EQ(source.Type(), vb::VarType::String);
  EXPECT_EQ(source.AsString(), "'Trimestre 1'!R32C1:R77C4");
  EXPECT_EQ(table->RowFields(1)->Name(), "Villes");
  EXPECT_EQ(table->RowFields(1)->SourceName(), "Villes");
  EXPECT_EQ(table->ColumnFields("MOIS")->Name(), "Mois");
  const auto sum = table->DataFields(1);
  EXPECT_EQ(sum->Name(), "Sum of Résultats");
  EXPECT_EQ(sum->Function(), excel::xlSum);
  EXPECT_EQ(sum->SourceName(), "Résultats");
  const auto count = table->DataFields("count of résultats");
  EXPECT_EQ(count->Function(), excel::xlCount);
}

TEST_F(SimPivotTest, MissingTableOrFieldRaises1004) {
  const auto sheet = OpenThor();
  const vb::Error table = ErrorOf([&] { sheet->PivotTables(2); });
  EXPECT_EQ(table.number, vb::kApplicationDefined);
  EXPECT_EQ(table.description, "Unable to get the PivotTables property of the Worksheet class");
  EXPECT_EQ(ErrorOf([&] { sheet->PivotTables("Achats"); }).number, vb::kApplicationDefined);
  const auto pivot = sheet->PivotTables(1);
  const vb::Error row = ErrorOf([&] { pivot->RowFields(2); });
  EXPECT_EQ(row.number, vb::kApplicationDefined);
  EXPECT_EQ(row.description, "Unable to get the RowFields property of the PivotTable class");
  EXPECT_EQ(ErrorOf([&] { pivot->ColumnFields("Villes"); }).description,
            "Unable to get the ColumnFields property of the PivotTable class");
  EXPECT_EQ(ErrorOf([&] { pivot->DataFields(3); }).description,
            "Unable to get the DataFields property of the PivotTable class");
  const auto empty = Open("Ondine.xls", Book({Sheet("Feuil1")}))->Sheets()->Item(1);
  EXPECT_EQ(empty->PivotTableCount(), 0);
  EXPECT_EQ(ErrorOf([&] { empty->PivotTables(1); }).number, vb::kApplicationDefined);
}

// ---- Scenarios ----

using SimScenarioTest = SimTest;

TEST_F(SimScenarioTest, ReadsTheDocumentsScenarios) {
  const auto scenarios = OpenThor()->Scenarios();
  ASSERT_EQ(scenarios->Count(), 1);
  const auto scenario = scenarios->Item("BANQUE A");
  EXPECT_EQ(scenario->Name(), "Banque A");
  EXPECT_EQ(scenario->ChangingCells()->Address(), "$C$4");
  EXPECT_EQ(scenario->Values(1).AsDouble(), 0.08);
  EXPECT_EQ(scenario->Values().UBound(), 1);
  EXPECT_EQ(scenario->Comment(), "ORVA");
  EXPECT_TRUE(scenario->Locked());
  EXPECT_FALSE(scenario->Hidden());
  EXPECT_EQ(ErrorOf([&] { scenario->Values(2); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { scenario->Values(0); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { scenarios->Item("Banque B"); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { scenarios->Item(2); }).number, vb::kApplicationDefined);
}

struct ScenarioTextCase {
  char separator;
  const char* text;
  vb::Variant stored;
};

class SimScenarioAddTest : public SimTest, public ::testing::WithParamInterface<ScenarioTextCase> {};

TEST_P(SimScenarioAddTest, TurnsNumberTextsIntoNumbersUnderTheRegionalSetting) {
  const vb::ScopedLocale locale(vb::Locale{GetParam().separator});
  const auto scenarios = OpenThor()->Scenarios();
  const auto added =
      scenarios->Add("Banque B", "$C$4", vb::Variant::Array({GetParam().text}), "", true, false);
  const vb::Variant value = added->Values(1);
  ASSERT_EQ(value.Type(), GetParam().stored.Type());
  EXPECT_TRUE(vb::Equals(value, GetParam().stored));
  EXPECT_EQ(scenarios->Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Sim, SimScenarioAddTest,
                         ::testing::Values(ScenarioTextCase{'.', "0.09", 0.09},
                                           ScenarioTextCase{',', "0,09", 0.09},
                                           ScenarioTextCase{'.', "neuf", "neuf"},
                                           ScenarioTextCase{',', "neuf", "neuf"}));

TEST_F(SimScenarioTest, AddReadsR1C1AndRangesAndKeepsItsArguments) {
  const auto sheet = OpenThor();
  const auto scenarios = sheet->Scenarios();
  const auto byText =
      scenarios->Add("Deux", "R4C3:R5C3", vb::Variant::Array({1.0, 2.0}), "note", false, true);
  EXPECT_EQ(byText->ChangingCells()->Address(), "$C$4:$C$5");
  EXPECT_EQ(byText->Comment(), "note");
  EXPECT_FALSE(byText->Locked());
  EXPECT_TRUE(byText->Hidden());
  const auto byRange =
      scenarios->Add("Plage", vb::Variant::Object(sheet->Range("D33")), vb::Variant(5.0), "", true, false);
  EXPECT_EQ(byRange->ChangingCells()->Address(), "$D$33");
  EXPECT_EQ(byRange->Values(1).AsDouble(), 5.0);
  const auto current = scenarios->Add("Actuel", "D33:D34", vb::Variant(), "", true, false);
  EXPECT_EQ(current->Values(2).AsDouble(), 0.1);
  EXPECT_EQ(scenarios->Item(4)->Name(), "Actuel");
}

TEST_F(SimScenarioTest, AddRefusesWhatExcelRefuses) {
  const auto workbook = Open("Thor.xls");
  const auto sheet = workbook->Sheets()->Item(1);
  const auto scenarios = sheet->Scenarios();
  const auto one = vb::Variant::Array({1.0});
  const std::vector<std::pair<const char*, std::function<void()>>> refusals = {
      {"same name", [&] { scenarios->Add("banque a", "C4", one, "", true, false); }},
      {"bad cells", [&] { scenarios->Add("X", "C", one, "", true, false); }},
      {"too few values", [&] { scenarios->Add("X", "C4:C5", one, "", true, false); }},
      {"too many cells", [&] { scenarios->Add("X", "A1:A33", vb::Variant(), "", true, false); }},
      {"other sheet",
       [&] {
         const auto other = workbook->Sheets()->Item("Protégée")->Range("C4");
         scenarios->Add("X", vb::Variant::Object(other), one, "", true, false);
       }},
  };
  for (const auto& [what, call] : refusals) EXPECT_EQ(ErrorOf(call).number, vb::kApplicationDefined) << what;
  EXPECT_EQ(ErrorOf([&] { scenarios->Add("X", vb::Variant(true), one, "", true, false); }).number,
            vb::kTypeMismatch);
  sheet->Protect();
  EXPECT_EQ(ErrorOf([&] { scenarios->Add("X", "C4", one, "", true, false); }).number,
            vb::kApplicationDefined);
  EXPECT_EQ(scenarios->Count(), 1);
}

// ---- Consolidation ----

TEST_F(SimTest, ConsolidationSettingsAndTheirDefaults) {
  const auto sheet = OpenThor();
  const vb::Variant sources = sheet->ConsolidationSources();
  ASSERT_EQ(sources.LBound(), 1);
  ASSERT_EQ(sources.UBound(), 2);
  EXPECT_EQ(sources(2).AsString(), "'Semestre 2'!$A$2:$B$5");
  EXPECT_EQ(sheet->ConsolidationFunction(), excel::xlAverage);
  const vb::Variant options = sheet->ConsolidationOptions();
  EXPECT_EQ(options.LBound(), 1);
  EXPECT_TRUE(options(1).AsBoolean());
  EXPECT_TRUE(options(2).AsBoolean());
  EXPECT_FALSE(options(3).AsBoolean());

  const auto plain = Open("Ondine.xls", Book({Sheet("Feuil1")}))->Sheets()->Item(1);
  EXPECT_TRUE(plain->ConsolidationSources().IsEmpty());
  EXPECT_EQ(plain->ConsolidationFunction(), excel::xlSum);
  const vb::Variant none = plain->ConsolidationOptions();
  ASSERT_EQ(none.UBound(), 3);
  for (long i = 1; i <= 3; ++i) EXPECT_FALSE(none(i).AsBoolean());
}

// ---- Windows ----

using SimWindowsTest = SimTest;

TEST_F(SimWindowsTest, OneWindowPerWorkbookTheActiveOneFirst) {
  Open("Thor.xls");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  const auto windows = excel->Windows();
  EXPECT_EQ(windows->Count(), 2);
  EXPECT_EQ(windows->Item(1)->Caption(), "Ondine.xls");
  EXPECT_EQ(windows->Item(2)->Caption(), "Thor.xls");
  EXPECT_EQ(excel->ActiveWindow()->Caption(), "Ondine.xls");
  windows->Item("thor.xls")->WindowState(excel::xlMaximized);
  EXPECT_EQ(windows->Item("Thor.xls")->WindowState(), excel::xlMaximized);
  EXPECT_EQ(windows->Item(1)->WindowState(), excel::xlNormal);
  EXPECT_EQ(ErrorOf([&] { windows->Item(1)->WindowState(3); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { windows->Item("Vents.xls"); }).number, vb::kSubscriptOutOfRange);
}

TEST_F(SimWindowsTest, SideBySideNeedsAnotherWorkbooksWindow) {
  const auto windows = excel->Windows();
  EXPECT_EQ(ErrorOf([&] { windows->ResetPositionsSideBySide(); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { windows->SyncScrollingSideBySide(false); }).number, vb::kApplicationDefined);
  const auto thor = Open("Thor.xls");
  Open("Ondine.xls", Book({Sheet("Feuil1")}));
  EXPECT_EQ(ErrorOf([&] { windows->CompareSideBySideWith("Vents.xls"); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { windows->CompareSideBySideWith("Ondine.xls"); }).number, vb::kApplicationDefined);
  EXPECT_EQ(ErrorOf([&] { windows->ResetPositionsSideBySide(); }).number, vb::kApplicationDefined);

  EXPECT_TRUE(windows->CompareSideBySideWith("THOR.XLS"));
  EXPECT_TRUE(windows->ResetPositionsSideBySide());
  EXPECT_TRUE(windows->SyncScrollingSideBySide());
  windows->SyncScrollingSideBySide(false);
  EXPECT_FALSE(windows->SyncScrollingSideBySide());

  thor->Close(false);  // the comparison ends with one of its workbooks
  EXPECT_EQ(ErrorOf([&] { windows->ResetPositionsSideBySide(); }).number, vb::kApplicationDefined);
}

// ---- Command bars ----

struct BarCase {
  const char* name;
  long position;
  bool visible;
};

class SimCommandBarTest : public SimTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(SimCommandBarTest, StartsWithExcelsDefaults) {
  const auto bar = excel->CommandBars()->Item(GetParam().name);
  EXPECT_EQ(bar->Position(), GetParam().position);
  EXPECT_EQ(bar->Visible(), GetParam().visible);
  EXPECT_TRUE(bar->Enabled());
}

INSTANTIATE_TEST_SUITE_P(Sim, SimCommandBarTest,
                         ::testing::Values(BarCase{"Worksheet Menu Bar", excel::msoBarTop, true},
                                           BarCase{"standard", excel::msoBarTop, true},
                                           BarCase{"FORMATTING", excel::msoBarTop, true},
                                           BarCase{"Drawing", excel::msoBarBottom, false},
                                           BarCase{"Task Pane", excel::msoBarRight, true},
                                           BarCase{"Reviewing", excel::msoBarFloating, false},
                                           BarCase{"Compare Side by Side", excel::msoBarFloating, false}));

TEST_F(SimTest, CommandBarsInExcelsOrder) {
  const auto bars = excel->CommandBars();
  ASSERT_GE(bars->Count(), 27);
  EXPECT_EQ(bars->Item(1)->Name(), "Worksheet Menu Bar");
  EXPECT_EQ(bars->Item(5)->Name(), "PivotTable");
  EXPECT_EQ(bars->Item(20)->Name(), "PivotTable Field List");
  EXPECT_EQ(bars->Item(27)->Name(), "Task Pane");
  EXPECT_EQ(ErrorOf([&] { bars->Item("Barre perso"); }).number, vb::kInvalidCall);
  EXPECT_EQ(ErrorOf([&] { bars->Item(0); }).number, vb::kInvalidCall);
  EXPECT_EQ(ErrorOf([&] { bars->Item(bars->Count() + 1); }).number, vb::kInvalidCall);
}

TEST_F(SimTest, DisabledCommandBarCannotBeShown) {
  const auto bar = excel->CommandBars()->Item("Standard");
  bar->Enabled(false);
  EXPECT_FALSE(bar->Visible());
  const vb::Error error = ErrorOf([&] { bar->Visible(true); });
  EXPECT_EQ(error.number, vb::kUnspecifiedHresult);
  EXPECT_EQ(error.description, "Method 'Visible' of object 'CommandBar' failed");
  bar->Enabled(true);
  EXPECT_TRUE(bar->Visible());
  bar->Position(excel::msoBarLeft);
  EXPECT_EQ(bar->Position(), excel::msoBarLeft);
  EXPECT_EQ(ErrorOf([&] { bar->Position(5); }).number, vb::kInvalidCall);
  EXPECT_EQ(ErrorOf([&] { bar->Position(-1); }).number, vb::kInvalidCall);
}

// ---- Application ----

using SimApplicationTest = SimTest;

TEST_F(SimApplicationTest, StartsWithExcelsSettings) {
  EXPECT_FALSE(excel->Visible());
  EXPECT_TRUE(excel->ShowToolTips());
  EXPECT_EQ(excel->DisplayCommentIndicator(), excel::xlCommentIndicatorOnly);
  EXPECT_FALSE(excel->DisplayFullScreen());
  EXPECT_TRUE(excel->ShowStartupDialog());
  EXPECT_EQ(excel->Workbooks()->Count(), 0);
  const std::string templates = excel->TemplatesPath();
  EXPECT_EQ(templates.back(), '/');
  EXPECT_NE(templates.find("r58267-sim"), std::string::npos);
  excel->DisplayCommentIndicator(excel::xlNoIndicator);
  EXPECT_EQ(excel->DisplayCommentIndicator(), excel::xlNoIndicator);
  EXPECT_EQ(ErrorOf([&] { excel->DisplayCommentIndicator(2); }).number, vb::kApplicationDefined);
  EXPECT_EQ(
      sim::ExcelApplication::Create({.templatesPath = "C:\\Modèles", .currentFolder = ""})->TemplatesPath(),
      "C:\\Modèles/");
}

TEST_F(SimApplicationTest, NothingActiveWithoutAWorkbook) {
  const std::vector<std::function<void()>> members = {
      [&] { excel->ActiveWorkbook(); }, [&] { excel->ActiveSheet(); }, [&] { excel->ActiveWindow(); },
      [&] { excel->Selection(); }};
  for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(ErrorOf(members[i]).number, vb::kObjectNotSet) << i;
}

TEST_F(SimApplicationTest, RunFindsNoMacro) {
  const vb::Error error = ErrorOf([&] { excel->Run("Thor.xls!Calcul", {1}); });
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "The macro 'Thor.xls!Calcul' cannot be found.");
}

TEST_F(SimApplicationTest, DirectoryReadsAndSetsTheCurrentFolder) {
  const std::string start = folder.Path().string();
  EXPECT_EQ(excel->ExecuteExcel4Macro("DIRECTORY()").AsString(), start);
  std::filesystem::create_directory(folder.Path() / "Travail");
  const vb::Variant moved = excel->ExecuteExcel4Macro("DIRECTORY(\"" + start + "\\Travail\\\")");
  EXPECT_EQ(moved.AsString(), start + "/Travail");
  EXPECT_EQ(excel->CurrentFolder(), start + "/Travail");
  EXPECT_EQ(excel->ExecuteExcel4Macro("directory()").AsString(), start + "/Travail");

  const vb::Variant missing = excel->ExecuteExcel4Macro("DIRECTORY(\"" + start + "/Absent\")");
  EXPECT_EQ(missing.Type(), vb::VarType::Error);
  EXPECT_EQ(missing.AsErrorCode(), vb::cell_error::kValue);
  EXPECT_EQ(excel->CurrentFolder(), start + "/Travail");
  for (const char* other : {"GET.WORKSPACE(1)", "DIRECTORY(", "DIRECTORY(C:\\)", ""}) {
    EXPECT_EQ(ErrorOf([&] { excel->ExecuteExcel4Macro(other); }).number, vb::kApplicationDefined) << other;
  }
}

TEST_F(SimApplicationTest, SubstituteReplacesEveryOccurrence) {
  const auto functions = excel->WorksheetFunction();
  EXPECT_EQ(functions->Substitute("=SOMME($B$3:$B$5)", "$", ""), "=SOMME(B3:B5)");
  EXPECT_EQ(functions->Substitute("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(functions->Substitute("abc", "", "x"), "abc");
}

TEST_F(SimApplicationTest, CountsOneCallPerMemberAccess) {
  Open("Thor.xls");
  excel->ResetCallCount();
  const auto sheet = excel->Workbooks()->Item(1)->Sheets()->Item(1);  // 4 calls
  EXPECT_EQ(excel->CallCount(), 4);
  sheet->Range("B81")->Formula();  // 2 calls
  EXPECT_EQ(excel->CallCount(), 6);
  ErrorOf([&] { sheet->Range("ZZ0"); });  // a failing call counts too
  EXPECT_EQ(excel->CallCount(), 7);
  excel->ResetCallCount();
  EXPECT_EQ(excel->CallCount(), 0);
}

TEST_F(SimApplicationTest, BusyExcelAnswersNothing) {
  const auto sheet = OpenThor();
  excel->SetResponding(false);
  EXPECT_EQ(ErrorOf([&] { sheet->Name(); }).number, vb::kServerBusyHresult);
  EXPECT_EQ(ErrorOf([&] { excel->Workbooks(); }).number, vb::kServerBusyHresult);
  excel->SetResponding(true);
  EXPECT_EQ(sheet->Name(), "Trimestre 1");
}

TEST_F(SimApplicationTest, AfterQuitEveryCallFails) {
  const auto sheet = OpenThor();
  EXPECT_FALSE(excel->HasQuit());
  excel->Quit();
  EXPECT_TRUE(excel->HasQuit());
  const vb::Error error = ErrorOf([&] { sheet->Name(); });
  EXPECT_EQ(error.number, vb::kServerUnavailableHresult);
  EXPECT_EQ(error.source, "");
  EXPECT_EQ(ErrorOf([&] { excel->Visible(); }).number, vb::kServerUnavailableHresult);
  EXPECT_EQ(ErrorOf([&] { excel->Quit(); }).number, vb::kServerUnavailableHresult);
}

TEST_F(SimApplicationTest, TestsChangeTheModelAsALearnerWould) {
  const auto sheet = OpenThor();
  sim::CellModel& b82 = excel->State().Workbook("THOR.XLS").Sheet("trimestre 1").Cell("B82");
  b82.formula = "=SUMIF(B33:B77,\"Liverpool\",D33:D77)";
  b82.value = 950.5;
  EXPECT_EQ(sheet->Range("B82")->Formula(), "=SUMIF(B33:B77,\"Liverpool\",D33:D77)");
  EXPECT_EQ(sheet->Range("B82")->Value().AsDouble(), 950.5);
}

}  // namespace
