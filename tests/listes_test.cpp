#include "framework/listes.h"

#include <gtest/gtest.h>

namespace r58267 {
namespace {

long ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error.number;
  }
  return 0;
}

TEST(FichiersDeTravailTest, NewListIsEmptyAndHasNoElementZero) {
  const FichiersDeTravail list;
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.Item(1); }), vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.Item(0); }), vb::kSubscriptOutOfRange);
}

TEST(FichiersDeTravailTest, KeepsEntriesInOrderFromIndexOne) {
  FichiersDeTravail list;
  list.add("05826717.xls", "Banque Azur.xls", false);
  list.add("15826717.xls", "Banque Soledad.xls", false);
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.Item(1).NomDest, "Banque Azur.xls");
  EXPECT_EQ(list.Item(2).NomSource, "15826717.xls");
  EXPECT_EQ(list.Item(0), Fichier{});
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.Item(3); }), vb::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.Item(-1); }), vb::kSubscriptOutOfRange);
}

TEST(FichiersDeTravailTest, DuplicatesAreKeptAndItemIsACopy) {
  FichiersDeTravail list;
  list.add("a.xls", "b.xls", true);
  list.add("a.xls", "b.xls", true);
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.Item(1), list.Item(2));
  EXPECT_TRUE(list.Item(1).Modele);

  Fichier copy = list.Item(1);
  copy.NomDest = "changed.xls";
  EXPECT_EQ(list.Item(1).NomDest, "b.xls");
}

TEST(ComplementInfoTest, NewListIsEmpty) {
  const ComplementInfo info;
  EXPECT_EQ(info.count(), 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)info.item(1); }), vb::kSubscriptOutOfRange);
}

TEST(ComplementInfoTest, LinesAtOneToCountAndEmptyLineZero) {
  ComplementInfo info;
  info.add("première ligne");
  info.add("seconde ligne", vb::Variant(3L));
  EXPECT_EQ(info.count(), 2);
  EXPECT_EQ(info.item(1), "première ligne");
  EXPECT_EQ(info.item(2), "seconde ligne");
  EXPECT_EQ(info.item(0), "");
  EXPECT_EQ(ErrorNumberOf([&] { (void)info.item(3); }), vb::kSubscriptOutOfRange);
}

}  // namespace
}  // namespace r58267
