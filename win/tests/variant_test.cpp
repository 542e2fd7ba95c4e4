#include "win/variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "win/tests/fake_dispatch.h"

namespace win {
namespace {

using testing::Describe;
using testing::ErrorOf;
using testing::FakeDispatch;

// A SAFEARRAY of `type` holding `values` from index `lower`.
template <class T>
SafeArray Vector(VARTYPE type, LONG lower, std::vector<T> values) {
  SafeArray array = SafeArray::Attach(SafeArrayCreateVector(type, lower, static_cast<ULONG>(values.size())));
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    LONG index = lower + i;
    T& value = values[static_cast<std::size_t>(i)];
    // Interface pointers and BSTRs go without indirection.
    if constexpr (std::is_pointer_v<T>) {
      EXPECT_EQ(SafeArrayPutElement(array.Get(), &index, value), S_OK);
    } else {
      EXPECT_EQ(SafeArrayPutElement(array.Get(), &index, &value), S_OK);
    }
  }
  return array;
}

// A VARIANT of `type` whose value field holds `value` (the fields of its
// union share one address).
template <class T>
UniqueVariant Of(VARTYPE type, T value) {
  UniqueVariant result;
  std::memcpy(&V_UI1(&result.Get()), &value, sizeof value);
  V_VT(&result.Get()) = type;
  return result;
}

TEST(FromVariantTest, EveryKind) {
  struct Case {
    const char* name;
    std::function<UniqueVariant()> make;
    std::string expected;
  };
  LONG byRefLong = 42;
  const UniqueVariant inner = Of<BSTR>(VT_BSTR, ToBstr("Trimestre 1").Detach());
  const std::vector<Case> cases{
      {"EMPTY", [] { return UniqueVariant(); }, "Empty"},
      {"NULL", [] { return Of<LONG>(VT_NULL, 0); }, "Null"},
      {"I1", [] { return Of<CHAR>(VT_I1, -5); }, "Long -5"},
      {"I2", [] { return Of<SHORT>(VT_I2, -32768); }, "Long -32768"},
      {"I4", [] { return Of<LONG>(VT_I4, -4146); }, "Long -4146"},
      {"INT", [] { return Of<INT>(VT_INT, 2147483647); }, "Long 2147483647"},
      {"UI1", [] { return Of<BYTE>(VT_UI1, 255); }, "Long 255"},
      {"UI2", [] { return Of<USHORT>(VT_UI2, 65535); }, "Long 65535"},
      {"UI4 in range", [] { return Of<ULONG>(VT_UI4, 2147483647u); }, "Long 2147483647"},
      {"UI4 beyond Long", [] { return Of<ULONG>(VT_UI4, 4000000000u); }, "Double 4000000000"},
      {"UINT beyond Long", [] { return Of<UINT>(VT_UINT, 2147483648u); }, "Double 2147483648"},
      {"R4", [] { return Of<FLOAT>(VT_R4, 0.5f); }, "Double 0.5"},
      {"R8", [] { return Of<DOUBLE>(VT_R8, 122.85); }, "Double 122.85"},
      {"CY", [] { return Of<LONGLONG>(VT_CY, 12345); }, "Double 1.2345"},
      {"DECIMAL",
       [] {
         UniqueVariant result;
         VarDecFromR8(0.08, &V_DECIMAL(&result.Get()));
         V_VT(&result.Get()) = VT_DECIMAL;
         return result;
       },
       "Double 0.08"},
      {"DATE", [] { return Of<DATE>(VT_DATE, 37257.5); }, "Date 37257.5"},
      {"BSTR", [] { return Of<BSTR>(VT_BSTR, ToBstr("Résultats €").Detach()); }, "String Résultats €"},
      {"null BSTR", [] { return Of<BSTR>(VT_BSTR, nullptr); }, "String "},
      {"BOOL true", [] { return Of<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE); }, "Boolean True"},
      {"BOOL false", [] { return Of<VARIANT_BOOL>(VT_BOOL, VARIANT_FALSE); }, "Boolean False"},
      {"ERROR #N/A", [] { return Of<SCODE>(VT_ERROR, static_cast<SCODE>(0x800A07FA)); }, "Error 2042"},
      {"ERROR #DIV/0!", [] { return Of<SCODE>(VT_ERROR, static_cast<SCODE>(0x800A07D7)); }, "Error 2007"},
      {"missing argument", [] { return Of<SCODE>(VT_ERROR, DISP_E_PARAMNOTFOUND); }, "Missing"},
      {"null DISPATCH", [] { return Of<IDispatch*>(VT_DISPATCH, nullptr); }, "Nothing"},
      {"BYREF I4", [&] { return Of<LONG*>(VT_BYREF | VT_I4, &byRefLong); }, "Long 42"},
      {"BYREF VARIANT", [&] { return Of<const VARIANT*>(VT_BYREF | VT_VARIANT, &inner.Get()); },
       "String Trimestre 1"},
      {"ARRAY of VARIANT from 1",
       [] {
         return ToVariant(vb::Variant::Array({"'Semestre 1'!$A$2:$B$5", 0.08}));
       },
       "Array(1) {String 'Semestre 1'!$A$2:$B$5, Double 0.08}"},
      {"ARRAY of BOOL from 1",
       [] {
         return Of<SAFEARRAY*>(
             VT_ARRAY | VT_BOOL,
             Vector<VARIANT_BOOL>(VT_BOOL, 1, {VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE}).Detach());
       },
       "Array(1) {Boolean True, Boolean False, Boolean True}"},
      {"ARRAY of BSTR from 0",
       [] {
         const Bstr text = ToBstr("Mois");
         return Of<SAFEARRAY*>(VT_ARRAY | VT_BSTR, Vector<BSTR>(VT_BSTR, 0, {text.Get()}).Detach());
       },
       "Array(0) {String Mois}"},
      {"empty ARRAY",
       [] { return Of<SAFEARRAY*>(VT_ARRAY | VT_VARIANT, Vector<VARIANT>(VT_VARIANT, 1, {}).Detach()); },
       "Array(1) {}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const UniqueVariant value = c.make();
    EXPECT_EQ(Describe(FromVariant(value.Get())), c.expected);
  }
}

TEST(FromVariantTest, BlockOfCellsIsATypeMismatch) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 1}};
  const UniqueVariant block = Of<SAFEARRAY*>(VT_ARRAY | VT_VARIANT, SafeArrayCreate(VT_VARIANT, 2, bounds));
  EXPECT_EQ(ErrorOf([&] { FromVariant(block.Get()); }), vb::kTypeMismatch);
}

TEST(ToVariantTest, EveryKindAndBack) {
  struct Case {
    vb::Variant value;
    VARTYPE type;
  };
  const std::vector<Case> cases{
      {{}, VT_EMPTY},
      {vb::Variant::Null(), VT_NULL},
      {-4137L, VT_I4},
      {0.08, VT_R8},
      {vb::Variant::Date(37257), VT_DATE},
      {"Bouton d'option 1 — Modèles", VT_BSTR},
      {true, VT_BOOL},
      {false, VT_BOOL},
      {vb::Variant::ErrorValue(2042), VT_ERROR},
      {MissingArgument(), VT_ERROR},
      {vb::Variant::Array({0.08, "Banque A", vb::Variant::Array({true}, 0)}, 1), VT_ARRAY | VT_VARIANT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.value));
    const UniqueVariant converted = ToVariant(c.value);
    EXPECT_EQ(V_VT(&converted.Get()), c.type);
    EXPECT_EQ(Describe(FromVariant(converted.Get())), Describe(c.value));
  }
  EXPECT_EQ(V_BOOL(&ToVariant(true).Get()), VARIANT_TRUE);
  EXPECT_EQ(V_ERROR(&ToVariant(vb::Variant::ErrorValue(2042)).Get()), static_cast<SCODE>(0x800A07FA));
  EXPECT_EQ(V_ERROR(&ToVariant(MissingArgument()).Get()), DISP_E_PARAMNOTFOUND);
}

TEST(ObjectVariantTest, AnAutomationObjectKeepsItsIdentityBothWays) {
  const auto fake = FakeDispatch::Make(std::make_shared<testing::CallLog>());
  for (const VARTYPE type : {VT_DISPATCH, VT_UNKNOWN}) {
    SCOPED_TRACE(type);
    UniqueVariant value;
    V_VT(&value.Get()) = type;
    V_DISPATCH(&value.Get()) = ComPtr<IDispatch>(fake.Get()).Detach();
    const vb::Variant first = FromVariant(value.Get());
    const vb::Variant second = FromVariant(value.Get());
    EXPECT_EQ(first.AsObject(), second.AsObject());
    const UniqueVariant back = ToVariant(first);
    EXPECT_EQ(V_VT(&back.Get()), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&back.Get()), fake.Get());
  }
}

TEST(ObjectVariantTest, AnObjectOfAnotherBindingIsATypeMismatch) {
  struct Plain : vb::Object {};
  EXPECT_EQ(ErrorOf([] { ToVariant(vb::Variant::Object(std::make_shared<Plain>())); }), vb::kTypeMismatch);
  EXPECT_EQ(V_DISPATCH(&ToVariant(vb::Variant::Object(nullptr)).Get()), nullptr);
}

}  // namespace
}  // namespace win
