// The solved sample of every question, and one exercise played on it
// through the host module on the stand-in, with the automation calls each
// step makes: shared by the call-count test and the benchmarks.
#pragma once

#include <filesystem>
#include <vector>

#include "tests/support/module_scene.h"

namespace test_support {

struct SolvedCase {
  long question = 0;
  std::vector<std::filesystem::path> files;
};

// From samples/NNN/outcomes.json: the first sample that passes, by question.
std::vector<SolvedCase> SolvedCases();

// Copies the case's files into the scene's working folder under the names
// the question delivers.
void Deliver(const ModuleScene& scene, const SolvedCase& solved);

// The calls Excel has answered since the last reset.
long Calls(const ModuleScene& scene);
void ResetCalls(const ModuleScene& scene);

}  // namespace test_support
