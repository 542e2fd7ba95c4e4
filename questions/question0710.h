// Question 710: on the fifth sheet, a consolidation of 'Semestre 1' and
// 'Semestre 2' (A2:B5) with the sum, the labels of the top row and of the
// left column, and links to the source data.
#pragma once

#include "framework/catalogue.h"
#include "framework/question.h"

namespace r58267 {

class Question0710 final : public Question {
 public:
  Question0710();
  // The task and the meaning of each cause code.
  static const Fiche& Causes();

 protected:
  void Teste() override;
};

}  // namespace r58267
