// Question 719: "Investissement.xls"; the learner ticks the right ones among
// three check boxes on the protected sheet "réponses". A workbook "Loan.htm"
// opened during the exercise is closed with it.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0719 final : public Question {
 public:
  Question0719();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

  // Closes every open "Loan.htm", whatever its letter case, then drops the
  // references as every exercise does.
  void Fermer() override;

 protected:
  void Teste() override;
};

}  // namespace r58267
