#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "office/file_records.h"
#include "tests/office/support/xls_patch.h"

namespace {

using namespace std::string_literals;
using office::Consolidation;
using office::FileFormatError;
using office::ReadXlsRecords;
using test_support::WithXlsConsolidation;
using test_support::XlsCompoundFile;

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;

std::string U16(unsigned value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
}
std::string U32(std::uint32_t value) { return U16(value & 0xFFFF) + U16(value >> 16); }
std::string Rec(std::uint16_t type, const std::string& body) { return U16(type) + U16(body.size()) + body; }
// Characters after their flags byte: 8-bit, or UTF-16LE.
std::string Narrow(std::string_view latin1) { return '\0' + std::string(latin1); }
std::string Wide(std::u16string_view text) {
  std::string bytes = "\x01";
  for (const char16_t c : text) bytes += U16(c);
  return bytes;
}
std::string DCon(unsigned function, bool left, bool top, bool links) {
  return Rec(0x0050, U16(function) + U16(left) + U16(top) + U16(links));
}
// Rows 2 to 5, columns A to B of the sheet or book in `file` (cch characters).
std::string DConRef(std::size_t cch, const std::string& file) {
  return Rec(0x0051, U16(1) + U16(4) + "\x00\x01"s + U16(cch) + file);
}

struct Sheet {
  std::string name;  // ShortXLUnicodeString: cch, flags, characters
  std::string records;
  unsigned type = 0;  // BOUNDSHEET's dt: 0 worksheet, 2 chart sheet
};

Sheet Named(std::string_view name, std::string records = "") {
  return {static_cast<char>(name.size()) + Narrow(name), std::move(records)};
}

// A BIFF8 Workbook stream: globals (BOF, WINDOW1, BOUNDSHEET…, EOF), then
// each sheet's BOF, records, WINDOW2 and EOF.
std::string Workbook(const std::vector<Sheet>& sheets, std::optional<unsigned> active = 0,
                     unsigned version = 0x0600, const std::string& globals = "") {
  std::string stream = Rec(kBof, U16(version) + U16(0x0005) + std::string(12, '\0')) + globals;
  if (active) stream += Rec(0x003D, std::string(10, '\0') + U16(*active) + std::string(6, '\0'));
  std::vector<std::size_t> positions;
  for (const Sheet& sheet : sheets) {
    positions.push_back(stream.size() + 4);
    stream += Rec(0x0085, U32(0) + U16(sheet.type << 8U) + sheet.name);
  }
  stream += Rec(kEof, "");
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    stream.replace(positions[i], 4, U32(stream.size()));
    stream += Rec(kBof, U16(0x0600) + U16(0x0010) + std::string(12, '\0')) + sheets[i].records +
              Rec(0x023E, std::string(18, '\0')) + Rec(kEof, "");
  }
  return stream;
}

std::string Xls(const std::vector<Sheet>& sheets, std::optional<unsigned> active = 0) {
  return XlsCompoundFile(Workbook(sheets, active));
}

const std::vector<Sheet> kThreeSheets{Named("Data"), Named("Semestre 1"), Named("Recap")};

// A FORMULA record at row 0 of `column` with XF `xf`: its 8 result bytes,
// flags, and no formula tokens worth reading.
std::string Formula(unsigned column, unsigned xf, const std::string& result, unsigned flags = 0) {
  return Rec(0x0006, U16(0) + U16(column) + U16(xf) + result + U16(flags) + U32(0) + U16(0));
}
std::string Special(unsigned type, unsigned value) {
  return std::string{static_cast<char>(type), 0, static_cast<char>(value), 0, 0, 0, '\xFF', '\xFF'};
}

// An Excel 5.0/95 file: the stream "Book" (any case), BIFF5, 8-bit strings
// without flags in the CODEPAGE's code page.
TEST(XlsFileTest, ReadsExcel95WorkbooksInTheirCodePage) {
  const std::string globals =
      Rec(0x0042, U16(1251)) + Rec(0x041E, U16(164) + "\x04" + "0\\-0"s) + Rec(0x00E0, U16(0) + U16(164));
  const std::string text = Formula(0, 0, Special(0, 0)) + Rec(0x0207, U16(2) + "\xC4\xE0"s);
  const Sheet sheet{"\x06\xC4\xE0\xED\xED\xFB\xE5"s, text};
  std::string file = XlsCompoundFile(Workbook({sheet}, 0, 0x0500, globals));
  const std::string name("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
  const std::size_t at = file.find(name);
  ASSERT_NE(at, std::string::npos);
  file.replace(at, 16, std::string("B\0O\0o\0K\0\0\0\0\0\0\0\0\0", 16));
  file.replace(at + 0x40, 2, U16(10));
  const office::FileRecords read = ReadXlsRecords(file);
  EXPECT_TRUE(read.excel95);
  ASSERT_EQ(read.sheetNames, std::vector<std::string>{"Данные"});
  const office::StoredCell& cell = read.cells.at("Данные").at({0, 0});
  EXPECT_EQ(cell.result.text, "Да");
  EXPECT_EQ(cell.numberFormat, "0\\-0");
}

TEST(XlsFileTest, ReadsStoredResultsFormatsAndTheDateSystem) {
  using Kind = office::StoredValue::Kind;
  // XF 0 General; XF 1 the file's format 164; XF 2 built-in 14.
  const std::string globals = Rec(0x0022, U16(1)) + Rec(0x041E, U16(164) + U16(11) + Narrow("00000\\-0000")) +
                              Rec(0x00E0, U16(0) + U16(0)) + Rec(0x00E0, U16(0) + U16(164)) +
                              Rec(0x00E0, U16(0) + U16(14));
  const std::string records = Formula(0, 1, "\x00\x00\x00\x00\x00\x00\xF0\x3F"s) +                 // 1.0
                              Formula(1, 0, Special(0, 0)) + Rec(0x0207, U16(2) + Narrow("ok")) +  // text
                              Formula(2, 0, Special(1, 1)) +                                       // TRUE
                              Formula(3, 0, Special(2, 0x07)) +                                    // #DIV/0!
                              Formula(4, 0, Special(3, 0)) +                                       // ""
                              Formula(5, 2, "\x00\x00\x00\x00\x00\x00\x00\x40"s, 1) +   // 2.0, volatile
                              Rec(0x00BE, U16(0) + U16(6) + U16(1) + U16(2) + U16(7));  // G1:H1 blank
  const office::FileRecords read =
      ReadXlsRecords(XlsCompoundFile(Workbook({Named("Data", records)}, 0, 0x0600, globals)));
  EXPECT_TRUE(read.date1904);
  const auto& cells = read.cells.at("Data");
  const std::vector<std::tuple<long, Kind, double, std::string, std::optional<std::string>, bool>> expected{
      {0, Kind::kNumber, 1, "", "00000\\-0000", false}, {1, Kind::kText, 0, "ok", "General", false},
      {2, Kind::kBoolean, 1, "", "General", false},     {3, Kind::kError, 0, "#DIV/0!", "General", false},
      {4, Kind::kText, 0, "", "General", false},        {5, Kind::kNumber, 2, "", "m/d/yyyy", true}};
  for (const auto& [column, kind, number, text, format, recalculated] : expected) {
    const office::StoredCell& cell = cells.at({0, column});
    EXPECT_TRUE(cell.formula) << column;
    EXPECT_EQ(cell.result, (office::StoredValue{kind, number, text})) << column;
    EXPECT_EQ(cell.numberFormat, format) << column;
    EXPECT_EQ(cell.recalculated, recalculated) << column;
  }
  EXPECT_EQ(cells.at({0, 6}).numberFormat, "00000\\-0000");
  EXPECT_FALSE(cells.at({0, 7}).formula);
  EXPECT_EQ(cells.at({0, 7}).numberFormat, "m/d/yyyy");
}

// Sheet names: compressed Latin-1 or UTF-16 (surrogate pairs too) → UTF-8.
class XlsSheetNameTest : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(XlsSheetNameTest, ReadsAsUtf8) {
  const auto& [field, expected] = GetParam();
  const office::FileRecords records = ReadXlsRecords(Xls({Named("First"), {field, ""}}, 1));
  EXPECT_EQ(records.sheetNames, (std::vector<std::string>{"First", expected}));
  EXPECT_EQ(records.activeSheet, 1U);
}

INSTANTIATE_TEST_SUITE_P(XlsEncodings, XlsSheetNameTest,
                         testing::Values(std::pair{"\x09" + Narrow("R\xE9sultats"), "Résultats"},
                                         std::pair{"\x09" + Wide(u"Résultats"), "Résultats"},
                                         std::pair{"\x06" + Wide(u"Σύνοψη"), "Σύνοψη"},
                                         std::pair{"\x04" + Wide(u"\U0001D11Eab"), "\U0001D11Eab"}));

TEST(XlsFileTest, ActiveSheetIsWindow1TabWhenInRange) {
  const std::vector<std::pair<std::optional<unsigned>, std::optional<std::size_t>>> cases{
      {0, 0}, {2, 2}, {3, std::nullopt}, {std::nullopt, std::nullopt}};
  for (const auto& [tab, expected] : cases) {
    EXPECT_EQ(ReadXlsRecords(Xls(kThreeSheets, tab)).activeSheet, expected) << tab.value_or(99);
  }
}

TEST(XlsFileTest, ChartSheetsAreKnownByTheirSheetType) {
  Sheet chart = Named("Graphique");
  chart.type = 2;
  const office::FileRecords records = ReadXlsRecords(Xls({Named("Data"), chart, Named("Recap")}));
  EXPECT_EQ(records.sheetNames, (std::vector<std::string>{"Data", "Graphique", "Recap"}));
  EXPECT_EQ(records.chartSheets, std::set<std::string>{"Graphique"});
}

// DCon.iiftab → XlConsolidationFunction, as [MS-XLS] 2.4.82 lists them.
class XlsFunctionTest : public testing::TestWithParam<std::pair<unsigned, long>> {};

TEST_P(XlsFunctionTest, MapsToExcelCode) {
  const auto& [iiftab, code] = GetParam();
  const auto records = ReadXlsRecords(Xls({Named("Recap", DCon(iiftab, false, false, false))}));
  EXPECT_EQ(records.consolidations.at("Recap").function, code);
}

INSTANTIATE_TEST_SUITE_P(XlsIiftab, XlsFunctionTest,
                         testing::Values(std::pair{0U, -4106L}, std::pair{1U, -4113L}, std::pair{2U, -4112L},
                                         std::pair{3U, -4136L}, std::pair{4U, -4139L}, std::pair{5U, -4149L},
                                         std::pair{6U, -4155L}, std::pair{7U, -4156L}, std::pair{8U, -4157L},
                                         std::pair{9U, -4164L}, std::pair{10U, -4165L}));

// DConRef.stFile: a sheet of this workbook or an encoded path, in 8-bit or
// UTF-16 characters; a sheet of this workbook has an unused character after.
class XlsSourcePathTest : public testing::TestWithParam<std::tuple<std::u16string, bool, std::string>> {};

TEST_P(XlsSourcePathTest, Decodes) {
  const auto& [path, wide, expected] = GetParam();
  std::string file = wide ? Wide(path) : Narrow(std::string(path.begin(), path.end()));
  if (path[0] == 2) file += std::string(wide ? 2 : 1, '\0');
  const auto records =
      ReadXlsRecords(Xls({Named("Recap", DCon(8, false, false, false) + DConRef(path.size(), file))}));
  EXPECT_EQ(records.consolidations.at("Recap").sources, std::vector<std::string>{expected + "!$A$2:$B$5"});
}

INSTANTIATE_TEST_SUITE_P(
    XlsPaths, XlsSourcePathTest,
    testing::Values(std::tuple{u"\x02Semestre 1", false, "'Semestre 1'"},
                    std::tuple{u"\x02Résultats", true, "Résultats"}, std::tuple{u"\003Data", false, "Data"},
                    std::tuple{u"\001\001Cdir\x03[book.xls]Sheet1", false, "'C:\\dir\\[book.xls]Sheet1'"},
                    std::tuple{u"\x01\x01@srv\x03sh\x03[b.xls]S", true, "'\\\\srv\\sh\\[b.xls]S'"},
                    std::tuple{u"\x01\x04\x04[b.xls]S", false, "'..\\..\\[b.xls]S'"},
                    std::tuple{u"\001\002d\x03[b.xls]S", false, "'\\d\\[b.xls]S'"},
                    std::tuple{u"\x01\x05\x11http://h/[b.xls]S", false, "'http://h/[b.xls]S'"}));

TEST(XlsFileTest, ReadsOptionsNamesAndOnlyTheSheetsOwnRecords) {
  const std::string self = U16(5) + Narrow("\002Data") + '\0';
  // A DCON inside an embedded chart (a nested BOF…EOF) is not the sheet's.
  const std::string chart = Rec(kBof, U16(0x0600) + U16(0x0020) + std::string(12, '\0')) + DCon(0, 1, 1, 1) +
                            DConRef(5, Narrow("\002Data") + '\0') + Rec(kEof, "");
  const std::string records = DCon(3, true, false, true) + Rec(0x0052, U16(6) + Narrow("Ventes") + U16(0)) +
                              Rec(0x0052, U16(6) + Narrow("Ventes") + self) + chart +
                              Rec(0x01B5, "\x06\0\0\0"s + self);
  const auto read = ReadXlsRecords(Xls({Named("Data"), Named("Recap", records)}));
  const Consolidation expected{{"Ventes", "Data!Ventes", "Data!Print_Area"}, -4136, false, true, true};
  EXPECT_EQ(read.consolidations, (std::map<std::string, Consolidation>{{"Recap", expected}}));
}

TEST(XlsFileTest, StringsRunIntoContinueRecords) {
  // The path switches from 8-bit to UTF-16 where the CONTINUE record starts.
  const std::string split = DConRef(11, Narrow("\x02Seme")) + Rec(0x003C, Wide(u"stre 1") + "\0\0"s);
  const auto read = ReadXlsRecords(Xls({Named("Semestre 1"), Named("Recap", DCon(8, 0, 0, 0) + split)}));
  EXPECT_EQ(read.consolidations.at("Recap").sources, std::vector<std::string>{"'Semestre 1'!$A$2:$B$5"});
}

TEST(XlsFileTest, WithXlsConsolidationRoundTripsAndReplaces) {
  const std::string original =
      Xls({Named("Data"), {"\x06" + Wide(u"Σύνοψη"), ""}, Named("L'\xE9t\xE9"), Named("Recap")}, 3);
  const std::map<std::string, Consolidation> first{
      {"Data", {{"'Σύνοψη'!$A$1", "Ventes"}, -4106, true, false, false}},
      {"L'été", {{"'L''été'!$B$2:$C$9", "Data!$A$1:$IV$65536", "Data!Ventes"}, -4113, false, true, true}},
      {"Recap", {{"Σύνοψη!$A$2:$B$5"}, -4165, true, true, false}}};
  const std::string patched = WithXlsConsolidation(original, first);
  auto read = ReadXlsRecords(patched);
  EXPECT_EQ(read.sheetNames, (std::vector<std::string>{"Data", "Σύνοψη", "L'été", "Recap"}));
  EXPECT_EQ(read.activeSheet, 3U);
  auto expected = first;
  expected["Data"].sources[0] = "Σύνοψη!$A$1";  // quoted only when Excel would
  EXPECT_EQ(read.consolidations, expected);

  const std::map<std::string, Consolidation> second{{"Data", {{"Recap!$A$1"}, -4157, false, false, true}}};
  expected["Data"] = second.at("Data");
  EXPECT_EQ(ReadXlsRecords(WithXlsConsolidation(patched, second)).consolidations, expected);
  EXPECT_THROW((void)WithXlsConsolidation(original, {{"Nowhere", {}}}), std::invalid_argument);
}

TEST(XlsFileTest, WithXlsConsolidationMovesIndexPositions) {
  // Recap's INDEX points at its DBCELL; inserting into Data moves both.
  const std::string index = Rec(0x020B, std::string(12, '\0') + U32(0) + U32(0));
  const std::string stream = Workbook({Named("Data"), Named("Recap", index + Rec(0x00D7, U32(0)))});
  const std::size_t indexAt = stream.rfind(index);
  std::string withPointer = stream;
  withPointer.replace(indexAt + 20, 4, U32(indexAt + index.size()));
  const std::string patched = test_support::XlsWorkbookStream(WithXlsConsolidation(
      XlsCompoundFile(withPointer), {{"Data", {{"Recap!$A$1"}, -4157, false, false, false}}}));
  const std::size_t newIndexAt = patched.rfind("\x0B\x02");
  ASSERT_NE(newIndexAt, indexAt);
  const std::string pointer = patched.substr(newIndexAt + 20, 4);
  const std::size_t dbcell = static_cast<unsigned char>(pointer[0]) | static_cast<unsigned char>(pointer[1])
                                                                          << 8;
  EXPECT_EQ(patched.substr(dbcell, 2), "\xD7\x00"s);
}

// Mini stream or regular sectors, with or without DIFAT sectors.
class XlsStorageTest : public testing::TestWithParam<std::pair<std::size_t, std::size_t>> {};

TEST_P(XlsStorageTest, ReadsTheWorkbookStream) {
  const auto& [filler, fatSectors] = GetParam();
  const std::string records = Rec(0x1234, std::string(filler, 'x')) + DCon(4, 0, 0, 0);
  const auto read =
      ReadXlsRecords(XlsCompoundFile(Workbook({Named("Data"), Named("Recap", records)}, 1), fatSectors));
  EXPECT_EQ(read.sheetNames, (std::vector<std::string>{"Data", "Recap"}));
  EXPECT_EQ(read.consolidations.at("Recap").function, -4139);
}

INSTANTIATE_TEST_SUITE_P(XlsLayouts, XlsStorageTest,
                         testing::Values(std::pair{0U, 0U}, std::pair{6000U, 0U}, std::pair{0U, 110U},
                                         std::pair{6000U, 300U}));

// Hostile files: a short English FileFormatError, never a crash.
std::uint32_t Get32(const std::string& file, std::size_t at) {
  return static_cast<std::uint32_t>(
      static_cast<unsigned char>(file.at(at)) | static_cast<unsigned char>(file.at(at + 1)) << 8 |
      static_cast<unsigned char>(file.at(at + 2)) << 16 |
      static_cast<std::uint32_t>(static_cast<unsigned char>(file.at(at + 3))) << 24);
}
void Set32(std::string& file, std::size_t at, std::uint32_t value) { file.replace(at, 4, U32(value)); }
std::size_t SectorAt(std::uint32_t sector) { return (std::size_t{sector} + 1) * 512; }
std::size_t EntryAt(const std::string& file, int entry) { return SectorAt(Get32(file, 0x30)) + 128 * entry; }
std::size_t FatEntryAt(const std::string& file, std::uint32_t sector) {
  return SectorAt(Get32(file, 0x4C + 4 * (sector / 128))) + 4 * (sector % 128);
}

std::string Small() { return Xls(kThreeSheets); }
std::string Large() { return Xls({Named("Data", Rec(0x1234, std::string(6000, 'x')))}); }
std::string Corrupt(std::string file, const std::function<void(std::string&)>& change) {
  change(file);
  return file;
}
std::string WorkbookStreamEnd(const std::string& tail) {
  std::string stream = Workbook(kThreeSheets);
  return XlsCompoundFile(stream.substr(0, stream.size() - 4) + tail);
}

struct Hostile {
  const char* name;
  const char* message;  // a part of it
  std::function<std::string()> file;
};

class XlsHostileTest : public testing::TestWithParam<Hostile> {};

TEST_P(XlsHostileTest, IsAFileFormatError) {
  try {
    (void)ReadXlsRecords(GetParam().file());
    ADD_FAILURE() << "no error";
  } catch (const FileFormatError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
  }
}

std::uint32_t WorkbookStart(const std::string& f) { return Get32(f, EntryAt(f, 1) + 0x74); }
std::string Globals(std::uint32_t sheetPosition) {
  return XlsCompoundFile(Rec(kBof, U16(0x600) + U16(5)) + Rec(0x85, U32(sheetPosition) + "\0\0\x01\0A"s) +
                         Rec(kEof, ""));
}

// A DIFAT sector whose next-sector pointer loops back to itself, once the
// FAT sectors it lists are all there: the pointer is never followed, and
// the file reads.
TEST(XlsFileTest, ALoopingDifatPointerThatIsNotNeededIsNotFollowed) {
  std::string file = XlsCompoundFile(Workbook(kThreeSheets), 300);
  Set32(file, SectorAt(Get32(file, 0x44)) + 508, Get32(file, 0x44));
  EXPECT_EQ(ReadXlsRecords(file).sheetNames.size(), 3u);
}

const std::vector<Hostile> kHostile{
    {"Empty", "not an OLE2", [] { return std::string(); }},
    {"Text", "not an OLE2", [] { return std::string("a;b\n1;2\n"); }},
    {"HeaderOnly", "damaged", [] { return Small().substr(0, 512); }},
    {"CutInTheStream", "damaged", [] { return Large().substr(0, Large().size() - 1024); }},
    {"FatSectorPastTheEnd", "damaged",
     [] { return Corrupt(Small(), [](auto& f) { Set32(f, 0x4C, 9999); }); }},
    {"HugeFatCount", "damaged", [] { return Corrupt(Small(), [](auto& f) { Set32(f, 0x2C, 0x7FFFFFFF); }); }},
    {"DirectoryPastTheEnd", "damaged",
     [] { return Corrupt(Small(), [](auto& f) { Set32(f, 0x30, 9999); }); }},
    {"FatLoop", "damaged",
     [] {
       return Corrupt(Large(), [](auto& f) { Set32(f, FatEntryAt(f, WorkbookStart(f)), WorkbookStart(f)); });
     }},
    {"FreeSectorInChain", "damaged",
     [] { return Corrupt(Large(), [](auto& f) { Set32(f, FatEntryAt(f, WorkbookStart(f)), 0xFFFFFFFF); }); }},
    {"StartSectorOutOfRange", "damaged",
     [] { return Corrupt(Large(), [](auto& f) { Set32(f, EntryAt(f, 1) + 0x74, 0x00FFFFFF); }); }},
    {"StreamLargerThanFile", "no Workbook stream",
     [] { return Corrupt(Large(), [](auto& f) { Set32(f, EntryAt(f, 1) + 0x78, 0x7FFFFFFF); }); }},
    {"MiniFatLoop", "no Workbook stream",
     [] { return Corrupt(Small(), [](auto& f) { Set32(f, SectorAt(Get32(f, 0x3C)), 0); }); }},
    {"MiniSectorPastMiniStream", "no Workbook stream",
     [] { return Corrupt(Small(), [](auto& f) { Set32(f, EntryAt(f, 1) + 0x74, 500); }); }},
    {"DirectoryLoop", "no Workbook stream",
     [] {
       return Corrupt(Small(), [](auto& f) {
         Set32(f, EntryAt(f, 0) + 0x4C, 2);  // root's child: 2, whose left is 1 and right 2 itself
         Set32(f, EntryAt(f, 2) + 0x44, 1);
         Set32(f, EntryAt(f, 2) + 0x48, 2);
       });
     }},
    {"NoWorkbookStream", "no Workbook stream",
     [] { return Corrupt(Small(), [](auto& f) { f[EntryAt(f, 1)] = 'X'; }); }},
    {"RecordLongerThanStream", "runs past the end", [] { return WorkbookStreamEnd(U16(kEof) + U16(100)); }},
    {"NoFinalEof", "truncated", [] { return WorkbookStreamEnd(""); }},
    {"EmptyStream", "truncated", [] { return XlsCompoundFile(""); }},
    {"Biff5", "BIFF8", [] { return XlsCompoundFile(Workbook(kThreeSheets, 0, 0x0500)); }},
    {"EncryptionTruncated", "FILEPASS",
     [] { return XlsCompoundFile(Rec(kBof, U16(0x0600) + U16(5)) + Rec(0x002F, U16(1))); }},
    {"EncryptedWithAPasswordOfItsOwn", "password to open",
     [] {
       return XlsCompoundFile(Rec(kBof, U16(0x0600) + U16(5)) +
                              Rec(0x002F, U16(1) + U16(1) + U16(1) + std::string(48, '\x5A')));
     }},
    {"EncryptedByXor", "XOR",
     [] { return XlsCompoundFile(Rec(kBof, U16(0x0600) + U16(5)) + Rec(0x002F, U16(0) + U32(0))); }},
    {"SheetPastTheEnd", "past the end", [] { return Globals(9999); }},
    {"SheetInsideGlobals", "overlaps", [] { return Globals(0); }},
    {"UnknownFunction", "consolidation function", [] { return Xls({Named("Recap", DCon(11, 0, 0, 0))}); }},
    {"PathLongerThanRecord", "shorter than its contents",
     [] { return Xls({Named("Recap", DCon(8, 0, 0, 0) + DConRef(40, Narrow("\002Data")))}); }},
};

INSTANTIATE_TEST_SUITE_P(XlsFiles, XlsHostileTest, testing::ValuesIn(kHostile),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(XlsFileTest, RandomDamageIsReadOrRefusedNeverCrashes) {
  std::mt19937 random(58267);
  int refused = 0;
  int read = 0;
  for (const std::string& original : {Small(), Large()}) {
    for (int round = 0; round < 1500; ++round) {
      std::string file = original;
      for (int k = 0; k < 3; ++k) file[random() % file.size()] = static_cast<char>(random());
      if (round % 10 == 0) file.resize(random() % file.size());
      try {
        (void)ReadXlsRecords(file);
        ++read;
      } catch (const FileFormatError&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(read, 100);
}

}  // namespace
