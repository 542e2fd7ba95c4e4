// Question 712: the monthly repayment of the loan in G5 of the first
// worksheet of "Loan.xls", as a positive amount: =ABS(PMT(E5/12,F5,D5)).
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0712 final : public Question {
 public:
  Question0712();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
