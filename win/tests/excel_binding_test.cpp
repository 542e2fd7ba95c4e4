#include "win/excel_binding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win/busy.h"
#include "win/tests/fake_dispatch.h"
#include "win/text.h"

namespace win {
namespace {

using testing::CallLog;
using testing::Describe;
using testing::ErrorOf;
using testing::FakeDispatch;
using Act = std::function<void(excel::Application&)>;

constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// An Excel of fakes: the application, its workbooks, one workbook with an
// active sheet, a range, the sheet's scenarios and the selection.
class ExcelBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    excel_->ReturnsObject("Workbooks", workbooks_.Get());
    excel_->ReturnsObject("ActiveWorkbook", workbook_.Get());
    excel_->ReturnsObject("ActiveSheet", sheet_.Get());
    excel_->ReturnsObject("Range", range_.Get());
    excel_->ReturnsObject("Cells", range_.Get());
    excel_->ReturnsObject("Selection", selection_.Get());
    workbooks_->ReturnsObject("Open", workbook_.Get());
    workbooks_->ReturnsObject("Item", workbook_.Get());
    sheet_->ReturnsObject("Scenarios", scenarios_.Get());
    scenarios_->ReturnsObject("Add", scenario_.Get());
    application_ = ApplicationFromDispatch(excel_.Get());
  }
  ComPtr<FakeDispatch> Fake() { return FakeDispatch::Make(log_); }
  // Names asked through GetIDsOfNames whose first name is `member`.
  long Lookups(const std::string& member) const {
    return std::ranges::count_if(log_->lookups, [&](const auto& names) { return names.front() == member; });
  }

  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
  ComPtr<FakeDispatch> excel_ = Fake();
  ComPtr<FakeDispatch> workbooks_ = Fake();
  ComPtr<FakeDispatch> workbook_ = Fake();
  ComPtr<FakeDispatch> sheet_ = Fake();
  ComPtr<FakeDispatch> range_ = Fake();
  ComPtr<FakeDispatch> selection_ = Fake();
  ComPtr<FakeDispatch> scenarios_ = Fake();
  ComPtr<FakeDispatch> scenario_ = Fake();
  std::shared_ptr<excel::Application> application_;
};

// An invocation as "Member kind(arguments)": get is METHOD | PROPERTYGET,
// call is METHOD, put is PROPERTYPUT with the value named
// DISPID_PROPERTYPUT and no result asked.
std::string Summary(const testing::Invocation& call) {
  const bool put = call.flags == DISPATCH_PROPERTYPUT && !call.resultWanted &&
                   call.namedIds == std::vector<DISPID>{DISPID_PROPERTYPUT};
  std::string text = call.member + (put                             ? " put("
                                    : call.flags == kGet            ? " get("
                                    : call.flags == DISPATCH_METHOD ? " call("
                                                                    : " ?(");
  for (const auto& argument : call.arguments) text += (text.back() == '(' ? "" : ", ") + Describe(argument);
  return text + ")";
}

TEST_F(ExcelBindingTest, MembersAreInvokedAsVbInvokesThemInEnglish) {
  const std::vector<std::pair<Act, std::string>> cases{
      {[](excel::Application& x) { x.Visible(); }, "Visible get()"},
      {[](excel::Application& x) { x.Visible(false); }, "Visible put(Boolean False)"},
      {[](excel::Application& x) { x.DisplayCommentIndicator(excel::xlNoIndicator); },
       "DisplayCommentIndicator put(Long 0)"},
      {[](excel::Application& x) { x.Quit(); }, "Quit call()"},
      {[](excel::Application& x) { x.Workbooks()->Open("C:\\Thor.xls"); }, "Open get(String C:\\Thor.xls)"},
      {[](excel::Application& x) { x.ActiveWorkbook()->Close(std::nullopt); }, "Close call()"},
      {[](excel::Application& x) { x.ActiveWorkbook()->Close(false); }, "Close call(Boolean False)"},
      {[](excel::Application& x) { x.ActiveSheet()->Unprotect(std::nullopt); }, "Unprotect call()"},
      {[](excel::Application& x) { x.Cells(33, 1); }, "Cells get(Long 33, Long 1)"},
      {[](excel::Application& x) { x.Selection()->Value(); }, "Value get()"},
      // Omitted arguments: missing between, not passed at the end.
      {[](excel::Application& x) {
         x.Run("ChangeRep", {MissingArgument(), 1L});
       },
       "Run get(String ChangeRep, Missing, Long 1)"},
      {[](excel::Application& x) {
         x.Run("GetRep", {MissingArgument(), MissingArgument()});
       },
       "Run get(String GetRep)"},
  };
  for (const auto& [act, expected] : cases) {
    act(*application_);
    EXPECT_EQ(Summary(log_->Last()), expected);
    EXPECT_EQ(log_->Last().locale, 1033u) << expected;
  }
}

TEST_F(ExcelBindingTest, NamesAreResolvedOncePerTypeInEnglish) {
  const auto other = Fake();
  workbooks_->ReturnsObject("Item", other.Get());
  application_->ActiveWorkbook()->Name();
  application_->ActiveWorkbook()->Name();
  application_->Workbooks()->Item(2)->Name();  // another workbook
  application_->ActiveSheet()->Name();         // another type
  EXPECT_EQ(Lookups("Name"), 2);
  EXPECT_EQ(Lookups("ActiveWorkbook"), 1);
  EXPECT_TRUE(std::ranges::all_of(log_->lookupLocales, [](LCID locale) { return locale == 1033; }));
}

TEST_F(ExcelBindingTest, ScenariosAddPassesItsArgumentsByName) {
  const auto scenarios = application_->ActiveSheet()->Scenarios();
  const auto cells = application_->Range("C4");
  const auto named = [&] {
    std::map<std::string, std::string> result;
    for (const auto& [name, value] : log_->Last().named) result[name] = Describe(value);
    EXPECT_TRUE(log_->Last().arguments.empty());
    return result;
  };

  scenarios->Add("Banque A", vb::Variant::Object(cells), vb::Variant::Array({0.08}), "Créé par Editions ORVA",
                 true, false);
  EXPECT_EQ(log_->lookups.back(), (std::vector<std::string>{"Add", "Name", "ChangingCells", "Values",
                                                            "Comment", "Locked", "Hidden"}));
  EXPECT_EQ(named(), (std::map<std::string, std::string>{{"Name", "String Banque A"},
                                                         {"ChangingCells", Describe(range_.Get())},
                                                         {"Values", "Array(1) {Double 0.08}"},
                                                         {"Comment", "String Créé par Editions ORVA"},
                                                         {"Locked", "Boolean True"},
                                                         {"Hidden", "Boolean False"}}));

  // Empty values are left out, so that Excel takes the cells' values.
  scenarios->Add("Banque B", "C4", {}, "", false, true);
  EXPECT_EQ(named().size(), 5u);
  EXPECT_FALSE(log_->Last().named.contains("Values"));
  EXPECT_EQ(Lookups("Add"), 1);
}

TEST_F(ExcelBindingTest, AFailedCallRaisesExcelsNumberSourceAndDescription) {
  workbook_->On("Close", [](VARIANT*, EXCEPINFO* exception) {
    exception->scode = static_cast<SCODE>(0x800A03EC);
    exception->bstrSource = ToBstr("Microsoft Office Excel").Detach();
    exception->bstrDescription = ToBstr("Close method of Workbook class failed").Detach();
    return DISP_E_EXCEPTION;
  });
  try {
    application_->ActiveWorkbook()->Close(false);
    FAIL() << "no error";
  } catch (const vb::Error& error) {
    EXPECT_EQ(error.number, 1004);
    EXPECT_EQ(error.source, "Microsoft Office Excel");
    EXPECT_EQ(error.description, "Close method of Workbook class failed");
  }
}

TEST_F(ExcelBindingTest, AnObjectResultOtherThanAnObjectIsAnError) {
  excel_->ReturnsObject("ActiveWorkbook", nullptr);
  EXPECT_EQ(ErrorOf([&] { application_->ActiveWorkbook(); }), vb::kObjectNotSet);
  // Excel gives nothing at all.
  EXPECT_EQ(ErrorOf([&] { application_->ActiveWindow(); }), vb::kObjectNotSet);
  excel_->Returns("Windows", "Fenêtres");
  EXPECT_EQ(ErrorOf([&] { application_->Windows(); }), vb::kTypeMismatch);
}

TEST_F(ExcelBindingTest, OneComObjectIsOneCoreObject) {
  EXPECT_EQ(ApplicationFromDispatch(excel_.Get()), application_);
  EXPECT_EQ(DispatchOfApplication(application_).Get(), excel_.Get());
  EXPECT_EQ(ApplicationFromDispatch(nullptr), nullptr);
  EXPECT_FALSE(DispatchOfApplication(nullptr));

  const auto active = application_->ActiveWorkbook();
  EXPECT_EQ(application_->Workbooks()->Item(1), active);
  // Another interface pointer of the same COM object.
  const auto face = FakeDispatch::Make(log_, workbook_.Get());
  workbooks_->ReturnsObject("Open", face.Get());
  EXPECT_EQ(application_->Workbooks()->Open("Thor International.xls"), active);
}

TEST_F(ExcelBindingTest, WrappersGiveTheirReferencesBack) {
  const ULONG before = workbook_->References();
  application_->ActiveWorkbook()->Name();
  EXPECT_EQ(workbook_->References(), before);
}

// Excel rejects the first `rejections` reads of Visible as busy.
TEST_F(ExcelBindingTest, CallsRejectedAsBusyAreMadeAgainWithinTheMembersBound) {
  struct Case {
    const char* what;
    bool scope;
    DWORD boundMs;
    int rejections;
    long error;    // of the first read
    int attempts;  // of the first read
  };
  const std::vector<Case> cases{
      {"outside a member: no retry", false, 0, 1, -2147418111, 1},
      {"busy for a moment", true, 1000, 2, 0, 3},
      // 250 + 250 + 100 ms of waiting, then the bound is spent.
      {"busy for good", true, 600, 100, -2147418111, 4},
  };
  for (const auto& c : cases) {
    int attempts = 0;
    excel_->On("Visible",
               [&](VARIANT*, EXCEPINFO*) { return ++attempts <= c.rejections ? RPC_E_CALL_REJECTED : S_OK; });
    std::optional<BusyScope> scope;
    if (c.scope) scope.emplace(c.boundMs);
    const DWORD start = GetTickCount();
    EXPECT_EQ(ErrorOf([&] { application_->Visible(); }), c.error) << c.what;
    EXPECT_EQ(attempts, c.attempts) << c.what;
    EXPECT_LT(GetTickCount() - start, c.boundMs + 500) << c.what;
    // The bound is the member's: once spent, a busy call fails at once.
    if (c.error != 0 && c.scope) {
      attempts = 0;
      EXPECT_EQ(ErrorOf([&] { application_->Visible(); }), c.error) << c.what;
      EXPECT_EQ(attempts, 1) << c.what;
    }
  }
  // Other failures are not busy ones.
  int attempts = 0;
  excel_->On("Visible", [&](VARIANT*, EXCEPINFO*) {
    ++attempts;
    return DISP_E_MEMBERNOTFOUND;
  });
  const BusyScope scope(1000);
  EXPECT_NE(ErrorOf([&] { application_->Visible(); }), 0);
  EXPECT_EQ(attempts, 1);
}

TEST(BusyTest, TheFilterRetriesWithinTheBudgetThenGivesUp) {
  constexpr DWORD kGiveUp = 0xFFFFFFFF;
  BusyBudget budget(600);
  EXPECT_EQ(RetryAnswer(budget, SERVERCALL_RETRYLATER), 250u);
  EXPECT_EQ(RetryAnswer(budget, SERVERCALL_REJECTED), 250u);
  EXPECT_EQ(RetryAnswer(budget, SERVERCALL_RETRYLATER), 100u);
  EXPECT_EQ(RetryAnswer(budget, SERVERCALL_RETRYLATER), kGiveUp);
  BusyBudget small(40);
  EXPECT_EQ(RetryAnswer(small, SERVERCALL_RETRYLATER), 100u);  // below 100 COM would not pause
  EXPECT_EQ(small.Left(), 0u);
  BusyBudget fresh(600);
  EXPECT_EQ(RetryAnswer(fresh, SERVERCALL_ISHANDLED), kGiveUp);
}

}  // namespace
}  // namespace win
