// Drives the registered R58267.dll as a host does: created by its ProgID,
// called through IDispatch and through the vtable, errors read from the
// EXCEPINFO of Invoke.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "R58267.h"
#include "win/com.h"
#include "win/tests/arguments.h"
#include "win/text.h"

namespace win {
namespace {

// The error of InitQuestion when no Excel can be obtained: 429, reported by
// GetApplication and passed on by InitQuestion.
constexpr HRESULT kCannotCreate = static_cast<HRESULT>(0x800A01AD);
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);
const wchar_t* const kGetApplicationSource =
    L"DLL R58267 - CLASSE Module\n\r - SERVICE GetApplication - OBJET R58267";

class ComClientTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(apartment_.Result()));
    CLSID classId{};
    ASSERT_EQ(CLSIDFromProgID(L"R58267.Module", &classId), S_OK);
    ASSERT_EQ(classId, CLSID_Module);
    ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(module_.Put())),
              S_OK);
  }

  DISPID Id(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    auto* text = const_cast<LPOLESTR>(name);
    EXPECT_EQ(module_->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id), S_OK) << Utf8(name);
    return id;
  }

  // Invokes `name` with `arguments` given first to last; returns the
  // HRESULT and fills `result` and `exception`.
  HRESULT Call(const wchar_t* name, WORD flags, std::vector<VARIANT> arguments, UniqueVariant& result) {
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    exception_ = {};
    const HRESULT hr = module_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Put(),
                                       &exception_, nullptr);
    source_ = Bstr::Attach(exception_.bstrSource);
    description_ = Bstr::Attach(exception_.bstrDescription);
    help_ = Bstr::Attach(exception_.bstrHelpFile);
    return hr;
  }

  ComApartment apartment_;
  ComPtr<IDispatch> module_;
  EXCEPINFO exception_{};
  Bstr source_, description_, help_;
};

using test_support::Long;
using test_support::Text;

VARIANT Reference(VARIANT& target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = &target;
  return v;
}

TEST_F(ComClientTest, ReadsErreurGeneraleAndClosesThroughDispatchAndVtable) {
  UniqueVariant result;
  ASSERT_EQ(Call(L"ErreurGenerale", DISPATCH_PROPERTYGET, {}, result), S_OK);
  EXPECT_EQ(V_VT(&result.Get()), VT_BOOL);
  EXPECT_EQ(V_BOOL(&result.Get()), VARIANT_FALSE);
  EXPECT_EQ(Call(L"Fermer", DISPATCH_METHOD, {}, result), S_OK);

  const ComPtr<AbstractModule> typed = module_.As<AbstractModule>();
  ASSERT_TRUE(typed);
  VARIANT_BOOL erreur = VARIANT_TRUE;
  EXPECT_EQ(typed->get_ErreurGenerale(&erreur), S_OK);
  EXPECT_EQ(erreur, VARIANT_FALSE);
  EXPECT_EQ(typed->Fermer(), S_OK);
  EXPECT_TRUE(module_.As<_Module>());
  EXPECT_EQ(module_.As<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IID_AbstractModule), S_OK);
}

// A script passes its variables by reference (VT_BYREF|VT_VARIANT) and may
// leave isPathModele out; the failure reaches it with the composed source,
// and the in/out variables are written back (the unset Application as
// Nothing).
TEST_F(ComClientTest, InitQuestionFailureCarriesTheComposedSourceToAScript) {
  const Bstr folder = ToBstr("C:\\r58267 élève\\");
  UniqueVariant application;  // Empty, as an unset script variable
  UniqueVariant handle;
  V_VT(handle.Put()) = VT_I2;
  V_I2(&handle.Get()) = 7;
  UniqueVariant question;
  V_VT(question.Put()) = VT_I4;
  V_I4(&question.Get()) = 720;
  UniqueVariant result;
  const HRESULT hr =
      Call(L"InitQuestion", DISPATCH_METHOD,
           {Reference(question.Get()), Text(folder), Reference(application.Get()), Reference(handle.Get())},
           result);
  ASSERT_EQ(hr, DISP_E_EXCEPTION);
  EXPECT_EQ(exception_.scode, kCannotCreate);
  EXPECT_EQ(std::wstring(source_.Get(), source_.Length()), kGetApplicationSource);
  EXPECT_EQ(FromBstr(description_.Get()), "ActiveX component can't create object");
  EXPECT_EQ(V_VT(&application.Get()), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&application.Get()), nullptr);
  // GetApplication failed before it could set the handle: it keeps its value.
  EXPECT_EQ(V_VT(&handle.Get()), VT_I4);
  EXPECT_EQ(V_I4(&handle.Get()), 7);
}

TEST_F(ComClientTest, InitQuestionFailureThroughTheVtableSetsErrorInfo) {
  const ComPtr<AbstractModule> typed = module_.As<AbstractModule>();
  const Bstr folder = ToBstr("C:\\r58267\\");
  IDispatch* application = nullptr;
  LONG handle = 0;
  ASSERT_EQ(typed->InitQuestion(720, folder.Get(), &application, &handle, nullptr), kCannotCreate);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Put()), S_OK);
  Bstr source;
  ASSERT_EQ(info->GetSource(source.Put()), S_OK);
  EXPECT_EQ(std::wstring(source.Get(), source.Length()), kGetApplicationSource);
  EXPECT_EQ(application, nullptr);
}

TEST_F(ComClientTest, MembersThatNeedAnExerciseFailWith91) {
  UniqueVariant result;
  for (const wchar_t* member : {L"CauseErreur", L"BravoNuance", L"Complement"}) {
    EXPECT_EQ(Call(member, DISPATCH_PROPERTYGET, {}, result), DISP_E_EXCEPTION) << Utf8(member);
    EXPECT_EQ(exception_.scode, kObjectNotSet) << Utf8(member);
  }
  auto* unknown = const_cast<LPOLESTR>(L"Corrige");
  DISPID id = 0;
  EXPECT_EQ(module_->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
}

// Careless and hostile calls through IDispatch: each gets an HRESULT, and
// nothing is read through a missing pointer.
TEST_F(ComClientTest, HostileInvocationsGetAnHResult) {
  const DISPID init = Id(L"InitQuestion");
  VARIANT one;
  VariantInit(&one);
  DISPID named = 0;
  struct Case {
    const char* name;
    DISPPARAMS params;
    REFIID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"arguments without their array", {nullptr, nullptr, 1, 0}, IID_NULL, E_INVALIDARG},
      {"named arguments without their names", {&one, nullptr, 1, 1}, IID_NULL, E_INVALIDARG},
      {"more names than arguments", {&one, &named, 1, 2}, IID_NULL, E_INVALIDARG},
      {"an interface identifier", {nullptr, nullptr, 0, 0}, IID_IDispatch, DISP_E_UNKNOWNINTERFACE},
  };
  for (const Case& c : cases) {
    DISPPARAMS params = c.params;
    UniqueVariant result;
    EXPECT_EQ(module_->Invoke(init, c.iid, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Put(),
                              nullptr, nullptr),
              c.expected)
        << c.name;
  }
  EXPECT_EQ(module_->Invoke(init, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                            nullptr),
            E_INVALIDARG);
  auto* text = const_cast<LPOLESTR>(L"InitQuestion");
  DISPID id = 0;
  EXPECT_EQ(module_->GetIDsOfNames(IID_IDispatch, &text, 1, LOCALE_USER_DEFAULT, &id),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(module_->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, nullptr), E_POINTER);

  // Wrong counts, an array for a text, a huge text: each an HRESULT.
  UniqueVariant result;
  for (const HRESULT hr : {Call(L"InitQuestion", DISPATCH_METHOD, {}, result),
                           Call(L"TestePoint", DISPATCH_METHOD, {one, one}, result)}) {
    EXPECT_TRUE(hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND) << std::hex << hr;
  }
  const SafeArray array = SafeArray::Attach(SafeArrayCreateVector(VT_VARIANT, 0, 2));
  VARIANT arrayArgument;
  VariantInit(&arrayArgument);
  V_VT(&arrayArgument) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&arrayArgument) = array.Get();
  const VARIANT question = Long(705);
  VARIANT application;
  VariantInit(&application);
  VARIANT handle;
  VariantInit(&handle);
  EXPECT_EQ(Call(L"InitQuestion", DISPATCH_METHOD,
                 {question, arrayArgument, Reference(application), Reference(handle), Text(Bstr())}, result),
            DISP_E_TYPEMISMATCH);
  const Bstr huge = ToBstr(std::string(1 << 20, 'x'));
  EXPECT_EQ(Call(L"InitQuestion", DISPATCH_METHOD,
                 {question, Text(huge), Reference(application), Reference(handle), Text(huge)}, result),
            DISP_E_EXCEPTION);
}

// Every member of the module's interface, as its type information lists
// it, called with malformed DISPPARAMS and with every argument an array or
// a reference to an array: each call answers a failure, and a result asked
// for stays empty.
TEST_F(ComClientTest, EveryMemberRefusesMalformedCalls) {
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(module_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  const WORD functions = attributes->cFuncs;
  info->ReleaseTypeAttr(attributes);
  const SafeArray array = SafeArray::Attach(SafeArrayCreateVector(VT_VARIANT, 0, 2));
  SAFEARRAY* arrayPointer = array.Get();
  int members = 0;
  for (UINT index = 0; index < functions; ++index) {
    FUNCDESC* function = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
    const DISPID id = function->memid;
    const auto flags = static_cast<WORD>(function->invkind);
    const UINT parameters = static_cast<UINT>(function->cParams);
    info->ReleaseFuncDesc(function);
    if (id >= 0x60000000 && id < 0x60020000) continue;  // IUnknown's and IDispatch's own
    ++members;
    std::vector<VARIANT> arrays(parameters + 1);
    std::vector<VARIANT> references(parameters + 1);
    for (UINT k = 0; k <= parameters; ++k) {
      VariantInit(&arrays[k]);
      V_VT(&arrays[k]) = VT_ARRAY | VT_VARIANT;
      V_ARRAY(&arrays[k]) = arrayPointer;
      VariantInit(&references[k]);
      V_VT(&references[k]) = VT_BYREF | VT_ARRAY | VT_VARIANT;
      V_ARRAYREF(&references[k]) = &arrayPointer;
    }
    DISPID named = 0;
    struct Case {
      const char* what;
      DISPPARAMS params;
      bool arrays;  // a well-formed call that only fails when there are arguments
    };
    const Case cases[] = {
        {"arguments without their array", {nullptr, nullptr, parameters + 1, 0}, false},
        {"a name without its argument", {arrays.data(), &named, 0, 1}, false},
        {"named arguments without their names", {arrays.data(), nullptr, parameters + 1, 1}, false},
        {"one argument too many", {arrays.data(), nullptr, parameters + 1, 0}, false},
        {"arrays", {arrays.data(), nullptr, parameters, 0}, true},
        {"references to arrays", {references.data(), nullptr, parameters, 0}, true},
    };
    for (const Case& c : cases) {
      if (c.arrays && parameters == 0) continue;
      DISPPARAMS params = c.params;
      UniqueVariant result;
      EXCEPINFO exception{};
      const HRESULT hr = module_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Put(),
                                         &exception, nullptr);
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
      EXPECT_TRUE(FAILED(hr)) << "member " << id << ", " << c.what;
      EXPECT_EQ(V_VT(&result.Get()), VT_EMPTY) << "member " << id << ", " << c.what;
    }
  }
  EXPECT_EQ(members, 8);  // InitQuestion, TestePoint, Fermer, Quitter and the four properties
}

// The host's window handle, passed by reference in any numeric form: read,
// written back in that form, and too big a value is an overflow (6), not a
// type mismatch.
TEST_F(ComClientTest, HandleByReferenceInEveryFormIsWrittenBack) {
  struct Case {
    VARTYPE type;
    double value;
    HRESULT expected;
  };
  // A call that runs fails with 429 (no Excel here), reported in EXCEPINFO.
  constexpr HRESULT kRan = DISP_E_EXCEPTION;
  for (const Case& c :
       {Case{VT_I2, 7, kRan}, Case{VT_I4, 7, kRan}, Case{VT_R4, 7, kRan}, Case{VT_R8, 7, kRan},
        Case{VT_UI1, 7, kRan}, Case{VT_UI2, 7, kRan}, Case{VT_UI4, 7, kRan}, Case{VT_I8, 7, kRan},
        Case{VT_CY, 7, kRan}, Case{VT_DATE, 7, kRan}, Case{VT_DECIMAL, 7, kRan}, Case{VT_BSTR, 7, kRan},
        Case{VT_R8, 1e12, DISP_E_OVERFLOW}}) {
    UniqueVariant variable;
    UniqueVariant number;
    V_VT(number.Put()) = VT_R8;
    V_R8(&number.Get()) = c.value;
    ASSERT_EQ(VariantChangeType(variable.Put(), &number.Get(), 0, c.type), S_OK) << c.type;
    // The variable's storage, by reference in its own type.
    VARIANT reference;
    VariantInit(&reference);
    V_VT(&reference) = static_cast<VARTYPE>(VT_BYREF | c.type);
    V_BYREF(&reference) = &V_I8(&variable.Get());
    if (c.type == VT_DECIMAL) V_BYREF(&reference) = &V_DECIMAL(&variable.Get());
    const VARIANT question = Long(720);
    VARIANT application;
    VariantInit(&application);
    UniqueVariant result;
    const Bstr folder = ToBstr("C:\\r58267\\");
    EXPECT_EQ(Call(L"InitQuestion", DISPATCH_METHOD,
                   {question, Text(folder), Reference(application), reference, Text(Bstr())}, result),
              c.expected)
        << c.type;
    UniqueVariant back;
    ASSERT_EQ(VariantChangeType(back.Put(), &variable.Get(), 0, VT_R8), S_OK) << c.type;
    EXPECT_EQ(V_R8(&back.Get()), c.value) << c.type;
  }
}

// A member that fails leaves every [out] set (empty), whatever it held.
TEST_F(ComClientTest, FailingMembersSetTheirOutResults) {
  const ComPtr<AbstractModule> typed = module_.As<AbstractModule>();
  auto* const garbage = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x5A5A5A5A));
  BSTR cause = garbage;
  EXPECT_EQ(typed->get_CauseErreur(&cause), kObjectNotSet);
  EXPECT_EQ(cause, nullptr);
  VARIANT_BOOL bravo = 0x5A5A;
  EXPECT_EQ(typed->get_BravoNuance(&bravo), kObjectNotSet);
  EXPECT_EQ(bravo, VARIANT_FALSE);
  auto* complement = reinterpret_cast<ComplementInfo*>(static_cast<INT_PTR>(0x5A5A5A5A));
  EXPECT_EQ(typed->get_Complement(&complement), kObjectNotSet);
  EXPECT_EQ(complement, nullptr);
  EXPECT_EQ(typed->get_CauseErreur(nullptr), E_POINTER);
}

// The DLL unloaded when unused and loaded again works as the first time:
// nothing of the first load (a thread-local slot, the run-time's state) is
// left behind; the failing InitQuestion runs the run-time's exception
// handling, which keeps per-thread data.
TEST(ComUnloadTest, UnloadedAndLoadedAgainTheModuleStillWorks) {
  ComApartment apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.Result()));
  for (int load = 1; load <= 3; ++load) {
    {
      ComPtr<AbstractModule> module;
      ASSERT_EQ(CoCreateInstance(CLSID_Module, nullptr, CLSCTX_INPROC_SERVER, __uuidof(AbstractModule),
                                 reinterpret_cast<void**>(module.Put())),
                S_OK)
          << load;
      const Bstr folder = ToBstr("C:\\r58267\\");
      IDispatch* application = nullptr;
      LONG handle = 0;
      EXPECT_EQ(module->InitQuestion(720, folder.Get(), &application, &handle, nullptr), kCannotCreate)
          << load;
    }
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleW(L"R58267.dll"), nullptr) << "still loaded after " << load;
  }
}

// The object names its class, as VB's TypeName reads it.
TEST_F(ComClientTest, NamesItsClassModule) {
  const ComPtr<IProvideClassInfo> provider = module_.As<IProvideClassInfo>();
  ASSERT_TRUE(provider);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(provider->GetClassInfo(info.Put()), S_OK);
  Bstr name;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::wstring(name.Get(), name.Length()), L"Module");
  EXPECT_EQ(provider->GetClassInfo(nullptr), E_POINTER);
}

// The reference counts balance: the last Release frees the object and the
// DLL may then unload.
TEST(ComLifetimeTest, ReferenceCountsReturnToZero) {
  ComApartment apartment;
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(CoCreateInstance(CLSID_Module, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(unknown.Put())),
            S_OK);
  HMODULE dll = GetModuleHandleW(L"R58267.dll");
  ASSERT_NE(dll, nullptr);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  const auto canUnloadNow =
      reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  ASSERT_NE(canUnloadNow, nullptr);
  {
    const ComPtr<AbstractModule> typed = unknown.As<AbstractModule>();
    const ComPtr<IDispatch> dispatch = unknown.As<IDispatch>();
    const ComPtr<ISupportErrorInfo> errors = unknown.As<ISupportErrorInfo>();
    ASSERT_TRUE(typed && dispatch && errors);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(unknown.Detach()->Release(), 0u);
  EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace win
