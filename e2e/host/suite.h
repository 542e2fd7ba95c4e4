// The end-to-end suite of the test host: every sample of every question,
// then the failure paths, each case reported on one line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

struct Tally {
  int passed = 0;
  int failed = 0;
  void Line(bool ok, const std::string& text);
};

struct Sample {
  long question = 0;
  std::vector<std::filesystem::path> documents;
  std::string name;
  bool passed = false;
  std::string causeErreur;
};

// The samples listed by every SAMPLES/NNN/outcomes.json, in folder order.
std::vector<Sample> Samples(const std::filesystem::path& root);

// Every sample through the module, once with the Excel it obtains, once
// with the host's own.
void RunSamples(const std::vector<Sample>& samples, Tally& tally);

// The failure paths: an error's HRESULT and source, Excel's window closed,
// Excel not answering, a dialog left open, the working folder's files,
// and how Quitter gives Excel back.
void RunFailurePaths(const std::vector<Sample>& samples, Tally& tally);

// Question 716 under the regional settings that the caller has set for
// this process (a decimal comma): the rates that InitQuestion gives Excel's
// Scenarios.Add as text, written with the user's separator, must reach
// Excel, which reads them with the same settings, as numbers. Run in a
// process of its own: Wine reads the settings once per process.
void RunRegionalSettings(const std::vector<Sample>& samples, Tally& tally);

// The host releases its last reference on the module from a window
// procedure that InitQuestion's message pump runs (a VB form unloaded
// meanwhile): InitQuestion completes, and the object goes only once it has
// returned.
void RunReleasedDuringInitQuestion(const std::vector<Sample>& samples, Tally& tally);

}  // namespace e2e
