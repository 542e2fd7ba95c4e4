// ReadXlsxRecords on small archives built here, on the patch helper's
// output, and on damaged or hostile archives.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "office/file_records.h"
#include "office/xlsx_workbook.h"
#include "tests/office/support/xlsx_patch.h"

namespace {

using office::Consolidation;
using test_support::ZipEntry;

constexpr std::string_view kRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string Relationship(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRelationships) + "/" + type +
         "\" Target=\"" + target + "\"/>";
}

std::string Rels(const std::string& relationships) {
  return "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
         relationships + "</Relationships>";
}

// A workbook whose sheets have these names (XML attribute text), the given
// <bookViews>, and worksheets with these bodies (after <sheetData/>).
std::vector<ZipEntry> Book(const std::vector<std::string>& names, const std::string& views = "",
                           const std::vector<std::string>& bodies = {}) {
  std::string sheets;
  std::string relationships;
  std::vector<ZipEntry> entries = {
      {"_rels/.rels", Rels(Relationship("rId1", "officeDocument", "xl/workbook.xml"))}};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    sheets += "<sheet name=\"" + names[i] + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    relationships += Relationship("rId" + n, "worksheet", "worksheets/sheet" + n + ".xml");
    entries.push_back(
        {"xl/worksheets/sheet" + n + ".xml",
         std::string("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">") +
             (i < bodies.size() && bodies[i].starts_with("<sheetData>") ? "" : "<sheetData/>") +
             (i < bodies.size() ? bodies[i] : "") + "<pageMargins left=\"1\"/></worksheet>"});
  }
  entries.push_back({"xl/workbook.xml", "<workbook xmlns:r=\"" + std::string(kRelationships) + "\">" + views +
                                            "<sheets>" + sheets + "</sheets></workbook>"});
  entries.push_back({"xl/_rels/workbook.xml.rels", Rels(relationships)});
  return entries;
}

office::FileRecords Read(const std::vector<ZipEntry>& entries, bool deflate = true) {
  return office::ReadXlsxRecords(test_support::WriteZip(entries, deflate));
}

std::string& Part(std::vector<ZipEntry>& entries, const std::string& name) {
  for (ZipEntry& entry : entries) {
    if (entry.name == name) return entry.data;
  }
  throw std::invalid_argument(name);
}

// ------------------------------------------------------ cells and formats

TEST(XlsxCells, StoredResultsFormatsAndTheDateSystemAreRead) {
  using Kind = office::StoredValue::Kind;
  std::vector<ZipEntry> entries =
      Book({"Data"}, "",
           {"<sheetData><row r=\"2\"><c r=\"A2\" s=\"1\"><f>1/3</f><v>0.33333333333333331</v></c>"
            "<c r=\"B2\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>a&amp;b</v></c>"
            "<c r=\"C2\" t=\"b\"><f>1=1</f><v>1</v></c><c r=\"D2\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
            "<c r=\"E2\" s=\"2\"><v>5</v></c><c s=\"9\"><f t=\"shared\" si=\"0\"/></c>"
            "<c r=\"G2\" t=\"d\"><v>1904-01-02T12:00:00</v></c></row></sheetData>"});
  Part(entries, "xl/workbook.xml")
      .insert(Part(entries, "xl/workbook.xml").find("<sheets>"), "<workbookPr date1904=\"1\"/>");
  std::string& rels = Part(entries, "xl/_rels/workbook.xml.rels");
  rels.insert(rels.find("</Relationships>"), Relationship("rIdS", "styles", "styles.xml"));
  entries.push_back(
      {"xl/styles.xml",
       "<styleSheet><numFmts count=\"1\"><numFmt numFmtId=\"164\" "
       "formatCode=\"[$-409]mmmm\\ d\\,\\ yyyy;@\"/></numFmts><cellXfs count=\"3\">"
       "<xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"});
  const office::FileRecords read = Read(entries);
  EXPECT_TRUE(read.date1904);
  const auto& cells = read.cells.at("Data");
  const std::vector<std::tuple<long, Kind, double, std::string, std::optional<std::string>>> expected{
      {0, Kind::kNumber, 1.0 / 3, "", "[$-409]mmmm\\ d\\,\\ yyyy;@"},
      {1, Kind::kText, 0, "a&b", "General"},
      {2, Kind::kBoolean, 1, "", "General"},
      {3, Kind::kError, 0, "#DIV/0!", "General"},
      {5, Kind::kNone, 0, "", std::nullopt}};  // a shared formula's other cell; style 9 is not there
  for (const auto& [column, kind, number, text, format] : expected) {
    const office::StoredCell& cell = cells.at({1, column});
    EXPECT_TRUE(cell.formula) << column;
    EXPECT_EQ(cell.result, (office::StoredValue{kind, number, text})) << column;
    EXPECT_EQ(cell.numberFormat, format) << column;
  }
  EXPECT_FALSE(cells.at({1, 4}).formula);
  EXPECT_EQ(cells.at({1, 6}).result.number, 1.5);  // an ISO date in the 1904 system
  EXPECT_EQ(cells.at({1, 4}).numberFormat, "m/d/yyyy");
}

// ------------------------------------------------------------- sheet names

struct NamesCase {
  std::string xml;  // the name attribute's text
  std::string name;
};

class XlsxSheetName : public testing::TestWithParam<NamesCase> {};

TEST_P(XlsxSheetName, IsDecoded) {
  for (const bool deflate : {false, true}) {
    const office::FileRecords records = Read(Book({"Avant", GetParam().xml}), deflate);
    EXPECT_EQ(records.sheetNames, (std::vector<std::string>{"Avant", GetParam().name}));
  }
}

INSTANTIATE_TEST_SUITE_P(Xlsx, XlsxSheetName,
                         testing::Values(NamesCase{"R&amp;D &lt;2&gt; &quot;a&quot; &apos;b&apos;",
                                                   "R&D <2> \"a\" 'b'"},
                                         NamesCase{"R\xC3\xA9sultats", "R\xC3\xA9sultats"},
                                         NamesCase{"R&#233;sultats", "R\xC3\xA9sultats"},
                                         NamesCase{"R&#xE9;sultats", "R\xC3\xA9sultats"},
                                         NamesCase{"&#x20AC;&#128512;", "\xE2\x82\xAC\xF0\x9F\x98\x80"},
                                         NamesCase{"a\tb&#10;c\r\nd", "a b\nc d"}));

// Prefixed names, single quotes, '>' in a value, and tags hidden in
// comments, CDATA and processing instructions that must not count.
TEST(XlsxWorkbook, ScannerSkipsWhatIsNotATag) {
  std::vector<ZipEntry> entries = Book({"A", "B"});
  Part(entries, "xl/workbook.xml") =
      "<?xml version='1.0'?><x:workbook xmlns:x='http://schemas.openxmlformats.org/spreadsheetml/2006/main' "
      "xmlns:rel='" +
      std::string(kRelationships) +
      "'><!-- <x:sheets><x:sheet name='comment' rel:id='rId1'/> --><x:sheets>"
      "<x:sheet name='a>b' sheetId='1' rel:id='rId1'/><?pi <x:sheet name='pi' rel:id='rId1'/>?>"
      "<x:sheet\n name = \"c'd\" sheetId='2' rel:id='rId2' ></x:sheet><![CDATA[ a > b <x:sheet "
      "name='cdata'/> ]]>"
      "</x:sheets></x:workbook>";
  EXPECT_EQ(Read(entries).sheetNames, (std::vector<std::string>{"a>b", "c'd"}));
}

TEST(XlsxWorkbook, FindsTheWorkbookThroughThePackageRelationship) {
  std::vector<ZipEntry> entries = Book({"Une"}, "", {"<dataConsolidate function=\"min\"/>"});
  for (ZipEntry& entry : entries) {
    if (entry.name == "_rels/.rels")
      entry.data = Rels(Relationship("rId9", "officeDocument", "/Book/Main.xml"));
    if (entry.name == "xl/workbook.xml") entry.name = "book/main.xml";  // part names ignore case
    if (entry.name == "xl/_rels/workbook.xml.rels") {
      entry.name = "book/_rels/main.xml.rels";
      entry.data = Rels(Relationship("rId1", "worksheet", "./../xl/./worksheets/sheet%31.xml"));
    }
  }
  const office::FileRecords records = Read(entries);
  EXPECT_EQ(records.sheetNames, std::vector<std::string>{"Une"});
  EXPECT_EQ(records.consolidations.at("Une").function, -4139);
  // Without a package relationship, xl/workbook.xml is the workbook.
  entries = Book({"Seule"});
  std::erase_if(entries, [](const ZipEntry& e) { return e.name == "_rels/.rels"; });
  EXPECT_EQ(Read(entries).sheetNames, std::vector<std::string>{"Seule"});
}

TEST(XlsxWorkbook, ChartSheetsCountButAreNotRead) {
  std::vector<ZipEntry> entries = Book({"Data", "Chart"});
  Part(entries, "xl/_rels/workbook.xml.rels") =
      Rels(Relationship("rId1", "worksheet", "worksheets/sheet1.xml") +
           Relationship("rId2", "chartsheet", "chartsheets/none.xml"));
  EXPECT_EQ(Read(entries).sheetNames, (std::vector<std::string>{"Data", "Chart"}));
  EXPECT_EQ(Read(entries).chartSheets, std::set<std::string>{"Chart"});
}

TEST(XlsxWorkbook, SheetStatesAreRead) {
  // Names are attribute text: the state attribute rides on them.
  const auto records =
      Read(Book({"A", "B\" state=\"hidden", "C\" state=\"veryHidden", "D\" state=\"visible"}));
  EXPECT_EQ(records.sheetNames, (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(records.hiddenSheets,
            (std::map<std::string, office::SheetState>{{"B", office::SheetState::kHidden},
                                                       {"C", office::SheetState::kVeryHidden}}));
}

// ---------------------------------------------------------- active sheet

TEST(XlsxWorkbook, ActiveSheetIsTheFirstViewsTab) {
  const std::vector<std::string> names = {"A", "B", "C"};
  EXPECT_EQ(Read(Book(names)).activeSheet, 0U);
  EXPECT_EQ(Read(Book(names, "<bookViews><workbookView/></bookViews>")).activeSheet, 0U);
  EXPECT_EQ(
      Read(Book(names,
                "<bookViews><workbookView activeTab=\"2\"/><workbookView activeTab=\"1\"/></bookViews>"))
          .activeSheet,
      2U);
  // The helper adds the attribute, or the whole <bookViews>, or replaces it.
  for (const std::string views : {"", "<bookViews><workbookView xWindow=\"5\"/></bookViews>",
                                  "<bookViews><workbookView activeTab=\"2\"></workbookView></bookViews>"}) {
    const std::string zip = test_support::WriteZip(Book(names, views));
    EXPECT_EQ(office::ReadXlsxRecords(test_support::WithXlsxActiveSheet(zip, 1)).activeSheet, 1U) << views;
  }
}

// --------------------------------------------------------- consolidation

struct ConsolidationCase {
  std::string xml;  // in the second sheet, "Feuil2"
  Consolidation expected;
};

class XlsxConsolidationRead : public testing::TestWithParam<ConsolidationCase> {};

TEST_P(XlsxConsolidationRead, GivesExcelsValues) {
  const office::FileRecords records = Read(Book({"Semestre 1", "Feuil2"}, "", {"", GetParam().xml}));
  ASSERT_EQ(records.consolidations.size(), 1U);
  EXPECT_EQ(records.consolidations.at("Feuil2"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Xlsx, XlsxConsolidationRead,
    testing::Values(
        ConsolidationCase{"<dataConsolidate/>", {}},
        ConsolidationCase{
            "<dataConsolidate function=\"average\" topLabels=\"1\" leftLabels=\"true\" link=\"0\">"
            "<dataRefs count=\"2\"><dataRef ref=\"A2:B5\" sheet=\"Semestre 1\"/>"
            "<dataRef ref=\"$C$3\" sheet=\"Data\"/></dataRefs></dataConsolidate>",
            {{"'Semestre 1'!$A$2:$B$5", "Data!$C$3"}, -4106, true, true, false}},
        // A name, a reversed range on the sheet itself, a sheet's name.
        ConsolidationCase{
            "<dataConsolidate function=\"stdDevp\" link=\"true\"><dataRefs><dataRef name=\"Ventes\"/>"
            "<dataRef ref=\"XFD9:A1048576\"/><dataRef name=\"Total\" sheet=\"Semestre 1\"/>"
            "</dataRefs></dataConsolidate>",
            {{"Ventes", "Feuil2!$A$9:$XFD$1048576", "'Semestre 1'!Total"}, -4156, false, false, true}},
        // Only the worksheet's first element counts, and only its <dataRefs>.
        ConsolidationCase{"<extLst><ext><dataConsolidate function=\"min\"/></ext></extLst><dataConsolidate "
                          "function=\"countNums\"/><dataConsolidate function=\"max\"><dataRefs>"
                          "<dataRef ref=\"A1\" sheet=\"X\"/></dataRefs></dataConsolidate>",
                          {{}, -4113, false, false, false}}));

// Every function through the patch helper and back, and where the helper
// puts the element: before the first element that must follow it.
TEST(XlsxConsolidationPatch, RoundTrips) {
  const std::string before = "<sheetProtection sheet=\"1\"/>";
  const std::string after = "<mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells>";
  const std::string zip =
      test_support::WriteZip(Book({"Semestre 1", "Data", "Bilan"}, "", {"", "", before + after}));
  for (const long function :
       {-4106L, -4112L, -4113L, -4136L, -4139L, -4149L, -4155L, -4156L, -4157L, -4164L, -4165L}) {
    const std::map<std::string, Consolidation> bySheet = {
        {"Bilan", {{"'Semestre 1'!$A$2:$B$5", "Data!$C$3", "Ventes"}, function, true, false, true}},
        {"Data", {{"'It''s'!$B$2"}, function, false, true, false}}};
    const std::string patched = test_support::WithXlsxConsolidation(zip, bySheet);
    EXPECT_EQ(office::ReadXlsxRecords(patched).consolidations, bySheet) << function;
    std::vector<ZipEntry> entries = test_support::ReadZip(patched);
    const std::string& xml = Part(entries, "xl/worksheets/sheet3.xml");
    EXPECT_LT(xml.find(before), xml.find("<dataConsolidate"));
    EXPECT_LT(xml.find("</dataConsolidate>"), xml.find(after));
  }
}

// ------------------------------------------------------- hostile archives

std::uint32_t Get(const std::string& zip, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = (value << 8U) | static_cast<unsigned char>(zip.at(at + i));
  return value;
}

void Set(std::string& zip, std::size_t at, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i)
    zip.at(at + static_cast<std::size_t>(i)) = static_cast<char>(value >> (8 * i));
}

using Maker = std::function<std::string()>;

// A valid workbook with one field of the end record (no comment) changed.
Maker EndField(std::size_t offset, std::uint32_t value, int width) {
  return [=] {
    std::string zip = test_support::WriteZip(Book({"A"}));
    Set(zip, zip.size() - 22 + offset, value, width);
    return zip;
  };
}

// A valid workbook with one field of xl/workbook.xml's central header changed.
Maker WorkbookField(std::size_t offset, std::uint32_t value, int width = 4) {
  return [=] {
    std::string zip = test_support::WriteZip(Book({"A"}));
    const std::size_t name = zip.find("xl/workbook.xml", Get(zip, zip.size() - 6));
    Set(zip, name - 46 + offset, value, width);
    return zip;
  };
}

Maker WithoutPart(const std::string& prefix) {
  return [=] {
    std::vector<ZipEntry> entries = Book({"A"});
    std::erase_if(entries, [&](const ZipEntry& e) { return e.name.starts_with(prefix); });
    return test_support::WriteZip(entries);
  };
}

Maker WithWorkbook(const std::string& xml) {
  return [=] {
    std::vector<ZipEntry> entries = Book({"A"});
    Part(entries, "xl/workbook.xml") = xml;
    return test_support::WriteZip(entries);
  };
}

Maker WithName(const std::string& name) {
  return WithWorkbook("<workbook><sheets><sheet name=\"" + name + "\"/></sheets></workbook>");
}

Maker WithSheet(const std::string& body) {
  return [=] { return test_support::WriteZip(Book({"A"}, "", {body})); };
}

struct HostileCase {
  std::string label;
  Maker make;
  std::string message;  // part of the expected error message
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.label; }

class XlsxHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(XlsxHostile, IsAFileFormatError) {
  try {
    (void)office::ReadXlsxRecords(GetParam().make());
    ADD_FAILURE() << "no error";
  } catch (const office::FileFormatError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
  }
}

const std::string kRelationshipsText(kRelationships);

INSTANTIATE_TEST_SUITE_P(
    Xlsx, XlsxHostile,
    testing::Values(
        HostileCase{"empty", [] { return std::string(); }, "not a zip archive"},
        HostileCase{"garbage", [] { return std::string(70000, 'P'); }, "not a zip archive"},
        HostileCase{"truncated", [] { return test_support::WriteZip(Book({"A"})).substr(0, 400); },
                    "not a zip archive"},
        HostileCase{"cut in the middle", [] { return test_support::WriteZip(Book({"A"})).erase(100, 40); },
                    "damaged"},
        HostileCase{"directory offset", EndField(16, 0xFFFFFF00, 4), "damaged"},
        HostileCase{"entry count", EndField(10, 0xFFFF, 2), "damaged"},
        HostileCase{"multi-volume", EndField(4, 1, 2), "Multi-disk"},
        HostileCase{"local header offset", WorkbookField(42, 7), "damaged"},
        HostileCase{"compressed size", WorkbookField(20, 1U << 30U), "damaged"},
        HostileCase{"declared size too small", WorkbookField(24, 10), "damaged"},
        HostileCase{"declared size too large", WorkbookField(24, 5000), "damaged"},
        HostileCase{"CRC", WorkbookField(16, 1), "damaged"},
        HostileCase{"method", WorkbookField(10, 12, 2), "damaged"},
        HostileCase{"encrypted", WorkbookField(8, 1, 2), "encrypted"},
        HostileCase{"deflate bomb", [] { return WithSheet(std::string(65U << 20U, ' '))(); },
                    "xl/worksheets/sheet1.xml is larger than 64 MB"},
        HostileCase{"no workbook", WithoutPart("xl/workbook.xml"), "xl/workbook.xml is missing"},
        HostileCase{"no worksheet", WithoutPart("xl/worksheets"), "xl/worksheets/sheet1.xml is missing"},
        HostileCase{"no sheet", WithWorkbook("<workbook><sheets/></workbook>"), "no sheet"},
        HostileCase{"unterminated", WithWorkbook("<workbook><sheets><sheet name=\"a"), "unclosed token"},
        HostileCase{"unclosed", WithWorkbook("<workbook><sheets>"), "no element found"},
        HostileCase{"mismatched", WithWorkbook("<workbook><sheets></workbook></sheets>"), "mismatched tag"},
        HostileCase{"DTD", WithWorkbook("<!DOCTYPE x [<!ENTITY e 'x'>]><workbook/>"), "document type"},
        HostileCase{
            "foreign id",
            WithWorkbook("<workbook xmlns:r=\"urn:x\"><sheets><sheet name=\"A\" r:id=\"rId1\"/></sheets>"
                         "</workbook>"),
            "without name or r:id"},
        HostileCase{"id out of scope",
                    WithWorkbook(
                        "<workbook><sheets><sheet xmlns:r=\"" + kRelationshipsText +
                        "\" name=\"A\" r:id=\"rId1\"/><sheet name=\"B\" r:id=\"rId1\"/></sheets></workbook>"),
                    "unbound prefix"},
        HostileCase{"entity", WithName("&nbsp;"), "undefined entity"},
        HostileCase{"surrogate", WithName("&#xD800;"), "invalid character number"},
        HostileCase{"nul", WithName("&#0;"), "invalid character number"},
        HostileCase{"wrapping", WithName("&#x100000041;"), "invalid character number"},
        HostileCase{"hex digit", WithName("&#6a;"), "not well-formed"},
        HostileCase{"active tab",
                    [] { return test_support::WithXlsxActiveSheet(test_support::WriteZip(Book({"A"})), 1); },
                    "active sheet 1"},
        HostileCase{"function", WithSheet("<dataConsolidate function=\"median\"/>"), "median"},
        HostileCase{"boolean", WithSheet("<dataConsolidate link=\"yes\"/>"), "truth value"},
        HostileCase{
            "row",
            WithSheet("<dataConsolidate><dataRefs><dataRef ref=\"A0:B2\"/></dataRefs></dataConsolidate>"),
            "A0:B2"},
        HostileCase{
            "column",
            WithSheet("<dataConsolidate><dataRefs><dataRef ref=\"XFE1\"/></dataRefs></dataConsolidate>"),
            "XFE1"}));

// Every truncation and every single-byte change of a small archive either
// reads or fails with FileFormatError: nothing else escapes, nothing crashes.
TEST(XlsxDamage, NeverEscapesAsAnotherError) {
  for (const bool deflate : {false, true}) {
    const std::string zip = test_support::WriteZip(
        Book(
            {"A", "B"}, "<bookViews><workbookView activeTab=\"1\"/></bookViews>",
            {"<dataConsolidate><dataRefs><dataRef ref=\"A1:B2\" sheet=\"B\"/></dataRefs></dataConsolidate>"}),
        deflate);
    std::size_t failures = 0;
    const auto read = [&failures](const std::string& bytes) {
      try {
        (void)office::ReadXlsxRecords(bytes);
      } catch (const office::FileFormatError&) {
        ++failures;
      }
    };
    for (std::size_t size = 0; size < zip.size(); ++size) read(zip.substr(0, size));
    EXPECT_EQ(failures, zip.size());  // no prefix holds the end record
    for (std::size_t at = 0; at < zip.size(); ++at) {
      for (const unsigned char mask : {0x01, 0x80, 0xFF}) {
        std::string damaged = zip;
        damaged[at] = static_cast<char>(mask ^ static_cast<unsigned char>(damaged[at]));
        ASSERT_NO_THROW(read(damaged)) << at;
      }
    }
  }
}

}  // namespace

// ------------------------------------------------------ the direct reading

namespace direct {

constexpr const char* kMc = "http://schemas.openxmlformats.org/markup-compatibility/2006";

void Add(std::vector<ZipEntry>& entries, const std::string& rels, const std::string& relationship) {
  std::string& part = Part(entries, rels);
  part.insert(part.find("</Relationships>"), relationship);
}

// One sheet with what Excel writes beside its cells: shared and inline
// strings, a comment, an array formula and a data table, drawn shapes, an
// option button (control, ctrlProps and its drawing's twin), a check box
// only a legacy drawing holds, a pivot table, a scenario and a protection
// whose SHA-512 hash is "secret"'s (computed by Python's hashlib).
std::vector<ZipEntry> ExcelBook() {
  const std::string r = "xmlns:r=\"" + std::string(kRelationships) + "\"";
  std::vector<ZipEntry> entries = Book(
      {"Data"}, "",
      {"<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>en "
       "ligne</t></is></c><c r=\"C1\" t=\"d\" s=\"1\"><v>2002-01-01T00:00:00</v></c><c r=\"D1\" "
       "t=\"e\"><v>#N/A</v></c><c r=\"E1\" t=\"b\"><v>0</v></c><c r=\"F1\" s=\"2\"><v>37257</v></c></row>"
       "<row r=\"2\"><c r=\"A2\"><f t=\"array\" ref=\"A2:B2\">{1,2}*2</f><v>2</v></c><c "
       "r=\"B2\"><v>4</v></c></row>"
       "<row r=\"4\"><c r=\"C4\"><f t=\"dataTable\" ref=\"C4:D5\" dt2D=\"0\" dtr=\"0\" "
       "r1=\"A1\"/><v>1</v></c>"
       "<c r=\"D4\"><v>2</v></c></row><row r=\"5\"><c r=\"C5\"><v>3</v></c><c r=\"D5\"><v>4</v></c></row>"
       "</sheetData><sheetProtection sheet=\"1\" algorithmName=\"SHA-512\" "
       "hashValue=\"k9BhlCsJFfxaNSu4u4rHdyjPGlFYi4NxkOK+BNrt7tzuGhaVF8Kv1V7GO1cMuKy8OBGPPwOxZSByBRqIgRIrnQ=="
       "\" "
       "saltValue=\"AAECAwQFBgcICQoLDA0ODw==\" spinCount=\"100\"/><scenarios><scenario name=\"Banque A\" "
       "locked=\"1\" count=\"1\" comment=\"c\"><inputCells r=\"C6\" val=\"0.08\"/></scenario></scenarios>"
       "<drawing " +
       r + " r:id=\"rD\"/><legacyDrawing " + r +
       " r:id=\"rV\"/><controls><mc:AlternateContent "
       "xmlns:mc=\"" +
       kMc + "\"><mc:Choice Requires=\"x14\"><control " + r +
       " shapeId=\"1025\" r:id=\"rC\" "
       "name=\"Bouton 1\"/></mc:Choice><mc:Fallback><control " +
       r +
       " shapeId=\"1025\" r:id=\"rC\" "
       "name=\"ignored\"/></mc:Fallback></mc:AlternateContent></controls>"});
  Add(entries, "xl/_rels/workbook.xml.rels",
      Relationship("rS", "sharedStrings", "sharedStrings.xml") + Relationship("rT", "styles", "styles.xml"));
  entries.push_back({"xl/sharedStrings.xml",
                     "<sst><si><r><t>Prix</t></r><r><t xml:space=\"preserve\"> HT</t></r><rPh><t>ぷ</t></rPh>"
                     "</si></sst>"});
  entries.push_back(
      {"xl/styles.xml",
       "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"mmmm\"/></numFmts><cellXfs>"
       "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>"});
  entries.push_back({"xl/worksheets/_rels/sheet1.xml.rels",
                     Rels(Relationship("rD", "drawing", "../drawings/drawing1.xml") +
                          Relationship("rV", "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                          Relationship("rC", "ctrlProp", "../ctrlProps/ctrlProp1.xml") +
                          Relationship("rM", "comments", "../comments1.xml") +
                          Relationship("rP", "pivotTable", "../pivotTables/pivotTable1.xml"))});
  entries.push_back(
      {"xl/comments1.xml",
       "<comments><commentList><comment ref=\"A1\"><text><r><t>Ne pas </t></r><r><t>supprimer</t>"
       "</r></text></comment></commentList></comments>"});
  const std::string anchor = "<xdr:twoCellAnchor><xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"";
  entries.push_back(
      {"xl/drawings/drawing1.xml",
       "<xdr:wsDr xmlns:xdr=\"d\" xmlns:mc=\"" + std::string(kMc) + "\">" + anchor +
           "2\" name=\"Rectangle "
           "1\"/></xdr:nvSpPr></xdr:sp></xdr:twoCellAnchor><mc:AlternateContent><mc:Choice "
           "Requires=\"a14\">" +
           anchor +
           "1025\" name=\"Bouton 1\"/></xdr:nvSpPr></xdr:sp></xdr:twoCellAnchor>"
           "</mc:Choice><mc:Fallback>" +
           anchor +
           "1025\" name=\"twice\"/></xdr:nvSpPr></xdr:sp>"
           "</xdr:twoCellAnchor></mc:Fallback></mc:AlternateContent><xdr:twoCellAnchor><xdr:grpSp>"
           "<xdr:nvGrpSpPr><xdr:cNvPr id=\"5\" name=\"Groupe 4\"/></xdr:nvGrpSpPr>" +
           anchor.substr(19) +
           "6\" name=\"inner\"/></xdr:nvSpPr></xdr:sp></xdr:grpSp></xdr:twoCellAnchor></xdr:wsDr>"});
  entries.push_back({"xl/drawings/vmlDrawing1.vml",
                     "<xml xmlns:v=\"v\" xmlns:x=\"x\"><v:shape id=\"_x0000_s1030\"><x:ClientData "
                     "ObjectType=\"Checkbox\"><x:Checked>2</x:Checked></x:ClientData></v:shape><v:shape "
                     "id=\"_x0000_s1025\"><x:ClientData ObjectType=\"Radio\"/></v:shape><v:shape "
                     "id=\"_x0000_s1031\"><x:ClientData ObjectType=\"Note\"/></v:shape></xml>"});
  entries.push_back(
      {"xl/ctrlProps/ctrlProp1.xml", "<formControlPr objectType=\"Radio\" checked=\"Checked\"/>"});
  entries.push_back(
      {"xl/pivotTables/pivotTable1.xml",
       "<pivotTableDefinition name=\"TCD1\"><rowFields><field x=\"1\"/><field x=\"-2\"/>"
       "</rowFields><colFields><field x=\"0\"/></colFields><dataFields><dataField name=\"Somme\" "
       "fld=\"2\"/><dataField fld=\"2\" subtotal=\"countNums\"/></dataFields></pivotTableDefinition>"});
  entries.push_back({"xl/pivotTables/_rels/pivotTable1.xml.rels",
                     Rels(Relationship("rK", "pivotCacheDefinition", "../pivotCache/cache1.xml"))});
  entries.push_back(
      {"xl/pivotCache/cache1.xml",
       "<pivotCacheDefinition><cacheSource type=\"worksheet\"><worksheetSource ref=\"A32:C77\" "
       "sheet=\"Trimestre 1\"/></cacheSource><cacheFields><cacheField name=\"Mois\"/><cacheField "
       "name=\"Villes\"/><cacheField name=\"Résultats\"/></cacheFields></pivotCacheDefinition>"});
  return entries;
}

TEST(XlsxDirect, GivesTheDocumentOfExcelsParts) {
  const std::optional<nlohmann::json> document =
      office::ReadXlsxWorkbook(test_support::WriteZip(ExcelBook()), {{"wrong", "secret"}, {}});
  ASSERT_TRUE(document.has_value());
  const nlohmann::json expected =
      nlohmann::json::parse(R"json({"activeSheet": "Data", "sheets": [{"name": "Data",
    "cells": {"A1": {"value": "Prix HT", "comment": "Ne pas supprimer"}, "B1": "en ligne",
              "C1": {"date": "2002-01-01"}, "D1": {"error": "#N/A"}, "E1": false,
              "F1": {"value": {"date": "2002-01-01"}, "numberFormat": "mmmm"}},
    "arrays": [{"range": "A2:B2", "formula": "={1,2}*2", "values": [[2, 4]]},
               {"range": "C4:D5", "formula": "=TABLE(,A1)", "values": [[1, 2], [3, 4]]}],
    "shapes": [{"name": "Rectangle 1"}, {"name": "Bouton 1", "control": "option", "value": 1},
               {"name": "Groupe 4"}, {"name": "Check Box 6", "control": "checkbox", "value": 2}],
    "pivotTables": [{"name": "TCD1", "sourceData": "'Trimestre 1'!R32C1:R77C3", "rowFields": ["Villes"],
                     "columnFields": ["Mois"], "dataFields": [
                       {"name": "Somme", "sourceName": "Résultats", "function": "sum"},
                       {"name": "Résultats", "sourceName": "Résultats", "function": "count"}]}],
    "scenarios": [{"name": "Banque A", "changingCells": "C6", "values": [0.08], "comment": "c",
                   "locked": true, "hidden": false}],
    "protected": true, "password": "secret"}]})json");
  EXPECT_EQ(*document, expected) << document->dump(1);
}

// What Excel computes anew on opening is left to a calculating reader.
TEST(XlsxDirect, DeclinesWhatExcelComputesOnOpening) {
  const std::vector<std::pair<std::string, bool>> cases{{"<c r=\"A1\"><f>1+1</f><v>2</v></c>", true},
                                                        {"<c r=\"A1\"><f>TODAY()-1</f><v>2</v></c>", false},
                                                        {"<c r=\"A1\"><f ca=\"1\">A2</f><v>2</v></c>", false},
                                                        {"<c r=\"A1\"><f>1+1</f></c>", false}};
  for (const auto& [cell, read] : cases) {
    const auto entries = Book({"S"}, "", {"<sheetData><row r=\"1\">" + cell + "</row></sheetData>"});
    EXPECT_EQ(office::ReadXlsxWorkbook(test_support::WriteZip(entries)).has_value(), read) << cell;
  }
  std::vector<ZipEntry> everything = Book({"S"});
  Part(everything, "xl/workbook.xml")
      .insert(Part(everything, "xl/workbook.xml").find("</workbook>"), "<calcPr fullCalcOnLoad=\"1\"/>");
  EXPECT_FALSE(office::ReadXlsxWorkbook(test_support::WriteZip(everything)).has_value());
}

TEST(XlsxDirect, RefusesBlocksOverMoreCellsThanASheetCanHold) {
  const auto entries =
      Book({"S"}, "",
           {"<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"array\" ref=\"A1:IV5000\">1</f><v>1</v>"
            "</c></row></sheetData>"});
  EXPECT_THROW((void)office::ReadXlsxWorkbook(test_support::WriteZip(entries)), office::FileFormatError);
}

TEST(XlsxDirect, LegacyPasswordHash) {
  // CC1A: Excel's 16-bit hash of "abc" (computed in Python); CE4B: of "".
  const std::vector<std::tuple<std::string, std::string, bool>> cases{
      {"CC1A", "abc", true}, {"CC1A", "abd", false}, {"CE4B", "", true}, {"", "", true}, {"", "x", false}};
  for (const auto& [hash, password, opens] : cases)
    EXPECT_EQ(office::PasswordOpens({hash, "", "", "", 0}, password), opens) << hash << " " << password;
}

}  // namespace direct
