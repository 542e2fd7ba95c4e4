#include "tests/office/support/xlsx_patch.h"

#include "office/utf8.h"

#define ZLIB_CONST
#include <zlib.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace test_support {

std::string XmlEscape(std::string_view text) {
  std::string out;
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
      default:
        out += c;
    }
  }
  return out;
}

namespace {

// ----------------------------------------------------------------------- zip

void Put(std::string& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFFU);
}

std::uint32_t Get(std::string_view bytes, std::size_t at, std::size_t width) {
  if (at > bytes.size() || width > bytes.size() - at)
    throw std::runtime_error("zip: field outside the archive");
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = (value << 8U) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::uint32_t Crc(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string Deflate(std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("zlib: deflateInit2");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<const Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("zlib: deflate");
  return out;
}

std::string Inflate(std::string_view data, std::size_t size) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw std::runtime_error("zlib: inflateInit2");
  std::string out(size, '\0');
  z.next_in = reinterpret_cast<const Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&z, Z_FINISH);
  const uLong written = z.total_out;
  inflateEnd(&z);
  if (result != Z_STREAM_END || written != size) throw std::runtime_error("zip: bad deflate data");
  return out;
}

// ----------------------------------------------------------------------- XML

struct Tag {
  std::size_t begin = 0;  // at '<'
  std::size_t end = 0;    // past '>'
  std::string name;       // with its prefix
  bool closing = false;
  bool selfClosing = false;
  std::size_t depth = 0;                                        // 1 for the root element
  std::vector<std::pair<std::string, std::string>> attributes;  // decoded values
};

std::string_view Local(std::string_view name) { return name.substr(name.find(':') + 1); }

// The predefined entities and character references (UTF-8 out).
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (semicolon == std::string_view::npos) {
      out += text[i];
      continue;
    }
    const std::string entity(text.substr(i + 1, semicolon - i - 1));
    i = semicolon;
    static const std::map<std::string, char> kNamed = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    if (const auto named = kNamed.find(entity); named != kNamed.end()) {
      out += named->second;
      continue;
    }
    const bool hex = entity.starts_with("#x");
    const auto code =
        static_cast<std::uint32_t>(std::stoul(entity.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10));
    office::AppendUtf8(out, code);
  }
  return out;
}

// The start and end tags of a well-formed part written by a known writer.
std::vector<Tag> Tags(std::string_view xml) {
  std::vector<Tag> tags;
  std::size_t depth = 0;
  const auto fail = [] { throw std::runtime_error("xlsx_patch: malformed XML"); };
  for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at)) {
    if (xml.substr(at).starts_with("<!--")) {
      at = xml.find("-->", at);
      continue;
    }
    if (xml.substr(at).starts_with("<?") || xml.substr(at).starts_with("<!")) {
      at = xml.find('>', at);
      continue;
    }
    Tag tag;
    tag.begin = at++;
    tag.closing = at < xml.size() && xml[at] == '/';
    if (tag.closing) ++at;
    const std::size_t nameEnd = xml.find_first_of(" \t\r\n/>", at);
    if (nameEnd == std::string_view::npos) fail();
    tag.name = xml.substr(at, nameEnd - at);
    at = xml.find_first_not_of(" \t\r\n", nameEnd);
    while (at != std::string_view::npos && xml[at] != '>' && xml[at] != '/') {
      const std::size_t equals = xml.find('=', at);
      const std::size_t open = xml.find_first_of("\"'", equals);
      if (open == std::string_view::npos) fail();
      const std::size_t close = xml.find(xml[open], open + 1);
      if (close == std::string_view::npos) fail();
      const std::string_view name = xml.substr(at, xml.find_first_of(" \t\r\n=", at) - at);
      tag.attributes.emplace_back(name, Unescape(xml.substr(open + 1, close - open - 1)));
      at = xml.find_first_not_of(" \t\r\n", close + 1);
    }
    if (at == std::string_view::npos) fail();
    tag.selfClosing = xml[at] == '/';
    tag.end = xml.find('>', at);
    if (tag.end == std::string_view::npos) fail();
    at = ++tag.end;
    tag.depth = tag.closing ? depth-- : ++depth;
    if (tag.selfClosing) --depth;
    tags.push_back(std::move(tag));
  }
  return tags;
}

std::string_view Attribute(const Tag& tag, std::string_view local) {
  for (const auto& [name, value] : tag.attributes) {
    if (name == local || (local == "r:id" && name.ends_with(":id"))) return value;
  }
  return {};
}

std::string& Part(std::vector<ZipEntry>& entries, std::string_view name) {
  for (ZipEntry& entry : entries) {
    if (entry.name == name) return entry.data;
  }
  throw std::invalid_argument("xlsx_patch: no part " + std::string(name));
}

// The prefix of the root element's name, with its colon ("" for none).
std::string RootPrefix(const std::vector<Tag>& tags) {
  if (tags.empty()) throw std::runtime_error("xlsx_patch: no root element");
  const std::size_t colon = tags.front().name.find(':');
  return colon == std::string::npos ? "" : tags.front().name.substr(0, colon + 1);
}

// Sheet name → its worksheet part, from xl/workbook.xml and its relationships.
std::map<std::string, std::string> SheetParts(std::vector<ZipEntry>& entries) {
  std::map<std::string, std::string> targets;  // relationship id → part
  for (const Tag& tag : Tags(Part(entries, "xl/_rels/workbook.xml.rels"))) {
    if (tag.closing || Local(tag.name) != "Relationship") continue;
    const std::string target(Attribute(tag, "Target"));
    targets[std::string(Attribute(tag, "Id"))] = target.starts_with('/') ? target.substr(1) : "xl/" + target;
  }
  std::map<std::string, std::string> parts;
  for (const Tag& tag : Tags(Part(entries, "xl/workbook.xml"))) {
    if (!tag.closing && Local(tag.name) == "sheet") {
      parts[std::string(Attribute(tag, "name"))] = targets[std::string(Attribute(tag, "r:id"))];
    }
  }
  return parts;
}

std::string FunctionName(long code) {
  static const std::map<long, std::string> kNames = {
      {-4106, "average"}, {-4112, "count"},   {-4113, "countNums"}, {-4136, "max"},
      {-4139, "min"},     {-4149, "product"}, {-4155, "stdDev"},    {-4156, "stdDevp"},
      {-4157, "sum"},     {-4164, "var"},     {-4165, "varp"}};
  const auto found = kNames.find(code);
  if (found == kNames.end())
    throw std::invalid_argument("xlsx_patch: no consolidation function " + std::to_string(code));
  return found->second;
}

// "'Semestre 1'!$A$2:$B$5" → <dataRef ref="A2:B5" sheet="Semestre 1"/>; a
// source without '!' is a defined name.
std::string DataRef(const std::string& prefix, std::string_view source) {
  std::string sheet;
  std::size_t bang = source.find('!');
  if (source.starts_with('\'')) {
    std::size_t i = 1;
    for (; i < source.size(); ++i) {
      if (source[i] == '\'' && i + 1 < source.size() && source[i + 1] == '\'') {
        sheet += source[i++];
      } else if (source[i] == '\'') {
        break;
      } else {
        sheet += source[i];
      }
    }
    bang = i + 1;
    if (bang >= source.size() || source[bang] != '!') throw std::invalid_argument("xlsx_patch: bad source");
  } else if (bang != std::string_view::npos) {
    sheet = source.substr(0, bang);
  } else {
    return "<" + prefix + "dataRef name=\"" + XmlEscape(source) + "\"/>";
  }
  std::string ref;
  for (const char c : source.substr(bang + 1)) {
    if (c != '$') ref += c;
  }
  return "<" + prefix + "dataRef ref=\"" + XmlEscape(ref) + "\" sheet=\"" + XmlEscape(sheet) + "\"/>";
}

std::string DataConsolidate(const std::string& prefix, const office::Consolidation& consolidation) {
  std::string xml =
      "<" + prefix + "dataConsolidate function=\"" + FunctionName(consolidation.function) + "\"";
  if (consolidation.leftColumn) xml += " leftLabels=\"1\"";
  if (consolidation.topRow) xml += " topLabels=\"1\"";
  if (consolidation.createLinks) xml += " link=\"1\"";
  if (consolidation.sources.empty()) return xml + "/>";
  xml += "><" + prefix + "dataRefs count=\"" + std::to_string(consolidation.sources.size()) + "\">";
  for (const std::string& source : consolidation.sources) xml += DataRef(prefix, source);
  return xml + "</" + prefix + "dataRefs></" + prefix + "dataConsolidate>";
}

// The worksheet elements that come after <dataConsolidate>, in order.
constexpr std::array<std::string_view, 26> kAfterDataConsolidate = {
    "customSheetViews", "mergeCells",    "phoneticPr",      "conditionalFormatting",
    "dataValidations",  "hyperlinks",    "printOptions",    "pageMargins",
    "pageSetup",        "headerFooter",  "rowBreaks",       "colBreaks",
    "customProperties", "cellWatches",   "ignoredErrors",   "smartTags",
    "drawing",          "legacyDrawing", "legacyDrawingHF", "drawingHF",
    "picture",          "oleObjects",    "controls",        "webPublishItems",
    "tableParts",       "extLst"};

void InsertConsolidation(std::string& xml, const office::Consolidation& consolidation) {
  const std::vector<Tag> tags = Tags(xml);
  std::size_t at = std::string::npos;
  for (const Tag& tag : tags) {
    if (tag.depth == 1 && tag.closing && at == std::string::npos) at = tag.begin;
    if (tag.depth != 2 || tag.closing) continue;
    if (Local(tag.name) == "dataConsolidate") throw std::invalid_argument("xlsx_patch: already consolidated");
    for (const std::string_view after : kAfterDataConsolidate) {
      if (Local(tag.name) == after && at == std::string::npos) at = tag.begin;
    }
  }
  if (at == std::string::npos) throw std::runtime_error("xlsx_patch: no place for <dataConsolidate>");
  xml.insert(at, DataConsolidate(RootPrefix(tags), consolidation));
}

}  // namespace

std::string WriteZip(const std::vector<ZipEntry>& entries, bool deflate) {
  std::string out;
  std::string directory;
  for (const ZipEntry& entry : entries) {
    const std::string data = deflate ? Deflate(entry.data) : entry.data;
    bool ascii = true;
    for (const char c : entry.name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    const auto offset = static_cast<std::uint32_t>(out.size());
    // Fields shared by the local header and the central directory: version
    // 2.0, UTF-8 flag for a non-ASCII name, method, 1980-01-01 00:00, CRC
    // and sizes, name length and no extra field.
    std::string common;
    Put(common, 20, 2);
    Put(common, ascii ? 0 : 0x800, 2);
    Put(common, deflate ? 8 : 0, 2);
    Put(common, 0, 2);
    Put(common, 0x21, 2);
    Put(common, Crc(entry.data), 4);
    Put(common, static_cast<std::uint32_t>(data.size()), 4);
    Put(common, static_cast<std::uint32_t>(entry.data.size()), 4);
    Put(common, static_cast<std::uint32_t>(entry.name.size()), 2);
    Put(common, 0, 2);
    Put(out, 0x04034b50, 4);
    out += common + entry.name + data;
    Put(directory, 0x02014b50, 4);
    Put(directory, 20, 2);
    directory += common;
    Put(directory, 0, 4);  // comment length, disk
    Put(directory, 0, 2);  // internal attributes
    Put(directory, 0, 4);  // external attributes
    Put(directory, offset, 4);
    directory += entry.name;
  }
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  out += directory;
  Put(out, 0x06054b50, 4);
  Put(out, 0, 4);  // disk numbers
  Put(out, static_cast<std::uint32_t>(entries.size()), 2);
  Put(out, static_cast<std::uint32_t>(entries.size()), 2);
  Put(out, static_cast<std::uint32_t>(directory.size()), 4);
  Put(out, directoryOffset, 4);
  Put(out, 0, 2);  // comment length
  return out;
}

std::vector<ZipEntry> ReadZip(std::string_view zip) {
  std::size_t end = zip.size() < 22 ? std::string_view::npos : zip.size() - 22;
  while (end != std::string_view::npos && Get(zip, end, 4) != 0x06054b50)
    end = end == 0 ? std::string_view::npos : end - 1;
  if (end == std::string_view::npos) throw std::runtime_error("zip: no end record");
  std::vector<ZipEntry> entries;
  std::size_t at = Get(zip, end + 16, 4);
  for (std::uint32_t i = 0, count = Get(zip, end + 10, 2); i < count; ++i) {
    if (Get(zip, at, 4) != 0x02014b50) throw std::runtime_error("zip: bad central directory");
    const std::uint32_t method = Get(zip, at + 10, 2);
    const std::size_t compressed = Get(zip, at + 20, 4);
    const std::size_t size = Get(zip, at + 24, 4);
    const std::size_t nameSize = Get(zip, at + 28, 2);
    const std::size_t local = Get(zip, at + 42, 4);
    ZipEntry entry{std::string(zip.substr(at + 46, nameSize)), {}};
    const std::size_t data = local + 30 + Get(zip, local + 26, 2) + Get(zip, local + 28, 2);
    if (data > zip.size() || compressed > zip.size() - data) throw std::runtime_error("zip: entry outside");
    if (method == 0) {
      entry.data = zip.substr(data, compressed);
    } else if (method == 8) {
      entry.data = Inflate(zip.substr(data, compressed), size);
    } else {
      throw std::runtime_error("zip: unsupported method");
    }
    entries.push_back(std::move(entry));
    at += 46 + nameSize + Get(zip, at + 30, 2) + Get(zip, at + 32, 2);
  }
  return entries;
}

std::string WithXlsxConsolidation(std::string_view xlsx,
                                  const std::map<std::string, office::Consolidation>& bySheet) {
  std::vector<ZipEntry> entries = ReadZip(xlsx);
  const std::map<std::string, std::string> parts = SheetParts(entries);
  for (const auto& [sheet, consolidation] : bySheet) {
    const auto part = parts.find(sheet);
    if (part == parts.end()) throw std::invalid_argument("xlsx_patch: no sheet " + sheet);
    InsertConsolidation(Part(entries, part->second), consolidation);
  }
  return WriteZip(entries);
}

std::string WithXlsxActiveSheet(std::string_view xlsx, std::size_t index) {
  std::vector<ZipEntry> entries = ReadZip(xlsx);
  std::string& workbook = Part(entries, "xl/workbook.xml");
  const std::vector<Tag> tags = Tags(workbook);
  const std::string prefix = RootPrefix(tags);
  const std::string activeTab = std::to_string(index);
  for (const Tag& tag : tags) {
    if (tag.closing || Local(tag.name) != "workbookView") continue;
    // The first view is the one that opens: rewrite its start tag.
    std::string text = "<" + tag.name;
    bool replaced = false;
    for (const auto& [name, value] : tag.attributes) {
      replaced = replaced || name == "activeTab";
      text += " " + name + "=\"" + XmlEscape(name == "activeTab" ? activeTab : value) + "\"";
    }
    if (!replaced) text += " activeTab=\"" + activeTab + "\"";
    workbook.replace(tag.begin, tag.end - tag.begin, text + (tag.selfClosing ? "/>" : ">"));
    return WriteZip(entries);
  }
  for (const Tag& tag : tags) {
    if (tag.closing || Local(tag.name) != "sheets") continue;
    workbook.insert(tag.begin, "<" + prefix + "bookViews><" + prefix + "workbookView activeTab=\"" +
                                   activeTab + "\"/></" + prefix + "bookViews>");
    return WriteZip(entries);
  }
  throw std::runtime_error("xlsx_patch: xl/workbook.xml has no <sheets>");
}

}  // namespace test_support
