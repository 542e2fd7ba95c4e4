// Every sample written as a real .xls and .xlsx through LibreOffice, then
// graded from that file as `r58267 check` grades it: the outcome must be
// the document's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/grader.h"
#include "cli/office_session.h"
#include "office/file_records.h"
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

// What LibreOffice cannot write as Excel does, by question and format.
std::optional<std::string> Exception(const RoundTrip& trip) {
  (void)trip;
  return std::nullopt;
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
      for (const auto format : {WorkbookFormat::kXls, WorkbookFormat::kXlsx}) {
        trip.format = format;
        trip.name = std::to_string(trip.question) + "_" + trip.files.front().stem().string() +
                    (format == WorkbookFormat::kXls ? "_xls" : "_xlsx");
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

TEST_P(RoundTripTest, GradesAsTheDocument) {
  const RoundTrip& trip = GetParam();
  if (const auto reason = Exception(trip)) GTEST_SKIP() << *reason;
  const test_support::TempFolder folder;
  std::vector<cli::Workbook> workbooks;
  for (const auto& file : trip.files) {
    std::ifstream in(file);
    const json document = json::parse(in);
    const fs::path real =
        folder.Path() / (file.stem().string() + (trip.format == WorkbookFormat::kXls ? ".xls" : ".xlsx"));
    test_support::WriteWorkbook(*writer_, document, real, trip.format);
    std::ifstream written(real, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    const std::string patched = WithConsolidations(document, bytes, trip.format);
    if (patched != bytes) std::ofstream(real, std::ios::binary | std::ios::trunc) << patched;
    workbooks.push_back(grader_->Prepare(real));
    ASSERT_TRUE(workbooks.back().document.has_value()) << real << " was not taken for a real workbook";
  }
  const cli::Outcome outcome = cli::Grade(trip.question, workbooks);
  ASSERT_EQ(outcome.failed, "") << outcome.error->description;
  EXPECT_EQ(outcome.Passed(), trip.passed);
  EXPECT_EQ(outcome.causeErreur, trip.cause) << *workbooks.front().document;
}

INSTANTIATE_TEST_SUITE_P(Samples, RoundTripTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<RoundTrip>& trip) { return trip.param.name; });

}  // namespace
