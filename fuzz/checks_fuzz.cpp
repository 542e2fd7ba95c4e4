// Every exercise check fed workbooks whose cells hold arbitrary formulas and
// values of every type: one question's solved sample, with cells of its
// sheets replaced, deleted or added as the input says, graded as
// `r58267 check` grades it. The outcome must stay within the contract: a
// listed cause code, nothing, or a reported error whose source starts with
// "DLL R58267 - CLASSE ".
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/grader.h"
#include "module/codes_generaux.h"
#include "questions/factory.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Solved {
  long question;
  std::vector<fs::path> files;
};

// The solved sample of every question, read once.
const std::vector<Solved>& SolvedSamples() {
  static const std::vector<Solved> samples = [] {
    std::vector<Solved> result;
    for (long question = 701; question <= 719; ++question) {
      const fs::path folder = fs::path(R58267_SAMPLES_DIR) / std::to_string(question);
      std::ifstream in(folder / "outcomes.json");
      const json manifest = json::parse(in);
      for (const auto& sample : manifest.at("samples")) {
        if (!sample.at("passed").get<bool>()) continue;
        Solved solved{question, {}};
        const auto names = sample.contains("files") ? sample.at("files") : json::array({sample.at("file")});
        for (const auto& name : names) solved.files.push_back(folder / name.get<std::string>());
        result.push_back(std::move(solved));
        break;
      }
    }
    return result;
  }();
  return samples;
}

// A cell as a document writes it, of a type the input chooses.
json Cell(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return {{"formula", "=" + input.ConsumeRandomLengthString(40)}};
    case 1:
      return {{"formula", "=" + input.ConsumeRandomLengthString(40)},
              {"value", input.ConsumeFloatingPoint<double>()}};
    case 2:
      return input.ConsumeFloatingPoint<double>();
    case 3:
      return input.ConsumeRandomLengthString(40);
    case 4:
      return input.ConsumeBool();
    case 5:
      return {{"date", "20" + std::to_string(input.ConsumeIntegralInRange(10, 99)) + "-0" +
                           std::to_string(input.ConsumeIntegralInRange(1, 9)) + "-1" +
                           std::to_string(input.ConsumeIntegralInRange(0, 9))}};
    case 6: {
      static const char* const kErrors[] = {"#N/A",   "#DIV/0!", "#VALUE!", "#REF!",
                                            "#NAME?", "#NUM!",   "#NULL!"};
      return {{"error", kErrors[input.ConsumeIntegralInRange(0, 6)]}};
    }
    default:
      return {{"value", input.ConsumeIntegral<std::int32_t>()},
              {"numberFormat", input.ConsumeRandomLengthString(20)},
              {"comment", input.ConsumeRandomLengthString(20)}};
  }
}

// The sample with some cells changed as the input says.
std::string Mutated(const fs::path& file, FuzzedDataProvider& input) {
  std::ifstream in(file);
  json document = json::parse(in);
  auto& sheets = document.at("sheets");
  const int changes = input.ConsumeIntegralInRange(1, 12);
  for (int i = 0; i < changes && input.remaining_bytes() > 0; ++i) {
    auto& sheet = sheets.at(input.ConsumeIntegralInRange<std::size_t>(0, sheets.size() - 1));
    if (sheet.value("type", "worksheet") != "worksheet") continue;
    auto& cells = sheet["cells"];
    if (cells.is_null()) cells = json::object();
    std::string address;
    if (!cells.empty() && input.ConsumeBool()) {
      auto it = cells.begin();
      std::advance(it, input.ConsumeIntegralInRange<std::size_t>(0, cells.size() - 1));
      address = it.key();
    } else {
      address = std::string(1, static_cast<char>('A' + input.ConsumeIntegralInRange(0, 9))) +
                std::to_string(input.ConsumeIntegralInRange(1, 90));
    }
    if (input.ConsumeIntegralInRange(0, 9) == 0) {
      cells.erase(address);
    } else {
      cells[address] = Cell(input);
    }
  }
  return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool Listed(long question, const std::string& cause) {
  if (cause.empty()) return true;
  for (const r58267::Fiche* fiche : {r58267::FicheDeQuestion(question)}) {
    if (fiche != nullptr && !r58267::SensDe(*fiche, cause).empty()) return true;
  }
  return !r58267::SensDe(r58267::CodesGeneraux(static_cast<std::int32_t>(question)), cause).empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto& samples = SolvedSamples();
  const Solved& solved = samples.at(input.ConsumeIntegralInRange<std::size_t>(0, samples.size() - 1));
  static const fs::path scratch = fs::temp_directory_path() / ("r58267-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  std::vector<fs::path> files = solved.files;
  files.front() = scratch / "mutated.json";
  std::ofstream(files.front()) << Mutated(solved.files.front(), input);

  const cli::Outcome outcome = cli::Grade(solved.question, files);
  if (outcome.failed.empty() ? !Listed(solved.question, outcome.causeErreur)
                             : outcome.error->source.rfind("DLL R58267 - CLASSE ", 0) != 0) {
    std::abort();
  }
  return 0;
}
