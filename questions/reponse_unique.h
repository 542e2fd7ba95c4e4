// The single answer that questions 715 and 716 ask for: one of the three
// option buttons "Bouton d'option 1" to "3" of the protected sheet
// "réponses" of the active workbook.
#pragma once

#include <string>
#include <vector>

#include "framework/reponses.h"

namespace r58267 {

// Where the three option buttons are.
const FeuilleReponses& BoutonsBanqueAzur();

// The cause that the states of the three buttons give when `bonne` (2 or 3)
// is the right one: "B" when the first is chosen, "A" when none is, "" when
// only the right one is, "B" otherwise (a mixed state included).
std::string CauseDuChoix(const std::vector<long>& etats, int bonne);

}  // namespace r58267
