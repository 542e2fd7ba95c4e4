// The .xlsx reader: sheet names and states, active sheet, date system,
// consolidation settings, each cell's number format and each formula's
// stored result, read with a small zip reader (stored and deflated
// entries, zlib) and a small XML tag scanner. Both check every offset and size against the
// bytes they were given, and neither needs more than linear time.
#include <zip.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
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
constexpr std::size_t kMaxNamespaceBindings = 1000;
constexpr std::array<std::string_view, 2> kRelationshipNamespaces = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};

std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The start and end tags of one XML part, in order; text, comments, CDATA
// sections and processing instructions are skipped, and a self-closing tag
// gives a start then an end. A document type declaration is refused (Open
// XML parts may not have one), so only the predefined entities exist.
class XmlScanner {
 public:
  XmlScanner(std::string_view text, std::string part) : text_(text), part_(std::move(part)) {}

  // Moves to the next tag; false once the root element has ended.
  bool Next();
  [[nodiscard]] bool IsStart() const { return start_; }
  [[nodiscard]] std::string_view Local() const { return LocalName(name_); }
  // The current start tag's depth: 1 for the root element.
  [[nodiscard]] std::size_t Depth() const { return open_.size(); }
  // The local name of the open element at `depth` (1 = the root).
  [[nodiscard]] std::string_view Ancestor(std::size_t depth) const { return LocalName(open_.at(depth - 1)); }
  // The current start tag's unprefixed attribute, decoded.
  [[nodiscard]] std::optional<std::string> Attribute(std::string_view name) const;
  // Its attribute `local` in one of the namespaces, whatever the prefix.
  [[nodiscard]] std::optional<std::string> Attribute(std::string_view local,
                                                     const std::array<std::string_view, 2>& namespaces) const;
  [[noreturn]] void Fail(const std::string& what) const { office::Fail(part_ + ": " + what); }
  // The character data right after the current start tag, entities
  // decoded: the content of a text-only element such as <v>.
  [[nodiscard]] std::string Text() const {
    if (!start_ || pendingEnd_) return {};
    const std::size_t lt = text_.find('<', pos_);
    return Decode(text_.substr(pos_, (lt == std::string_view::npos ? text_.size() : lt) - pos_), false);
  }

 private:
  struct RawAttribute {
    std::string_view name;
    std::string_view value;  // undecoded
  };
  struct Binding {
    std::size_t depth;
    std::string_view prefix;
    std::string uri;
  };

  [[nodiscard]] char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  [[nodiscard]] bool At(std::string_view token) const { return text_.substr(pos_).starts_with(token); }
  void SkipPast(std::string_view terminator, std::string_view what);
  bool SkipSpace();
  std::string_view ReadName();
  void ReadStartTag();
  void Close();
  // `attribute`: white space is normalised as in an attribute value.
  [[nodiscard]] std::string Decode(std::string_view raw, bool attribute = true) const;

  std::string_view text_;
  std::string part_;
  std::size_t pos_ = 0;
  bool start_ = false;
  bool pendingEnd_ = false;  // the current start tag was self-closing
  bool rootSeen_ = false;
  std::string_view name_;
  std::vector<std::string_view> open_;  // qualified names of the open elements
  std::vector<RawAttribute> attributes_;
  std::vector<Binding> bindings_;  // xmlns:prefix declarations in scope
};

bool XmlScanner::Next() {
  if (pendingEnd_) {
    pendingEnd_ = false;
    start_ = false;
    Close();
    return true;
  }
  if (rootSeen_ && open_.empty()) return false;
  for (;;) {
    const std::size_t lt = text_.find('<', pos_);
    if (lt == std::string_view::npos) {
      Fail(rootSeen_ ? "the XML ends inside an element" : "no XML root element");
    }
    pos_ = lt + 1;
    if (At("!--")) {
      SkipPast("-->", "comment");
    } else if (At("![CDATA[")) {
      SkipPast("]]>", "CDATA section");
    } else if (At("?")) {
      SkipPast("?>", "processing instruction");
    } else if (At("!")) {
      Fail("a document type declaration is not allowed");
    } else if (At("/")) {
      ++pos_;
      name_ = ReadName();
      SkipSpace();
      if (Peek() != '>' || open_.empty() || open_.back() != name_) Fail("malformed XML (end tag)");
      ++pos_;
      start_ = false;
      Close();
      return true;
    } else {
      ReadStartTag();
      return true;
    }
  }
}

void XmlScanner::SkipPast(std::string_view terminator, std::string_view what) {
  const std::size_t end = text_.find(terminator, pos_);
  if (end == std::string_view::npos) Fail("unterminated " + std::string(what));
  pos_ = end + terminator.size();
}

bool XmlScanner::SkipSpace() {
  const std::size_t start = pos_;
  while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') ++pos_;
  return pos_ != start;
}

std::string_view XmlScanner::ReadName() {
  const std::size_t start = pos_;
  for (char c = Peek(); c != '\0' && std::string_view(" \t\r\n/>=<\"'").find(c) == std::string_view::npos;
       c = Peek()) {
    ++pos_;
  }
  if (pos_ == start) Fail("malformed XML (name expected)");
  return text_.substr(start, pos_ - start);
}

void XmlScanner::ReadStartTag() {
  name_ = ReadName();
  attributes_.clear();
  for (;;) {
    const bool spaced = SkipSpace();
    if (Peek() == '>' || At("/>")) break;
    if (!spaced) Fail("malformed XML (attribute)");
    const std::string_view attribute = ReadName();
    SkipSpace();
    if (Peek() != '=') Fail("malformed XML (attribute without value)");
    ++pos_;
    SkipSpace();
    const char quote = Peek();
    if (quote != '"' && quote != '\'') Fail("malformed XML (unquoted attribute)");
    const std::size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string_view::npos) Fail("malformed XML (unterminated attribute)");
    const std::string_view value = text_.substr(pos_ + 1, close - pos_ - 1);
    if (value.find('<') != std::string_view::npos) Fail("malformed XML ('<' in an attribute)");
    attributes_.push_back({attribute, value});
    pos_ = close + 1;
  }
  pendingEnd_ = Peek() == '/';
  pos_ += pendingEnd_ ? 2 : 1;
  rootSeen_ = true;
  if (open_.size() == kMaxXmlDepth) Fail("XML nested too deeply");
  open_.push_back(name_);
  for (const RawAttribute& a : attributes_) {
    if (!a.name.starts_with("xmlns:")) continue;
    if (bindings_.size() == kMaxNamespaceBindings) Fail("too many XML namespace declarations");
    bindings_.push_back({open_.size(), a.name.substr(6), Decode(a.value)});
  }
  start_ = true;
}

void XmlScanner::Close() {
  while (!bindings_.empty() && bindings_.back().depth == open_.size()) bindings_.pop_back();
  name_ = open_.back();
  open_.pop_back();
}

std::optional<std::string> XmlScanner::Attribute(std::string_view name) const {
  for (const RawAttribute& a : attributes_) {
    if (a.name == name) return Decode(a.value);
  }
  return std::nullopt;
}

std::optional<std::string> XmlScanner::Attribute(std::string_view local,
                                                 const std::array<std::string_view, 2>& namespaces) const {
  for (const RawAttribute& a : attributes_) {
    const std::size_t colon = a.name.find(':');
    if (colon == std::string_view::npos || a.name.substr(colon + 1) != local) continue;
    const std::string_view prefix = a.name.substr(0, colon);
    for (auto b = bindings_.rbegin(); b != bindings_.rend(); ++b) {
      if (b->prefix != prefix) continue;
      for (const std::string_view uri : namespaces) {
        if (b->uri == uri) return Decode(a.value);
      }
      break;
    }
  }
  return std::nullopt;
}

// Attribute value: predefined entities and character references decoded,
// white space normalised to spaces as XML requires.
std::string XmlScanner::Decode(std::string_view raw, bool attribute) const {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    // Line ends are one line feed in content too.
    if (c == '\r') {
      out += attribute ? ' ' : '\n';
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      continue;
    }
    if (attribute && (c == '\t' || c == '\n')) {
      out += ' ';
      continue;
    }
    if (c != '&') {
      out += c;
      continue;
    }
    const std::size_t semicolon = raw.find(';', i);
    if (semicolon == std::string_view::npos) Fail("malformed XML (bare '&')");
    const std::string_view entity = raw.substr(i + 1, semicolon - i - 1);
    i = semicolon;
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
        {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}}};
    bool named = false;
    for (const auto& [entityName, character] : kEntities) {
      if (entity == entityName) {
        out += character;
        named = true;
      }
    }
    if (named) continue;
    const bool hex = entity.starts_with("#x");
    if (!hex && !entity.starts_with("#")) Fail("unknown XML entity &" + std::string(entity) + ";");
    const std::string_view digits = entity.substr(hex ? 2 : 1);
    std::uint32_t code = 0;
    for (const char d : digits) {
      const int value = HexDigit(d);
      if (value < 0 || (!hex && value > 9)) {
        code = 0;  // not a character
        break;
      }
      code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
      if (code > 0x10FFFF) break;
    }
    // XML's Char: tab, line feed, carriage return, and the rest of Unicode
    // but the surrogates, U+FFFE and U+FFFF.
    const bool valid =
        !digits.empty() && (code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code < 0xD800) ||
                            (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF));
    if (!valid) Fail("bad XML character reference &" + std::string(entity) + ";");
    AppendUtf8(out, code);
  }
  return out;
}

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
  while (x.Next()) {
    if (!x.IsStart()) {
      if (x.Depth() == 3) cell = nullptr;  // the end of <c>
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
      const std::string kind = x.Attribute("t").value_or("normal");
      std::string text = x.Text();
      if (kind == "shared") {
        const std::string si = x.Attribute("si").value_or("");
        if (!text.empty()) {
          shared[si] = {text, row, column};
        } else if (const auto master = shared.find(si); master != shared.end()) {
          text = ShiftFormula(master->second.text, row - master->second.row, column - master->second.column);
        }
      }
      // A data table's cells hold no formula of their own in Excel.
      if (kind != "dataTable") cell->formulaText = std::move(text);
    } else if (cell != nullptr && x.Depth() == 5 && x.Local() == "v" && cell->formula) {
      cell->result = ReadResult(x, type, x.Text());
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
