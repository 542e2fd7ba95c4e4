// The tests' workbook writer: a written file opens in LibreOffice with the
// document's sheets in order and its constant cells and formulas.
#include "tests/office/support/workbook_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XScenario.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <fstream>
#include <memory>
#include <osl/file.hxx>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "office/office.h"
#include "office/uno_text.h"
#include "sim/address.h"
#include "tests/support/workbook_document.h"

namespace {

namespace fs = std::filesystem;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;
using nlohmann::json;
using test_support::WorkbookFormat;

json Sample(const std::string& relative) {
  std::ifstream in(fs::path(R58267_SAMPLES_DIR) / relative);
  return json::parse(in);
}

// A written file opened in LibreOffice, closed afterwards.
class Loaded {
 public:
  Loaded(const office::Office& office, const fs::path& file) {
    rtl::OUString url;
    osl::FileBase::getFileURLFromSystemPath(office::U(file.string()), url);
    css::uno::Sequence<css::beans::PropertyValue> arguments(2);
    arguments.getArray()[0].Name = "Hidden";
    arguments.getArray()[0].Value <<= true;
    arguments.getArray()[1].Name = "ReadOnly";
    arguments.getArray()[1].Value <<= true;
    component_ = office.Desktop()->loadComponentFromURL(url, "_blank", 0, arguments);
    document_.set(component_, UNO_QUERY_THROW);
  }
  ~Loaded() {
    try {
      Reference<css::util::XCloseable>(component_, UNO_QUERY_THROW)->close(true);
    } catch (...) {
    }
  }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;

  // The worksheets, without LibreOffice's hidden scenario sheets.
  [[nodiscard]] std::vector<Reference<css::sheet::XSpreadsheet>> Sheets() const {
    const Reference<css::container::XIndexAccess> sheets(document_->getSheets(), UNO_QUERY_THROW);
    std::vector<Reference<css::sheet::XSpreadsheet>> result;
    for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
      Reference<css::sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
      if (!Reference<css::sheet::XScenario>(sheet, UNO_QUERY_THROW)->getIsScenario()) result.push_back(sheet);
    }
    return result;
  }

 private:
  Reference<css::lang::XComponent> component_;
  Reference<css::sheet::XSpreadsheetDocument> document_;
};

std::string Name(const Reference<css::sheet::XSpreadsheet>& sheet) {
  return office::Utf8(Reference<css::container::XNamed>(sheet, UNO_QUERY_THROW)->getName());
}

struct WriterCase {
  const char* sample;
  WorkbookFormat format;
  const char* extension;
};

void PrintTo(const WriterCase& written, std::ostream* out) {
  *out << written.sample << "." << written.extension;
}

class WorkbookWriterTest : public testing::TestWithParam<WriterCase> {
 protected:
  static void SetUpTestSuite() { office_ = std::make_unique<office::Office>(); }
  static void TearDownTestSuite() { office_.reset(); }

  static std::unique_ptr<office::Office> office_;
  test_support::TempFolder folder_;
};

std::unique_ptr<office::Office> WorkbookWriterTest::office_;

// Every sheet comes back in order, every constant text, number and truth
// value as written, every formula cell as a formula.
TEST_P(WorkbookWriterTest, WrittenFileLoadsBackWithItsSheetsAndCells) {
  const json document = Sample(std::string(GetParam().sample) + "/solved.json");
  const fs::path file = folder_.Path() / (std::string("written.") + GetParam().extension);
  test_support::WriteWorkbook(*office_, document, file, GetParam().format);
  ASSERT_TRUE(fs::is_regular_file(file));

  const Loaded loaded(*office_, file);
  const auto sheets = loaded.Sheets();
  ASSERT_EQ(sheets.size(), document["sheets"].size());
  int checked = 0;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const json& expected = document["sheets"][i];
    EXPECT_EQ(Name(sheets[i]), expected["name"].get<std::string>());
    const json cells = expected.value("cells", json::object());
    for (const auto& [address, cell] : cells.items()) {
      const auto ref = sim::ParseA1Cell(address);
      ASSERT_TRUE(ref.has_value()) << address;
      const Reference<css::table::XCell> read = sheets[i]->getCellByPosition(
          static_cast<sal_Int32>(ref->column - 1), static_cast<sal_Int32>(ref->row - 1));
      const std::string at = expected["name"].get<std::string>() + "!" + address;
      if (cell.is_object() && cell.contains("formula")) {
        EXPECT_EQ(read->getType(), css::table::CellContentType_FORMULA) << at;
      } else if (cell.is_string()) {
        EXPECT_EQ(office::Utf8(Reference<css::text::XText>(read, UNO_QUERY_THROW)->getString()),
                  cell.get<std::string>())
            << at;
      } else if (cell.is_boolean()) {
        EXPECT_EQ(read->getValue(), cell.get<bool>() ? 1.0 : 0.0) << at;
      } else if (cell.is_number()) {
        // .xlsx and .ods store numbers with 15 significant digits.
        const double number = cell.get<double>();
        EXPECT_NEAR(read->getValue(), number, std::abs(number) * 1e-14) << at;
      } else {
        continue;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, WorkbookWriterTest,
    testing::Values(
        WriterCase{"701", WorkbookFormat::kXls, "xls"}, WriterCase{"701", WorkbookFormat::kXlsx, "xlsx"},
        WriterCase{"705", WorkbookFormat::kXls, "xls"}, WriterCase{"705", WorkbookFormat::kXlsx, "xlsx"},
        WriterCase{"713", WorkbookFormat::kXls, "xls"}, WriterCase{"713", WorkbookFormat::kXlsx, "xlsx"},
        WriterCase{"714", WorkbookFormat::kXls, "xls"}, WriterCase{"714", WorkbookFormat::kXlsx, "xlsx"},
        WriterCase{"717", WorkbookFormat::kXls, "xls"}, WriterCase{"717", WorkbookFormat::kXlsx, "xlsx"},
        WriterCase{"717", WorkbookFormat::kOds, "ods"}),
    [](const testing::TestParamInfo<WriterCase>& written) {
      return std::string("Sample") + written.param.sample + "_" + written.param.extension;
    });

// What the writer cannot write is refused with a message that says so.
TEST_F(WorkbookWriterTest, ChartSheetIsRefused) {
  const json document = {{"sheets", {{{"name", "Graphique1"}, {"type", "chart"}}}}};
  try {
    test_support::WriteWorkbook(*office_, document, folder_.Path() / "chart.xls", WorkbookFormat::kXls);
    FAIL() << "a chart sheet was written";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("chart"), std::string::npos) << error.what();
  }
}

// A formula LibreOffice does not understand is refused, not written as
// an error.
TEST_F(WorkbookWriterTest, FormulaLibreOfficeDoesNotKnowIsRefused) {
  const json document = {
      {"sheets",
       {{{"name", "Feuil1"}, {"cells", {{"B2", {{"formula", "=NOSUCHFUNCTION(A1)"}, {"value", 1}}}}}}}}};
  try {
    test_support::WriteWorkbook(*office_, document, folder_.Path() / "unknown.xls", WorkbookFormat::kXls);
    FAIL() << "an unknown function was written";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("NOSUCHFUNCTION"), std::string::npos) << error.what();
  }
}

}  // namespace
