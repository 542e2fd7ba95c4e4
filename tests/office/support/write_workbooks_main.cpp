// r58267_write_workbooks FOLDER FORMAT DOCUMENT...: each workbook document
// written by LibreOffice as a real workbook (FORMAT xls, xlsx or ods) in
// FOLDER, named after the document's folder and file ("705-solved.xlsx"),
// in one LibreOffice session. For benchmarks and by hand; the tests write
// theirs themselves.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "office/office.h"
#include "tests/office/support/workbook_writer.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 4) {
    std::fprintf(stderr, "usage: r58267_write_workbooks FOLDER xls|xlsx|ods DOCUMENT...\n");
    return 64;
  }
  const fs::path folder = argv[1];
  const std::string extension = argv[2];
  test_support::WorkbookFormat format = test_support::WorkbookFormat::kXlsx;
  if (extension == "xls") {
    format = test_support::WorkbookFormat::kXls;
  } else if (extension == "ods") {
    format = test_support::WorkbookFormat::kOds;
  } else if (extension != "xlsx") {
    std::fprintf(stderr, "r58267_write_workbooks: unknown format '%s'\n", extension.c_str());
    return 64;
  }
  int status = 0;
  try {
    fs::create_directories(folder);
    const office::Office office;
    for (int i = 3; i < argc; ++i) {
      const fs::path document = argv[i];
      const fs::path out =
          folder / (document.parent_path().filename().string() + "-" + document.stem().string() + "." + extension);
      try {
        std::ifstream in(document);
        test_support::WriteWorkbook(office, nlohmann::json::parse(in), out, format);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "r58267_write_workbooks: %s: %s\n", document.string().c_str(), error.what());
        status = 1;
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "r58267_write_workbooks: %s\n", error.what());
    return 2;
  }
  return status;
}
