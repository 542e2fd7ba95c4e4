#include "questions/question0705.h"

#include <array>
#include <string>

namespace r58267 {

namespace {

constexpr const char* kClasseur = "Thor International.xls";
constexpr const char* kFeuille = "Trimestre 1";

// The first argument of both functions: the city column, by address or by
// its name.
bool EstPlageDesVilles(const std::string& argument) {
  return argument == "b33:b77" || argument == vb::LCase("Villes");
}

// The criterion: a cell of column B that holds Liverpool, or the name as a
// text constant. Every comparison is made, as the check always did.
bool EstCritere(const std::string& argument) {
  static const std::array<std::string, 9> kCriteres = {"b76", "b75", "b74", "b73",          "b62",
                                                       "b47", "b44", "b43", "\"liverpool\""};
  bool trouve = false;
  for (const auto& critere : kCriteres) trouve = (argument == critere) || trouve;
  return trouve;
}

// The sum range, compared by its beginning only.
bool EstPlageDesResultats(const std::string& formule, long debut) {
  return vb::Mid(formule, debut, 3) == "d33" || vb::Mid(formule, debut, 9) == vb::LCase("Résultats");
}

std::string Normalise(const std::string& formule) { return vb::LCase(NormaliseFormule(formule)); }

}  // namespace

const Fiche& Question0705::Causes() {
  static const Fiche fiche{
      705,
      "Count the rows of Liverpool in B81 with COUNTIF and sum their results in B82 with SUMIF.",
      {
          {"B", "B81 is empty."},
          {"C", "B81 does not hold a COUNTIF formula."},
          {"D", "The range of the COUNTIF in B81 is not the city column B33:B77 (or the name Villes)."},
          {"E",
           "The criterion of the COUNTIF in B81 is neither \"Liverpool\" nor a cell of column B that holds "
           "it."},
          {"F", "B82 is empty."},
          {"G", "B82 does not hold a SUMIF formula."},
          {"H", "The range of the SUMIF in B82 is not the city column B33:B77 (or the name Villes)."},
          {"I", "The criterion of the SUMIF in B82 is not Liverpool, or the SUMIF has no sum range."},
          {"J", "The sum range of the SUMIF in B82 does not start at D33 (or is not the name Résultats)."},
      }};
  return fiche;
}

Question0705::Question0705() : Question("Question0705", kClasseur) { Enregistre("05826705.xls", kClasseur); }

void Question0705::Teste() {
  ActiveFeuille(*Excel().Workbooks()->Item(kClasseur), kFeuille);

  const std::string b81 =
      Excel().Workbooks()->Item(kClasseur)->Sheets()->Item(kFeuille)->Range("B81")->Formula();
  if (b81.empty()) return Echec("B");  // B: nothing in B81
  const std::string f = Normalise(b81);
  if (vb::Left(f, 8) != "=countif") return Echec("C");  // C: B81 is not a COUNTIF

  long s = 0;
  // D: the first argument of COUNTIF is not the city column.
  if (!Etape("D", [&] {
        s = vb::InStr(f, ";");
        const long p = vb::InStr(f, "(");
        return EstPlageDesVilles(vb::Mid(f, p + 1, s - p - 1));
      })) {
    return;
  }
  // E: the criterion of COUNTIF is not Liverpool.
  if (!Etape("E", [&] {
        const long q = vb::InStr(f, ")");
        return EstCritere(vb::Mid(f, s + 1, q - s - 1));
      })) {
    return;
  }

  // B82 of the active sheet, which is now "Trimestre 1".
  const std::string b82 = Excel().Range("B82")->Formula();
  if (b82.empty()) return Echec("F");  // F: nothing in B82
  const std::string g = Normalise(b82);
  if (vb::Left(g, 6) != "=sumif") return Echec("G");  // G: B82 is not a SUMIF

  // H: the first argument of SUMIF is not the city column.
  if (!Etape("H", [&] {
        s = vb::InStr(g, ";");
        const long p = vb::InStr(g, "(");
        return EstPlageDesVilles(vb::Mid(g, p + 1, s - p - 1));
      })) {
    return;
  }
  long t = 0;
  // I: the criterion of SUMIF is not Liverpool (or there is no third
  // argument: the length goes negative).
  if (!Etape("I", [&] {
        t = vb::InStr(s + 1, g, ";");
        return EstCritere(vb::Mid(g, s + 1, t - s - 1));
      })) {
    return;
  }
  // J: the sum range does not start at D33 or with the name "Résultats".
  Etape("J", [&] { return EstPlageDesResultats(g, t + 1); });
}

}  // namespace r58267
