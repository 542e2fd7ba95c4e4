#include "cli/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(BatchReportTest, CountsBarsAndRowsWithTheirTextsEscaped) {
  const std::vector<cli::BatchRow> rows{
      {"a.xls", true, "", "The exercise is passed.", ""},
      {"b.xls", false, "C", "B82 is wrong.", ""},
      {"c.xls", false, "C", "B82 is wrong.", ""},
      {"d.xls", false, "B", "B81 is empty.", ""},
      {"<script>alert('x')</script>.xls", std::nullopt, "", "", "import failed: \"x\" & <y>"},
  };
  const std::string page = cli::BatchReport(705, rows, "2026-12-08 10:00");
  EXPECT_NE(page.find("5 learner(s): 1 passed, 3 not passed, 1 could not be graded"), std::string::npos);
  // Bars in order (passed, causes, not graded), as long as their share of
  // the longest (C: 2).
  const std::size_t passed = page.find("width: 50%; background: #2e7d32");
  const std::size_t b = page.find("width: 50%; background: #c62828");
  const std::size_t c = page.find("width: 100%; background: #c62828");
  const std::size_t ungraded = page.find("width: 50%; background: #757575");
  EXPECT_TRUE(passed < b && b < c && c < ungraded) << page;
  EXPECT_EQ(page.find("<script>alert"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;.xls"), std::string::npos);
  EXPECT_NE(page.find("import failed: &quot;x&quot; &amp; &lt;y&gt;"), std::string::npos);
}

}  // namespace
