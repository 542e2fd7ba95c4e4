#include "tests/office/support/workbook_writer.h"

#include <cctype>
#include <chrono>
#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XControlModel.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/drawing/XControlShape.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/AddressConvention.hpp>
#include <com/sun/star/sheet/DataPilotFieldOrientation.hpp>
#include <com/sun/star/sheet/FormulaLanguage.hpp>
#include <com/sun/star/sheet/FormulaMapGroup.hpp>
#include <com/sun/star/sheet/GeneralFunction.hpp>
#include <com/sun/star/sheet/TableOperationMode.hpp>
#include <com/sun/star/sheet/XArrayFormulaTokens.hpp>
#include <com/sun/star/sheet/XCalculatable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XDataPilotDescriptor.hpp>
#include <com/sun/star/sheet/XDataPilotTables.hpp>
#include <com/sun/star/sheet/XDataPilotTablesSupplier.hpp>
#include <com/sun/star/sheet/XFormulaOpCodeMapper.hpp>
#include <com/sun/star/sheet/XFormulaParser.hpp>
#include <com/sun/star/sheet/XFormulaTokens.hpp>
#include <com/sun/star/sheet/XMultipleOperation.hpp>
#include <com/sun/star/sheet/XScenarios.hpp>
#include <com/sun/star/sheet/XScenariosSupplier.hpp>
#include <com/sun/star/sheet/XSheetAnnotations.hpp>
#include <com/sun/star/sheet/XSheetAnnotationsSupplier.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/MalformedNumberFormatException.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/util/XProtectable.hpp>
#include <cstddef>
#include <map>
#include <optional>
#include <osl/file.hxx>
#include <regex>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "office/uno_text.h"
#include "sim/address.h"

namespace test_support {

namespace {

namespace fs = std::filesystem;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using nlohmann::json;
using office::U;
using office::Utf8;
using rtl::OUString;

[[noreturn]] void Fail(const std::string& at, const std::string& message) {
  throw std::runtime_error("cannot write the workbook: " + at + message);
}

std::string TextOf(const json& j, const char* field, const std::string& fallback = "") {
  const auto found = j.find(field);
  if (found == j.end() || found->is_null()) return fallback;
  if (!found->is_string()) Fail("", std::string("\"") + field + "\" is not a text: " + found->dump());
  return found->get<std::string>();
}

// {"date": …} and {"error": …}: a value, not a cell with fields.
bool IsValueObject(const json& j) {
  return j.is_object() && j.size() == 1 && (j.contains("date") || j.contains("error"));
}

// "YYYY-MM-DD" → the serial number of LibreOffice's (and Excel's, from
// March 1900 on) date system: days since 1899-12-30.
double DateSerial(const json& date, const std::string& at) {
  namespace chrono = std::chrono;
  const std::string text = date.is_string() ? date.get<std::string>() : "";
  static const std::regex kIsoDate(R"((\d{4})-(\d{2})-(\d{2}))");
  std::smatch parts;
  if (!std::regex_match(text, parts, kIsoDate)) Fail(at, "a date is written {\"date\": \"YYYY-MM-DD\"}");
  const chrono::year_month_day day{chrono::year{std::stoi(parts[1])},
                                   chrono::month{static_cast<unsigned>(std::stoi(parts[2]))},
                                   chrono::day{static_cast<unsigned>(std::stoi(parts[3]))}};
  if (!day.ok()) Fail(at, "no such date: " + text);
  const chrono::sys_days epoch = chrono::year{1899} / chrono::December / 30;
  return static_cast<double>((chrono::sys_days{day} - epoch).count());
}

sal_Int32 Narrow(long value) { return static_cast<sal_Int32>(value); }

// A 1-based sim::Area as LibreOffice's 0-based range address.
css::table::CellRangeAddress RangeAddress(sal_Int16 sheet, const sim::Area& area) {
  return {sheet, Narrow(area.left - 1), Narrow(area.top - 1), Narrow(area.right - 1),
          Narrow(area.bottom - 1)};
}

sim::Area ParseArea(const std::string& text, const std::string& at) {
  const std::optional<sim::Area> area = sim::ParseA1Area(text);
  if (!area) Fail(at, "not a range address: \"" + text + "\"");
  return *area;
}

// The document's pivot function (a name or Excel's code) as LibreOffice's.
css::sheet::GeneralFunction PivotFunction(const json& function, const std::string& at) {
  using css::sheet::GeneralFunction;
  static const struct {
    const char* name;
    long code;
    GeneralFunction function;
  } kFunctions[] = {{"sum", -4157, GeneralFunction::GeneralFunction_SUM},
                    {"count", -4112, GeneralFunction::GeneralFunction_COUNT},
                    {"average", -4106, GeneralFunction::GeneralFunction_AVERAGE},
                    {"max", -4136, GeneralFunction::GeneralFunction_MAX},
                    {"min", -4139, GeneralFunction::GeneralFunction_MIN},
                    {"product", -4149, GeneralFunction::GeneralFunction_PRODUCT}};
  if (function.is_null()) return GeneralFunction::GeneralFunction_SUM;
  std::string name = function.is_string() ? function.get<std::string>() : "";
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& entry : kFunctions) {
    if (name == entry.name || (function.is_number_integer() && function.get<long>() == entry.code)) {
      return entry.function;
    }
  }
  Fail(at, "unknown pivot function " + function.dump());
}

// Excel's bare TRUE and FALSE as the calls TRUE() and FALSE(): the parser
// reads a bare one as the number 1 or 0, which would reach the file as a
// number. The calls reach .xls as Excel's truth values, and .xlsx as the
// calls (LibreOffice keeps no bare truth value in a formula).
std::string TruthValuesAsCalls(const std::string& formula) {
  std::string result;
  bool inText = false;
  bool inSheetName = false;
  const auto wordCharacter = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
  };
  for (std::size_t i = 0; i < formula.size(); ++i) {
    const char c = formula[i];
    if (c == '"' && !inSheetName) inText = !inText;
    if (c == '\'' && !inText) inSheetName = !inSheetName;
    if (!inText && !inSheetName && (i == 0 || !wordCharacter(formula[i - 1]))) {
      bool replaced = false;
      for (const std::string word : {"TRUE", "FALSE"}) {
        if (formula.size() - i < word.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < word.size(); ++k) {
          same = same && std::toupper(static_cast<unsigned char>(formula[i + k])) == word[k];
        }
        const std::size_t after = i + word.size();
        const char next = after < formula.size() ? formula[after] : '\0';
        // Not a longer name, a call already, or a sheet name ("FALSE!A1").
        if (same && !wordCharacter(next) && next != '(' && next != '!') {
          result += word + "()";
          i = after - 1;
          replaced = true;
          break;
        }
      }
      if (replaced) continue;
    }
    result += c;
  }
  return result;
}

// The document closes whatever happens.
class ClosingGuard {
 public:
  explicit ClosingGuard(Reference<css::lang::XComponent> document) : document_(std::move(document)) {}
  ~ClosingGuard() {
    try {
      const Reference<css::util::XCloseable> closeable(document_, UNO_QUERY);
      if (closeable.is()) {
        closeable->close(true);
      } else if (document_.is()) {
        document_->dispose();
      }
    } catch (...) {
      // Closing after a failure: the failure is what the caller sees.
    }
  }
  ClosingGuard(const ClosingGuard&) = delete;
  ClosingGuard& operator=(const ClosingGuard&) = delete;

 private:
  Reference<css::lang::XComponent> document_;
};

// LibreOffice's error codes that mean a formula did not parse (Err:501
// invalid character … Err:511 missing variable).
bool IsSyntaxError(sal_Int32 error) { return error == 501 || error == 504 || (error >= 507 && error <= 512); }
constexpr sal_Int32 kNameError = 525;  // #NAME?: an unknown function or name

class Writer {
 public:
  explicit Writer(const Reference<css::lang::XComponent>& document)
      : document_(document, UNO_QUERY_THROW),
        factory_(document, UNO_QUERY_THROW),
        formats_(
            Reference<css::util::XNumberFormatsSupplier>(document, UNO_QUERY_THROW)->getNumberFormats()) {
    // English keywords name the standard format "General".
    OUString standard;
    formats_->getByKey(StandardFormat(css::util::NumberFormat::NUMBER))->getPropertyValue("FormatString") >>=
        standard;
    officeIsEnglish_ = standard == "General";
    // The parser reads Excel's English A1 syntax: addresses as Excel
    // writes them, function names and separators from Excel's map.
    parser_.set(factory_->createInstance("com.sun.star.sheet.FormulaParser"), UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> parserProperties(parser_, UNO_QUERY_THROW);
    // English numbers ("0.06") whatever the office's locale; set before
    // the map, which it rebuilds.
    parserProperties->setPropertyValue("CompileEnglish", Any(true));
    parserProperties->setPropertyValue("FormulaConvention", Any(css::sheet::AddressConvention::XL_A1));
    const Reference<css::sheet::XFormulaOpCodeMapper> mapper(
        factory_->createInstance("com.sun.star.sheet.FormulaOpCodeMapper"), UNO_QUERY_THROW);
    parserProperties->setPropertyValue(
        "OpCodeMap", Any(mapper->getAvailableMappings(css::sheet::FormulaLanguage::XL_ENGLISH,
                                                      css::sheet::FormulaMapGroup::ALL_EXCEPT_SPECIAL)));
  }

  void Write(const json& document) {
    const json& sheets = document.at("sheets");
    MakeSheets(sheets);
    // Sheets are found by name: a scenario inserts a hidden sheet after
    // its own, which moves the later sheets.
    for (const json& sheet : sheets) {
      const auto [spreadsheet, index, at] = Find(sheet);
      if (const auto cells = sheet.find("cells"); cells != sheet.end()) {
        for (const auto& [address, cell] : cells->items()) {
          WriteCell(index, spreadsheet, address, cell, at + "cell " + address + ": ");
        }
      }
      for (const json& array : sheet.value("arrays", json::array()))
        WriteArray(index, spreadsheet, array, at);
      WriteShapes(index, sheet.value("shapes", json::array()), at);
    }
    // Pivot tables once every sheet holds its cells: a source may be on a
    // later sheet.
    for (const json& sheet : sheets) {
      const auto [spreadsheet, index, at] = Find(sheet);
      const json tables = sheet.value("pivotTables", json::array());
      for (std::size_t t = 0; t < tables.size(); ++t) {
        WritePivotTable(index, spreadsheet, tables[t], t, at + "pivot table " + std::to_string(t + 1) + ": ");
      }
    }
    for (const json& sheet : sheets) {
      for (const json& scenario : sheet.value("scenarios", json::array())) {
        const auto [spreadsheet, index, at] = Find(sheet);
        WriteScenario(index, spreadsheet, scenario, at);
      }
      // "consolidation" is not written: LibreOffice writes no Excel record
      // for its consolidation settings; the tests add those records to the
      // file afterwards.
    }
    // The files keep the results LibreOffice computed: every formula is
    // computed once all the cells it reads are there.
    Reference<css::sheet::XCalculatable>(document_, UNO_QUERY_THROW)->calculateAll();
    // Protection last: a protected sheet refuses the changes above.
    for (const json& sheet : sheets) {
      if (sheet.value("protected", false)) {
        const Reference<css::util::XProtectable> protectable(std::get<0>(Find(sheet)), UNO_QUERY_THROW);
        protectable->protect(U(TextOf(sheet, "password")));
      }
    }
    // Hidden before the active sheet is chosen (the export would show the
    // sheet its view last had). LibreOffice has no very hidden state: such
    // a sheet is written hidden.
    for (const json& sheet : sheets) {
      if (TextOf(sheet, "visible", "visible") == "visible") continue;
      const Reference<css::beans::XPropertySet> properties(std::get<0>(Find(sheet)), UNO_QUERY_THROW);
      properties->setPropertyValue("IsVisible", css::uno::Any(false));
    }
    // By default the first visible sheet is active, as in Excel.
    std::string active = sheets.at(0).at("name").get<std::string>();
    for (const json& sheet : sheets) {
      if (TextOf(sheet, "visible", "visible") != "visible") continue;
      active = TextOf(sheet, "name");
      break;
    }
    Activate(TextOf(document, "activeSheet", active));
  }

  void Store(const fs::path& file, const char* filter, const std::string& password) {
    OUString url;
    const fs::path absolute = fs::absolute(file);
    if (osl::FileBase::getFileURLFromSystemPath(U(absolute.string()), url) != osl::FileBase::E_None) {
      Fail("", "no file URL for '" + absolute.string() + "'");
    }
    Sequence<css::beans::PropertyValue> arguments(password.empty() ? 2 : 3);
    arguments.getArray()[0].Name = "FilterName";
    arguments.getArray()[0].Value <<= OUString::createFromAscii(filter);
    arguments.getArray()[1].Name = "Overwrite";
    arguments.getArray()[1].Value <<= true;
    if (!password.empty()) {
      arguments.getArray()[2].Name = "Password";
      arguments.getArray()[2].Value <<= U(password);
    }
    try {
      Reference<css::frame::XStorable>(document_, UNO_QUERY_THROW)->storeToURL(url, arguments);
    } catch (const css::uno::Exception& error) {
      Fail("", "LibreOffice could not store '" + absolute.string() + "' (" + filter +
                   "): " + Utf8(error.Message));
    }
  }

 private:
  // The document's sheet: LibreOffice's sheet, its current position, and
  // the start of the messages about it.
  [[nodiscard]] std::tuple<Reference<css::sheet::XSpreadsheet>, sal_Int16, std::string> Find(
      const json& sheet) const {
    const std::string name = sheet.at("name").get<std::string>();
    const Reference<css::sheet::XSpreadsheet> spreadsheet(document_->getSheets()->getByName(U(name)),
                                                          UNO_QUERY_THROW);
    const sal_Int16 index =
        Reference<css::sheet::XCellRangeAddressable>(spreadsheet, UNO_QUERY_THROW)->getRangeAddress().Sheet;
    return {spreadsheet, index, "sheet '" + name + "': "};
  }

  // The document's sheets, in order, in place of the new document's own.
  void MakeSheets(const json& sheets) {
    const Reference<css::sheet::XSpreadsheets> spreadsheets = document_->getSheets();
    const Reference<css::container::XIndexAccess> indexed(spreadsheets, UNO_QUERY_THROW);
    // The new document's own sheets are renamed out of the way of the
    // document's, which are added after them, and then removed.
    const sal_Int32 initial = indexed->getCount();
    std::vector<OUString> placeholders;
    for (sal_Int32 i = 0; i < initial; ++i) {
      placeholders.push_back(U("r58267 placeholder " + std::to_string(i)));
      Reference<css::container::XNamed>(indexed->getByIndex(i), UNO_QUERY_THROW)
          ->setName(placeholders.back());
    }
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      const json& sheet = sheets[i];
      const std::string name = sheet.at("name").get<std::string>();
      if (spreadsheets->hasByName(U(name))) Fail("", "two sheets are named '" + name + "'");
      spreadsheets->insertNewByName(U(name), static_cast<sal_Int16>(initial + static_cast<sal_Int32>(i)));
    }
    for (const OUString& placeholder : placeholders) spreadsheets->removeByName(placeholder);
  }

  // Number formats are added in the office's own locale, so that the
  // files carry no locale prefix ("[$-409]mmmm" for an en-US one). Excel's
  // codes need no change when that locale is English (LibreOffice's
  // default with LANG unset or C): LibreOffice reads keywords in either
  // case and writes them back in Excel's syntax. In another locale
  // LibreOffice's conversion from en-US changes some ("#,##0.00 €" becomes
  // "#,##0.00,\€" in French), so the writer refuses.
  sal_Int32 FormatKey(const std::string& excel, const std::string& at) {
    if (const auto known = formatKeys_.find(excel); known != formatKeys_.end()) return known->second;
    if (!officeIsEnglish_) {
      Fail(at, "LibreOffice's locale is not English, so the number format \"" + excel +
                   "\" would not be written as it is (start LibreOffice with LANG=C)");
    }
    const OUString code = U(excel);
    const css::lang::Locale office;  // empty: the office's locale
    sal_Int32 key = formats_->queryKey(code, office, false);
    if (key < 0) {
      try {
        key = formats_->addNew(code, office);
      } catch (const css::util::MalformedNumberFormatException& error) {
        Fail(at, "LibreOffice rejects the number format \"" + excel + "\": " + Utf8(error.Message));
      }
    }
    formatKeys_.emplace(excel, key);
    return key;
  }

  sal_Int32 StandardFormat(sal_Int16 type) {
    return Reference<css::util::XNumberFormatTypes>(formats_, UNO_QUERY_THROW)
        ->getStandardFormat(type, css::lang::Locale());
  }

  Sequence<css::sheet::FormulaToken> Parse(const std::string& formula,
                                           const css::table::CellAddress& position, const std::string& at) {
    if (formula.empty() || formula.front() != '=') Fail(at, "a formula starts with \"=\": " + formula);
    try {
      return parser_->parseFormula(U(TruthValuesAsCalls(formula.substr(1))), position);
    } catch (const css::uno::Exception& error) {
      Fail(at, "LibreOffice cannot parse " + formula + ": " + Utf8(error.Message));
    }
  }

  // A formula that LibreOffice parsed into nonsense shows as a syntax
  // error (or #NAME? for a function it does not know) once computed.
  static void CheckParsed(const Reference<css::table::XCell>& cell, const std::string& formula,
                          const json* value, const std::string& at) {
    const sal_Int32 error = cell->getError();
    const bool nameExpected = value != nullptr && value->is_object() && value->value("error", "") == "#NAME?";
    if (IsSyntaxError(error) || (error == kNameError && !nameExpected)) {
      Fail(at, "LibreOffice did not understand " + formula + " (Err:" + std::to_string(error) + ")");
    }
  }

  static void WriteValue(const Reference<css::table::XCell>& cell, const json& value, const std::string& at) {
    if (value.is_string()) {
      Reference<css::text::XText>(cell, UNO_QUERY_THROW)->setString(U(value.get<std::string>()));
    } else if (value.is_boolean()) {
      cell->setValue(value.get<bool>() ? 1 : 0);
    } else if (value.is_number()) {
      cell->setValue(value.get<double>());
    } else if (value.is_object() && value.contains("date")) {
      cell->setValue(DateSerial(value["date"], at));
    } else if (value.is_object() && value.contains("error")) {
      // LibreOffice has no constant error value, and Excel's error
      // literals ("=#N/A") do not come through its formula parser.
      Fail(at, "LibreOffice cannot write a constant error value (" + value.dump() + ")");
    } else if (!value.is_null()) {
      Fail(at, "not a value: " + value.dump());
    }
  }

  void WriteCell(sal_Int16 sheetIndex, const Reference<css::sheet::XSpreadsheet>& sheet,
                 const std::string& address, const json& j, const std::string& at) {
    const sim::Area area = ParseArea(address, at);
    if (area.Rows() != 1 || area.Columns() != 1) Fail(at, "not a cell address");
    const Reference<css::table::XCell> cell =
        sheet->getCellByPosition(Narrow(area.left - 1), Narrow(area.top - 1));
    const css::table::CellAddress position{sheetIndex, Narrow(area.left - 1), Narrow(area.top - 1)};
    const bool fields = j.is_object() && !IsValueObject(j);
    const json* value = fields ? (j.contains("value") ? &j["value"] : nullptr) : &j;
    const std::string formula = fields ? TextOf(j, "formula") : "";
    const std::string numberFormat = fields ? TextOf(j, "numberFormat") : "";
    if (!formula.empty()) {
      // The value beside a formula is Excel's cached result: LibreOffice
      // computes its own.
      Reference<css::sheet::XFormulaTokens>(cell, UNO_QUERY_THROW)->setTokens(Parse(formula, position, at));
      CheckParsed(cell, formula, value, at);
    } else if (value != nullptr) {
      WriteValue(cell, *value, at);
    }
    // A truth value is a number with a BOOLEAN format in LibreOffice; with
    // that format the Excel filters write a real TRUE/FALSE cell. A date
    // is a number with a date format.
    sal_Int32 format = -1;
    if (value != nullptr && value->is_boolean() && formula.empty()) {
      format = StandardFormat(css::util::NumberFormat::LOGICAL);
    } else if (!numberFormat.empty()) {
      format = FormatKey(numberFormat, at);
    } else if (value != nullptr && value->is_object() && value->contains("date")) {
      format = FormatKey(kDateFormat, at);
    }
    if (format >= 0) {
      Reference<css::beans::XPropertySet>(cell, UNO_QUERY_THROW)
          ->setPropertyValue("NumberFormat", Any(format));
    }
    if (fields && j.contains("comment")) {
      const Reference<css::sheet::XSheetAnnotations> annotations =
          Reference<css::sheet::XSheetAnnotationsSupplier>(sheet, UNO_QUERY_THROW)->getAnnotations();
      annotations->insertNew(position, U(TextOf(j, "comment")));
    }
  }

  void WriteArray(sal_Int16 sheetIndex, const Reference<css::sheet::XSpreadsheet>& sheet, const json& array,
                  const std::string& sheetAt) {
    const std::string rangeText = TextOf(array, "range");
    const std::string at = sheetAt + "array " + rangeText + ": ";
    const sim::Area area = ParseArea(rangeText, at);
    const std::string formula = TextOf(array, "formula");
    static const std::regex kTable(R"(=\s*TABLE\(\s*([A-Za-z$0-9]*)\s*[,;]\s*([A-Za-z$0-9]*)\s*\)\s*)",
                                   std::regex::icase);
    std::smatch table;
    if (std::regex_match(formula, table, kTable)) {
      WriteDataTable(sheetIndex, sheet, area, table[1], table[2], at);
      return;
    }
    const Reference<css::table::XCellRange> range = sheet->getCellRangeByPosition(
        Narrow(area.left - 1), Narrow(area.top - 1), Narrow(area.right - 1), Narrow(area.bottom - 1));
    const css::table::CellAddress topLeft{sheetIndex, Narrow(area.left - 1), Narrow(area.top - 1)};
    Reference<css::sheet::XArrayFormulaTokens>(range, UNO_QUERY_THROW)
        ->setArrayTokens(Parse(formula, topLeft, at));
    CheckParsed(range->getCellByPosition(0, 0), formula, nullptr, at);
  }

  // Excel's data table =TABLE(row input, column input) over `area` (the
  // results) is LibreOffice's multiple operation over the block that also
  // holds the formula(s) and the substituted values: the row above and the
  // column left of the results.
  void WriteDataTable(sal_Int16 sheetIndex, const Reference<css::sheet::XSpreadsheet>& sheet,
                      const sim::Area& area, const std::string& rowInput, const std::string& columnInput,
                      const std::string& at) {
    if (area.top < 2 || area.left < 2) Fail(at, "a data table needs a row above and a column left of it");
    const auto cellAddress = [&](const std::string& text) {
      if (text.empty()) return css::table::CellAddress{};
      const sim::Area input = ParseArea(text, at);
      return css::table::CellAddress{sheetIndex, Narrow(input.left - 1), Narrow(input.top - 1)};
    };
    sim::Area block{area.top - 1, area.left - 1, area.bottom, area.right};
    sim::Area formulas{area.top - 1, area.left - 1, area.top - 1, area.left - 1};
    css::sheet::TableOperationMode mode = css::sheet::TableOperationMode_BOTH;
    if (rowInput.empty() && columnInput.empty()) {
      Fail(at, "a data table needs an input cell");
    } else if (rowInput.empty()) {
      // Values down the left column, formulas along the row above.
      mode = css::sheet::TableOperationMode_COLUMN;
      block.top = area.top;
      formulas = {area.top - 1, area.left, area.top - 1, area.right};
    } else if (columnInput.empty()) {
      // Values along the row above, formulas down the left column.
      mode = css::sheet::TableOperationMode_ROW;
      block.left = area.left;
      formulas = {area.top, area.left - 1, area.bottom, area.left - 1};
    }
    const Reference<css::sheet::XMultipleOperation> operation(
        sheet->getCellRangeByPosition(Narrow(block.left - 1), Narrow(block.top - 1), Narrow(block.right - 1),
                                      Narrow(block.bottom - 1)),
        UNO_QUERY_THROW);
    operation->setTableOperation(RangeAddress(sheetIndex, formulas), mode, cellAddress(columnInput),
                                 cellAddress(rowInput));
  }

  // Shapes one below the other at the left of the sheet: their place does
  // not matter to the checks, their names, kinds and states do.
  void WriteShapes(sal_Int16 sheetIndex, const json& shapes, const std::string& at) {
    // The sheet's own XDrawPageSupplier is deprecated: the document's
    // draw pages are the sheets', in order.
    const Reference<css::drawing::XDrawPage> page(
        Reference<css::drawing::XDrawPagesSupplier>(document_, UNO_QUERY_THROW)
            ->getDrawPages()
            ->getByIndex(sheetIndex),
        UNO_QUERY_THROW);
    sal_Int32 top = 500;
    for (const json& shape : shapes) {
      const std::string name = TextOf(shape, "name");
      const std::string control = TextOf(shape, "control");
      const std::string shapeAt = at + "shape '" + name + "': ";
      Reference<css::drawing::XShape> drawn;
      if (control.empty()) {
        drawn.set(factory_->createInstance("com.sun.star.drawing.RectangleShape"), UNO_QUERY_THROW);
      } else {
        const char* model = control == "checkbox" ? "com.sun.star.form.component.CheckBox"
                            : control == "option" ? "com.sun.star.form.component.RadioButton"
                                                  : nullptr;
        if (model == nullptr) Fail(shapeAt, "unknown control \"" + control + "\"");
        const Reference<css::awt::XControlModel> controlModel(
            factory_->createInstance(OUString::createFromAscii(model)), UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> properties(controlModel, UNO_QUERY_THROW);
        properties->setPropertyValue("Name", Any(U(name)));
        properties->setPropertyValue("Label", Any(U(name)));
        // Excel's xlOn 1 / xlOff -4146 / xlMixed 2 as LibreOffice's State.
        const long value = shape.value("value", -4146L);
        const sal_Int16 state = value == 1 ? 1 : value == 2 ? 2 : 0;
        if (state == 2 && control == "checkbox") properties->setPropertyValue("TriState", Any(true));
        properties->setPropertyValue("State", Any(state));
        const Reference<css::drawing::XControlShape> controlShape(
            factory_->createInstance("com.sun.star.drawing.ControlShape"), UNO_QUERY_THROW);
        controlShape->setControl(controlModel);
        drawn.set(controlShape, UNO_QUERY_THROW);
      }
      drawn->setSize({4000, 600});
      page->add(drawn);
      drawn->setPosition({500, top});
      top += 900;
      Reference<css::container::XNamed>(drawn, UNO_QUERY_THROW)->setName(U(name));
    }
  }

  // The cell right of the used area of the sheet's first row … last
  // column, leaving one empty column.
  static css::table::CellAddress RightOfUsedArea(sal_Int16 sheetIndex,
                                                 const Reference<css::sheet::XSpreadsheet>& sheet) {
    const Reference<css::sheet::XSheetCellCursor> cursor = sheet->createCursor();
    Reference<css::sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
    const css::table::CellRangeAddress end =
        Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
    return {sheetIndex, end.EndColumn + 2, 0};
  }

  // "'Trimestre 1'!R32C1:R77C4" (or A1) → the range; a reference without
  // a sheet is on the pivot table's own sheet.
  css::table::CellRangeAddress SourceRange(sal_Int16 sheetIndex, const std::string& source,
                                           const std::string& at) {
    std::string sheetName;
    std::string cells = source;
    if (const std::size_t bang = source.rfind('!'); bang != std::string::npos) {
      sheetName = source.substr(0, bang);
      cells = source.substr(bang + 1);
      if (sheetName.size() >= 2 && sheetName.front() == '\'' && sheetName.back() == '\'') {
        std::string unquoted;
        for (std::size_t i = 1; i + 1 < sheetName.size(); ++i) {
          unquoted += sheetName[i];
          if (sheetName[i] == '\'' && sheetName[i + 1] == '\'') ++i;
        }
        sheetName = unquoted;
      }
    }
    std::optional<std::vector<sim::Area>> areas = sim::ParseA1OrR1C1(cells);
    if (!areas || areas->size() != 1) Fail(at, "not a source range: \"" + source + "\"");
    sal_Int16 index = sheetIndex;
    if (!sheetName.empty()) {
      const Reference<css::container::XIndexAccess> sheets(document_->getSheets(), UNO_QUERY_THROW);
      index = -1;
      for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
        if (Utf8(Reference<css::container::XNamed>(sheets->getByIndex(i), UNO_QUERY_THROW)->getName()) ==
            sheetName) {
          index = static_cast<sal_Int16>(i);
        }
      }
      if (index < 0) Fail(at, "no sheet '" + sheetName + "' for the source \"" + source + "\"");
    }
    return RangeAddress(index, areas->front());
  }

  void WritePivotTable(sal_Int16 sheetIndex, const Reference<css::sheet::XSpreadsheet>& sheet,
                       const json& table, std::size_t position, const std::string& at) {
    const Reference<css::sheet::XDataPilotTables> tables =
        Reference<css::sheet::XDataPilotTablesSupplier>(sheet, UNO_QUERY_THROW)->getDataPilotTables();
    const Reference<css::sheet::XDataPilotDescriptor> descriptor = tables->createDataPilotDescriptor();
    descriptor->setSourceRange(SourceRange(sheetIndex, TextOf(table, "sourceData"), at));
    // The source's fields by name, read before any change: a data field's
    // caption becomes its name. Each use takes a new field object, so that
    // a second data field from the same source column is a duplicate of
    // the first, not the first changed.
    const Reference<css::container::XIndexAccess> fields = descriptor->getDataPilotFields();
    std::map<std::string, sal_Int32> fieldIndexes;
    for (sal_Int32 i = 0; i < fields->getCount(); ++i) {
      fieldIndexes.emplace(
          Utf8(Reference<css::container::XNamed>(fields->getByIndex(i), UNO_QUERY_THROW)->getName()), i);
    }
    const auto field = [&](const std::string& name) -> Reference<css::beans::XPropertySet> {
      const auto found = fieldIndexes.find(name);
      if (found == fieldIndexes.end()) Fail(at, "no field \"" + name + "\" in the source data");
      return {fields->getByIndex(found->second), UNO_QUERY_THROW};
    };
    const auto fieldName = [&](const json& j) {
      return j.is_string() ? j.get<std::string>() : TextOf(j, "sourceName", TextOf(j, "name"));
    };
    for (const auto& [key, orientation] :
         {std::pair{"rowFields", css::sheet::DataPilotFieldOrientation_ROW},
          std::pair{"columnFields", css::sheet::DataPilotFieldOrientation_COLUMN}}) {
      for (const json& j : table.value(key, json::array())) {
        field(fieldName(j))->setPropertyValue("Orientation", Any(orientation));
      }
    }
    for (const json& j : table.value("dataFields", json::array())) {
      const Reference<css::beans::XPropertySet> data = field(fieldName(j));
      data->setPropertyValue("Orientation", Any(css::sheet::DataPilotFieldOrientation_DATA));
      data->setPropertyValue("Function",
                             Any(PivotFunction(j.is_object() ? j.value("function", json()) : json(), at)));
      // The data field's caption ("Somme de Résultats"): its layout name,
      // which XNamed sets; without it LibreOffice makes "Sum - Résultats".
      if (j.is_object() && j.contains("name")) {
        Reference<css::container::XNamed>(data, UNO_QUERY_THROW)->setName(U(TextOf(j, "name")));
      }
    }
    const std::string name = TextOf(table, "name", "PivotTable" + std::to_string(position + 1));
    tables->insertNewByName(U(name), RightOfUsedArea(sheetIndex, sheet), descriptor);
  }

  // LibreOffice's scenario is a hidden sheet after the scenario's own
  // that holds the scenario's values of the changing cells; it starts as
  // a copy of the current cells, so the document's values are written
  // into it afterwards, and the sheet's own cells keep theirs.
  void WriteScenario(sal_Int16 sheetIndex, const Reference<css::sheet::XSpreadsheet>& sheet,
                     const json& scenario, const std::string& sheetAt) {
    const std::string name = TextOf(scenario, "name");
    const std::string at = sheetAt + "scenario '" + name + "': ";
    const std::string changing = TextOf(scenario, "changingCells");
    const std::optional<std::vector<sim::Area>> areas = sim::ParseA1OrR1C1(changing);
    if (!areas) Fail(at, "not an A1 or R1C1 address: \"" + changing + "\"");
    Sequence<css::table::CellRangeAddress> ranges(static_cast<sal_Int32>(areas->size()));
    std::vector<std::pair<long, long>> cells;  // row, column (1-based), in the values' order
    for (std::size_t i = 0; i < areas->size(); ++i) {
      const sim::Area& area = (*areas)[i];
      ranges.getArray()[i] = RangeAddress(sheetIndex, area);
      for (long row = area.top; row <= area.bottom; ++row) {
        for (long column = area.left; column <= area.right; ++column) cells.emplace_back(row, column);
      }
    }
    json values = scenario.value("values", json::array());
    if (!values.is_array()) values = json::array({values});
    if (values.size() != cells.size()) Fail(at, "one value per changing cell is needed");
    const Reference<css::sheet::XScenarios> scenarios =
        Reference<css::sheet::XScenariosSupplier>(sheet, UNO_QUERY_THROW)->getScenarios();
    scenarios->addNewByName(U(name), ranges, U(TextOf(scenario, "comment")));
    const Any created =
        Reference<css::container::XNameAccess>(scenarios, UNO_QUERY_THROW)->getByName(U(name));
    const Reference<css::sheet::XSpreadsheet> scenarioSheet(created, UNO_QUERY_THROW);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const auto [row, column] = cells[i];
      const Reference<css::table::XCell> cell =
          scenarioSheet->getCellByPosition(Narrow(column - 1), Narrow(row - 1));
      WriteValue(cell, values[i], at);
    }
    // Excel's "locked" is LibreOffice's "prevent changes"; a hidden
    // scenario is one without a border, as LibreOffice's Excel import does.
    const Reference<css::beans::XPropertySet> properties(created, UNO_QUERY_THROW);
    properties->setPropertyValue("IsActive", Any(false));
    properties->setPropertyValue("CopyBack", Any(false));
    properties->setPropertyValue("Protected", Any(scenario.value("locked", true)));
    properties->setPropertyValue("ShowBorder", Any(!scenario.value("hidden", false)));
  }

  // The active sheet is set on the view, but it does not reach the file:
  // LibreOffice stores the view settings of visible views only, and this
  // document's view is hidden. Showing it aborts soffice.bin in the
  // headless nogui build (its input bar has no UI file), so every file
  // written opens on its first sheet.
  void Activate(const std::string& name) {
    const Reference<css::frame::XModel> model(document_, UNO_QUERY_THROW);
    const Reference<css::sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY);
    if (!view.is()) Fail("", "the new document has no view to make '" + name + "' active in");
    const Reference<css::container::XNameAccess> sheets(document_->getSheets(), UNO_QUERY_THROW);
    if (!sheets->hasByName(U(name))) Fail("", "no sheet '" + name + "' to make active");
    view->setActiveSheet(Reference<css::sheet::XSpreadsheet>(sheets->getByName(U(name)), UNO_QUERY_THROW));
  }

  static constexpr const char* kDateFormat = "dd/mm/yyyy";

  Reference<css::sheet::XSpreadsheetDocument> document_;
  Reference<css::lang::XMultiServiceFactory> factory_;
  Reference<css::util::XNumberFormats> formats_;
  Reference<css::sheet::XFormulaParser> parser_;
  bool officeIsEnglish_ = false;
  std::map<std::string, sal_Int32> formatKeys_;
};

const char* FilterName(WorkbookFormat format) {
  switch (format) {
    case WorkbookFormat::kXls:
      return "MS Excel 97";
    case WorkbookFormat::kXlsx:
      return "Calc MS Excel 2007 XML";
    case WorkbookFormat::kOds:
      return "calc8";
  }
  return "calc8";
}

// What the writer cannot write is refused before LibreOffice is asked.
void CheckWritable(const json& document) {
  if (!document.is_object()) Fail("", "a workbook document is a JSON object");
  const auto sheets = document.find("sheets");
  if (sheets == document.end() || !sheets->is_array() || sheets->empty())
    Fail("", "the document has no sheets");
  for (const json& sheet : *sheets) {
    if (!sheet.is_object() || !sheet.contains("name") || !sheet["name"].is_string()) {
      Fail("", "a sheet without a name");
    }
    if (TextOf(sheet, "type", "worksheet") != "worksheet") {
      Fail("sheet '" + sheet["name"].get<std::string>() + "': ", "chart sheets are not written");
    }
  }
}

}  // namespace

void WriteWorkbook(const office::Office& office, const json& document, const fs::path& file,
                   WorkbookFormat format, const std::string& password) {
  CheckWritable(document);
  Sequence<css::beans::PropertyValue> arguments(1);
  arguments.getArray()[0].Name = "Hidden";
  arguments.getArray()[0].Value <<= true;
  const Reference<css::lang::XComponent> component =
      office.Desktop()->loadComponentFromURL("private:factory/scalc", "_blank", 0, arguments);
  if (!component.is()) Fail("", "LibreOffice made no new spreadsheet");
  const ClosingGuard guard(component);
  try {
    Writer writer(component);
    writer.Write(document);
    writer.Store(file, FilterName(format), password);
  } catch (const css::uno::Exception& error) {
    Fail("", "LibreOffice failed: " + Utf8(error.Message));
  } catch (const json::exception& error) {
    Fail("", std::string("the document does not have the expected form: ") + error.what());
  }
}

}  // namespace test_support
