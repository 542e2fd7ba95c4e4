// Question 708: in A33 of "Trimestre 1", a text formula building the code
// ESSe: two capitals "ES" and then "Se".
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0708 final : public Question {
 public:
  Question0708();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
