#include "office/xlsx_package.h"

#include <algorithm>

namespace office::xlsx {
namespace {

constexpr std::size_t kMaxPartSize = 64U << 20U;  // inflated bytes of one part
constexpr std::size_t kMaxXmlDepth = 1000;
// Expat joins a namespace URI and a local name with it.
constexpr char kNamespaceSeparator = '\x01';

// 0-15, or -1 for a character that is not a hexadecimal digit.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view LocalName(std::string_view name) {
  const std::size_t separator = name.rfind(kNamespaceSeparator);
  return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

}  // namespace

void Fail(const std::string& message) { throw FileFormatError(message); }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// ----------------------------------------------------------------------- zip

ZipArchive::ZipArchive(std::string_view bytes) {
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

std::optional<std::string> ZipArchive::Read(std::string_view name) const {
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

// ----------------------------------------------------------------------- XML

XmlScanner::XmlScanner(std::string_view text, std::string part)
    : text_(text), part_(std::move(part)), parser_(XML_ParserCreateNS(nullptr, kNamespaceSeparator)) {
  if (parser_ == nullptr) xlsx::Fail(part_ + ": out of memory for the XML parser");
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, &XmlScanner::OnStart, &XmlScanner::OnEnd);
  XML_SetCharacterDataHandler(parser_, &XmlScanner::OnText);
  XML_SetStartDoctypeDeclHandler(parser_, &XmlScanner::OnDoctype);
}

bool XmlScanner::Next() {
  while (pending_.empty()) {
    if (done_) return false;
    Parse();
  }
  current_ = std::move(pending_.front());
  pending_.pop_front();
  return true;
}

std::string_view XmlScanner::Local() const { return LocalName(current_.name); }

std::string_view XmlScanner::Ancestor(std::size_t depth) const {
  return LocalName(current_.open.at(depth - 1));
}

bool XmlScanner::Inside(std::string_view local) const {
  return std::any_of(current_.open.begin(), current_.open.end(),
                     [local](const std::string& name) { return LocalName(name) == local; });
}

std::optional<std::string> XmlScanner::Attribute(std::string_view name) const {
  for (const auto& [attribute, value] : current_.attributes) {
    if (attribute == name) return value;
  }
  return std::nullopt;
}
std::optional<std::string> XmlScanner::Attribute(std::string_view local,
                                                 const std::array<std::string_view, 2>& namespaces) const {
  for (const std::string_view uri : namespaces) {
    if (std::optional<std::string> value =
            Attribute(std::string(uri) + kNamespaceSeparator + std::string(local)))
      return value;
  }
  return std::nullopt;
}

void XmlScanner::Parse() {
  const XML_Status status = started_
                                ? XML_ResumeParser(parser_)
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
void XmlScanner::Suspend() {
  XML_ParsingStatus status;
  XML_GetParsingStatus(parser_, &status);
  if (status.parsing == XML_PARSING) XML_StopParser(parser_, XML_TRUE);
}

void XmlScanner::Refuse(std::string why) {
  refusal_ = std::move(why);
  XML_StopParser(parser_, XML_FALSE);
}

void XMLCALL XmlScanner::OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* self = static_cast<XmlScanner*>(data);
  if (self->open_.size() == kMaxXmlDepth) return self->Refuse("XML nested too deeply");
  self->open_.emplace_back(name);
  self->texts_.emplace_back();
  Event event{true, name, self->open_, {}, {}};
  for (const XML_Char** a = attributes; *a != nullptr; a += 2) event.attributes.emplace_back(a[0], a[1]);
  self->pending_.push_back(std::move(event));
  self->Suspend();
}
void XMLCALL XmlScanner::OnEnd(void* data, const XML_Char* name) {
  auto* self = static_cast<XmlScanner*>(data);
  Event event{false, name, self->open_, {}, std::move(self->texts_.back())};
  self->open_.pop_back();
  self->texts_.pop_back();
  self->pending_.push_back(std::move(event));
  self->Suspend();
}
void XMLCALL XmlScanner::OnText(void* data, const XML_Char* text, int length) {
  auto* self = static_cast<XmlScanner*>(data);
  if (!self->texts_.empty()) self->texts_.back().append(text, static_cast<std::size_t>(length));
}
void XMLCALL XmlScanner::OnDoctype(void* data, const XML_Char* /*name*/, const XML_Char* /*system*/,
                                   const XML_Char* /*public*/, int /*internal*/) {
  static_cast<XmlScanner*>(data)->Refuse("a document type declaration is not allowed");
}

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

bool ReadRange(std::string_view text, long& top, long& left, long& bottom, long& right) {
  const std::size_t colon = text.find(':');
  long firstRow = 0;
  long firstColumn = 0;
  long lastRow = 0;
  long lastColumn = 0;
  if (!ReadCell(text.substr(0, colon), firstRow, firstColumn)) return false;
  if (colon == std::string_view::npos) {
    lastRow = firstRow;
    lastColumn = firstColumn;
  } else if (!ReadCell(text.substr(colon + 1), lastRow, lastColumn)) {
    return false;
  }
  top = std::min(firstRow, lastRow);
  left = std::min(firstColumn, lastColumn);
  bottom = std::max(firstRow, lastRow);
  right = std::max(firstColumn, lastColumn);
  return true;
}

std::map<std::string, Relationship> PartRelationships(const ZipArchive& zip, const std::string& part) {
  const std::string rels = std::string(Folder(part)) + "_rels/" + part.substr(Folder(part).size()) + ".rels";
  const std::optional<std::string> xml = ReadPart(zip, rels);
  return xml ? ReadRelationships(*xml, rels) : std::map<std::string, Relationship>{};
}

std::optional<std::string> RelatedPart(const std::map<std::string, Relationship>& relationships,
                                       const std::string& part, std::string_view typeSuffix) {
  for (const auto& [id, relationship] : relationships) {
    if (!relationship.external && relationship.type.ends_with(typeSuffix))
      return ResolveTarget(part, relationship.target);
  }
  return std::nullopt;
}

std::optional<std::string> PartById(const std::map<std::string, Relationship>& relationships,
                                    const std::string& part, const std::string& id) {
  const auto found = relationships.find(id);
  if (found == relationships.end() || found->second.external) return std::nullopt;
  return ResolveTarget(part, found->second.target);
}

}  // namespace office::xlsx
