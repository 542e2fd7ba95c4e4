// r58267: plays the host program on the embedded stand-in.
//
// This first version grades the sample workbooks of the exercises that
// exist (`demo`); the `check` command comes with the host module.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "questions/factory.h"
#include "sim/excel_application.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitPassed = 0;
constexpr int kExitNotPassed = 1;
constexpr int kExitUsage = 64;

struct Outcome {
  bool failed = false;  // a call raised an error
  std::string cause;
  std::string error;
};

// Copies the sample into a fresh folder under the name the question
// delivers, prepares the exercise on a new simulated Excel and checks it.
Outcome Grade(long question, const fs::path& sample) {
  Outcome outcome;
  const auto exercise = r58267::CreeQuestion(question);
  if (!exercise) {
    outcome.failed = true;
    outcome.error = "no exercise " + std::to_string(question);
    return outcome;
  }
  const fs::path folder = fs::temp_directory_path() / ("r58267-demo-" + std::to_string(question));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const auto files = exercise->FichiersDeTravail();
  fs::copy_file(sample, folder / files->Item(1).NomDest);
  try {
    std::shared_ptr<excel::Application> excel = sim::ExcelApplication::Create();
    exercise->Prepare(excel, folder.string() + "/");
    exercise->TestePoint();
    outcome.cause = exercise->CauseErreur();
    exercise->Fermer();
  } catch (const vb::Error& error) {
    outcome.failed = true;
    outcome.error = "error " + std::to_string(error.number) + ": " + error.description;
  }
  fs::remove_all(folder);
  return outcome;
}

int Demo(const fs::path& samples) {
  bool allMatch = true;
  std::printf("%-8s %-14s %-10s %-10s %s\n", "question", "sample", "outcome", "expected", "");
  std::vector<fs::path> manifests;
  for (const auto& entry : fs::directory_iterator(samples)) {
    if (entry.is_directory() && fs::exists(entry.path() / "outcomes.json")) manifests.push_back(entry.path());
  }
  std::sort(manifests.begin(), manifests.end());
  for (const auto& folder : manifests) {
    std::ifstream in(folder / "outcomes.json");
    const auto manifest = nlohmann::json::parse(in);
    const long question = manifest.at("question").get<long>();
    for (const auto& sample : manifest.at("samples")) {
      const auto file = sample.at("file").get<std::string>();
      const auto expected = sample.at("causeErreur").get<std::string>();
      const Outcome outcome = Grade(question, folder / file);
      const std::string shown =
          outcome.failed ? outcome.error : (outcome.cause.empty() ? "passed" : outcome.cause);
      const std::string wanted = expected.empty() ? "passed" : expected;
      const bool match = !outcome.failed && outcome.cause == expected;
      allMatch = allMatch && match;
      std::printf("%-8ld %-14s %-10s %-10s %s\n", question, file.c_str(), shown.c_str(), wanted.c_str(),
                  match ? "ok" : "MISMATCH");
    }
  }
  std::printf("%s\n", allMatch ? "all samples match" : "some samples do not match");
  return allMatch ? kExitPassed : kExitNotPassed;
}

void Usage(std::ostream& out) {
  out << "usage: r58267 demo [--samples DIR]\n"
         "       r58267 --help | --version\n"
         "Grades the sample workbooks of chapter 7's exercises on the embedded Excel stand-in.\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << "r58267: missing command; try 'r58267 --help'\n";
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    Usage(std::cout);
    return kExitPassed;
  }
  if (args[0] == "--version") {
    std::cout << "r58267 " << R58267_VERSION << "\n";
    return kExitPassed;
  }
  if (args[0] == "demo") {
    fs::path samples = R58267_SAMPLES_DIR;
    if (args.size() == 3 && args[1] == "--samples") {
      samples = args[2];
    } else if (args.size() != 1) {
      std::cerr << "r58267: demo takes only --samples DIR\n";
      return kExitUsage;
    }
    if (!fs::is_directory(samples)) {
      std::cerr << "r58267: no samples folder " << samples.string() << "\n";
      return kExitUsage;
    }
    return Demo(samples);
  }
  std::cerr << "r58267: unknown command '" << args[0] << "'; try 'r58267 --help'\n";
  return kExitUsage;
}
