// The .xlsx reader: sheet names and states, active sheet, date system,
// consolidation settings, each cell's number format, each formula's text
// and stored result. The container is read by libzip, the XML parts by
// expat; sizes, inflation and nesting are bounded.
#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <set>
#include <utility>

#include "office/excel_values.h"
#include "office/file_records.h"
#include "office/utf8.h"

namespace office {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw FileFormatError(message); }

// ----------------------------------------------------------------------- zip

constexpr std::size_t kMaxPartSize = 64U << 20U;  // inflated bytes of one part

// 0-15, or -1 for a character that is not a hexadecimal digit.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Part names compare case-insensitively (ASCII only).
std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The archive through libzip, over the bytes in memory: its central
// directory checked against the local headers (ZIP_CHECKCONS), each part
// inflated no further than its declared size, and at most 64 MB, its CRC
// checked.
class ZipArchive {
 public:
  explicit ZipArchive(std::string_view bytes) {
    // libzip takes nothing at all for an empty archive.
    if (bytes.size() < 22) Fail("not a zip archive");
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source != nullptr) {
      archive_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
      if (archive_ == nullptr) zip_source_free(source);
    }
    if (archive_ == nullptr) {
      const std::string why = zip_error_strerror(&error);
      zip_error_fini(&error);
      Fail("not a zip archive, or a damaged one (" + why + ")");
    }
    zip_error_fini(&error);
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
      if (name != nullptr)
        entries_.emplace(Lower(name), static_cast<zip_uint64_t>(i));  // the first of two equal names wins
    }
  }
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive() { zip_discard(archive_); }

  // The entry's inflated bytes; nullopt when the archive has no such entry.
  [[nodiscard]] std::optional<std::string> Read(std::string_view name) const {
    const auto found = entries_.find(Lower(name));
    if (found == entries_.end()) return std::nullopt;
    const std::string shown(name);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, found->second, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0)
      Fail("the zip entry of " + shown + " is damaged");
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE)
      Fail(shown + " is encrypted");
    if ((stat.valid & ZIP_STAT_COMP_METHOD) != 0 && stat.comp_method != ZIP_CM_STORE &&
        stat.comp_method != ZIP_CM_DEFLATE) {
      Fail(shown + " uses an unsupported compression method (" + std::to_string(stat.comp_method) + ")");
    }
    if (stat.size > kMaxPartSize) Fail(shown + " is larger than 64 MB");
    zip_file_t* file = zip_fopen_index(archive_, found->second, 0);
    if (file == nullptr) Fail(shown + " cannot be read from the archive (" + zip_strerror(archive_) + ")");
    // One byte more than declared: a part that inflates further is caught.
    std::string content(static_cast<std::size_t>(stat.size) + 1, '\0');
    std::size_t done = 0;
    std::string failure;
    while (done < content.size()) {
      const zip_int64_t read = zip_fread(file, content.data() + done, content.size() - done);
      if (read < 0) {
        failure = zip_file_strerror(file);
        break;
      }
      if (read == 0) break;
      done += static_cast<std::size_t>(read);
    }
    zip_fclose(file);
    if (!failure.empty()) Fail(shown + " is damaged (" + failure + ")");
    if (done > stat.size) Fail(shown + " inflates past its declared size");
    if (done != stat.size) Fail(shown + " is damaged (shorter than its declared size)");
    content.resize(done);
    return content;
  }

 private:
  zip_t* archive_ = nullptr;
  std::map<std::string, zip_uint64_t> entries_;  // by lower-case name
};

// ----------------------------------------------------------------------- XML

constexpr std::size_t kMaxXmlDepth = 1000;
constexpr std::array<std::string_view, 2> kRelationshipNamespaces = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};
// Expat joins a namespace URI and a local name with it.
constexpr char kNamespaceSeparator = '\x01';

std::string_view LocalName(std::string_view name) {
  const std::size_t separator = name.rfind(kNamespaceSeparator);
  return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

// The start and end tags of one XML part, in order, parsed by expat (one
// tag at a time: the parser is suspended after each), namespaces resolved;
// a self-closing tag gives a start then an end. A document type
// declaration is refused (Open XML parts may not have one), so only the
// predefined entities exist, and no entity can expand.
class XmlScanner {
 public:
  XmlScanner(std::string_view text, std::string part)
      : text_(text), part_(std::move(part)), parser_(XML_ParserCreateNS(nullptr, kNamespaceSeparator)) {
    if (parser_ == nullptr) office::Fail(part_ + ": out of memory for the XML parser");
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlScanner::OnStart, &XmlScanner::OnEnd);
    XML_SetCharacterDataHandler(parser_, &XmlScanner::OnText);
    XML_SetStartDoctypeDeclHandler(parser_, &XmlScanner::OnDoctype);
  }
  XmlScanner(const XmlScanner&) = delete;
  XmlScanner& operator=(const XmlScanner&) = delete;
  ~XmlScanner() { XML_ParserFree(parser_); }

  // Moves to the next tag; false once the root element has ended.
  bool Next() {
    while (pending_.empty()) {
      if (done_) return false;
      Parse();
    }
    current_ = std::move(pending_.front());
    pending_.pop_front();
    return true;
  }
  [[nodiscard]] bool IsStart() const { return current_.start; }
  [[nodiscard]] std::string_view Local() const { return LocalName(current_.name); }
  // A start tag's depth (1 = the root); at an end tag, its parent's.
  [[nodiscard]] std::size_t Depth() const {
    return current_.start ? current_.open.size() : current_.open.size() - 1;
  }
  // The local name of the open element at `depth` (1 = the root).
  [[nodiscard]] std::string_view Ancestor(std::size_t depth) const {
    return LocalName(current_.open.at(depth - 1));
  }
  // The current start tag's attribute without a namespace.
  [[nodiscard]] std::optional<std::string> Attribute(std::string_view name) const {
    for (const auto& [attribute, value] : current_.attributes) {
      if (attribute == name) return value;
    }
    return std::nullopt;
  }
  // Its attribute `local` in one of the namespaces.
  [[nodiscard]] std::optional<std::string> Attribute(
      std::string_view local, const std::array<std::string_view, 2>& namespaces) const {
    for (const std::string_view uri : namespaces) {
      if (std::optional<std::string> value =
              Attribute(std::string(uri) + kNamespaceSeparator + std::string(local)))
        return value;
    }
    return std::nullopt;
  }
  // At an end tag: the character data directly inside the element (the
  // content of a text-only element such as <v>).
  [[nodiscard]] const std::string& Text() const { return current_.text; }
  [[noreturn]] void Fail(const std::string& what) const { office::Fail(part_ + ": " + what); }

 private:
  struct Event {
    bool start = false;
    std::string name;
    std::vector<std::string> open;  // the open elements' names, the event's own last
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
  };

  void Parse() {
    const XML_Status status =
        started_ ? XML_ResumeParser(parser_)
                 : XML_Parse(parser_, text_.data(), static_cast<int>(text_.size()), XML_TRUE);
    started_ = true;
    if (status == XML_STATUS_SUSPENDED) return;
    if (!refusal_.empty()) Fail(refusal_);
    if (status == XML_STATUS_ERROR) {
      Fail(std::string("malformed XML: ") + XML_ErrorString(XML_GetErrorCode(parser_)) + " at line " +
           std::to_string(XML_GetCurrentLineNumber(parser_)));
    }
    done_ = true;
  }

  // Stops after the current tag; the end of a self-closing tag may still
  // come before the parser stops.
  void Suspend() {
    XML_ParsingStatus status;
    XML_GetParsingStatus(parser_, &status);
    if (status.parsing == XML_PARSING) XML_StopParser(parser_, XML_TRUE);
  }

  void Refuse(std::string why) {
    refusal_ = std::move(why);
    XML_StopParser(parser_, XML_FALSE);
  }

  static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<XmlScanner*>(data);
    if (self->open_.size() == kMaxXmlDepth) return self->Refuse("XML nested too deeply");
    self->open_.emplace_back(name);
    self->texts_.emplace_back();
    Event event{true, name, self->open_, {}, {}};
    for (const XML_Char** a = attributes; *a != nullptr; a += 2) event.attributes.emplace_back(a[0], a[1]);
    self->pending_.push_back(std::move(event));
    self->Suspend();
  }
  static void XMLCALL OnEnd(void* data, const XML_Char* name) {
    auto* self = static_cast<XmlScanner*>(data);
    Event event{false, name, self->open_, {}, std::move(self->texts_.back())};
    self->open_.pop_back();
    self->texts_.pop_back();
    self->pending_.push_back(std::move(event));
    self->Suspend();
  }
  static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<XmlScanner*>(data);
    if (!self->texts_.empty()) self->texts_.back().append(text, static_cast<std::size_t>(length));
  }
  static void XMLCALL OnDoctype(void* data, const XML_Char* /*name*/, const XML_Char* /*system*/,
                                const XML_Char* /*public*/, int /*internal*/) {
    static_cast<XmlScanner*>(data)->Refuse("a document type declaration is not allowed");
  }

  std::string_view text_;
  std::string part_;
  XML_Parser parser_;
  bool started_ = false;
  bool done_ = false;
  std::string refusal_;
  std::vector<std::string> open_;
  std::vector<std::string> texts_;
  std::deque<Event> pending_;
  Event current_;
};

// ----------------------------------------------------------------- the parts

struct Relationship {
  std::string type;
  std::string target;
  bool external = false;
};

// Id → relationship, from a .rels part.
std::map<std::string, Relationship> ReadRelationships(std::string_view xml, const std::string& part) {
  std::map<std::string, Relationship> relationships;
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (!x.IsStart() || x.Depth() != 2 || x.Local() != "Relationship") continue;
    std::optional<std::string> id = x.Attribute("Id");
    std::optional<std::string> target = x.Attribute("Target");
    if (!id || !target) x.Fail("a relationship without Id or Target");
    relationships.emplace(std::move(*id), Relationship{x.Attribute("Type").value_or(""), std::move(*target),
                                                       x.Attribute("TargetMode") == "External"});
  }
  return relationships;
}

std::string_view Folder(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string_view{} : part.substr(0, slash + 1);
}

// The zip name of a relationship target, relative to the part that holds the
// relationship (`source`, "" for the package) unless it starts with '/'.
std::string ResolveTarget(std::string_view source, std::string_view target) {
  const std::string path = target.starts_with('/') ? std::string(target.substr(1))
                                                   : std::string(Folder(source)) + std::string(target);
  std::vector<std::string_view> segments;
  const std::string_view view = path;
  for (std::size_t start = 0; start <= view.size();) {
    std::size_t slash = view.find('/', start);
    if (slash == std::string_view::npos) slash = view.size();
    const std::string_view segment = view.substr(start, slash - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = slash + 1;
  }
  std::string name;
  for (const std::string_view segment : segments) name += (name.empty() ? "" : "/") + std::string(segment);
  return name;
}

// A part by name; part names may be percent-encoded where the zip's are not.
std::optional<std::string> ReadPart(const ZipArchive& zip, const std::string& name) {
  if (std::optional<std::string> content = zip.Read(name)) return content;
  std::string decoded;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '%' && i + 2 < name.size() && HexDigit(name[i + 1]) >= 0 && HexDigit(name[i + 2]) >= 0) {
      decoded += static_cast<char>(HexDigit(name[i + 1]) * 16 + HexDigit(name[i + 2]));
      i += 2;
    } else {
      decoded += name[i];
    }
  }
  return decoded == name ? std::nullopt : zip.Read(decoded);
}

std::size_t ReadIndex(const XmlScanner& x, const std::string& text) {
  std::size_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || value > 100000000) x.Fail("bad number '" + text + "'");
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  if (text.empty()) x.Fail("empty number");
  return value;
}

bool ReadBoolean(const XmlScanner& x, const std::optional<std::string>& text) {
  if (!text || *text == "0" || *text == "false") return false;
  if (*text == "1" || *text == "true") return true;
  x.Fail("'" + *text + "' is not a truth value");
}

// ECMA-376 function names → Excel's XlConsolidationFunction codes.
constexpr std::array<std::pair<std::string_view, long>, 11> kFunctions = {{{"average", -4106},
                                                                           {"count", -4112},
                                                                           {"countNums", -4113},
                                                                           {"max", -4136},
                                                                           {"min", -4139},
                                                                           {"product", -4149},
                                                                           {"stdDev", -4155},
                                                                           {"stdDevp", -4156},
                                                                           {"sum", -4157},
                                                                           {"var", -4164},
                                                                           {"varp", -4165}}};

long FunctionCode(const XmlScanner& x, const std::string& name) {
  for (const auto& [functionName, code] : kFunctions) {
    if (name == functionName) return code;
  }
  x.Fail("unknown consolidation function '" + name + "'");
}

// "B5" or "$B$5" → row and column; false when it is not a cell address.
bool ReadCell(std::string_view text, long& row, long& column) {
  std::size_t i = text.starts_with('$') ? 1 : 0;
  column = 0;
  const std::size_t letters = i;
  for (; i < text.size() && i - letters < 3 &&
         ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z'));
       ++i) {
    column = column * 26 + ((text[i] & ~0x20) - 'A' + 1);
  }
  if (i == letters || column > 16384) return false;
  if (i < text.size() && text[i] == '$') ++i;
  row = 0;
  const std::size_t digits = i;
  for (; i < text.size() && i - digits < 7 && text[i] >= '0' && text[i] <= '9'; ++i)
    row = row * 10 + (text[i] - '0');
  return i == text.size() && i != digits && row >= 1 && row <= 1048576;
}

// A sheet name quoted as in a reference, as QualifiedReference quotes it.
std::string QuotedSheet(std::string_view sheet) {
  const std::string reference = QualifiedReference(sheet, 1, 1, 1, 1);
  return reference.substr(0, reference.rfind('!'));
}

// One <dataRef>: "'Sheet'!$A$2:$B$5" for sheet and ref, the name for a name.
std::string ReadSource(const XmlScanner& x, const std::string& ownSheet) {
  if (x.Attribute("id", kRelationshipNamespaces))
    x.Fail("consolidation sources in another workbook are not supported");
  const std::optional<std::string> sheet = x.Attribute("sheet");
  if (const std::optional<std::string> ref = x.Attribute("ref")) {
    const std::size_t colon = ref->find(':');
    long top = 0;
    long left = 0;
    long bottom = 0;
    long right = 0;
    const std::string_view view = *ref;
    if (!ReadCell(view.substr(0, colon), top, left) ||
        !ReadCell(colon == std::string_view::npos ? view : view.substr(colon + 1), bottom, right)) {
      x.Fail("bad consolidation reference '" + *ref + "'");
    }
    return QualifiedReference(sheet.value_or(ownSheet), std::min(top, bottom), std::min(left, right),
                              std::max(top, bottom), std::max(left, right));
  }
  if (const std::optional<std::string> name = x.Attribute("name")) {
    return sheet ? QuotedSheet(*sheet) + "!" + *name : *name;
  }
  x.Fail("a consolidation source without ref or name");
}

// The worksheet's first <dataConsolidate>, if any.
std::optional<Consolidation> ReadConsolidation(std::string_view xml, const std::string& part,
                                               const std::string& sheet) {
  std::optional<Consolidation> consolidation;
  std::size_t seen = 0;
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (!x.IsStart()) continue;
    if (x.Depth() == 2 && x.Local() == "dataConsolidate" && ++seen == 1) {
      consolidation.emplace();
      consolidation->function = FunctionCode(x, x.Attribute("function").value_or("sum"));
      consolidation->topRow = ReadBoolean(x, x.Attribute("topLabels"));
      consolidation->leftColumn = ReadBoolean(x, x.Attribute("leftLabels"));
      consolidation->createLinks = ReadBoolean(x, x.Attribute("link"));
    } else if (seen == 1 && x.Depth() == 4 && x.Local() == "dataRef" && x.Ancestor(3) == "dataRefs" &&
               x.Ancestor(2) == "dataConsolidate") {
      consolidation->sources.push_back(ReadSource(x, sheet));
    }
  }
  return consolidation;
}

// The number format text of each cell style (cellXfs), from the styles
// part: its own <numFmt> or a built-in one.
std::vector<std::optional<std::string>> ReadCellFormats(std::string_view xml, const std::string& part) {
  std::map<std::size_t, std::string> own;
  std::vector<std::size_t> ofStyle;
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (!x.IsStart() || x.Depth() != 3) continue;
    if (x.Local() == "numFmt" && x.Ancestor(2) == "numFmts") {
      const std::optional<std::string> id = x.Attribute("numFmtId");
      if (!id) x.Fail("a numFmt without numFmtId");
      own[ReadIndex(x, *id)] = x.Attribute("formatCode").value_or("");
    } else if (x.Local() == "xf" && x.Ancestor(2) == "cellXfs") {
      ofStyle.push_back(ReadIndex(x, x.Attribute("numFmtId").value_or("0")));
    }
  }
  std::vector<std::optional<std::string>> formats;
  formats.reserve(ofStyle.size());
  for (const std::size_t id : ofStyle) {
    if (const auto found = own.find(id); found != own.end()) {
      formats.emplace_back(found->second);
    } else if (const std::string_view builtIn = BuiltInNumberFormat(
                   static_cast<unsigned>(std::min<std::size_t>(id, std::numeric_limits<unsigned>::max())));
               !builtIn.empty()) {
      formats.emplace_back(std::string(builtIn));
    } else {
      formats.emplace_back(std::nullopt);
    }
  }
  return formats;
}

// A stored result <v> of type `type` (the cell's t attribute).
StoredValue ReadResult(const XmlScanner& x, std::string_view type, const std::string& text) {
  if (type == "str" || type == "inlineStr") return {StoredValue::Kind::kText, 0, text};
  if (type == "b") return {StoredValue::Kind::kBoolean, text == "1" || text == "true" ? 1.0 : 0.0, {}};
  if (type == "e") return {StoredValue::Kind::kError, 0, text};
  if (type != "n" && !type.empty()) x.Fail("a formula result of type " + std::string(type));
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size())
    x.Fail("a formula result that is no number: " + text);
  return {StoredValue::Kind::kNumber, number, {}};
}

// Every <c> of a worksheet's <sheetData>: its format, and a formula's
// stored result.
void ReadCells(std::string_view xml, const std::string& part,
               const std::vector<std::optional<std::string>>& formats,
               std::map<CellPosition, StoredCell>& cells) {
  XmlScanner x(xml, part);
  long row = -1;
  long column = -1;
  std::string type;
  StoredCell* cell = nullptr;
  struct Shared {
    std::string text;
    long row;
    long column;
  };
  std::map<std::string, Shared> shared;  // by si, from the cell that holds the text
  std::string formulaKind;
  std::string sharedIndex;
  while (x.Next()) {
    if (!x.IsStart()) {
      if (x.Depth() == 3) cell = nullptr;  // the end of <c>
      if (cell != nullptr && x.Depth() == 4 && x.Local() == "f") {
        std::string text = x.Text();
        if (formulaKind == "shared") {
          if (!text.empty()) {
            shared[sharedIndex] = {text, row, column};
          } else if (const auto master = shared.find(sharedIndex); master != shared.end()) {
            text =
                ShiftFormula(master->second.text, row - master->second.row, column - master->second.column);
          }
        }
        // A data table's cells hold no formula of their own in Excel.
        if (formulaKind != "dataTable") cell->formulaText = std::move(text);
      } else if (cell != nullptr && x.Depth() == 4 && x.Local() == "v" && cell->formula) {
        cell->result = ReadResult(x, type, x.Text());
      }
      continue;
    }
    if (x.Depth() == 3 && x.Local() == "row" && x.Ancestor(2) == "sheetData") {
      const std::optional<std::string> r = x.Attribute("r");
      row = r ? static_cast<long>(ReadIndex(x, *r)) - 1 : row + 1;
      column = -1;
    } else if (x.Depth() == 4 && x.Local() == "c" && x.Ancestor(3) == "row") {
      if (const std::optional<std::string> r = x.Attribute("r")) {
        long cellRow = 0;
        if (!ReadCell(*r, cellRow, column)) x.Fail("a cell named " + *r);
        row = cellRow - 1;
        --column;
      } else {
        ++column;
      }
      if (row < 0) x.Fail("a cell before its row");
      cell = &cells[{row, column}];
      const std::size_t style = ReadIndex(x, x.Attribute("s").value_or("0"));
      cell->numberFormat = style < formats.size() ? formats[style] : std::nullopt;
      type = x.Attribute("t").value_or("n");
    } else if (cell != nullptr && x.Depth() == 5 && x.Local() == "f") {
      cell->formula = true;
      formulaKind = x.Attribute("t").value_or("normal");
      sharedIndex = x.Attribute("si").value_or("");
    }
  }
}
}  // namespace

FileRecords ReadXlsxRecords(std::string_view bytes) {
  const ZipArchive zip(bytes);
  // The workbook part is the package's officeDocument relationship.
  std::string workbookPart = "xl/workbook.xml";
  if (const std::optional<std::string> rels = ReadPart(zip, "_rels/.rels")) {
    for (const auto& [id, relationship] : ReadRelationships(*rels, "_rels/.rels")) {
      if (!relationship.external && relationship.type.ends_with("/officeDocument")) {
        workbookPart = ResolveTarget("", relationship.target);
        break;
      }
    }
  }
  const std::optional<std::string> workbook = ReadPart(zip, workbookPart);
  if (!workbook) Fail(workbookPart + " is missing");

  FileRecords records;
  std::vector<std::string> sheetIds;
  std::size_t activeTab = 0;
  bool viewSeen = false;
  XmlScanner x(*workbook, workbookPart);
  while (x.Next()) {
    if (!x.IsStart() || x.Depth() < 2 || x.Depth() > 3) continue;
    if (x.Depth() == 3 && x.Local() == "sheet" && x.Ancestor(2) == "sheets") {
      std::optional<std::string> name = x.Attribute("name");
      std::optional<std::string> id = x.Attribute("id", kRelationshipNamespaces);
      if (!name || !id) x.Fail("a sheet without name or r:id");
      const std::string state = x.Attribute("state").value_or("visible");
      if (state == "hidden") records.hiddenSheets[*name] = SheetState::kHidden;
      if (state == "veryHidden") records.hiddenSheets[*name] = SheetState::kVeryHidden;
      records.sheetNames.push_back(std::move(*name));
      sheetIds.push_back(std::move(*id));
    } else if (x.Local() == "workbookPr" && x.Depth() == 2) {
      records.date1904 = ReadBoolean(x, x.Attribute("date1904"));
    } else if (x.Depth() == 3 && x.Local() == "workbookView" && x.Ancestor(2) == "bookViews" && !viewSeen) {
      viewSeen = true;
      if (const std::optional<std::string> tab = x.Attribute("activeTab")) activeTab = ReadIndex(x, *tab);
    }
  }
  if (records.sheetNames.empty()) x.Fail("no sheet");
  if (activeTab >= records.sheetNames.size())
    x.Fail("the active sheet " + std::to_string(activeTab) + " does not exist");
  records.activeSheet = activeTab;

  const std::string relsPart = std::string(Folder(workbookPart)) + "_rels/" +
                               workbookPart.substr(Folder(workbookPart).size()) + ".rels";
  const std::optional<std::string> rels = ReadPart(zip, relsPart);
  if (!rels) Fail(relsPart + " is missing");
  const std::map<std::string, Relationship> relationships = ReadRelationships(*rels, relsPart);
  std::vector<std::optional<std::string>> formats;
  for (const auto& [id, relationship] : relationships) {
    if (relationship.external || !relationship.type.ends_with("/styles")) continue;
    const std::string part = ResolveTarget(workbookPart, relationship.target);
    if (const std::optional<std::string> styles = ReadPart(zip, part))
      formats = ReadCellFormats(*styles, part);
    break;
  }
  std::set<std::string> partsRead;  // so that no part is inflated twice
  for (std::size_t i = 0; i < sheetIds.size(); ++i) {
    const std::string& sheet = records.sheetNames[i];
    const auto relationship = relationships.find(sheetIds[i]);
    if (relationship == relationships.end())
      Fail(std::string(relsPart)
               .append(": no relationship ")
               .append(sheetIds[i])
               .append(" for sheet ")
               .append(sheet));
    // Chart sheets have no consolidation settings.
    if (relationship->second.type.ends_with("/chartsheet")) records.chartSheets.insert(sheet);
    if (relationship->second.external || relationship->second.type.ends_with("/chartsheet")) continue;
    const std::string part = ResolveTarget(workbookPart, relationship->second.target);
    if (!partsRead.insert(Lower(part)).second) Fail("two sheets share " + part);
    const std::optional<std::string> xml = ReadPart(zip, part);
    if (!xml) Fail(part + " is missing");
    if (std::optional<Consolidation> consolidation = ReadConsolidation(*xml, part, sheet)) {
      records.consolidations.emplace(sheet, std::move(*consolidation));
    }
    ReadCells(*xml, part, formats, records.cells[sheet]);
  }
  return records;
}

}  // namespace office
