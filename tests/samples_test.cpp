// Every sample workbook, graded through the host module as the command
// line does, gives the outcome its manifest expects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/grader.h"

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

}  // namespace
