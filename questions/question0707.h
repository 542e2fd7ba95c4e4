// Question 707: in B22 of "Trimestre 2", the date two years after B21,
// built from its year, month and day: =DATE(YEAR(B21)+2,MONTH(B21),DAY(B21)).
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0707 final : public Question {
 public:
  Question0707();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
