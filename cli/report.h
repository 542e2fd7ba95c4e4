// A batch's results as one self-contained HTML page for the trainer: the
// question, the date, how many passed, a bar chart of the causes with their
// explanations, and one row per learner. No network, no script needed to
// read it (a small script only sorts the table when a heading is clicked).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

// One learner's row, as the CSV gives it.
struct BatchRow {
  std::string file;
  std::optional<bool> passed;  // none: could not be graded
  std::string cause;
  std::string explanation;
  std::string error;
};

// `date`: as the page shows it ("2026-12-08 14:05").
[[nodiscard]] std::string BatchReport(long question, const std::vector<BatchRow>& rows,
                                      const std::string& date);

// `text` made safe inside HTML text and attribute values.
[[nodiscard]] std::string HtmlText(const std::string& text);

}  // namespace cli
