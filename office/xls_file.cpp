// The records of an .xls file that LibreOffice does not import, or not as
// Excel shows them: the sheet names in order, the active sheet (WINDOW1),
// every sheet's data consolidation settings (DCON with its DCONREF,
// DCONNAME and DCONBIN sources), the date system (DATEMODE), each cell's
// number format (its XF's FORMAT) and each formula's cached result
// (FORMULA, with STRING for a text).
//
// An .xls file is a compound file (OLE2, [MS-CFB]), read by libgsf, whose
// "Workbook" stream holds BIFF8 records ([MS-XLS]; "Book" and BIFF5 for
// Excel 5.0/95). The records are read with every length checked against
// the bytes at hand: a malformed file throws FileFormatError, never reads
// out of bounds, never loops and never allocates more than the file can
// hold.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "office/file_records.h"
#include "office/utf8.h"
#include "office/xls_crypt.h"

namespace office {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw FileFormatError(message); }

// Callers check the bounds first.
std::uint16_t Le16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    AppendUtf8(out, c);
  }
  return out;
}

// The characters of an Excel 5.0/95 string, 8-bit in the workbook's code
// page (its CODEPAGE record; Windows Latin 1 by default). iconv knows the
// code pages by "CP" and the number; one it does not know is read as
// Latin 1.
std::u16string FromCodePage(std::string_view bytes, std::uint16_t codePage) {
  std::u16string text;
  if (codePage != 1252 && codePage != 367) {
    const std::string name = codePage == 10000 ? "MACINTOSH" : "CP" + std::to_string(codePage);
    const iconv_t converter = iconv_open("UTF-16LE", name.c_str());
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv's failure value
    if (converter != reinterpret_cast<iconv_t>(-1)) {
      std::string in(bytes);
      std::string out(bytes.size() * 4 + 4, '\0');
      char* inAt = in.data();
      char* outAt = out.data();
      std::size_t inLeft = in.size();
      std::size_t outLeft = out.size();
      const std::size_t done = iconv(converter, &inAt, &inLeft, &outAt, &outLeft);
      iconv_close(converter);
      if (done != static_cast<std::size_t>(-1)) {
        for (std::size_t i = 0; i + 1 < out.size() - outLeft; i += 2)
          text += static_cast<char16_t>(Le16(out, i));
        return text;
      }
      text.clear();
    }
  }
  // Windows Latin 1's 0x80-0x9F differ from Latin 1's control characters.
  static constexpr std::array<char16_t, 32> kWindows1252{
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : static_cast<char16_t>(byte);
  }
  return text;
}

// ---------------------------------------------------------------------------
// Compound file

// The streams under the root storage of an OLE2 compound file, through
// libgsf (Gnumeric's reader of these files) over the bytes in memory.
class CompoundFile {
 public:
  explicit CompoundFile(std::string_view file) : size_(file.size()) {
    static const bool ready = [] {
      gsf_init();
      // libgsf tells of every damaged file on standard error; the reason
      // reaches the user in our own message instead.
      for (const char* domain : {"libgsf", "libgsf:msole", "libgsf:utils"}) {
        g_log_set_handler(
            domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
      }
      return true;
    }();
    (void)ready;
    input_ = gsf_input_memory_new(reinterpret_cast<const guint8*>(file.data()),
                                  static_cast<gsf_off_t>(file.size()), FALSE);
    if (input_ == nullptr) Fail("not an OLE2 compound file");
    GError* error = nullptr;
    infile_ = gsf_infile_msole_new(input_, &error);
    if (infile_ == nullptr) {
      const std::string why = error != nullptr && error->message != nullptr ? error->message : "unreadable";
      g_clear_error(&error);
      g_object_unref(input_);
      Fail("not an OLE2 compound file, or a damaged one (" + why + ")");
    }
  }
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;
  ~CompoundFile() {
    g_object_unref(infile_);
    g_object_unref(input_);
  }

  [[nodiscard]] bool Has(std::u16string_view name) const { return Find(name) >= 0; }

  // The stream `name` directly under the root storage (names compare
  // without regard to case).
  [[nodiscard]] std::string Stream(std::u16string_view name) const {
    const std::string what = Utf8(name) + " stream";
    const int index = Find(name);
    if (index < 0) Fail("no " + what + " (not an Excel workbook)");
    GsfInput* stream = gsf_infile_child_by_index(infile_, index);
    if (stream == nullptr) Fail("the " + what + " cannot be read");
    const gsf_off_t size = gsf_input_size(stream);
    std::string bytes;
    if (size < 0 || static_cast<std::uint64_t>(size) > size_) {
      g_object_unref(stream);
      Fail("the " + what + " is larger than the file");
    }
    bytes.resize(static_cast<std::size_t>(size));
    const bool read = size == 0 || gsf_input_read(stream, static_cast<std::size_t>(size),
                                                  reinterpret_cast<guint8*>(bytes.data())) != nullptr;
    g_object_unref(stream);
    if (!read) Fail("the " + what + " is truncated or damaged");
    return bytes;
  }

 private:
  // The index of the stream `name` among the root's children; -1.
  [[nodiscard]] int Find(std::u16string_view name) const {
    const int count = gsf_infile_num_children(infile_);
    for (int i = 0; i < count; ++i) {
      const char* child = gsf_infile_name_by_index(infile_, i);
      if (child == nullptr || std::string_view(child).size() != name.size()) continue;
      bool same = true;
      for (std::size_t k = 0; k < name.size() && same; ++k) {
        const auto upper = [](char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; };
        same = upper(static_cast<unsigned char>(child[k])) == upper(name[k]);
      }
      if (!same) continue;
      // A storage of that name is no stream.
      GsfInput* entry = gsf_infile_child_by_index(infile_, i);
      const bool stream =
          entry != nullptr && !(GSF_IS_INFILE(entry) && gsf_infile_num_children(GSF_INFILE(entry)) >= 0);
      if (entry != nullptr) g_object_unref(entry);
      if (stream) return i;
    }
    return -1;
  }

  std::size_t size_;
  GsfInput* input_ = nullptr;
  GsfInfile* infile_ = nullptr;
};

// ---------------------------------------------------------------------------
// BIFF8 records

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint8_t kChartSheet = 0x02;  // BOUNDSHEET's sheet type
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kDCon = 0x0050;
constexpr std::uint16_t kDConRef = 0x0051;
constexpr std::uint16_t kDConName = 0x0052;
constexpr std::uint16_t kDConBin = 0x01B5;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kMulBlank = 0x00BE;
// Records of one cell: row, column, XF index first.
constexpr std::array<std::uint16_t, 7> kCellRecords{
    0x0203 /* NUMBER */, 0x027E /* RK */, 0x00FD /* LABELSST */, 0x0204 /* LABEL */, 0x0205 /* BOOLERR */,
    0x0201 /* BLANK */,  0x00D6 /* RSTRING */};
constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kBiff5 = 0x0500;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kGlobalsSubstream = 0x0005;

// One record with the CONTINUE records after it: the body in fragments,
// read as one. A string whose characters run into the next fragment starts
// there again with a flags byte (compressed or UTF-16).
// How the stream writes its strings: BIFF8 with a flags byte (8-bit or
// UTF-16), or Excel 5.0/95's 8-bit characters in a code page.
struct StringForm {
  bool biff5 = false;
  std::uint16_t codePage = 1252;
};

class Record {
 public:
  Record(std::uint16_t type, std::size_t offset, const StringForm& form)
      : type_(type), offset_(offset), form_(&form) {}

  [[nodiscard]] std::uint16_t Type() const { return type_; }
  void AddFragment(std::string_view body) { fragments_.push_back(body); }

  std::uint8_t U8() {
    NextFragmentIfDone();
    if (at_ == Fragment().size()) TooShort();
    return static_cast<std::uint8_t>(Fragment()[at_++]);
  }
  // Low byte first: the operands of | have no set order of evaluation.
  std::uint16_t U16() {
    const std::uint8_t low = U8();
    return static_cast<std::uint16_t>(low | U8() << 8);
  }
  std::uint32_t U32() {
    const std::uint16_t low = U16();
    return low | static_cast<std::uint32_t>(U16()) << 16;
  }
  void Skip(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) (void)U8();
  }
  // The bytes not read yet.
  [[nodiscard]] std::size_t Left() const {
    std::size_t left = Fragment().size() - at_;
    for (std::size_t i = index_ + 1; i < fragments_.size(); ++i) left += fragments_[i].size();
    return left;
  }

  // `count` characters after a flags byte whose bit 0 means UTF-16LE
  // rather than 8-bit Latin-1 (XLUnicodeStringNoCch).
  std::u16string Characters(std::size_t count) {
    if (form_->biff5) {
      std::string bytes;
      for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(U8());
      return FromCodePage(bytes, form_->codePage);
    }
    bool wide = (U8() & 1) != 0;
    std::u16string text;
    while (text.size() < count) {
      if (at_ == Fragment().size()) {
        if (index_ + 1 == fragments_.size()) TooShort();
        ++index_;
        at_ = 0;
        wide = (U8() & 1) != 0;
        continue;
      }
      const std::size_t width = wide ? 2 : 1;
      if (Fragment().size() - at_ < width) TooShort();
      text +=
          static_cast<char16_t>(wide ? Le16(Fragment(), at_) : static_cast<unsigned char>(Fragment()[at_]));
      at_ += width;
    }
    return text;
  }
  std::u16string ShortString() { return Characters(U8()); }  // ShortXLUnicodeString
  std::u16string String() { return Characters(U16()); }      // XLUnicodeString
  // A FORMAT record's text: a short string in Excel 5.0/95.
  std::u16string FormatString() { return form_->biff5 ? ShortString() : String(); }

 private:
  [[nodiscard]] std::string_view Fragment() const { return fragments_[index_]; }
  void NextFragmentIfDone() {
    while (at_ == Fragment().size() && index_ + 1 < fragments_.size()) {
      ++index_;
      at_ = 0;
    }
  }
  [[noreturn]] void TooShort() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string type = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) type += kHex[type_ >> shift & 0xF];
    Fail("record " + type + " at offset " + std::to_string(offset_) + " is shorter than its contents");
  }

  std::uint16_t type_;
  std::size_t offset_;
  const StringForm* form_;
  std::vector<std::string_view> fragments_;
  std::size_t index_ = 0;
  std::size_t at_ = 0;
};

// The records of the Workbook stream from a position on.
class RecordReader {
 public:
  RecordReader(std::string_view stream, std::size_t at, const StringForm& form)
      : stream_(stream), at_(at), form_(&form) {}

  [[nodiscard]] std::size_t Position() const { return at_; }

  Record Next() {
    Record record(Header(), at_, *form_);
    record.AddFragment(Body());
    while (stream_.size() - at_ >= 4 && Le16(stream_, at_) == kContinue) {
      (void)Header();
      record.AddFragment(Body());
    }
    return record;
  }

 private:
  std::uint16_t Header() {
    if (stream_.size() - at_ < 4) Fail("the Workbook stream is truncated");
    length_ = Le16(stream_, at_ + 2);
    return Le16(stream_, at_);
  }
  std::string_view Body() {
    if (stream_.size() - at_ - 4 < length_) {
      Fail("a record at offset " + std::to_string(at_) + " runs past the end of the Workbook stream");
    }
    const std::string_view body = stream_.substr(at_ + 4, length_);
    at_ += 4 + length_;
    return body;
  }

  std::string_view stream_;
  std::size_t at_;
  const StringForm* form_;
  std::uint16_t length_ = 0;
};

// DConFile, a VirtualPath: the sheet, or workbook and sheet, a source lives
// in. 0x02 (and 0x03, its older form) starts a sheet of this workbook: the
// rest is the sheet name. 0x01 starts an encoded path, where 0x01 X stands
// for "X:\" ("\\" for a UNC server when X is '@'), 0x02 for the drive root,
// 0x03 for a folder separator, 0x04 for "..\", 0x05 n for n characters of a
// URL taken as they are; 0x06 to 0x08 (startup, alternate startup and library
// folders) have no text. "[book.xls]Sheet" ends the path. Anything else is a
// plain name.
std::string DecodeSourceFile(std::u16string_view path) {
  if (path.empty()) return {};
  if (path[0] == 0x02 || path[0] == 0x03) return Utf8(path.substr(1));
  if (path[0] != 0x01) return Utf8(path);
  std::u16string text;
  for (std::size_t i = 1; i < path.size(); ++i) {
    switch (path[i]) {
      case 0x01:
        if (i + 1 < path.size()) {
          const char16_t volume = path[++i];
          if (volume == u'@') {
            text += u"\\\\";
          } else {
            text += volume;
            text += u":\\";
          }
        }
        break;
      case 0x02:
      case 0x03:
        text += u'\\';
        break;
      case 0x04:
        text += u"..\\";
        break;
      case 0x05:
        if (i + 1 < path.size()) {
          ++i;
          const std::size_t count = std::min<std::size_t>(path[i], path.size() - i - 1);
          text += path.substr(i + 1, count);
          i += count;
        }
        break;
      case 0x06:
      case 0x07:
      case 0x08:
        break;
      default:
        text += path[i];
    }
  }
  return Utf8(text);
}

// "'Semestre 1'!Ventes": a defined name, with the sheet or workbook that
// holds it unless it belongs to this workbook as a whole.
std::string NameSource(const std::string& name, const std::string& place) {
  if (place.empty()) return name;
  std::string prefix = QualifiedReference(place, 1, 1, 1, 1);  // "'place'!$A$1"
  prefix.resize(prefix.size() - 4);
  return prefix + name;
}

// The DConFile of a DCONNAME or DCONBIN record: none for a name of this
// workbook as a whole.
std::string OptionalSourceFile(Record& record) {
  const std::uint16_t length = record.U16();
  return length == 0 ? std::string() : DecodeSourceFile(record.Characters(length));
}

// DCon.iiftab → XlConsolidationFunction: average, count nums, count, max,
// min, product, stdev, stdevp, sum, var, varp.
constexpr std::array<long, 11> kFunctions{-4106, -4113, -4112, -4136, -4139, -4149,
                                          -4155, -4156, -4157, -4164, -4165};

constexpr std::array<std::string_view, 14> kBuiltInNames{
    "Consolidate_Area", "Auto_Open",       "Auto_Close",   "Extract",        "Database",
    "Criteria",         "Print_Area",      "Print_Titles", "Recorder",       "Data_Form",
    "Auto_Activate",    "Auto_Deactivate", "Sheet_Title",  "_FilterDatabase"};

// The consolidation records of a sheet substream: true when `record` was one.
bool ReadConsolidationRecord(Record& record, std::optional<Consolidation>& consolidation) {
  const std::uint16_t type = record.Type();
  if (type != kDCon && type != kDConRef && type != kDConName && type != kDConBin) return false;
  if (!consolidation) consolidation.emplace();
  if (type == kDCon) {
    const std::uint16_t function = record.U16();
    if (function >= kFunctions.size())
      Fail("unknown data consolidation function " + std::to_string(function));
    consolidation->function = kFunctions[function];
    consolidation->leftColumn = record.U16() != 0;
    consolidation->topRow = record.U16() != 0;
    consolidation->createLinks = record.U16() != 0;
  } else if (type == kDConRef) {
    const long firstRow = record.U16();
    const long lastRow = record.U16();
    const long firstColumn = record.U8();
    const long lastColumn = record.U8();
    const std::uint16_t length = record.U16();
    const std::string place = DecodeSourceFile(record.Characters(length));
    consolidation->sources.push_back(
        QualifiedReference(place, firstRow + 1, firstColumn + 1, lastRow + 1, lastColumn + 1));
  } else if (type == kDConName) {
    const std::string name = Utf8(record.String());
    consolidation->sources.push_back(NameSource(name, OptionalSourceFile(record)));
  } else {
    const std::uint8_t builtIn = record.U8();
    if (builtIn >= kBuiltInNames.size()) Fail("unknown built-in name " + std::to_string(builtIn));
    record.Skip(3);
    consolidation->sources.push_back(
        NameSource(std::string(kBuiltInNames[builtIn]), OptionalSourceFile(record)));
  }
  return true;
}

struct SheetEntry {
  std::string name;
  std::uint32_t position;  // of the sheet's BOF in the Workbook stream
};

// The number formats of the workbook globals: the FORMAT records by id,
// and each XF record's format id, in the order of the XF records.
struct Formats {
  std::map<std::uint16_t, std::string> byId;
  std::vector<std::uint16_t> ofXf;

  // The format text of the cells with XF `xf`; none when the file does
  // not say.
  [[nodiscard]] std::optional<std::string> Text(std::uint16_t xf) const {
    if (xf >= ofXf.size()) return std::nullopt;
    if (const auto found = byId.find(ofXf[xf]); found != byId.end()) return found->second;
    const std::string_view builtIn = BuiltInNumberFormat(ofXf[xf]);
    if (builtIn.empty()) return std::nullopt;
    return std::string(builtIn);
  }
};

// BErr codes of a cached error result.
std::string ErrorText(std::uint8_t code) {
  switch (code) {
    case 0x00:
      return "#NULL!";
    case 0x07:
      return "#DIV/0!";
    case 0x0F:
      return "#VALUE!";
    case 0x17:
      return "#REF!";
    case 0x1D:
      return "#NAME?";
    case 0x24:
      return "#NUM!";
    case 0x2A:
      return "#N/A";
    default:
      return "#VALUE!";
  }
}

// A FORMULA record after its row, column and XF: the cached result (a
// string result follows in the next STRING record) and whether Excel
// recalculates the formula on opening.
void ReadFormulaResult(Record& record, StoredCell& cell, bool& stringFollows) {
  std::array<std::uint8_t, 8> bytes{};
  for (std::uint8_t& byte : bytes) byte = record.U8();
  cell.formula = true;
  cell.recalculated = (record.U16() & 0x0001U) != 0;  // fAlwaysCalc
  stringFollows = false;
  if (bytes[6] != 0xFF || bytes[7] != 0xFF) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits |= std::uint64_t{bytes[i]} << (8 * i);
    cell.result = {StoredValue::Kind::kNumber, std::bit_cast<double>(bits), {}};
    return;
  }
  switch (bytes[0]) {
    case 0:
      stringFollows = true;
      cell.result.kind = StoredValue::Kind::kText;
      break;
    case 1:
      cell.result = {StoredValue::Kind::kBoolean, bytes[2] != 0 ? 1.0 : 0.0, {}};
      break;
    case 2:
      cell.result = {StoredValue::Kind::kError, 0, ErrorText(bytes[2])};
      break;
    case 3:
      cell.result = {StoredValue::Kind::kText, 0, {}};
      break;
    default:
      break;  // none stored
  }
}

// A sheet substream, BOF to EOF; charts embedded in it are substreams of
// their own, nested. Returns the position after its EOF.
std::size_t ReadSheet(std::string_view stream, const SheetEntry& sheet, const Formats& formats,
                      const StringForm& form, FileRecords& records) {
  RecordReader reader(stream, sheet.position, form);
  if (reader.Next().Type() != kBof) Fail("sheet \"" + sheet.name + "\" does not start with a BOF record");
  std::optional<Consolidation> consolidation;
  std::map<CellPosition, StoredCell>& cells = records.cells[sheet.name];
  StoredCell* pendingString = nullptr;  // a formula whose text result comes next
  const auto cellAt = [&](long row, long column, std::uint16_t xf) -> StoredCell& {
    StoredCell& cell = cells[{row, column}];
    cell.numberFormat = formats.Text(xf);
    return cell;
  };
  for (int depth = 1; depth > 0;) {
    Record record = reader.Next();
    const std::uint16_t type = record.Type();
    if (type == kBof) {
      ++depth;
    } else if (type == kEof) {
      --depth;
    } else if (depth != 1) {
      continue;
    } else if (type == kFormula) {
      const long row = record.U16();
      const long column = record.U16();
      StoredCell& cell = cellAt(row, column, record.U16());
      bool stringFollows = false;
      ReadFormulaResult(record, cell, stringFollows);
      pendingString = stringFollows ? &cell : nullptr;
    } else if (type == kString) {
      if (pendingString != nullptr) pendingString->result.text = Utf8(record.String());
      pendingString = nullptr;
    } else if (std::ranges::find(kCellRecords, type) != kCellRecords.end()) {
      const long row = record.U16();
      const long column = record.U16();
      cellAt(row, column, record.U16());
    } else if (type == kMulRk || type == kMulBlank) {
      // Row, first column, then per cell an XF (and an RK value), then the
      // last column.
      const long row = record.U16();
      const long first = record.U16();
      std::vector<std::uint16_t> xfs;
      for (std::size_t left = record.Left(); left > 2; left = record.Left()) {
        xfs.push_back(record.U16());
        if (type == kMulRk) (void)record.U32();
      }
      for (std::size_t k = 0; k < xfs.size(); ++k) cellAt(row, first + static_cast<long>(k), xfs[k]);
    } else {
      (void)ReadConsolidationRecord(record, consolidation);
    }
  }
  if (consolidation) records.consolidations[sheet.name] = std::move(*consolidation);
  return reader.Position();
}

}  // namespace

FileRecords ReadXlsRecords(std::string_view bytes) {
  // Excel 97-2003 writes a Workbook stream; Excel 5.0/95 a Book stream
  // (a file of both kept for Excel 5.0 users has both: the Workbook is
  // the newer).
  const CompoundFile file(bytes);
  StringForm form;
  form.biff5 = !file.Has(u"Workbook") && file.Has(u"Book");
  const std::string stream =
      DecryptWorkbookStream(file.Stream(form.biff5 ? u"Book" : u"Workbook"), u"VelvetSweatshop");
  RecordReader reader(stream, 0, form);
  Record bof = reader.Next();
  if (bof.Type() != kBof) Fail("the Workbook stream does not start with a BOF record");
  const std::uint16_t version = bof.U16();
  if (version != (form.biff5 ? kBiff5 : kBiff8)) {
    Fail(form.biff5 ? "not an Excel 5.0/95 workbook (BIFF5)" : "not a BIFF8 (Excel 97-2003) workbook");
  }
  if (bof.U16() != kGlobalsSubstream) Fail("the Workbook stream does not start with the workbook globals");

  FileRecords records;
  records.excel95 = form.biff5;
  std::vector<SheetEntry> sheets;
  std::optional<std::uint16_t> activeTab;
  Formats formats;
  for (;;) {
    Record record = reader.Next();
    if (record.Type() == kEof) break;
    if (record.Type() == kFilePass) continue;  // decrypted already
    if (record.Type() == kFormat) {
      const std::uint16_t id = record.U16();
      formats.byId[id] = Utf8(record.FormatString());
    } else if (record.Type() == kXf) {
      (void)record.U16();  // font
      formats.ofXf.push_back(record.U16());
    } else if (record.Type() == kDateMode) {
      records.date1904 = record.U16() != 0;
    } else if (record.Type() == kCodePage) {
      form.codePage = record.U16();
    }
    if (record.Type() == kBoundSheet) {
      const std::uint32_t position = record.U32();
      const std::uint8_t state = record.U8() & 0x03U;  // 0 visible, 1 hidden, 2 very hidden
      const bool chart = record.U8() == kChartSheet;
      sheets.push_back({Utf8(record.ShortString()), position});
      records.sheetNames.push_back(sheets.back().name);
      if (chart) records.chartSheets.insert(sheets.back().name);
      if (state != 0)
        records.hiddenSheets[sheets.back().name] = state == 1 ? SheetState::kHidden : SheetState::kVeryHidden;
    } else if (record.Type() == kWindow1 && !activeTab) {
      record.Skip(10);
      activeTab = record.U16();
    }
  }
  if (activeTab && *activeTab < sheets.size()) records.activeSheet = *activeTab;

  // Sheet substreams follow the globals, one after the other; reading them
  // in stream order and refusing overlaps reads every byte once.
  std::vector<const SheetEntry*> byPosition;
  byPosition.reserve(sheets.size());
  for (const SheetEntry& sheet : sheets) byPosition.push_back(&sheet);
  std::stable_sort(byPosition.begin(), byPosition.end(),
                   [](const SheetEntry* a, const SheetEntry* b) { return a->position < b->position; });
  std::size_t end = reader.Position();
  for (const SheetEntry* sheet : byPosition) {
    if (sheet->position >= stream.size())
      Fail("sheet \"" + sheet->name + "\" starts past the end of the Workbook stream");
    if (sheet->position < end)
      Fail("sheet \"" + sheet->name + "\" overlaps another part of the Workbook stream");
    end = ReadSheet(stream, *sheet, formats, form, records);
  }
  return records;
}

}  // namespace office
