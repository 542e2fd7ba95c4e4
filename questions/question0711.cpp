#include "questions/question0711.h"

#include <string>

namespace r58267 {

namespace {

constexpr long kPremiereLigne = 33;
constexpr long kDerniereLigne = 76;
constexpr long kColonnes = 5;  // A to E

// One cell of a record: "-" and its text, or "-" and its date as ddmmyy
// when the text reads as a date, whatever the cell's display format.
std::string Champ(const vb::Variant& valeur) {
  const std::string texte = vb::CStr(valeur);
  if (vb::IsDate(vb::Variant(texte))) return "-" + vb::Format(vb::Variant(texte), "ddmmyy");
  return "-" + texte;
}

}  // namespace

const Fiche& Question0711::Causes() {
  static const Fiche fiche{
      711,
      "Sort the table so that Madrid comes first and Manchester second to last, then show in I33 the month "
      "of H33's code with =VLOOKUP(H33,A33:E77,4,FALSE) and the format mmmm.",
      {
          {"B", "I33 is empty."},
          {"C",
           "Row 33 or row 76 still holds its starting record, or I33 does not have the number format mmmm."},
          {"D",
           "The table is sorted, but rows 33 and 76 do not hold the expected Madrid and Manchester records."},
          {"E", "I33 does not hold a VLOOKUP formula."},
          {"F", "The value looked up by the VLOOKUP in I33 is not H33."},
          {"G", "The table of the VLOOKUP in I33 is not A33 to row 77 from column D on, in relative form."},
          {"H", "The VLOOKUP in I33 does not return the fourth column."},
          {"I", "The VLOOKUP in I33 does not ask for an exact match (FALSE or 0)."},
      }};
  return fiche;
}

Question0711::Question0711() : Question("Question0711", "Thor International.xls") {
  Enregistre("05826711.xls", Classeur());
}

void Question0711::Teste() {
  // Rows 33 and 76 of the active sheet, column by column, row 33 first.
  std::string ligne33;
  std::string ligne76;
  for (long colonne = 1; colonne <= kColonnes; ++colonne) {
    ligne33 += Champ(Excel().Cells(kPremiereLigne, colonne)->Value());
    ligne76 += Champ(Excel().Cells(kDerniereLigne, colonne)->Value());
  }
  // C: a row still holds its record of the starting order.
  if (ligne33 == "-ESSe122-España-Sevilla-010102-22" || ligne76 == "-UKLi322-UK-Liverpool-030302-22") {
    return Echec("C");
  }
  // D: the rows changed, but not to the expected records.
  if (ligne33 != "-ESMa119-España-Madrid-010102-19" || ligne76 != "-UKMa224-UK-Manchester-020202-24") {
    return Echec("D");
  }

  const auto i33 = Excel().Range("I33");
  const std::string formule = i33->Formula();
  if (formule.empty()) return Echec("B");  // B: nothing in I33
  const std::string f = vb::Replace(formule, "+", "");

  if (vb::Left(f, 8) != "=VLOOKUP") return Echec("E");  // E: not a VLOOKUP
  if (vb::Mid(f, 10, 3) != "H33") return Echec("F");    // F: the value looked up is not H33
  // Every condition is evaluated, so a text that is not a number (a
  // two-letter column, "$" signs) raises 13 even when another one fails.
  const bool debut = vb::Mid(f, 14, 4) != "A33:";
  const bool colonne = vb::Asc(vb::Mid(f, 18, 1)) < 'D';
  const bool fin = !vb::Equals(vb::Mid(f, 19, 2), 77);
  if (debut || colonne || fin) return Echec("G");            // G: the table is not A33:D77 or wider
  if (!vb::Equals(vb::Mid(f, 22, 1), 4)) return Echec("H");  // H: not the fourth column
  if (vb::Mid(f, 23, 1) != ",") return Echec("I");           // I: no match argument
  const std::string correspondance = vb::Mid(f, 24, vb::Len(f) - 24);
  const bool pasFaux = vb::LCase(correspondance) != "false";
  const bool pasZero = !vb::Equals(correspondance, 0);
  if (pasFaux && pasZero) return Echec("I");  // I: not an exact match

  if (i33->NumberFormat() != "mmmm") Echec("C");  // C: the month's name is not shown
}

}  // namespace r58267
