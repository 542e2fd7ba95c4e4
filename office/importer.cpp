#include "office/importer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/drawing/XControlShape.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/form/FormComponentType.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/AddressConvention.hpp>
#include <com/sun/star/sheet/DataPilotFieldOrientation.hpp>
#include <com/sun/star/sheet/FormulaLanguage.hpp>
#include <com/sun/star/sheet/FormulaMapGroup.hpp>
#include <com/sun/star/sheet/FormulaOpCodeMapEntry.hpp>
#include <com/sun/star/sheet/FormulaToken.hpp>
#include <com/sun/star/sheet/GeneralFunction.hpp>
#include <com/sun/star/sheet/XArrayFormulaRange.hpp>
#include <com/sun/star/sheet/XArrayFormulaTokens.hpp>
#include <com/sun/star/sheet/XCalculatable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XConsolidatable.hpp>
#include <com/sun/star/sheet/XConsolidationDescriptor.hpp>
#include <com/sun/star/sheet/XDataPilotDescriptor.hpp>
#include <com/sun/star/sheet/XDataPilotTables.hpp>
#include <com/sun/star/sheet/XDataPilotTablesSupplier.hpp>
#include <com/sun/star/sheet/XFormulaOpCodeMapper.hpp>
#include <com/sun/star/sheet/XFormulaParser.hpp>
#include <com/sun/star/sheet/XFormulaTokens.hpp>
#include <com/sun/star/sheet/XScenario.hpp>
#include <com/sun/star/sheet/XScenarioEnhanced.hpp>
#include <com/sun/star/sheet/XScenarios.hpp>
#include <com/sun/star/sheet/XScenariosSupplier.hpp>
#include <com/sun/star/sheet/XSheetAnnotation.hpp>
#include <com/sun/star/sheet/XSheetAnnotations.hpp>
#include <com/sun/star/sheet/XSheetAnnotationsSupplier.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellAddress.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XSimpleText.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/util/XProtectable.hpp>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <osl/file.hxx>
#include <set>
#include <thread>

#include "office/excel_values.h"
#include "office/file_records.h"
#include "office/number_format.h"
#include "office/uno_text.h"
#include "office/xlsx_workbook.h"

namespace office {

namespace fs = std::filesystem;
namespace sheet = css::sheet;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using nlohmann::json;
using rtl::OUString;

namespace {

// Excel 2003's sheet: 256 columns (IV), 65,536 rows.
constexpr sal_Int32 kExcel2003Columns = 256;
constexpr sal_Int32 kExcel2003Rows = 65536;
// Read at most this much of a file to tell what it is.
constexpr std::size_t kMaxWorkbookBytes = std::size_t{64} << 20U;

std::string A1(long row, long column) { return CellName(row, column); }

std::string A1(const css::table::CellRangeAddress& range) {
  std::string text = A1(range.StartRow, range.StartColumn);
  if (range.EndRow != range.StartRow || range.EndColumn != range.StartColumn) {
    text += ":" + A1(range.EndRow, range.EndColumn);
  }
  return text;
}

std::string ReadHead(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ImportError("cannot read '" + file.string() + "'");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > kMaxWorkbookBytes) throw ImportError("'" + file.string() + "' is larger than 64 MB");
  return bytes;
}

template <typename T>
Reference<T> Query(const Reference<css::uno::XInterface>& object) {
  return Reference<T>(object, UNO_QUERY_THROW);
}

css::beans::PropertyValue Property(const char* name, const Any& value) {
  css::beans::PropertyValue property;
  property.Name = OUString::createFromAscii(name);
  property.Value = value;
  return property;
}

// The document, closed when the reading ends.
class LoadedDocument {
 public:
  LoadedDocument(const Office& office, const fs::path& file, FileKind kind, bool excel95) {
    OUString url;
    if (osl::FileBase::getFileURLFromSystemPath(U(fs::absolute(file).string()), url) !=
        osl::FileBase::E_None) {
      throw ImportError("cannot name '" + file.string() + "' for LibreOffice");
    }
    const char* filter = kind == FileKind::kXls    ? (excel95 ? "MS Excel 95" : "MS Excel 97")
                         : kind == FileKind::kXlsx ? "Calc MS Excel 2007 XML"
                                                   : "calc8";
    const css::beans::PropertyValue properties[] = {
        Property("Hidden", Any(true)), Property("FilterName", Any(OUString::createFromAscii(filter))),
        Property("MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
        Property("UpdateDocMode", Any(sal_Int16(0)))};
    const Sequence<css::beans::PropertyValue> arguments(properties, std::size(properties));
    try {
      component_ = office.Desktop()->loadComponentFromURL(url, "_blank", 0, arguments);
    } catch (const css::uno::Exception& error) {
      throw ImportError("LibreOffice cannot open '" + file.string() + "': " + Utf8(error.Message));
    }
    document_.set(component_, UNO_QUERY);
    if (!document_.is()) {
      throw ImportError("LibreOffice cannot open '" + file.string() +
                        "' as a workbook (damaged, or protected by a password to open)");
    }
  }
  ~LoadedDocument() {
    try {
      Reference<css::util::XCloseable> closeable(component_, UNO_QUERY);
      if (closeable.is()) closeable->close(true);
    } catch (...) {
      // The office process may be gone; the run's end stops it anyway.
    }
  }
  LoadedDocument(const LoadedDocument&) = delete;
  LoadedDocument& operator=(const LoadedDocument&) = delete;

  [[nodiscard]] const Reference<sheet::XSpreadsheetDocument>& Document() const { return document_; }
  [[nodiscard]] const Reference<css::lang::XComponent>& Component() const { return component_; }

 private:
  Reference<css::lang::XComponent> component_;
  Reference<sheet::XSpreadsheetDocument> document_;
};

// Prints a cell's formula tokens in Excel's English A1 syntax.
class ExcelFormulas {
 public:
  explicit ExcelFormulas(const Reference<css::lang::XComponent>& document) {
    const Reference<css::lang::XMultiServiceFactory> factory(document, UNO_QUERY_THROW);
    parser_.set(factory->createInstance("com.sun.star.sheet.FormulaParser"), UNO_QUERY_THROW);
    const Reference<sheet::XFormulaOpCodeMapper> mapper(
        factory->createInstance("com.sun.star.sheet.FormulaOpCodeMapper"), UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> properties(parser_, UNO_QUERY_THROW);
    properties->setPropertyValue("FormulaConvention", Any(sheet::AddressConvention::XL_A1));
    properties->setPropertyValue(
        "OpCodeMap", Any(mapper->getAvailableMappings(sheet::FormulaLanguage::XL_ENGLISH,
                                                      sheet::FormulaMapGroup::ALL_EXCEPT_SPECIAL)));
  }

  [[nodiscard]] std::string Print(const Sequence<sheet::FormulaToken>& tokens, sal_Int32 sheetIndex,
                                  sal_Int32 row, sal_Int32 column) const {
    const css::table::CellAddress at(static_cast<sal_Int16>(sheetIndex), static_cast<sal_Int32>(column),
                                     static_cast<sal_Int32>(row));
    std::string text = Utf8(parser_->printFormula(tokens, at));
    return SingleCell3d(ExcelTruthLiterals(text.starts_with("=") ? text : "=" + text));
  }

 private:
  Reference<sheet::XFormulaParser> parser_;
};

struct NumberFormatInfo {
  std::string excel;  // "" for General
  bool date = false;
  bool boolean = false;
};

class NumberFormatCache {
 public:
  explicit NumberFormatCache(const Reference<css::lang::XComponent>& document)
      : formats_(
            Reference<css::util::XNumberFormatsSupplier>(document, UNO_QUERY_THROW)->getNumberFormats()) {}

  const NumberFormatInfo& Get(sal_Int32 key) {
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;
    NumberFormatInfo info;
    const Reference<css::beans::XPropertySet> format = formats_->getByKey(key);
    OUString code;
    format->getPropertyValue("FormatString") >>= code;
    sal_Int16 type = 0;
    format->getPropertyValue("Type") >>= type;
    const std::string excel = ExcelNumberFormat(Utf8(code));
    info.excel = excel == "General" ? "" : excel;
    info.boolean = (type & css::util::NumberFormat::LOGICAL) != 0;
    info.date = (type & css::util::NumberFormat::DATE) != 0;
    return cache_.emplace(key, info).first->second;
  }

 private:
  Reference<css::util::XNumberFormats> formats_;
  std::map<sal_Int32, NumberFormatInfo> cache_;
};

// What the file itself says of a sheet's cells, where it is Excel's own
// (.xls, .xlsx): each cell's format text and each formula's stored result,
// the date system, and the formulas Excel recalculates on opening (their
// stored result is stale; LibreOffice's fresh one stands in).
struct FileFacts {
  bool excelSerials = false;  // dates are Excel's serials (not for .ods)
  bool date1904 = false;
  const std::map<CellPosition, StoredCell>* cells = nullptr;
  std::set<CellPosition> recalculated;

  [[nodiscard]] const StoredCell* At(sal_Int32 row, sal_Int32 column) const {
    if (cells == nullptr) return nullptr;
    const auto found = cells->find({row, column});
    return found == cells->end() ? nullptr : &found->second;
  }
};

// One sheet's block of cells read in bulk, then written as the document's
// "cells" and "arrays".
class SheetReader {
 public:
  SheetReader(const Reference<sheet::XSpreadsheet>& sheet, sal_Int32 index, const ExcelFormulas& formulas,
              NumberFormatCache& formats, const FileFacts& facts)
      : sheet_(sheet), index_(index), formulas_(formulas), formats_(formats), facts_(facts) {}

  // The first cell left out as beyond Excel 2003's sheet, by rows.
  [[nodiscard]] const std::optional<std::string>& FirstDropped() const { return firstDropped_; }

  void Read(json& out) {
    const Reference<sheet::XSheetCellCursor> cursor = sheet_->createCursor();
    const Reference<sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
    used->gotoStartOfUsedArea(false);
    used->gotoEndOfUsedArea(true);
    const css::table::CellRangeAddress area = Query<sheet::XCellRangeAddressable>(cursor)->getRangeAddress();
    top_ = area.StartRow;
    left_ = area.StartColumn;
    const Reference<css::table::XCellRange> block =
        sheet_->getCellRangeByPosition(area.StartColumn, area.StartRow, area.EndColumn, area.EndRow);
    const Sequence<Sequence<OUString>> texts = Query<sheet::XCellRangeFormula>(block)->getFormulaArray();
    const Sequence<Sequence<Any>> values = Query<sheet::XCellRangeData>(block)->getDataArray();
    ReadNumberFormats(block);

    json cells = json::object();
    json arrays = json::array();
    std::set<std::pair<sal_Int32, sal_Int32>> inArray;
    std::vector<std::pair<sal_Int32, sal_Int32>> tableCells;
    for (sal_Int32 r = 0; r < texts.getLength(); ++r) {
      for (sal_Int32 c = 0; c < texts[r].getLength(); ++c) {
        const sal_Int32 row = top_ + r;
        const sal_Int32 column = left_ + c;
        const std::string text = Utf8(texts[r][c]);
        if (text.empty() || inArray.contains({row, column})) continue;
        // Excel 2003 opens such a file without the cells beyond its sheet.
        if (row >= kExcel2003Rows || column >= kExcel2003Columns) {
          if (!firstDropped_) firstDropped_ = A1(row, column);
          continue;
        }
        if (text.starts_with("{=")) {
          arrays.push_back(ReadArray(row, column, values, inArray));
        } else if (text.starts_with("=MULTIPLE.OPERATIONS(") || text.starts_with("=TABLE(")) {
          tableCells.emplace_back(row, column);
        } else if (text == "=TRUE()" || text == "=FALSE()") {
          // LibreOffice reads a truth value of an .xls as this formula.
          json cell = {{"value", text == "=TRUE()"}};
          AddFormat(cell, row, column);
          cells[A1(row, column)] = cell.size() == 1 ? cell["value"] : cell;
        } else if (text.starts_with("=")) {
          // An .xlsx's own text is Excel's; LibreOffice's printing otherwise.
          // (LibreOffice writes Excel's truth literals as TRUE() and FALSE()
          // in the .xlsx files it makes.)
          const StoredCell* stored = facts_.At(row, column);
          json cell = {{"formula", stored != nullptr && !stored->formulaText.empty()
                                       ? ExcelTruthLiterals("=" + stored->formulaText)
                                       : FormulaAt(row, column)}};
          json value = StoredResult(row, column);
          if (value.is_null()) {
            value = Value(values[r][c], row, column, true);
            if (value.is_number() && (value == 0 || value == 1)) value = TruthOrNumber(value, row, column);
          }
          if (!value.is_null()) cell["value"] = value;
          AddFormat(cell, row, column);
          cells[A1(row, column)] = cell;
        } else {
          json cell = {{"value", Value(values[r][c], row, column, false)}};
          AddFormat(cell, row, column);
          cells[A1(row, column)] = cell.size() == 1 ? cell["value"] : cell;
        }
      }
    }
    for (json& table : DataTables(tableCells, texts, values)) arrays.push_back(std::move(table));
    ReadComments(cells);
    if (!cells.empty()) out["cells"] = std::move(cells);
    if (!arrays.empty()) out["arrays"] = std::move(arrays);
  }

 private:
  void ReadNumberFormats(const Reference<css::table::XCellRange>& block) {
    const Reference<sheet::XUniqueCellFormatRangesSupplier> supplier(block, UNO_QUERY);
    if (!supplier.is()) return;
    const Reference<css::container::XIndexAccess> groups = supplier->getUniqueCellFormatRanges();
    for (sal_Int32 g = 0; g < groups->getCount(); ++g) {
      const Reference<sheet::XSheetCellRanges> ranges(groups->getByIndex(g), UNO_QUERY_THROW);
      sal_Int32 key = 0;
      Query<css::beans::XPropertySet>(ranges)->getPropertyValue("NumberFormat") >>= key;
      if (key == 0) continue;  // General
      for (const auto& range : ranges->getRangeAddresses()) formatRanges_.push_back({range, key});
    }
  }

  [[nodiscard]] const NumberFormatInfo* FormatAt(sal_Int32 row, sal_Int32 column) const {
    for (const auto& [range, key] : formatRanges_) {
      if (row >= range.StartRow && row <= range.EndRow && column >= range.StartColumn &&
          column <= range.EndColumn) {
        return &formats_.Get(key);
      }
    }
    return nullptr;
  }

  // The format text the file gives, as Excel stored it; LibreOffice's
  // rendering in Excel's syntax otherwise (.ods).
  void AddFormat(json& cell, sal_Int32 row, sal_Int32 column) const {
    const NumberFormatInfo* format = FormatAt(row, column);
    std::string text = format == nullptr ? "" : format->excel;
    if (const StoredCell* stored = facts_.At(row, column); stored != nullptr && stored->numberFormat) {
      text = *stored->numberFormat == "General" ? "" : *stored->numberFormat;
    }
    if (text.empty() || (format != nullptr && format->boolean)) return;
    // A date's default form is Excel's default too: nothing to write.
    if (format != nullptr && format->date && text == "m/d/yyyy") return;
    cell["numberFormat"] = text;
  }

  // A number shown as a date: the date, as Excel shows it for a serial of
  // an Excel file; none when it is no date.
  [[nodiscard]] json DateOf(double number) const {
    if (facts_.excelSerials) {
      const std::optional<std::string> date = ExcelDate(number, facts_.date1904);
      return date ? json{{"date", *date}} : json(nullptr);
    }
    // Excel's dates run from 1 (1900-01-01) to 2958465 (9999-12-31).
    if (number == std::floor(number) && number >= 1 && number <= 2958465)
      return json{{"date", IsoDate(number)}};
    return nullptr;
  }

  // The result Excel stored for the formula at row, column; null when the
  // file stores none or Excel would compute it again on opening.
  [[nodiscard]] json StoredResult(sal_Int32 row, sal_Int32 column) const {
    const StoredCell* stored = facts_.At(row, column);
    if (stored == nullptr || !stored->formula || facts_.recalculated.contains({row, column})) return nullptr;
    const StoredValue& result = stored->result;
    switch (result.kind) {
      case StoredValue::Kind::kNone:
        return nullptr;
      case StoredValue::Kind::kBoolean:
        return result.number != 0;
      case StoredValue::Kind::kText:
        return result.text;
      case StoredValue::Kind::kError:
        return json{{"error", IsExcelError(result.text) ? result.text : "#VALUE!"}};
      case StoredValue::Kind::kNumber:
        break;
    }
    const NumberFormatInfo* format = FormatAt(row, column);
    if (format != nullptr && format->date) {
      if (json date = DateOf(result.number); !date.is_null()) return date;
    }
    return result.number;
  }

  json Value(const Any& any, sal_Int32 row, sal_Int32 column, bool formula) const {
    double number = 0;
    if (any >>= number) {
      const NumberFormatInfo* format = FormatAt(row, column);
      if (format != nullptr && format->boolean) return number != 0;
      if (format != nullptr && format->date) {
        if (json date = DateOf(number); !date.is_null()) return date;
      }
      return number;
    }
    OUString text;
    if (any >>= text) {
      const std::string value = Utf8(text);
      if (formula && value.empty()) return ErrorValue(row, column);
      return value;
    }
    return formula ? ErrorValue(row, column) : json(nullptr);
  }

  // A formula whose result is neither a number nor a text: an error value
  // (read from the cell, as it is rare) or nothing.
  json ErrorValue(sal_Int32 row, sal_Int32 column) const {
    const Reference<css::table::XCell> cell = sheet_->getCellByPosition(column, row);
    if (cell->getError() == 0) return "";
    const std::string shown = Utf8(Query<css::text::XSimpleText>(cell)->getString());
    return json{{"error", IsExcelError(shown) ? shown : "#VALUE!"}};
  }

  // A formula's truth value comes as 1 or 0; only the cell's text tells
  // it from a number.
  json TruthOrNumber(const json& number, sal_Int32 row, sal_Int32 column) const {
    const std::string shown =
        Utf8(Query<css::text::XSimpleText>(sheet_->getCellByPosition(column, row))->getString());
    if (shown == "TRUE" || shown == "FALSE") return shown == "TRUE";
    return number;
  }

  std::string FormulaAt(sal_Int32 row, sal_Int32 column) const {
    const Reference<css::table::XCell> cell = sheet_->getCellByPosition(column, row);
    return formulas_.Print(Query<sheet::XFormulaTokens>(cell)->getTokens(), index_, row, column);
  }

  json ReadArray(sal_Int32 row, sal_Int32 column, const Sequence<Sequence<Any>>& values,
                 std::set<std::pair<sal_Int32, sal_Int32>>& inArray) const {
    const Reference<sheet::XSheetCellCursor> cursor =
        sheet_->createCursorByRange(Reference<sheet::XSheetCellRange>(
            sheet_->getCellRangeByPosition(column, row, column, row), UNO_QUERY_THROW));
    cursor->collapseToCurrentArray();
    const css::table::CellRangeAddress range = Query<sheet::XCellRangeAddressable>(cursor)->getRangeAddress();
    const auto tokens = Query<sheet::XArrayFormulaTokens>(cursor)->getArrayTokens();
    json rows = json::array();
    for (sal_Int32 r = range.StartRow; r <= range.EndRow; ++r) {
      json line = json::array();
      for (sal_Int32 c = range.StartColumn; c <= range.EndColumn; ++c) {
        inArray.insert({r, c});
        const sal_Int32 vr = r - top_;
        const sal_Int32 vc = c - left_;
        line.push_back(vr < values.getLength() && vc < values[vr].getLength()
                           ? Value(values[vr][vc], r, c, true)
                           : json(nullptr));
      }
      rows.push_back(std::move(line));
    }
    return {{"range", A1(range)},
            {"formula", formulas_.Print(tokens, index_, range.StartRow, range.StartColumn)},
            {"values", std::move(rows)}};
  }

  // Data tables: LibreOffice turns Excel's {=TABLE(row input, column
  // input)} into a MULTIPLE.OPERATIONS formula per cell. Each block of
  // such cells becomes one TABLE over the block again.
  std::vector<json> DataTables(const std::vector<std::pair<sal_Int32, sal_Int32>>& cellsOfTables,
                               const Sequence<Sequence<OUString>>& texts,
                               const Sequence<Sequence<Any>>& values) const {
    std::vector<json> tables;
    std::set<std::pair<sal_Int32, sal_Int32>> left(cellsOfTables.begin(), cellsOfTables.end());
    while (!left.empty()) {
      const sal_Int32 top = left.begin()->first;
      const sal_Int32 first = left.begin()->second;
      sal_Int32 right = first;
      while (left.contains({top, right + 1})) ++right;
      sal_Int32 bottom = top;
      auto rowFull = [&](sal_Int32 row) {
        for (sal_Int32 c = first; c <= right; ++c) {
          if (!left.contains({row, c})) return false;
        }
        return true;
      };
      while (rowFull(bottom + 1)) ++bottom;
      json rows = json::array();
      for (sal_Int32 r = top; r <= bottom; ++r) {
        json line = json::array();
        for (sal_Int32 c = first; c <= right; ++c) {
          left.erase({r, c});
          line.push_back(Value(values[r - top_][c - left_], r, c, true));
        }
        rows.push_back(std::move(line));
      }
      const css::table::CellRangeAddress block(static_cast<sal_Int16>(index_), first, top, right, bottom);
      tables.push_back({{"range", A1(block)},
                        {"formula", TableFormula(Utf8(texts[top - top_][first - left_]), top, first)},
                        {"values", std::move(rows)}});
    }
    return tables;
  }

  // "=MULTIPLE.OPERATIONS($B$7;$E$5;C$7;$D$5;$B8)" at the block's top-left
  // cell C8: a cell replaced by a value of the row above the block is the
  // row input, one replaced from the column left of it the column input.
  static std::string TableFormula(const std::string& text, sal_Int32 top, sal_Int32 first) {
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    std::vector<std::string> arguments;
    std::string current;
    for (std::size_t i = open + 1; i < close && close != std::string::npos; ++i) {
      if (text[i] == ';' || text[i] == ',') {
        arguments.push_back(current);
        current.clear();
      } else if (text[i] != '$') {
        current += text[i];
      }
    }
    arguments.push_back(current);
    auto cellOf = [](std::string reference) -> std::pair<sal_Int32, sal_Int32> {
      if (const std::size_t dot = reference.rfind('.'); dot != std::string::npos) reference.erase(0, dot + 1);
      if (const std::size_t bang = reference.rfind('!'); bang != std::string::npos)
        reference.erase(0, bang + 1);
      sal_Int32 column = 0;
      std::size_t i = 0;
      // At most three letters (XFD): no overflow whatever the text.
      for (; i < reference.size() && i < 3 && std::isalpha(static_cast<unsigned char>(reference[i])) != 0;
           ++i) {
        column = column * 26 + (std::toupper(static_cast<unsigned char>(reference[i])) - 'A' + 1);
      }
      sal_Int32 row = 0;
      std::from_chars(reference.data() + i, reference.data() + reference.size(), row);
      return {row - 1, column - 1};
    };
    std::string rowInput;
    std::string columnInput;
    for (std::size_t k = 1; k + 1 < arguments.size(); k += 2) {
      const auto replacement = cellOf(arguments[k + 1]);
      const auto input = cellOf(arguments[k]);
      const std::string name = A1(input.first, input.second);
      if (replacement.first == top - 1) rowInput = name;
      if (replacement.second == first - 1) columnInput = name;
    }
    return "=TABLE(" + rowInput + "," + columnInput + ")";
  }

  void ReadComments(json& cells) const {
    const Reference<sheet::XSheetAnnotations> annotations =
        Query<sheet::XSheetAnnotationsSupplier>(sheet_)->getAnnotations();
    const Reference<css::container::XIndexAccess> list(annotations, UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < list->getCount(); ++i) {
      const Reference<sheet::XSheetAnnotation> note(list->getByIndex(i), UNO_QUERY_THROW);
      const css::table::CellAddress at = note->getPosition();
      const std::string text = Utf8(Query<css::text::XSimpleText>(note)->getString());
      json& cell = cells[A1(at.Row, at.Column)];
      if (!cell.is_object()) cell = cell.is_null() ? json::object() : json{{"value", cell}};
      cell["comment"] = text;
    }
  }

  Reference<sheet::XSpreadsheet> sheet_;
  sal_Int32 index_;
  const ExcelFormulas& formulas_;
  NumberFormatCache& formats_;
  const FileFacts& facts_;
  std::optional<std::string> firstDropped_;
  sal_Int32 top_ = 0;
  sal_Int32 left_ = 0;
  std::vector<std::pair<css::table::CellRangeAddress, sal_Int32>> formatRanges_;
};

void ReadProtection(const Reference<sheet::XSpreadsheet>& sheet, const ImportOptions& options, json& out) {
  const Reference<css::util::XProtectable> protectable(sheet, UNO_QUERY_THROW);
  if (!protectable->isProtected()) return;
  out["protected"] = true;
  std::vector<std::string> candidates{""};
  candidates.insert(candidates.end(), options.passwords.begin(), options.passwords.end());
  for (const std::string& password : candidates) {
    try {
      protectable->unprotect(U(password));
      out["password"] = password;
      return;
    } catch (const css::lang::IllegalArgumentException&) {
      // Not this one.
    }
  }
  out["password"] = kUnknownPassword;
}

// Excel's values for a form control's state: on 1, off -4146, mixed 2.
long ExcelState(sal_Int16 state) { return state == 1 ? 1 : state == 2 ? 2 : -4146; }

void ReadShapes(const Reference<sheet::XSpreadsheet>& sheet, json& out) {
  const Reference<css::container::XIndexAccess> page(
      Query<css::drawing::XDrawPageSupplier>(sheet)->getDrawPage(), UNO_QUERY_THROW);
  json shapes = json::array();
  for (sal_Int32 i = 0; i < page->getCount(); ++i) {
    const Reference<css::drawing::XShape> shape(page->getByIndex(i), UNO_QUERY);
    if (!shape.is()) continue;
    // A comment's caption is drawn on the page in some files. The comment
    // is kept on its cell, and the workbook's Shapes list it from there:
    // the caption would count it twice.
    if (shape->getShapeType() == "com.sun.star.drawing.CaptionShape") continue;
    const Reference<css::container::XNamed> named(shape, UNO_QUERY);
    std::string name = named.is() ? Utf8(named->getName()) : "";
    if (name.empty()) name = "Shape " + std::to_string(shapes.size() + 1);  // never empty, as in Excel
    json entry = {{"name", name}};
    if (const Reference<css::drawing::XControlShape> control(shape, UNO_QUERY); control.is()) {
      const Reference<css::beans::XPropertySet> model(control->getControl(), UNO_QUERY);
      sal_Int16 classId = 0;
      if (model.is()) model->getPropertyValue("ClassId") >>= classId;
      if (classId == css::form::FormComponentType::CHECKBOX ||
          classId == css::form::FormComponentType::RADIOBUTTON) {
        sal_Int16 state = 0;
        model->getPropertyValue("State") >>= state;
        entry["control"] = classId == css::form::FormComponentType::CHECKBOX ? "checkbox" : "option";
        entry["value"] = ExcelState(state);
      }
    }
    shapes.push_back(std::move(entry));
  }
  if (!shapes.empty()) out["shapes"] = std::move(shapes);
}

const char* FunctionName(sheet::GeneralFunction function) {
  switch (function) {
    case sheet::GeneralFunction_COUNT:
    case sheet::GeneralFunction_COUNTNUMS:
      return "count";
    case sheet::GeneralFunction_AVERAGE:
      return "average";
    case sheet::GeneralFunction_MAX:
      return "max";
    case sheet::GeneralFunction_MIN:
      return "min";
    case sheet::GeneralFunction_PRODUCT:
      return "product";
    default:
      return "sum";
  }
}

void ReadPivotTables(const Reference<sheet::XSpreadsheet>& sheet,
                     const Reference<sheet::XSpreadsheetDocument>& document,
                     const std::vector<std::string>& sheetNames, json& out) {
  const Reference<css::container::XIndexAccess> tables(
      Query<sheet::XDataPilotTablesSupplier>(sheet)->getDataPilotTables(), UNO_QUERY_THROW);
  json list = json::array();
  for (sal_Int32 t = 0; t < tables->getCount(); ++t) {
    const Reference<sheet::XDataPilotDescriptor> table(tables->getByIndex(t), UNO_QUERY_THROW);
    const css::table::CellRangeAddress source = table->getSourceRange();
    const std::string sourceSheet =
        source.Sheet < static_cast<sal_Int32>(sheetNames.size()) ? sheetNames[source.Sheet] : "";
    json entry = {{"name", Utf8(table->getName())},
                  {"sourceData", QualifiedR1C1(sourceSheet, source.StartRow + 1, source.StartColumn + 1,
                                               source.EndRow + 1, source.EndColumn + 1)}};
    // The source's header row names the fields by their index.
    const Reference<sheet::XSpreadsheet> sourceSheetObject(
        Query<css::container::XIndexAccess>(document->getSheets())->getByIndex(source.Sheet),
        UNO_QUERY_THROW);
    const Sequence<Sequence<OUString>> headers =
        Query<sheet::XCellRangeFormula>(
            sourceSheetObject->getCellRangeByPosition(source.StartColumn, source.StartRow, source.EndColumn,
                                                      source.StartRow))
            ->getFormulaArray();
    auto names = [](const Reference<css::container::XIndexAccess>& fields) {
      json result = json::array();
      for (sal_Int32 i = 0; i < fields->getCount(); ++i) {
        const std::string name =
            Utf8(Query<css::container::XNamed>(fields->getByIndex(i).get<Reference<css::uno::XInterface>>())
                     ->getName());
        if (name != "Data") result.push_back(name);  // LibreOffice's own "Data" field holds the data fields
      }
      return result;
    };
    entry["rowFields"] = names(table->getRowFields());
    entry["columnFields"] = names(table->getColumnFields());
    // A data field's name is its caption ("Sum - Résultats"); its source is
    // the header of its column: found by position among the table's
    // fields, or, for a second field on the same column (which LibreOffice
    // does not list there), as the header that ends the caption.
    std::vector<std::string> headerNames;
    for (sal_Int32 i = 0; headers.getLength() > 0 && i < headers[0].getLength(); ++i) {
      headerNames.push_back(Utf8(headers[0][i]));
    }
    std::map<std::string, std::string> sourceByCaption;
    const Reference<css::container::XIndexAccess> all = table->getDataPilotFields();
    for (sal_Int32 i = 0; i < all->getCount() && i < static_cast<sal_Int32>(headerNames.size()); ++i) {
      const Reference<css::beans::XPropertySet> field(all->getByIndex(i), UNO_QUERY_THROW);
      sheet::DataPilotFieldOrientation orientation = sheet::DataPilotFieldOrientation_HIDDEN;
      field->getPropertyValue("Orientation") >>= orientation;
      if (orientation == sheet::DataPilotFieldOrientation_DATA) {
        sourceByCaption[Utf8(Query<css::container::XNamed>(field)->getName())] = headerNames[i];
      }
    }
    json dataFields = json::array();
    const Reference<css::container::XIndexAccess> data = table->getDataFields();
    for (sal_Int32 i = 0; i < data->getCount(); ++i) {
      const Reference<css::beans::XPropertySet> field(data->getByIndex(i), UNO_QUERY_THROW);
      sheet::GeneralFunction function = sheet::GeneralFunction_SUM;
      field->getPropertyValue("Function") >>= function;
      const std::string caption = Utf8(Query<css::container::XNamed>(field)->getName());
      std::string sourceName = caption;
      if (const auto found = sourceByCaption.find(caption); found != sourceByCaption.end()) {
        sourceName = found->second;
      } else {
        std::size_t longest = 0;
        for (const auto& header : headerNames) {
          if (header.size() > longest && caption.ends_with(header)) {
            sourceName = header;
            longest = header.size();
          }
        }
      }
      dataFields.push_back(
          {{"name", caption}, {"sourceName", sourceName}, {"function", FunctionName(function)}});
    }
    entry["dataFields"] = std::move(dataFields);
    list.push_back(std::move(entry));
  }
  if (!list.empty()) out["pivotTables"] = std::move(list);
}

void ReadScenarios(const Reference<sheet::XSpreadsheet>& sheet, json& out) {
  const Reference<css::container::XIndexAccess> scenarios(
      Query<sheet::XScenariosSupplier>(sheet)->getScenarios(), UNO_QUERY_THROW);
  json list = json::array();
  for (sal_Int32 s = 0; s < scenarios->getCount(); ++s) {
    const Reference<sheet::XScenario> scenario(scenarios->getByIndex(s), UNO_QUERY_THROW);
    const Reference<sheet::XScenarioEnhanced> ranges(scenario, UNO_QUERY_THROW);
    const Reference<sheet::XSpreadsheet> values(scenario, UNO_QUERY_THROW);
    std::string cells;
    json scenarioValues = json::array();
    for (const auto& range : ranges->getRanges()) {
      if (!cells.empty()) cells += ",";
      cells += A1(range);
      const Sequence<Sequence<Any>> data =
          Query<sheet::XCellRangeData>(values->getCellRangeByPosition(range.StartColumn, range.StartRow,
                                                                      range.EndColumn, range.EndRow))
              ->getDataArray();
      for (const auto& row : data) {
        for (const Any& any : row) {
          double number = 0;
          OUString text;
          if (any >>= number) {
            scenarioValues.push_back(number);
          } else if (any >>= text) {
            scenarioValues.push_back(Utf8(text));
          } else {
            scenarioValues.push_back(nullptr);
          }
        }
      }
    }
    bool locked = true;
    Query<css::beans::XPropertySet>(scenario)->getPropertyValue("Protected") >>= locked;
    list.push_back({{"name", Utf8(Query<css::container::XNamed>(scenario)->getName())},
                    {"changingCells", cells},
                    {"values", std::move(scenarioValues)},
                    {"comment", Utf8(scenario->getScenarioComment())},
                    {"locked", locked},
                    {"hidden", false}});
  }
  if (!list.empty()) out["scenarios"] = std::move(list);
}

// An .ods keeps the document's last consolidation, on the sheet of its
// output position.
void ReadOdsConsolidation(const Reference<sheet::XSpreadsheetDocument>& document,
                          const std::vector<std::string>& sheetNames, FileRecords& records) {
  const Reference<sheet::XConsolidatable> consolidatable(document, UNO_QUERY);
  if (!consolidatable.is()) return;
  const Reference<sheet::XConsolidationDescriptor> descriptor =
      consolidatable->createConsolidationDescriptor(false);
  const auto sources = descriptor->getSources();
  if (sources.getLength() == 0) return;
  Consolidation consolidation;
  for (const auto& source : sources) {
    if (source.Sheet >= static_cast<sal_Int32>(sheetNames.size())) continue;
    consolidation.sources.push_back(QualifiedReference(sheetNames[source.Sheet], source.StartRow + 1,
                                                       source.StartColumn + 1, source.EndRow + 1,
                                                       source.EndColumn + 1));
  }
  switch (descriptor->getFunction()) {
    case sheet::GeneralFunction_COUNT:
      consolidation.function = -4112;
      break;
    case sheet::GeneralFunction_AVERAGE:
      consolidation.function = -4106;
      break;
    case sheet::GeneralFunction_MAX:
      consolidation.function = -4136;
      break;
    case sheet::GeneralFunction_MIN:
      consolidation.function = -4139;
      break;
    case sheet::GeneralFunction_PRODUCT:
      consolidation.function = -4149;
      break;
    default:
      break;
  }
  consolidation.topRow = descriptor->getUseColumnHeaders();
  consolidation.leftColumn = descriptor->getUseRowHeaders();
  consolidation.createLinks = descriptor->getInsertLinks();
  const sal_Int32 target = descriptor->getStartOutputPosition().Sheet;
  if (target >= 0 && target < static_cast<sal_Int32>(sheetNames.size())) {
    records.consolidations[sheetNames[target]] = consolidation;
  }
}

// Stops LibreOffice when a file keeps it busy past the timeout.
class Watchdog {
 public:
  Watchdog(const Office& office, std::chrono::milliseconds timeout)
      : thread_([this, &office, timeout] {
          std::unique_lock lock(mutex_);
          if (!done_changed_.wait_for(lock, timeout, [this] { return done_; })) {
            fired_ = true;
            office.Kill();
          }
        }) {}
  ~Watchdog() {
    {
      const std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_changed_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  [[nodiscard]] bool Fired() {
    const std::lock_guard lock(mutex_);
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  bool fired_ = false;
  std::thread thread_;
};

// A failure because LibreOffice itself is gone is the office's, not the
// file's.
void ThrowIfOfficeEnded(const Office& office, Watchdog& watchdog, const fs::path& file,
                        const ImportOptions& options) {
  if (watchdog.Fired()) {
    throw OfficeError("LibreOffice was stopped: reading '" + file.string() + "' took longer than " +
                      std::to_string(options.timeout.count() / 1000) + " s");
  }
  if (!office.Running()) throw OfficeError("LibreOffice ended while reading '" + file.string() + "'");
}

FileRecords ReadRecords(FileKind kind, std::string_view bytes, const fs::path& file) {
  try {
    if (kind == FileKind::kXls) return ReadXlsRecords(bytes);
    if (kind == FileKind::kXlsx) return ReadXlsxRecords(bytes);
  } catch (const FileFormatError& error) {
    throw ImportError("'" + file.string() + "': " + error.what());
  }
  return {};
}

// An .ods records no sheet states of Excel's; LibreOffice's IsVisible gives
// the hidden ones (.xls and .xlsx have theirs from the file's own records).
void ReadOdsSheetStates(const Reference<css::container::XIndexAccess>& sheets,
                        const std::vector<std::string>& names, FileRecords& records) {
  for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
    bool visible = true;
    Query<css::beans::XPropertySet>(sheets->getByIndex(i).get<Reference<css::uno::XInterface>>())
        ->getPropertyValue("IsVisible") >>= visible;
    if (!visible) records.hiddenSheets[names[static_cast<std::size_t>(i)]] = SheetState::kHidden;
  }
}

// Each sheet's formula cells with their texts (LibreOffice's API syntax).
std::map<std::string, std::map<CellPosition, std::string>> FormulaTexts(
    const Reference<css::container::XIndexAccess>& sheets, const std::vector<std::string>& names) {
  std::map<std::string, std::map<CellPosition, std::string>> formulas;
  for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
    const Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
    const Reference<sheet::XSheetCellCursor> cursor = sheet->createCursor();
    const Reference<sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
    used->gotoStartOfUsedArea(false);
    used->gotoEndOfUsedArea(true);
    const css::table::CellRangeAddress area = Query<sheet::XCellRangeAddressable>(cursor)->getRangeAddress();
    const Sequence<Sequence<OUString>> texts =
        Query<sheet::XCellRangeFormula>(
            sheet->getCellRangeByPosition(area.StartColumn, area.StartRow, area.EndColumn, area.EndRow))
            ->getFormulaArray();
    std::map<CellPosition, std::string>& own = formulas[names[static_cast<std::size_t>(i)]];
    for (sal_Int32 r = 0; r < texts.getLength(); ++r) {
      for (sal_Int32 c = 0; c < texts[r].getLength(); ++c) {
        std::string text = Utf8(texts[r][c]);
        if (text.starts_with("=")) own[{area.StartRow + r, area.StartColumn + c}] = std::move(text);
      }
    }
  }
  return formulas;
}

// The formula cells of each sheet whose stored result Excel would not show:
// those that call a function Excel recomputes on opening (or that the file
// marks so), and those that depend on them.
std::map<std::string, std::set<CellPosition>> RecalculatedBySheet(
    const Reference<css::container::XIndexAccess>& sheets, const std::vector<std::string>& names,
    const FileRecords& records) {
  const auto formulas = FormulaTexts(sheets, names);
  std::set<SheetCell> seeds;
  for (const auto& [sheet, texts] : formulas) {
    const auto stored = records.cells.find(sheet);
    for (const auto& [position, text] : texts) {
      bool marked = false;
      if (stored != records.cells.end()) {
        const auto cell = stored->second.find(position);
        marked = cell != stored->second.end() && cell->second.recalculated;
      }
      if (marked || CallsVolatileFunction(text)) seeds.insert({sheet, position});
    }
  }
  std::map<std::string, std::set<CellPosition>> bySheet;
  for (const auto& [sheet, position] : RecalculatedCells(formulas, std::move(seeds)))
    bySheet[sheet].insert(position);
  return bySheet;
}

}  // namespace

FileKind SniffFile(std::string_view bytes) {
  static constexpr std::string_view kCompoundFile("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  if (bytes.starts_with(kCompoundFile)) return FileKind::kXls;
  if (bytes.starts_with("PK\x03\x04")) {
    // An OpenDocument file starts with its stored "mimetype" entry; an
    // Office Open XML workbook has the part xl/workbook.xml (names are
    // stored uncompressed).
    if (bytes.size() > 38 && bytes.substr(30, 8) == "mimetype" &&
        bytes.substr(38).starts_with("application/vnd.oasis.opendocument.spreadsheet")) {
      return FileKind::kOds;
    }
    if (bytes.find("xl/workbook.xml") != std::string_view::npos) return FileKind::kXlsx;
  }
  return FileKind::kDocument;
}

const char* KindName(FileKind kind) {
  switch (kind) {
    case FileKind::kXls:
      return "xls";
    case FileKind::kXlsx:
      return "xlsx";
    case FileKind::kOds:
      return "ods";
    case FileKind::kDocument:
      break;
  }
  return "document";
}

std::optional<json> ImportDirectly(const fs::path& file, const ImportOptions& options) {
  const std::string bytes = ReadHead(file);
  if (SniffFile(bytes) != FileKind::kXlsx) return std::nullopt;
  try {
    return ReadXlsxWorkbook(bytes, {options.passwords, options.warn});
  } catch (const FileFormatError& error) {
    throw ImportError("'" + file.string() + "': " + error.what());
  }
}

json ImportWorkbook(const Office& office, const fs::path& file, const ImportOptions& options) {
  const std::string bytes = ReadHead(file);
  const FileKind kind = SniffFile(bytes);
  if (kind == FileKind::kDocument)
    throw ImportError("'" + file.string() + "' is not an .xls, .xlsx or .ods workbook");
  FileRecords records = ReadRecords(kind, bytes, file);
  Watchdog watchdog(office, options.timeout);
  try {
    const LoadedDocument loaded(office, file, kind, records.excel95);
    const ExcelFormulas formulas(loaded.Component());
    NumberFormatCache formats(loaded.Component());
    const Reference<css::container::XIndexAccess> sheets(loaded.Document()->getSheets(), UNO_QUERY_THROW);

    std::vector<std::string> allNames;
    allNames.reserve(static_cast<std::size_t>(sheets->getCount()));
    for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
      allNames.push_back(
          Utf8(Query<css::container::XNamed>(sheets->getByIndex(i).get<Reference<css::uno::XInterface>>())
                   ->getName()));
    }
    if (kind == FileKind::kOds) {
      ReadOdsConsolidation(loaded.Document(), allNames, records);
      ReadOdsSheetStates(sheets, allNames, records);
    }

    // Excel's stored results stand for every formula it would not compute
    // again on opening; those it would (TODAY, RAND …) take a fresh
    // result, which LibreOffice may not have computed on loading.
    std::map<std::string, std::set<CellPosition>> recalculated;
    if (kind != FileKind::kOds) {
      recalculated = RecalculatedBySheet(sheets, allNames, records);
      if (!recalculated.empty()) Query<sheet::XCalculatable>(loaded.Component())->calculateAll();
    }

    json document = {{"sheets", json::array()}};
    std::set<std::string> learnerSheets;
    for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
      const Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
      // Scenarios are hidden extra sheets in LibreOffice, not the learner's.
      if (Query<sheet::XScenario>(sheet)->getIsScenario()) continue;
      json out = {{"name", allNames[i]}};
      if (const auto hidden = records.hiddenSheets.find(allNames[i]); hidden != records.hiddenSheets.end())
        out["visible"] = hidden->second == SheetState::kHidden ? "hidden" : "veryHidden";
      // A chart sheet is listed in Sheets, not in Worksheets, and has no
      // cells; LibreOffice made it an ordinary sheet holding the chart.
      if (records.chartSheets.contains(allNames[i])) {
        out["type"] = "chart";
        learnerSheets.insert(allNames[i]);
        document["sheets"].push_back(std::move(out));
        continue;
      }
      FileFacts facts;
      if (kind != FileKind::kOds) {
        facts.excelSerials = true;
        facts.date1904 = records.date1904;
        if (const auto cells = records.cells.find(allNames[i]); cells != records.cells.end())
          facts.cells = &cells->second;
        facts.recalculated = std::move(recalculated[allNames[i]]);
      }
      SheetReader reader(sheet, i, formulas, formats, facts);
      reader.Read(out);
      if (reader.FirstDropped() && options.warn) {
        options.warn("sheet \"" + allNames[i] + "\": cell " + *reader.FirstDropped() +
                     " and any others beyond Excel 2003's 256 columns and 65,536 rows are left out, as Excel "
                     "2003 leaves them out");
      }
      ReadShapes(sheet, out);
      ReadPivotTables(sheet, loaded.Document(), allNames, out);
      ReadScenarios(sheet, out);
      if (const auto found = records.consolidations.find(allNames[i]);
          found != records.consolidations.end()) {
        out["consolidation"] = ConsolidationJson(found->second);
      }
      ReadProtection(sheet, options, out);
      learnerSheets.insert(allNames[i]);
      document["sheets"].push_back(std::move(out));
    }

    std::string active;
    if (records.activeSheet && *records.activeSheet < records.sheetNames.size()) {
      active = records.sheetNames[*records.activeSheet];
    } else if (kind == FileKind::kOds) {
      const Reference<css::frame::XModel> model(loaded.Component(), UNO_QUERY);
      const Reference<sheet::XSpreadsheetView> view(model.is() ? model->getCurrentController() : nullptr,
                                                    UNO_QUERY);
      if (view.is()) active = Utf8(Query<css::container::XNamed>(view->getActiveSheet())->getName());
    }
    if (learnerSheets.contains(active) && !records.hiddenSheets.contains(active))
      document["activeSheet"] = active;
    return document;
  } catch (const css::uno::Exception& error) {
    ThrowIfOfficeEnded(office, watchdog, file, options);
    throw ImportError("LibreOffice failed reading '" + file.string() + "': " + Utf8(error.Message));
  } catch (const ImportError&) {
    ThrowIfOfficeEnded(office, watchdog, file, options);
    throw;
  }
}

}  // namespace office
