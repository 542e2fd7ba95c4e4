// Benchmarks of the host module on the stand-in: each question's TestePoint
// on its solved sample, the whole InitQuestion-TestePoint-Fermer cycle, and
// the document reader on a 1 MB document. Each reports the automation calls
// it makes ("calls"), which is what a check costs on Windows.
#include <benchmark/benchmark.h>

#include <string>

#include "sim/document.h"
#include "tests/support/solved_cases.h"

namespace {

using test_support::ModuleScene;
using test_support::SolvedCase;

void TestePoint(benchmark::State& state, const SolvedCase& solved) {
  ModuleScene scene;
  test_support::Deliver(scene, solved);
  scene.Init(solved.question);
  long calls = 0;
  for (auto _ : state) {
    test_support::ResetCalls(scene);
    scene.module->TestePoint();
    calls = test_support::Calls(scene);
  }
  state.counters["calls"] = static_cast<double>(calls);
}

// A cycle after the first: Excel is already held, as for every exercise
// but the first of a session.
void Cycle(benchmark::State& state, const SolvedCase& solved) {
  ModuleScene scene;
  test_support::Deliver(scene, solved);
  scene.Init(solved.question);
  scene.module->Fermer();
  long calls = 0;
  for (auto _ : state) {
    test_support::Deliver(scene, solved);
    test_support::ResetCalls(scene);
    scene.Init(solved.question);
    scene.module->TestePoint();
    scene.module->Fermer();
    calls = test_support::Calls(scene);
  }
  state.counters["calls"] = static_cast<double>(calls);
}

// About 1 MB: three sheets of 4,400 rows, a number, a text and a formula
// on each row.
std::string LargeDocument() {
  std::string text = R"({"sheets":[)";
  for (int sheet = 1; sheet <= 3; ++sheet) {
    text += (sheet > 1 ? "," : "") + std::string(R"({"name":"S)") + std::to_string(sheet) + R"(","cells":{)";
    for (int row = 1; row <= 4400; ++row) {
      const std::string r = std::to_string(row);
      text += (row > 1 ? "," : "") + std::string(R"("A)") + r + R"(":)" + r + R"(,"B)" + r + R"(":"Ville )" +
              r + R"(","C)" + r + R"(":{"formula":"=A)" + r + R"(*2","value":)" + std::to_string(row * 2) +
              "}";
    }
    text += "}}";
  }
  return text + "]}";
}

void ReadDocument(benchmark::State& state) {
  const std::string text = LargeDocument();
  for (auto _ : state) benchmark::DoNotOptimize(sim::ParseWorkbookDocument(text, "large.xls"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}

}  // namespace

int main(int argc, char** argv) {
  for (const SolvedCase& solved : test_support::SolvedCases()) {
    const std::string q = std::to_string(solved.question);
    benchmark::RegisterBenchmark(("TestePoint/" + q).c_str(), TestePoint, solved)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Cycle/" + q).c_str(), Cycle, solved)->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("ReadDocument/1MB", ReadDocument)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
