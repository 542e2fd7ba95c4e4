#include "win/text.h"

#include <gtest/gtest.h>

namespace win {
namespace {

TEST(TextTest, Utf8AndBstrRoundTripAccentedAndAstralText) {
  for (const std::string text : {"", "Thor International.xls", "ORVA Modèles\\", "Résultats €", "𝄞 clef"}) {
    const Bstr bstr = ToBstr(text);
    EXPECT_EQ(FromBstr(bstr.Get()), text);
    EXPECT_EQ(Utf8(Wide(text)), text);
  }
  EXPECT_EQ(Wide("é"), L"\u00e9");
  EXPECT_EQ(ToBstr("Modèles").Length(), 7u);
}

TEST(TextTest, NullBstrIsTheEmptyText) { EXPECT_EQ(FromBstr(nullptr), ""); }

}  // namespace
}  // namespace win
