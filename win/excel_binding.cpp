#include "win/excel_binding.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win/busy.h"
#include "win/errors.h"
#include "win/excel_members.h"
#include "win/text.h"
#include "win/variant.h"

namespace win {
namespace {

using excel_members::kMemberCount;
using excel_members::kMembers;
using excel_members::MemberIndex;
using Arguments = std::vector<vb::Variant>;

constexpr LCID kLocale = static_cast<LCID>(excel::kLocaleEnglish);
// How VB invokes a property read or a call whose value it uses.
constexpr WORD kGetFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// The DISPIDs that one Excel instance gave, per entry of the member table
// (so per object type): the member's own, then its named arguments'. Empty
// until the member is first used. Every object reached from one
// Application shares it.
struct DispidCache {
  std::array<std::vector<DISPID>, kMemberCount> ids;
};

// Invokes the members of one automation object by their table entries.
class Bound : public ComObject {
 public:
  Bound(ComPtr<IDispatch> dispatch, std::shared_ptr<DispidCache> cache)
      : ComObject(std::move(dispatch)), cache_(std::move(cache)) {}

 protected:
  // A property read or a function call (VB's `x = o.Member(arguments)`).
  vb::Variant Get(std::size_t member, const Arguments& arguments = {}) {
    return FromVariant(Invoke(member, kGetFlags, arguments).Get());
  }
  std::string GetString(std::size_t member, const Arguments& arguments = {}) {
    return vb::CStr(Get(member, arguments));
  }
  long GetLong(std::size_t member) { return vb::CLng(Get(member)); }
  bool GetBoolean(std::size_t member, const Arguments& arguments = {}) {
    return vb::CBool(Get(member, arguments));
  }
  // An object result; 91 when Excel gives Nothing.
  template <class Wrapper>
  std::shared_ptr<Wrapper> GetObject(std::size_t member, const Arguments& arguments = {}) {
    return ObjectOf<Wrapper>(Invoke(member, kGetFlags, arguments));
  }
  // A call statement (VB's `o.Member arguments`).
  void Call(std::size_t member, const Arguments& arguments = {}) {
    Invoke(member, DISPATCH_METHOD, arguments);
  }
  // A property assignment (VB's `o.Member = value`).
  void Put(std::size_t member, const vb::Variant& value) {
    VariantArray argument(1);
    argument.Set(0, ToVariant(value));
    DISPID named = DISPID_PROPERTYPUT;
    Invoke(Ids(member).front(), DISPATCH_PROPERTYPUT, argument, &named, 1);
  }
  // A call with the member's named arguments, `values` in the table's
  // order of names; missing ones are left out.
  template <class Wrapper>
  std::shared_ptr<Wrapper> GetObjectNamed(std::size_t member, const Arguments& values) {
    const std::vector<DISPID>& ids = Ids(member);
    std::vector<std::size_t> present;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!IsMissingArgument(values[i])) present.push_back(i);
    }
    // Last first, as VB passes them; each named DISPID beside its value.
    VariantArray arguments(present.size());
    std::vector<DISPID> named(present.size());
    for (std::size_t k = 0; k < present.size(); ++k) {
      const std::size_t i = present[present.size() - 1 - k];
      arguments.Set(k, ToVariant(values[i]));
      named[k] = ids.at(1 + i);
    }
    return ObjectOf<Wrapper>(
        Invoke(ids.front(), kGetFlags, arguments, named.data(), static_cast<UINT>(named.size())));
  }

 private:
  template <class Wrapper>
  std::shared_ptr<Wrapper> ObjectOf(const UniqueVariant& result) {
    const ComPtr<IDispatch> dispatch = DispatchOf(result.Get());
    if (!dispatch) vb::Raise(vb::kObjectNotSet);
    return Wrap<Wrapper>(dispatch.Get(), [this](ComPtr<IDispatch> held) {
      return std::make_shared<Wrapper>(std::move(held), cache_);
    });
  }

  // The member's DISPIDs, asked of the object the first time only.
  const std::vector<DISPID>& Ids(std::size_t member) {
    std::vector<DISPID>& ids = cache_->ids[member];
    if (ids.empty()) {
      std::vector<std::wstring> names{Wide(kMembers[member].name)};
      for (const std::string_view argument : kMembers[member].namedArguments) names.push_back(Wide(argument));
      std::vector<LPOLESTR> pointers;
      for (std::wstring& name : names) pointers.push_back(name.data());
      std::vector<DISPID> resolved(names.size(), DISPID_UNKNOWN);
      HRESULT hr = S_OK;
      do {
        hr = Dispatch()->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()), kLocale,
                                       resolved.data());
      } while (IsBusy(hr) && WaitWhileBusy());
      if (FAILED(hr)) throw ErrorFromHresult(hr, nullptr);
      ids = std::move(resolved);
    }
    return ids;
  }

  // Positional arguments, last first as VB passes them; missing trailing
  // arguments are not passed, missing ones between go as
  // DISP_E_PARAMNOTFOUND.
  UniqueVariant Invoke(std::size_t member, WORD flags, const Arguments& arguments) {
    std::size_t count = arguments.size();
    while (count > 0 && IsMissingArgument(arguments[count - 1])) --count;
    VariantArray passed(count);
    for (std::size_t i = 0; i < count; ++i) passed.Set(count - 1 - i, ToVariant(arguments[i]));
    return Invoke(Ids(member).front(), flags, passed, nullptr, 0);
  }

  UniqueVariant Invoke(DISPID id, WORD flags, VariantArray& arguments, DISPID* named, UINT namedCount) {
    DISPPARAMS parameters{arguments.Data(), named, static_cast<UINT>(arguments.Size()), namedCount};
    // A call that a busy Excel rejected did nothing: it is made again.
    for (;;) {
      UniqueVariant result;
      ExcepInfo exception;
      UINT argumentError = 0;
      const HRESULT hr = Dispatch()->Invoke(id, IID_NULL, kLocale, flags, &parameters,
                                            flags == DISPATCH_PROPERTYPUT ? nullptr : result.Put(),
                                            exception.Get(), &argumentError);
      if (SUCCEEDED(hr)) return result;
      if (!IsBusy(hr) || !WaitWhileBusy()) throw ErrorFromHresult(hr, exception.Get());
    }
  }

  std::shared_ptr<DispidCache> cache_;
};

// The position of `name` in the member table under each class's Excel
// type; a name missing from the table does not compile.
#define R58267_MEMBERS_OF(type) \
  static consteval std::size_t M(std::string_view name) { return MemberIndex(type, name); }

// Each class comes after those whose objects its members give.
class SelectionBinding final : public excel::Selection, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Selection")
  vb::Variant Value() override { return Get(M("Value")); }
};

class RangeBinding final : public excel::Range, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Range")
  std::string Formula() override { return GetString(M("Formula")); }
  vb::Variant Value() override { return Get(M("Value")); }
  std::string NumberFormat() override { return GetString(M("NumberFormat")); }
  bool HasFormula() override { return GetBoolean(M("HasFormula")); }
  std::shared_ptr<excel::Range> CurrentArray() override { return GetObject<RangeBinding>(M("CurrentArray")); }
  std::string NoteText() override { return GetString(M("NoteText")); }
  std::shared_ptr<excel::Range> Cells(long index) override {
    return GetObject<RangeBinding>(M("Cells"), {index});
  }
  std::shared_ptr<excel::Range> Cells(long row, long column) override {
    return GetObject<RangeBinding>(M("Cells"), {row, column});
  }
  long Count() override { return GetLong(M("Count")); }
  std::string Address() override { return GetString(M("Address")); }
  void Select() override { Call(M("Select")); }
};

class ShapeBinding final : public excel::Shape, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Shape")
  std::string Name() override { return GetString(M("Name")); }
  void Select() override { Call(M("Select")); }
};

class ShapesBinding final : public excel::Shapes, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Shapes")
  long Count() override { return GetLong(M("Count")); }
  std::shared_ptr<excel::Shape> Item(const vb::Variant& index) override {
    return GetObject<ShapeBinding>(M("Item"), {index});
  }
};

class PivotFieldBinding final : public excel::PivotField, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("PivotField")
  std::string Name() override { return GetString(M("Name")); }
  long Function() override { return GetLong(M("Function")); }
  std::string SourceName() override { return GetString(M("SourceName")); }
};

class PivotTableBinding final : public excel::PivotTable, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("PivotTable")
  vb::Variant SourceData() override { return Get(M("SourceData")); }
  std::shared_ptr<excel::PivotField> RowFields(const vb::Variant& index) override {
    return GetObject<PivotFieldBinding>(M("RowFields"), {index});
  }
  std::shared_ptr<excel::PivotField> ColumnFields(const vb::Variant& index) override {
    return GetObject<PivotFieldBinding>(M("ColumnFields"), {index});
  }
  std::shared_ptr<excel::PivotField> DataFields(const vb::Variant& index) override {
    return GetObject<PivotFieldBinding>(M("DataFields"), {index});
  }
};

// The collection that Worksheet.PivotTables() gives, for its Count.
class PivotTablesBinding final : public excel::Object, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("PivotTables")
  long Count() { return GetLong(M("Count")); }
};

class ScenarioBinding final : public excel::Scenario, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Scenario")
  std::string Name() override { return GetString(M("Name")); }
  std::shared_ptr<excel::Range> ChangingCells() override {
    return GetObject<RangeBinding>(M("ChangingCells"));
  }
  vb::Variant Values(long index) override { return Get(M("Values"), {index}); }
  vb::Variant Values() override { return Get(M("Values")); }
  std::string Comment() override { return GetString(M("Comment")); }
  bool Locked() override { return GetBoolean(M("Locked")); }
  bool Hidden() override { return GetBoolean(M("Hidden")); }
};

class ScenariosBinding final : public excel::Scenarios, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Scenarios")
  long Count() override { return GetLong(M("Count")); }
  std::shared_ptr<excel::Scenario> Item(const vb::Variant& index) override {
    return GetObject<ScenarioBinding>(M("Item"), {index});
  }
  // Every argument by name, in the order of the table's names; Empty
  // values are left out, so that Excel takes the cells' current values.
  std::shared_ptr<excel::Scenario> Add(const std::string& name, const vb::Variant& changingCells,
                                       const vb::Variant& values, const std::string& comment, bool locked,
                                       bool hidden) override {
    return GetObjectNamed<ScenarioBinding>(
        M("Add"),
        {name, changingCells, values.IsEmpty() ? MissingArgument() : values, comment, locked, hidden});
  }
};

class WorksheetBinding final : public excel::Worksheet, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Worksheet")
  std::string Name() override { return GetString(M("Name")); }
  void Activate() override { Call(M("Activate")); }
  void Select() override { Call(M("Select")); }
  void Protect() override { Call(M("Protect")); }
  void Unprotect(std::optional<std::string> password) override {
    Call(M("Unprotect"), {password ? vb::Variant(*password) : MissingArgument()});
  }
  bool ProtectContents() override { return GetBoolean(M("ProtectContents")); }
  std::shared_ptr<excel::Range> Range(const std::string& address) override {
    return GetObject<RangeBinding>(M("Range"), {address});
  }
  std::shared_ptr<excel::Range> Cells(long row, long column) override {
    return GetObject<RangeBinding>(M("Cells"), {row, column});
  }
  std::shared_ptr<excel::Shapes> Shapes() override { return GetObject<ShapesBinding>(M("Shapes")); }
  std::shared_ptr<excel::PivotTable> PivotTables(const vb::Variant& index) override {
    return GetObject<PivotTableBinding>(M("PivotTables"), {index});
  }
  long PivotTableCount() override { return GetObject<PivotTablesBinding>(M("PivotTables"))->Count(); }
  std::shared_ptr<excel::Scenarios> Scenarios() override {
    return GetObject<ScenariosBinding>(M("Scenarios"));
  }
  vb::Variant ConsolidationSources() override { return Get(M("ConsolidationSources")); }
  long ConsolidationFunction() override { return GetLong(M("ConsolidationFunction")); }
  vb::Variant ConsolidationOptions() override { return Get(M("ConsolidationOptions")); }
};

class SheetsBinding final : public excel::Sheets, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Sheets")
  long Count() override { return GetLong(M("Count")); }
  std::shared_ptr<excel::Worksheet> Item(const vb::Variant& index) override {
    return GetObject<WorksheetBinding>(M("Item"), {index});
  }
};

class WorkbookBinding final : public excel::Workbook, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Workbook")
  std::string Name() override { return GetString(M("Name")); }
  void Activate() override { Call(M("Activate")); }
  std::shared_ptr<excel::Worksheet> ActiveSheet() override {
    return GetObject<WorksheetBinding>(M("ActiveSheet"));
  }
  void Close(std::optional<bool> saveChanges) override {
    Call(M("Close"), {saveChanges ? vb::Variant(*saveChanges) : MissingArgument()});
  }
  std::shared_ptr<excel::Sheets> Sheets() override { return GetObject<SheetsBinding>(M("Sheets")); }
  std::shared_ptr<excel::Sheets> Worksheets() override { return GetObject<SheetsBinding>(M("Worksheets")); }
  std::shared_ptr<excel::Windows> Windows() override;  // after WindowsBinding
};

class WorkbooksBinding final : public excel::Workbooks, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Workbooks")
  std::shared_ptr<excel::Workbook> Open(const std::string& fileName) override {
    return GetObject<WorkbookBinding>(M("Open"), {fileName});
  }
  std::shared_ptr<excel::Workbook> Add() override { return GetObject<WorkbookBinding>(M("Add")); }
  long Count() override { return GetLong(M("Count")); }
  std::shared_ptr<excel::Workbook> Item(const vb::Variant& index) override {
    return GetObject<WorkbookBinding>(M("Item"), {index});
  }
};

class WindowBinding final : public excel::Window, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Window")
  std::string Caption() override { return GetString(M("Caption")); }
  long WindowState() override { return GetLong(M("WindowState")); }
  void WindowState(long value) override { Put(M("WindowState"), value); }
};

class WindowsBinding final : public excel::Windows, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Windows")
  long Count() override { return GetLong(M("Count")); }
  std::shared_ptr<excel::Window> Item(const vb::Variant& index) override {
    return GetObject<WindowBinding>(M("Item"), {index});
  }
  bool CompareSideBySideWith(const std::string& windowName) override {
    return GetBoolean(M("CompareSideBySideWith"), {windowName});
  }
  bool ResetPositionsSideBySide() override { return GetBoolean(M("ResetPositionsSideBySide")); }
  bool SyncScrollingSideBySide() override { return GetBoolean(M("SyncScrollingSideBySide")); }
  void SyncScrollingSideBySide(bool value) override { Put(M("SyncScrollingSideBySide"), value); }
};

std::shared_ptr<excel::Windows> WorkbookBinding::Windows() { return GetObject<WindowsBinding>(M("Windows")); }

class CommandBarBinding final : public excel::CommandBar, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("CommandBar")
  std::string Name() override { return GetString(M("Name")); }
  bool Enabled() override { return GetBoolean(M("Enabled")); }
  void Enabled(bool value) override { Put(M("Enabled"), value); }
  bool Visible() override { return GetBoolean(M("Visible")); }
  void Visible(bool value) override { Put(M("Visible"), value); }
  long Position() override { return GetLong(M("Position")); }
  void Position(long value) override { Put(M("Position"), value); }
};

class CommandBarsBinding final : public excel::CommandBars, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("CommandBars")
  long Count() override { return GetLong(M("Count")); }
  std::shared_ptr<excel::CommandBar> Item(const vb::Variant& index) override {
    return GetObject<CommandBarBinding>(M("Item"), {index});
  }
};

class WorksheetFunctionBinding final : public excel::WorksheetFunction, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("WorksheetFunction")
  std::string Substitute(const std::string& text, const std::string& oldText,
                         const std::string& newText) override {
    return GetString(M("Substitute"), {text, oldText, newText});
  }
};

class ApplicationBinding final : public excel::Application, public Bound {
 public:
  using Bound::Bound;
  R58267_MEMBERS_OF("Application")
  std::shared_ptr<excel::Workbooks> Workbooks() override {
    return GetObject<WorkbooksBinding>(M("Workbooks"));
  }
  std::shared_ptr<excel::Workbook> ActiveWorkbook() override {
    return GetObject<WorkbookBinding>(M("ActiveWorkbook"));
  }
  std::shared_ptr<excel::Worksheet> ActiveSheet() override {
    return GetObject<WorksheetBinding>(M("ActiveSheet"));
  }
  std::shared_ptr<excel::Window> ActiveWindow() override {
    return GetObject<WindowBinding>(M("ActiveWindow"));
  }
  std::shared_ptr<excel::Windows> Windows() override { return GetObject<WindowsBinding>(M("Windows")); }
  std::shared_ptr<excel::Sheets> Sheets() override { return GetObject<SheetsBinding>(M("Sheets")); }
  std::shared_ptr<excel::Sheets> Worksheets() override { return GetObject<SheetsBinding>(M("Worksheets")); }
  std::shared_ptr<excel::Range> Range(const std::string& address) override {
    return GetObject<RangeBinding>(M("Range"), {address});
  }
  std::shared_ptr<excel::Range> Cells(long row, long column) override {
    return GetObject<RangeBinding>(M("Cells"), {row, column});
  }
  std::shared_ptr<excel::Selection> Selection() override {
    return GetObject<SelectionBinding>(M("Selection"));
  }
  std::shared_ptr<excel::WorksheetFunction> WorksheetFunction() override {
    return GetObject<WorksheetFunctionBinding>(M("WorksheetFunction"));
  }
  std::shared_ptr<excel::CommandBars> CommandBars() override {
    return GetObject<CommandBarsBinding>(M("CommandBars"));
  }
  vb::Variant Run(const std::string& macro, const std::vector<vb::Variant>& arguments) override {
    Arguments all{macro};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return Get(M("Run"), all);
  }
  vb::Variant ExecuteExcel4Macro(const std::string& text) override {
    return Get(M("ExecuteExcel4Macro"), {text});
  }
  std::string TemplatesPath() override { return GetString(M("TemplatesPath")); }
  bool ShowToolTips() override { return GetBoolean(M("ShowToolTips")); }
  void ShowToolTips(bool value) override { Put(M("ShowToolTips"), value); }
  long DisplayCommentIndicator() override { return GetLong(M("DisplayCommentIndicator")); }
  void DisplayCommentIndicator(long value) override { Put(M("DisplayCommentIndicator"), value); }
  bool DisplayFullScreen() override { return GetBoolean(M("DisplayFullScreen")); }
  void DisplayFullScreen(bool value) override { Put(M("DisplayFullScreen"), value); }
  bool ShowStartupDialog() override { return GetBoolean(M("ShowStartupDialog")); }
  void ShowStartupDialog(bool value) override { Put(M("ShowStartupDialog"), value); }
  bool Visible() override { return GetBoolean(M("Visible")); }
  void Visible(bool value) override { Put(M("Visible"), value); }
  void Quit() override { Call(M("Quit")); }
};

#undef R58267_MEMBERS_OF

}  // namespace

std::shared_ptr<excel::Application> ApplicationFromDispatch(IDispatch* dispatch) {
  return Wrap<ApplicationBinding>(dispatch, [](ComPtr<IDispatch> held) {
    return std::make_shared<ApplicationBinding>(std::move(held), std::make_shared<DispidCache>());
  });
}

ComPtr<IDispatch> DispatchOfApplication(const std::shared_ptr<excel::Application>& application) {
  if (!application) return {};
  const auto* binding = dynamic_cast<const ApplicationBinding*>(application.get());
  if (binding == nullptr) vb::Raise(vb::kTypeMismatch);
  return ComPtr<IDispatch>(binding->Dispatch());
}

}  // namespace win
