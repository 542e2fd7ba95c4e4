// The stand-in's workbook documents and cell addresses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/address.h"
#include "sim/document.h"
#include "tests/support/workbook_document.h"

namespace {

using nlohmann::json;

// A one-sheet document whose sheet has the given fields.
std::string OneSheet(const json& sheetFields) {
  json sheet = {{"name", "Trimestre 1"}};
  if (sheetFields.is_object()) sheet.update(sheetFields);
  return json{{"sheets", {sheet}}}.dump();
}

vb::Error ParseError(const std::string& text) {
  try {
    sim::ParseWorkbookDocument(text, "C:\\Cours\\Thor.xls");
  } catch (const vb::Error& e) {
    return e;
  }
  ADD_FAILURE() << "the document was accepted: " << text;
  return {0, "", ""};
}

// ---- Addresses ----

struct AddressCase {
  const char* text;
  const char* address;  // absolute A1 form; nullptr when not an address
};

class SimAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SimAddressTest, ReadsA1AndWritesItAbsolute) {
  const auto areas = sim::ParseA1(GetParam().text);
  if (GetParam().address == nullptr) {
    EXPECT_FALSE(areas.has_value());
  } else {
    ASSERT_TRUE(areas.has_value());
    EXPECT_EQ(sim::AbsoluteAddress(*areas), GetParam().address);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimAddressTest,
    ::testing::Values(AddressCase{"B81", "$B$81"}, AddressCase{"b81", "$B$81"},
                      AddressCase{"$B$33:$B$77", "$B$33:$B$77"}, AddressCase{"D18:B16", "$B$16:$D$18"},
                      AddressCase{"IV65536", "$IV$65536"}, AddressCase{"A:C", "$A:$C"},
                      AddressCase{"3:5", "$3:$5"}, AddressCase{"A1,C4:C5", "$A$1,$C$4:$C$5"},
                      AddressCase{"ZZ0", nullptr}, AddressCase{"IW1", nullptr},
                      AddressCase{"A65537", nullptr}, AddressCase{"A0", nullptr}, AddressCase{"", nullptr},
                      AddressCase{"B", nullptr}, AddressCase{"B1:", nullptr}, AddressCase{"A1,", nullptr},
                      AddressCase{"B$", nullptr}, AddressCase{"1B", nullptr}, AddressCase{"R4C3", nullptr}));

TEST(SimAddress, ReadsAbsoluteR1C1) {
  EXPECT_EQ(sim::AbsoluteAddress(*sim::ParseR1C1("R4C3")), "$C$4");
  EXPECT_EQ(sim::AbsoluteAddress(*sim::ParseA1OrR1C1("r4c3:R6c5")), "$C$4:$E$6");
  EXPECT_EQ(sim::AbsoluteAddress(*sim::ParseA1OrR1C1("$C$4")), "$C$4");
  EXPECT_FALSE(sim::ParseR1C1("R0C1").has_value());
  EXPECT_FALSE(sim::ParseR1C1("R1C257").has_value());
  EXPECT_FALSE(sim::ParseR1C1("R[1]C1").has_value());
  EXPECT_FALSE(sim::ParseR1C1("R1").has_value());
}

TEST(SimAddress, WritesColumnLetters) {
  EXPECT_EQ(sim::ColumnLetters(1), "A");
  EXPECT_EQ(sim::ColumnLetters(26), "Z");
  EXPECT_EQ(sim::ColumnLetters(27), "AA");
  EXPECT_EQ(sim::ColumnLetters(256), "IV");
}

// ---- Documents ----

TEST(SimDocument, ReadsEveryPartOfAWorkbook) {
  const json document = {
      {"activeSheet", "graphique"},
      {"sheets",
       {{{"name", "Trimestre 1"},
         {"protected", true},
         {"password", "orva"},
         {"cells",
          {{"B33", "Sevilla"},
           {"D33", 122.5},
           {"F2", true},
           {"C33", {{"date", "2002-01-01"}}},
           {"G5", {{"formula", "=1/0"}, {"value", {{"error", "#DIV/0!"}}}}},
           {"I33", {{"formula", "=H33"}, {"numberFormat", "mmmm"}, {"comment", "Merci !"}}}}},
         {"arrays", {{{"range", "B16:D18"}, {"formula", "=B2:D4*1.05"}, {"values", {{1, 2}}}}}},
         {"shapes",
          {{{"name", "Case à cocher 1"}, {"control", "checkbox"}, {"value", 1}}, {{"name", "Rectangle 1"}}}},
         {"pivotTables",
          {{{"sourceData", "'Trimestre 1'!R32C1:R77C4"},
            {"rowFields", {"Villes"}},
            {"dataFields", {{{"sourceName", "Résultats"}, {"function", "sum"}}}}}}},
         {"scenarios",
          {{{"name", "Banque A"}, {"changingCells", "R4C3"}, {"values", {0.08}}, {"locked", false}}}},
         {"consolidation",
          {{"sources", {"'Semestre 1'!$A$2:$B$5"}}, {"function", -4106}, {"options", {true, false, true}}}}},
        {{"name", "Graphique"}, {"type", "chart"}}}}};
  const sim::WorkbookModel workbook = sim::ParseWorkbookDocument(document.dump(), "C:\\Cours\\Thor.xls");

  EXPECT_EQ(workbook.name, "Thor.xls");
  EXPECT_EQ(workbook.activeSheet, 1u);
  ASSERT_EQ(workbook.sheets.size(), 2u);
  const sim::SheetModel& sheet = *workbook.sheets[0];
  EXPECT_TRUE(sheet.isProtected);
  EXPECT_EQ(sheet.password, "orva");
  EXPECT_EQ(sheet.FindCell({33, 2})->value.AsString(), "Sevilla");
  EXPECT_EQ(sheet.FindCell({33, 4})->value.AsDouble(), 122.5);
  EXPECT_EQ(sheet.FindCell({2, 6})->value.Type(), vb::VarType::Boolean);
  EXPECT_EQ(sheet.FindCell({33, 3})->value.Type(), vb::VarType::Date);
  EXPECT_EQ(sheet.FindCell({33, 3})->value.AsDouble(), vb::DateSerial(2002, 1, 1));
  EXPECT_EQ(sheet.FindCell({5, 7})->value.AsErrorCode(), vb::cell_error::kDiv0);
  EXPECT_EQ(sheet.FindCell({33, 9})->numberFormat, "mmmm");
  EXPECT_EQ(sheet.FindCell({33, 9})->comment, "Merci !");
  EXPECT_TRUE(sheet.FindCell({33, 9})->value.IsEmpty());
  ASSERT_EQ(sheet.arrays.size(), 1u);
  EXPECT_EQ(sheet.arrays[0].range, (sim::Area{16, 2, 18, 4}));
  ASSERT_EQ(sheet.shapes.size(), 2u);
  EXPECT_EQ(sheet.shapes[0].control, sim::ControlType::kCheckBox);
  EXPECT_EQ(sheet.shapes[0].value, excel::xlOn);
  EXPECT_EQ(sheet.shapes[1].control, sim::ControlType::kNone);
  ASSERT_EQ(sheet.pivotTables.size(), 1u);
  EXPECT_EQ(sheet.pivotTables[0].name, "PivotTable1");
  EXPECT_EQ(sheet.pivotTables[0].dataFields[0].name, "Sum of Résultats");
  ASSERT_EQ(sheet.scenarios.size(), 1u);
  EXPECT_EQ(sheet.scenarios[0].changingCells, (std::vector<sim::Area>{{4, 3, 4, 3}}));
  EXPECT_FALSE(sheet.scenarios[0].locked);
  EXPECT_FALSE(sheet.scenarios[0].hidden);
  ASSERT_TRUE(sheet.consolidation.has_value());
  EXPECT_EQ(sheet.consolidation->function, excel::xlAverage);
  EXPECT_EQ(sheet.consolidation->options, (std::array<bool, 3>{true, false, true}));
  EXPECT_EQ(workbook.sheets[1]->type, sim::SheetType::kChart);
}

TEST(SimDocument, DefaultsTheOptionalFields) {
  const sim::WorkbookModel workbook = sim::ParseWorkbookDocument(OneSheet({}), "Thor.xls");
  EXPECT_EQ(workbook.activeSheet, 0u);
  const sim::SheetModel& sheet = *workbook.sheets[0];
  EXPECT_EQ(sheet.type, sim::SheetType::kWorksheet);
  EXPECT_FALSE(sheet.isProtected);
  EXPECT_FALSE(sheet.consolidation.has_value());
  EXPECT_TRUE(sheet.cells.empty());
}

TEST(SimDocument, ReadsTheSamples) {
  for (const char* sample : {"705/start.json", "705/solved.json"}) {
    const auto document = test_support::WorkbookDocument::Sample(sample);
    EXPECT_NO_THROW(sim::ParseWorkbookDocument(document.json.dump(), "Thor International.xls")) << sample;
  }
}

struct FunctionCase {
  json function;
  long code;
  const char* name;
};

class SimDocumentDataFieldTest : public ::testing::TestWithParam<FunctionCase> {};

TEST_P(SimDocumentDataFieldTest, NamesTheFieldAfterItsFunction) {
  const std::string text =
      OneSheet({{"pivotTables",
                 {{{"dataFields", {{{"sourceName", "Résultats"}, {"function", GetParam().function}}}}}}}});
  const auto workbook = sim::ParseWorkbookDocument(text, "Thor.xls");
  const sim::PivotFieldModel& field = workbook.sheets[0]->pivotTables[0].dataFields[0];
  EXPECT_EQ(field.function, GetParam().code);
  EXPECT_EQ(field.name, GetParam().name);
  EXPECT_EQ(field.sourceName, "Résultats");
}

INSTANTIATE_TEST_SUITE_P(Sim, SimDocumentDataFieldTest,
                         ::testing::Values(FunctionCase{"sum", excel::xlSum, "Sum of Résultats"},
                                           FunctionCase{"COUNT", excel::xlCount, "Count of Résultats"},
                                           FunctionCase{"average", excel::xlAverage, "Average of Résultats"},
                                           FunctionCase{-4136, excel::xlMax, "Max of Résultats"},
                                           FunctionCase{"min", excel::xlMin, "Min of Résultats"},
                                           FunctionCase{-4149, excel::xlProduct, "Product of Résultats"}));

TEST(SimDocument, KeepsAnExplicitDataFieldName) {
  const std::string text = OneSheet(
      {{"pivotTables",
        {{{"dataFields", {{{"sourceName", "CA"}, {"function", "max"}, {"name", "Meilleur CA"}}}}}}}});
  const auto field = sim::ParseWorkbookDocument(text, "Thor.xls").sheets[0]->pivotTables[0].dataFields[0];
  EXPECT_EQ(field.name, "Meilleur CA");
  EXPECT_EQ(field.sourceName, "CA");
}

TEST(SimDocument, NamesTheFileAndTheCellAtFault) {
  const json document = {{"sheets", {{{"name", "Vents"}}, {{"name", "Ondine"}, {"cells", {{"ZZ0", 1}}}}}}};
  const vb::Error error = ParseError(document.dump());
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description, "Thor.xls: sheet 2 ('Ondine'): cell 'ZZ0': not a cell address");
}

struct FaultCase {
  const char* name;
  std::string text;
  const char* fault;  // a part of the description
};

class SimDocumentFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SimDocumentFaultTest, Raises1004NamingTheFileAndTheFault) {
  const vb::Error error = ParseError(GetParam().text);
  EXPECT_EQ(error.number, vb::kApplicationDefined);
  EXPECT_EQ(error.description.rfind("Thor.xls: ", 0), 0u) << error.description;
  EXPECT_NE(error.description.find(GetParam().fault), std::string::npos) << error.description;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimDocumentFaultTest,
    ::testing::Values(
        FaultCase{"BadJson", "{\"sheets\": [", "not a JSON document"},
        FaultCase{"Empty", "", "not a JSON document"},
        FaultCase{"NotAnObject", "[1, 2]", "not a JSON object"},
        FaultCase{"MissingSheets", "{\"activeSheet\": \"A\"}", "\"sheets\" is missing"},
        FaultCase{"NoSheet", "{\"sheets\": []}", "at least one sheet"},
        FaultCase{"SheetWithoutName", "{\"sheets\": [{}]}", "sheet 1: \"name\" is missing"},
        FaultCase{"SheetNameWithSlash", OneSheet({{"name", "1/2"}}), "cannot hold"},
        FaultCase{"SameSheetNameTwice", "{\"sheets\": [{\"name\": \"A\"}, {\"name\": \"a\"}]}",
                  "another sheet"},
        FaultCase{"UnknownActiveSheet", "{\"activeSheet\": \"B\", \"sheets\": [{\"name\": \"A\"}]}",
                  "names no sheet"},
        FaultCase{"BadSheetType", OneSheet({{"type", "macro"}}), "\"type\""},
        FaultCase{"BadVisibility", OneSheet({{"visible", "false"}}), "\"visible\""},
        FaultCase{"EverySheetHidden", OneSheet({{"visible", "veryHidden"}}),
                  "at least one sheet must be visible"},
        FaultCase{"HiddenActiveSheet",
                  "{\"activeSheet\": \"A\", \"sheets\": [{\"name\": \"A\", \"visible\": \"hidden\"}, "
                  "{\"name\": \"B\"}]}",
                  "names a hidden sheet"},
        FaultCase{"CellBeyondColumnIV", OneSheet({{"cells", {{"IW1", 1}}}}),
                  "cell 'IW1': not a cell address"},
        FaultCase{"ValueOfBadType", OneSheet({{"cells", {{"B3", {1, 2}}}}}), "cell 'B3': a value is"},
        FaultCase{"ValueObjectOfBadType", OneSheet({{"cells", {{"B3", {{"value", {{"when", 1}}}}}}}}),
                  "cell 'B3': a value is"},
        FaultCase{"NoSuchDate", OneSheet({{"cells", {{"C3", {{"date", "2002-02-30"}}}}}}),
                  "cell 'C3': a date"},
        FaultCase{"DateInLocalForm", OneSheet({{"cells", {{"C3", {{"date", "01/02/2002"}}}}}}), "a date"},
        FaultCase{"UnknownErrorValue", OneSheet({{"cells", {{"C3", {{"error", "#OOPS"}}}}}}), "error values"},
        FaultCase{"FormulaWithoutEqualSign", OneSheet({{"cells", {{"B81", {{"formula", "SUM(A1)"}}}}}}),
                  "starts with"},
        FaultCase{"UnknownCellField", OneSheet({{"cells", {{"B81", {{"formule", "=A1"}}}}}}), "\"formule\""},
        FaultCase{"SameCellTwice", OneSheet({{"cells", {{"B3", 1}, {"b3", 2}}}}), "the same cell"},
        FaultCase{"ArrayWithoutRange", OneSheet({{"arrays", {{{"formula", "=A1"}}}}}),
                  "\"range\" is missing"},
        FaultCase{"ArrayValuesTooWide",
                  OneSheet({{"arrays", {{{"range", "B1:C1"}, {"formula", "=A1"}, {"values", {{1, 2, 3}}}}}}}),
                  "array 1"},
        FaultCase{"OverlappingArrays",
                  OneSheet({{"arrays",
                             {{{"range", "B1:C2"}, {"formula", "=A1"}},
                              {{"range", "C2:D3"}, {"formula", "=A1"}}}}}),
                  "array 2: overlaps"},
        FaultCase{"ShapeWithBadState",
                  OneSheet({{"shapes", {{{"name", "Case"}, {"control", "checkbox"}, {"value", 3}}}}}),
                  "shape 1"},
        FaultCase{"ShapeWithUnknownControl",
                  OneSheet({{"shapes", {{{"name", "Liste"}, {"control", "listbox"}}}}}), "\"control\""},
        FaultCase{
            "UnknownPivotFunction",
            OneSheet({{"pivotTables", {{{"dataFields", {{{"sourceName", "CA"}, {"function", "stdev"}}}}}}}}),
            "pivot table 1: unknown function"},
        FaultCase{"ScenarioValueCount",
                  OneSheet({{"scenarios", {{{"name", "A"}, {"changingCells", "C4:C5"}, {"values", {1}}}}}}),
                  "one value per changing cell"},
        FaultCase{"ScenarioBadCells", OneSheet({{"scenarios", {{{"name", "A"}, {"changingCells", "C"}}}}}),
                  "changingCells"},
        FaultCase{"ConsolidationOptions", OneSheet({{"consolidation", {{"options", {true}}}}}),
                  "three truth values"},
        FaultCase{"ChartSheetWithCells", OneSheet({{"type", "chart"}, {"cells", {{"A1", 1}}}}),
                  "chart sheet"},
        FaultCase{"ProtectedNotATruthValue", OneSheet({{"protected", "yes"}}), "\"protected\""}),
    [](const ::testing::TestParamInfo<FaultCase>& test) { return std::string(test.param.name); });

TEST(SimDocument, MissingFileRaises1004WithThePathAsGiven) {
  try {
    sim::ReadWorkbookDocument("C:\\Nulle part\\Thor.xls");
    FAIL() << "no error";
  } catch (const vb::Error& e) {
    EXPECT_EQ(e.number, vb::kApplicationDefined);
    EXPECT_EQ(e.description.rfind("'C:\\Nulle part\\Thor.xls' could not be found.", 0), 0u) << e.description;
  }
}

TEST(SimDocument, ReadsAFileWhateverItsExtension) {
  test_support::TempFolder folder;
  const auto path = test_support::WorkbookDocument::WithSheets({"Feuil1"})
                        .Constant("Feuil1", "A1", 7)
                        .Save(folder.Path(), "Ondine.xls");
  const sim::WorkbookModel workbook = sim::ReadWorkbookDocument(path.string());
  EXPECT_EQ(workbook.name, "Ondine.xls");
  EXPECT_EQ(workbook.sheets[0]->FindCell({1, 1})->value.AsDouble(), 7.0);
}

}  // namespace
