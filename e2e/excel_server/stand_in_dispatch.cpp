#include "e2e/excel_server/stand_in_dispatch.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "e2e/excel_server/late_bound.h"
#include "framework/remonte_erreur.h"
#include "win/errors.h"
#include "win/excel_members.h"
#include "win/text.h"
#include "win/variant.h"

namespace e2e {
namespace {

using win::excel_members::FindMember;
using win::excel_members::kGet;
using win::excel_members::kMemberCount;
using win::excel_members::kMembers;
using win::excel_members::kMethod;
using win::excel_members::kPut;

ServerEvents gEvents;
long gLive = 0;
long gInvokes = 0;

// Asked of an IDispatch to find out whether it is one of ours (in this
// process only: no proxy knows it).
constexpr IID kServedObjectIid = {
    0x9b1d6c2e, 0x4f0a, 0x4c8e, {0x9a, 0x51, 0x2e, 0x7d, 0x60, 0x13, 0xc4, 0x8b}};

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

// One DISPID per member name, whatever the type: Item is the default
// member (DISPID_VALUE), every other name gets its position among the
// table's distinct names, from 1.
class DispidTable {
 public:
  DispidTable() {
    for (const auto& member : kMembers) {
      const std::string name = Lower(member.name);
      if (ids_.contains(name)) continue;
      const DISPID id = name == "item" ? DISPID_VALUE : static_cast<DISPID>(names_.size() + 1);
      ids_.emplace(name, id);
      if (id != DISPID_VALUE) names_.emplace_back(member.name);
    }
  }
  [[nodiscard]] std::optional<DISPID> Id(std::string_view name) const {
    const auto found = ids_.find(Lower(name));
    if (found == ids_.end()) return std::nullopt;
    return found->second;
  }
  // The name behind a DISPID other than DISPID_VALUE; empty for none.
  [[nodiscard]] std::string_view Name(DISPID id) const {
    if (id < 1 || static_cast<std::size_t>(id) > names_.size()) return {};
    return names_[static_cast<std::size_t>(id - 1)];
  }

 private:
  std::map<std::string, DISPID> ids_;
  std::vector<std::string_view> names_;
};

const DispidTable& Dispids() {
  static const DispidTable table;
  return table;
}

// The collection that Worksheet.PivotTables() gives without an index; the
// stand-in has no object of its own for it.
class PivotTablesOfSheet final : public excel::Object {
 public:
  explicit PivotTablesOfSheet(std::shared_ptr<excel::Worksheet> sheet) : sheet_(std::move(sheet)) {}
  long Count() { return sheet_->PivotTableCount(); }

 private:
  std::shared_ptr<excel::Worksheet> sheet_;
};

// A call that fails as a call (an argument left out that is not optional),
// not as an error that the stand-in raises.
struct CallFailure {
  HRESULT hr;
};

// The arguments of one call, first to last; those left out are missing
// arguments. `value` is what a property assignment assigns.
struct Call {
  std::vector<vb::Variant> arguments;
  vb::Variant value;

  [[nodiscard]] bool Has(std::size_t i) const {
    return i < arguments.size() && !win::IsMissingArgument(arguments[i]);
  }
  [[nodiscard]] const vb::Variant& Required(std::size_t i) const {
    if (!Has(i)) throw CallFailure{DISP_E_PARAMNOTOPTIONAL};
    return arguments[i];
  }
  [[nodiscard]] std::string Text(std::size_t i) const { return vb::CStr(Required(i)); }
  [[nodiscard]] long Long(std::size_t i) const { return vb::CLng(Required(i)); }
  [[nodiscard]] bool Boolean(std::size_t i) const { return vb::CBool(Required(i)); }
};

// Excel's class name of a stand-in object, as the member table names it. A
// Range is tested before Selection, which it also is.
std::string_view TypeOf(const excel::Object& object) {
  const auto is = [&](auto* typed) { return dynamic_cast<decltype(typed)>(&object) != nullptr; };
  if (is(static_cast<const excel::Application*>(nullptr))) return "Application";
  if (is(static_cast<const excel::Workbooks*>(nullptr))) return "Workbooks";
  if (is(static_cast<const excel::Workbook*>(nullptr))) return "Workbook";
  if (is(static_cast<const excel::Sheets*>(nullptr))) return "Sheets";
  if (is(static_cast<const excel::Worksheet*>(nullptr))) return "Worksheet";
  if (is(static_cast<const PivotTablesOfSheet*>(nullptr))) return "PivotTables";
  if (is(static_cast<const excel::Range*>(nullptr))) return "Range";
  if (is(static_cast<const excel::Selection*>(nullptr))) return "Selection";
  if (is(static_cast<const excel::Shapes*>(nullptr))) return "Shapes";
  if (is(static_cast<const excel::Shape*>(nullptr))) return "Shape";
  if (is(static_cast<const excel::PivotTable*>(nullptr))) return "PivotTable";
  if (is(static_cast<const excel::PivotField*>(nullptr))) return "PivotField";
  if (is(static_cast<const excel::Scenarios*>(nullptr))) return "Scenarios";
  if (is(static_cast<const excel::Scenario*>(nullptr))) return "Scenario";
  if (is(static_cast<const excel::Windows*>(nullptr))) return "Windows";
  if (is(static_cast<const excel::Window*>(nullptr))) return "Window";
  if (is(static_cast<const excel::CommandBars*>(nullptr))) return "CommandBars";
  if (is(static_cast<const excel::CommandBar*>(nullptr))) return "CommandBar";
  if (is(static_cast<const excel::WorksheetFunction*>(nullptr))) return "WorksheetFunction";
  return {};
}

// The member that DISPID_VALUE stands for on each type.
std::string_view DefaultMember(std::string_view type) {
  if (type == "Range" || type == "Selection") return "Value";
  if (type == "PivotField") return "Name";
  return "Item";
}

using Handler = std::function<vb::Variant(const std::shared_ptr<excel::Object>&, const Call&)>;
struct Implementation {
  Handler get;  // property read or method call
  Handler put;  // property assignment
};
using Implementations = std::array<Implementation, kMemberCount>;

// Adds the implementation of one member of the table. `f` takes the typed
// object (by reference, or as a shared_ptr when it must keep it) and the
// call.
template <class T, class F>
void Define(Implementations& table, std::string_view type, std::string_view name, bool put, F f) {
  const std::optional<std::size_t> index = FindMember(type, name);
  if (!index)
    throw std::logic_error("not in the member table: " + std::string(type) + "." + std::string(name));
  Handler handler = [f](const std::shared_ptr<excel::Object>& object, const Call& call) -> vb::Variant {
    const auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed) vb::Raise(vb::kNotSupported);
    if constexpr (std::is_invocable_v<F, const std::shared_ptr<T>&, const Call&>) {
      return f(typed, call);
    } else {
      return f(*typed, call);
    }
  };
  (put ? table[*index].put : table[*index].get) = std::move(handler);
}

vb::Variant Obj(std::shared_ptr<vb::Object> object) { return vb::Variant::Object(std::move(object)); }
const vb::Variant kNothingReturned;

// Every member of the table over the classes of framework/excel.h.
Implementations Build() {
  Implementations t;
  using A = excel::Application;
  using C = Call;
  using V = vb::Variant;
  constexpr bool kSet = true;
  constexpr bool kRead = false;

  Define<A>(t, "Application", "Workbooks", kRead, [](A& o, const C&) { return Obj(o.Workbooks()); });
  Define<A>(t, "Application", "ActiveWorkbook", kRead,
            [](A& o, const C&) { return Obj(o.ActiveWorkbook()); });
  Define<A>(t, "Application", "ActiveSheet", kRead, [](A& o, const C&) { return Obj(o.ActiveSheet()); });
  Define<A>(t, "Application", "ActiveWindow", kRead, [](A& o, const C&) { return Obj(o.ActiveWindow()); });
  Define<A>(t, "Application", "Windows", kRead, [](A& o, const C&) { return Obj(o.Windows()); });
  Define<A>(t, "Application", "Sheets", kRead, [](A& o, const C&) { return Obj(o.Sheets()); });
  Define<A>(t, "Application", "Worksheets", kRead, [](A& o, const C&) { return Obj(o.Worksheets()); });
  Define<A>(t, "Application", "Range", kRead, [](A& o, const C& c) { return Obj(o.Range(c.Text(0))); });
  Define<A>(t, "Application", "Cells", kRead,
            [](A& o, const C& c) { return Obj(o.Cells(c.Long(0), c.Long(1))); });
  Define<A>(t, "Application", "Selection", kRead, [](A& o, const C&) { return Obj(o.Selection()); });
  Define<A>(t, "Application", "WorksheetFunction", kRead,
            [](A& o, const C&) { return Obj(o.WorksheetFunction()); });
  Define<A>(t, "Application", "CommandBars", kRead, [](A& o, const C&) { return Obj(o.CommandBars()); });
  Define<A>(t, "Application", "Run", kRead, [](A& o, const C& c) {
    std::vector<V> rest;
    for (std::size_t i = 1; i < c.arguments.size(); ++i) rest.push_back(c.arguments[i]);
    return o.Run(c.Text(0), rest);
  });
  Define<A>(t, "Application", "ExecuteExcel4Macro", kRead,
            [](A& o, const C& c) { return o.ExecuteExcel4Macro(c.Text(0)); });
  Define<A>(t, "Application", "TemplatesPath", kRead, [](A& o, const C&) { return V(o.TemplatesPath()); });
  Define<A>(t, "Application", "ShowToolTips", kRead, [](A& o, const C&) { return V(o.ShowToolTips()); });
  Define<A>(t, "Application", "ShowToolTips", kSet, [](A& o, const C& c) {
    o.ShowToolTips(vb::CBool(c.value));
    return kNothingReturned;
  });
  Define<A>(t, "Application", "DisplayCommentIndicator", kRead,
            [](A& o, const C&) { return V(o.DisplayCommentIndicator()); });
  Define<A>(t, "Application", "DisplayCommentIndicator", kSet, [](A& o, const C& c) {
    o.DisplayCommentIndicator(vb::CLng(c.value));
    return kNothingReturned;
  });
  Define<A>(t, "Application", "DisplayFullScreen", kRead,
            [](A& o, const C&) { return V(o.DisplayFullScreen()); });
  Define<A>(t, "Application", "DisplayFullScreen", kSet, [](A& o, const C& c) {
    o.DisplayFullScreen(vb::CBool(c.value));
    return kNothingReturned;
  });
  Define<A>(t, "Application", "ShowStartupDialog", kRead,
            [](A& o, const C&) { return V(o.ShowStartupDialog()); });
  Define<A>(t, "Application", "ShowStartupDialog", kSet, [](A& o, const C& c) {
    o.ShowStartupDialog(vb::CBool(c.value));
    return kNothingReturned;
  });
  Define<A>(t, "Application", "Visible", kRead, [](A& o, const C&) { return V(o.Visible()); });
  Define<A>(t, "Application", "Visible", kSet, [](A& o, const C& c) {
    const bool visible = vb::CBool(c.value);
    o.Visible(visible);
    if (gEvents.visible) gEvents.visible(visible);
    return kNothingReturned;
  });
  Define<A>(t, "Application", "Quit", kRead, [](A& o, const C&) {
    o.Quit();
    if (gEvents.quit) gEvents.quit();
    return kNothingReturned;
  });

  using Wbs = excel::Workbooks;
  // Open's other arguments (UpdateLinks, ReadOnly …) have no meaning here.
  Define<Wbs>(t, "Workbooks", "Open", kRead, [](Wbs& o, const C& c) { return Obj(o.Open(c.Text(0))); });
  Define<Wbs>(t, "Workbooks", "Add", kRead, [](Wbs& o, const C&) { return Obj(o.Add()); });
  Define<Wbs>(t, "Workbooks", "Count", kRead, [](Wbs& o, const C&) { return V(o.Count()); });
  Define<Wbs>(t, "Workbooks", "Item", kRead, [](Wbs& o, const C& c) { return Obj(o.Item(c.Required(0))); });

  using Wb = excel::Workbook;
  Define<Wb>(t, "Workbook", "Name", kRead, [](Wb& o, const C&) { return V(o.Name()); });
  Define<Wb>(t, "Workbook", "Activate", kRead, [](Wb& o, const C&) {
    o.Activate();
    return kNothingReturned;
  });
  Define<Wb>(t, "Workbook", "ActiveSheet", kRead, [](Wb& o, const C&) { return Obj(o.ActiveSheet()); });
  Define<Wb>(t, "Workbook", "Close", kRead, [](Wb& o, const C& c) {
    o.Close(c.Has(0) ? std::optional<bool>(c.Boolean(0)) : std::nullopt);
    return kNothingReturned;
  });
  Define<Wb>(t, "Workbook", "Sheets", kRead, [](Wb& o, const C&) { return Obj(o.Sheets()); });
  Define<Wb>(t, "Workbook", "Worksheets", kRead, [](Wb& o, const C&) { return Obj(o.Worksheets()); });
  Define<Wb>(t, "Workbook", "Windows", kRead, [](Wb& o, const C&) { return Obj(o.Windows()); });

  using Shs = excel::Sheets;
  Define<Shs>(t, "Sheets", "Count", kRead, [](Shs& o, const C&) { return V(o.Count()); });
  Define<Shs>(t, "Sheets", "Item", kRead, [](Shs& o, const C& c) { return Obj(o.Item(c.Required(0))); });

  using Ws = excel::Worksheet;
  Define<Ws>(t, "Worksheet", "Name", kRead, [](Ws& o, const C&) { return V(o.Name()); });
  Define<Ws>(t, "Worksheet", "Activate", kRead, [](Ws& o, const C&) {
    o.Activate();
    return kNothingReturned;
  });
  Define<Ws>(t, "Worksheet", "Select", kRead, [](Ws& o, const C&) {
    o.Select();
    return kNothingReturned;
  });
  Define<Ws>(t, "Worksheet", "Protect", kRead, [](Ws& o, const C&) {
    o.Protect();
    return kNothingReturned;
  });
  Define<Ws>(t, "Worksheet", "Unprotect", kRead, [](Ws& o, const C& c) {
    o.Unprotect(c.Has(0) ? std::optional<std::string>(c.Text(0)) : std::nullopt);
    return kNothingReturned;
  });
  Define<Ws>(t, "Worksheet", "ProtectContents", kRead,
             [](Ws& o, const C&) { return V(o.ProtectContents()); });
  Define<Ws>(t, "Worksheet", "Range", kRead, [](Ws& o, const C& c) { return Obj(o.Range(c.Text(0))); });
  Define<Ws>(t, "Worksheet", "Cells", kRead,
             [](Ws& o, const C& c) { return Obj(o.Cells(c.Long(0), c.Long(1))); });
  Define<Ws>(t, "Worksheet", "Shapes", kRead, [](Ws& o, const C&) { return Obj(o.Shapes()); });
  Define<Ws>(t, "Worksheet", "PivotTables", kRead, [](const std::shared_ptr<Ws>& o, const C& c) {
    if (c.Has(0)) return Obj(o->PivotTables(c.arguments[0]));
    return Obj(std::make_shared<PivotTablesOfSheet>(o));
  });
  Define<Ws>(t, "Worksheet", "Scenarios", kRead, [](Ws& o, const C& c) {
    if (c.Has(0)) return Obj(o.Scenarios()->Item(c.arguments[0]));
    return Obj(o.Scenarios());
  });
  Define<Ws>(t, "Worksheet", "ConsolidationSources", kRead,
             [](Ws& o, const C&) { return o.ConsolidationSources(); });
  Define<Ws>(t, "Worksheet", "ConsolidationFunction", kRead,
             [](Ws& o, const C&) { return V(o.ConsolidationFunction()); });
  Define<Ws>(t, "Worksheet", "ConsolidationOptions", kRead,
             [](Ws& o, const C&) { return o.ConsolidationOptions(); });

  Define<PivotTablesOfSheet>(t, "PivotTables", "Count", kRead,
                             [](PivotTablesOfSheet& o, const C&) { return V(o.Count()); });

  using S = excel::Selection;
  Define<S>(t, "Selection", "Value", kRead, [](S& o, const C&) { return o.Value(); });

  using R = excel::Range;
  Define<R>(t, "Range", "Formula", kRead, [](R& o, const C&) { return V(o.Formula()); });
  Define<R>(t, "Range", "Value", kRead, [](R& o, const C&) { return o.Value(); });
  Define<R>(t, "Range", "NumberFormat", kRead, [](R& o, const C&) { return V(o.NumberFormat()); });
  Define<R>(t, "Range", "HasFormula", kRead, [](R& o, const C&) { return V(o.HasFormula()); });
  Define<R>(t, "Range", "CurrentArray", kRead, [](R& o, const C&) { return Obj(o.CurrentArray()); });
  Define<R>(t, "Range", "NoteText", kRead, [](R& o, const C&) { return V(o.NoteText()); });
  Define<R>(t, "Range", "Cells", kRead, [](R& o, const C& c) {
    if (c.Has(1)) return Obj(o.Cells(c.Long(0), c.Long(1)));
    return Obj(o.Cells(c.Long(0)));
  });
  Define<R>(t, "Range", "Count", kRead, [](R& o, const C&) { return V(o.Count()); });
  Define<R>(t, "Range", "Address", kRead, [](R& o, const C&) { return V(o.Address()); });
  Define<R>(t, "Range", "Select", kRead, [](R& o, const C&) {
    o.Select();
    return kNothingReturned;
  });

  using Shps = excel::Shapes;
  Define<Shps>(t, "Shapes", "Count", kRead, [](Shps& o, const C&) { return V(o.Count()); });
  Define<Shps>(t, "Shapes", "Item", kRead, [](Shps& o, const C& c) { return Obj(o.Item(c.Required(0))); });
  using Shp = excel::Shape;
  Define<Shp>(t, "Shape", "Name", kRead, [](Shp& o, const C&) { return V(o.Name()); });
  Define<Shp>(t, "Shape", "Select", kRead, [](Shp& o, const C&) {
    o.Select();
    return kNothingReturned;
  });

  using P = excel::PivotTable;
  Define<P>(t, "PivotTable", "SourceData", kRead, [](P& o, const C&) { return o.SourceData(); });
  Define<P>(t, "PivotTable", "RowFields", kRead,
            [](P& o, const C& c) { return Obj(o.RowFields(c.Required(0))); });
  Define<P>(t, "PivotTable", "ColumnFields", kRead,
            [](P& o, const C& c) { return Obj(o.ColumnFields(c.Required(0))); });
  Define<P>(t, "PivotTable", "DataFields", kRead,
            [](P& o, const C& c) { return Obj(o.DataFields(c.Required(0))); });
  using F = excel::PivotField;
  Define<F>(t, "PivotField", "Name", kRead, [](F& o, const C&) { return V(o.Name()); });
  Define<F>(t, "PivotField", "Function", kRead, [](F& o, const C&) { return V(o.Function()); });
  Define<F>(t, "PivotField", "SourceName", kRead, [](F& o, const C&) { return V(o.SourceName()); });

  using Scs = excel::Scenarios;
  Define<Scs>(t, "Scenarios", "Count", kRead, [](Scs& o, const C&) { return V(o.Count()); });
  Define<Scs>(t, "Scenarios", "Item", kRead, [](Scs& o, const C& c) { return Obj(o.Item(c.Required(0))); });
  // Excel's defaults: Locked True, Hidden False; Values left out takes the
  // cells' current values.
  Define<Scs>(t, "Scenarios", "Add", kRead, [](Scs& o, const C& c) {
    return Obj(o.Add(c.Text(0), c.Required(1), c.Has(2) ? c.arguments[2] : V(), c.Has(3) ? c.Text(3) : "",
                     c.Has(4) ? c.Boolean(4) : true, c.Has(5) ? c.Boolean(5) : false));
  });
  using Sc = excel::Scenario;
  Define<Sc>(t, "Scenario", "Name", kRead, [](Sc& o, const C&) { return V(o.Name()); });
  Define<Sc>(t, "Scenario", "ChangingCells", kRead, [](Sc& o, const C&) { return Obj(o.ChangingCells()); });
  Define<Sc>(t, "Scenario", "Values", kRead, [](Sc& o, const C& c) {
    if (c.Has(0)) return o.Values(c.Long(0));
    return o.Values();
  });
  Define<Sc>(t, "Scenario", "Comment", kRead, [](Sc& o, const C&) { return V(o.Comment()); });
  Define<Sc>(t, "Scenario", "Locked", kRead, [](Sc& o, const C&) { return V(o.Locked()); });
  Define<Sc>(t, "Scenario", "Hidden", kRead, [](Sc& o, const C&) { return V(o.Hidden()); });

  using Wns = excel::Windows;
  Define<Wns>(t, "Windows", "Count", kRead, [](Wns& o, const C&) { return V(o.Count()); });
  Define<Wns>(t, "Windows", "Item", kRead, [](Wns& o, const C& c) { return Obj(o.Item(c.Required(0))); });
  Define<Wns>(t, "Windows", "CompareSideBySideWith", kRead,
              [](Wns& o, const C& c) { return V(o.CompareSideBySideWith(c.Text(0))); });
  Define<Wns>(t, "Windows", "ResetPositionsSideBySide", kRead,
              [](Wns& o, const C&) { return V(o.ResetPositionsSideBySide()); });
  Define<Wns>(t, "Windows", "SyncScrollingSideBySide", kRead,
              [](Wns& o, const C&) { return V(o.SyncScrollingSideBySide()); });
  Define<Wns>(t, "Windows", "SyncScrollingSideBySide", kSet, [](Wns& o, const C& c) {
    o.SyncScrollingSideBySide(vb::CBool(c.value));
    return kNothingReturned;
  });
  using Wn = excel::Window;
  Define<Wn>(t, "Window", "Caption", kRead, [](Wn& o, const C&) { return V(o.Caption()); });
  Define<Wn>(t, "Window", "WindowState", kRead, [](Wn& o, const C&) { return V(o.WindowState()); });
  Define<Wn>(t, "Window", "WindowState", kSet, [](Wn& o, const C& c) {
    o.WindowState(vb::CLng(c.value));
    return kNothingReturned;
  });

  using Cbs = excel::CommandBars;
  Define<Cbs>(t, "CommandBars", "Count", kRead, [](Cbs& o, const C&) { return V(o.Count()); });
  Define<Cbs>(t, "CommandBars", "Item", kRead, [](Cbs& o, const C& c) { return Obj(o.Item(c.Required(0))); });
  using Cb = excel::CommandBar;
  Define<Cb>(t, "CommandBar", "Name", kRead, [](Cb& o, const C&) { return V(o.Name()); });
  Define<Cb>(t, "CommandBar", "Enabled", kRead, [](Cb& o, const C&) { return V(o.Enabled()); });
  Define<Cb>(t, "CommandBar", "Enabled", kSet, [](Cb& o, const C& c) {
    o.Enabled(vb::CBool(c.value));
    return kNothingReturned;
  });
  Define<Cb>(t, "CommandBar", "Visible", kRead, [](Cb& o, const C&) { return V(o.Visible()); });
  Define<Cb>(t, "CommandBar", "Visible", kSet, [](Cb& o, const C& c) {
    o.Visible(vb::CBool(c.value));
    return kNothingReturned;
  });
  Define<Cb>(t, "CommandBar", "Position", kRead, [](Cb& o, const C&) { return V(o.Position()); });
  Define<Cb>(t, "CommandBar", "Position", kSet, [](Cb& o, const C& c) {
    o.Position(vb::CLng(c.value));
    return kNothingReturned;
  });

  using Wf = excel::WorksheetFunction;
  Define<Wf>(t, "WorksheetFunction", "Substitute", kRead,
             [](Wf& o, const C& c) { return V(o.Substitute(c.Text(0), c.Text(1), c.Text(2))); });
  return t;
}

const Implementations& Table() {
  static const Implementations table = Build();
  return table;
}

class ServedObject;
// Served objects by their stand-in object; each entry goes with its object.
std::map<const excel::Object*, ServedObject*> gServed;

// The stand-in object behind an argument that is one of our own objects,
// as a client passes back what it got (Scenarios.Add's ChangingCells).
vb::Variant StandInOf(vb::Variant value);

// An argument as the stand-in takes it.
vb::Variant ArgumentOf(const VARIANT& argument) { return StandInOf(win::FromVariant(argument)); }

// A result as the client receives it: stand-in objects as their served
// IDispatch.
win::UniqueVariant ResultOf(const vb::Variant& value) {
  if (value.Type() != vb::VarType::Object) return win::ToVariant(value);
  win::UniqueVariant result;
  VARIANT& slot = *result.Put();
  V_VT(&slot) = VT_DISPATCH;
  V_DISPATCH(&slot) = DispatchFor(std::dynamic_pointer_cast<excel::Object>(value.AsObject())).Detach();
  return result;
}

// Fills the caller's EXCEPINFO with the error being handled, as Excel
// reports its errors: the automation HRESULT of the VB number, the source
// and the description.
HRESULT ReportError(EXCEPINFO* exception) noexcept {
  try {
    const vb::Error error = r58267::ErreurEnCours();
    const HRESULT hr = win::HresultOf(error.number);
    if (exception == nullptr) return hr;
    *exception = {};
    exception->scode = hr;
    exception->bstrSource = win::ToBstr(error.source).Detach();
    exception->bstrDescription = win::ToBstr(error.description).Detach();
    return DISP_E_EXCEPTION;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// One stand-in object served through IDispatch.
class ServedObject final : public LateBound {
 public:
  ServedObject(std::shared_ptr<excel::Object> object, std::string_view type)
      : LateBound(&kServedObjectIid), object_(std::move(object)), type_(type) {
    gServed[object_.get()] = this;
    ++gLive;
  }
  ServedObject(const ServedObject&) = delete;
  ServedObject& operator=(const ServedObject&) = delete;
  ~ServedObject() override {
    gServed.erase(object_.get());
    --gLive;
  }

  [[nodiscard]] const std::shared_ptr<excel::Object>& StandIn() const { return object_; }

  // The member's DISPID, then its named arguments' (their positions).
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID /*iid*/, LPOLESTR* names, UINT count, LCID /*locale*/,
                                          DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    try {
      const std::string name = win::Utf8(names[0]);
      const std::optional<std::size_t> member = FindMember(type_, name);
      if (!member) return DISP_E_UNKNOWNNAME;
      ids[0] = *Dispids().Id(name);
      HRESULT hr = S_OK;
      const auto& parameters = kMembers[*member].namedArguments;
      for (UINT i = 1; i < count; ++i) {
        const std::string argument = Lower(win::Utf8(names[i]));
        for (std::size_t k = 0; k < parameters.size(); ++k) {
          if (Lower(parameters[k]) == argument) ids[i] = static_cast<DISPID>(k);
        }
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
      }
      return hr;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID /*iid*/, LCID /*locale*/, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
    if (argumentError != nullptr) *argumentError = 0;
    ++gInvokes;
    try {
      const std::string_view name = id == DISPID_VALUE ? DefaultMember(type_) : Dispids().Name(id);
      const std::optional<std::size_t> member = FindMember(type_, name);
      if (!member) return DISP_E_MEMBERNOTFOUND;
      const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
      const unsigned access = kMembers[*member].access;
      const Implementation& implementation = Table()[*member];
      if (put ? (access & kPut) == 0 : (access & (kGet | kMethod)) == 0) return DISP_E_MEMBERNOTFOUND;
      Call call;
      const HRESULT read = ReadArguments(params, put, call);
      if (FAILED(read)) return read;
      const vb::Variant value = (put ? implementation.put : implementation.get)(object_, call);
      if (result != nullptr && !put) *result = ResultOf(value).Release();
      return S_OK;
    } catch (const CallFailure& failure) {
      return failure.hr;
    } catch (...) {
      return ReportError(exception);
    }
  }

 private:
  // Arguments first to last: positional ones come last first in rgvarg,
  // after the named ones, whose DISPIDs are their positions. A property
  // assignment's value is the named argument DISPID_PROPERTYPUT.
  static HRESULT ReadArguments(const DISPPARAMS* params, bool put, Call& call) {
    if (params == nullptr) return put ? DISP_E_PARAMNOTOPTIONAL : S_OK;
    if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
    const UINT positional = params->cArgs - params->cNamedArgs;
    std::size_t size = positional;
    std::vector<std::pair<std::size_t, const VARIANT*>> named;
    bool hasValue = false;
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
      const DISPID position = params->rgdispidNamedArgs[i];
      if (position == DISPID_PROPERTYPUT && put) {
        call.value = ArgumentOf(params->rgvarg[i]);
        hasValue = true;
        continue;
      }
      if (position < 0) return DISP_E_PARAMNOTFOUND;
      named.emplace_back(static_cast<std::size_t>(position), &params->rgvarg[i]);
      size = std::max(size, static_cast<std::size_t>(position) + 1);
    }
    if (put && !hasValue) return DISP_E_PARAMNOTOPTIONAL;
    call.arguments.assign(size, win::MissingArgument());
    for (UINT k = 0; k < positional; ++k)
      call.arguments[k] = ArgumentOf(params->rgvarg[params->cArgs - 1 - k]);
    for (const auto& [position, argument] : named) call.arguments[position] = ArgumentOf(*argument);
    return S_OK;
  }

  std::shared_ptr<excel::Object> object_;
  std::string_view type_;
};

vb::Variant StandInOf(vb::Variant value) {
  if (value.Type() != vb::VarType::Object) return value;
  const auto* held = dynamic_cast<const win::ComObject*>(value.AsObject().get());
  if (held == nullptr || held->Dispatch() == nullptr) return value;
  ServedObject* ours = nullptr;
  if (FAILED(held->Dispatch()->QueryInterface(kServedObjectIid, reinterpret_cast<void**>(&ours))))
    return value;
  const auto owned = win::ComPtr<IDispatch>::Attach(ours);
  return vb::Variant::Object(ours->StandIn());
}

}  // namespace

void SetServerEvents(ServerEvents events) { gEvents = std::move(events); }

win::ComPtr<IDispatch> DispatchFor(const std::shared_ptr<excel::Object>& object) {
  if (!object) return {};
  const auto found = gServed.find(object.get());
  if (found != gServed.end()) return win::ComPtr<IDispatch>(found->second);
  const std::string_view type = TypeOf(*object);
  if (type.empty()) vb::Raise(vb::kTypeMismatch);
  return win::ComPtr<IDispatch>::Attach(new ServedObject(object, type));
}

long LiveObjects() { return gLive; }

long InvokeCount() { return gInvokes; }

std::string MissingMember() {
  const Implementations& table = Table();
  for (std::size_t i = 0; i < kMemberCount; ++i) {
    const unsigned access = kMembers[i].access;
    const bool readable = (access & (kGet | kMethod)) != 0;
    if ((readable && !table[i].get) || ((access & kPut) != 0 && !table[i].put)) {
      return std::string(kMembers[i].type) + "." + std::string(kMembers[i].name);
    }
  }
  return {};
}

}  // namespace e2e
