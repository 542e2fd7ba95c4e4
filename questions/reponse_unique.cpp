#include "questions/reponse_unique.h"

namespace r58267 {

const FeuilleReponses& BoutonsBanqueAzur() {
  static const FeuilleReponses reponses{"", "réponses", "Bouton d'option ", 3};
  return reponses;
}

std::string CauseDuChoix(const std::vector<long>& etats, int bonne) {
  const long premier = etats.at(0);
  const long juste = etats.at(static_cast<size_t>(bonne - 1));
  const long autre = etats.at(bonne == 2 ? 2 : 1);                 // the other of buttons 2 and 3
  if (premier != excel::xlOff) return "B";                         // B: the first button is chosen
  if (juste == excel::xlOff && autre == excel::xlOff) return "A";  // A: no button is chosen
  if (juste == excel::xlOn && autre == excel::xlOff) return "";    // the right button alone
  return "B";                                                      // B: the wrong or a mixed choice
}

}  // namespace r58267
