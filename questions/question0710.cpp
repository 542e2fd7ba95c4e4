#include "questions/question0710.h"

#include <string>

#include "framework/excel.h"

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";
constexpr long kFeuille = 5;  // taken by position, not by name
constexpr long kOptions = 3;  // top row, left column, links to the source data

// Either source may come first.
bool EstSourceAttendue(const vb::Variant& source) {
  return vb::Equals(source, "'Semestre 1'!$A$2:$B$5") || vb::Equals(source, "'Semestre 2'!$A$2:$B$5");
}

}  // namespace

const Fiche& Question0710::Causes() {
  static const Fiche fiche{
      710,
      "Consolidate 'Semestre 1'!$A$2:$B$5 and 'Semestre 2'!$A$2:$B$5 on the fifth sheet with the sum, the "
      "top-row and left-column labels and links to the source data.",
      {
          {"B", "The fifth sheet holds no consolidation, or the consolidation has a single source."},
          {"C", "A source of the consolidation is not A2:B5 of 'Semestre 1' or of 'Semestre 2'."},
          {"D", "The consolidation does not use the sum function."},
          {"E",
           "The consolidation does not use the top-row labels, the left-column labels and the links to the "
           "source data, all three."},
      }};
  return fiche;
}

Question0710::Question0710() : Question("Question0710", kClasseur) { Enregistre("05826710.xls", kClasseur); }

void Question0710::Teste() {
  ActiveFeuille(*Excel().Workbooks()->Item(kClasseur), kFeuille);

  // The fifth sheet of the active workbook, the one just activated.
  const auto feuille = Excel().Sheets()->Item(kFeuille);
  const vb::Variant sources = feuille->ConsolidationSources();
  if (sources.IsEmpty()) return Echec("B");               // B: no consolidation on the sheet
  if (!EstSourceAttendue(sources(1))) return Echec("C");  // C: the first source is wrong

  // From here on, any error gives "B": a single source has no second one.
  std::string cause;
  const bool lu = Etape("B", [&] {
    if (!EstSourceAttendue(sources(2))) {
      cause = "C";  // C: the second source is wrong
      return true;
    }
    if (vb::CDbl(vb::CStr(vb::Variant(feuille->ConsolidationFunction()))) != excel::xlSum) {
      cause = "D";  // D: not the sum function
      return true;
    }
    const vb::Variant options = feuille->ConsolidationOptions();
    for (long k = 1; k <= kOptions; ++k) {
      if (!vb::Equals(options(k), true)) {
        cause = "E";  // E: an option is not set
        break;
      }
    }
    return true;
  });
  if (lu && !cause.empty()) Echec(cause);
}

}  // namespace r58267
