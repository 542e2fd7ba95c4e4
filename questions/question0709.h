// Question 709: B3, B4 and B5 of the third sheet must come to show 597, 718
// and 711. The only check that qualifies its success: a correct workbook
// gives the code "D" with BravoNuance set.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0709 final : public Question {
 public:
  Question0709();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
