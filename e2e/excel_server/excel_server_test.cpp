// The registered r58267_excel_server.exe driven as the library drives Excel:
// created by ProgID in its own process, found as the running instance, and
// called through the library's Excel binding. Each test starts its own
// server (one per creation) and makes it quit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "sim/excel_application.h"
#include "win/com.h"
#include "win/excel_binding.h"
#include "win/text.h"

namespace e2e {
namespace {

constexpr CLSID kServerClsid = {0x00ea9e58, 0x906a, 0x4fd3, {0xb1, 0xf8, 0x68, 0x0b, 0x64, 0x8a, 0x49, 0xfd}};

// A sample document as Wine sees it: the root folder is drive Z:.
std::string Sample(const std::string& name) {
  std::string path = std::string("Z:") + R58267_SAMPLES_DIR + "/705/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

HWND MainWindow() { return FindWindowW(L"XLMAIN", nullptr); }

// Waits up to 10 s for `done`; whether it came.
template <class Condition>
bool WaitFor(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// Whether `call` raises a vb::Error.
template <class Call>
bool ErrorOfCall(Call call) {
  try {
    call();
  } catch (const vb::Error&) {
    return true;
  }
  return false;
}

bool HasDisplay() { return std::getenv("DISPLAY") != nullptr; }

// The IUnknown that identifies a COM object.
win::ComPtr<IUnknown> Identity(IUnknown* object) {
  win::ComPtr<IUnknown> identity;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Put()));
  return identity;
}

win::ComPtr<IUnknown> RunningInstance() {
  CLSID classId{};
  if (FAILED(CLSIDFromProgID(L"Excel.Application.11", &classId))) return {};
  win::ComPtr<IUnknown> running;
  if (FAILED(GetActiveObject(classId, nullptr, running.Put()))) return {};
  return running;
}

class ExcelServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
    CLSID classId{};
    ASSERT_EQ(CLSIDFromProgID(L"Excel.Application.11", &classId), S_OK);
    ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(dispatch_.Put())),
              S_OK);
    excel_ = win::ApplicationFromDispatch(dispatch_.Get());
  }
  // Quits the server unless the test did, and waits until it has left the
  // running-object table, so that the next test meets its own server.
  void TearDown() override {
    if (excel_ && !quit_) {
      try {
        excel_->Quit();
      } catch (const vb::Error&) {
      }
    }
    excel_.reset();
    dispatch_.Reset();
    EXPECT_TRUE(WaitFor([] { return !RunningInstance() && MainWindow() == nullptr; }))
        << "the server is still running";
  }

  // The vb::Error that `call` raises; none when it raises none.
  template <class Call>
  static std::optional<vb::Error> ErrorOf(Call call) {
    try {
      call();
    } catch (const vb::Error& error) {
      return error;
    }
    return std::nullopt;
  }

  win::ComApartment apartment_;
  win::ComPtr<IDispatch> dispatch_;
  std::shared_ptr<excel::Application> excel_;
  bool quit_ = false;
};

TEST_F(ExcelServerTest, IsRegisteredUnderBothProgIdsAndFoundAsTheRunningInstance) {
  for (const wchar_t* progId : {L"Excel.Application.11", L"Excel.Application", L"excel.application.11"}) {
    CLSID classId{};
    EXPECT_EQ(CLSIDFromProgID(progId, &classId), S_OK) << win::Utf8(progId);
    EXPECT_EQ(classId, kServerClsid) << win::Utf8(progId);
  }
  const win::ComPtr<IUnknown> running = RunningInstance();
  ASSERT_TRUE(running);
  EXPECT_EQ(Identity(running.Get()).Get(), Identity(dispatch_.Get()).Get());
}

TEST_F(ExcelServerTest, OwnsAVisibleMainWindowThatFollowsVisible) {
  if (!HasDisplay()) GTEST_SKIP() << "no display: the server has no window";
  ASSERT_NE(MainWindow(), nullptr);
  EXPECT_TRUE(IsWindowVisible(MainWindow()));
  EXPECT_TRUE(excel_->Visible());
  excel_->Visible(false);
  EXPECT_FALSE(excel_->Visible());
  EXPECT_FALSE(IsWindowVisible(MainWindow()));
  excel_->Visible(true);
  EXPECT_TRUE(IsWindowVisible(MainWindow()));
}

TEST_F(ExcelServerTest, OpensDocumentsAndReadsTheirCells) {
  const auto start = excel_->Workbooks()->Open(Sample("start.json"));
  EXPECT_EQ(start->Name(), "start.json");
  const auto solved = excel_->Workbooks()->Open(Sample("solved.json"));
  EXPECT_EQ(excel_->Workbooks()->Count(), 2);
  EXPECT_EQ(excel_->ActiveWorkbook()->Name(), "solved.json");

  const auto b81 = excel_->Range("B81");
  EXPECT_TRUE(b81->HasFormula());
  EXPECT_EQ(b81->Formula(), "=COUNTIF(B33:B77,\"Liverpool\")");
  EXPECT_EQ(vb::CLng(b81->Value()), 8);

  const auto sheet = start->Sheets()->Item("trimestre 1");
  EXPECT_EQ(sheet->Name(), "Trimestre 1");
  EXPECT_EQ(sheet->Range("D33")->Formula(), "142.5");
  EXPECT_FALSE(sheet->Range("B81")->HasFormula());
  EXPECT_EQ(sheet->Range("B33")->Value().AsString(), "Sevilla");
  EXPECT_EQ(sheet->Cells(33, 2)->Address(), "$B$33");
}

// Each failing call gives through the server the error that the same call
// gives on the stand-in in this process: number, description and source.
TEST_F(ExcelServerTest, ErrorsComeBackAsTheStandInRaisesThem) {
  const std::shared_ptr<excel::Application> local = sim::ExcelApplication::Create();
  const struct {
    const char* what;
    long number;
    std::function<void(excel::Application&, const std::string& start)> call;
  } cases[] = {
      // First, before any workbook is open.
      {"no active workbook", vb::kObjectNotSet,
       [](excel::Application& a, const std::string&) { a.ActiveWorkbook(); }},
      {"sheet 9 of 3", vb::kSubscriptOutOfRange,
       [](excel::Application& a, const std::string& start) {
         a.Workbooks()->Open(start)->Sheets()->Item(9L);
       }},
      {"sheet by an unknown name", vb::kSubscriptOutOfRange,
       [](excel::Application& a, const std::string& start) {
         a.Workbooks()->Open(start)->Sheets()->Item("Nowhere");
       }},
      {"a missing document", vb::kApplicationDefined,
       [](excel::Application& a, const std::string& start) { a.Workbooks()->Open(start + ".missing"); }},
      {"a macro", vb::kApplicationDefined,
       [](excel::Application& a, const std::string&) { a.Run("Missing", {}); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<vb::Error> served = ErrorOf([&] { c.call(*excel_, Sample("start.json")); });
    const std::optional<vb::Error> expected = ErrorOf([&] { c.call(*local, Sample("start.json")); });
    ASSERT_TRUE(served && expected);
    EXPECT_EQ(served->number, c.number);
    EXPECT_EQ(served->number, expected->number);
    EXPECT_EQ(served->source, expected->source);
    EXPECT_EQ(served->description, expected->description);
  }
}

TEST_F(ExcelServerTest, TakesNamedArgumentsAndObjectsPassedBack) {
  const auto sheet = excel_->Workbooks()->Open(Sample("start.json"))->Sheets()->Item("Trimestre 2");
  const long before = sheet->Scenarios()->Count();
  const auto added = sheet->Scenarios()->Add("Banque A", vb::Variant::Object(sheet->Range("C4")),
                                             vb::Variant::Array({0.08}), "Taux", true, false);
  EXPECT_EQ(sheet->Scenarios()->Count(), before + 1);
  const auto found = sheet->Scenarios()->Item("banque a");
  EXPECT_EQ(found->Comment(), "Taux");
  EXPECT_EQ(found->ChangingCells()->Address(), "$C$4");
  EXPECT_DOUBLE_EQ(vb::CDbl(found->Values(1)), 0.08);
  EXPECT_TRUE(found->Locked());
}

// Names in any letter case, and Item as the default member.
TEST_F(ExcelServerTest, AnswersNamesInAnyCaseAndItsDefaultMember) {
  excel_->Workbooks()->Open(Sample("start.json"));
  DISPID lower = DISPID_UNKNOWN;
  DISPID upper = DISPID_UNKNOWN;
  std::wstring a = L"workbooks";
  std::wstring b = L"WORKBOOKS";
  LPOLESTR name = a.data();
  ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 1033, &lower), S_OK);
  name = b.data();
  ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 1033, &upper), S_OK);
  EXPECT_EQ(lower, upper);
  std::wstring unknown = L"NoSuchMember";
  name = unknown.data();
  DISPID none = 0;
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 1033, &none), DISP_E_UNKNOWNNAME);

  DISPPARAMS noArguments{nullptr, nullptr, 0, 0};
  win::UniqueVariant workbooks;
  ASSERT_EQ(dispatch_->Invoke(lower, IID_NULL, 1033, DISPATCH_PROPERTYGET, &noArguments, workbooks.Put(),
                              nullptr, nullptr),
            S_OK);
  ASSERT_EQ(workbooks.Get().vt, VT_DISPATCH);
  VARIANT index;
  VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = 1;
  DISPPARAMS one{&index, nullptr, 1, 0};
  win::UniqueVariant workbook;
  ASSERT_EQ(
      workbooks.Get().pdispVal->Invoke(DISPID_VALUE, IID_NULL, 1033, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                       &one, workbook.Put(), nullptr, nullptr),
      S_OK);
  ASSERT_EQ(workbook.Get().vt, VT_DISPATCH);
  EXPECT_EQ(win::ApplicationFromDispatch(dispatch_.Get())->Workbooks()->Item(1L)->Name(), "start.json");
}

TEST_F(ExcelServerTest, QuitEndsTheServer) {
  excel_->Quit();
  quit_ = true;
  EXPECT_TRUE(WaitFor([] { return !RunningInstance(); }));
  if (HasDisplay()) {
    EXPECT_TRUE(WaitFor([] { return MainWindow() == nullptr; }));
  }
  EXPECT_TRUE(ErrorOf([&] { excel_->Workbooks(); }));
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// A server that nobody tells to quit ends by itself when its watchdog
// fires (shortened to 2 s here through the environment it inherits).
TEST(ExcelServerWatchdogTest, EndsAServerThatIsNeverToldToQuit) {
  const win::ComApartment apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.Result()));
  ASSERT_TRUE(SetEnvironmentVariableW(L"R58267_EXCEL_SERVER_WATCHDOG", L"2"));
  win::ComPtr<IDispatch> excel;
  const HRESULT created = CoCreateInstance(kServerClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(excel.Put()));
  SetEnvironmentVariableW(L"R58267_EXCEL_SERVER_WATCHDOG", nullptr);
  ASSERT_EQ(created, S_OK);
  ASSERT_TRUE(RunningInstance());
  EXPECT_TRUE(WaitFor([] { return !RunningInstance(); }));
  EXPECT_TRUE(ErrorOfCall([&] { win::ApplicationFromDispatch(excel.Get())->Workbooks(); }));
}

}  // namespace
}  // namespace e2e
