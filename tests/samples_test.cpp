// Every sample workbook, graded through the host module as the command
// line does, gives the outcome its manifest expects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/grader.h"
#include "tests/support/workbook_document.h"

namespace {

namespace fs = std::filesystem;

struct Sample {
  long question;
  std::vector<fs::path> files;
  bool passed;
  std::string cause;
  std::string name;
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

std::vector<Sample> AllSamples() {
  std::vector<Sample> samples;
  for (const auto& entry : fs::directory_iterator(R58267_SAMPLES_DIR)) {
    const fs::path manifest = entry.path() / "outcomes.json";
    if (!fs::exists(manifest)) continue;
    std::ifstream in(manifest);
    const auto json = nlohmann::json::parse(in);
    const long question = json.at("question").get<long>();
    for (const auto& sample : json.at("samples")) {
      Sample s{
          question, {}, sample.at("passed").get<bool>(), sample.at("causeErreur").get<std::string>(), ""};
      const auto names =
          sample.contains("files") ? sample.at("files") : nlohmann::json::array({sample.at("file")});
      for (const auto& name : names) s.files.push_back(entry.path() / name.get<std::string>());
      s.name = std::to_string(question) + "_" + s.files.front().stem().string();
      for (auto& c : s.name) c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
      samples.push_back(s);
    }
  }
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.name < b.name; });
  return samples;
}

class SampleTest : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleTest, GivesTheExpectedOutcomeThroughTheModule) {
  const Sample& sample = GetParam();
  const cli::Outcome outcome = cli::Grade(sample.question, sample.files);
  ASSERT_TRUE(outcome.failed.empty()) << outcome.failed << ": " << outcome.error->description;
  EXPECT_FALSE(outcome.erreurGenerale) << outcome.causeErreur;
  EXPECT_EQ(outcome.causeErreur, sample.cause);
  EXPECT_EQ(outcome.Passed(), sample.passed);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTest, ::testing::ValuesIn(AllSamples()),
                         [](const ::testing::TestParamInfo<Sample>& sampleInfo) {
                           return sampleInfo.param.name;
                         });

// Excel refuses to activate or select a hidden sheet: a check that goes to
// a sheet the learner hid fails with Excel's error; a hidden sheet that the
// check does not visit changes nothing.
struct HiddenSheet {
  const char* name;
  long question;
  const char* sheet;
  const char* visibility;
  const char* refusal;      // "" when the grade is the sample's
  const char* second = "";  // the question's second workbook, from the samples
};

class HiddenSheetTest : public ::testing::TestWithParam<HiddenSheet> {};

TEST_P(HiddenSheetTest, FailsWhereTheCheckGoesToTheSheet) {
  const HiddenSheet& c = GetParam();
  const fs::path folder = fs::path(R58267_SAMPLES_DIR) / std::to_string(c.question);
  auto document = nlohmann::json::parse(std::ifstream(folder / "start.json"));
  for (auto& sheet : document["sheets"]) {
    if (sheet["name"] == c.sheet) sheet["visible"] = c.visibility;
  }
  if (document.value("activeSheet", "") == c.sheet) document.erase("activeSheet");
  const test_support::TempFolder scratch;
  const fs::path file = scratch.Path() / "hidden.json";
  std::ofstream(file) << document.dump();
  std::vector<fs::path> files{file}, sample{folder / "start.json"};
  if (*c.second != '\0') {
    files.push_back(folder / c.second);
    sample.push_back(folder / c.second);
  }
  const cli::Outcome hidden = cli::Grade(c.question, files);
  if (*c.refusal == '\0') {
    EXPECT_TRUE(hidden.failed.empty());
    EXPECT_EQ(hidden.causeErreur, cli::Grade(c.question, sample).causeErreur);
    return;
  }
  EXPECT_EQ(hidden.failed, "TestePoint");
  ASSERT_TRUE(hidden.error.has_value());
  EXPECT_EQ(hidden.error->number, 1004);
  EXPECT_EQ(hidden.error->description, c.refusal);
}

constexpr const char* kActivate = "Activate method of Worksheet class failed";
constexpr const char* kSelect = "Select method of Worksheet class failed";

INSTANTIATE_TEST_SUITE_P(Checks, HiddenSheetTest,
                         ::testing::Values(HiddenSheet{"Q703Answers", 703, "Trimestre 2", "hidden", kSelect},
                                           HiddenSheet{"Q703Unvisited", 703, "Ondine", "hidden", ""},
                                           HiddenSheet{"Q704", 704, "Trimestre 1", "veryHidden", kActivate},
                                           HiddenSheet{"Q708", 708, "Trimestre 1", "hidden", kActivate},
                                           HiddenSheet{"Q710", 710, "Année", "hidden", kActivate},
                                           HiddenSheet{"Q714", 714, "Emprunt", "hidden", kActivate},
                                           HiddenSheet{"Q715Answers", 715, "Réponses", "hidden", kSelect},
                                           HiddenSheet{"Q717", 717, "Emprunt", "veryHidden", kSelect,
                                                       "start-soledad.json"},
                                           HiddenSheet{"Q718Unvisited", 718, "Synthèse de scénarios",
                                                       "hidden", "", "start-soledad.json"},
                                           HiddenSheet{"Q719Answers", 719, "Réponses", "hidden", kSelect}),
                         [](const ::testing::TestParamInfo<HiddenSheet>& hiddenInfo) {
                           return std::string(hiddenInfo.param.name);
                         });

}  // namespace
