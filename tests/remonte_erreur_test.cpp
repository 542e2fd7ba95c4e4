#include "framework/remonte_erreur.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace r58267 {
namespace {

vb::Error Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const vb::Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error raised";
  return {0, "", ""};
}

TEST(RemonteErreurTest, ComposesSourceWithLineFeedBeforeCarriageReturn) {
  const vb::Error error =
      Caught([] { RemonteErreur("Question0712", "Prepare", vb::Error(1004, "Open failed", "Excel")); });
  EXPECT_EQ(error.number, 1004);
  EXPECT_EQ(error.description, "Open failed");
  EXPECT_EQ(error.source,
            std::string("DLL R58267 - CLASSE Question0712\x0A\x0D - SERVICE Prepare - OBJET Excel"));
}

TEST(RemonteErreurTest, EmptyObjectTextKeepsTheFinalSpace) {
  const vb::Error error =
      Caught([] { RemonteErreur("Module", "ChangeDir", vb::Error(75, "Path/File access error", "")); });
  EXPECT_EQ(error.source, "DLL R58267 - CLASSE Module\n\r - SERVICE ChangeDir - OBJET ");
}

TEST(RemonteErreurTest, NestedTwiceNamesOutermostLevelFirst) {
  const vb::Error inner =
      Caught([] { RemonteErreur("Question0705", "Prepare", vb::Error(53, "File not found", "S")); });
  const vb::Error middle = Caught([&] { RemonteErreur("Module", "InitQuestion", inner); });
  const vb::Error outer = Caught([&] { RemonteErreur("Module", "Quitter", middle); });
  EXPECT_EQ(outer.number, 53);
  EXPECT_EQ(outer.description, "File not found");
  EXPECT_EQ(outer.source,
            "DLL R58267 - CLASSE Module\n\r - SERVICE Quitter - OBJET "
            "DLL R58267 - CLASSE Module\n\r - SERVICE InitQuestion - OBJET "
            "DLL R58267 - CLASSE Question0705\n\r - SERVICE Prepare - OBJET S");
}

TEST(ErreurEnCoursTest, TurnsAnyExceptionIntoAnError) {
  const auto from = [](const std::function<void()>& thrower) {
    try {
      thrower();
    } catch (...) {
      return ErreurEnCours();
    }
    return vb::Error(0, "", "");
  };
  EXPECT_EQ(from([] { throw vb::Error(9, "Subscript out of range", "X"); }).source, "X");
  EXPECT_EQ(from([] { throw std::bad_alloc(); }).number, vb::kOutOfMemory);
  const vb::Error other = from([] { throw std::logic_error("broken"); });
  EXPECT_EQ(other.number, 51);
  EXPECT_NE(other.description.find("broken"), std::string::npos);
}

}  // namespace
}  // namespace r58267
