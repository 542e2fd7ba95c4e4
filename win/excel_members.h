// The members of Excel's object model that framework/excel.h uses, as one
// table of (object type, member name, how it is called). The Excel binding
// resolves these names through GetIDsOfNames; an automation server that
// stands in for Excel answers the same names. Plain data, no Windows header.
//
// A server gives one DISPID per member name whatever the type, as Excel
// does: clients cache DISPIDs per type, and one object type (Selection) is
// whatever Excel has selected, a range or a form control.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace win::excel_members {

// How a member is called; a property that can be read and set has both.
// Clients read properties and call methods that return a value with
// DISPATCH_METHOD | DISPATCH_PROPERTYGET, as VB does, so a server accepts
// either flag for kGet and kMethod.
inline constexpr unsigned kGet = 1;
inline constexpr unsigned kPut = 2;
inline constexpr unsigned kMethod = 4;

struct Member {
  std::string_view type;  // Excel's class name ("Application", "Range" …)
  std::string_view name;  // the member's name as GetIDsOfNames takes it
  unsigned access;        // kGet, kPut, kMethod, or a combination
  // Arguments that clients pass by name, in the order of the member's
  // parameters; empty for members called with positional arguments.
  std::span<const std::string_view> namedArguments = {};
};

inline constexpr std::string_view kScenariosAddArguments[] = {"Name",    "ChangingCells", "Values",
                                                              "Comment", "Locked",        "Hidden"};

inline constexpr Member kMembers[] = {
    {"Application", "Workbooks", kGet},
    {"Application", "ActiveWorkbook", kGet},
    {"Application", "ActiveSheet", kGet},
    {"Application", "ActiveWindow", kGet},
    {"Application", "Windows", kGet},
    {"Application", "Sheets", kGet},
    {"Application", "Worksheets", kGet},
    {"Application", "Range", kGet},
    {"Application", "Cells", kGet},
    {"Application", "Selection", kGet},
    {"Application", "WorksheetFunction", kGet},
    {"Application", "CommandBars", kGet},
    {"Application", "Run", kMethod},
    {"Application", "ExecuteExcel4Macro", kMethod},
    {"Application", "TemplatesPath", kGet},
    {"Application", "ShowToolTips", kGet | kPut},
    {"Application", "DisplayCommentIndicator", kGet | kPut},
    {"Application", "DisplayFullScreen", kGet | kPut},
    {"Application", "ShowStartupDialog", kGet | kPut},
    {"Application", "Visible", kGet | kPut},
    {"Application", "Quit", kMethod},

    {"Workbooks", "Open", kMethod},
    {"Workbooks", "Add", kMethod},
    {"Workbooks", "Count", kGet},
    {"Workbooks", "Item", kGet},

    {"Workbook", "Name", kGet},
    {"Workbook", "Activate", kMethod},
    {"Workbook", "ActiveSheet", kGet},
    {"Workbook", "Close", kMethod},
    {"Workbook", "Sheets", kGet},
    {"Workbook", "Worksheets", kGet},
    {"Workbook", "Windows", kGet},

    // Both Sheets and Worksheets give a Sheets collection.
    {"Sheets", "Count", kGet},
    {"Sheets", "Item", kGet},

    // A chart sheet answers Name, Activate, Select, Protect, Unprotect and
    // ProtectContents too.
    {"Worksheet", "Name", kGet},
    {"Worksheet", "Activate", kMethod},
    {"Worksheet", "Select", kMethod},
    {"Worksheet", "Protect", kMethod},
    {"Worksheet", "Unprotect", kMethod},
    {"Worksheet", "ProtectContents", kGet},
    {"Worksheet", "Range", kGet},
    {"Worksheet", "Cells", kGet},
    {"Worksheet", "Shapes", kGet},
    // PivotTables(index) is one pivot table, PivotTables() the collection.
    {"Worksheet", "PivotTables", kMethod},
    {"Worksheet", "Scenarios", kMethod},
    {"Worksheet", "ConsolidationSources", kGet},
    {"Worksheet", "ConsolidationFunction", kGet},
    {"Worksheet", "ConsolidationOptions", kGet},

    {"PivotTables", "Count", kGet},

    // Whatever is selected: a range or a form control (its state).
    {"Selection", "Value", kGet},

    {"Range", "Formula", kGet},
    {"Range", "Value", kGet},
    {"Range", "NumberFormat", kGet},
    {"Range", "HasFormula", kGet},
    {"Range", "CurrentArray", kGet},
    {"Range", "NoteText", kMethod},
    // Cells(k) and Cells(row, column) pass their arguments to Cells itself,
    // as VB does through the default member.
    {"Range", "Cells", kGet},
    {"Range", "Count", kGet},
    {"Range", "Address", kGet},
    {"Range", "Select", kMethod},

    {"Shapes", "Count", kGet},
    {"Shapes", "Item", kMethod},

    {"Shape", "Name", kGet},
    {"Shape", "Select", kMethod},

    {"PivotTable", "SourceData", kGet},
    {"PivotTable", "RowFields", kMethod},
    {"PivotTable", "ColumnFields", kMethod},
    {"PivotTable", "DataFields", kMethod},

    {"PivotField", "Name", kGet},
    {"PivotField", "Function", kGet},
    {"PivotField", "SourceName", kGet},

    {"Scenarios", "Count", kGet},
    {"Scenarios", "Item", kMethod},
    {"Scenarios", "Add", kMethod, kScenariosAddArguments},

    {"Scenario", "Name", kGet},
    {"Scenario", "ChangingCells", kGet},
    // Values(index) is one value, Values() the array of them.
    {"Scenario", "Values", kGet},
    {"Scenario", "Comment", kGet},
    {"Scenario", "Locked", kGet},
    {"Scenario", "Hidden", kGet},

    {"Windows", "Count", kGet},
    {"Windows", "Item", kGet},
    {"Windows", "CompareSideBySideWith", kMethod},
    {"Windows", "ResetPositionsSideBySide", kMethod},
    {"Windows", "SyncScrollingSideBySide", kGet | kPut},

    {"Window", "Caption", kGet},
    {"Window", "WindowState", kGet | kPut},

    {"CommandBars", "Count", kGet},
    {"CommandBars", "Item", kGet},

    {"CommandBar", "Name", kGet},
    {"CommandBar", "Enabled", kGet | kPut},
    {"CommandBar", "Visible", kGet | kPut},
    {"CommandBar", "Position", kGet | kPut},

    {"WorksheetFunction", "Substitute", kMethod},
};

inline constexpr std::size_t kMemberCount = std::size(kMembers);

// Position of a member in kMembers, checked while compiling: a name that
// is not in the table does not compile.
consteval std::size_t MemberIndex(std::string_view type, std::string_view name) {
  for (std::size_t i = 0; i < kMemberCount; ++i) {
    if (kMembers[i].type == type && kMembers[i].name == name) return i;
  }
  throw "not a member of the table";
}

// Position of a member by its type and a name in any letter case, as
// GetIDsOfNames looks names up; none when the type has no such member.
std::optional<std::size_t> FindMember(std::string_view type, std::string_view name);

}  // namespace win::excel_members
