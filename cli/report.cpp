#include "cli/report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

namespace cli {
namespace {

// The chart's colours: the tests find the bars by them.
constexpr const char* kPassedColour = "#2e7d32";
constexpr const char* kCauseColour = "#c62828";
constexpr const char* kUngradedColour = "#757575";

struct Bar {
  std::string label;
  std::string explanation;
  std::size_t count = 0;
  const char* colour = kCauseColour;
};

const char* const kStyle = R"(
body { font-family: sans-serif; margin: 24px; color: #222; }
h1 { font-size: 22px; margin: 0 0 4px; }
.date { color: #666; margin-bottom: 16px; }
.summary { font-size: 18px; margin-bottom: 20px; }
table.chart { border-collapse: collapse; margin-bottom: 24px; width: 100%; max-width: 900px; }
table.chart td { padding: 3px 6px; vertical-align: middle; }
td.label { width: 130px; font-weight: bold; white-space: nowrap; }
td.track { width: 400px; }
div.bar { height: 18px; }
td.count { width: 40px; text-align: right; }
td.meaning { color: #444; font-size: 14px; }
table.learners { border-collapse: collapse; }
table.learners th, table.learners td { border: 1px solid #ccc; padding: 4px 8px; text-align: left; }
table.learners th { background: #eee; cursor: pointer; }
)";

const char* const kSortScript = R"(
document.querySelectorAll('table.learners th').forEach(function (th, column) {
  th.addEventListener('click', function () {
    var body = th.closest('table').tBodies[0];
    var rows = Array.prototype.slice.call(body.rows);
    var up = th.dataset.up !== '1';
    th.dataset.up = up ? '1' : '0';
    rows.sort(function (a, b) {
      var x = a.cells[column].textContent, y = b.cells[column].textContent;
      return (x < y ? -1 : x > y ? 1 : 0) * (up ? 1 : -1);
    });
    rows.forEach(function (row) { body.appendChild(row); });
  });
});
)";

}  // namespace

std::string HtmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string BatchReport(long question, const std::vector<BatchRow>& rows, const std::string& date) {
  // One bar per outcome: passed, each cause in code order, could not be
  // graded.
  Bar passed{"passed", "The exercise is passed.", 0, kPassedColour};
  Bar ungraded{"not graded", "The workbook could not be read or a call failed.", 0, kUngradedColour};
  std::map<std::string, Bar> causes;
  for (const BatchRow& row : rows) {
    if (!row.passed) {
      ++ungraded.count;
    } else if (*row.passed) {
      ++passed.count;
    } else {
      const std::string label = row.cause.empty() ? "(general error)" : row.cause;
      Bar& bar = causes[label];
      bar.label = label;
      if (bar.explanation.empty()) bar.explanation = row.explanation;
      ++bar.count;
    }
  }
  std::vector<Bar> bars;
  if (passed.count > 0) bars.push_back(passed);
  for (auto& [label, bar] : causes) bars.push_back(std::move(bar));
  if (ungraded.count > 0) bars.push_back(ungraded);
  std::size_t most = 1;
  for (const Bar& bar : bars) most = std::max(most, bar.count);

  const std::size_t notPassed = rows.size() - passed.count - ungraded.count;
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Question " +
      std::to_string(question) + ": results</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  page += "<h1>Question " + std::to_string(question) + ": results</h1>\n";
  page += "<div class=\"date\">" + HtmlText(date) + "</div>\n";
  page += "<div class=\"summary\" id=\"summary\">" + std::to_string(rows.size()) +
          " learner(s): " + std::to_string(passed.count) + " passed, " + std::to_string(notPassed) +
          " not passed, " + std::to_string(ungraded.count) + " could not be graded</div>\n";
  page += "<table class=\"chart\">\n";
  for (const Bar& bar : bars) {
    // Whole percent: the bar's length is its count's share of the longest.
    const std::size_t percent = (bar.count * 100 + most / 2) / most;
    page += "<tr><td class=\"label\">" + HtmlText(bar.label) +
            "</td><td class=\"track\"><div class=\"bar\" style=\"width: " + std::to_string(percent) +
            "%; background: " + bar.colour + ";\"></div></td><td class=\"count\">" +
            std::to_string(bar.count) + "</td><td class=\"meaning\">" + HtmlText(bar.explanation) +
            "</td></tr>\n";
  }
  page +=
      "</table>\n<table class=\"learners\">\n<thead><tr><th>File</th><th>Outcome</th><th>Cause</th>"
      "<th>Explanation</th><th>Error</th></tr></thead>\n<tbody>\n";
  for (const BatchRow& row : rows) {
    const std::string outcome = !row.passed ? "not graded" : *row.passed ? "passed" : "not passed";
    page += "<tr><td>" + HtmlText(row.file) + "</td><td>" + outcome + "</td><td>" + HtmlText(row.cause) +
            "</td><td>" + HtmlText(row.explanation) + "</td><td>" + HtmlText(row.error) + "</td></tr>\n";
  }
  page += "</tbody>\n</table>\n<script>" + std::string(kSortScript) + "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace cli
