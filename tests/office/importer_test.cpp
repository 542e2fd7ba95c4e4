// The importer on what the round trip of the samples does not show: how a
// file is recognised, sheet passwords, and a file that keeps LibreOffice
// busy too long, a stale lock file.
#include "office/importer.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "tests/office/support/workbook_writer.h"
#include "tests/office/support/xlsx_patch.h"
#include "tests/support/workbook_document.h"

namespace {

using nlohmann::json;
using office::FileKind;

struct SniffCase {
  std::string bytes;
  FileKind kind;
};

class SniffTest : public testing::TestWithParam<SniffCase> {};

TEST_P(SniffTest, TellsByContent) { EXPECT_EQ(office::SniffFile(GetParam().bytes), GetParam().kind); }

const std::string kZip("PK\x03\x04", 4);
INSTANTIATE_TEST_SUITE_P(
    Contents, SniffTest,
    testing::Values(
        SniffCase{std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest", FileKind::kXls},
        SniffCase{kZip + std::string(26, '\0') + "mimetypeapplication/vnd.oasis.opendocument.spreadsheet",
                  FileKind::kOds},
        SniffCase{kZip + std::string(26, '\0') + "mimetypeapplication/vnd.oasis.opendocument.text",
                  FileKind::kDocument},
        SniffCase{kZip + std::string(40, 'x') + "xl/workbook.xml", FileKind::kXlsx},
        SniffCase{kZip, FileKind::kDocument}, SniffCase{"{\"sheets\": []}", FileKind::kDocument},
        SniffCase{std::string("\xD0\xCF\x11", 3), FileKind::kDocument}, SniffCase{"", FileKind::kDocument}));

class ImporterTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { office_ = std::make_unique<office::Office>(); }
  static void TearDownTestSuite() { office_.reset(); }

  // A one-sheet .xls (or .xlsx) whose sheet is protected with `password`.
  std::filesystem::path Protected(const std::string& password, test_support::WorkbookFormat format =
                                                                   test_support::WorkbookFormat::kXls) const {
    json document = {{"sheets", {{{"name", "Feuil1"}, {"protected", true}, {"password", password}}}}};
    const auto file =
        folder_.Path() / (format == test_support::WorkbookFormat::kXls ? "protected.xls" : "protected.xlsx");
    test_support::WriteWorkbook(*office_, document, file, format);
    return file;
  }

  static std::unique_ptr<office::Office> office_;
  test_support::TempFolder folder_;
};

std::unique_ptr<office::Office> ImporterTest::office_;

TEST_F(ImporterTest, SheetPasswordIsKnownOnlyWhenOneOfTheCandidatesOpensIt) {
  struct Case {
    std::string password;
    std::vector<std::string> candidates;
    std::string imported;
  };
  for (const Case& c :
       {Case{"", {}, ""}, Case{"secret", {}, "(unknown password)"},
        Case{"secret", {"wrong", "secret"}, "secret"}, Case{"secret", {"Secret"}, "(unknown password)"}}) {
    const json sheet =
        office::ImportWorkbook(*office_, Protected(c.password), {c.candidates}).at("sheets").at(0);
    EXPECT_EQ(sheet.value("protected", false), true) << c.password;
    EXPECT_EQ(sheet.value("password", "?"), c.imported) << c.password;
    // An .xlsx read straight from the file: the password's hash checked.
    const std::optional<json> direct =
        office::ImportDirectly(Protected(c.password, test_support::WorkbookFormat::kXlsx), {c.candidates});
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ(direct->at("sheets").at(0).value("password", "?"), c.imported) << c.password;
  }
}

// The lock file that an office of ours killed while loading leaves beside
// the learner's workbook (this user, this host, another profile) does not
// stop the next office from reading it.
TEST_F(ImporterTest, AStaleLockFileBesideTheWorkbookIsIgnored) {
  const auto file = Protected("");
  std::array<char, 256> host{};
  ASSERT_EQ(::gethostname(host.data(), host.size() - 1), 0);
  const passwd* user = ::getpwuid(::geteuid());
  ASSERT_NE(user, nullptr);
  std::ofstream(file.parent_path() / (".~lock." + file.filename().string() + "#"))
      << "," << user->pw_name << "," << host.data() << ",08.12.2026 10:00,file:///tmp/gone-profile;";
  EXPECT_EQ(office::ImportWorkbook(*office_, file).at("sheets").at(0).at("name"), "Feuil1");
}

TEST_F(ImporterTest, HiddenSheetsStayHiddenInEveryFormat) {
  const json document = {{"sheets",
                          {{{"name", "Visible"}},
                           {{"name", "Cachée"}, {"visible", "hidden"}},
                           {{"name", "Aussi"}, {"visible", "veryHidden"}}}}};
  for (const auto& [format, name] : {std::pair{test_support::WorkbookFormat::kXls, "book.xls"},
                                     std::pair{test_support::WorkbookFormat::kXlsx, "book.xlsx"},
                                     std::pair{test_support::WorkbookFormat::kOds, "book.ods"}}) {
    const auto file = folder_.Path() / name;
    test_support::WriteWorkbook(*office_, document, file, format);
    const json imported = office::ImportWorkbook(*office_, file);
    EXPECT_EQ(imported["sheets"][0].value("visible", "visible"), "visible") << name;
    // LibreOffice writes a very hidden sheet hidden.
    EXPECT_EQ(imported["sheets"][1].value("visible", "visible"), "hidden") << name;
    EXPECT_EQ(imported["sheets"][2].value("visible", "visible"), "hidden") << name;
  }
}

// An .xlsx as Excel writes one, one sheet "Data" with these <row>s; style
// 1 is the number format 00000\-00000.
void WriteXlsx(const std::filesystem::path& file, const std::string& rows) {
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const auto rel = [&](const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + relationships + "/" + type + "\" Target=\"" + target +
           "\"/>";
  };
  const std::string rels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  const std::vector<test_support::ZipEntry> entries{
      {"[Content_Types].xml",
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Override PartName=\"/xl/workbook.xml\" "
       "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
       "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
       "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
       "<Override PartName=\"/xl/styles.xml\" "
       "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/></Types>"},
      {"_rels/.rels", rels + rel("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>"},
      {"xl/workbook.xml",
       "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + relationships +
           "\"><sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", rels + rel("rId1", "worksheet", "worksheets/sheet1.xml") +
                                         rel("rId2", "styles", "styles.xml") + "</Relationships>"},
      {"xl/styles.xml", "<styleSheet xmlns=\"" + main +
                            "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"00000\\-00000\"/>"
                            "</numFmts><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\" "
                            "applyNumberFormat=\"1\"/></cellXfs></styleSheet>"},
      {"xl/worksheets/sheet1.xml",
       "<worksheet xmlns=\"" + main + "\"><sheetData>" + rows + "</sheetData></worksheet>"},
  };
  std::ofstream(file, std::ios::binary) << test_support::WriteZip(entries);
}

// Each formula with the result Excel stored, here chosen unlike what
// LibreOffice computes, so that the document shows whose it is.
TEST_F(ImporterTest, FormulasGiveExcelsStoredResultUnlessExcelRecalculatesThem) {
  const auto file = folder_.Path() / "stored.xlsx";
  WriteXlsx(
      file,
      "<row r=\"1\"><c r=\"A1\"><v>2</v></c><c r=\"B1\"><f>A1*2</f><v>5</v></c>"
      "<c r=\"C1\"><f>TODAY()</f><v>1</v></c><c r=\"D1\"><f>C1+1</f><v>1</v></c>"
      "<c r=\"E1\" t=\"b\"><f>A1=2</f><v>1</v></c><c r=\"F1\" t=\"str\"><f>\"x\"&amp;A1</f><v>Excel</v></c>"
      "<c r=\"G1\" s=\"1\"><v>123451234</v></c></row>");
  const json cells = office::ImportWorkbook(*office_, file).at("sheets").at(0).at("cells");
  EXPECT_EQ(cells["B1"]["value"], 5);
  EXPECT_EQ(cells["E1"]["value"], true);
  EXPECT_EQ(cells["F1"]["value"], "Excel");
  // TODAY() and what depends on it: computed anew (LibreOffice shows them
  // as dates), not the stored 1.
  const std::string today = cells["C1"]["value"].value("date", "");
  EXPECT_GE(today, "2026-12-08");
  EXPECT_GT(cells["D1"]["value"].value("date", ""), today);
  EXPECT_EQ(cells["G1"]["numberFormat"], "00000\\-00000");
}

// Excel 2003 opens an .xlsx without what lies beyond its 256 columns and
// 65,536 rows; the importer says which cell went first.
TEST_F(ImporterTest, CellsBeyondExcel2003sSheetAreLeftOutWithAWarning) {
  const auto file = folder_.Path() / "wide.xlsx";
  WriteXlsx(file,
            "<row r=\"1\"><c r=\"IV1\"><v>1</v></c><c r=\"IW1\"><v>2</v></c></row>"
            "<row r=\"65536\"><c r=\"A65536\"><v>3</v></c></row><row r=\"65537\"><c "
            "r=\"A65537\"><v>4</v></c></row>");
  std::vector<std::string> warnings;
  office::ImportOptions options;
  options.warn = [&](const std::string& message) { warnings.push_back(message); };
  const json cells = office::ImportWorkbook(*office_, file, options).at("sheets").at(0).at("cells");
  EXPECT_EQ(cells, (json{{"IV1", 1}, {"A65536", 3}}));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("cell IW1 and any others"), std::string::npos) << warnings[0];
}

// Excel opens without asking an .xls encrypted with its default password;
// one with a password of the user's own is refused, saying why.
TEST_F(ImporterTest, AnXlsEncryptedWithTheDefaultPasswordIsReadAnotherIsRefused) {
  const json document = {
      {"sheets", {{{"name", "Data"}, {"cells", {{"A1", 1}, {"B1", {{"formula", "=A1*2"}}}}}}}}};
  const auto open = folder_.Path() / "default.xls";
  test_support::WriteWorkbook(*office_, document, open, test_support::WorkbookFormat::kXls,
                              "VelvetSweatshop");
  const json cells = office::ImportWorkbook(*office_, open).at("sheets").at(0).at("cells");
  EXPECT_EQ(cells["A1"], 1);
  EXPECT_EQ(cells["B1"], (json{{"formula", "=A1*2"}, {"value", 2}}));
  const auto closed = folder_.Path() / "secret.xls";
  test_support::WriteWorkbook(*office_, document, closed, test_support::WorkbookFormat::kXls, "secret");
  try {
    (void)office::ImportWorkbook(*office_, closed);
    ADD_FAILURE() << "a workbook with a password of its own was read";
  } catch (const office::ImportError& error) {
    EXPECT_NE(std::string(error.what()).find("protected by a password to open"), std::string::npos)
        << error.what();
  }
}

TEST_F(ImporterTest, AFileKeepingLibreOfficeBusyTooLongStopsItAndTheNextOfficeGoesOn) {
  const auto file = Protected("");
  office::ImportOptions hasty;
  hasty.timeout = std::chrono::milliseconds(1);
  EXPECT_THROW((void)office::ImportWorkbook(*office_, file, hasty), office::OfficeError);
  // Killed: gone as soon as the kernel has ended it.
  for (int wait = 0; wait < 100 && office_->Running(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(office_->Running());
  office_ = std::make_unique<office::Office>();
  EXPECT_EQ(office::ImportWorkbook(*office_, file).at("sheets").at(0).at("name"), "Feuil1");
}

}  // namespace
