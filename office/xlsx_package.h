// The Office Open XML package under the .xlsx readers: the zip container
// through libzip, each XML part through expat, the relationships between
// parts. Sizes, inflation and nesting are bounded; every failure is a
// FileFormatError naming the part.
#pragma once

#include <expat.h>
#include <zip.h>

#include <array>
#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "office/file_records.h"

namespace office::xlsx {

[[noreturn]] void Fail(const std::string& message);

// Part names compare case-insensitively (ASCII only).
[[nodiscard]] std::string Lower(std::string_view text);

// The archive through libzip, over the bytes in memory: its central
// directory checked against the local headers (ZIP_CHECKCONS), each part
// inflated no further than its declared size, and at most 64 MB, its CRC
// checked.
class ZipArchive {
 public:
  explicit ZipArchive(std::string_view bytes);
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive() { zip_discard(archive_); }

  // The entry's inflated bytes; nullopt when the archive has no such entry.
  [[nodiscard]] std::optional<std::string> Read(std::string_view name) const;

 private:
  zip_t* archive_ = nullptr;
  std::map<std::string, zip_uint64_t> entries_;  // by lower-case name
};

inline constexpr std::array<std::string_view, 2> kRelationshipNamespaces = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};

// The start and end tags of one XML part, in order, parsed by expat (one
// tag at a time: the parser is suspended after each), namespaces resolved;
// a self-closing tag gives a start then an end. A document type
// declaration is refused (Open XML parts may not have one), so only the
// predefined entities exist, and no entity can expand.
class XmlScanner {
 public:
  XmlScanner(std::string_view text, std::string part);
  XmlScanner(const XmlScanner&) = delete;
  XmlScanner& operator=(const XmlScanner&) = delete;
  ~XmlScanner() { XML_ParserFree(parser_); }

  // Moves to the next tag; false once the root element has ended.
  bool Next();
  [[nodiscard]] bool IsStart() const { return current_.start; }
  [[nodiscard]] std::string_view Local() const;
  // A start tag's depth (1 = the root); at an end tag, its parent's.
  [[nodiscard]] std::size_t Depth() const {
    return current_.start ? current_.open.size() : current_.open.size() - 1;
  }
  // The local name of the open element at `depth` (1 = the root).
  [[nodiscard]] std::string_view Ancestor(std::size_t depth) const;
  // Whether an open element (the current one included) has this local name.
  [[nodiscard]] bool Inside(std::string_view local) const;
  // The current start tag's attribute without a namespace.
  [[nodiscard]] std::optional<std::string> Attribute(std::string_view name) const;
  // Its attribute `local` in one of the namespaces.
  [[nodiscard]] std::optional<std::string> Attribute(std::string_view local,
                                                     const std::array<std::string_view, 2>& namespaces) const;
  // At an end tag: the character data directly inside the element (the
  // content of a text-only element such as <v>).
  [[nodiscard]] const std::string& Text() const { return current_.text; }
  [[noreturn]] void Fail(const std::string& what) const { xlsx::Fail(part_ + ": " + what); }

 private:
  struct Event {
    bool start = false;
    std::string name;
    std::vector<std::string> open;  // the open elements' names, the event's own last
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
  };

  void Parse();
  void Suspend();
  void Refuse(std::string why);
  static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes);
  static void XMLCALL OnEnd(void* data, const XML_Char* name);
  static void XMLCALL OnText(void* data, const XML_Char* text, int length);
  static void XMLCALL OnDoctype(void* data, const XML_Char* name, const XML_Char* system,
                                const XML_Char* publicId, int internal);

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

struct Relationship {
  std::string type;
  std::string target;
  bool external = false;
};

// Id → relationship, from a .rels part.
[[nodiscard]] std::map<std::string, Relationship> ReadRelationships(std::string_view xml,
                                                                    const std::string& part);

// The folder of a part name, with its trailing '/'.
[[nodiscard]] std::string_view Folder(std::string_view part);

// The zip name of a relationship target, relative to the part that holds the
// relationship (`source`, "" for the package) unless it starts with '/'.
[[nodiscard]] std::string ResolveTarget(std::string_view source, std::string_view target);

// A part by name; part names may be percent-encoded where the zip's are not.
[[nodiscard]] std::optional<std::string> ReadPart(const ZipArchive& zip, const std::string& name);

// The relationships of `part` (from its _rels/NAME.rels), none when it has
// no such part.
[[nodiscard]] std::map<std::string, Relationship> PartRelationships(const ZipArchive& zip,
                                                                    const std::string& part);

// The part that the first internal relationship of `part` whose type ends
// with `typeSuffix` ("/comments") points at.
[[nodiscard]] std::optional<std::string> RelatedPart(const std::map<std::string, Relationship>& relationships,
                                                     const std::string& part, std::string_view typeSuffix);
// The part that the internal relationship `id` of `part` points at.
[[nodiscard]] std::optional<std::string> PartById(const std::map<std::string, Relationship>& relationships,
                                                  const std::string& part, const std::string& id);

[[nodiscard]] std::size_t ReadIndex(const XmlScanner& x, const std::string& text);
[[nodiscard]] bool ReadBoolean(const XmlScanner& x, const std::optional<std::string>& text);

// "B5" or "$B$5" → 1-based row and column; false when it is not a cell
// address.
[[nodiscard]] bool ReadCell(std::string_view text, long& row, long& column);

// "B5:$D$9" or "B5" → its 1-based corners, top-left first; false when it
// is not a range of cells.
[[nodiscard]] bool ReadRange(std::string_view text, long& top, long& left, long& bottom, long& right);

// The file's records (file_records.h) of the package's workbook.
[[nodiscard]] FileRecords ReadRecords(const ZipArchive& zip);

}  // namespace office::xlsx
