// Question 713: a two-variable data table on "Loan.xls" built from the
// repayment formula of A7, with E5 as row input cell and D5 as column input
// cell, whose results include C9.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0713 final : public Question {
 public:
  Question0713();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
