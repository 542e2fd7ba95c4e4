// Answers given with check boxes or option buttons on a protected sheet:
// the procedure that every such exercise shares.
#pragma once

#include <string>
#include <vector>

#include "framework/excel.h"

namespace r58267 {

// Where the answer controls are: a sheet of a workbook named in the class,
// or of the active workbook when `classeur` is empty; the controls are
// named `prefixe` followed by 1, 2 … `nombre`.
struct FeuilleReponses {
  std::string classeur;
  std::string feuille;
  std::string prefixe;
  int nombre = 0;
};

// Remembers the active workbook and its active sheet, selects the answer
// sheet (activating its workbook first when one is named), removes its
// protection (no password), selects each control in turn and reads the
// selection's value as a 32-bit integer (xlOn 1, xlOff -4146, anything else
// for a mixed state), then selects the remembered sheet again (activating
// the remembered workbook first when one is named). The answer sheet is left unprotected: the caller decides,
// then calls ProtegeReponses. An error leaves it unprotected too.
std::vector<long> LitReponses(excel::Application& excel, const FeuilleReponses& reponses);

// Protects the answer sheet again, without password.
void ProtegeReponses(excel::Application& excel, const FeuilleReponses& reponses);

}  // namespace r58267
