# UNO types that only the tests use (the workbook writer and its test);
# office/CMakeLists.txt adds them to the headers it generates.
set(R58267_UNO_TEST_TYPES
  com.sun.star.drawing.XDrawPage
  com.sun.star.drawing.XDrawPages
  com.sun.star.drawing.XDrawPagesSupplier
  com.sun.star.sheet.TableOperationMode
  com.sun.star.sheet.XCalculatable
  com.sun.star.util.MalformedNumberFormatException)
