#include "tests/office/support/xls_patch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace test_support {
namespace {

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kPerSector = kSectorSize / 4;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::size_t kMiniStreamCutoff = 4096;

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kIndex = 0x020B;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kDCon = 0x0050;
constexpr std::uint16_t kDConRef = 0x0051;
constexpr std::uint16_t kDConName = 0x0052;
constexpr std::uint16_t kDConBin = 0x01B5;

std::uint32_t Get(std::string_view bytes, std::size_t at, std::size_t width) {
  if (at > bytes.size() || bytes.size() - at < width) throw std::runtime_error("xls: read past the end");
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

void Put(std::string& out, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

void Set32(std::string& out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::u16string Utf16(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size()) throw std::invalid_argument("invalid UTF-8");
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
              static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// BIFF8 records

struct RawRecord {
  std::size_t offset;
  std::uint16_t type;
  std::string_view body;
};

std::string Record(std::uint16_t type, std::string_view body) {
  std::string out;
  Put(out, type, 2);
  Put(out, static_cast<std::uint32_t>(body.size()), 2);
  return out.append(body);
}

// XLUnicodeStringNoCch: a flags byte, then 8-bit characters when they all
// fit in a byte, UTF-16LE otherwise.
std::string Characters(std::u16string_view text) {
  const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
  std::string out(1, wide ? '\x01' : '\x00');
  for (const char16_t c : text) Put(out, c, wide ? 2 : 1);
  return out;
}

// DConFile for a sheet of this workbook: 0x02 and the sheet name, then the
// unused character that follows such a self-reference.
std::string SelfReference(std::u16string_view sheet) {
  std::u16string path = u"\x02";
  path += sheet;
  std::string out;
  Put(out, static_cast<std::uint32_t>(path.size()), 2);
  const std::string characters = Characters(path);
  return out + characters + std::string(characters[0] == '\x01' ? 2 : 1, '\0');
}

// "$AB$12" at `at`: 1-based row and column.
std::optional<std::pair<long, long>> ParseCell(std::string_view text, std::size_t& at) {
  long column = 0;
  long row = 0;
  if (at < text.size() && text[at] == '$') ++at;
  for (; at < text.size() && text[at] >= 'A' && text[at] <= 'Z'; ++at)
    column = column * 26 + (text[at] - 'A' + 1);
  if (at < text.size() && text[at] == '$') ++at;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) row = row * 10 + (text[at] - '0');
  if (column < 1 || column > 256 || row < 1 || row > 65536) return std::nullopt;
  return std::make_pair(row, column);
}

// One DCONREF or DCONNAME record for "'Sheet'!$A$1:$B$2", "Sheet!Name" or "Name".
std::string SourceRecord(const std::string& source) {
  std::optional<std::u16string> sheet;
  std::string rest = source;
  if (!source.empty() && source[0] == '\'') {
    std::string name;
    std::size_t at = 1;
    for (; at < source.size(); ++at) {
      if (source[at] == '\'' && (at + 1 >= source.size() || source[at + 1] != '\'')) break;
      if (source[at] == '\'') ++at;
      name += source[at];
    }
    if (at + 1 >= source.size() || source[at + 1] != '!')
      throw std::invalid_argument("bad source: " + source);
    sheet = Utf16(name);
    rest = source.substr(at + 2);
  } else if (const std::size_t bang = source.find('!'); bang != std::string::npos) {
    sheet = Utf16(source.substr(0, bang));
    rest = source.substr(bang + 1);
  }
  if (sheet && sheet->find(u'[') != std::u16string::npos) {
    throw std::invalid_argument("sources in other workbooks are not supported: " + source);
  }
  std::size_t at = 0;
  const auto first = ParseCell(rest, at);
  auto last = first;
  if (first && at < rest.size() && rest[at] == ':') last = ParseCell(rest, ++at);
  if (first && last && at == rest.size()) {
    if (!sheet) throw std::invalid_argument("a range source needs a sheet: " + source);
    std::string body;
    Put(body, static_cast<std::uint32_t>(first->first - 1), 2);
    Put(body, static_cast<std::uint32_t>(last->first - 1), 2);
    Put(body, static_cast<std::uint32_t>(first->second - 1), 1);
    Put(body, static_cast<std::uint32_t>(last->second - 1), 1);
    return Record(kDConRef, body + SelfReference(*sheet));
  }
  if (rest.empty() || rest.find_first_of(":$!' ") != std::string::npos) {
    throw std::invalid_argument("bad source: " + source);
  }
  const std::u16string name = Utf16(rest);
  std::string body;
  Put(body, static_cast<std::uint32_t>(name.size()), 2);
  body += Characters(name);
  if (sheet) {
    body += SelfReference(*sheet);
  } else {
    Put(body, 0, 2);
  }
  return Record(kDConName, body);
}

std::string ConsolidationRecords(const office::Consolidation& consolidation) {
  // XlConsolidationFunction codes in DCon.iiftab order.
  static constexpr std::array<long, 11> kFunctions{-4106, -4113, -4112, -4136, -4139, -4149,
                                                   -4155, -4156, -4157, -4164, -4165};
  const auto function = std::find(kFunctions.begin(), kFunctions.end(), consolidation.function);
  if (function == kFunctions.end()) throw std::invalid_argument("unknown consolidation function");
  std::string body;
  Put(body, static_cast<std::uint32_t>(function - kFunctions.begin()), 2);
  Put(body, consolidation.leftColumn ? 1 : 0, 2);
  Put(body, consolidation.topRow ? 1 : 0, 2);
  Put(body, consolidation.createLinks ? 1 : 0, 2);
  std::string records = Record(kDCon, body);
  for (const std::string& source : consolidation.sources) records += SourceRecord(source);
  return records;
}

}  // namespace

std::string XlsWorkbookStream(std::string_view xls) {
  if (Get(xls, 0, 4) != 0xE011CFD0) throw std::runtime_error("xls: not a compound file");
  const std::size_t sectorSize = std::size_t{1} << Get(xls, 0x1E, 2);
  const auto sector = [&](std::uint32_t index) {
    const std::size_t at = (std::size_t{index} + 1) * sectorSize;
    if (at + sectorSize > xls.size()) throw std::runtime_error("xls: sector past the end");
    return xls.substr(at, sectorSize);
  };
  const auto table = [&](const std::vector<std::uint32_t>& sectors) {
    std::vector<std::uint32_t> entries;
    for (const std::uint32_t index : sectors) {
      for (std::size_t i = 0; i < sectorSize; i += 4) entries.push_back(Get(sector(index), i, 4));
    }
    return entries;
  };
  std::vector<std::uint32_t> fatSectors;
  const std::uint32_t fatCount = Get(xls, 0x2C, 4);
  for (std::size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
    fatSectors.push_back(Get(xls, 0x4C + 4 * i, 4));
  for (std::uint32_t difat = Get(xls, 0x44, 4); fatSectors.size() < fatCount;) {
    for (std::size_t i = 0; i + 4 < sectorSize && fatSectors.size() < fatCount; i += 4) {
      fatSectors.push_back(Get(sector(difat), i, 4));
    }
    difat = Get(sector(difat), sectorSize - 4, 4);
  }
  const std::vector<std::uint32_t> fat = table(fatSectors);
  const auto chain = [](const std::vector<std::uint32_t>& links, std::uint32_t start) {
    std::vector<std::uint32_t> sectors;
    for (std::uint32_t index = start; index != kEndOfChain; index = links.at(index)) {
      if (sectors.size() > links.size()) throw std::runtime_error("xls: loop in a sector chain");
      sectors.push_back(index);
    }
    return sectors;
  };
  const auto read = [&](std::uint32_t start) {
    std::string bytes;
    for (const std::uint32_t index : chain(fat, start)) bytes += sector(index);
    return bytes;
  };
  const std::string directory = read(Get(xls, 0x30, 4));
  for (std::size_t at = 0; at + 128 <= directory.size(); at += 128) {
    const std::string_view entry = std::string_view(directory).substr(at, 128);
    const std::size_t nameBytes = Get(entry, 0x40, 2);
    if (entry[0x42] != 2 || nameBytes != 18) continue;
    std::u16string name;
    for (std::size_t i = 0; i < 16; i += 2) name += static_cast<char16_t>(Get(entry, i, 2));
    if (name != u"Workbook") continue;
    const std::uint32_t start = Get(entry, 0x74, 4);
    const std::size_t size = Get(entry, 0x78, 4);
    std::string bytes;
    if (size >= kMiniStreamCutoff) {
      bytes = read(start);
    } else {
      const std::string miniStream = read(Get(directory, 0x74, 4));
      for (const std::uint32_t index : chain(table(chain(fat, Get(xls, 0x3C, 4))), start)) {
        bytes += std::string_view(miniStream).substr(index * kMiniSectorSize, kMiniSectorSize);
      }
    }
    if (bytes.size() < size) throw std::runtime_error("xls: the Workbook stream is truncated");
    bytes.resize(size);
    return bytes;
  }
  throw std::runtime_error("xls: no Workbook stream");
}

std::string XlsCompoundFile(std::string_view workbook, std::size_t minFatSectors) {
  const bool mini = workbook.size() < kMiniStreamCutoff;
  const std::size_t miniSectors = mini ? (workbook.size() + kMiniSectorSize - 1) / kMiniSectorSize : 0;
  const std::size_t miniFatSectors = (miniSectors + kPerSector - 1) / kPerSector;
  const std::size_t dataBytes = mini ? miniSectors * kMiniSectorSize : workbook.size();
  const std::size_t dataSectors = (dataBytes + kSectorSize - 1) / kSectorSize;
  // Layout: FAT, DIFAT, directory, mini FAT, data (the mini stream or the
  // Workbook stream). The FAT must describe every sector, itself included.
  std::size_t fatSectors = std::max<std::size_t>(1, minFatSectors);
  std::size_t difatSectors = 0;
  for (;; ++fatSectors) {
    difatSectors = fatSectors > 109 ? (fatSectors - 109 + kPerSector - 2) / (kPerSector - 1) : 0;
    if (fatSectors * kPerSector >= fatSectors + difatSectors + 1 + miniFatSectors + dataSectors) break;
  }
  const auto directorySector = static_cast<std::uint32_t>(fatSectors + difatSectors);
  const std::uint32_t miniFatStart = directorySector + 1;
  const auto dataStart = static_cast<std::uint32_t>(miniFatStart + miniFatSectors);

  std::vector<std::uint32_t> fat(fatSectors * kPerSector, kFreeSector);
  std::fill_n(fat.begin(), fatSectors, kFatSector);
  std::fill_n(fat.begin() + static_cast<std::ptrdiff_t>(fatSectors), difatSectors, kDifatSector);
  const auto link = [](std::vector<std::uint32_t>& links, std::uint32_t start, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) links[start + i] = i + 1 == count ? kEndOfChain : start + i + 1;
  };
  link(fat, directorySector, 1);
  link(fat, miniFatStart, miniFatSectors);
  link(fat, dataStart, dataSectors);
  std::vector<std::uint32_t> miniFat(miniFatSectors * kPerSector, kFreeSector);
  link(miniFat, 0, miniSectors);

  std::string file("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  file.append(16, '\0');  // CLSID
  Put(file, 0x003E, 2);   // minor version
  Put(file, 3, 2);        // major version
  Put(file, 0xFFFE, 2);   // byte order
  Put(file, 9, 2);        // 512-byte sectors
  Put(file, 6, 2);        // 64-byte mini sectors
  file.append(10, '\0');  // reserved; directory sectors (0 in version 3)
  Put(file, static_cast<std::uint32_t>(fatSectors), 4);
  Put(file, directorySector, 4);
  Put(file, 0, 4);  // transaction signature
  Put(file, kMiniStreamCutoff, 4);
  Put(file, miniFatSectors > 0 ? miniFatStart : kEndOfChain, 4);
  Put(file, static_cast<std::uint32_t>(miniFatSectors), 4);
  Put(file, difatSectors > 0 ? static_cast<std::uint32_t>(fatSectors) : kEndOfChain, 4);
  Put(file, static_cast<std::uint32_t>(difatSectors), 4);
  for (std::size_t i = 0; i < 109; ++i)
    Put(file, i < fatSectors ? static_cast<std::uint32_t>(i) : kFreeSector, 4);

  for (const std::uint32_t entry : fat) Put(file, entry, 4);
  for (std::size_t d = 0; d < difatSectors; ++d) {
    for (std::size_t i = 0; i + 1 < kPerSector; ++i) {
      const std::size_t fatIndex = 109 + d * (kPerSector - 1) + i;
      Put(file, fatIndex < fatSectors ? static_cast<std::uint32_t>(fatIndex) : kFreeSector, 4);
    }
    Put(file, d + 1 < difatSectors ? static_cast<std::uint32_t>(fatSectors + d + 1) : kEndOfChain, 4);
  }

  const auto entry = [&](std::u16string_view name, std::uint8_t type, std::uint32_t child,
                         std::uint32_t start, std::size_t size) {
    const std::size_t at = file.size();
    for (const char16_t c : name) Put(file, c, 2);
    file.resize(at + 64, '\0');
    Put(file, name.empty() ? 0 : static_cast<std::uint32_t>(2 * name.size() + 2), 2);
    file += static_cast<char>(type);
    file += static_cast<char>(type == 0 ? 0 : 1);  // black
    Put(file, kNoEntry, 4);                        // left sibling
    Put(file, kNoEntry, 4);                        // right sibling
    Put(file, child, 4);
    file.append(36, '\0');  // CLSID, state, times
    Put(file, start, 4);
    Put(file, static_cast<std::uint32_t>(size), 4);
    Put(file, 0, 4);
  };
  entry(u"Root Entry", 5, 1, miniSectors > 0 ? dataStart : kEndOfChain, miniSectors * kMiniSectorSize);
  entry(u"Workbook", 2, kNoEntry, workbook.empty() ? kEndOfChain : mini ? 0 : dataStart, workbook.size());
  entry(u"", 0, kNoEntry, 0, 0);
  entry(u"", 0, kNoEntry, 0, 0);

  for (const std::uint32_t next : miniFat) Put(file, next, 4);
  file += workbook;
  file.resize(kSectorSize * (1 + dataStart + dataSectors), '\0');
  return file;
}

std::string WithXlsConsolidation(std::string_view xls,
                                 const std::map<std::string, office::Consolidation>& bySheet) {
  const std::string stream = XlsWorkbookStream(xls);
  std::vector<RawRecord> records;
  std::size_t at = 0;
  for (; stream.size() - at >= 4; at += 4 + records.back().body.size()) {
    const std::size_t length = Get(stream, at + 2, 2);
    if (stream.size() - at - 4 < length) throw std::runtime_error("xls: record past the end");
    records.push_back({at, static_cast<std::uint16_t>(Get(stream, at, 2)),
                       std::string_view(stream).substr(at + 4, length)});
  }
  const std::string_view tail = std::string_view(stream).substr(at);

  // The sheets of BOUNDSHEET records: name → position of the BOF.
  std::map<std::string, std::uint32_t> positions;
  for (const RawRecord& record : records) {
    if (record.type == kEof) break;
    if (record.type != kBoundSheet) continue;
    const std::size_t count = Get(record.body, 6, 1);
    const bool wide = (Get(record.body, 7, 1) & 1) != 0;
    std::u16string name;
    for (std::size_t i = 0; i < count; ++i)
      name += static_cast<char16_t>(Get(record.body, 8 + i * (wide ? 2 : 1), wide ? 2 : 1));
    positions[Utf8(name)] = Get(record.body, 0, 4);
  }

  // What goes where: new records before a record index, records left out.
  std::map<std::size_t, std::string> insertions;
  std::vector<bool> removed(records.size(), false);
  for (const auto& [sheet, consolidation] : bySheet) {
    const auto position = positions.find(sheet);
    if (position == positions.end()) throw std::invalid_argument("no sheet named " + sheet);
    const auto bof = std::find_if(records.begin(), records.end(),
                                  [&](const RawRecord& record) { return record.offset == position->second; });
    if (bof == records.end() || bof->type != kBof) throw std::runtime_error("xls: no BOF for sheet " + sheet);
    std::optional<std::size_t> window2;
    int depth = 0;
    std::size_t i = static_cast<std::size_t>(bof - records.begin());
    for (; i < records.size(); ++i) {
      const std::uint16_t type = records[i].type;
      depth += type == kBof ? 1 : type == kEof ? -1 : 0;
      if (depth == 0) break;
      if (depth == 1 && (type == kDCon || type == kDConRef || type == kDConName || type == kDConBin))
        removed[i] = true;
      if (depth == 1 && type == kWindow2 && !window2) window2 = i;
    }
    if (i == records.size()) throw std::runtime_error("xls: no EOF for sheet " + sheet);
    insertions[window2.value_or(i)] = ConsolidationRecords(consolidation);
  }

  // The new stream, then the stream positions moved along: BOUNDSHEET's
  // lbPlyPos, INDEX's ibXF and DBCELL positions.
  std::string out;
  std::map<std::uint32_t, std::uint32_t> moved;               // old record offset → new one
  std::vector<std::pair<std::size_t, std::uint32_t>> fixups;  // new field offset, old value
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (const auto insertion = insertions.find(i); insertion != insertions.end()) out += insertion->second;
    if (removed[i]) continue;
    const RawRecord& record = records[i];
    moved[static_cast<std::uint32_t>(record.offset)] = static_cast<std::uint32_t>(out.size());
    const std::size_t body = out.size() + 4;
    if (record.type == kBoundSheet) fixups.emplace_back(body, Get(record.body, 0, 4));
    if (record.type == kIndex) {
      for (std::size_t field = 12; field + 4 <= record.body.size(); field += 4) {
        fixups.emplace_back(body + field, Get(record.body, field, 4));
      }
    }
    out += Record(record.type, record.body);
  }
  out += tail;
  for (const auto& [field, old] : fixups) {
    if (const auto position = moved.find(old); position != moved.end()) Set32(out, field, position->second);
  }
  return XlsCompoundFile(out);
}

}  // namespace test_support
