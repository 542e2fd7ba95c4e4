// Every sample written as a real .xls, .xlsx and .ods through LibreOffice, then
// graded from that file as `r58267 check` grades it: the outcome must be
// the document's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/grader.h"
#include "cli/office_session.h"
#include "office/file_records.h"
#include "office/importer.h"
#include "tests/office/support/workbook_writer.h"
#include "tests/office/support/xls_patch.h"
#include "tests/office/support/xlsx_patch.h"
#include "tests/support/workbook_document.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test_support::WorkbookFormat;

struct RoundTrip {
  std::string name;
  long question = 0;
  std::vector<fs::path> files;
  bool passed = false;
  std::string cause;
  WorkbookFormat format = WorkbookFormat::kXls;
};

void PrintTo(const RoundTrip& trip, std::ostream* out) { *out << trip.name; }

// Whether any sheet of the trip's documents has the feature.
bool Has(const RoundTrip& trip, const std::function<bool(const json& sheet)>& feature) {
  for (const auto& file : trip.files) {
    std::ifstream in(file);
    const json document = json::parse(in);
    for (const auto& sheet : document.at("sheets")) {
      if (feature(sheet)) return true;
    }
  }
  return false;
}

// What LibreOffice cannot write as Excel does and no edit of ours puts
// right, by feature and format.
std::optional<std::string> Exception(const RoundTrip& trip) {
  const auto dataTable = [](const json& sheet) {
    for (const auto& array : sheet.value("arrays", json::array())) {
      if (array.value("formula", "").starts_with("=TABLE(")) return true;
    }
    return false;
  };

  const auto consolidation = [](const json& sheet) { return sheet.contains("consolidation"); };
  if (trip.format == WorkbookFormat::kXls && Has(trip, dataTable)) {
    return "LibreOffice writes malformed data-table records into an .xls (wrong input cells)";
  }
  if (trip.format == WorkbookFormat::kOds && Has(trip, consolidation)) {
    return "an .ods holds a consolidation only once LibreOffice has run it, which rewrites the cells";
  }
  return std::nullopt;
}

// The active sheet, which LibreOffice saves only from a visible view:
// WINDOW1's itabCur in an .xls, activeTab in an .xlsx.
std::string WithActiveSheet(const json& document, const std::string& bytes, WorkbookFormat format) {
  if (!document.contains("activeSheet")) return bytes;
  const office::FileRecords records =
      format == WorkbookFormat::kXls ? office::ReadXlsRecords(bytes) : office::ReadXlsxRecords(bytes);
  const auto found = std::find(records.sheetNames.begin(), records.sheetNames.end(),
                               document.at("activeSheet").get<std::string>());
  const auto index = static_cast<std::size_t>(found - records.sheetNames.begin());
  if (format == WorkbookFormat::kXlsx) return test_support::WithXlsxActiveSheet(bytes, index);
  // WINDOW1 (type 0x3D, 18 bytes) is changed where it lies in the file:
  // rewriting the compound file would drop the pivot caches' streams.
  std::string patched = bytes;
  const std::size_t at = patched.find(std::string("\x3D\x00\x12\x00", 4));
  if (at == std::string::npos) throw std::runtime_error("no WINDOW1 record");
  patched[at + 4 + 10] = static_cast<char>(index & 0xFFU);
  patched[at + 4 + 11] = static_cast<char>(index >> 8U);
  if (office::ReadXlsRecords(patched).activeSheet != index) throw std::runtime_error("WINDOW1 not patched");
  return patched;
}

std::string& EntryNamed(std::vector<test_support::ZipEntry>& entries, const std::string& name) {
  const auto entry =
      std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
  if (entry == entries.end()) throw std::runtime_error("no " + name);
  return entry->data;
}

// The form controls of sheet `index` as Excel writes them where LibreOffice
// does not: an option button (LibreOffice writes a plain drawing) becomes a
// control with its ctrlProps part on the drawing shape of its id, and a
// mixed check box (LibreOffice writes it unchecked) gets its state.
void WithExcelControls(const json& sheet, std::size_t index, std::vector<test_support::ZipEntry>& entries) {
  const std::string number = std::to_string(index + 1);
  std::string controls;
  long id = 2000;
  for (const auto& shape : sheet.value("shapes", json::array())) {
    const std::string control = shape.value("control", "");
    std::string name = test_support::XmlEscape(shape.at("name").get<std::string>());
    for (std::size_t at = name.find('\''); at != std::string::npos; at = name.find('\'', at))
      name.replace(at, 1, "&apos;");
    std::string& xml = EntryNamed(entries, "xl/worksheets/sheet" + number + ".xml");
    std::string& rels = EntryNamed(entries, "xl/worksheets/_rels/sheet" + number + ".xml.rels");
    if (control == "checkbox" && shape.value("value", 0) == 2) {
      const std::size_t at = xml.find("name=\"" + name + "\"");
      const std::size_t rid = xml.rfind("r:id=\"", at) + 6;
      const std::string relationship = xml.substr(rid, xml.find('"', rid) - rid);
      const std::size_t target = rels.find("Target=\"", rels.find("Id=\"" + relationship + "\"")) + 8;
      const std::string part = "xl/" + rels.substr(target + 3, rels.find('"', target) - target - 3);
      std::string& props = EntryNamed(entries, part);
      props.insert(props.find("objectType"), "checked=\"Mixed\" ");
    }
    if (control != "option") continue;
    ++id;
    // The sheet's drawing, by its relationship.
    const std::size_t type = rels.find("/relationships/drawing\"");
    const std::size_t target = rels.find("Target=\"", type) + 8;
    std::string& drawing =
        EntryNamed(entries, "xl/" + rels.substr(target + 3, rels.find('"', target) - target - 3));
    const std::string shapeName = "\" name=\"" + name + "\"";
    const std::size_t at = drawing.find(shapeName);
    if (at == std::string::npos) throw std::runtime_error("no drawing shape " + name);
    const std::size_t open = drawing.rfind("id=\"", at) + 4;
    drawing.replace(open, drawing.find('"', open) - open, std::to_string(id));
    const std::string relationship = "rIdOption" + std::to_string(id);
    const std::string part = "ctrlProps/option" + std::to_string(id) + ".xml";
    rels.insert(
        rels.find("</Relationships>"),
        "<Relationship Id=\"" + relationship +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/ctrlProp\" "
            "Target=\"../" +
            part + "\"/>");
    entries.push_back({"xl/" + part, std::string("<formControlPr xmlns=\"http://schemas.microsoft.com/office/"
                                                 "spreadsheetml/2009/9/main\" objectType=\"Radio\"") +
                                         (shape.value("value", 0) == 1 ? " checked=\"Checked\"" : "") +
                                         "/>"});
    controls +=
        "<control xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
        "shapeId=\"" +
        std::to_string(id) + "\" r:id=\"" + relationship + "\" name=\"" + name + "\"/>";
  }
  if (controls.empty()) return;
  std::string& xml = EntryNamed(entries, "xl/worksheets/sheet" + number + ".xml");
  xml.insert(xml.rfind("</worksheet>"), "<controls>" + controls + "</controls>");
}

// What LibreOffice writes into an .xlsx otherwise than Excel: a scenario
// name cut to 31 characters, a data table as a TABLE formula in each cell
// (Excel writes one dataTable formula in the block's first cell), and the
// form controls above.
std::string WithExcelXlsxParts(const json& document, const std::string& bytes) {
  std::vector<test_support::ZipEntry> entries = test_support::ReadZip(bytes);
  const json& sheets = document.at("sheets");
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string part = "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml";
    const auto entry =
        std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == part; });
    if (entry == entries.end()) continue;
    std::string& xml = entry->data;
    for (const auto& scenario : sheets[i].value("scenarios", json::array())) {
      const std::string name = scenario.at("name").get<std::string>();
      std::size_t cut = 0;  // 31 characters, not bytes
      for (int characters = 0; cut < name.size() && characters < 31; ++characters) {
        do ++cut;
        while (cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U);
      }
      if (cut == name.size()) continue;
      const std::string shortName = "name=\"" + test_support::XmlEscape(name.substr(0, cut)) + "\"";
      if (const std::size_t at = xml.find(shortName); at != std::string::npos) {
        xml.replace(at, shortName.size(), "name=\"" + test_support::XmlEscape(name) + "\"");
      }
    }
    WithExcelControls(sheets[i], i, entries);
    for (const auto& array : sheets[i].value("arrays", json::array())) {
      const std::string formula = array.at("formula").get<std::string>();
      if (!formula.starts_with("=TABLE(")) continue;
      const std::string inputs = formula.substr(7, formula.size() - 8);
      const std::string range = array.at("range").get<std::string>();
      const std::string first = range.substr(0, range.find(':'));
      // Every TABLE formula of the sheet goes; the first cell gets Excel's.
      for (std::size_t at = xml.find("<f aca=\"true\">TABLE("); at != std::string::npos;
           at = xml.find("<f aca=\"true\">TABLE(", at)) {
        xml.erase(at, xml.find("</f>", at) + 4 - at);
      }
      const std::string cell = "<c r=\"" + first + "\"";
      const std::size_t open = xml.find('>', xml.find(cell)) + 1;
      xml.insert(open, "<f t=\"dataTable\" ref=\"" + range + "\" dt2D=\"1\" dtr=\"1\" r1=\"" +
                           inputs.substr(0, inputs.find(',')) + "\" r2=\"" +
                           inputs.substr(inputs.find(',') + 1) + "\"/>");
    }
  }
  return test_support::WriteZip(entries);
}

std::vector<RoundTrip> Cases() {
  std::vector<RoundTrip> cases;
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(R58267_SAMPLES_DIR)) {
    if (fs::exists(entry.path() / "outcomes.json")) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  for (const auto& folder : folders) {
    std::ifstream in(folder / "outcomes.json");
    const json manifest = json::parse(in);
    for (const auto& sample : manifest.at("samples")) {
      RoundTrip trip;
      trip.question = manifest.at("question").get<long>();
      if (sample.contains("files")) {
        for (const auto& file : sample.at("files")) trip.files.push_back(folder / file.get<std::string>());
      } else {
        trip.files.push_back(folder / sample.at("file").get<std::string>());
      }
      trip.passed = sample.at("passed").get<bool>();
      trip.cause = sample.at("causeErreur").get<std::string>();
      for (const auto format : {WorkbookFormat::kXls, WorkbookFormat::kXlsx, WorkbookFormat::kOds}) {
        trip.format = format;
        trip.name = std::to_string(trip.question) + "_" + trip.files.front().stem().string() +
                    (format == WorkbookFormat::kXls    ? "_xls"
                     : format == WorkbookFormat::kXlsx ? "_xlsx"
                                                       : "_ods");
        for (char& c : trip.name) c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        cases.push_back(trip);
      }
    }
  }
  return cases;
}

long FunctionCode(const json& function) {
  if (function.is_number()) return function.get<long>();
  const std::string name = function.get<std::string>();
  return name == "count"     ? -4112
         : name == "average" ? -4106
         : name == "max"     ? -4136
         : name == "min"     ? -4139
         : name == "product" ? -4149
                             : -4157;
}

// The document's consolidation settings, which LibreOffice cannot write:
// put into the file the way Excel saves them.
std::string WithConsolidations(const json& document, const std::string& bytes, WorkbookFormat format) {
  std::map<std::string, office::Consolidation> bySheet;
  for (const auto& sheet : document.at("sheets")) {
    if (!sheet.contains("consolidation")) continue;
    const json& settings = sheet.at("consolidation");
    office::Consolidation consolidation;
    consolidation.sources = settings.value("sources", std::vector<std::string>{});
    if (settings.contains("function")) consolidation.function = FunctionCode(settings.at("function"));
    const auto options = settings.value("options", std::vector<bool>{false, false, false});
    consolidation.topRow = options.at(0);
    consolidation.leftColumn = options.at(1);
    consolidation.createLinks = options.at(2);
    bySheet[sheet.at("name").get<std::string>()] = consolidation;
  }
  if (bySheet.empty()) return bytes;
  return format == WorkbookFormat::kXls ? test_support::WithXlsConsolidation(bytes, bySheet)
                                        : test_support::WithXlsxConsolidation(bytes, bySheet);
}

class RoundTripTest : public testing::TestWithParam<RoundTrip> {
 protected:
  static void SetUpTestSuite() {
    writer_ = std::make_unique<office::Office>();
    grader_ = std::make_unique<cli::OfficeSession>();
  }
  static void TearDownTestSuite() {
    grader_.reset();
    writer_.reset();
  }
  static std::unique_ptr<office::Office> writer_;
  static std::unique_ptr<cli::OfficeSession> grader_;
};

std::unique_ptr<office::Office> RoundTripTest::writer_;
std::unique_ptr<cli::OfficeSession> RoundTripTest::grader_;

// The trip's documents written as real files in `folder`, with what
// LibreOffice does not write put in as Excel writes it.
std::vector<fs::path> WriteFiles(const office::Office& writer, const RoundTrip& trip,
                                 const fs::path& folder) {
  std::vector<fs::path> written;
  for (const auto& file : trip.files) {
    std::ifstream in(file);
    const json document = json::parse(in);
    const fs::path real = folder / (file.stem().string() + (trip.format == WorkbookFormat::kXls    ? ".xls"
                                                            : trip.format == WorkbookFormat::kXlsx ? ".xlsx"
                                                                                                   : ".ods"));
    test_support::WriteWorkbook(writer, document, real, trip.format);
    std::ifstream saved(real, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    // An .ods is graded as LibreOffice writes it.
    std::string patched = bytes;
    if (trip.format != WorkbookFormat::kOds) {
      patched = WithActiveSheet(document, WithConsolidations(document, bytes, trip.format), trip.format);
    }
    if (trip.format == WorkbookFormat::kXlsx) patched = WithExcelXlsxParts(document, patched);
    if (patched != bytes) std::ofstream(real, std::ios::binary | std::ios::trunc) << patched;
    written.push_back(real);
  }
  return written;
}

TEST_P(RoundTripTest, GradesAsTheDocument) {
  const RoundTrip& trip = GetParam();
  if (const auto reason = Exception(trip)) GTEST_SKIP() << *reason;
  const test_support::TempFolder folder;
  // An .xlsx is read straight from the file: its session never starts an
  // office.
  cli::OfficeSession direct;
  cli::OfficeSession& session = trip.format == WorkbookFormat::kXlsx ? direct : *grader_;
  std::vector<cli::Workbook> workbooks;
  for (const fs::path& real : WriteFiles(*writer_, trip, folder.Path())) {
    workbooks.push_back(session.Prepare(real));
    ASSERT_TRUE(workbooks.back().document.has_value()) << real << " was not taken for a real workbook";
  }
  EXPECT_FALSE(direct.Started());
  const cli::Outcome outcome = cli::Grade(trip.question, workbooks);
  ASSERT_EQ(outcome.failed, "") << outcome.error->description;
  EXPECT_EQ(outcome.Passed(), trip.passed);
  EXPECT_EQ(outcome.causeErreur, trip.cause) << *workbooks.front().document;
}

// Where the two documents differ ("sheets[1].cells.B7"); numbers within
// 1e-12 of each other agree (LibreOffice computes array formulas again on
// loading, the file keeps Excel's 15 digits).
void Differences(const json& direct, const json& viaOffice, const std::string& path,
                 std::vector<std::string>& out) {
  if (direct.is_number() && viaOffice.is_number()) {
    const double a = direct.get<double>();
    const double b = viaOffice.get<double>();
    if (std::abs(a - b) > 1e-12 * std::max(std::abs(a), std::abs(b))) out.push_back(path);
  } else if (direct.is_object() && viaOffice.is_object()) {
    for (const auto& [key, value] : direct.items())
      Differences(value, viaOffice.contains(key) ? viaOffice.at(key) : json(), path + "." + key, out);
    for (const auto& [key, value] : viaOffice.items()) {
      if (!direct.contains(key)) out.push_back(path + "." + key);
    }
  } else if (direct.is_array() && viaOffice.is_array() && direct.size() == viaOffice.size()) {
    for (std::size_t i = 0; i < direct.size(); ++i)
      Differences(direct[i], viaOffice[i], path + "[" + std::to_string(i) + "]", out);
  } else if (direct != viaOffice) {
    out.push_back(path);
  }
}

// Each sample's .xlsx read straight from the file and through LibreOffice
// gives the same document, but where the direct reading is the more
// faithful one:
// - the shapes of a sheet with form controls: LibreOffice does not read back
//   the check boxes it writes into an .xlsx (the direct reading has them
//   with their states), and writes option buttons as plain drawings;
// - the cells of a sheet with a pivot table: LibreOffice lays the table out
//   anew when it loads it (another order of the items), where Excel shows
//   the cells the file keeps.
TEST_P(RoundTripTest, ReadsAnXlsxDirectlyAsThroughLibreOffice) {
  const RoundTrip& trip = GetParam();
  if (trip.format != WorkbookFormat::kXlsx) GTEST_SKIP() << "the direct reading is for .xlsx files";
  const test_support::TempFolder folder;
  const std::vector<fs::path> written = WriteFiles(*writer_, trip, folder.Path());
  for (std::size_t f = 0; f < written.size(); ++f) {
    std::ifstream in(trip.files[f]);
    const json document = json::parse(in);
    const std::optional<json> direct = office::ImportDirectly(written[f]);
    ASSERT_TRUE(direct.has_value()) << written[f];
    std::vector<std::string> differences;
    Differences(*direct, office::ImportWorkbook(*writer_, written[f]), "", differences);
    std::vector<std::string> unexplained;
    for (const std::string& difference : differences) {
      if (!difference.starts_with(".sheets[")) {
        unexplained.push_back(difference);
        continue;
      }
      const std::size_t index = std::stoul(difference.substr(difference.find('[') + 1));
      const json& sheet = document.at("sheets").at(index);
      const bool controls =
          sheet.contains("shapes") && sheet.at("shapes").dump().find("\"control\"") != std::string::npos;
      const bool explained =
          (controls && difference.find(".shapes") != std::string::npos) ||
          (sheet.contains("pivotTables") && difference.find(".cells") != std::string::npos);
      if (!explained) unexplained.push_back(difference);
    }
    EXPECT_EQ(unexplained, std::vector<std::string>{}) << written[f] << "\n" << direct->dump();
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, RoundTripTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<RoundTrip>& trip) { return trip.param.name; });

}  // namespace
