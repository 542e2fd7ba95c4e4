#include "win/variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win/tests/fake_dispatch.h"

namespace win {
namespace {

using testing::Describe;
using testing::ErrorOf;

// A VARIANT of `type` whose value field holds `value` (the fields of its
// union share one address).
template <class T>
UniqueVariant Of(VARTYPE type, T value) {
  UniqueVariant result;
  std::memcpy(&V_UI1(&result.Get()), &value, sizeof value);
  V_VT(&result.Get()) = type;
  return result;
}

// A typed one-dimensional SAFEARRAY from index `lower`.
template <class T>
SAFEARRAY* Vector(VARTYPE type, LONG lower, std::vector<T> values) {
  SafeArray array = SafeArray::Attach(SafeArrayCreateVector(type, lower, static_cast<ULONG>(values.size())));
  LONG index = lower;
  for (T& value : values) {
    EXPECT_EQ(SafeArrayPutElement(array.Get(), &index, &value), S_OK);
    ++index;
  }
  return array.Detach();
}

TEST(FromVariantTest, EveryKind) {
  LONG byRefLong = 42;
  const UniqueVariant inner = Of<BSTR>(VT_BSTR, ToBstr("Trimestre 1").Detach());
  const std::vector<std::pair<std::function<UniqueVariant()>, std::string>> cases{
      {[] { return UniqueVariant(); }, "Empty"},
      {[] { return Of<LONG>(VT_NULL, 0); }, "Null"},
      {[] { return Of<CHAR>(VT_I1, -5); }, "Long -5"},
      {[] { return Of<SHORT>(VT_I2, -32768); }, "Long -32768"},
      {[] { return Of<LONG>(VT_I4, -4146); }, "Long -4146"},
      {[] { return Of<USHORT>(VT_UI2, 65535); }, "Long 65535"},
      {[] { return Of<ULONG>(VT_UI4, 2147483647u); }, "Long 2147483647"},
      {[] { return Of<ULONG>(VT_UI4, 4000000000u); }, "Double 4000000000"},
      {[] { return Of<UINT>(VT_UINT, 2147483648u); }, "Double 2147483648"},
      {[] { return Of<FLOAT>(VT_R4, 0.5f); }, "Double 0.5"},
      {[] { return Of<DOUBLE>(VT_R8, 122.85); }, "Double 122.85"},
      {[] { return Of<LONGLONG>(VT_CY, 12345); }, "Double 1.2345"},
      {[] {
         UniqueVariant result;
         VarDecFromR8(0.08, &V_DECIMAL(&result.Get()));
         V_VT(&result.Get()) = VT_DECIMAL;
         return result;
       },
       "Double 0.08"},
      {[] { return Of<DATE>(VT_DATE, 37257.5); }, "Date 37257.5"},
      {[] { return Of<BSTR>(VT_BSTR, ToBstr("Résultats €").Detach()); }, "String Résultats €"},
      {[] { return Of<BSTR>(VT_BSTR, nullptr); }, "String "},
      {[] { return Of<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE); }, "Boolean True"},
      {[] { return Of<SCODE>(VT_ERROR, static_cast<SCODE>(0x800A07FA)); }, "Error 2042"},
      {[] { return Of<SCODE>(VT_ERROR, DISP_E_PARAMNOTFOUND); }, "Missing"},
      {[] { return Of<IDispatch*>(VT_DISPATCH, nullptr); }, "Nothing"},
      {[&] { return Of<LONG*>(VT_BYREF | VT_I4, &byRefLong); }, "Long 42"},
      {[&] { return Of<const VARIANT*>(VT_BYREF | VT_VARIANT, &inner.Get()); }, "String Trimestre 1"},
      {[] {
         return ToVariant(vb::Variant::Array({"'Semestre 1'!$A$2:$B$5", 0.08}));
       },
       "Array(1) {String 'Semestre 1'!$A$2:$B$5, Double 0.08}"},
      {[] {
         return Of(VT_ARRAY | VT_BOOL, Vector<VARIANT_BOOL>(VT_BOOL, 1, {VARIANT_TRUE, VARIANT_FALSE}));
       },
       "Array(1) {Boolean True, Boolean False}"},
      {[] { return Of(VT_ARRAY | VT_R8, Vector<double>(VT_R8, 0, {122.85})); }, "Array(0) {Double 122.85}"},
      {[] { return Of(VT_ARRAY | VT_VARIANT, Vector<VARIANT>(VT_VARIANT, 1, {})); }, "Array(1) {}"},
  };
  for (const auto& [make, expected] : cases) {
    const UniqueVariant value = make();
    EXPECT_EQ(Describe(FromVariant(value.Get())), expected);
  }
}

TEST(FromVariantTest, BlockOfCellsIsATypeMismatch) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 1}};
  const UniqueVariant block = Of(VT_ARRAY | VT_VARIANT, SafeArrayCreate(VT_VARIANT, 2, bounds));
  EXPECT_EQ(ErrorOf([&] { FromVariant(block.Get()); }), vb::kTypeMismatch);
}

TEST(ToVariantTest, EveryKindAndBack) {
  const std::vector<std::pair<vb::Variant, VARTYPE>> cases{
      {{}, VT_EMPTY},
      {vb::Variant::Null(), VT_NULL},
      {-4137L, VT_I4},
      {0.08, VT_R8},
      {vb::Variant::Date(37257), VT_DATE},
      {"Bouton d'option 1 — Modèles", VT_BSTR},
      {true, VT_BOOL},
      {vb::Variant::ErrorValue(2042), VT_ERROR},
      {MissingArgument(), VT_ERROR},
      {vb::Variant::Array({0.08, "Banque A", vb::Variant::Array({false}, 0)}, 1), VT_ARRAY | VT_VARIANT},
  };
  for (const auto& [value, type] : cases) {
    const UniqueVariant converted = ToVariant(value);
    EXPECT_EQ(V_VT(&converted.Get()), type) << Describe(value);
    EXPECT_EQ(Describe(FromVariant(converted.Get())), Describe(value));
  }
  EXPECT_EQ(V_BOOL(&ToVariant(true).Get()), VARIANT_TRUE);
  EXPECT_EQ(V_ERROR(&ToVariant(vb::Variant::ErrorValue(2042)).Get()), static_cast<SCODE>(0x800A07FA));
  EXPECT_EQ(V_ERROR(&ToVariant(MissingArgument()).Get()), DISP_E_PARAMNOTFOUND);
}

TEST(ObjectVariantTest, AnAutomationObjectKeepsItsIdentityBothWays) {
  const auto fake = testing::FakeDispatch::Make(std::make_shared<testing::CallLog>());
  for (const VARTYPE type : {VT_DISPATCH, VT_UNKNOWN}) {
    const UniqueVariant value = Of<IDispatch*>(type, ComPtr<IDispatch>(fake.Get()).Detach());
    const vb::Variant object = FromVariant(value.Get());
    EXPECT_EQ(object.AsObject(), FromVariant(value.Get()).AsObject());
    const UniqueVariant back = ToVariant(object);
    EXPECT_EQ(V_VT(&back.Get()), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&back.Get()), fake.Get());
  }
  struct Plain : vb::Object {};
  EXPECT_EQ(ErrorOf([] { ToVariant(vb::Variant::Object(std::make_shared<Plain>())); }), vb::kTypeMismatch);
}

}  // namespace
}  // namespace win
